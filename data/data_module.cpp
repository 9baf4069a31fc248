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
    t.mainDatabase.SetFileName(toStore(paths.file(QString::fromLatin1(schema::kMainStoreFile))));
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
