#include "bench/verify_cost.h"

#include "ftp/ftp.h"

#include <chrono>
#include <cstdio>

namespace bench {

namespace {

// The digest the engine picks from ProFTPD's list (the strongest of the ones it knows).
constexpr const char* kAlgorithm = "SHA-256";

// The server's own time to hash `remote`: the wall time of its HASH reply, in a session of its
// own so that no digest the server kept from a transfer answers it. Returns -1 when the server
// does not answer with a digest.
double hashReplySeconds(const EngineTarget& target, const std::string& remote) {
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = target.port;
    ftp.Username = target.user;
    ftp.Password = target.password;
    try {
        ftp.Connect(true, 0);
        if (!ftp.Features.Has("HASH") ||
            ftp.SendCommand(std::string("OPTS HASH ") + kAlgorithm, -1) != 200)
            return -1;
        const auto start = std::chrono::steady_clock::now();
        const int code = ftp.SendCommand("HASH " + remote, -1);
        const auto end = std::chrono::steady_clock::now();
        ftp.Disconnect();
        if (code != 213) return -1;
        return std::chrono::duration<double>(end - start).count();
    } catch (const std::exception& e) {
        std::printf("HASH %s: %s\n", remote.c_str(), e.what());
        return -1;
    }
}

} // namespace

bool VerifyCostRows(const std::string& self, const EngineTarget& target, int rounds,
                    const TransferSetting& where, const std::string& upSource,
                    const PageCache& cache) {
    TransferRuns runs = RunTransferRounds(
        "verify", {"on", "off"}, rounds, where,
        [&](const std::string& client, const std::string& got, const std::string& remoteUp) {
            const Verify v = client == "on" ? Verify::Digest : Verify::Off;
            return TransferCommands{EngineCommand(self, "get", target, v, "big.bin", got),
                                    EngineCommand(self, "put", target, v, upSource, remoteUp)};
        },
        cache);

    // The server's hashing time, once per round; where it answers no HASH, the time sha256sum
    // takes over the same file on this machine stands in for it.
    std::vector<double> hashing;
    bool byServer = true;
    for (int round = 0; round < rounds; ++round) {
        cache.Settle();
        double seconds = byServer ? hashReplySeconds(target, "big.bin") : -1;
        if (seconds < 0) {
            byServer = false;
            const ClientRun r =
                RunClient({"sha256sum", (where.root / "big.bin").string()}, where.log);
            seconds = r.ok ? r.seconds : -1;
        }
        if (seconds <= 0) {
            std::printf("ftp_bench: verification rows left out: no hashing time measured\n");
            return false;
        }
        hashing.push_back(seconds);
    }
    std::printf("server hashing time: %s s, %s\n", SpreadText(hashing, "%.3f").c_str(),
                byServer ? "the wall time of the server's HASH reply alone (SHA-256, a fresh "
                           "session each round)"
                         : "the time sha256sum takes over the same file here (the server "
                           "answered no HASH)");

    bool allOk = true;
    std::vector<double> down, up, both;
    for (int r = 0; r < rounds; ++r) {
        const ClientRun& onDown = runs["download"]["on"][r];
        const ClientRun& offDown = runs["download"]["off"][r];
        const ClientRun& onUp = runs["upload"]["on"][r];
        const ClientRun& offUp = runs["upload"]["off"][r];
        allOk = allOk && onDown.ok && offDown.ok && onUp.ok && offUp.ok;
        const double addedDown = onDown.seconds - offDown.seconds;
        const double addedUp = onUp.seconds - offUp.seconds;
        std::printf("round %d verification adds %.3f s to the download, %.3f s to the upload; "
                    "the server hashes in %.3f s\n",
                    r + 1, addedDown, addedUp, hashing[size_t(r)]);
        down.push_back(addedDown / hashing[size_t(r)]);
        up.push_back(addedUp / hashing[size_t(r)]);
        both.push_back((addedDown + addedUp) / (2 * hashing[size_t(r)]));
    }
    std::printf("verification: the time it adds over the server's hashing time\n");
    ReportRatio("ftp.verify_download_overhead", down, {Goal::AtMost, 1.0});
    ReportRatio("ftp.verify_upload_overhead", up, {Goal::AtMost, 1.0});
    ReportRatio("ftp.verify_overhead", both, {Goal::AtMost, 1.0});
    return allOk;
}

} // namespace bench
