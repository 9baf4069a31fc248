#include "data/schema/schema.h"

#include "store/session.h"
#include "store/store_file_create.h"

namespace schema {

namespace {

// Widths: values with a known form (dates, direction words, mode names) get a text field a good
// deal wider than the longest value written; everything the user types or that names a file or
// folder is a memo, so that no path a Linux system can produce (up to 4096 bytes) is ever cut.
constexpr int32_t kDateText = 32;   // "yyyy-mm-dd hh:mm:ss" and "hh:mm:ss"
constexpr int32_t kLongDate = 100;  // the regional long date of a history day
constexpr int32_t kWord = 32;       // "Upload", "auto", "disconnect", "Socks4A", ...
constexpr int32_t kNumberText = 40; // elapsed seconds, speed texts
constexpr int32_t kShortName = 255; // shown type and version names

FieldDesc Auto(const char* n) {
    return {n, store::ftAutoInc, 0};
}
FieldDesc Int(const char* n) {
    return {n, store::ftInteger, 0};
}
FieldDesc Bool(const char* n) {
    return {n, store::ftBoolean, 0};
}
FieldDesc Text(const char* n, int32_t size) {
    return {n, store::ftString, size};
}
FieldDesc Memo(const char* n) {
    return {n, store::ftMemo, 0};
}

std::vector<TableDesc> buildMainTables() {
    return {
        {"ftpsite",
         {Auto("id"),
          Memo("name"),
          Memo("address"),
          Int("port"),
          Memo("username"),
          Memo("password"),
          Memo("comment"),
          Text("cdate", kDateText),
          Text("zdate", kDateText),
          Int("timeout"),
          Int("nor"),
          Int("rd"),
          Bool("vp"),
          Memo("defaultpath"),
          Memo("localpath"),
          Memo("proxy"),
          Memo("socks"),
          Bool("pasv"),
          Bool("autorefresh"),
          Bool("cnc"),
          Int("maxc")}},
        {"options",
         {Bool("eanti"), Int("interval"), Text("transfermode", kWord), Text("transferc", kWord),
          Int("recvb"), Int("sendb"), Bool("appe"), Bool("ifclear"), Memo("temppath")}},
        {"proxy",
         {Memo("name"), Memo("server"), Int("port"), Bool("login"), Memo("username"),
          Memo("password"), Int("type"), Text("typename", kShortName)}},
        {"socks",
         {Memo("name"), Memo("host"), Int("port"), Bool("login"), Memo("user"), Memo("pass"),
          Int("sv"), Text("svname", kShortName)}},
        {"antiidle", {Memo("command"), Bool("tf")}},
        {"ascext", {Memo("ext"), Bool("tf")}},
        {"editor", {Memo("ext"), Memo("editor")}},
        {"hmaster", {Auto("key"), Int("id"), Text("date", kLongDate), Text("type", kWord)}},
        {"hdital",
         {Auto("key"), Int("id"), Text("type", kWord), Memo("ftpfile"), Memo("lofile"),
          Text("date", kDateText), Text("date2", kDateText), Memo("ftppath"), Memo("lopath"),
          Text("usetime", kNumberText), Text("speed", kNumberText), Bool("isfolder")}},
        {"task", {Auto("id"), Memo("name"), Memo("desc")}},
        {"taskd",
         {Auto("id"), Int("taskid"), Memo("name"), Memo("ftp"), Text("type", kWord),
          Memo("common")}},
        {"taskd2", {Int("id"), Memo("files"), Memo("local"), Memo("ftp"), Bool("isfolder")}},
        {"quickftp", {Memo("ftp"), Int("port"), Memo("user"), Memo("pass"), Bool("pasv")}},
        // Added later: stores written before them get them when opened (AddMissingTables).
        // The protocol choices of a site, one record per `ftpsite.id`.
        {"sitesec", {Int("siteid"), Int("encryption"), Bool("keeptime"), Bool("verify")}},
        // Server certificates the user chose to always trust, per host and port.
        {"trustcert",
         {Memo("host"), Int("port"), Text("sha256", kShortName), Memo("subject"),
          Text("adate", kDateText)}},
    };
}

} // namespace

const std::vector<TableDesc>& MainTables() {
    static const std::vector<TableDesc> tables = buildMainTables();
    return tables;
}

void AddMissingTables(const std::string& path, StoreKind kind) {
    store::AppendMissingTables(path, StoreDefinition(kind).tables);
}

const std::vector<TableDesc>& BookmarkTables() {
    static const std::vector<TableDesc> tables = {
        {"bookmark", {Int("ftpid"), Memo("path")}},
    };
    return tables;
}

const std::vector<TableDesc>& TablesOf(StoreKind kind) {
    return kind == StoreKind::Main ? MainTables() : BookmarkTables();
}

const TableDesc* FindTable(const std::string& name) {
    for (StoreKind kind : {StoreKind::Main, StoreKind::Bookmark})
        for (const TableDesc& table : TablesOf(kind))
            if (store::SameName(table.name, name)) return &table;
    return nullptr;
}

store::TStoreFileDef StoreDefinition(StoreKind kind) {
    store::TStoreFileDef def;
    for (const TableDesc& desc : TablesOf(kind)) {
        store::TTableDef& table = def.tables.emplace_back();
        table.name = desc.name;
        for (const FieldDesc& field : desc.fields)
            table.fields.push_back({field.name, field.type, field.size, 0});
    }
    return def;
}

} // namespace schema
