#include "data/data_module.h"

#include "store/store_error.h"
#include "store/table.h"
#include "testing/qt_temp_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class DataModuleTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    std::string storePath() const { return path("all.dat").toStdString(); }

    // Writes records straight into "all.dat" through a cursor of its own, as other parts of the
    // program (the history writer, the options dialog) would.
    void addRecords(const char* table,
                    const std::vector<std::vector<std::pair<const char*, std::string>>>& rows) {
        store::TStoreTable t;
        t.SetDatabaseName(storePath());
        t.SetTableName(table);
        t.Open();
        for (const auto& row : rows) {
            t.Append();
            for (const auto& [field, value] : row)
                t.FieldByName(field).SetAsString(value);
            t.Post();
        }
        t.Close();
    }
    std::vector<std::string> column(const char* table, const char* field) {
        store::TStoreTable t;
        t.SetDatabaseName(storePath());
        t.SetTableName(table);
        t.Open();
        std::vector<std::string> out;
        for (t.First(); !t.Eof(); t.Next())
            out.push_back(t.FieldByName(field).AsString());
        t.Close();
        return out;
    }
    SiteRecord site(const QString& name) {
        SiteRecord s;
        s.name = name;
        s.address = name + ".test";
        s.cdate = s.zdate = "2026-12-09 10:11:12";
        return s;
    }

    oxbrook::testing::QtTempDir dir;
};

TEST_F(DataModuleTest, MakesMissingStoresAndStartsEmpty) {
    TDataModule data(dir.path());
    data.CreateMissingStores();
    EXPECT_TRUE(QFileInfo::exists(path("all.dat")));
    EXPECT_TRUE(QFileInfo::exists(path("FTPBookmark.dat")));
    data.Connect();
    EXPECT_TRUE(data.LoadSites().empty());
    EXPECT_FALSE(data.FindSite("anything").has_value());
    EXPECT_TRUE(data.ProxyNames().isEmpty());
}

TEST_F(DataModuleTest, SitesKeepEveryFieldAndTheirTableOrder) {
    TDataModule data(dir.path());
    data.CreateMissingStores();
    data.Connect();
    SiteRecord first = site("zeta");
    first.port = 2121;
    first.username = "joe";
    first.password = "pä ss";
    first.comment = "line one\nline two";
    first.timeout = 99999;
    first.nor = -1;
    first.rd = 9999;
    first.vp = false;
    first.defaultpath = "/pub/incoming";
    first.localpath = "/home/joe/Übersicht";
    first.proxy = "corp";
    first.socks = "None";
    first.pasv = false;
    first.autorefresh = true;
    first.cnc = true;
    first.maxc = 10;
    data.AppendSite(first);
    data.AppendSite(site("alpha"));

    const std::vector<SiteRecord> sites = data.LoadSites();
    ASSERT_EQ(sites.size(), 2u);
    EXPECT_EQ(sites[0].name, "zeta");
    EXPECT_EQ(sites[1].name, "alpha");
    EXPECT_NE(sites[0].id, sites[1].id);
    const SiteRecord& s = sites[0];
    EXPECT_EQ(s.address, "zeta.test");
    EXPECT_EQ(s.port, 2121);
    EXPECT_EQ(s.username, "joe");
    EXPECT_EQ(s.password, "pä ss");
    EXPECT_EQ(s.comment, "line one\nline two");
    EXPECT_EQ(s.cdate, "2026-12-09 10:11:12");
    EXPECT_EQ(s.zdate, "2026-12-09 10:11:12");
    EXPECT_EQ(s.timeout, 99999);
    EXPECT_EQ(s.nor, -1);
    EXPECT_EQ(s.rd, 9999);
    EXPECT_FALSE(s.vp);
    EXPECT_EQ(s.defaultpath, "/pub/incoming");
    EXPECT_EQ(s.localpath, "/home/joe/Übersicht");
    EXPECT_EQ(s.proxy, "corp");
    EXPECT_EQ(s.socks, "None");
    EXPECT_FALSE(s.pasv);
    EXPECT_TRUE(s.autorefresh);
    EXPECT_TRUE(s.cnc);
    EXPECT_EQ(s.maxc, 10);
}

TEST_F(DataModuleTest, SitesAreFoundByTheirExactName) {
    TDataModule data(dir.path());
    data.CreateMissingStores();
    data.Connect();
    data.AppendSite(site("Alpha"));
    EXPECT_TRUE(data.SiteExists("Alpha"));
    EXPECT_FALSE(data.SiteExists("alpha"));
    EXPECT_FALSE(data.SiteExists("Alph"));
}

TEST_F(DataModuleTest, UpdateAndRenameKeepTheIdentity) {
    TDataModule data(dir.path());
    data.CreateMissingStores();
    data.Connect();
    data.AppendSite(site("alpha"));
    data.AppendSite(site("beta"));
    const int id = data.FindSite("alpha")->id;

    SiteRecord changed = site("gamma");
    changed.address = "new.test";
    EXPECT_TRUE(data.UpdateSite("alpha", changed));
    EXPECT_FALSE(data.SiteExists("alpha"));
    EXPECT_EQ(data.FindSite("gamma")->id, id);
    EXPECT_EQ(data.FindSite("gamma")->address, "new.test");
    EXPECT_FALSE(data.UpdateSite("missing", changed));

    EXPECT_TRUE(data.RenameSite("gamma", "delta"));
    EXPECT_EQ(data.FindSite("delta")->id, id);
    EXPECT_EQ(data.FindSite("delta")->address, "new.test");
    EXPECT_FALSE(data.RenameSite("gamma", "epsilon"));
    ASSERT_EQ(data.LoadSites().size(), 2u);
    EXPECT_EQ(data.LoadSites()[0].name, "delta");
}

