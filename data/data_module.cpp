#include "data/data_module.h"
#include "data/expected_failure.h"

#include "data/app_paths.h"
#include "data/record_access.h"
#include "data/schema/schema.h"
#include "store/database.h"
#include "store/store_error.h"
#include "store/table.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <set>
#include <variant>

using store::TStoreTable;

namespace {

using namespace data_detail;

// The fields of `map` looked up once for a scan of many records: a field object stays the same
// while its table is open.
template <class R> class BoundFields {
public:
    BoundFields(TStoreTable& t, const std::vector<FieldMap<R>>& map) {
        for (const FieldMap<R>& f : map)
            fields_.push_back({&t.FieldByName(f.field), f.member});
    }
    void Read(R& record) const {
        for (const auto& [field, member] : fields_)
            std::visit([&](auto m) { get(*field, record.*m); }, member);
    }

private:
    static void get(const store::TStoreField& f, QString& v) { v = fromStore(f.AsString()); }
    static void get(const store::TStoreField& f, int& v) { v = f.AsInteger(); }
    static void get(const store::TStoreField& f, bool& v) { v = f.AsBoolean(); }
    std::vector<std::pair<store::TStoreField*, decltype(FieldMap<R>::member)>> fields_;
};


// Every field but the auto-increment id, which the store assigns.
const std::vector<FieldMap<SiteRecord>> kSiteFields = {
    {"name", &SiteRecord::name},
    {"address", &SiteRecord::address},
    {"port", &SiteRecord::port},
    {"username", &SiteRecord::username},
    {"password", &SiteRecord::password},
    {"comment", &SiteRecord::comment},
    {"cdate", &SiteRecord::cdate},
    {"zdate", &SiteRecord::zdate},
    {"timeout", &SiteRecord::timeout},
    {"nor", &SiteRecord::nor},
    {"rd", &SiteRecord::rd},
    {"vp", &SiteRecord::vp},
    {"defaultpath", &SiteRecord::defaultpath},
    {"localpath", &SiteRecord::localpath},
    {"proxy", &SiteRecord::proxy},
    {"socks", &SiteRecord::socks},
    {"pasv", &SiteRecord::pasv},
    {"autorefresh", &SiteRecord::autorefresh},
    {"cnc", &SiteRecord::cnc},
    {"maxc", &SiteRecord::maxc},
};

const std::vector<FieldMap<OptionsRecord>> kOptionsFields = {
    {"interval", &OptionsRecord::interval},   {"transfermode", &OptionsRecord::transfermode},
    {"transferc", &OptionsRecord::transferc}, {"recvb", &OptionsRecord::recvb},
    {"sendb", &OptionsRecord::sendb},         {"appe", &OptionsRecord::appe},
    {"temppath", &OptionsRecord::temppath},
};

const std::vector<FieldMap<ProxyRecord>> kProxyFields = {
    {"name", &ProxyRecord::name},         {"server", &ProxyRecord::server},
    {"port", &ProxyRecord::port},         {"login", &ProxyRecord::login},
    {"username", &ProxyRecord::username}, {"password", &ProxyRecord::password},
    {"typename", &ProxyRecord::typeName},
};


const std::vector<FieldMap<SocksRecord>> kSocksFields = {
    {"name", &SocksRecord::name},     {"host", &SocksRecord::host}, {"port", &SocksRecord::port},
    {"login", &SocksRecord::login},   {"user", &SocksRecord::user}, {"pass", &SocksRecord::pass},
    {"svname", &SocksRecord::svname},
};

// Every field but the auto-increment key and the day's key in id, which the caller sets.
const std::vector<FieldMap<HistoryTransfer>> kTransferFields = {
    {"type", &HistoryTransfer::type},     {"ftpfile", &HistoryTransfer::ftpfile},
    {"lofile", &HistoryTransfer::lofile}, {"date", &HistoryTransfer::date},
    {"date2", &HistoryTransfer::date2},   {"ftppath", &HistoryTransfer::ftppath},
    {"lopath", &HistoryTransfer::lopath}, {"usetime", &HistoryTransfer::usetime},
    {"speed", &HistoryTransfer::speed},   {"isfolder", &HistoryTransfer::isfolder},
};

const std::vector<FieldMap<TaskRecord>> kTaskFields = {
    {"taskid", &TaskRecord::taskid}, {"name", &TaskRecord::name},     {"ftp", &TaskRecord::ftp},
    {"type", &TaskRecord::type},     {"common", &TaskRecord::common},
};

const std::vector<FieldMap<TaskEntry>> kEntryFields = {
    {"id", &TaskEntry::id},   {"files", &TaskEntry::files},       {"local", &TaskEntry::local},
    {"ftp", &TaskEntry::ftp}, {"isfolder", &TaskEntry::isfolder},
};

// Deletes every record of `t` for which `doomed` holds, in one pass. A delete leaves the cursor
// on the following record, so the scan moves on only past records it keeps.
template <class Pred>
int deleteWhere(TStoreTable& t, Pred doomed, const TDataModule::Tick& tick = {}) {
    int deleted = 0;
    for (t.First(); !t.Eof();) {
        if (tick) tick();
        if (doomed()) {
            t.Delete();
            ++deleted;
        } else {
            t.Next();
        }
    }
    return deleted;
}

const std::vector<FieldMap<HistoryDay>> kDayFields = {
    {"key", &HistoryDay::key},
    {"id", &HistoryDay::id},
    {"date", &HistoryDay::date},
    {"type", &HistoryDay::type},
};

// Reading a transfer takes its key and its day's key too.
const std::vector<FieldMap<HistoryTransfer>> kTransferReadFields = [] {
    std::vector<FieldMap<HistoryTransfer>> fields = {{"key", &HistoryTransfer::key},
                                                     {"id", &HistoryTransfer::id}};
    fields.insert(fields.end(), kTransferFields.begin(), kTransferFields.end());
    return fields;
}();

SiteRecord readSite(TStoreTable& t) {
    SiteRecord s;
    s.id = integer(t, "id");
    readFields(t, s, kSiteFields);
    return s;
}

// Every data module gets its own database name in the process-wide session, so that a test can
// hold several program folders at once.
std::string uniqueDatabaseName() {
    static std::atomic<int> counter{0};
    return "oxbrook_main_" + std::to_string(++counter);
}

} // namespace

