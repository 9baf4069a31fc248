// The remote tools of a browser page, run offscreen against vsftpd on 127.0.0.1: a recursive
// permission change, an export and a delete of a tree of 5,000 files in 100 folders, compared
// in the same run with lftp's chmod -R and rm -r on an identical tree; then find and filter over
// a folder of 20,000 entries. A 10 ms timer measures the longest time the window's event loop
// went without turning.
//
//   remote_bench [--files N] [--folders N] [--entries N]

#include "app/application.h"
#include "bench/bench_clients.h"
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

#include <QComboBox>
#include <QElapsedTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUser = "oxbench";
constexpr const char* kPassword = "benchpw";

void writeTree(const fs::path& top, int files, int folders) {
    for (int i = 0; i < files; ++i) {
        const fs::path folder = top / ("d" + std::to_string(i % folders));
        fs::create_directories(folder);
        std::ofstream(folder / ("f" + std::to_string(i) + ".txt")) << "remote bench\n";
    }
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
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--folders") == 0) folders = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--entries") == 0) entries = std::atoi(argv[i + 1]);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setlocale(LC_ALL, "");
    if (!bench::ToolPresent("lftp")) {
        std::printf("remote_bench: skipped: lftp is not installed\n");
        return 0;
    }
    oxbrook::testing::TempDir tmp;
    const fs::path root = tmp / "root", program = tmp / "program";
    fs::create_directories(program);
    std::printf("preparing two trees of %d files in %d folders and a folder of %d entries...\n",
                files, folders, entries);
    writeTree(root / "tree", files, folders);
    writeTree(root / "tree-lftp", files, folders);
    fs::create_directories(root / "many");
    for (int i = 0; i < entries; ++i)
        std::ofstream(root / "many" / ("e" + std::to_string(i) + (i % 3 ? ".txt" : ".log")));

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
        std::printf("remote_bench: the program could not connect\n%s\n", vsftpd.log().c_str());
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

    const Timed chmod = timed(watch, [&] { ops.ChangeMode({"tree"}, 755, true); });
    const QString exportFile = QString::fromStdString((tmp / "tree.txt").string());
    bool exported = false;
    const Timed exporting =
        timed(watch, [&] { exported = TExportListing::Of(frame).ExportWhole(exportFile); });
    if (!exported) failed("export");
    QStringList gone;
    const Timed removing = timed(watch, [&] { gone = ops.DeleteEntries({"tree"}); });
    if (gone.size() != 1 || fs::exists(root / "tree")) failed("delete");
    const bench::ClientRun lftpChmod = lftp("chmod -R 755 tree-lftp");
    const bench::ClientRun lftpRemove = lftp("rm -r tree-lftp");

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

    std::printf(
        "chmod -R: program %.2f s, lftp %.2f s%s, speed ratio %.2f (goal 1.00), gap %lld ms\n",
        chmod.seconds, lftpChmod.seconds, lftpChmod.ok ? "" : " (FAILED)",
        lftpChmod.seconds / chmod.seconds, static_cast<long long>(chmod.gapMs));
    std::printf(
        "rm -r:    program %.2f s, lftp %.2f s%s, speed ratio %.2f (goal 1.00), gap %lld ms\n",
        removing.seconds, lftpRemove.seconds, lftpRemove.ok ? "" : " (FAILED)",
        lftpRemove.seconds / removing.seconds, static_cast<long long>(removing.gapMs));
    std::printf("export:   program %.2f s, gap %lld ms\n", exporting.seconds,
                static_cast<long long>(exporting.gapMs));
    std::printf("find over %d entries: %.1f ms (goal 100); filter: %.1f ms (goal 100), %zu left\n",
                entries, finding.seconds * 1000, filtering.seconds * 1000, frame.entries().size());
    SetDesktopService(nullptr);
    TNetAntiFreeze::SetPumpHook({});
    return 0;
}
