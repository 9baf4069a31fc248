// The remote tools of a browser page, run offscreen against vsftpd on 127.0.0.1: a recursive
// permission change, an export and a delete of a tree of 5,000 files in 100 folders, compared
// in the same run with lftp's chmod -R and rm -r on an identical tree; then find and filter over
// a folder of 20,000 entries. A 10 ms timer measures the longest time the window's event loop
// went without turning. Every round starts from fresh trees on both sides (written and synced
// before it), the program and lftp taking turns to go first; medians with their spread.
//
//   remote_bench [--files N] [--folders N] [--entries N] [--rounds N]

#include "app/application.h"
#include "bench/bench_clients.h"
#include "bench/bench_stats.h"
#include "bench/loop_watch.h"
#include "browser/browser_frame.h"
#include "browser/export_listing.h"
#include "browser/find_form.h"
#include "browser/remote_operations.h"
#include "data/data_module.h"
#include "ftp/anti_freeze.h"
#include "testing/scripted_prompt_service.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"
#include "ui/desktop_service.h"
#include "ui/window_pump.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUser = "oxbench";
constexpr const char* kPassword = "benchpw";

void writeTree(const fs::path& top, int files, int folders) {
    for (int i = 0; i < files; ++i) {
        const fs::path folder = top / bench::Numbered("d", i % folders);
        fs::create_directories(folder);
        std::ofstream(folder / bench::Numbered("f", i, ".txt")) << "remote bench\n";
    }
}

// Gives a tree written by the benchmark (as root) to the owner of `root`: the server's user, who
// must be able to change and delete it.
void giveToServer(const fs::path& tree, const fs::path& root) {
    struct stat owner {};
    if (::stat(root.c_str(), &owner) != 0) return;
    auto give = [&](const fs::path& p) {
        if (::lchown(p.c_str(), owner.st_uid, owner.st_gid) != 0)
            std::printf("remote_bench: cannot give %s to the server's user\n", p.c_str());
    };
    give(tree);
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(tree))
        give(e.path());
}

// Times `work` and the longest event-loop gap while it runs.
struct Timed {
    double seconds = 0;
    qint64 gapMs = 0;
};

Timed timed(bench::LoopWatch& watch, const std::function<void()>& work) {
    watch.Start();
    QElapsedTimer clock;
    clock.start();
    work();
    Timed t;
    t.seconds = clock.nsecsElapsed() / 1e9;
    t.gapMs = watch.Stop();
    return t;
}

} // namespace

