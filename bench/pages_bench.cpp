// The pages on the left at scale, offscreen, each beside the same work done with SQLite where a
// comparison fits: the history tree of 100,000 transfers over 50 sites and 500 days, deleting a
// day of 1,000 transfers, a task of 10,000 entries saved, run onto a browser page's queue and
// looked up there, and the local page showing a folder of 20,000 files. Each figure is the wall
// time of the user's action and the longest the window's event loop waited meanwhile, over
// several rounds (the program and SQLite taking turns to go first), as medians with their spread.
//
// Usage: pages_bench [--transfers N] [--files N] [--rounds N]

#include "app/application.h"
#include "bench/bench_stats.h"
#include "bench/loop_watch.h"
#include "browser/browser_frame.h"
#include "browser/queue_handoff.h"
#include "browser/transfer_queue.h"
#include "data/data_module.h"
#include "history/history_page.h"
#include "local/local_list_model.h"
#include "local/local_page.h"
#include "store/table.h"
#include "tasks/task_editor_form.h"
#include "tasks/task_page.h"
#include "testing/recording_desktop_service.h"
#include "testing/scripted_prompt_service.h"
#include "ui/session_host.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kSites = 50;
constexpr int kDays = 500;
constexpr int kBigDay = 1000;

// The window, reduced to one browser page that never connects: entries wait in its queue.
class BenchHost : public TSessionHost {
public:
    BenchHost(TBrowserFrame& frame, TDataModule& data) : frame_(frame), data_(data) {}
    void OpenSession(const QString&, bool) override {}
    void RenameSessionPages(const QString&, const QString&) override {}
    bool QueueTransfer(const rupdown& entry, bool checkQueued) override {
        return QueueHandoff::QueueEntry(frame_, entry, checkQueued);
    }
    void StartTransfers(bool refresh) override { QueueHandoff::StartQueue(frame_, refresh); }
    bool RunTransfersNow() override { return false; }
    QString ActiveLocalPath() const override { return frame_.settings().localPath; }
    void SetActiveLocalPath(const QString& path) override { frame_.SetLocalPath(path); }
    bool HasActiveSession() const override { return true; }
    std::vector<TRemoteEntry> ActiveRemoteSelection() const override { return {}; }

private:
    TBrowserFrame& frame_;
    TDataModule& data_;
};

double msSince(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// The day a transfer belongs to: the first day holds kBigDay transfers, the rest share the others.
int dayOf(int transfer, int days) {
    return transfer < kBigDay ? 1 : 2 + (transfer - kBigDay) % (days - 1);
}

QString dayText(int day) {
    return QStringLiteral("day %1").arg(day, 3, 10, QChar('0'));
}

void seedStore(const QString& file, int transfers) {
    store::TStoreTable days, jobs;
    for (auto [table, name] : {std::pair{&days, "hmaster"}, std::pair{&jobs, "hdital"}}) {
        table->SetDatabaseName(file.toStdString());
        table->SetTableName(name);
        table->Open();
    }
    for (int site = 1; site <= kSites; ++site) {
        for (int d = 0; d < kDays; ++d) {
            days.Append();
            days.FieldByName("id").SetAsInteger(site);
            days.FieldByName("date").SetAsString(dayText(d).toStdString());
            days.FieldByName("type").SetAsString(d % 2 ? "Download" : "Upload");
            days.Post();
        }
    }
    for (int i = 0; i < transfers; ++i) {
        const std::string name = "file-" + std::to_string(i) + ".bin";
        jobs.Append();
        jobs.FieldByName("id").SetAsInteger(dayOf(i, kSites * kDays));
        jobs.FieldByName("type").SetAsString("Upload");
        jobs.FieldByName("ftpfile").SetAsString(name);
        jobs.FieldByName("lofile").SetAsString(name);
        jobs.FieldByName("date").SetAsString("10:00:00");
        jobs.FieldByName("date2").SetAsString("10:00:09");
        jobs.FieldByName("ftppath").SetAsString("/pub/mirror");
        jobs.FieldByName("lopath").SetAsString("/home/user/downloads/" + name);
        jobs.FieldByName("usetime").SetAsString("9");
        jobs.FieldByName("speed").SetAsString("120KB/S");
        jobs.Post();
    }
    days.Close();
    jobs.Close();
}

void exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", error);
        sqlite3_free(error);
    }
}

