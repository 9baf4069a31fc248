// Writes that fail or a process that dies in the middle of a change: after either, the file
// opens, reads through every list and blob, and holds exactly the records of the changes that
// completed (the one in progress either wholly or not at all).

#include "store/key_compare.h"
#include "store/store_error.h"
#include "store/store_file_create.h"
#include "store/store_file_io.h"
#include "store/store_stream.h"
#include "store/store_table_io.h"
#include "store_writer_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace store;
namespace fs = std::filesystem;

namespace {

// num -> key and payload of every live record.
using Content = std::map<int, std::string>;

// One change of the sequence: append record n, give record n new content, give it a new key
// that keeps its place in the key order (its key with a 0 added), or delete it.
struct Change {
    enum { Append, Modify, Rekey, Delete } kind;
    int num;
};

std::string contentOf(const std::string& key, const std::string& payload) {
    return key + "|" + payload;
}

// Reads every record of every list with its blob, as the check does; fails the test on any
// error or on lists that disagree.
Content readAll(const std::string& path) {
    Content content;
    auto file = TStoreFileIO::Open(path);
    TStoreTableIO& t = file->Table("log");
    t.Open();
    TStoreLockHold hold(*file);
    TRecordBuffer r = t.NewRecord();
    for (const TRecordRef& ref : t.List(0)) {
        t.ReadRecord(ref, r);
        t.LoadBlob(r, 3);
        content[static_cast<int>(r.GetInteger(2))] = contentOf(r.GetText(1), r.GetBlob(3));
    }
    EXPECT_EQ(t.List(1).size(), content.size());
    EXPECT_EQ(t.List(2).size(), content.size());
    // Each index lists its records in the order of their keys as stored.
    std::vector<int> ids;
    for (const TRecordRef& ref : t.List(1)) {
        t.ReadRecord(ref, r);
        ids.push_back(r.GetInteger(0));
    }
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    std::vector<std::string> keys;
    for (const TRecordRef& ref : t.List(2)) {
        t.ReadRecord(ref, r);
        keys.push_back(r.GetText(1));
    }
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return CompareText(a, b, false) < 0;
    })) << "records out of key order";
    t.Release();
    return content;
}

class StoreFaults : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oxbrook-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        base = (folder / "base.dat").string();
        work = (folder / "work.dat").string();
        CreateStoreFile(base, LogDef());
        auto file = TStoreFileIO::Open(base);
        TStoreTableIO& t = file->Table("log");
        t.Open();
        TRecordBuffer r = t.NewRecord();
        for (int n = 0; n < 16; ++n) {
            FillLogRecord(r, n);
            slots[n] = t.AppendRecord(r);
        }
        t.Release();
        // Appends, modifies and deletes interleaved, touching both ends of the key order.
        for (int i = 0; i < 8; ++i) {
            changes.push_back({Change::Append, 100 + i});
            changes.push_back({Change::Rekey, 100 + i});
            changes.push_back({Change::Modify, i});
            changes.push_back({Change::Delete, 15 - i});
        }
        Content state = readAll(base);
        states.push_back(state);
        for (const Change& c : changes) {
            if (c.kind == Change::Delete)
                state.erase(c.num);
            else
                state[c.num] = expected(c);
            states.push_back(state);
        }
    }
    void TearDown() override {
        SetStoreWriteFault({});
        fs::remove_all(folder);
    }

    static std::string expected(const Change& c) {
        const int n = c.kind == Change::Modify ? c.num + 500 : c.num;
        return contentOf(LogKey(n) + (c.kind == Change::Rekey ? "0" : ""), LogPayload(n));
    }

    // Runs the changes on the work copy; a failure ends the run. Returns the changes completed.
    int runChanges() {
        int done = 0;
        try {
            auto file = TStoreFileIO::Open(work);
            TStoreTableIO& t = file->Table("log");
            t.Open();
            TRecordBuffer r = t.NewRecord();
            std::map<int, int32_t> slot = slots;
            for (const Change& c : changes) {
                if (c.kind == Change::Append) {
                    FillLogRecord(r, c.num);
                    slot[c.num] = t.AppendRecord(r);
                } else if (c.kind == Change::Modify) {
                    FillLogRecord(r, c.num + 500);
                    r.SetInteger(2, c.num);
                    t.ModifyRecord(slot[c.num], r);
                } else if (c.kind == Change::Rekey) {
                    FillLogRecord(r, c.num);
                    r.SetText(1, LogKey(c.num) + "0");
                    t.ModifyRecord(slot[c.num], r);
                } else {
                    t.DeleteRecord(slot[c.num]);
                }
                ++done;
            }
            t.Release();
        } catch (const EStoreError& e) {
            lastError = e.what();
        }
        return done;
    }

    // The work file holds the state after `done` changes, or after the one in progress.
    void expectPrefix(int done, const std::string& trace) {
        const Content content = readAll(work);
        const bool before = content == states[static_cast<size_t>(done)];
        const bool after =
            done + 1 < static_cast<int>(states.size()) && content == states[size_t(done) + 1];
        std::string diff;
        for (const auto& [num, text] : content) {
            auto it = states[size_t(done)].find(num);
            if (it == states[size_t(done)].end() || it->second != text)
                diff += " " + std::to_string(num) + "=" + text.substr(0, 20);
        }
        EXPECT_TRUE(before || after) << trace << " (change " << done << "): " << content.size()
                                     << " records, differing:" << diff;
    }

    fs::path folder;
    std::string base, work;
    std::map<int, int32_t> slots;
    std::vector<Change> changes;
    std::vector<Content> states;
    std::string lastError;
};

