// The table store against SQLite on a history-like table: appends one post at a time, a full
// scan reading every field, 1,000 key lookups through an index, 200 text lookups without one,
// and deleting every tenth record. Each round starts from new files and the two sides take
// turns at going first. The reads are short (a scan takes tens of milliseconds, a lookup
// microseconds to milliseconds), and this machine's speed drifts over seconds: the sides take
// turns at every scan, every hundred key lookups and every text lookup, so that both meet the
// machine in the same state. Every round runs in a process of its own. Prints each operation's median rate for both and the ratio's
// median with its spread.
//
//   store_bench [RECORDS] [--rounds N]    (defaults 100000 records, 5 rounds)

#include "bench/bench_stats.h"
#include "bench/store_bench_cursor.h"
#include "store/store_file_create.h"
#include "store/store_file_io.h"
#include "store/store_table_io.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace store;
using Clock = std::chrono::steady_clock;

namespace {

struct Row {
    std::string site, lpath, rpath, fname, stime, etime;
    int32_t size;
    bool upload;
};

Row MakeRow(int i) {
    char t1[16], t2[16];
    std::snprintf(t1, sizeof t1, "%02d:%02d:%02d", i / 3600 % 24, i / 60 % 60, i % 60);
    std::snprintf(t2, sizeof t2, "%02d:%02d:%02d", (i + 7) / 3600 % 24, (i + 7) / 60 % 60,
                  (i + 7) % 60);
    return {"site-" + std::to_string(i % 20),
            "/home/user/downloads/" + std::to_string(i % 500),
            "/pub/mirror/" + std::to_string(i % 300),
            "file-" + std::to_string(i) + ".tar.gz",
            t1,
            t2,
            i * 13 % 100000,
            i % 3 == 0};
}

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

TStoreFileDef HistoryDef() {
    TStoreFileDef def;
    def.tables.push_back({"hdital",
                          {{"key", ftAutoInc},
                           {"site", ftString, 50},
                           {"lpath", ftString, 100},
                           {"rpath", ftString, 100},
                           {"fname", ftString, 60},
                           {"stime", ftString, 10},
                           {"etime", ftString, 10},
                           {"size", ftInteger},
                           {"upload", ftBoolean}},
                          {{"bykey", tiPrimary, {"key"}}}});
    return def;
}

// Appends `n` records, one post each; returns records per second.
double AppendStore(const std::string& path, int n) {
    CreateStoreFile(path, HistoryDef());
    auto file = TStoreFileIO::Open(path);
    TStoreTableIO& t = file->Table("hdital");
    t.Open();
    TRecordBuffer r = t.NewRecord();
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
        Row row = MakeRow(i);
        r.Clear();
        r.SetText(1, row.site);
        r.SetText(2, row.lpath);
        r.SetText(3, row.rpath);
        r.SetText(4, row.fname);
        r.SetText(5, row.stime);
        r.SetText(6, row.etime);
        r.SetInteger(7, row.size);
        r.SetBoolean(8, row.upload);
        t.AppendRecord(r);
    }
    const double rate = n / Seconds(start);
    t.Release();
    return rate;
}

// Deletes every tenth record, one post each; returns deletions per second.
double DeleteStore(const std::string& path, int n) {
    auto file = TStoreFileIO::Open(path);
    TStoreTableIO& t = file->Table("hdital");
    t.Open();
    const auto start = Clock::now();
    int deleted = 0;
    for (int slot = 0; slot < n; slot += 10, ++deleted)
        t.DeleteRecord(slot);
    const double rate = deleted / Seconds(start);
    t.Release();
    return rate;
}

void Check(int rc, sqlite3* db, int want = SQLITE_OK) {
    if (rc != want) throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db));
}

sqlite3* OpenSqlite(const std::string& path) {
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db);
    Check(sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr), db);
    return db;
}

// For a run of posts, the rollback journal is kept between commits and only its header is
// cleared: in the default mode SQLite creates and deletes that file for every post, and its rate
// then follows the file system's own journal more than its own work. A post cut short is still
// rolled back on the next open.
sqlite3* OpenSqliteForPosts(const std::string& path) {
    sqlite3* db = OpenSqlite(path);
    Check(sqlite3_exec(db, "PRAGMA journal_mode=PERSIST", nullptr, nullptr, nullptr), db);
    return db;
}

// Back to the default mode, which removes the kept journal: with it present, every later read
// would first look into it for a post to roll back.
void CloseSqliteForPosts(sqlite3* db) {
    Check(sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), db);
    return statement;
}