int main(int argc, char** argv) {
    int files = 5000, folders = 100, entries = 20000;
    const int rounds = bench::RoundsFromArgs(argc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--folders") == 0) folders = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--entries") == 0) entries = std::atoi(argv[i + 1]);
    }
    bench::PlaceClients();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setlocale(LC_ALL, "");
    if (!bench::ToolPresent("lftp")) {
        std::printf("remote_bench: skipped: lftp is not installed\n");
        return 0;
    }
    oxbrook::testing::TempDir tmp;
    const fs::path root = tmp / "root", program = tmp / "program";
    fs::create_directories(program);
    std::printf("%d rounds, each on two fresh trees of %d files in %d folders; a folder of %d "
                "entries for find and filter\n",
                rounds, files, folders, entries);
    const bench::PageCache cache;
    fs::create_directories(root / "many");
    for (int i = 0; i < entries; ++i)
        std::ofstream(root / "many" / bench::Numbered("e", i, i % 3 ? ".txt" : ".log"));

    TApplication app(argc, argv);
    TScriptedPromptService prompt;
    TDesktopService desktop(QString::fromStdString(program.string()));
    SetDesktopService(&desktop);
    // The program's own pumping while the engine blocks.
    TNetAntiFreeze antiFreeze;
    InstallWindowPump(antiFreeze);

    const auto vsftpd = [&] {
        const bench::ServerPlacement onServerCpu;
        return std::make_unique<oxbrook::testing::VsftpdPeer>(tmp / "vsftpd", root, kUser,
                                                              kPassword);
    }();
    const int port = vsftpd->port();
    TDataModule data(QString::fromStdString(program.string()));
    data.CreateMissingStores();
    data.Connect();
    SiteRecord site;
    site.name = "bench";
    site.address = "127.0.0.1";
    site.port = port;
    site.username = kUser;
    site.password = kPassword;
    data.AppendSite(site);
    TBrowserFrame frame(1, data);
    frame.SetSiteName("bench");
    frame.ConnectSite(false);
    if (!frame.Connected()) {
        std::printf("remote_bench: the program could not connect\n%s\n", vsftpd->log().c_str());
        return 1;
    }
    TRemoteOperations& ops = TRemoteOperations::Of(frame);
    bench::LoopWatch watch;
    const fs::path log = tmp / "clients.log";
    auto lftp = [&](const std::string& command) {
        return bench::RunClient(bench::LftpCommand(kUser, kPassword, port, command), log);
    };
    auto failed = [&](const char* what) {
        std::printf("remote_bench: %s failed:\n", what);
        for (const QString& line :
             frame.infoLines().mid(std::max(0, int(frame.infoLines().size()) - 5)))
            std::printf("    %s\n", qPrintable(line));
    };

    const QString home = frame.currentPath();
    const QString exportFile = QString::fromStdString((tmp / "tree.txt").string());
    std::vector<double> chmodRatio, removeRatio, exportS, findMs, filterMs;
    std::vector<double> chmodGap, removeGap, exportGap, findGap, filterGap;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        for (const char* name : {"tree", "tree-lftp"}) {
            writeTree(root / name, files, folders);
            giveToServer(root / name, root);
        }
        frame.ListFolder(home);
        cache.Settle();
        Timed chmod;
        bench::ClientRun lftpChmod;
        bench::RunPair(
            round, [&] { chmod = timed(watch, [&] { ops.ChangeMode({"tree"}, 755, true); }); },
            [&] { lftpChmod = lftp("chmod -R 755 tree-lftp"); });
        bool exported = false;
        const Timed exporting =
            timed(watch, [&] { exported = TExportListing::Of(frame).ExportWhole(exportFile); });
        if (!exported) failed("export");
        QStringList gone;
        Timed removing;
        bench::ClientRun lftpRemove;
        bench::RunPair(
            round, [&] { removing = timed(watch, [&] { gone = ops.DeleteEntries({"tree"}); }); },
            [&] { lftpRemove = lftp("rm -r tree-lftp"); });
        if (gone.size() != 1 || fs::exists(root / "tree")) failed("delete");
        if (!lftpChmod.ok || !lftpRemove.ok || fs::exists(root / "tree-lftp")) {
            std::printf("remote_bench: lftp failed (see %s)\n", log.c_str());
            ok = false;
        }
        chmodRatio.push_back(lftpChmod.seconds / chmod.seconds);
        removeRatio.push_back(lftpRemove.seconds / removing.seconds);
        exportS.push_back(exporting.seconds);
        chmodGap.push_back(static_cast<double>(chmod.gapMs));
        removeGap.push_back(static_cast<double>(removing.gapMs));
        exportGap.push_back(static_cast<double>(exporting.gapMs));
        std::printf("round %d: chmod -R program %.2f s, lftp %.2f s; rm -r program %.2f s, lftp "
                    "%.2f s; export %.2f s\n",
                    round + 1, chmod.seconds, lftpChmod.seconds, removing.seconds,
                    lftpRemove.seconds, exporting.seconds);

        frame.ListFolder(QStringLiteral("/many"));
        const Timed finding = timed(watch, [&] {
            TFindForm form(frame, QString::fromStdString((program / "Find.dat").string()));
            form.textBox()->setCurrentText(QStringLiteral("e1"));
            form.onFindClick();
        });
        const Timed filtering = timed(watch, [&] {
            TFilterForm form(frame, QString::fromStdString((program / "Filter.dat").string()));
            form.patternBox()->setCurrentText(QStringLiteral("*.log"));
            form.onOkClick();
        });
        if (frame.entries().size() != static_cast<size_t>(entries / 3 + (entries % 3 ? 1 : 0)))
            std::printf("  the filter left %zu entries\n", frame.entries().size());
        findMs.push_back(finding.seconds * 1000);
        filterMs.push_back(filtering.seconds * 1000);
        findGap.push_back(static_cast<double>(finding.gapMs));
        filterGap.push_back(static_cast<double>(filtering.gapMs));
    }
    using bench::Goal;
    bench::ReportRatio("remote.chmod_r_speed", chmodRatio, {Goal::AtLeast, 1.0});
    bench::ReportRatio("remote.rm_r_speed", removeRatio, {Goal::AtLeast, 1.0});
    bench::ReportFigure("remote.chmod_r_loop_gap_ms", chmodGap, {Goal::Below, 100}, "ms");
    bench::ReportFigure("remote.rm_r_loop_gap_ms", removeGap, {Goal::Below, 100}, "ms");
    bench::ReportFigure("remote.export_loop_gap_ms", exportGap, {Goal::Below, 100}, "ms");
    std::printf("  export of the tree: %s s\n", bench::SpreadText(exportS, "%.2f").c_str());
    bench::ReportFigure("remote.find_ms", findMs, {Goal::Below, 100}, "ms");
    bench::ReportFigure("remote.filter_ms", filterMs, {Goal::Below, 100}, "ms");
    bench::ReportFigure("remote.find_loop_gap_ms", findGap, {Goal::Below, 100}, "ms");
    bench::ReportFigure("remote.filter_loop_gap_ms", filterGap, {Goal::Below, 100}, "ms");
    SetDesktopService(nullptr);
    RemoveWindowPump();
    return ok ? 0 : 1;
}