void seedSqlite(sqlite3* db, int transfers) {
    exec(db, "CREATE TABLE ftpsite(id INTEGER PRIMARY KEY, name TEXT, address TEXT);"
             "CREATE TABLE hmaster(key INTEGER PRIMARY KEY, id INT, date TEXT, type TEXT);"
             "CREATE TABLE hdital(key INTEGER PRIMARY KEY, id INT, type TEXT, ftpfile TEXT,"
             " lofile TEXT, date TEXT, date2 TEXT, ftppath TEXT, lopath TEXT, usetime TEXT,"
             " speed TEXT, isfolder INT);"
             "CREATE TABLE taskd2(id INT, files TEXT, local TEXT, ftp TEXT, isfolder INT);"
             "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO ftpsite(name, address) VALUES(?, 'host.test')", -1, &st,
                       nullptr);
    for (int site = 1; site <= kSites; ++site) {
        const std::string name = "site " + std::to_string(site);
        sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "INSERT INTO hmaster(id, date, type) VALUES(?, ?, ?)", -1, &st, nullptr);
    for (int site = 1; site <= kSites; ++site) {
        for (int d = 0; d < kDays; ++d) {
            const std::string date = dayText(d).toStdString();
            sqlite3_bind_int(st, 1, site);
            sqlite3_bind_text(st, 2, date.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, d % 2 ? "Download" : "Upload", -1, SQLITE_STATIC);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db,
                       "INSERT INTO hdital(id, type, ftpfile, lofile, date, date2, ftppath, "
                       "lopath, usetime, speed, isfolder) VALUES(?, 'Upload', ?, ?, '10:00:00', "
                       "'10:00:09', '/pub/mirror', ?, '9', '120KB/S', 0)",
                       -1, &st, nullptr);
    for (int i = 0; i < transfers; ++i) {
        const std::string name = "file-" + std::to_string(i) + ".bin";
        const std::string local = "/home/user/downloads/" + name;
        sqlite3_bind_int(st, 1, dayOf(i, kSites * kDays));
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, local.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    exec(db, "COMMIT");
}

// The same grouping the history page does, from SQLite: each table read once, grouped in
// memory. Returns the number of transfers grouped.
size_t sqliteTree(sqlite3* db) {
    struct Job {
        int key;
        std::string fields[9];
        bool folder;
    };
    std::vector<std::pair<int, std::string>> sites;
    std::unordered_map<int, std::vector<std::pair<int, std::string>>> daysOfSite;
    std::unordered_map<int, std::vector<Job>> jobsOfDay;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT id, name, address FROM ftpsite ORDER BY rowid", -1, &st,
                       nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        sites.push_back(
            {sqlite3_column_int(st, 0), reinterpret_cast<const char*>(sqlite3_column_text(st, 1))});
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "SELECT key, id, date, type FROM hmaster ORDER BY rowid DESC", -1, &st,
                       nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        daysOfSite[sqlite3_column_int(st, 1)].push_back(
            {sqlite3_column_int(st, 0), reinterpret_cast<const char*>(sqlite3_column_text(st, 2))});
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db,
                       "SELECT key, id, type, ftpfile, lofile, date, date2, ftppath, lopath, "
                       "usetime, speed, isfolder FROM hdital ORDER BY rowid",
                       -1, &st, nullptr);
    size_t count = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        Job job;
        job.key = sqlite3_column_int(st, 0);
        for (int f = 0; f < 9; ++f)
            job.fields[f] = reinterpret_cast<const char*>(sqlite3_column_text(st, 2 + f));
        job.folder = sqlite3_column_int(st, 11) != 0;
        jobsOfDay[sqlite3_column_int(st, 1)].push_back(std::move(job));
        ++count;
    }
    sqlite3_finalize(st);
    return count;
}

