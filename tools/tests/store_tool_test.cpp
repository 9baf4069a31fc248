// The store tool on stores made by the program's schema, on stores with every field type and
// an index, on compressed and encrypted stores and on damaged files.

#include "tools/store_tool.h"

#include "data/schema/schema.h"
#include "store/crypt/digest_text.h"
#include "store/database.h"
#include "store/store_error.h"
#include "store/store_file_create.h"
#include "store/table.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace store;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class StoreToolTest : public ::testing::Test {
protected:
    std::string File(const char* name) { return (folder / name).string(); }

    Result Run(std::vector<std::string> args, std::string password = {}) {
        std::ostringstream out, err;
        auto ask = [&](const std::string&, std::string& pw) {
            pw = password;
            return !password.empty();
        };
        int status = storetool::RunStoreTool(args, out, err, ask);
        return {status, out.str(), err.str()};
    }

    oxbrook::testing::TempDir temp;
    const std::filesystem::path& folder = temp.path();
};

// A table with every kind of value the dump writes, and an index on `num`.
TStoreFileDef typesDefinition(bool protect) {
    TStoreFileDef def;
    if (protect) {
        def.options.compressBlobs = true;
        def.options.compressAlgorithm = "ZIP";
        def.options.encrypt = true;
        def.options.encryptMode = 1;
        def.options.encryptAlgorithm = "Blowfish";
        def.options.passwordHash = passwordHashText("secret");
    }
    TTableDef& t = def.tables.emplace_back();
    t.name = "kinds";
    t.fields = {{"id", ftAutoInc},   {"name", ftString, 20}, {"num", ftInteger},
                {"flag", ftBoolean}, {"ratio", ftFloat},     {"day", ftDate},
                {"clock", ftTime},   {"stamp", ftDateTime},  {"note", ftMemo},
                {"data", ftBlob}};
    t.indexes = {{"bynum", 0, {"num"}}};
    return def;
}

void addKind(TStoreTable& t, const char* name, int num, const std::string& note) {
    t.Append();
    t.FieldByName("name").SetAsString(name);
    t.FieldByName("num").SetAsInteger(num);
    t.FieldByName("flag").SetAsBoolean(num % 2 == 1);
    t.FieldByName("ratio").SetAsFloat(0.1 * num);
    t.FieldByName("day").SetAsString("2024-03-05");
    t.FieldByName("clock").SetAsString("07:08:09.250");
    t.FieldByName("stamp").SetAsString("2001-02-03 04:05:06");
    t.FieldByName("note").SetAsString(note);
    t.FieldByName("data").SetAsString(std::string("\x01\xab", 2));
    t.Post();
}

void fillKinds(const std::string& path, const std::string& sessionPassword = {}) {
    TStoreSession session("tool-test-filler");
    if (!sessionPassword.empty()) session.AddPassword(sessionPassword);
    TStoreTable t;
    t.SetSessionName("tool-test-filler");
    t.SetDatabaseName(path);
    t.SetTableName("kinds");
    t.Open();
    addKind(t, "b\tc", 3, "line1\nline2\\end\r");
    addKind(t, "a", 1, std::string(3000, 'z'));
    addKind(t, "c", 2, "");
    t.Close();
}

const char* kHeader = "id\tname\tnum\tflag\tratio\tday\tclock\tstamp\tnote\tdata\n";

std::string expectedRow(int id, const char* name, int num, const std::string& note) {
    char ratio[64];
    std::snprintf(ratio, sizeof ratio, "%.17g", 0.1 * num);
    return std::to_string(id) + "\t" + name + "\t" + std::to_string(num) + "\t" +
           (num % 2 == 1 ? "True" : "False") + "\t" + ratio +
           "\t2024-03-05\t07:08:09.250\t2001-02-03 04:05:06.000\t" + note + "\t01ab\n";
}

} // namespace

TEST_F(StoreToolTest, CreateWritesTheProgramsStoreAndRefusesToOverwrite) {
    std::string path = File("all.dat");
    Result made = Run({"create", path, "main"});
    EXPECT_EQ(made.status, 0);
    Result again = Run({"create", path, "main"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("exists already"), std::string::npos);
    Result tables = Run({"tables", path});
    EXPECT_EQ(tables.status, 0);
    EXPECT_EQ(tables.out.substr(0, tables.out.find('\n', tables.out.find("options"))),
              "ftpsite\t21\t0\t0\noptions\t9\t0\t1");
    EXPECT_NE(tables.out.find("antiidle\t2\t0\t2\nascext\t2\t0\t13\n"), std::string::npos);
    Result dump = Run({"dump", path, "options"});
    EXPECT_EQ(dump.out, "eanti\tinterval\ttransfermode\ttransferc\trecvb\tsendb\tappe\tifclear\t"
                        "temppath\nTrue\t30\tauto\tnone\t65536\t65536\tTrue\tTrue\t\n");
    Result check = Run({"check", path});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, "ok: 15 tables, 16 records, 16 blobs\n");
    EXPECT_EQ(Run({"create", File("FTPBookmark.dat"), "bookmark"}).status, 0);
    EXPECT_EQ(Run({"tables", File("FTPBookmark.dat")}).out, "bookmark\t2\t0\t0\n");
}