double AppendSqlite(const std::string& path, int n) {
    sqlite3* db = OpenSqliteForPosts(path);
    Check(sqlite3_exec(db,
                       "CREATE TABLE hdital(key INTEGER PRIMARY KEY AUTOINCREMENT, site TEXT, "
                       "lpath TEXT, rpath TEXT, fname TEXT, stime TEXT, etime TEXT, size INTEGER, "
                       "upload INTEGER)",
                       nullptr, nullptr, nullptr),
          db);
    sqlite3_stmt* ins = Prepare(db, "INSERT INTO hdital(site,lpath,rpath,fname,stime,etime,size,"
                                    "upload) VALUES(?,?,?,?,?,?,?,?)");
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
        Row row = MakeRow(i);
        Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
        const std::string* texts6[] = {&row.site,  &row.lpath, &row.rpath,
                                       &row.fname, &row.stime, &row.etime};
        for (int c = 0; c < 6; ++c)
            sqlite3_bind_text(ins, c + 1, texts6[c]->c_str(), static_cast<int>(texts6[c]->size()),
                              SQLITE_TRANSIENT);
        sqlite3_bind_int(ins, 7, row.size);
        sqlite3_bind_int(ins, 8, row.upload ? 1 : 0);
        Check(sqlite3_step(ins), db, SQLITE_DONE);
        sqlite3_reset(ins);
        Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    }
    const double rate = n / Seconds(start);
    sqlite3_finalize(ins);
    CloseSqliteForPosts(db);
    return rate;
}

double DeleteSqlite(const std::string& path, int n) {
    sqlite3* db = OpenSqliteForPosts(path);
    sqlite3_stmt* del = Prepare(db, "DELETE FROM hdital WHERE key=?");
    const auto start = Clock::now();
    int deleted = 0;
    for (int slot = 0; slot < n; slot += 10, ++deleted) {
        Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
        sqlite3_bind_int(del, 1, slot + 1);
        Check(sqlite3_step(del), db, SQLITE_DONE);
        sqlite3_reset(del);
        Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    }
    const double rate = deleted / Seconds(start);
    sqlite3_finalize(del);
    CloseSqliteForPosts(db);
    return rate;
}

// Its own function, so that an instruction count can be taken of the scan alone
// (valgrind --tool=callgrind --toggle-collect='*ScanSqlite*').
[[gnu::noinline]] int64_t ScanSqlite(sqlite3_stmt* all) {
    int64_t checksum = 0;
    while (sqlite3_step(all) == SQLITE_ROW) {
        checksum +=
            sqlite3_column_int(all, 0) + sqlite3_column_int(all, 7) + sqlite3_column_int(all, 8);
        for (int c = 1; c <= 6; ++c) {
            sqlite3_column_text(all, c);
            checksum += sqlite3_column_bytes(all, c);
        }
    }
    sqlite3_reset(all);
    return checksum;
}

// The three readers of one round's files: the storage layer, the program's cursor and SQLite.
enum Reader { kTable, kCursor, kSqlite, kReaders };

// Rates per second of each reader for one kind of read.
using Rates = std::array<double, kReaders>;

struct ReadRates {
    Rates scan{}, key{}, text{};
};

// Runs `steps` steps of `read(reader, step)` for each reader, the readers taking turns at every
// step (whoever went first moves on by one each step and each round); returns each reader's
// seconds.
template <class Read> Rates Interleave(size_t steps, int round, Read read) {
    Rates spent{};
    for (size_t step = 0; step < steps; ++step)
        for (size_t k = 0; k < kReaders; ++k) {
            const auto reader = static_cast<Reader>((step + k + size_t(round)) % kReaders);
            const auto start = Clock::now();
            read(reader, step);
            spent[reader] += Seconds(start);
        }
    return spent;
}

Rates PerSecond(double work, Rates seconds) {
    for (double& s : seconds)
        s = work / s;
    return seconds;
}