// Adds a day of kBigDay uploads to site 1, as the newest day, for a round's delete: the
// program's store and SQLite get the same day.
void addBigDay(const QString& file, sqlite3* db, const QString& date) {
    store::TStoreTable days, jobs;
    for (auto [table, name] : {std::pair{&days, "hmaster"}, std::pair{&jobs, "hdital"}}) {
        table->SetDatabaseName(file.toStdString());
        table->SetTableName(name);
        table->Open();
    }
    days.Append();
    days.FieldByName("id").SetAsInteger(1);
    days.FieldByName("date").SetAsString(date.toStdString());
    days.FieldByName("type").SetAsString("Upload");
    days.Post();
    const int key = static_cast<int>(days.FieldByName("key").AsInteger());
    for (int i = 0; i < kBigDay; ++i) {
        const std::string name = "again-" + std::to_string(i) + ".bin";
        jobs.Append();
        jobs.FieldByName("id").SetAsInteger(key);
        jobs.FieldByName("type").SetAsString("Upload");
        jobs.FieldByName("ftpfile").SetAsString(name);
        jobs.FieldByName("lofile").SetAsString(name);
        jobs.FieldByName("ftppath").SetAsString("/pub/mirror");
        jobs.FieldByName("lopath").SetAsString("/home/user/downloads/" + name);
        jobs.FieldByName("date").SetAsString("10:00:00");
        jobs.FieldByName("date2").SetAsString("10:00:09");
        jobs.FieldByName("usetime").SetAsString("9");
        jobs.FieldByName("speed").SetAsString("120KB/S");
        jobs.Post();
    }
    days.Close();
    jobs.Close();
    const std::string sql = "BEGIN; INSERT INTO hmaster(id, date, type) VALUES(1, '" +
                            date.toStdString() + "', 'Upload');"
                            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                            "WHERE i + 1 < " + std::to_string(kBigDay) + ") "
                            "INSERT INTO hdital(id, type, ftpfile, lofile, date, date2, ftppath, "
                            "lopath, usetime, speed, isfolder) "
                            "SELECT (SELECT max(key) FROM hmaster), 'Upload', 'again-' || i, "
                            "'again-' || i, '10:00:00', '10:00:09', '/pub/mirror', "
                            "'/home/user/downloads/again-' || i, '9', '120KB/S', 0 "
                            "FROM n; COMMIT";
    exec(db, sql.c_str());
}

void sqliteDeleteDay(sqlite3* db, const QString& date) {
    const std::string key = "(SELECT key FROM hmaster WHERE id = 1 AND date = '" +
                            date.toStdString() + "' AND type = 'Upload')";
    exec(db, ("BEGIN; DELETE FROM hdital WHERE id = " + key + "; DELETE FROM hmaster WHERE key = " +
              key + "; COMMIT")
                 .c_str());
}

void sqliteTask(sqlite3* db, int taskId, int entries) {
    exec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO taskd2 VALUES(?, ?, '/home/user/in/', '/pub', 0)", -1,
                       &st, nullptr);
    for (int i = 0; i < entries; ++i) {
        const std::string name = "entry-" + std::to_string(i);
        sqlite3_bind_int(st, 1, taskId);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    exec(db, "COMMIT");
    sqlite3_prepare_v2(db, "SELECT files, local, ftp, isfolder FROM taskd2 WHERE id = ?", -1, &st,
                       nullptr);
    sqlite3_bind_int(st, 1, taskId);
    while (sqlite3_step(st) == SQLITE_ROW) {
    }
    sqlite3_finalize(st);
}

