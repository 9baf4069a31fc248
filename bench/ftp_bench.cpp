// Transfer and listing speed of the engine against curl and lftp, all three against one vsftpd
// on 127.0.0.1 in the same run. Each client runs as its own process so that its CPU time and
// peak memory can be read from the kernel when it ends.
//
//   ftp_bench [--size-mib N] [--rounds N] [--entries N] [--clients engine,curl,lftp]
//
// Prints MB/s, client CPU seconds and peak resident memory per client and round, then the
// engine's ratios against the faster of curl and lftp: for every round the ratio of that round's
// figures, reported as the median with its spread (5 rounds unless told otherwise).

#include "bench/bench_clients.h"
#include "bench/bench_stats.h"
#include "ftp/ftp.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;
using oxbrook::testing::TempDir;
using oxbrook::testing::VsftpdPeer;

namespace {

constexpr const char* kUser = "oxbench";
constexpr const char* kPassword = "benchpw";

// The engine's side, run in a child process: get, put or list with 64 KiB buffers, passive,
// binary.
int engineChild(int argc, char** argv) {
    if (argc < 5) return 2;
    std::string what = argv[2];
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = std::atoi(argv[3]);
    ftp.Username = kUser;
    ftp.Password = kPassword;
    ftp.Passive = true;
    ftp.RecvBufferSize = 65536;
    ftp.SendBufferSize = 65536;
    try {
        // No time-out: a plain connect in this thread, as a program without a window makes it.
        ftp.Connect(true, 0);
        if (what == "get") {
            ftp.Retrieve(argv[4], argv[5], true, false);
        } else if (what == "put") {
            ftp.StoreFile(argv[4], argv[5], false);
        } else if (what == "list") {
            ftp.ChangeDirectory(argv[4]);
            ftp.ListDirectory(nullptr, "", true);
            int n = ftp.DirectoryListing().Count();
            std::printf("%d entries\n", n);
        }
        ftp.Disconnect();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return engineChild(argc, argv);
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::printf("usage: ftp_bench [--size-mib N] [--rounds N] [--entries N] "
                    "[--clients engine,curl,lftp]\n");
        return 0;
    }
    int64_t sizeMiB = 1024;
    int rounds = bench::RoundsFromArgs(argc, argv), entries = 20000;
    std::vector<std::string> clients = {"engine", "curl", "lftp"};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--size-mib")) sizeMiB = std::atoll(argv[i + 1]);
        if (!std::strcmp(argv[i], "--entries")) entries = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--clients")) {
            // A subset, for looking at one client alone: "--clients engine,curl".
            clients.clear();
            std::string list = argv[i + 1];
            for (size_t at = 0; at != std::string::npos;) {
                size_t comma = list.find(',', at);
                clients.push_back(list.substr(at, comma == std::string::npos ? comma : comma - at));
                at = comma == std::string::npos ? comma : comma + 1;
            }
        }
    }
    const int64_t bytes = sizeMiB * 1024 * 1024;

    TempDir tmp;
    const double freeGiB = bench::FreeGiB(tmp.path());
    // The source, the upload copy, one download and one upload exist at the same time.
    double needGiB = std::max(4.0, 4.0 * static_cast<double>(sizeMiB) / 1024.0);
    if (freeGiB < needGiB) {
        std::printf("ftp_bench: skipped: %.1f GiB free in %s, %.1f GiB needed\n", freeGiB,
                    tmp.path().c_str(), needGiB);
        return 0;
    }
    for (const char* tool : {"curl", "lftp"}) {
        if (!bench::ToolPresent(tool)) {
            std::printf("ftp_bench: skipped: %s is not installed\n", tool);
            return 0;
        }
    }

    fs::path root = tmp / "root", local = tmp / "local";
    fs::create_directories(root / "many");
    fs::create_directories(local);
    std::printf("preparing a %lld MiB file and a folder of %d entries...\n",
                static_cast<long long>(sizeMiB), entries);
    bench::WriteFilledFile(root / "big.bin", bytes);
    bench::WriteFilledFile(local / "up.bin", bytes);
    for (int i = 0; i < entries; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "entry-%05d.dat", i);
        FILE* f = std::fopen((root / "many" / name).c_str(), "wb");
        if (f) std::fclose(f);
    }
    VsftpdPeer vsftpd(tmp / "vsftpd", root, kUser, kPassword);
    const std::string port = std::to_string(vsftpd.port());
    const std::string base = "ftp://" + std::string(kUser) + ":" + kPassword + "@127.0.0.1:" + port;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const fs::path log = tmp / "clients.log";
    const std::string up = (local / "up.bin").string();
    auto lftp = [&](const std::string& command) {
        return bench::LftpCommand(kUser, kPassword, vsftpd.port(), command);
    };

    const bench::PageCache cache;
    std::map<std::string, std::map<std::string, std::vector<bench::ClientRun>>> results;
    for (int round = 1; round <= rounds; ++round) {
        // Each round starts with another client, so that none always runs first (or last)
        // against a server whose caches the others have warmed.
        std::vector<std::string> order = clients;
        std::rotate(order.begin(), order.begin() + (round - 1) % order.size(), order.end());
        for (const auto& client : order) {
            std::vector<std::string> getArgs, putArgs;
            std::string remoteUp = "up-" + client + "-" + std::to_string(round) + ".bin";
            // A fresh file for every client and round: none writes over (or next to the freed
            // pages of) a file that another client left behind.
            const std::string got =
                (local / ("got-" + client + "-" + std::to_string(round) + ".bin")).string();
            if (client == "engine") {
                getArgs = {self, "--child", "get", port, "big.bin", got};
                putArgs = {self, "--child", "put", port, up, remoteUp};
            } else if (client == "curl") {
                getArgs = {"curl", "-s", "-S", "-o", got, base + "/big.bin"};
                putArgs = {"curl", "-s", "-S", "-T", up, base + "/" + remoteUp};
            } else {
                getArgs = lftp("get big.bin -o " + got);
                putArgs = lftp("put " + up + " -o " + remoteUp);
            }
            for (auto [dir, args] : {std::pair{std::string("download"), getArgs},
                                     std::pair{std::string("upload"), putArgs}}) {
                // Dirty pages left by the previous client would otherwise be written back
                // on this client's time.
                cache.Settle();
                bench::ClientRun s = bench::RunClient(args, log);
                bool complete = dir == "download"
                                    ? fs::exists(got) && fs::file_size(got) == uint64_t(bytes)
                                    : fs::exists(root / remoteUp) &&
                                          fs::file_size(root / remoteUp) == uint64_t(bytes);
                s.ok = s.ok && complete;
                results[dir][client].push_back(s);
                std::printf("round %d %-8s %-6s %9.1f MB/s  cpu %6.2f s  peak %7.1f MiB%s\n", round,
                            dir.c_str(), client.c_str(), bytes / 1e6 / s.seconds, s.cpu, s.peakMiB,
                            s.ok ? "" : "  FAILED");
                std::fflush(stdout);
                std::error_code ec;
                fs::remove(got, ec);
                fs::remove(root / remoteUp, ec);
                // The removal's own work (freeing the file's pages and blocks) is done here,
                // not on the next client's time.
                sync();
            }
        }
    }

    std::printf("\n%d rounds: median (lowest-highest)\n", rounds);
    bool allOk = true;
    for (const std::string dir : {"download", "upload"}) {
        auto figures = [&](const std::string& client, auto pick) {
            std::vector<double> v;
            for (const auto& s : results[dir][client])
                v.push_back(pick(s));
            return v;
        };
        auto speed = [&](const bench::ClientRun& s) { return bytes / 1e6 / s.seconds; };
        auto cpu = [](const bench::ClientRun& s) { return s.cpu; };
        auto peak = [](const bench::ClientRun& s) { return s.peakMiB; };
        for (const auto& c : clients) {
            for (const auto& s : results[dir][c])
                allOk = allOk && s.ok;
            std::printf("%-8s %-6s %s MB/s  cpu %s s  peak %s MiB\n", dir.c_str(), c.c_str(),
                        bench::SpreadText(figures(c, speed), "%.1f").c_str(),
                        bench::SpreadText(figures(c, cpu), "%.2f").c_str(),
                        bench::SpreadText(figures(c, peak), "%.1f").c_str());
        }
        if (results[dir]["engine"].empty() || results[dir]["curl"].empty() ||
            results[dir]["lftp"].empty())
            continue;
        // Each round against the faster peer of that round.
        std::vector<double> speedRatio, cpuRatio, peakRatio;
        for (size_t r = 0; r < results[dir]["engine"].size(); ++r) {
            const auto& e = results[dir]["engine"][r];
            const auto& c = results[dir]["curl"][r];
            const auto& l = results[dir]["lftp"][r];
            const auto& best = c.seconds <= l.seconds ? c : l;
            speedRatio.push_back(best.seconds / e.seconds);
            cpuRatio.push_back(e.cpu / std::max(best.cpu, 1e-6));
            peakRatio.push_back(e.peakMiB / std::max(best.peakMiB, 1e-6));
        }
        std::printf("%s: engine against the faster of curl and lftp in each round\n", dir.c_str());
        bench::ReportRatio("ftp." + dir + "_speed", speedRatio, {bench::Goal::AtLeast, 1.0});
        bench::ReportRatio("ftp." + dir + "_cpu", cpuRatio, {bench::Goal::AtMost, 1.0});
        bench::ReportRatio("ftp." + dir + "_peak_memory", peakRatio, {bench::Goal::AtMost, 1.0});
    }

    std::vector<double> engineList, curlList, listRatio;
    // The first listing fills the server's cache of the folder; it is not counted.
    bench::RunClient({"curl", "-s", "-S", "-o", (local / "list.txt").string(), base + "/many/"},
                     log);
    for (int round = 0; round < rounds; ++round) {
        // The two take turns at going first, as the transfers do.
        auto listEngine = [&] {
            return bench::RunClient({self, "--child", "list", port, "many"}, log);
        };
        auto listCurl = [&] {
            return bench::RunClient(
                {"curl", "-s", "-S", "-o", (local / "list.txt").string(), base + "/many/"}, log);
        };
        bench::ClientRun e, c;
        bench::RunPair(
            round, [&] { e = listEngine(); }, [&] { c = listCurl(); });
        allOk = allOk && e.ok && c.ok;
        engineList.push_back(e.seconds);
        curlList.push_back(c.seconds);
        listRatio.push_back(e.seconds / c.seconds);
        std::printf("round %d listing of %d entries: engine LIST+parse %.3f s, curl LIST %.3f s\n",
                    round + 1, entries, e.seconds, c.seconds);
    }
    std::printf("listing: engine LIST+parse %s s, curl LIST alone %s s\n",
                bench::SpreadText(engineList, "%.3f").c_str(),
                bench::SpreadText(curlList, "%.3f").c_str());
    bench::ReportRatio("ftp.list_time", listRatio, {bench::Goal::Below, 1.0});
    if (!allOk) std::printf("some client runs failed; see %s\n", log.c_str());
    return allOk ? 0 : 1;
}