TDataModule::TDataModule(const QString& programFolder)
    : programFolder_(programFolder), tables_(std::make_unique<Tables>()) {
    Tables& t = *tables_;
    const std::string database = uniqueDatabaseName();
    t.mainDatabase.SetDatabaseName(database);
    const std::pair<TStoreTable*, const char*> mainTables[] = {
        {&t.Tftpsite, "ftpsite"}, {&t.Toption, "options"},    {&t.Tproxy, "proxy"},
        {&t.Tsocks, "socks"},     {&t.Tantiidle, "antiidle"}, {&t.Tascext, "ascext"},
        {&t.Thm, "hmaster"},      {&t.Thd, "hdital"},         {&t.Ttask, "task"},
        {&t.Ttaskd, "taskd"},     {&t.Ttaskd2, "taskd2"},     {&t.Tquick, "quickftp"},
        {&t.Teditor, "editor"},   {&t.Tsitesec, "sitesec"},   {&t.Ttrustcert, "trustcert"}};
    for (auto [table, name] : mainTables) {
        table->SetDatabaseName(database);
        table->SetTableName(name);
    }
}

TDataModule::~TDataModule() = default;

void TDataModule::CreateMissingStores() {
    const AppPaths paths(programFolder_);
    const std::pair<const char*, schema::StoreKind> stores[] = {
        {schema::kMainStoreFile, schema::StoreKind::Main},
        {schema::kBookmarkStoreFile, schema::StoreKind::Bookmark}};
    for (auto [file, kind] : stores) {
        const QString path = paths.file(QString::fromLatin1(file));
        // Only a file that is not there at all is made; anything else is left for Connect to
        // open or to report.
        if (QFileInfo::exists(path)) continue;
        schema::CreateStore(toStore(path), kind);
        // The stores hold the sites' passwords: only their owner may read them.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
}

void TDataModule::Connect() {
    Tables& t = *tables_;
    const AppPaths paths(programFolder_);
    t.mainDatabase.Close();
    const std::string mainFile = toStore(paths.file(QString::fromLatin1(schema::kMainStoreFile)));
    // A store written before the newer tables existed gets them, empty; nothing else changes.
    schema::AddMissingTables(mainFile, schema::StoreKind::Main);
    t.mainDatabase.SetFileName(mainFile);
    t.mainDatabase.Open();
    // An encrypted store asks for its password when a table first opens; asking here lets a
    // refused or cancelled login end the start-up instead of the first command.
    {
        OpenedTable check(t.Toption);
    }
    t.Tftpb.Close();
    t.Tftpb.SetDatabaseName(toStore(paths.file(QString::fromLatin1(schema::kBookmarkStoreFile))));
    t.Tftpb.SetTableName("bookmark");
    // Opened once here so that a damaged bookmark store is reported at start-up, not at the
    // first bookmark command.
    OpenedTable check(t.Tftpb);
}

std::vector<SiteRecord> TDataModule::LoadSites() {
    TStoreTable& t = tables_->Tftpsite;
    OpenedTable opened(t);
    std::vector<SiteRecord> sites;
    for (t.First(); !t.Eof(); t.Next())
        sites.push_back(readSite(t));
    return sites;
}

std::optional<SiteRecord> TDataModule::FindSite(const QString& name) {
    TStoreTable& t = tables_->Tftpsite;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(name))) return std::nullopt;
    return readSite(t);
}

