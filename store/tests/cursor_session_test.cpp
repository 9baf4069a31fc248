// Sessions and databases: names, settings, connect and disconnect, databases made on demand,
// the program's own database, other processes' changes and the access check of encrypted files.

#include "store/tests/cursor_fixture.h"

#include "store/crypt/digest_text.h"
#include "store/store_file_io.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace store;
using cursortest::CursorTest;
using cursortest::ErrorOf;

TEST(CursorSession, DefaultSessionIsFoundByNameInAnyCase) {
    TStoreSession& def = TStoreSession::Default();
    EXPECT_EQ(def.SessionName(), "Default");
    EXPECT_EQ(&TStoreSession::Get(""), &def);
    EXPECT_EQ(&TStoreSession::Get("DEFAULT"), &def);
    EXPECT_EQ(def.LockRetryCount(), 20);
    EXPECT_EQ(def.LockWaitTime(), 100);
    EXPECT_FALSE(def.KeepConnections());
    EXPECT_EQ(ErrorOf([] { TStoreSession::Get("nobody"); }), "Invalid session name nobody");
}

TEST(CursorSession, NamesAndActivationFollowTheRules) {
    TStoreSession a("alpha");
    EXPECT_EQ(ErrorOf([] { TStoreSession dup("ALPHA"); }), "Duplicate session name 'ALPHA'");
    TStoreSession unnamed;
    EXPECT_EQ(ErrorOf([&] { unnamed.Open(); }), "Session name missing");
    a.Open();
    EXPECT_EQ(ErrorOf([&] { a.SetSessionName("beta"); }),
              "Cannot perform this operation on an active session");
    a.Close();
    a.SetSessionName("beta");
    EXPECT_EQ(TStoreSession::Find("Beta"), &a);
    unnamed.SetAutoSessionName(true, "Form");
    EXPECT_EQ(unnamed.SessionName(), "Form_1");
    EXPECT_EQ(ErrorOf([&] { unnamed.SetSessionName("x"); }),
              "Cannot modify SessionName while AutoSessionName is enabled");
    a.SetLockRetryCount(-5);
    a.SetLockWaitTime(-1);
    EXPECT_EQ(a.LockRetryCount(), 0);
    EXPECT_EQ(a.LockWaitTime(), 0);
}

TEST_F(CursorTest, DatabaseSettingsAndEvents) {
    TStoreSession session("events");
    TStoreDatabase db("events");
    std::string log;
    db.BeforeConnect = [&](TStoreDatabase&) { log += "bc "; };
    db.AfterConnect = [&](TStoreDatabase&) { log += "ac "; };
    db.BeforeDisconnect = [&](TStoreDatabase&) { log += "bd "; };
    db.AfterDisconnect = [&](TStoreDatabase&) { log += "ad "; };
    EXPECT_EQ(ErrorOf([&] { db.Open(); }), "Database name missing");
    EXPECT_EQ(ErrorOf([&] { db.TableNames(); }),
              "Cannot perform this operation on a closed database");
    db.SetDatabaseName("main");
    db.SetFileName(path);
    TStoreDatabase other("events");
    EXPECT_EQ(ErrorOf([&] { other.SetDatabaseName("MAIN"); }), "Duplicate database name 'MAIN'");
    db.Open();
    EXPECT_TRUE(session.Active());
    EXPECT_EQ(db.TableNames(), (std::vector<std::string>{"items", "ordered"}));
    EXPECT_EQ(ErrorOf([&] { db.SetFileName("x"); }),
              "Cannot perform this operation on an open database");
    EXPECT_EQ(ErrorOf([&] { db.SetDatabaseName("y"); }),
              "Cannot perform this operation on an open database");
    db.Close();
    EXPECT_EQ(log, "bc bc ac bd ad ");
    db.SetFileName(folder.File("missing.dat"));
    EXPECT_EQ(ErrorOf([&] { db.Open(); }), "Cannot open file " + folder.File("missing.dat"));
    EXPECT_FALSE(db.Connected());
}

