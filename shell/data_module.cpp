#include "shell/data_module.h"

#include "shell/app_paths.h"
#include "shell/schema/schema.h"
#include "store/database.h"
#include "store/store_error.h"
#include "store/table.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <set>

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
        try {
            table_.Close();
        } catch (...) {
            // Closing drops a pending change; a failure here must not hide the first error.
        }
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

SiteRecord readSite(TStoreTable& t) {
    SiteRecord s;
    s.id = integer(t, "id");
    s.name = text(t, "name");
    s.address = text(t, "address");
    s.port = integer(t, "port");
    s.username = text(t, "username");
    s.password = text(t, "password");
    s.comment = text(t, "comment");
    s.cdate = text(t, "cdate");
    s.zdate = text(t, "zdate");
    s.timeout = integer(t, "timeout");
    s.nor = integer(t, "nor");
    s.rd = integer(t, "rd");
    s.vp = boolean(t, "vp");
    s.defaultpath = text(t, "defaultpath");
    s.localpath = text(t, "localpath");
    s.proxy = text(t, "proxy");
    s.socks = text(t, "socks");
    s.pasv = boolean(t, "pasv");
    s.autorefresh = boolean(t, "autorefresh");
    s.cnc = boolean(t, "cnc");
    s.maxc = integer(t, "maxc");
    return s;
}

// Writes every field but the auto-increment id, which the store assigns.
void writeSite(TStoreTable& t, const SiteRecord& s) {
    setText(t, "name", s.name);
    setText(t, "address", s.address);
    setInteger(t, "port", s.port);
    setText(t, "username", s.username);
    setText(t, "password", s.password);
    setText(t, "comment", s.comment);
    setText(t, "cdate", s.cdate);
    setText(t, "zdate", s.zdate);
    setInteger(t, "timeout", s.timeout);
    setInteger(t, "nor", s.nor);
    setInteger(t, "rd", s.rd);
    setBoolean(t, "vp", s.vp);
    setText(t, "defaultpath", s.defaultpath);
    setText(t, "localpath", s.localpath);
    setText(t, "proxy", s.proxy);
    setText(t, "socks", s.socks);
    setBoolean(t, "pasv", s.pasv);
    setBoolean(t, "autorefresh", s.autorefresh);
    setBoolean(t, "cnc", s.cnc);
    setInteger(t, "maxc", s.maxc);
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
        Ttaskd2, Tquick, Teditor, Tftpb;
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
        {&t.Teditor, "editor"}};
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
    t.mainDatabase.SetFileName(toStore(paths.file(QString::fromLatin1(schema::kMainStoreFile))));
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
    writeSite(t, site);
    t.Post();
}

bool TDataModule::UpdateSite(const QString& formerName, const SiteRecord& site) {
    TStoreTable& t = tables_->Tftpsite;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(formerName))) return false;
    t.Edit();
    writeSite(t, site);
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
    o.interval = integer(t, "interval");
    o.transfermode = text(t, "transfermode");
    o.transferc = text(t, "transferc");
    o.recvb = integer(t, "recvb");
    o.sendb = integer(t, "sendb");
    o.appe = boolean(t, "appe");
    o.temppath = text(t, "temppath");
    return o;
}

std::optional<ProxyRecord> TDataModule::FindProxy(const QString& name) {
    TStoreTable& t = tables_->Tproxy;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(name))) return std::nullopt;
    ProxyRecord p;
    p.name = text(t, "name");
    p.server = text(t, "server");
    p.port = integer(t, "port");
    p.login = boolean(t, "login");
    p.username = text(t, "username");
    p.password = text(t, "password");
    p.typeName = text(t, "typename");
    return p;
}

std::optional<SocksRecord> TDataModule::FindSocks(const QString& name) {
    TStoreTable& t = tables_->Tsocks;
    OpenedTable opened(t);
    if (!t.Locate("name", toStore(name))) return std::nullopt;
    SocksRecord s;
    s.name = text(t, "name");
    s.host = text(t, "host");
    s.port = integer(t, "port");
    s.login = boolean(t, "login");
    s.user = text(t, "user");
    s.pass = text(t, "pass");
    s.svname = text(t, "svname");
    return s;
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
    setText(t, "type", job.type);
    setText(t, "ftpfile", job.ftpfile);
    setText(t, "lofile", job.lofile);
    setText(t, "date", job.date);
    setText(t, "date2", job.date2);
    setText(t, "ftppath", job.ftppath);
    setText(t, "lopath", job.lopath);
    setText(t, "usetime", job.usetime);
    setText(t, "speed", job.speed);
    setBoolean(t, "isfolder", job.isfolder);
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
        h.type = text(t, "type");
        h.ftpfile = text(t, "ftpfile");
        h.lofile = text(t, "lofile");
        h.date = text(t, "date");
        h.date2 = text(t, "date2");
        h.ftppath = text(t, "ftppath");
        h.lopath = text(t, "lopath");
        h.usetime = text(t, "usetime");
        h.speed = text(t, "speed");
        h.isfolder = boolean(t, "isfolder");
        jobs.push_back(h);
    }
    return jobs;
}