// One user action's figures over the rounds: its time, the longest loop gap, and SQLite's time
// for the same work where there is one.
struct Action {
    const char* name;
    std::vector<double> ms, gapMs, sqliteMs;
};

int failures = 0;

void report(const Action& a) {
    bench::ReportFigure(std::string("pages.") + a.name + "_ms", a.ms, {bench::Goal::Below, 1000},
                        "ms");
    bench::ReportFigure(std::string("pages.") + a.name + "_loop_gap_ms", a.gapMs,
                        {bench::Goal::Below, 100}, "ms");
    if (!a.sqliteMs.empty()) {
        std::vector<double> ratios;
        for (size_t i = 0; i < a.ms.size() && i < a.sqliteMs.size(); ++i)
            ratios.push_back(a.ms[i] / std::max(a.sqliteMs[i], 0.001));
        std::printf("  %s: SQLite %s ms, program/SQLite %s\n", a.name,
                    bench::SpreadText(a.sqliteMs, "%.1f").c_str(),
                    bench::SpreadText(ratios, "%.2f").c_str());
    }
    const double median = bench::SpreadOf(a.ms).median, gap = bench::SpreadOf(a.gapMs).median;
    if (median >= 1000 || gap >= 100) ++failures;
}

// Times `work` and the longest loop gap meanwhile into `a`.
template <class Work> void timeAction(Action& a, bench::LoopWatch& watch, Work&& work) {
    QElapsedTimer clock;
    watch.Start();
    clock.start();
    work();
    a.ms.push_back(msSince(clock));
    a.gapMs.push_back(static_cast<double>(watch.Stop()));
}

template <class Work> void timeSqlite(Action& a, Work&& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    a.sqliteMs.push_back(msSince(clock));
}

} // namespace