TEST_F(CursorTest, CursorOnAFilePathMakesATemporaryDatabase) {
    TStoreTable t;
    OpenOn(t, "items");
    TStoreDatabase* db = TStoreSession::Default().FindDatabase(path);
    ASSERT_NE(db, nullptr);
    EXPECT_TRUE(db->Temporary());
    EXPECT_EQ(db->UseCount(), 1);
    TStoreTable second;
    OpenOn(second, "ordered");
    EXPECT_EQ(db->UseCount(), 2);
    second.Close();
    t.Close();
    EXPECT_EQ(TStoreSession::Default().FindDatabase(path), nullptr);
}

TEST_F(CursorTest, ProgramsDatabaseDisconnectsWithItsLastCursor) {
    TStoreDatabase db;
    db.SetDatabaseName("123");
    db.SetFileName(path);
    db.Open();
    TStoreTable t;
    t.SetDatabaseName("123");
    t.SetTableName("items");
    t.Open();
    EXPECT_EQ(t.Database(), &db);
    EXPECT_EQ(db.UseCount(), 1);
    t.Close();
    EXPECT_FALSE(db.Connected());
    t.Open();
    EXPECT_TRUE(db.Connected());
    // Disconnecting closes the database's cursors.
    db.Close();
    EXPECT_FALSE(t.Active());
}

TEST_F(CursorTest, ReopenShowsWhatAnotherProcessAppended) {
    TStoreDatabase db;
    db.SetDatabaseName("123");
    db.SetFileName(path);
    db.Open();
    TStoreTable t;
    t.SetDatabaseName("123");
    t.SetTableName("items");
    t.Open();
    t.Append();
    t.FieldByName("name").SetAsString("mine");
    t.Post();
    t.Close();

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 1;
        try {
            TStoreTable writer;
            writer.SetDatabaseName(path);
            writer.SetTableName("items");
            writer.Open();
            writer.Append();
            writer.FieldByName("name").SetAsString("theirs");
            writer.Post();
            writer.Close();
            status = 0;
        } catch (...) {
        }
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    t.Open();
    EXPECT_EQ(t.RecordCount(), 2);
    t.Last();
    EXPECT_EQ(t.FieldByName("name").AsString(), "theirs");
    EXPECT_EQ(t.FieldByName("key").AsInteger(), 2);
}

namespace {

// A store whose values are compressed and encrypted under the password "open sesame".
std::string makeEncrypted(const cursortest::TempFolder& folder) {
    TStoreFileDef def = cursortest::SampleDefinition();
    def.options.compressBlobs = true;
    def.options.encrypt = true;
    def.options.encryptAlgorithm = "Twofish";
    def.options.encryptMode = 1;
    def.options.passwordHash = passwordHashText("open sesame");
    std::string path = folder.File("locked.dat");
    CreateStoreFile(path, def);
    return path;
}

} // namespace

TEST(CursorAccess, CandidatesAreTriedInOrderAndCancelEndsSilently) {
    cursortest::TempFolder folder;
    std::string path = makeEncrypted(folder);
    TStoreSession session("access");
    std::vector<std::string> asked;
    std::string answer;
    session.SetOnLogin([&](const std::string& file, std::string& password) {
        asked.push_back(file);
        password = answer;
        return !answer.empty();
    });
    TStoreTable t;
    t.SetSessionName("access");
    t.SetDatabaseName(path);
    t.SetTableName("items");
    // The prompt is cancelled: the open ends without a store error.
    EXPECT_THROW(t.Open(), EStoreAbort);
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(asked, std::vector<std::string>{path});
    answer = "wrong";
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Access denied");
    answer = "open sesame";
    t.Open();
    t.Append();
    t.FieldByName("name").SetAsString("hidden");
    t.FieldByName("note").SetAsString(std::string(2000, 'q'));
    t.Post();
    t.Close();
    // A session password is tried first: no prompt.
    asked.clear();
    session.AddPassword("first guess");
    session.AddPassword("open sesame");
    t.Open();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(t.FieldByName("name").AsString(), "hidden");
    EXPECT_EQ(t.FieldByName("note").AsString(), std::string(2000, 'q'));
    t.Close();
}

