// The program's transfer queue, run offscreen against vsftpd on 127.0.0.1, compared in the same
// run with curl and lftp: a large file down and up, and a tree of small files down and up
// (lftp's mirror and mirror -R). A timer ticking every 10 ms measures the longest time the
// window's event loop went without turning while the queue ran; the program runs every transfer
// in a process of its own, as curl and lftp do. Every round runs each side once,
// a different one first each round, into fresh targets (the large file in three times the rounds
// given); each ratio is the median of the ratios taken within each round, with their spread.
//
//   queue_bench [--size-mib N] [--files N] [--rounds N]
//
// Skips with a message when less than 4 GiB are free or a reference client is missing.

#include "app/application.h"
#include "bench/bench_clients.h"
#include "bench/bench_stats.h"
#include "bench/loop_watch.h"
#include "browser/browser_frame.h"
#include "browser/tests/frame_settings.h"
#include "browser/transfer_queue.h"
#include "data/data_module.h"
#include "ftp/anti_freeze.h"
#include "testing/scripted_prompt_service.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"
#include "ui/desktop_service.h"
#include "ui/window_pump.h"

#include <QElapsedTimer>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUser = "oxbench";
constexpr const char* kPassword = "benchpw";
constexpr int kFolders = 20;

void writeTree(const fs::path& top, int files) {
    for (int i = 0; i < files; ++i) {
        const fs::path folder = top / bench::Numbered("d", i % kFolders);
        fs::create_directories(folder);
        bench::WriteFilledFile(folder / bench::Numbered("f", i, ".dat"), 4096);
    }
}

struct Figure {
    double seconds = 0;
    double cpu = 0; // user and system seconds
    bool ok = false;
};

// The user and system seconds this process has used so far, all its threads together.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return bench::CpuSeconds(usage);
}

rupdown queueItem(int isDownload, const fs::path& localPath, const std::string& name,
                  long long size, bool folder) {
    rupdown r;
    r.isDownload = isDownload;
    r.localPath = QString::fromStdString(localPath.string());
    r.remoteFolder = "0";
    r.size = size;
    r.name = QString::fromStdString(name);
    r.isFolder = folder;
    r.remoteDate = "?";
    return r;
}