TEST_F(StoreFaults, AFailedWriteAtEveryPointLosesNothingPostedBefore) {
    fs::copy_file(base, work, fs::copy_options::overwrite_existing);
    int total = 0;
    SetStoreWriteFault([&] {
        ++total;
        return 0;
    });
    ASSERT_EQ(runChanges(), static_cast<int>(changes.size())) << lastError;
    ASSERT_GT(total, 3 * 8);
    int failures = 0;
    for (int n = 1; n <= total; ++n) {
        fs::copy_file(base, work, fs::copy_options::overwrite_existing);
        int writes = 0;
        SetStoreWriteFault([&] { return ++writes == n ? (n % 2 ? ENOSPC : EIO) : 0; });
        lastError.clear();
        const int done = runChanges();
        SetStoreWriteFault({});
        ASSERT_LT(done, static_cast<int>(changes.size())) << "write " << n << " did not fail";
        EXPECT_NE(lastError.find(n % 2 ? "No space left on device" : "Input/output error"),
                  std::string::npos)
            << lastError;
        ++failures;
        expectPrefix(done, "write " + std::to_string(n));
        if (HasFailure()) return;
    }
    EXPECT_EQ(failures, total);
    RecordProperty("injected_failures", failures);
}

TEST_F(StoreFaults, AProcessKilledDuringModifyOrDeleteLosesNothingPostedBefore) {
    std::mt19937 rng(20261209);
    int kills = 0;
    for (int round = 0; round < 60; ++round) {
        fs::copy_file(base, work, fs::copy_options::overwrite_existing);
        const int killAt = std::uniform_int_distribution<int>(1, 120)(rng);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int writes = 0;
            SetStoreWriteFault([&] {
                if (++writes == killAt) raise(SIGKILL);
                return 0;
            });
            runChanges();
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (WIFSIGNALED(status)) ++kills;
        // Which change was in progress is unknown here: the content must be one of the states.
        const Content content = readAll(work);
        bool known = false;
        for (const Content& state : states)
            known = known || content == state;
        EXPECT_TRUE(known) << "round " << round << " kill at write " << killAt;
        if (HasFailure()) return;
    }
    EXPECT_GT(kills, 30);
}

} // namespace