TEST(CursorAccess, DatabasePasswordComesBeforeThePromptAndReplacesIt) {
    cursortest::TempFolder folder;
    std::string path = makeEncrypted(folder);
    TStoreSession session("dbpass");
    int prompts = 0;
    session.SetOnLogin([&](const std::string&, std::string& password) {
        ++prompts;
        password = "open sesame";
        return true;
    });
    TStoreDatabase db("dbpass");
    db.SetDatabaseName("locked");
    db.SetFileName(path);
    db.SetPassword("not it");
    TStoreTable t;
    t.SetSessionName("dbpass");
    t.SetDatabaseName("locked");
    t.SetTableName("items");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Access denied");
    EXPECT_EQ(prompts, 0);
    db.SetPassword("open sesame");
    t.Open();
    EXPECT_TRUE(t.Active());
    EXPECT_EQ(prompts, 0);
}

TEST_F(CursorTest, ProgressEventsReportCompression) {
    TStoreFileDef def = cursortest::SampleDefinition();
    def.options.compressBlobs = true;
    std::string packed = folder.File("packed.dat");
    CreateStoreFile(packed, def);
    TStoreDatabase db;
    db.SetDatabaseName("packed");
    db.SetFileName(packed);
    std::vector<int> percents;
    db.OnCompressProgress = [&](TStoreDatabase&, int percent) { percents.push_back(percent); };
    TStoreTable t;
    t.SetDatabaseName("packed");
    t.SetTableName("items");
    t.Open();
    t.Append();
    t.FieldByName("note").SetAsString(std::string(200000, 'p'));
    t.Post();
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
}

TEST(CursorMedium, MemoryStoreIsOpenedByItsHandleName) {
    auto stream = std::make_shared<TMemoryStream>();
    stream->Assign(CreateStoreImage(cursortest::SampleDefinition()));
    uint32_t handle = RegisterMemoryStream(stream);
    TStoreTable t;
    t.SetDatabaseName(MemoryStreamName(handle));
    t.SetMedium(mtMemory);
    t.SetTableName("items");
    t.Open();
    t.Append();
    t.FieldByName("name").SetAsString("in memory");
    t.Post();
    t.Close();
    t.SetDatabaseName(MemoryStreamName(handle));
    t.SetTableName("items");
    t.Open();
    EXPECT_EQ(t.FieldByName("name").AsString(), "in memory");
    t.Close();
    t.SetDatabaseName("not-a-handle");
    t.SetTableName("items");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Invalid database name 'not-a-handle'");
    UnregisterMemoryStream(handle);
}

TEST_F(CursorTest, SessionLockSettingsReachTheOpenFile) {
    TStoreSession session("locks");
    session.SetLockRetryCount(3);
    session.SetLockWaitTime(7);
    TStoreTable t;
    t.SetSessionName("locks");
    OpenOn(t, "items");
    EXPECT_EQ(t.Database()->FileIO().LockRetryCount(), 3);
    EXPECT_EQ(t.Database()->FileIO().LockWaitTime(), 7);
    session.SetLockRetryCount(0);
    EXPECT_EQ(t.Database()->FileIO().LockRetryCount(), 0);
}

TEST_F(CursorTest, KeepConnectionsKeepsDatabasesMadeOnDemandUntilTheSessionCloses) {
    TStoreSession session("keep");
    session.SetKeepConnections(true);
    TStoreTable t;
    t.SetSessionName("keep");
    OpenOn(t, "items");
    t.Close();
    TStoreDatabase* db = session.FindDatabase(path);
    ASSERT_NE(db, nullptr);
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(db->UseCount(), 0);
    session.Close();
    EXPECT_EQ(session.FindDatabase(path), nullptr);
}