// Every read of the round through each of the three readers, taking turns: `scans` full scans
// reading every field, the key lookups a hundred at a time, the text lookups one at a time.
ReadRates Reads(const std::string& storePath, const std::string& litePath, int scans,
                const std::vector<int>& keys, const std::vector<std::string>& texts, int round) {
    auto file = TStoreFileIO::Open(storePath);
    TStoreTableIO& t = file->Table("hdital");
    t.Open();
    TRecordBuffer r = t.NewRecord();
    TRecordBuffer key = t.NewRecord();
    CursorReader cursor(storePath, "hdital");
    sqlite3* db = OpenSqlite(litePath);
    sqlite3_stmt* all = Prepare(db, "SELECT * FROM hdital");
    sqlite3_stmt* byKey = Prepare(db, "SELECT * FROM hdital WHERE key=?");
    sqlite3_stmt* byText = Prepare(db, "SELECT * FROM hdital WHERE fname=? LIMIT 1");
    int64_t checksum = 0;
    int records = 0;
    ReadRates rates;

    const Rates scanSeconds = Interleave(size_t(scans), round, [&](Reader reader, size_t) {
        if (reader == kTable) {
            TStoreLockHold hold(*file);
            const int count = static_cast<int>(t.List(0).size());
            for (int i = 0; i < count; ++i) {
                t.ReadRecord(0, i, r);
                checksum += r.GetInteger(0) + r.GetInteger(7) + r.GetBoolean(8);
                for (int fld = 1; fld <= 6; ++fld)
                    checksum += static_cast<int64_t>(r.TextView(fld).size());
            }
            records = count;
        } else if (reader == kCursor) {
            checksum += static_cast<int64_t>(cursor.Scan());
        } else {
            checksum += ScanSqlite(all);
        }
    });
    rates.scan = PerSecond(double(records) * scans, scanSeconds);

    constexpr size_t kKeysPerStep = 100;
    const size_t keySteps = (keys.size() + kKeysPerStep - 1) / kKeysPerStep;
    const Rates keySeconds = Interleave(keySteps, round, [&](Reader reader, size_t step) {
        const size_t end = std::min(keys.size(), (step + 1) * kKeysPerStep);
        for (size_t i = step * kKeysPerStep; i < end; ++i) {
            bool found = false;
            if (reader == kTable) {
                key.SetInteger(0, keys[i]);
                const int pos = t.FindKey(0, key);
                found = pos >= 0;
                if (found) {
                    t.ReadRecord(1, pos, r);
                    checksum += r.GetInteger(7);
                }
            } else if (reader == kCursor) {
                found = cursor.Locate("key", std::to_string(keys[i]));
            } else {
                sqlite3_bind_int(byKey, 1, keys[i]);
                found = sqlite3_step(byKey) == SQLITE_ROW;
                if (found) checksum += sqlite3_column_int(byKey, 7);
                sqlite3_reset(byKey);
            }
            if (!found) throw std::runtime_error("key not found: " + std::to_string(keys[i]));
        }
    });
    rates.key = PerSecond(double(keys.size()), keySeconds);

    const Rates textSeconds = Interleave(texts.size(), round, [&](Reader reader, size_t step) {
        const std::string& text = texts[step];
        bool found = false;
        if (reader == kTable) {
            TStoreLockHold hold(*file);
            const TRecordList& list = t.List(0);
            for (size_t i = 0; i < list.size() && !found; ++i) {
                t.ReadRecord(list[i], r);
                found = r.TextView(4) == text;
            }
        } else if (reader == kCursor) {
            found = cursor.Locate("fname", text);
        } else {
            sqlite3_bind_text(byText, 1, text.c_str(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
            found = sqlite3_step(byText) == SQLITE_ROW;
            sqlite3_reset(byText);
        }
        if (!found) throw std::runtime_error("text not found: " + text);
    });
    rates.text = PerSecond(double(texts.size()), textSeconds);

    for (sqlite3_stmt* statement : {all, byKey, byText})
        sqlite3_finalize(statement);
    sqlite3_close(db);
    t.Release();
    if (checksum == 42) std::puts("");
    return rates;
}

// The rows' figures of one round: the table store's, then SQLite's, in the rows' order.
constexpr size_t kRows = 8;
using RoundFigures = std::array<double, 2 * kRows>;

// Runs one round in a process of its own and returns its figures. Rounds in one process met
// the memory the rounds before them had left behind, and it moved whole runs: the cursor's
// index lookups came out at 1.99 of SQLite's in one run and at 1.71 in the next, every round
// of the second below every round of the first. In a process of its own every round starts
// from the same state.
RoundFigures InChild(const std::function<RoundFigures()>& round) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("no pipe for a round's figures");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("cannot start a round's process");
    if (pid == 0) {
        close(fds[0]);
        int code = 0;
        try {
            const RoundFigures f = round();
            code = write(fds[1], f.data(), sizeof f) == ssize_t(sizeof f) ? 0 : 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "store_bench: %s\n", e.what());
            code = 1;
        }
        _exit(code);
    }
    close(fds[1]);
    RoundFigures f{};
    size_t got = 0;
    auto* bytes = reinterpret_cast<char*>(f.data());
    while (got < sizeof f) {
        const ssize_t n = read(fds[0], bytes + got, sizeof f - got);
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != sizeof f || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("a round failed");
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 && argv[1][0] != '-' ? std::atoi(argv[1]) : 100000;
    const int rounds = bench::RoundsFromArgs(argc, argv);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "oxbrook-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const std::filesystem::path dir = pattern;
    std::mt19937 rng(12345);
    std::vector<int> keys(1000);
    for (int& k : keys)
        k = 1 + static_cast<int>(rng() % static_cast<unsigned>(n));
    std::vector<std::string> texts(200);
    for (auto& t : texts)
        t = MakeRow(static_cast<int>(rng() % static_cast<unsigned>(n))).fname;
    constexpr int kScans = 5;
    const bench::PageCache cache;
    struct Row {
        const char* name;
        const char* what;
        std::vector<double> ours, lite, ratio;
    };
    std::vector<Row> rows = {
        {"store.append", "append, one post each", {}, {}, {}},
        {"store.scan", "scan, every field (records)", {}, {}, {}},
        {"store.index_lookup", "locate through an index", {}, {}, {}},
        {"store.text_lookup", "locate a text without an index", {}, {}, {}},
        {"store.delete", "delete every tenth, one post each", {}, {}, {}},
        {"store.cursor_scan", "cursor scan, every field by name", {}, {}, {}},
        {"store.cursor_index_locate", "cursor Locate through an index", {}, {}, {}},
        {"store.cursor_text_locate", "cursor Locate a text, no index", {}, {}, {}},
    };
    int rc = 0;
    try {
        for (int round = 0; round < rounds; ++round) {
            const RoundFigures f = InChild([&] {
                // New files every round, so that no round reads what another left in its pages.
                const std::string storePath = (dir / ("store-" + std::to_string(round) + ".dat"));
                const std::string litePath = (dir / ("sqlite-" + std::to_string(round) + ".db"));
                // Both sides of a writing step, in this round's order, each from settled pages;
                // returns the store's figure and SQLite's.
                auto writes = [&](double (*ours)(const std::string&, int),
                                  double (*theirs)(const std::string&, int)) {
                    std::array<double, 2> figures{};
                    bench::RunPair(
                        round,
                        [&] {
                            cache.Settle();
                            figures[0] = ours(storePath, n);
                        },
                        [&] {
                            cache.Settle();
                            figures[1] = theirs(litePath, n);
                        });
                    return figures;
                };
                const auto append = writes(AppendStore, AppendSqlite);
                cache.Settle();
                const ReadRates read = Reads(storePath, litePath, kScans, keys, texts, round);
                const auto remove = writes(DeleteStore, DeleteSqlite);
                std::error_code ec;
                std::filesystem::remove(storePath, ec);
                std::filesystem::remove(litePath, ec);
                return RoundFigures{append[0],          read.scan[kTable],  read.key[kTable],
                                    read.text[kTable],  remove[0],          read.scan[kCursor],
                                    read.key[kCursor],  read.text[kCursor], append[1],
                                    read.scan[kSqlite], read.key[kSqlite],  read.text[kSqlite],
                                    remove[1],          read.scan[kSqlite], read.key[kSqlite],
                                    read.text[kSqlite]};
            });
            const double* mine = f.data();
            const double* theirs = f.data() + kRows;
            for (size_t r = 0; r < rows.size(); ++r) {
                rows[r].ours.push_back(mine[r]);
                rows[r].lite.push_back(theirs[r]);
                rows[r].ratio.push_back(mine[r] / theirs[r]);
            }
            std::printf("round %d (%s first): cursor scan %.0f/s, SQLite scan %.0f/s\n", round + 1,
                        bench::AFirst(round) ? "table store" : "SQLite", mine[5], theirs[5]);
            std::fflush(stdout);
        }
        std::printf("%d records, %d rounds, rates in operations per second: median (lowest-highest)"
                    "\n",
                    n, rounds);
        for (const Row& row : rows) {
            std::printf("%-34s table store %s, SQLite %s\n", row.what,
                        bench::SpreadText(row.ours, "%.0f").c_str(),
                        bench::SpreadText(row.lite, "%.0f").c_str());
            bench::ReportRatio(row.name, row.ratio, {bench::Goal::AtLeast, 1.0});
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "store_bench: %s\n", e.what());
        rc = 1;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return rc;
}
