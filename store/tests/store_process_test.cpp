// Several processes on one store file: the file lock and its time-out, two writers appending
// to one table at once, and writers killed in the middle of an append.

#include "child_process.h"
#include "store/key_compare.h"
#include "store/store_error.h"
#include "store_test_support.h"
#include "store_writer_records.h"

#include <chrono>
#include <map>
#include <random>
#include <thread>

namespace store::test {
namespace {

class StoreProcesses : public TempDirTest {};

TEST_F(StoreProcesses, LockHeldElsewhereTimesOutAndWritesNothing) {
    CreateStoreFile(Path("a.dat"), ItemsDef());
    ChildProcess holder({STORE_WRITER, "hold", Path("a.dat")});
    std::string line;
    ASSERT_TRUE(holder.ReadLine(line));
    ASSERT_EQ(line, "locked");
    auto file = TStoreFileIO::Open(Path("a.dat"));
    file->SetLockSettings(3, 5);
    TStoreTableIO& t = file->Table(0);
    try {
        t.Open();
        FAIL() << "opened under a foreign lock";
    } catch (const EStoreError& e) {
        EXPECT_STREQ(e.what(), "Wait for unlock time out");
    }
    EXPECT_FALSE(file->Locked());
    holder.CloseInput();
    EXPECT_EQ(holder.Wait(), 0);
    t.Open();
    auto before = ReadAll(Path("a.dat"));

    ChildProcess again({STORE_WRITER, "hold", Path("a.dat")});
    ASSERT_TRUE(again.ReadLine(line));
    TRecordBuffer r = t.NewRecord();
    r.SetText(1, "blocked");
    EXPECT_THROW(t.AppendRecord(r), EStoreError);
    EXPECT_EQ(ReadAll(Path("a.dat")), before);
    EXPECT_FALSE(file->Locked());
    again.CloseInput();
    EXPECT_EQ(again.Wait(), 0);
    t.AppendRecord(r);
    EXPECT_EQ(t.RecordTotal(), 1);
    t.Release();
}

TEST_F(StoreProcesses, TwoWritersAppendingAtOnceLoseNothing) {
    CreateStoreFile(Path("a.dat"),
                    ItemsDef({{"byid", tiPrimary, {"id"}}, {"byname", tiUnique, {"name"}}}));
    const int count = 400;
    ChildProcess a({STORE_WRITER, "append", Path("a.dat"), std::to_string(count), "A"});
    ChildProcess b({STORE_WRITER, "append", Path("a.dat"), std::to_string(count), "B"});
    a.WriteLine("go");
    b.WriteLine("go");
    std::string line;
    ASSERT_TRUE(a.ReadLine(line, 60000));
    EXPECT_EQ(line, "done");
    ASSERT_TRUE(b.ReadLine(line, 60000));
    EXPECT_EQ(line, "done");
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);

