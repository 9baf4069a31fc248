// The program's record operations on a new store, done the way its windows do them: one
// database "123" on "all.dat", one cursor per table opened for each piece of work, and the
// bookmark cursor bound to the full path of "FTPBookmark.dat".

#include "data/schema/schema.h"

#include "store/database.h"
#include "store/table.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace store;

namespace {

class DataModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        schema::CreateStore((folder / schema::kMainStoreFile).string(), schema::StoreKind::Main);
        schema::CreateStore((folder / schema::kBookmarkStoreFile).string(),
                            schema::StoreKind::Bookmark);
        mainDatabase.SetDatabaseName("123");
        mainDatabase.SetFileName((folder / schema::kMainStoreFile).string());
        mainDatabase.Open();
        for (auto* t : {&Tftpsite, &Thm, &Thd, &Toption, &Ttask, &Ttaskd, &Ttaskd2})
            t->SetDatabaseName("123");
        Tftpsite.SetTableName("ftpsite");
        Thm.SetTableName("hmaster");
        Thd.SetTableName("hdital");
        Toption.SetTableName("options");
        Ttask.SetTableName("task");
        Ttaskd.SetTableName("taskd");
        Ttaskd2.SetTableName("taskd2");
        Tftpb.SetDatabaseName((folder / schema::kBookmarkStoreFile).string());
        Tftpb.SetTableName("bookmark");
    }
    void TearDown() override { mainDatabase.Close(); }

    // RecordHistory's day record: located by (id, date, type), appended when missing; returns
    // its key.
    int dayRecord(int site, const std::string& day, const std::string& type) {
        Thm.Open();
        if (!Thm.Locate("id;date;type", {std::to_string(site), day, type})) {
            Thm.Append();
            Thm.FieldByName("id").SetAsInteger(site);
            Thm.FieldByName("date").SetAsString(day);
            Thm.FieldByName("type").SetAsString(type);
            Thm.Post();
        }
        int key = Thm.FieldByName("key").AsInteger();
        Thm.Close();
        return key;
    }

    void transfer(int day, const std::string& file) {
        Thd.Open();
        Thd.Append();
        Thd.FieldByName("id").SetAsInteger(day);
        Thd.FieldByName("ftpfile").SetAsString(file);
        Thd.FieldByName("speed").SetAsString("0KB/S");
        Thd.Post();
        Thd.Close();
    }

    oxbrook::testing::TempDir temp;
    const std::filesystem::path& folder = temp.path();
    TStoreDatabase mainDatabase;
    TStoreTable Tftpsite, Thm, Thd, Toption, Ttask, Ttaskd, Ttaskd2, Tftpb;
};

} // namespace

TEST_F(DataModuleTest, StartUpFillsTheTempPathOfTheOptionsRecord) {
    Toption.Open();
    Toption.Edit();
    if (Toption.FieldByName("temppath").AsString().empty())
        Toption.FieldByName("temppath").SetAsString((folder / "temp").string());
    Toption.Post();
    Toption.Close();
    EXPECT_FALSE(mainDatabase.Connected());
    Toption.Open();
    EXPECT_EQ(Toption.RecordCount(), 1);
    EXPECT_EQ(Toption.FieldByName("temppath").AsString(), (folder / "temp").string());
    EXPECT_EQ(Toption.FieldByName("interval").AsInteger(), 30);
}

TEST_F(DataModuleTest, OptionsRecordIsMadeWhenTheTableIsEmpty) {
    Toption.Open();
    Toption.EmptyTable();
    // Reading a field of the empty table gives 0, so start-up writes the record.
    EXPECT_EQ(Toption.FieldByName("interval").AsInteger(), 0);
    Toption.Edit();
    Toption.FieldByName("interval").SetAsInteger(30);
    Toption.Post();
    EXPECT_EQ(Toption.RecordCount(), 1);
    Toption.Close();
}