// The program's side of one transfer, in a process of its own:
//   queue_bench --queue-child PORT PROGRAM-FOLDER RESULT-FILE IS-DOWNLOAD LOCAL NAME SIZE FOLDER
// Opens the site (the data folder is the same for every run), runs the one item through the queue and writes
// "seconds cpu gap ok" to RESULT-FILE: the queue's run alone, its CPU (every thread) and the
// longest time the event loop went without turning. A process per transfer, as curl and lftp
// have: in one long process the queue's download came out 20% slower in every round of one run
// than in the next (memory kept from earlier rounds); now each round starts from the same state.
int queueChild(char** argv) {
    const int port = std::atoi(argv[2]);
    const fs::path program = argv[3], result = argv[4];
    const rupdown job = queueItem(std::atoi(argv[5]), argv[6], argv[7], std::atoll(argv[8]),
                                  std::strcmp(argv[9], "1") == 0);
    int qtArgc = 1;
    TApplication app(qtArgc, argv);
    TScriptedPromptService prompt;
    TDesktopService desktop(QString::fromStdString(program.string()));
    SetDesktopService(&desktop);
    // The program's own pumping while the engine blocks.
    TNetAntiFreeze antiFreeze;
    InstallWindowPump(antiFreeze);
    int code = 1;
    {
        TDataModule data(QString::fromStdString(program.string()));
        data.CreateMissingStores();
        data.Connect();
        SiteRecord site;
        site.name = "bench";
        site.address = "127.0.0.1";
        site.port = port;
        site.username = kUser;
        site.password = kPassword;
        site.pasv = true;
        if (!data.SiteExists("bench")) data.AppendSite(site);
        TBrowserFrame frame(1, data);
        SetSetting(frame, &TSessionSettings::siteName, "bench");
        frame.ConnectSite(false);
        if (!frame.Connected()) {
            std::printf("queue_bench: the program could not connect\n");
        } else {
            TTransferQueue& queue = frame.transferQueue();
            // What a new window does first (its first layout and paint) is done before the
            // transfer is timed.
            QCoreApplication::processEvents();
            bench::LoopWatch watch;
            queue.AddItem(job);
            watch.Start();
            QElapsedTimer clock;
            const double cpuBefore = processCpuSeconds();
            clock.start();
            queue.RunSequence(false);
            const double seconds = clock.nsecsElapsed() / 1e9;
            const double cpu = processCpuSeconds() - cpuBefore;
            const qint64 gap = watch.Stop();
            const bool ok = queue.items().empty() && prompt.messages().isEmpty() &&
                            prompt.formsRun().isEmpty();
            if (!ok) {
                std::printf("the queue did not finish cleanly (%d items left, %d messages, %d "
                            "forms):\n",
                            int(queue.items().size()), int(prompt.messages().size()),
                            int(prompt.formsRun().size()));
                for (const auto& shown : prompt.messages())
                    std::printf("  message: %s\n", qPrintable(shown.text));
                for (const QString& form : prompt.formsRun())
                    std::printf("  form: %s\n", qPrintable(form));
                for (const QString& line :
                     frame.infoLines().mid(std::max(0, int(frame.infoLines().size()) - 25)))
                    std::printf("  %s\n", qPrintable(line));
            }
            if (FILE* out = std::fopen(result.c_str(), "w")) {
                std::fprintf(out, "%.6f %.6f %lld %d\n", seconds, cpu, static_cast<long long>(gap),
                             ok ? 1 : 0);
                code = std::fclose(out) == 0 && ok ? 0 : 1;
            }
        }
    }
    SetDesktopService(nullptr);
    RemoveWindowPump();
    return code;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 9 && std::strcmp(argv[1], "--queue-child") == 0) return queueChild(argv);
    long long sizeMiB = 1024;
    int files = 2000;
    const int rounds = bench::RoundsFromArgs(argc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--size-mib") == 0) sizeMiB = std::atoll(argv[i + 1]);
        if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
    }
    bench::PlaceClients();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setlocale(LC_ALL, "");
    oxbrook::testing::TempDir tmp;
    const double freeGiB = bench::FreeGiB(tmp.path());
    if (freeGiB < 4.0) {
        std::printf("queue_bench: skipped: %.1f GiB free in %s, 4 GiB needed\n", freeGiB,
                    tmp.path().c_str());
        return 0;
    }
    for (const char* tool : {"curl", "lftp"}) {
        if (!bench::ToolPresent(tool)) {
            std::printf("queue_bench: skipped: %s is not installed\n", tool);
            return 0;
        }
    }

    const fs::path root = tmp / "root", local = tmp / "local", program = tmp / "program";
    for (const fs::path& p : {root, local, program})
        fs::create_directories(p);
    const long long bytes = sizeMiB * 1024 * 1024;
    std::printf("preparing %lld MiB files and trees of %d files of 4 KiB...\n", sizeMiB, files);
    bench::WriteFilledFile(root / "big.bin", bytes);
    bench::WriteFilledFile(local / "up.bin", bytes);
    writeTree(root / "tree", files);
    writeTree(local / "src" / "treeup", files);

    const auto vsftpd = [&] {
        const bench::ServerPlacement onServerCpu;
        return std::make_unique<oxbrook::testing::VsftpdPeer>(tmp / "vsftpd", root, kUser,
                                                              kPassword);
    }();
    const int port = vsftpd->port();
    const std::string base =
        "ftp://" + std::string(kUser) + ":" + kPassword + "@127.0.0.1:" + std::to_string(port);
    const fs::path log = tmp / "clients.log";
    const std::string self = fs::read_symlink("/proc/self/exe").string();

    // The program's side: a process of its own for every transfer (queueChild), all with the
    // same data folder. A new folder for each would have its store files created and written
    // back while the transfer runs: that made the queue's uploads 10% slower.
    auto runQueue = [&](int isDownload, const fs::path& localPath, const std::string& name,
                        long long size, bool folder, qint64& gap) {
        const fs::path folderOfRun = program / "data";
        const fs::path result = program / "result.txt";
        fs::create_directories(folderOfRun);
        std::error_code ec;
        fs::remove(result, ec);
        const uintmax_t logged = fs::file_size(log, ec);
        const std::streamoff from = ec ? 0 : static_cast<std::streamoff>(logged);
        bench::RunClient({self, "--queue-child", std::to_string(port), folderOfRun.string(),
                          result.string(), std::to_string(isDownload), localPath.string(), name,
                          std::to_string(size), folder ? "1" : "0"},
                         log);
        Figure f;
        long long longest = 0;
        int ok = 0;
        FILE* in = std::fopen(result.c_str(), "r");
        f.ok = in && std::fscanf(in, "%lf %lf %lld %d", &f.seconds, &f.cpu, &longest, &ok) == 4 &&
               ok == 1;
        if (in) std::fclose(in);
        if (!f.ok) {
            // What the program's process said about it.
            std::ifstream said(log);
            said.seekg(from);
            std::printf("  the program's transfer failed:\n");
            for (std::string line; std::getline(said, line);)
                std::printf("    %s\n", line.c_str());
        }
        gap = longest;
        return f;
    };
    auto lftp = [&](const std::string& command) {
        return bench::LftpCommand(kUser, kPassword, port, command);
    };
    const bench::PageCache cache(bytes);
    auto cleanup = [&](const std::vector<fs::path>& paths) {
        std::error_code ec;
        for (const fs::path& p : paths)
            fs::remove_all(p, ec);
        // The removal's own work is done here, not on the next side's time.
        cache.Settle();
    };
    auto fig = [](bench::ClientRun run) { return Figure{run.seconds, run.cpu, run.ok}; };
    bool allOk = true;
    auto note = [&](int round, const char* what, const Figure& f) {
        std::printf("round %d %-16s %8.3f s  cpu %6.2f s%s\n", round + 1, what, f.seconds, f.cpu,
                    f.ok ? "" : "  FAILED");
        std::fflush(stdout);
        allOk = allOk && f.ok;
        return f;
    };
    // Runs the sides of one row in an order that moves on by one each round; a side during
    // which the host took too much of the processors runs again.
    auto inTurn = [](int round, std::vector<std::function<void()>> sides) {
        for (size_t i = 0; i < sides.size(); ++i)
            for (int attempt = 0;; ++attempt) {
                const bench::HostSteal steal;
                sides[(i + static_cast<size_t>(round)) % sides.size()]();
                if (!bench::HostTookTooMuch(steal.Share(), attempt)) break;
            }
    };
    // One figure of each side in every round (curl has no part in the trees).
    struct Sides {
        std::vector<double> queue, curl, lftp;
        void Add(const Figure& q, const Figure& c, const Figure& l, double Figure::*what) {
            queue.push_back(q.*what);
            curl.push_back(c.*what);
            lftp.push_back(l.*what);
        }
    };
    Sides downTime, downCpu, upTime, upCpu, treeDownTime, treeUpTime;
    std::vector<double> gapsDown, gapsUp, gapsTreeDown, gapsTreeUp;
    // Every side ends by removing what it wrote and settling the cache, so the next one starts
    // from the state the first one found.
    cache.Settle();
    {
        // One download by each side, not counted: the first large transfer of a run also pays
        // for the server's first read of the file and the first growth of every buffer on the
        // way (seen: the first round's queue at 0.4 of the next ones).
        qint64 gap = 0;
        const fs::path to = local / "warm-up.bin";
        runQueue(1, to, "big.bin", bytes, false, gap);
        cleanup({to});
        bench::RunClient({"curl", "-s", "-S", "-o", to.string(), base + "/big.bin"}, log);
        cleanup({to});
        bench::RunClient(lftp("get big.bin -o " + to.string()), log);
        cleanup({to});
    }
    // The large file's CPU and speed vary by about 15% from one round to the next for every side
    // alike (the kernel's page and socket work on loopback, shared with the server's processor):
    // three times the rounds for them, so that their medians hold from one run to the next. The
    // trees' medians hold with the rounds given.
    const int fileRounds = rounds * 3;
    for (int round = 0; round < fileRounds; ++round) {
        const std::string tag = std::to_string(round);
        Figure q, c, l;
        qint64 gap = 0;
        // The large file down: a new target for every side and round.
        inTurn(round,
               {[&] {
                    const fs::path to = local / ("got-queue-" + tag + ".bin");
                    q = note(round, "queue get",
                             runQueue(1, to, "big.bin", bytes, false, gap));
                    cleanup({to});
                },
                [&] {
                    const fs::path to = local / ("got-curl-" + tag + ".bin");
                    c = note(round, "curl get",
                             fig(bench::RunClient(
                                 {"curl", "-s", "-S", "-o", to.string(), base + "/big.bin"}, log)));
                    cleanup({to});
                },
                [&] {
                    const fs::path to = local / ("got-lftp-" + tag + ".bin");
                    l = note(round, "lftp get",
                             fig(bench::RunClient(lftp("get big.bin -o " + to.string()), log)));
                    cleanup({to});
                }});
        gapsDown.push_back(static_cast<double>(gap));
        downTime.Add(q, c, l, &Figure::seconds);
        downCpu.Add(q, c, l, &Figure::cpu);
        // The large file up, under a new remote name for every side and round.
        inTurn(round,
               {[&] {
                    q = note(round, "queue put",
                             runQueue(0, local / "up.bin", "up.bin", bytes, false, gap));
                    cleanup({root / "up.bin"});
                },
                [&] {
                    c = note(
                        round, "curl put",
                        fig(bench::RunClient({"curl", "-s", "-S", "-T", (local / "up.bin").string(),
                                              base + "/up-curl-" + tag + ".bin"},
                                             log)));
                    cleanup({root / ("up-curl-" + tag + ".bin")});
                },
                [&] {
                    l = note(round, "lftp put",
                             fig(bench::RunClient(lftp("put " + (local / "up.bin").string() +
                                                       " -o up-lftp-" + tag + ".bin"),
                                                  log)));
                    cleanup({root / ("up-lftp-" + tag + ".bin")});
                }});
        gapsUp.push_back(static_cast<double>(gap));
        upTime.Add(q, c, l, &Figure::seconds);
        upCpu.Add(q, c, l, &Figure::cpu);
        if (round >= rounds) continue;
        // The tree, down then up.
        inTurn(round,
               {[&] {
                    q = note(round, "queue tree get",
                             runQueue(1, local / "tree", "tree", 0, true, gap));
                    cleanup({local / "tree"});
                },
                [&] {
                    l = note(round, "lftp mirror",
                             fig(bench::RunClient(
                                 lftp("mirror tree " + (local / "tree-lftp").string()), log)));
                    cleanup({local / "tree-lftp"});
                }});
        gapsTreeDown.push_back(static_cast<double>(gap));
        treeDownTime.queue.push_back(q.seconds);
        treeDownTime.lftp.push_back(l.seconds);
        inTurn(round,
               {[&] {
                    q = note(round, "queue tree put",
                             runQueue(0, local / "src" / "treeup", "treeup", 0, true, gap));
                    cleanup({root / "treeup"});
                },
                [&] {
                    l = note(round, "lftp mirror -R",
                             fig(bench::RunClient(lftp("mirror -R " +
                                                       (local / "src" / "treeup").string() +
                                                       " treeup-lftp"),
                                                  log)));
                    cleanup({root / "treeup-lftp"});
                }});
        gapsTreeUp.push_back(static_cast<double>(gap));
        treeUpTime.queue.push_back(q.seconds);
        treeUpTime.lftp.push_back(l.seconds);
    }
    std::printf("\n%d rounds of the large file, %d of the trees; in each round, speed against "
                "the faster of curl and lftp (lftp alone for trees) and CPU (the whole program's, "
                "every thread) against the least of theirs; the median of those ratios\n",
                fileRounds, rounds);
    using bench::Figures;
    const auto both = [](const Sides& s) { return std::vector{s.curl, s.lftp}; };
    bench::ReportMedianRatio("queue.download_speed", downTime.queue, both(downTime), Figures::Time,
                             {bench::Goal::AtLeast, 0.9});
    bench::ReportMedianRatio("queue.download_cpu", downCpu.queue, both(downCpu), Figures::Cost,
                             {bench::Goal::AtMost, 1.0});
    bench::ReportFigure("queue.download_loop_gap_ms", gapsDown, {bench::Goal::AtMost, 100}, " ms");
    bench::ReportMedianRatio("queue.upload_speed", upTime.queue, both(upTime), Figures::Time,
                             {bench::Goal::AtLeast, 0.9});
    bench::ReportMedianRatio("queue.upload_cpu", upCpu.queue, both(upCpu), Figures::Cost,
                             {bench::Goal::AtMost, 1.0});
    bench::ReportFigure("queue.upload_loop_gap_ms", gapsUp, {bench::Goal::AtMost, 100}, " ms");
    bench::ReportMedianRatio("queue.tree_download_speed", treeDownTime.queue, {treeDownTime.lftp},
                             Figures::Time, {bench::Goal::AtLeast, 1.0});
    bench::ReportFigure("queue.tree_download_loop_gap_ms", gapsTreeDown, {bench::Goal::AtMost, 100},
                        " ms");
    bench::ReportMedianRatio("queue.tree_upload_speed", treeUpTime.queue, {treeUpTime.lftp},
                             Figures::Time, {bench::Goal::AtLeast, 1.0});
    bench::ReportFigure("queue.tree_upload_loop_gap_ms", gapsTreeUp, {bench::Goal::AtMost, 100},
                        " ms");
    if (!allOk) std::printf("some runs failed; see %s\n", log.c_str());
    return allOk ? 0 : 1;
}
