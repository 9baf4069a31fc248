// The program's two store files as a new installation gets them.

#include "data/schema/schema.h"

#include "store/database.h"
#include "store/store_error.h"
#include "store/store_stream.h"
#include "store/table.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace store;

namespace {

class SchemaTest : public ::testing::Test {
protected:
    std::string File(const char* name) { return (folder / name).string(); }

    oxbrook::testing::TempDir temp;
    const std::filesystem::path& folder = temp.path();
};

void openOn(TStoreTable& t, const std::string& path, const std::string& table) {
    t.SetDatabaseName(path);
    t.SetTableName(table);
    t.Open();
}

} // namespace

TEST_F(SchemaTest, MainStoreHasEveryTableAndFieldWithItsType) {
    std::string path = File(schema::kMainStoreFile);
    schema::CreateStore(path, schema::StoreKind::Main);
    const char* names[] = {"ftpsite", "options", "proxy",    "socks",   "antiidle",
                           "ascext",  "editor",  "hmaster",  "hdital",  "task",
                           "taskd",   "taskd2",  "quickftp", "sitesec", "trustcert"};
    ASSERT_EQ(schema::MainTables().size(), std::size(names));
    for (const char* name : names) {
        const schema::TableDesc* desc = schema::FindTable(name);
        ASSERT_NE(desc, nullptr) << name;
        TStoreTable t;
        openOn(t, path, name);
        ASSERT_EQ(t.FieldCount(), static_cast<int>(desc->fields.size())) << name;
        for (const schema::FieldDesc& f : desc->fields)
            EXPECT_EQ(t.FieldByName(f.name).DataType(), f.type) << name << "." << f.name;
    }
    TStoreTable site;
    openOn(site, path, "ftpsite");
    EXPECT_EQ(site.FieldByName("id").DataType(), ftAutoInc);
    EXPECT_EQ(site.FieldByName("port").DataType(), ftInteger);
    EXPECT_EQ(site.FieldByName("vp").DataType(), ftBoolean);
}

TEST_F(SchemaTest, MainStoreStartsWithWorkingDefaults) {
    std::string path = File(schema::kMainStoreFile);
    schema::CreateStore(path, schema::StoreKind::Main);
    TStoreTable t;
    openOn(t, path, "options");
    ASSERT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.FieldByName("interval").AsInteger(), 30);
    EXPECT_EQ(t.FieldByName("transfermode").AsString(), "auto");
    EXPECT_EQ(t.FieldByName("transferc").AsString(), "none");
    EXPECT_EQ(t.FieldByName("recvb").AsInteger(), 65536);
    EXPECT_EQ(t.FieldByName("sendb").AsInteger(), 65536);
    EXPECT_TRUE(t.FieldByName("appe").AsBoolean());
    EXPECT_TRUE(t.FieldByName("eanti").AsBoolean());
    EXPECT_TRUE(t.FieldByName("ifclear").AsBoolean());
    EXPECT_EQ(t.FieldByName("temppath").AsString(), "");
    t.Close();

    openOn(t, path, "antiidle");
    std::string commands;
    for (t.First(); !t.Eof(); t.Next()) {
        EXPECT_TRUE(t.FieldByName("tf").AsBoolean());
        commands += t.FieldByName("command").AsString() + " ";
    }
    EXPECT_EQ(commands, "NOOP PWD ");
    t.Close();

    openOn(t, path, "ascext");
    std::string exts;
    for (t.First(); !t.Eof(); t.Next()) {
        EXPECT_TRUE(t.FieldByName("tf").AsBoolean());
        exts += t.FieldByName("ext").AsString() + " ";
    }
    EXPECT_EQ(exts, "ASP BAT C CGI CPP CSS DHTML HTM HTML PERL PHP PL TXT ");
    t.Close();

    for (const char* empty : {"ftpsite", "hmaster", "hdital", "task", "taskd", "taskd2"}) {
        openOn(t, path, empty);
        EXPECT_EQ(t.RecordCount(), 0) << empty;
        t.Close();
    }
}

