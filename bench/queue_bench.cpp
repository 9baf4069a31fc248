// The program's transfer queue, run offscreen against vsftpd on 127.0.0.1, compared in the same
// run with curl and lftp: a large file down and up, and a tree of small files down and up
// (lftp's mirror and mirror -R). A timer ticking every 10 ms measures the longest time the
// window's event loop went without turning while the queue ran.
//
//   queue_bench [--size-mib N] [--files N]
//
// Skips with a message when less than 4 GiB are free or a reference client is missing.

#include "app/application.h"
#include "bench/bench_clients.h"
#include "browser/browser_frame.h"
#include "browser/tests/frame_settings.h"
#include "browser/transfer_queue.h"
#include "data/data_module.h"
#include "ftp/anti_freeze.h"
#include "testing/scripted_prompt_service.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"
#include "ui/desktop_service.h"

#include <QElapsedTimer>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUser = "oxbench";
constexpr const char* kPassword = "benchpw";
constexpr int kFolders = 20;

void writeTree(const fs::path& top, int files) {
    for (int i = 0; i < files; ++i) {
        const fs::path folder = top / ("d" + std::to_string(i % kFolders));
        fs::create_directories(folder);
        bench::WriteFilledFile(folder / ("f" + std::to_string(i) + ".dat"), 4096);
    }
}

// Watches the event loop: the longest gap between two ticks of a 10 ms timer.
class LoopWatch {
public:
    LoopWatch() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { worst_ = std::max(worst_, since_.restart()); });
    }
    void Start() {
        worst_ = 0;
        since_.start();
        timer_.start();
    }
    // Stops watching and returns the longest gap in milliseconds.
    qint64 Stop() {
        timer_.stop();
        return std::max(worst_, since_.elapsed());
    }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 worst_ = 0;
};

struct Figure {
    double seconds = 0;
    bool ok = false;
};

} // namespace