void TDataModule::AppendSite(const SiteRecord& site) {
    TStoreTable& t = tables_->Tftpsite;
    OpenedTable opened(t);
    t.Append();
    writeFields(t, site, kSiteFields);
    t.Post();
}

bool TDataModule::UpdateSite(const QString& formerName, const SiteRecord& site) {
    TStoreTable& t = tables_->Tftpsite;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(formerName))) return false;
    t.Edit();
    writeFields(t, site, kSiteFields);
    t.Post();
    return true;
}

bool TDataModule::RenameSite(const QString& oldName, const QString& newName) {
    TStoreTable& t = tables_->Tftpsite;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(oldName))) return false;
    t.Edit();
    setText(t, "name", newName);
    t.Post();
    return true;
}

bool TDataModule::DeleteSite(const QString& name) {
    Tables& t = *tables_;
    OpenedTable sites(t.Tftpsite);
    if (!t.Tftpsite.Locate("name", toStore(name))) return false;
    const int siteId = integer(t.Tftpsite, "id");
    std::set<int> dayKeys;
    {
        OpenedTable days(t.Thm);
        deleteWhere(t.Thm, [&] {
            if (integer(t.Thm, "id") != siteId) return false;
            dayKeys.insert(integer(t.Thm, "key"));
            return true;
        });
    }
    {
        OpenedTable transfers(t.Thd);
        deleteWhere(t.Thd, [&] { return dayKeys.count(integer(t.Thd, "id")) > 0; });
    }
    t.Tftpsite.Delete();
    return true;
}

QString TDataModule::EnsureTempPath(const QString& fallback) {
    TStoreTable& t = tables_->Toption;
    OpenedTable opened(t);
    QString temp = text(t, "temppath");
    if (temp.isEmpty() || !QFileInfo(temp).isDir()) {
        if (!QFileInfo(fallback).isDir()) QDir().mkdir(fallback);
        // On an empty table Edit starts the one options record.
        t.Edit();
        setText(t, "temppath", fallback);
        t.Post();
        temp = fallback;
    }
    return temp;
}