TEST_F(DataModuleTest, DeletingASiteRemovesItsHistoryAndNothingElse) {
    {
        TDataModule data(dir.path());
        data.CreateMissingStores();
        data.Connect();
        data.AppendSite(site("alpha"));
        data.AppendSite(site("beta"));
    }
    std::string alphaId, betaId;
    {
        TDataModule data(dir.path());
        data.Connect();
        alphaId = std::to_string(data.FindSite("alpha")->id);
        betaId = std::to_string(data.FindSite("beta")->id);
    }
    addRecords("hmaster", {{{"id", alphaId}, {"date", "Monday"}, {"type", "Upload"}},
                           {{"id", betaId}, {"date", "Monday"}, {"type", "Upload"}},
                           {{"id", alphaId}, {"date", "Tuesday"}, {"type", "Download"}}});
    const std::vector<std::string> keys = column("hmaster", "key");
    ASSERT_EQ(keys.size(), 3u);
    addRecords("hdital", {{{"id", keys[0]}, {"ftpfile", "a1"}},
                          {{"id", keys[1]}, {"ftpfile", "b1"}},
                          {{"id", keys[2]}, {"ftpfile", "a2"}},
                          {{"id", keys[1]}, {"ftpfile", "b2"}}});

    TDataModule data(dir.path());
    data.Connect();
    EXPECT_TRUE(data.DeleteSite("alpha"));
    EXPECT_FALSE(data.DeleteSite("alpha"));
    ASSERT_EQ(data.LoadSites().size(), 1u);
    EXPECT_EQ(data.LoadSites()[0].name, "beta");
    EXPECT_EQ(column("hmaster", "id"), std::vector<std::string>({betaId}));
    EXPECT_EQ(column("hdital", "ftpfile"), std::vector<std::string>({"b1", "b2"}));
}

TEST_F(DataModuleTest, ProxyAndSocksNamesComeInTableOrder) {
    {
        TDataModule data(dir.path());
        data.CreateMissingStores();
    }
    addRecords("proxy", {{{"name", "corp"}}, {{"name", "backup"}}});
    addRecords("socks", {{{"name", "tunnel"}}});
    TDataModule data(dir.path());
    data.Connect();
    EXPECT_EQ(data.ProxyNames(), QStringList({"corp", "backup"}));
    EXPECT_EQ(data.SocksNames(), QStringList({"tunnel"}));
}

TEST_F(DataModuleTest, TempPathIsMadeWhenMissingAndKeptWhenItExists) {
    TDataModule data(dir.path());
    data.CreateMissingStores();
    data.Connect();
    const QString fallback = path("temp");
    EXPECT_EQ(data.EnsureTempPath(fallback), fallback);
    EXPECT_TRUE(QFileInfo(fallback).isDir());
    EXPECT_EQ(column("options", "temppath"), std::vector<std::string>({fallback.toStdString()}));

    QDir().mkdir(path("mine"));
    {
        store::TStoreTable t;
        t.SetDatabaseName(storePath());
        t.SetTableName("options");
        t.Open();
        t.Edit();
        t.FieldByName("temppath").SetAsString(path("mine").toStdString());
        t.Post();
        t.Close();
    }
    TDataModule again(dir.path());
    again.Connect();
    EXPECT_EQ(again.EnsureTempPath(fallback), path("mine"));
    EXPECT_EQ(column("options", "temppath").size(), 1u);
}

TEST_F(DataModuleTest, TempPathStartsTheOptionsRecordOnAnEmptyTable) {
    {
        TDataModule data(dir.path());
        data.CreateMissingStores();
    }
    {
        store::TStoreTable t;
        t.SetDatabaseName(storePath());
        t.SetTableName("options");
        t.Open();
        t.EmptyTable();
        t.Close();
    }
    TDataModule data(dir.path());
    data.Connect();
    EXPECT_EQ(data.EnsureTempPath(path("temp")), path("temp"));
    EXPECT_EQ(column("options", "temppath"),
              std::vector<std::string>({path("temp").toStdString()}));
}

TEST_F(DataModuleTest, ADamagedStoreIsReportedAndNeverReplaced) {
    {
        QFile file(path("all.dat"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is not a table store");
    }
    TDataModule data(dir.path());
    data.CreateMissingStores();
    EXPECT_THROW(data.Connect(), store::EStoreError);
    QFile file(path("all.dat"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("this is not a table store"));
    // The missing bookmark store was made all the same.
    EXPECT_TRUE(QFileInfo::exists(path("FTPBookmark.dat")));
}

TEST_F(DataModuleTest, TwoProgramFoldersCanBeOpenAtOnce) {
    oxbrook::testing::QtTempDir other;
    TDataModule first(dir.path());
    TDataModule second(other.path());
    first.CreateMissingStores();
    second.CreateMissingStores();
    first.Connect();
    second.Connect();
    first.AppendSite(site("only-here"));
    EXPECT_TRUE(first.SiteExists("only-here"));
    EXPECT_FALSE(second.SiteExists("only-here"));
}

} // namespace
