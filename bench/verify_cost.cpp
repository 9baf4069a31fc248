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

    // Each row sets the verified time against its budget: the unverified time plus the server's
    // hashing time. That is the goal "verification adds no more than the server's own hashing"
    // (at most 1), in a form that holds still from run to run: the added time alone is a small
    // difference of two large figures, and where it is near nothing its ratio to the hashing
    // time swings by several times without meaning anything.
    bool allOk = true;
    std::vector<double> down, up, both;
    for (int r = 0; r < rounds; ++r) {
        const ClientRun& onDown = runs["download"]["on"][r];
        const ClientRun& offDown = runs["download"]["off"][r];
        const ClientRun& onUp = runs["upload"]["on"][r];
        const ClientRun& offUp = runs["upload"]["off"][r];
        allOk = allOk && onDown.ok && offDown.ok && onUp.ok && offUp.ok;
        const double hash = hashing[size_t(r)];
        std::printf("round %d verification adds %.3f s to the download, %.3f s to the upload; "
                    "the server hashes in %.3f s\n",
                    r + 1, onDown.seconds - offDown.seconds, onUp.seconds - offUp.seconds, hash);
        down.push_back(onDown.seconds / (offDown.seconds + hash));
        up.push_back(onUp.seconds / (offUp.seconds + hash));
        both.push_back((onDown.seconds + onUp.seconds) /
                       (offDown.seconds + offUp.seconds + 2 * hash));
    }
    std::printf("verification: the verified time against the unverified time plus the server's "
                "hashing time\n");
    ReportRatio("ftp.verify_download_time", down, {Goal::AtMost, 1.0});
    ReportRatio("ftp.verify_upload_time", up, {Goal::AtMost, 1.0});
    ReportRatio("ftp.verify_time", both, {Goal::AtMost, 1.0});
    return allOk;
}

} // namespace bench