std::optional<SiteRecord> TDataModule::TouchSite(const QString& name) {
    TStoreTable& t = tables_->Tftpsite;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(name))) return std::nullopt;
    t.Edit();
    setText(t, "zdate",
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    t.Post();
    return readSite(t);
}

bool TDataModule::IsAsciiExtension(const QString& extension) {
    TStoreTable& t = tables_->Tascext;
    OpenedTable opened(t);
    for (t.First(); !t.Eof(); t.Next()) {
        if (text(t, "ext") == extension) return true;
    }
    return false;
}

int TDataModule::AppendHistory(int siteId, const QString& day, const HistoryTransfer& job) {
    int dayKey = 0;
    {
        TStoreTable& t = tables_->Thm;
        OpenedTable opened(t);
        bool found = false;
        for (t.First(); !t.Eof(); t.Next()) {
            if (integer(t, "id") == siteId && text(t, "date") == day &&
                text(t, "type") == job.type) {
                found = true;
                break;
            }
        }
        if (!found) {
            t.Append();
            setInteger(t, "id", siteId);
            setText(t, "date", day);
            setText(t, "type", job.type);
            t.Post();
        }
        dayKey = integer(t, "key");
    }
    TStoreTable& t = tables_->Thd;
    OpenedTable opened(t);
    t.Append();
    setInteger(t, "id", dayKey);
    writeFields(t, job, kTransferFields);
    t.Post();
    return dayKey;
}

std::vector<HistoryDay> TDataModule::LoadHistoryDays(const Tick& tick) {
    TStoreTable& t = tables_->Thm;
    OpenedTable opened(t);
    std::vector<HistoryDay> days;
    const BoundFields<HistoryDay> fields(t, kDayFields);
    for (t.First(); !t.Eof(); t.Next()) {
        if (tick) tick();
        fields.Read(days.emplace_back());
    }
    return days;
}

std::vector<HistoryTransfer> TDataModule::LoadHistoryTransfers(const Tick& tick) {
    TStoreTable& t = tables_->Thd;
    OpenedTable opened(t);
    std::vector<HistoryTransfer> jobs;
    const BoundFields<HistoryTransfer> fields(t, kTransferReadFields);
    for (t.First(); !t.Eof(); t.Next()) {
        if (tick) tick();
        fields.Read(jobs.emplace_back());
    }
    return jobs;
}

std::optional<QString> TDataModule::FindEditor(const QString& extension) {
    TStoreTable& t = tables_->Teditor;
    OpenedTable opened(t);
    for (t.First(); !t.Eof(); t.Next()) {
        if (text(t, "ext") == extension) return text(t, "editor");
    }
    return std::nullopt;
}

void TDataModule::AppendEditor(const QString& extension, const QString& program) {
    TStoreTable& t = tables_->Teditor;
    OpenedTable opened(t);
    t.Append();
    setText(t, "ext", extension);
    setText(t, "editor", program);
    t.Post();
}

QStringList TDataModule::LoadBookmarks(int siteId) {
    TStoreTable& t = tables_->Tftpb;
    OpenedTable opened(t);
    QStringList paths;
    for (t.First(); !t.Eof(); t.Next()) {
        if (integer(t, "ftpid") == siteId) paths << text(t, "path");
    }
    return paths;
}

bool TDataModule::AddBookmark(int siteId, const QString& path) {
    TStoreTable& t = tables_->Tftpb;
    OpenedTable opened(t);
    // The same folder path on another site is another folder: the site is part of the key.
    for (t.First(); !t.Eof(); t.Next()) {
        if (integer(t, "ftpid") == siteId && text(t, "path") == path) return false;
    }
    t.Append();
    setInteger(t, "ftpid", siteId);
    setText(t, "path", path);
    t.Post();
    return true;
}