int main(int argc, char** argv) {
    long long sizeMiB = 1024;
    int files = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--size-mib") == 0) sizeMiB = std::atoll(argv[i + 1]);
        if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
    }
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

    TApplication app(argc, argv);
    TScriptedPromptService prompt;
    TDesktopService desktop(QString::fromStdString(program.string()));
    SetDesktopService(&desktop);
    TNetAntiFreeze::SetPumpHook([](bool all) {
        if (all)
            QCoreApplication::processEvents();
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    });
    TNetAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 50;
    antiFreeze.OnlyWhenIdle = false;

    oxbrook::testing::VsftpdPeer vsftpd(tmp / "vsftpd", root, kUser, kPassword);
    const int port = vsftpd.port();
    const std::string base =
        "ftp://" + std::string(kUser) + ":" + kPassword + "@127.0.0.1:" + std::to_string(port);
    const fs::path log = tmp / "clients.log";

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
    data.AppendSite(site);
    TBrowserFrame frame(1, data);
    SetSetting(frame, &TSessionSettings::siteName, "bench");
    frame.ConnectSite(false);
    if (!frame.Connected()) {
        std::printf("queue_bench: the program could not connect\n%s\n", vsftpd.log().c_str());
        return 1;
    }
    TTransferQueue& queue = frame.transferQueue();
    LoopWatch watch;

    auto runQueue = [&](const rupdown& item, qint64& gap) {
        queue.AddItem(item);
        watch.Start();
        QElapsedTimer clock;
        clock.start();
        queue.RunSequence(false);
        Figure f;
        f.seconds = clock.nsecsElapsed() / 1e9;
        gap = watch.Stop();
        f.ok = frame.transferQueue().items().empty() && prompt.messages().isEmpty() &&
               prompt.formsRun().isEmpty();
        if (!f.ok) {
            std::printf("  the queue did not finish cleanly:\n");
            for (const QString& line :
                 frame.infoLines().mid(std::max(0, int(frame.infoLines().size()) - 5)))
                std::printf("    %s\n", qPrintable(line));
            frame.transferQueue().Clear();
        }
        return f;
    };
    auto item = [](int isDownload, const fs::path& localPath, const std::string& name,
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
    };
    auto cleanup = [&](const std::vector<fs::path>& paths) {
        std::error_code ec;
        for (const fs::path& p : paths)
            fs::remove_all(p, ec);
        sync();
    };
    auto lftp = [&](const std::string& command) {
        return bench::LftpCommand(kUser, kPassword, port, command);
    };
    const double mib = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::map<std::string, Figure> got;
    qint64 gapDown = 0, gapUp = 0, gapTreeDown = 0, gapTreeUp = 0;

    // The large file, down then up, by each client in turn.
    got["queue get"] = runQueue(item(1, local / "got-queue.bin", "big.bin", bytes, false), gapDown);
    cleanup({local / "got-queue.bin"});
    auto fig = [](bench::ClientRun run) { return Figure{run.seconds, run.ok}; };
    got["curl get"] = fig(bench::RunClient(
        {"curl", "-s", "-S", "-o", (local / "got-curl.bin").string(), base + "/big.bin"}, log));
    cleanup({local / "got-curl.bin"});
    got["lftp get"] =
        fig(bench::RunClient(lftp("get big.bin -o " + (local / "got-lftp.bin").string()), log));
    cleanup({local / "got-lftp.bin"});
    got["queue put"] = runQueue(item(0, local / "up.bin", "up.bin", bytes, false), gapUp);
    cleanup({root / "up.bin"});
    got["curl put"] = fig(bench::RunClient(
        {"curl", "-s", "-S", "-T", (local / "up.bin").string(), base + "/up-curl.bin"}, log));
    cleanup({root / "up-curl.bin"});
    got["lftp put"] =
        fig(bench::RunClient(lftp("put " + (local / "up.bin").string() + " -o up-lftp.bin"), log));
    cleanup({root / "up-lftp.bin"});

    // The tree, down then up.
    got["queue tree get"] = runQueue(item(1, local / "tree", "tree", 0, true), gapTreeDown);
    cleanup({local / "tree"});
    got["lftp mirror"] =
        fig(bench::RunClient(lftp("mirror tree " + (local / "tree-lftp").string()), log));
    cleanup({local / "tree-lftp"});
    got["queue tree put"] =
        runQueue(item(0, local / "src" / "treeup", "treeup", 0, true), gapTreeUp);
    cleanup({root / "treeup"});
    got["lftp mirror -R"] = fig(bench::RunClient(
        lftp("mirror -R " + (local / "src" / "treeup").string() + " treeup-lftp"), log));
    cleanup({root / "treeup-lftp"});

    for (const auto& [name, f] : got)
        std::printf("%-16s %8.3f s %s\n", name.c_str(), f.seconds, f.ok ? "" : "(FAILED)");
    auto rate = [&](const char* name) { return mib / got[name].seconds; };
    const double bestGet = std::max(rate("curl get"), rate("lftp get"));
    const double bestPut = std::max(rate("curl put"), rate("lftp put"));
    std::printf("download: queue %.1f MiB/s, best of curl and lftp %.1f MiB/s, ratio %.2f "
                "(goal 0.90), longest event-loop gap %lld ms (goal 100)\n",
                rate("queue get"), bestGet, rate("queue get") / bestGet,
                static_cast<long long>(gapDown));
    std::printf("upload:   queue %.1f MiB/s, best of curl and lftp %.1f MiB/s, ratio %.2f "
                "(goal 0.90), longest event-loop gap %lld ms (goal 100)\n",
                rate("queue put"), bestPut, rate("queue put") / bestPut,
                static_cast<long long>(gapUp));
    std::printf("tree down: queue %.2f s, lftp mirror %.2f s, speed ratio %.2f (goal 1.00), gap "
                "%lld ms\n",
                got["queue tree get"].seconds, got["lftp mirror"].seconds,
                got["lftp mirror"].seconds / got["queue tree get"].seconds,
                static_cast<long long>(gapTreeDown));
    std::printf("tree up:   queue %.2f s, lftp mirror -R %.2f s, speed ratio %.2f (goal 1.00), "
                "gap %lld ms\n",
                got["queue tree put"].seconds, got["lftp mirror -R"].seconds,
                got["lftp mirror -R"].seconds / got["queue tree put"].seconds,
                static_cast<long long>(gapTreeUp));
    SetDesktopService(nullptr);
    TNetAntiFreeze::SetPumpHook({});
    return 0;
}
