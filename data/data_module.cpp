#include "data/data_module.h"
#include "data/expected_failure.h"

#include "data/app_paths.h"
#include "data/schema/schema.h"
#include "store/database.h"
#include "store/store_error.h"
#include "store/table.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <set>
#include <variant>

using store::TStoreTable;

namespace {

std::string toStore(const QString& text) {
    return text.toUtf8().toStdString();
}
QString fromStore(const std::string& text) {
    return QString::fromUtf8(text);
}

// Opens a table for one operation and closes it again however the operation ends, so that no
// table stays open between user actions.
class OpenedTable {
public:
    explicit OpenedTable(TStoreTable& table) : table_(table) { table_.Open(); }
    ~OpenedTable() {
        // Closing drops a pending change; a failure here must not hide the first error.
        IgnoreFailure("a close after a failed change must not hide that failure",
                      [&] { table_.Close(); });
    }
    OpenedTable(const OpenedTable&) = delete;
    OpenedTable& operator=(const OpenedTable&) = delete;

private:
    TStoreTable& table_;
};

QString text(TStoreTable& table, const char* field) {
    return fromStore(table.FieldByName(field).AsString());
}
int integer(TStoreTable& table, const char* field) {
    return table.FieldByName(field).AsInteger();
}
bool boolean(TStoreTable& table, const char* field) {
    return table.FieldByName(field).AsBoolean();
}
void setText(TStoreTable& table, const char* field, const QString& value) {
    table.FieldByName(field).SetAsString(toStore(value));
}
void setInteger(TStoreTable& table, const char* field, int value) {
    table.FieldByName(field).SetAsInteger(value);
}
void setBoolean(TStoreTable& table, const char* field, bool value) {
    table.FieldByName(field).SetAsBoolean(value);
}

// Reading and writing a field by the type of the record member it belongs to.
void getField(TStoreTable& table, const char* field, QString& value) {
    value = text(table, field);
}
void getField(TStoreTable& table, const char* field, int& value) {
    value = integer(table, field);
}
void getField(TStoreTable& table, const char* field, bool& value) {
    value = boolean(table, field);
}
void putField(TStoreTable& table, const char* field, const QString& value) {
    setText(table, field, value);
}
void putField(TStoreTable& table, const char* field, int value) {
    setInteger(table, field, value);
}
void putField(TStoreTable& table, const char* field, bool value) {
    setBoolean(table, field, value);
}

// Which store field holds which member of record type R; one list serves reading and writing,
// so the two cannot drift apart.
template <class R> struct FieldMap {
    const char* field;
    std::variant<QString R::*, int R::*, bool R::*> member;
};

template <class R> void readFields(TStoreTable& t, R& record, const std::vector<FieldMap<R>>& map) {
    for (const FieldMap<R>& f : map)
        std::visit([&](auto member) { getField(t, f.field, record.*member); }, f.member);
}

template <class R>
void writeFields(TStoreTable& t, const R& record, const std::vector<FieldMap<R>>& map) {
    for (const FieldMap<R>& f : map)
        std::visit([&](auto member) { putField(t, f.field, record.*member); }, f.member);
}

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

SiteRecord readSite(TStoreTable& t) {
    SiteRecord s;
    s.id = integer(t, "id");
    readFields(t, s, kSiteFields);
    return s;
}

// Returns the record whose "name" is name, or nothing when the table has none.
template <class R>
std::optional<R> findNamed(TStoreTable& t, const QString& name,
                           const std::vector<FieldMap<R>>& map) {
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(name))) return std::nullopt;
    R record;
    readFields(t, record, map);
    return record;
}

QStringList names(TStoreTable& table) {
    OpenedTable opened(table);
    QStringList out;
    for (table.First(); !table.Eof(); table.Next())
        out << text(table, "name");
    return out;
}

// Every data module gets its own database name in the process-wide session, so that a test can
// hold several program folders at once.
std::string uniqueDatabaseName() {
    static std::atomic<int> counter{0};
    return "oxbrook_main_" + std::to_string(++counter);
}

} // namespace

struct TDataModule::Tables {
    store::TStoreDatabase mainDatabase;
    TStoreTable Tftpsite, Toption, Tproxy, Tsocks, Tantiidle, Tascext, Thm, Thd, Ttask, Ttaskd,
        Ttaskd2, Tquick, Teditor, Tftpb, Tsitesec, Ttrustcert;
};

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
        if (!QFileInfo::exists(path)) schema::CreateStore(toStore(path), kind);
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
        // A delete leaves the cursor on the following record, so the scan moves on only past
        // records it keeps.
        for (t.Thm.First(); !t.Thm.Eof();) {
            if (integer(t.Thm, "id") == siteId) {
                dayKeys.insert(integer(t.Thm, "key"));
                t.Thm.Delete();
            } else {
                t.Thm.Next();
            }
        }
    }
    {
        OpenedTable transfers(t.Thd);
        for (t.Thd.First(); !t.Thd.Eof();) {
            if (dayKeys.count(integer(t.Thd, "id")))
                t.Thd.Delete();
            else
                t.Thd.Next();
        }
    }
    t.Tftpsite.Delete();
    return true;
}

QStringList TDataModule::ProxyNames() {
    return names(tables_->Tproxy);
}

QStringList TDataModule::SocksNames() {
    return names(tables_->Tsocks);
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

QStringList TDataModule::KeepAliveCommands() {
    TStoreTable& t = tables_->Tantiidle;
    OpenedTable opened(t);
    QStringList commands;
    for (t.First(); !t.Eof(); t.Next()) {
        if (boolean(t, "tf")) commands << text(t, "command");
    }
    return commands;
}

OptionsRecord TDataModule::ReadOptions() {
    TStoreTable& t = tables_->Toption;
    OpenedTable opened(t);
    OptionsRecord o;
    readFields(t, o, kOptionsFields);
    return o;
}

std::optional<ProxyRecord> TDataModule::FindProxy(const QString& name) {
    return findNamed(tables_->Tproxy, name, kProxyFields);
}

std::optional<SocksRecord> TDataModule::FindSocks(const QString& name) {
    return findNamed(tables_->Tsocks, name, kSocksFields);
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

std::vector<HistoryDay> TDataModule::LoadHistoryDays() {
    TStoreTable& t = tables_->Thm;
    OpenedTable opened(t);
    std::vector<HistoryDay> days;
    for (t.First(); !t.Eof(); t.Next())
        days.push_back({integer(t, "key"), integer(t, "id"), text(t, "date"), text(t, "type")});
    return days;
}

std::vector<HistoryTransfer> TDataModule::LoadHistoryTransfers() {
    TStoreTable& t = tables_->Thd;
    OpenedTable opened(t);
    std::vector<HistoryTransfer> jobs;
    for (t.First(); !t.Eof(); t.Next()) {
        HistoryTransfer h;
        h.key = integer(t, "key");
        h.id = integer(t, "id");
        readFields(t, h, kTransferFields);
        jobs.push_back(h);
    }
    return jobs;
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