bool TDataModule::DeleteHistoryTransfer(int key) {
    TStoreTable& t = tables_->Thd;
    OpenedTable opened(t);
    if (!t.Locate("key", std::to_string(key))) return false;
    t.Delete();
    return true;
}

bool TDataModule::DeleteHistoryDay(int siteId, const QString& date, const QString& type,
                                   const std::vector<int>& transferKeys, const Tick& tick) {
    Tables& t = *tables_;
    if (!transferKeys.empty()) {
        // One pass over the transfers, however many the day holds.
        const std::set<int> keys(transferKeys.begin(), transferKeys.end());
        OpenedTable transfers(t.Thd);
        deleteWhere(
            t.Thd, [&] { return keys.count(integer(t.Thd, "key")) > 0; }, tick);
    }
    OpenedTable days(t.Thm);
    if (!t.Thm.Locate("id;date;type", {std::to_string(siteId), toStore(date), toStore(type)}))
        return false;
    t.Thm.Delete();
    return true;
}

void TDataModule::ClearHistory() {
    for (TStoreTable* table : {&tables_->Thm, &tables_->Thd}) {
        OpenedTable opened(*table);
        table->EmptyTable();
    }
}

std::vector<TaskCategory> TDataModule::LoadCategories() {
    TStoreTable& t = tables_->Ttask;
    OpenedTable opened(t);
    std::vector<TaskCategory> out;
    for (t.First(); !t.Eof(); t.Next())
        out.push_back({integer(t, "id"), text(t, "name"), text(t, "desc")});
    return out;
}

std::vector<TaskRecord> TDataModule::LoadTasks() {
    TStoreTable& t = tables_->Ttaskd;
    OpenedTable opened(t);
    std::vector<TaskRecord> out;
    for (t.First(); !t.Eof(); t.Next()) {
        TaskRecord task;
        task.id = integer(t, "id");
        readFields(t, task, kTaskFields);
        out.push_back(task);
    }
    return out;
}

std::optional<TaskCategory> TDataModule::FindCategory(const QString& name) {
    TStoreTable& t = tables_->Ttask;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(name))) return std::nullopt;
    return TaskCategory{integer(t, "id"), text(t, "name"), text(t, "desc")};
}

int TDataModule::AppendCategory(const QString& name, const QString& desc) {
    TStoreTable& t = tables_->Ttask;
    OpenedTable opened(t);
    t.Append();
    setText(t, "name", name);
    setText(t, "desc", desc);
    t.Post();
    return integer(t, "id");
}

bool TDataModule::UpdateCategory(const QString& formerName, const QString& name,
                                 const QString& desc) {
    TStoreTable& t = tables_->Ttask;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(formerName))) return false;
    t.Edit();
    setText(t, "name", name);
    setText(t, "desc", desc);
    t.Post();
    return true;
}

void TDataModule::ReplaceBookmarks(int siteId, const QStringList& paths) {
    TStoreTable& t = tables_->Tftpb;
    OpenedTable opened(t);
    // A delete leaves the cursor on the following record.
    for (t.First(); !t.Eof();) {
        if (integer(t, "ftpid") == siteId)
            t.Delete();
        else
            t.Next();
    }
    for (const QString& path : paths) {
        t.Append();
        setInteger(t, "ftpid", siteId);
        setText(t, "path", path);
        t.Post();
    }
}

bool TDataModule::DeleteCategory(const QString& name) {
    TStoreTable& t = tables_->Ttask;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(name))) return false;
    t.Delete();
    return true;
}

std::vector<TaskEntry> TDataModule::LoadTaskEntries(int taskId, const Tick& tick) {
    TStoreTable& t = tables_->Ttaskd2;
    OpenedTable opened(t);
    std::vector<TaskEntry> out;
    for (t.First(); !t.Eof(); t.Next()) {
        if (tick) tick();
        if (integer(t, "id") != taskId) continue;
        TaskEntry e;
        readFields(t, e, kEntryFields);
        out.push_back(e);
    }
    return out;
}