TEST_F(StoreToolTest, DumpWritesEveryTypeInPhysicalAndIndexOrder) {
    std::string path = File("kinds.dat");
    CreateStoreFile(path, typesDefinition(false));
    fillKinds(path);
    std::string longNote(3000, 'z');
    Result dump = Run({"dump", path, "kinds"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(dump.out, kHeader + expectedRow(1, "b\\tc", 3, "line1\\nline2\\\\end\\r") +
                            expectedRow(2, "a", 1, longNote) + expectedRow(3, "c", 2, ""));
    Result byNum = Run({"dump", path, "KINDS", "bynum"});
    EXPECT_EQ(byNum.out, kHeader + expectedRow(2, "a", 1, longNote) + expectedRow(3, "c", 2, "") +
                             expectedRow(1, "b\\tc", 3, "line1\\nline2\\\\end\\r"));
    Result noIndex = Run({"dump", path, "kinds", "other"});
    EXPECT_EQ(noIndex.status, 1);
    EXPECT_EQ(noIndex.err, "Index 'other' not found\n");
    Result noTable = Run({"dump", path, "nothing"});
    EXPECT_EQ(noTable.status, 1);
    EXPECT_EQ(noTable.err, "Table 'nothing' not found\n");
    EXPECT_EQ(Run({"tables", path}).out, "kinds\t10\t1\t3\n");
}

TEST_F(StoreToolTest, CompressedAndEncryptedStoreNeedsItsPassword) {
    std::string path = File("secret.dat");
    CreateStoreFile(path, typesDefinition(true));
    fillKinds(path, "secret");
    Result plain = Run({"dump", path, "kinds"}, "secret");
    ASSERT_EQ(plain.status, 0) << plain.err;
    // The same records in an unprotected store dump to the same text.
    std::string open = File("open.dat");
    CreateStoreFile(open, typesDefinition(false));
    fillKinds(open);
    EXPECT_EQ(plain.out, Run({"dump", open, "kinds"}).out);
    EXPECT_NE(plain.out.find(std::string(3000, 'z')), std::string::npos);
    std::ifstream raw(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.find("line1"), std::string::npos);
    EXPECT_EQ(bytes.find(std::string(100, 'z')), std::string::npos);
    Result check = Run({"check", path}, "secret");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, "ok: 1 tables, 3 records, 6 blobs\n");
    Result wrong = Run({"dump", path, "kinds"}, "guess");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "Access denied\n");
    EXPECT_EQ(wrong.out, "");
}

TEST_F(StoreToolTest, CheckReportsDamagedBlobsAndFailsWithStatusOne) {
    std::string path = File("kinds.dat");
    CreateStoreFile(path, typesDefinition(false));
    fillKinds(path);
    // The last record's blobs lie at the end of the file: cut them off.
    auto size = std::filesystem::file_size(path);
    std::filesystem::resize_file(path, size - 100);
    Result check = Run({"check", path});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("table kinds record 2: "), std::string::npos) << check.out;
    EXPECT_EQ(check.err, "1 problem found\n");
}

TEST_F(StoreToolTest, WrongUsageGivesStatusTwo) {
    EXPECT_EQ(Run({}).status, 2);
    EXPECT_EQ(Run({"dump", File("x")}).status, 2);
    EXPECT_EQ(Run({"create", File("x"), "other"}).status, 2);
    Result missing = Run({"tables", File("missing.dat")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Cannot open file " + File("missing.dat") + "\n");
}

TEST_F(StoreToolTest, ProgramExitsWithTheToolsStatus) {
    std::string path = File("all.dat");
    std::string command = std::string(OXBROOK_STORE_TOOL) + " create '" + path + "' main";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
    EXPECT_EQ(WEXITSTATUS(std::system((command + " 2>/dev/null").c_str())), 1);
    std::string usage = std::string(OXBROOK_STORE_TOOL) + " frobnicate 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(usage.c_str())), 2);
}
