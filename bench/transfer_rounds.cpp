#include "bench/transfer_rounds.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace fs = std::filesystem;

namespace bench {

TransferRuns RunTransferRounds(const std::string& label, const std::vector<std::string>& clients,
                               int rounds, const TransferSetting& where, const CommandsOf& commands,
                               const PageCache& cache) {
    TransferRuns results;
    const std::string prefix = label.empty() ? "" : label + " ";
    // One transfer both ways by a client; round 0 is the uncounted warm-up.
    auto runBoth = [&](int round, const std::string& client) {
        const std::string remoteUp = "up-" + client + "-" + std::to_string(round) + ".bin";
        // A fresh file for every client and round: none writes over (or next to the freed
        // pages of) a file that another client left behind.
        const fs::path got = where.local / ("got-" + client + "-" + std::to_string(round) + ".bin");
        const TransferCommands c = commands(client, got.string(), remoteUp);
        for (const auto& [dir, args] :
             {std::pair{std::string("download"), c.get}, std::pair{std::string("upload"), c.put}}) {
            ClientRun s;
            for (int attempt = 0;; ++attempt) {
                // Dirty pages left by the previous client would otherwise be written back on
                // this client's time.
                cache.Settle();
                s = RunClient(args, where.log);
                const fs::path result = dir == "download" ? got : where.root / remoteUp;
                std::error_code ec;
                s.ok = s.ok && fs::file_size(result, ec) == uint64_t(where.bytes) && !ec;
                std::printf(
                    "%s %s%-8s %-8s %9.1f MB/s  cpu %6.2f s  peak %7.1f MiB  host %4.1f%%%s\n",
                    round > 0 ? ("round " + std::to_string(round)).c_str() : "warm-up",
                    prefix.c_str(), dir.c_str(), client.c_str(), where.bytes / 1e6 / s.seconds,
                    s.cpu, s.peakMiB, 100 * s.steal, s.ok ? "" : "  FAILED");
                std::fflush(stdout);
                fs::remove(got, ec);
                fs::remove(where.root / remoteUp, ec);
                // The removal's own work (freeing the file's pages and blocks) is done here,
                // not on the next client's time.
                sync();
                // A warm-up counts for nothing: it is never run again.
                if (round == 0 || !HostTookTooMuch(s.steal, attempt)) break;
            }
            if (round > 0) results[dir][client].push_back(s);
        }
    };
    // The first transfers after the server starts met a machine that the others did not (in
    // one run the first download took five times the CPU of the next four): each client goes
    // both ways once before anything is counted.
    for (const auto& client : clients)
        runBoth(0, client);
    for (int round = 1; round <= rounds; ++round) {
        // Each round starts with another client, so that none always runs first (or last)
        // against a server whose caches the others have warmed.
        std::vector<std::string> order = clients;
        std::rotate(order.begin(), order.begin() + (round - 1) % order.size(), order.end());
        for (const auto& client : order)
            runBoth(round, client);
    }
    return results;
}

bool ReportTransfers(const std::string& label, const std::string& rowPrefix, TransferRuns& runs,
                     const std::vector<std::string>& clients, const std::vector<std::string>& peers,
                     int64_t bytes, bool peakRows) {
    bool allOk = true;
    const std::string prefix = label.empty() ? "" : label + " ";
    for (const std::string dir : {"download", "upload"}) {
        auto figures = [&](const std::string& client, auto pick) {
            std::vector<double> v;
            for (const auto& s : runs[dir][client])
                v.push_back(pick(s));
            return v;
        };
        auto speed = [&](const ClientRun& s) { return bytes / 1e6 / s.seconds; };
        auto time = [](const ClientRun& s) { return s.seconds; };
        auto cpu = [](const ClientRun& s) { return s.cpu; };
        auto peak = [](const ClientRun& s) { return s.peakMiB; };
        for (const auto& c : clients) {
            for (const auto& s : runs[dir][c])
                allOk = allOk && s.ok;
            std::printf("%s%-8s %-8s %s MB/s  cpu %s s  peak %s MiB\n", prefix.c_str(), dir.c_str(),
                        c.c_str(), SpreadText(figures(c, speed), "%.1f").c_str(),
                        SpreadText(figures(c, cpu), "%.2f").c_str(),
                        SpreadText(figures(c, peak), "%.1f").c_str());
        }
        const auto& engine = runs[dir]["engine"];
        bool complete = !engine.empty() && !peers.empty();
        for (const auto& p : peers)
            complete = complete && runs[dir][p].size() == engine.size();
        if (!complete) continue;
        // Within each round: speed against the faster peer's, CPU and memory against the least
        // of the peers'.
        std::vector<std::vector<double>> seconds, cpus, peaks;
        for (const auto& p : peers) {
            seconds.push_back(figures(p, time));
            cpus.push_back(figures(p, cpu));
            peaks.push_back(figures(p, peak));
        }
        std::string against = peers.front();
        for (size_t i = 1; i < peers.size(); ++i)
            against += (i + 1 < peers.size() ? ", " : " and ") + peers[i];
        std::printf("%s%s: engine against %s (speed: the faster; CPU and memory: the least of "
                    "them)\n",
                    prefix.c_str(), dir.c_str(), against.c_str());
        ReportMedianRatio(rowPrefix + dir + "_speed", figures("engine", time), seconds,
                          Figures::Time, {Goal::AtLeast, 1.0});
        ReportMedianRatio(rowPrefix + dir + "_cpu", figures("engine", cpu), cpus, Figures::Cost,
                          {Goal::AtMost, 1.0});
        if (peakRows)
            ReportMedianRatio(rowPrefix + dir + "_peak_memory", figures("engine", peak), peaks,
                              Figures::Cost, {Goal::AtMost, 1.0});
    }
    return allOk;
}

} // namespace bench