int main(int argc, char** argv) {
    int transfers = 100000;
    int files = 20000;
    const int taskEntries = 10000;
    const int rounds = bench::RoundsFromArgs(argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--transfers") == 0)
            transfers = std::max(kBigDay + 1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QTemporaryDir temp;
    const QString folder = temp.path();
    TScriptedPromptService prompt;
    TRecordingDesktopService desktop(folder);
    std::printf("%d rounds; the program and SQLite take turns to go first; the page cache is "
                "kept (everything is in memory after the seeding)\n",
                rounds);

    TDataModule data(folder);
    data.CreateMissingStores();
    data.Connect();
    for (int site = 1; site <= kSites; ++site) {
        SiteRecord record;
        record.name = QStringLiteral("site %1").arg(site);
        record.address = QStringLiteral("host.test");
        data.AppendSite(record);
    }
    QElapsedTimer clock;
    clock.start();
    seedStore(folder + "/all.dat", transfers);
    std::printf("seeded %d transfers in %d days of %d sites: %.0f ms\n", transfers, kSites * kDays,
                kSites, msSince(clock));
    sqlite3* db = nullptr;
    sqlite3_open((folder + "/bench.sqlite").toUtf8().constData(), &db);
    seedSqlite(db, transfers);

    TBrowserFrame frame(1, data);
    frame.SetLocalPath(folder);
    BenchHost host(frame, data);
    bench::LoopWatch watch;

    Action tree{"history_tree", {}, {}, {}}, read{"history_read", {}, {}, {}};
    Action remove{"history_delete_day", {}, {}, {}};
    {
        THistoryPage page(data, host);
        page.resize(320, 700);
        page.show();
        for (int round = 0; round < rounds; ++round) {
            const QString date = QStringLiteral("again %1").arg(round);
            addBigDay(folder + "/all.dat", db, date);
            size_t grouped = 0;
            bench::RunPair(
                round,
                [&] {
                    timeAction(tree, watch, [&] {
                        page.onRefreshClick();
                        page.tree()->viewport()->repaint();
                    });
                },
                [&] { timeSqlite(tree, [&] { grouped = sqliteTree(db); }); });
            if (page.items().size() != grouped)
                std::printf("  tree holds %zu records, sqlite grouped %zu\n", page.items().size(),
                            grouped);
            timeAction(read, watch, [&] {
                data.LoadHistoryDays();
                data.LoadHistoryTransfers();
            });

            // The newest day of site 1's uploads is the one just added.
            QTreeWidgetItem* uploads = page.tree()->topLevelItem(0)->child(0);
            QTreeWidgetItem* day = uploads->child(0);
            if (day->text(0) != date || day->childCount() != kBigDay)
                std::printf("  the day to delete is %s with %d transfers\n",
                            qPrintable(day->text(0)), day->childCount());
            page.tree()->setCurrentItem(day);
            bench::RunPair(
                round, [&] { timeAction(remove, watch, [&] { page.onDeleteClick(); }); },
                [&] { timeSqlite(remove, [&] { sqliteDeleteDay(db, date); }); });
        }
    }
    report(tree);
    std::printf("  of which reading the day and transfer records: %s ms\n",
                bench::SpreadText(read.ms, "%.1f").c_str());
    report(remove);

    Action save{"task_save", {}, {}, {}}, run{"task_run", {}, {}, {}};
    Action lookup{"task_is_queued", {}, {}, {}};
    {
        TTaskPage page(data, host);
        page.show();
        const int category = data.AppendCategory(QStringLiteral("bench"), QString());
        for (int round = 0; round < rounds; ++round) {
            TaskRecord task;
            task.taskid = category;
            task.name = QStringLiteral("many %1").arg(round);
            task.ftp = QStringLiteral("site 1");
            task.type = QStringLiteral("Download");
            TTaskEditorForm editor(data, true, task.type);
            editor.FillSites({task.ftp}, task.ftp);
            editor.FillCategories({QStringLiteral("bench")}, QString());
            for (int i = 0; i < taskEntries; ++i)
                editor.AddEntry({false, QStringLiteral("entry-%1").arg(i), folder + "/in/", "/pub"});
            editor.nameEdit->setText(task.name);
            editor.onSaved = [&page] { page.LoadTaskTree(); };
            bench::RunPair(
                round, [&] { timeAction(save, watch, [&] { editor.onOkClick(); }); },
                [&] { timeSqlite(save, [&] { sqliteTask(db, round + 1, taskEntries); }); });

            TTransferQueue& queue = frame.transferQueue();
            queue.Clear();
            page.SelectNode(QStringLiteral("bench"), task.name);
            timeAction(run, watch, [&] { page.onExecuteClick(); });
            // Every entry asked for once more, as the local page and the re-run do.
            int queued = 0;
            const std::vector<rupdown> items(queue.items().begin(), queue.items().end());
            timeAction(lookup, watch, [&] {
                for (const rupdown& r : items)
                    queued += queue.IsQueued(r.name, r.localPath, r.remoteFolder) ? 1 : 0;
            });
            if (queued != taskEntries || items.size() != static_cast<size_t>(taskEntries))
                std::printf("  %d of %zu found queued\n", queued, items.size());
        }
    }
    report(save);
    report(run);
    report(lookup);

    Action local{"local_folder", {}, {}, {}};
    {
        QDir().mkpath(folder + "/big");
        for (int i = 0; i < files; ++i) {
            QFile file(folder + QStringLiteral("/big/file%1.txt").arg(i, 5, 10, QChar('0')));
            if (!file.open(QIODevice::WriteOnly)) return 1;
        }
        TLocalPage page(host, folder);
        page.resize(320, 700);
        page.show();
        for (int round = 0; round < rounds; ++round) {
            page.SetRoot(folder);
            timeAction(local, watch, [&] {
                page.SetRoot(folder + "/big");
                page.repaint();
            });
            if (page.model()->rowCount() != files)
                std::printf("  the page shows %d rows\n", page.model()->rowCount());
        }
    }
    report(local);
    sqlite3_close(db);
    return failures == 0 ? 0 : 1;
}