TEST_F(SchemaTest, EveryPathAndTypedTextFieldHoldsALongPath) {
    std::string path = File(schema::kMainStoreFile);
    schema::CreateStore(path, schema::StoreKind::Main);
    std::string bookmarks = File(schema::kBookmarkStoreFile);
    schema::CreateStore(bookmarks, schema::StoreKind::Bookmark);
    std::string longPath;
    while (longPath.size() < 4000)
        longPath += "/folder with a rather long name";
    longPath.resize(4000);
    int checked = 0;
    for (auto kind : {schema::StoreKind::Main, schema::StoreKind::Bookmark}) {
        const std::string& file = kind == schema::StoreKind::Main ? path : bookmarks;
        for (const schema::TableDesc& desc : schema::TablesOf(kind)) {
            TStoreTable t;
            openOn(t, file, desc.name);
            t.Append();
            for (const schema::FieldDesc& f : desc.fields)
                if (f.type == ftMemo) t.FieldByName(f.name).SetAsString(longPath + f.name);
            t.Post();
            t.Close();
            openOn(t, file, desc.name);
            t.Last();
            for (const schema::FieldDesc& f : desc.fields) {
                if (f.type != ftMemo) continue;
                EXPECT_EQ(t.FieldByName(f.name).AsString(), longPath + f.name)
                    << desc.name << "." << f.name;
                ++checked;
            }
        }
    }
    // Paths, file names, folders, names, hosts, credentials and free comments: every field
    // whose value the user types or a file system gives must be among those checked above.
    const std::vector<std::pair<const char*, const char*>> longFields = {
        {"ftpsite", "name"},      {"ftpsite", "address"}, {"ftpsite", "username"},
        {"ftpsite", "password"},  {"ftpsite", "comment"}, {"ftpsite", "defaultpath"},
        {"ftpsite", "localpath"}, {"ftpsite", "proxy"},   {"ftpsite", "socks"},
        {"options", "temppath"},  {"proxy", "name"},      {"proxy", "server"},
        {"proxy", "username"},    {"proxy", "password"},  {"socks", "name"},
        {"socks", "host"},        {"socks", "user"},      {"socks", "pass"},
        {"antiidle", "command"},  {"ascext", "ext"},      {"editor", "ext"},
        {"editor", "editor"},     {"hdital", "ftpfile"},  {"hdital", "lofile"},
        {"hdital", "ftppath"},    {"hdital", "lopath"},   {"task", "name"},
        {"task", "desc"},         {"taskd", "name"},      {"taskd", "ftp"},
        {"taskd", "common"},      {"taskd2", "files"},    {"taskd2", "local"},
        {"taskd2", "ftp"},        {"quickftp", "ftp"},    {"quickftp", "user"},
        {"quickftp", "pass"},     {"trustcert", "host"},  {"trustcert", "subject"},
        {"bookmark", "path"}};
    EXPECT_EQ(checked, static_cast<int>(longFields.size()));
    for (auto [table, field] : longFields) {
        const schema::TableDesc* desc = schema::FindTable(table);
        ASSERT_NE(desc, nullptr) << table;
        bool memo = false;
        for (const auto& f : desc->fields)
            if (std::string(f.name) == field) memo = f.type == ftMemo;
        EXPECT_TRUE(memo) << table << "." << field;
    }
}

TEST_F(SchemaTest, BookmarkStoreHoldsTheBookmarkTable) {
    std::string path = File(schema::kBookmarkStoreFile);
    schema::CreateStore(path, schema::StoreKind::Bookmark);
    TStoreTable t;
    openOn(t, path, "bookmark");
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(t.FieldByName("ftpid").DataType(), ftInteger);
    t.Append();
    t.FieldByName("ftpid").SetAsInteger(3);
    t.FieldByName("path").SetAsString("/pub");
    t.Post();
    EXPECT_TRUE(t.Locate("ftpid;path", {"3", "/pub"}));
}

TEST_F(SchemaTest, ExistingFileIsNeverOverwritten) {
    std::string path = File(schema::kMainStoreFile);
    {
        std::ofstream out(path);
        out << "precious";
    }
    EXPECT_THROW(schema::CreateStore(path, schema::StoreKind::Main), EStoreError);
    std::ifstream in(path);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "precious");
}

namespace {

int recordsIn(const std::string& path) {
    int records = 0;
    for (const char* table : {"options", "antiidle", "ascext"}) {
        TStoreTable t;
        openOn(t, path, table);
        records += t.RecordCount();
        t.Close();
    }
    return records;
}

} // namespace

// The process dies at each write in turn while making the store: the store's name then names
// nothing or the whole store with its 16 default records, never a part of it.
TEST_F(SchemaTest, ACrashAtAnyWriteLeavesNoHalfMadeStore) {
    const std::string path = File(schema::kMainStoreFile);
    bool finished = false;
    int crashes = 0;
    for (int n = 1; !finished && n < 1000; ++n) {
        std::filesystem::remove(path);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int writes = 0;
            SetStoreWriteFault([&] {
                if (++writes == n) _exit(3);
                return 0;
            });
            try {
                schema::CreateStore(path, schema::StoreKind::Main);
            } catch (...) {
                _exit(4);
            }
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        finished = WEXITSTATUS(status) == 0;
        if (!finished) ++crashes;
        ASSERT_TRUE(finished || WEXITSTATUS(status) == 3) << "write " << n;
        if (std::filesystem::exists(path))
            EXPECT_EQ(recordsIn(path), 16) << "write " << n;
        else
            EXPECT_FALSE(finished) << "write " << n;
    }
    EXPECT_TRUE(finished);
    EXPECT_GT(crashes, 16);
    EXPECT_EQ(recordsIn(path), 16);
}

// A failing write (a full disk) ends with the system's message and leaves no file at all.
TEST_F(SchemaTest, AFailedCreationLeavesNothing) {
    const std::string path = File(schema::kMainStoreFile);
    int writes = 0;
    SetStoreWriteFault([&] { return ++writes == 3 ? ENOSPC : 0; });
    try {
        schema::CreateStore(path, schema::StoreKind::Main);
        ADD_FAILURE();
    } catch (const EStoreError& e) {
        EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos)
            << e.what();
    }
    SetStoreWriteFault({});
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}