bool TDataModule::DeleteTask(int taskId) {
    Tables& t = *tables_;
    {
        OpenedTable entries(t.Ttaskd2);
        deleteWhere(t.Ttaskd2, [&] { return integer(t.Ttaskd2, "id") == taskId; });
    }
    OpenedTable tasks(t.Ttaskd);
    if (!t.Ttaskd.Locate("id", std::to_string(taskId))) return false;
    t.Ttaskd.Delete();
    return true;
}

int TDataModule::SaveTask(const TaskRecord& task, const std::vector<TaskEntry>& entries,
                          const Tick& tick) {
    Tables& t = *tables_;
    int taskId = task.id;
    {
        OpenedTable tasks(t.Ttaskd);
        if (taskId == 0) {
            t.Ttaskd.Append();
            writeFields(t.Ttaskd, task, kTaskFields);
            t.Ttaskd.Post();
            taskId = integer(t.Ttaskd, "id");
        } else if (t.Ttaskd.Locate("id", std::to_string(taskId))) {
            t.Ttaskd.Edit();
            writeFields(t.Ttaskd, task, kTaskFields);
            t.Ttaskd.Post();
        }
    }
    OpenedTable opened(t.Ttaskd2);
    if (task.id != 0)
        deleteWhere(
            t.Ttaskd2, [&] { return integer(t.Ttaskd2, "id") == taskId; }, tick);
    for (TaskEntry e : entries) {
        if (tick) tick();
        e.id = taskId;
        if (!e.local.endsWith(QDir::separator())) e.local += QDir::separator();
        t.Ttaskd2.Insert();
        writeFields(t.Ttaskd2, e, kEntryFields);
        t.Ttaskd2.Post();
    }
    return taskId;
}

namespace {

bool locateSiteSecurity(TStoreTable& t, int siteId) {
    for (t.First(); !t.Eof(); t.Next())
        if (integer(t, "siteid") == siteId) return true;
    return false;
}

} // namespace

SiteSecurityRecord TDataModule::ReadSiteSecurity(int siteId) {
    TStoreTable& t = tables_->Tsitesec;
    OpenedTable opened(t);
    SiteSecurityRecord record;
    record.siteid = siteId;
    if (locateSiteSecurity(t, siteId)) {
        record.encryption = integer(t, "encryption");
        record.keeptime = boolean(t, "keeptime");
        record.verify = boolean(t, "verify");
    }
    return record;
}

void TDataModule::WriteSiteSecurity(const SiteSecurityRecord& record) {
    TStoreTable& t = tables_->Tsitesec;
    OpenedTable opened(t);
    if (locateSiteSecurity(t, record.siteid))
        t.Edit();
    else
        t.Append();
    setInteger(t, "siteid", record.siteid);
    setInteger(t, "encryption", record.encryption);
    setBoolean(t, "keeptime", record.keeptime);
    setBoolean(t, "verify", record.verify);
    t.Post();
}

QStringList TDataModule::TrustedCertificates(const QString& host, int port) {
    TStoreTable& t = tables_->Ttrustcert;
    OpenedTable opened(t);
    QStringList out;
    for (t.First(); !t.Eof(); t.Next())
        if (text(t, "host").compare(host, Qt::CaseInsensitive) == 0 && integer(t, "port") == port)
            out << text(t, "sha256");
    return out;
}

void TDataModule::TrustCertificate(const QString& host, int port, const QString& sha256,
                                   const QString& subject) {
    if (TrustedCertificates(host, port).contains(sha256)) return;
    TStoreTable& t = tables_->Ttrustcert;
    OpenedTable opened(t);
    t.Append();
    setText(t, "host", host);
    setInteger(t, "port", port);
    setText(t, "sha256", sha256);
    setText(t, "subject", subject);
    setText(t, "adate",
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    t.Post();
}
