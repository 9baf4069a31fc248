// The table store against SQLite on a history-like table: appends one post at a time, a full
// scan reading every field, 1,000 key lookups through an index, 100 text lookups without one,
// and deleting every tenth record. Each round starts from new files and the two sides take
// turns at going first; prints each operation's median rate for both and the ratio's median
// with its spread.
//
//   store_bench [RECORDS] [--rounds N]    (defaults 100000 records, 5 rounds)

#include "bench/bench_stats.h"
#include "bench/store_bench_cursor.h"
#include "store/store_file_create.h"
#include "store/store_file_io.h"
#include "store/store_table_io.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
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

struct Figures {
    double append, scan, keyLookup, textLookup, remove;
};

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

Figures RunStore(const std::string& path, int n, const std::vector<int>& keys,
                 const std::vector<std::string>& texts) {
    CreateStoreFile(path, HistoryDef());
    auto file = TStoreFileIO::Open(path);
    TStoreTableIO& t = file->Table("hdital");
    t.Open();
    Figures f{};
    TRecordBuffer r = t.NewRecord();

    auto start = Clock::now();
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
    f.append = n / Seconds(start);

    start = Clock::now();
    int64_t checksum = 0;
    {
        TStoreLockHold hold(*file);
        const int count = static_cast<int>(t.List(0).size());
        for (int i = 0; i < count; ++i) {
            t.ReadRecord(0, i, r);
            checksum += r.GetInteger(0) + r.GetInteger(7) + r.GetBoolean(8);
            for (int fld = 1; fld <= 6; ++fld)
                checksum += static_cast<int64_t>(r.TextView(fld).size());
        }
    }
    f.scan = n / Seconds(start);

    start = Clock::now();
    TRecordBuffer key = t.NewRecord();
    for (int k : keys) {
        key.SetInteger(0, k);
        int pos = t.FindKey(0, key);
        if (pos < 0) throw std::runtime_error("key not found");
        t.ReadRecord(1, pos, r);
        checksum += r.GetInteger(7);
    }
    f.keyLookup = static_cast<double>(keys.size()) / Seconds(start);

    start = Clock::now();
    for (const std::string& text : texts) {
        TStoreLockHold hold(*file);
        const TRecordList& list = t.List(0);
        bool found = false;
        for (size_t i = 0; i < list.size() && !found; ++i) {
            t.ReadRecord(list[i], r);
            found = r.TextView(4) == text;
        }
        if (!found) throw std::runtime_error("text not found");
    }
    f.textLookup = static_cast<double>(texts.size()) / Seconds(start);

    start = Clock::now();
    int deleted = 0;
    for (int slot = 0; slot < n; slot += 10, ++deleted)
        t.DeleteRecord(slot);
    f.remove = deleted / Seconds(start);
    t.Release();
    if (checksum == 42) std::puts("");
    return f;
}

void Check(int rc, sqlite3* db, int want = SQLITE_OK) {
    if (rc != want) throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db));
}

// Its own function, so that an instruction count can be taken of the scan alone
// (valgrind --tool=callgrind --toggle-collect='*ScanSqlite*').
[[gnu::noinline]] int64_t ScanSqlite(sqlite3* db) {
    int64_t checksum = 0;
    sqlite3_stmt* all = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT * FROM hdital", -1, &all, nullptr), db);
    while (sqlite3_step(all) == SQLITE_ROW) {
        checksum +=
            sqlite3_column_int(all, 0) + sqlite3_column_int(all, 7) + sqlite3_column_int(all, 8);
        for (int c = 1; c <= 6; ++c) {
            sqlite3_column_text(all, c);
            checksum += sqlite3_column_bytes(all, c);
        }
    }
    sqlite3_finalize(all);
    return checksum;
}