    auto file = TStoreFileIO::Open(Path("a.dat"));
    TStoreTableIO& t = file->Table(0);
    t.Open();
    ASSERT_EQ(t.RecordTotal(), 2 * count);
    ASSERT_EQ(t.List(0).size(), static_cast<size_t>(2 * count));
    std::map<std::string, int> seen;
    TRecordBuffer r = t.NewRecord();
    std::vector<int32_t> ids;
    for (int i = 0; i < 2 * count; ++i) {
        t.ReadRecord(0, i, r);
        t.LoadBlob(r, 4);
        std::string name = r.GetText(1);
        int n = r.GetInteger(2);
        EXPECT_EQ(name.substr(2), std::to_string(n));
        EXPECT_EQ(r.GetBlob(4), std::string(static_cast<size_t>(n % 100), name[0]));
        ++seen[name];
        ids.push_back(r.GetInteger(0));
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(2 * count));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    EXPECT_EQ(ids.back(), 2 * count);
    auto byName = Names(t, 2);
    EXPECT_EQ(byName.size(), static_cast<size_t>(2 * count));
    for (size_t i = 1; i < byName.size(); ++i)
        EXPECT_LT(CompareText(byName[i - 1], byName[i], false), 0);
    t.Release();
}

// Opens the log table and checks that it holds records 0 .. n-1 intact and in order; returns n.
int CheckLog(const std::string& path) {
    auto file = TStoreFileIO::Open(path);
    TStoreTableIO& t = file->Table("log");
    t.Open();
    TStoreLockHold hold(*file);
    TRecordBuffer r = t.NewRecord();
    const int n = static_cast<int>(t.List(0).size());
    int32_t lastId = 0;
    for (int i = 0; i < n; ++i) {
        t.ReadRecord(0, i, r);
        EXPECT_EQ(r.GetInteger(2), i) << "record " << i;
        EXPECT_EQ(r.GetText(1), LogKey(i));
        EXPECT_GT(r.GetInteger(0), lastId);
        lastId = r.GetInteger(0);
        t.LoadBlob(r, 3);
        EXPECT_EQ(r.GetBlob(3), LogPayload(i)) << "record " << i;
    }
    EXPECT_EQ(t.List(1).size(), static_cast<size_t>(n));
    EXPECT_EQ(t.List(2).size(), static_cast<size_t>(n));
    std::vector<int> ids;
    for (int i = 0; i < n; ++i) {
        t.ReadRecord(1, i, r);
        ids.push_back(r.GetInteger(0));
    }
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    std::string prev;
    for (int i = 0; i < n; ++i) {
        t.ReadRecord(2, i, r);
        std::string k = r.GetText(1);
        if (i) {
            EXPECT_LE(CompareText(prev, k, false), 0);
        }
        prev = k;
    }
    t.Release();
    return n;
}

// Runs the crash writer on the log from record `first` until its killAt-th write; returns the
// record count the file holds afterwards, checked record by record.
int KillWriterAt(const std::string& path, int first, long killAt, bool half) {
    ChildProcess w({STORE_WRITER, "crash", path, std::to_string(killAt), half ? "1" : "0",
                    std::to_string(first)});
    std::string line;
    int posted = first - 1;
    while (w.ReadLine(line))
        if (line != "ready") posted = std::stoi(line);
    int status = w.Wait();
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own from " << first;
    int n = CheckLog(path);
    EXPECT_GE(n, posted + 1);
    EXPECT_LE(n, posted + 2);
    return n;
}

// Every write of the appends that start a new directory block and new link blocks, cut short
// or whole: the file keeps what was posted and takes further appends.
TEST_F(StoreProcesses, WriterKilledWhereANewBlockStartsLeavesTheFileAppendable) {
    for (int base : {1023, 2047}) {
        CreateStoreFile(Path("base" + std::to_string(base) + ".dat"), LogDef());
        {
            auto file = TStoreFileIO::Open(Path("base" + std::to_string(base) + ".dat"));
            TStoreTableIO& t = file->Table("log");
            t.Open();
            TRecordBuffer r = t.NewRecord();
            for (int n = 0; n < base; ++n) {
                FillLogRecord(r, n);
                t.AppendRecord(r);
            }
            t.Release();
        }
        const auto bytes = ReadAll(Path("base" + std::to_string(base) + ".dat"));
        for (long killAt = 1; killAt <= 30; ++killAt)
            for (bool half : {false, true}) {
                SCOPED_TRACE(::testing::Message() << base << " records, killed at write "
                                                  << killAt << (half ? ", half written" : ""));
                WriteAll(Path("log.dat"), bytes);
                int n = KillWriterAt(Path("log.dat"), base, killAt, half);
                int again = KillWriterAt(Path("log.dat"), n, 60, half);
                EXPECT_GT(again, n);
                if (::testing::Test::HasFailure()) return;
            }
    }
}

// Kills at random writes and at random moments. How far the log grows depends on the
// machine's pace; the block boundaries are covered write by write above.
TEST_F(StoreProcesses, WriterKilledMidAppendLeavesEveryPostedRecordIntact) {
    CreateStoreFile(Path("log.dat"), LogDef());
    std::mt19937 rng(20261209);
    int have = 0;
    for (int round = 0; round < 300; ++round) {
        const bool external = round % 4 == 3;
        const long killAt = external ? 0 : std::uniform_int_distribution<long>(1, 70)(rng);
        const bool half = rng() % 2 == 0;
        ChildProcess w({STORE_WRITER, "crash", Path("log.dat"), std::to_string(killAt),
                        half ? "1" : "0", std::to_string(have)});
        std::string line;
        ASSERT_TRUE(w.ReadLine(line)) << "round " << round;
        ASSERT_EQ(line, "ready");
        if (external) {
            // Any moment will do: the kill point itself is what varies.
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(rng)));
            w.Kill();
        }
        int posted = have - 1;
        while (w.ReadLine(line))
            posted = std::stoi(line);
        int status = w.Wait();
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
        int n = CheckLog(Path("log.dat"));
        if (::testing::Test::HasFailure()) FAIL() << "round " << round;
        EXPECT_GE(n, posted + 1) << "round " << round;
        EXPECT_LE(n, posted + 2) << "round " << round;
        have = n;
    }
    // The file stays usable: a normal append after all the kills is found on reopen.
    {
        auto file = TStoreFileIO::Open(Path("log.dat"));
        TStoreTableIO& t = file->Table("log");
        t.Open();
        TRecordBuffer r = t.NewRecord();
        FillLogRecord(r, have);
        t.AppendRecord(r);
        t.Release();
    }
    EXPECT_EQ(CheckLog(Path("log.dat")), have + 1);
}

} // namespace
} // namespace store::test