TEST_F(DataModuleTest, HistoryLinksTransfersToOneDayRecordPerSiteDayAndDirection) {
    Tftpsite.Open();
    Tftpsite.Append();
    Tftpsite.FieldByName("name").SetAsString("home");
    Tftpsite.Post();
    int site = Tftpsite.FieldByName("id").AsInteger();
    Tftpsite.Close();
    ASSERT_EQ(site, 1);

    int day = dayRecord(site, "Wednesday, 9 December 2026", "Download");
    transfer(day, "a.txt");
    EXPECT_EQ(dayRecord(site, "Wednesday, 9 December 2026", "Download"), day);
    transfer(day, "b.txt");
    int up = dayRecord(site, "Wednesday, 9 December 2026", "Upload");
    EXPECT_NE(up, day);
    transfer(up, "c.txt");

    // The history page walks the day records backwards and finds their transfers.
    Thm.Open();
    Thd.Open();
    std::vector<std::string> seen;
    for (Thm.Last(); !Thm.Bof(); Thm.Prior()) {
        int key = Thm.FieldByName("key").AsInteger();
        for (Thd.First(); !Thd.Eof(); Thd.Next())
            if (Thd.FieldByName("id").AsInteger() == key)
                seen.push_back(Thm.FieldByName("type").AsString() + ":" +
                               Thd.FieldByName("ftpfile").AsString());
    }
    Thd.Close();
    Thm.Close();
    EXPECT_EQ(seen, (std::vector<std::string>{"Upload:c.txt", "Download:a.txt", "Download:b.txt"}));
}

TEST_F(DataModuleTest, DeletingASitesHistoryWhileScanning) {
    for (int site : {1, 2, 1, 1, 2})
        transfer(dayRecord(site, "day " + std::to_string(site), "Upload"), "f");
    // Delete the day records of site 1 and their transfers: no Next after a Delete.
    Thm.Open();
    Thd.Open();
    Thm.First();
    while (!Thm.Eof()) {
        if (Thm.FieldByName("id").AsInteger() != 1) {
            Thm.Next();
            continue;
        }
        int key = Thm.FieldByName("key").AsInteger();
        Thd.First();
        while (!Thd.Eof())
            if (Thd.FieldByName("id").AsInteger() == key)
                Thd.Delete();
            else
                Thd.Next();
        Thm.Delete();
    }
    EXPECT_EQ(Thm.RecordCount(), 1);
    EXPECT_EQ(Thd.RecordCount(), 2);
    Thd.Close();
    Thm.Close();
}

TEST_F(DataModuleTest, TaskEditorLinksEntriesThroughTheNewTaskId) {
    Ttask.Open();
    Ttask.Append();
    Ttask.FieldByName("name").SetAsString("Nightly");
    Ttask.Post();
    Ttask.Close();
    Ttask.Open();
    ASSERT_TRUE(Ttask.Locate("name", "Nightly"));
    int category = Ttask.FieldByName("id").AsInteger();
    Ttask.Close();

    Ttaskd.Open();
    Ttaskd.Append();
    Ttaskd.FieldByName("taskid").SetAsInteger(category);
    Ttaskd.FieldByName("name").SetAsString("Backup");
    Ttaskd.FieldByName("type").SetAsString("Upload");
    Ttaskd.Post();
    int task = Ttaskd.FieldByName("id").AsInteger();
    Ttaskd.Close();

    std::string local = "/home/user/" + std::string(300, 'd') + "/";
    Ttaskd2.Open();
    for (const char* file : {"one", "two"}) {
        Ttaskd2.Insert();
        Ttaskd2.FieldByName("id").SetAsInteger(task);
        Ttaskd2.FieldByName("files").SetAsString(file);
        Ttaskd2.FieldByName("local").SetAsString(local);
        Ttaskd2.Post();
    }
    Ttaskd2.Close();
    Ttaskd2.Open();
    int entries = 0;
    for (Ttaskd2.First(); !Ttaskd2.Eof(); Ttaskd2.Next()) {
        EXPECT_EQ(Ttaskd2.FieldByName("id").AsInteger(), task);
        EXPECT_EQ(Ttaskd2.FieldByName("local").AsString(), local);
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

TEST_F(DataModuleTest, BookmarkCursorOpensItsStoreByPath) {
    Tftpb.Open();
    Tftpb.Append();
    Tftpb.FieldByName("ftpid").SetAsInteger(4);
    Tftpb.FieldByName("path").SetAsString("/pub/incoming");
    Tftpb.Post();
    Tftpb.Close();
    EXPECT_EQ(TStoreSession::Default().FindDatabase(Tftpb.DatabaseName()), nullptr);
    Tftpb.Open();
    std::vector<std::string> paths;
    for (Tftpb.First(); !Tftpb.Eof(); Tftpb.Next())
        if (Tftpb.FieldByName("ftpid").AsInteger() == 4)
            paths.push_back(Tftpb.FieldByName("path").AsString());
    EXPECT_EQ(paths, std::vector<std::string>{"/pub/incoming"});
}