Figures RunSqlite(const std::string& path, int n, const std::vector<int>& keys,
                  const std::vector<std::string>& texts) {
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db);
    Check(sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr), db);
    Check(sqlite3_exec(db,
                       "CREATE TABLE hdital(key INTEGER PRIMARY KEY AUTOINCREMENT, site TEXT, "
                       "lpath TEXT, rpath TEXT, fname TEXT, stime TEXT, etime TEXT, size INTEGER, "
                       "upload INTEGER)",
                       nullptr, nullptr, nullptr),
          db);
    Figures f{};
    sqlite3_stmt* ins = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "INSERT INTO hdital(site,lpath,rpath,fname,stime,etime,size,upload) "
                             "VALUES(?,?,?,?,?,?,?,?)",
                             -1, &ins, nullptr),
          db);
    auto start = Clock::now();
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
    f.append = n / Seconds(start);
    sqlite3_finalize(ins);

    start = Clock::now();
    int64_t checksum = ScanSqlite(db);
    f.scan = n / Seconds(start);

    start = Clock::now();
    sqlite3_stmt* byKey = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT * FROM hdital WHERE key=?", -1, &byKey, nullptr), db);
    for (int k : keys) {
        sqlite3_bind_int(byKey, 1, k);
        Check(sqlite3_step(byKey), db, SQLITE_ROW);
        checksum += sqlite3_column_int(byKey, 7);
        sqlite3_reset(byKey);
    }
    sqlite3_finalize(byKey);
    f.keyLookup = static_cast<double>(keys.size()) / Seconds(start);

    start = Clock::now();
    sqlite3_stmt* byText = nullptr;
    Check(
        sqlite3_prepare_v2(db, "SELECT * FROM hdital WHERE fname=? LIMIT 1", -1, &byText, nullptr),
        db);
    for (const std::string& text : texts) {
        sqlite3_bind_text(byText, 1, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        Check(sqlite3_step(byText), db, SQLITE_ROW);
        sqlite3_reset(byText);
    }
    sqlite3_finalize(byText);
    f.textLookup = static_cast<double>(texts.size()) / Seconds(start);

    start = Clock::now();
    sqlite3_stmt* del = nullptr;
    Check(sqlite3_prepare_v2(db, "DELETE FROM hdital WHERE key=?", -1, &del, nullptr), db);
    int deleted = 0;
    for (int slot = 0; slot < n; slot += 10, ++deleted) {
        Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
        sqlite3_bind_int(del, 1, slot + 1);
        Check(sqlite3_step(del), db, SQLITE_DONE);
        sqlite3_reset(del);
        Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    }
    sqlite3_finalize(del);
    f.remove = deleted / Seconds(start);
    sqlite3_close(db);
    if (checksum == 42) std::puts("");
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
    std::vector<std::string> texts(100);
    for (auto& t : texts)
        t = MakeRow(static_cast<int>(rng() % static_cast<unsigned>(n))).fname;
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
            // New files every round, so that no round reads what another left in its pages.
            const std::string storePath = (dir / ("store-" + std::to_string(round) + ".dat"));
            const std::string litePath = (dir / ("sqlite-" + std::to_string(round) + ".db"));
            Figures ours{}, lite{};
            CursorFigures cursor;
            bench::RunPair(
                round,
                [&] {
                    cache.Settle();
                    ours = RunStore(storePath, n, keys, texts);
                    cursor = RunCursor(storePath, "hdital", keys, texts);
                },
                [&] {
                    cache.Settle();
                    lite = RunSqlite(litePath, n, keys, texts);
                });
            const double mine[] = {ours.append, ours.scan,   ours.keyLookup,   ours.textLookup,
                                   ours.remove, cursor.scan, cursor.keyLocate, cursor.textLocate};
            const double theirs[] = {lite.append, lite.scan, lite.keyLookup, lite.textLookup,
                                     lite.remove, lite.scan, lite.keyLookup, lite.textLookup};
            for (size_t r = 0; r < rows.size(); ++r) {
                rows[r].ours.push_back(mine[r]);
                rows[r].lite.push_back(theirs[r]);
                rows[r].ratio.push_back(mine[r] / theirs[r]);
            }
            std::printf("round %d (%s first): cursor scan %.0f/s, SQLite scan %.0f/s\n", round + 1,
                        bench::AFirst(round) ? "table store" : "SQLite", cursor.scan, lite.scan);
            std::error_code ec;
            std::filesystem::remove(storePath, ec);
            std::filesystem::remove(litePath, ec);
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
