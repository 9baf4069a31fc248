// Transfer and listing speed of the engine against curl and lftp, all three against one vsftpd
// on 127.0.0.1 in the same run, in plain FTP and over explicit TLS; and what verifying each
// transfer against the server's digest costs, on ProFTPD. Each client runs as its own process so
// that its CPU time and peak memory can be read from the kernel when it ends.
//
//   ftp_bench [--size-mib N] [--rounds N] [--entries N] [--clients engine,curl,lftp]
//             [--parts plain,list,tls,verify]
//
// Prints MB/s, client CPU seconds and peak resident memory per client and round, then the
// engine's ratios against the faster of curl and lftp: for every round the ratio of that round's
// figures, reported as the median with its spread (5 rounds unless told otherwise; three times
// as many for the plain transfers, the listing and the cost of verification).

#include "bench/transfer_rounds.h"
#include "bench/verify_cost.h"
#include "testing/temp_dir.h"
#include "testing/test_peer.h"
#include "testing/tls_peers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;
using oxbrook::testing::TempDir;
using oxbrook::testing::VsftpdPeer;

namespace {

constexpr const char* kUser = "oxbench";
constexpr const char* kPassword = "benchpw";

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> out;
    for (size_t at = 0; at != std::string::npos;) {
        size_t comma = list.find(',', at);
        out.push_back(list.substr(at, comma == std::string::npos ? comma : comma - at));
        at = comma == std::string::npos ? comma : comma + 1;
    }
    return out;
}

bool has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// Returns the last line that is not empty, and that starts with `prefix`, written to a file after
// its first `from` bytes (a client's last complaint in the log); `none` when there is no such
// line.
std::string lastLine(const fs::path& file, std::streamoff from, const std::string& prefix = {},
                     const std::string& none = "it printed nothing") {
    std::ifstream in(file);
    in.seekg(from);
    std::string line, last = none;
    while (std::getline(in, line))
        if (!line.empty() && line.rfind(prefix, 0) == 0) last = line;
    return last;
}

// The size of the clients' log: where the next client's lines will start.
std::streamoff logEnd(const fs::path& log) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(log, ec);
    return ec ? 0 : static_cast<std::streamoff>(size);
}

// The numbers on the last line starting with "phases " that a client wrote to the log after
// its first `from` bytes; none when it wrote no such line.
std::vector<double> phasesAfter(const fs::path& log, std::streamoff from) {
    std::istringstream words(lastLine(log, from, "phases ", {}));
    std::vector<double> numbers;
    std::string tag;
    words >> tag;
    for (double n; words >> n;)
        numbers.push_back(n);
    return numbers;
}

// What every part of the run shares.
struct Run {
    std::string self;
    fs::path tmp;
    bench::TransferSetting where;
    std::string upSource;
    std::vector<std::string> clients;
    int rounds = 0;
    const bench::PageCache* cache = nullptr;
};

// A client's download of `remote` to `got` and upload of the local source as `remoteUp`, against
// `target` (with a CA file: explicit TLS for logins and data).
bench::TransferCommands clientCommands(const Run& run, const bench::EngineTarget& target,
                                       const std::string& client, const std::string& remote,
                                       const std::string& got, const std::string& remoteUp) {
    if (client == "engine")
        return {bench::EngineCommand(run.self, "get", target, bench::Verify::Default, remote, got),
                bench::EngineCommand(run.self, "put", target, bench::Verify::Default, run.upSource,
                                     remoteUp)};
    if (client == "curl") {
        const std::string base = "ftp://" + target.user + ":" + target.password +
                                 "@127.0.0.1:" + std::to_string(target.port) + "/";
        std::vector<std::string> curl = {"curl", "-s", "-S"};
        if (!target.caFile.empty())
            curl.insert(curl.end(), {"--ssl-reqd", "--cacert", target.caFile});
        bench::TransferCommands c{curl, curl};
        c.get.insert(c.get.end(), {"-o", got, base + remote});
        c.put.insert(c.put.end(), {"-T", run.upSource, base + remoteUp});
        return c;
    }
    auto lftp = [&](const std::string& command) {
        return bench::LftpCommand(target.user, target.password, target.port, command,
                                  target.caFile);
    };
    return {lftp("get " + remote + " -o " + got), lftp("put " + run.upSource + " -o " + remoteUp)};
}

std::vector<std::string> peersOf(const std::vector<std::string>& clients) {
    std::vector<std::string> peers;
    for (const auto& c : clients)
        if (c != "engine") peers.push_back(c);
    return peers;
}

bool transferRows(const Run& run, int rounds, const bench::EngineTarget& target,
                  const std::string& label, const std::string& rowPrefix,
                  const std::vector<std::string>& clients, bool peakRows) {
    bench::TransferRuns runs = bench::RunTransferRounds(
        label, clients, rounds, run.where,
        [&](const std::string& client, const std::string& got, const std::string& remoteUp) {
            return clientCommands(run, target, client, "big.bin", got, remoteUp);
        },
        *run.cache);
    std::printf("\n%s%d rounds: median (lowest-highest)\n",
                label.empty() ? "" : (label + ", ").c_str(), rounds);
    return bench::ReportTransfers(label, rowPrefix, runs, clients, peersOf(clients),
                                  run.where.bytes, peakRows);
}

bool listingRows(const Run& run, int port, int entries) {
    const bench::EngineTarget target{port, kUser, kPassword, {}};
    const fs::path listed = run.where.local / "list.txt";
    const std::string url = "ftp://" + std::string(kUser) + ":" + kPassword +
                            "@127.0.0.1:" + std::to_string(port) + "/many/";
    // Each client says when its login was over and when its listing was: curl in seconds after
    // its own start, the engine in seconds of the steady clock.
    auto listCurl = [&] {
        return bench::RunClient({"curl", "-s", "-S", "-w",
                                 "phases %{time_pretransfer} %{time_total}\\n", "-o",
                                 listed.string(), url},
                                run.where.log);
    };
    auto listEngine = [&] {
        return bench::RunClient(
            bench::EngineCommand(run.self, "list", target, bench::Verify::Default, "many"),
            run.where.log);
    };
    bool allOk = true;
    std::vector<double> engineList, curlList, listRatio;
    // Milliseconds of each listing by phase: the process's own start and end, the login, and
    // from the login to the listing's end (CWD, EPSV, LIST, the data and the 226; for the
    // engine also the parse into entries).
    struct Phases {
        std::vector<double> process, login, listing;
    } enginePhases, curlPhases;
    auto timed = [&](auto&& list, auto&& split) {
        const std::streamoff from = logEnd(run.where.log);
        bench::ClientRun r = list();
        const std::vector<double> phases = phasesAfter(run.where.log, from);
        if (r.ok) split(r, phases);
        return r;
    };
    auto engineSplit = [&](const bench::ClientRun& r, const std::vector<double>& p) {
        if (p.size() != 3) return;
        enginePhases.process.push_back((r.seconds - (p[2] - p[0])) * 1000);
        enginePhases.login.push_back((p[1] - p[0]) * 1000);
        enginePhases.listing.push_back((p[2] - p[1]) * 1000);
    };
    auto curlSplit = [&](const bench::ClientRun& r, const std::vector<double>& p) {
        if (p.size() != 2) return;
        curlPhases.process.push_back((r.seconds - p[1]) * 1000);
        curlPhases.login.push_back(p[0] * 1000);
        curlPhases.listing.push_back((p[1] - p[0]) * 1000);
    };
    // The first listing by each fills the server's cache of the folder and the clients' own
    // files in the page cache; they are not counted.
    listCurl();
    listEngine();
    // A listing takes a fifth of a second, most of it the server's, whose time swings by a
    // tenth of a second from one listing to the next: three times the rounds, so that the
    // median holds from run to run.
    const int rounds = run.rounds * 3;
    for (int round = 0; round < rounds; ++round) {
        // The two take turns at going first, as the transfers do.
        bench::ClientRun e, c;
        bench::RunPair(
            round, [&] { e = timed(listEngine, engineSplit); },
            [&] { c = timed(listCurl, curlSplit); });
        allOk = allOk && e.ok && c.ok;
        engineList.push_back(e.seconds);
        curlList.push_back(c.seconds);
        listRatio.push_back(e.seconds / c.seconds);
        std::printf("round %d listing of %d entries: engine LIST and parse %.3f s, curl LIST "
                    "%.3f s (whole processes)\n",
                    round + 1, entries, e.seconds, c.seconds);
    }
    std::printf("listing: engine LIST and parse %s s, curl LIST alone %s s\n",
                bench::SpreadText(engineList, "%.3f").c_str(),
                bench::SpreadText(curlList, "%.3f").c_str());
    for (const auto& [who, p] : {std::pair{"engine", &enginePhases}, {"curl", &curlPhases}})
        if (!p->process.empty())
            std::printf("  %-6s ms: process start and end %s, login %s, listing %s\n", who,
                        bench::SpreadText(p->process, "%.1f").c_str(),
                        bench::SpreadText(p->login, "%.1f").c_str(),
                        bench::SpreadText(p->listing, "%.1f").c_str());
    bench::ReportRatio("ftp.list_time", listRatio, {bench::Goal::Below, 1.0});
    return allOk;
}

// The FTPS rows: the same transfers against a vsftpd that demands TLS on logins and data and
// that data connections resume the control connection's session. A client that cannot do that
// here is left out with a line saying so.
bool tlsRows(const Run& run) {
    using namespace oxbrook::testing;
    std::unique_ptr<TestCertificates> certs;
    std::unique_ptr<VsftpdTlsPeer> peer;
    try {
        certs = std::make_unique<TestCertificates>(makeTestCertificates(run.tmp / "certs"));
        const bench::ServerPlacement onServerCpu;
        peer = std::make_unique<VsftpdTlsPeer>(run.tmp / "vsftpd-tls", run.where.root,
                                               certs->serverCert, certs->serverKey, false, kUser,
                                               kPassword);
    } catch (const std::exception& e) {
        std::printf("ftp_bench: FTPS rows skipped: no TLS server here: %s\n", e.what());
        return true;
    }
    const bench::EngineTarget target{peer->port(), kUser, kPassword, certs->caCert.string()};
    std::vector<std::string> able;
    for (const auto& client : run.clients) {
        const fs::path got = run.where.local / ("probe-" + client + ".bin");
        std::error_code ec;
        const std::streamoff from = logEnd(run.where.log);
        const auto probe = bench::RunClient(
            clientCommands(run, target, client, "probe.bin", got.string(), {}).get, run.where.log);
        if (probe.ok && fs::file_size(got, ec) == fs::file_size(run.where.root / "probe.bin"))
            able.push_back(client);
        else
            std::printf("ftp_bench: %s cannot download over explicit TLS from vsftpd here (%s): "
                        "left out of the FTPS rows\n",
                        client.c_str(), lastLine(run.where.log, from).c_str());
        fs::remove(got, ec);
    }
    if (!has(able, "engine") || peersOf(able).empty()) {
        std::printf("ftp_bench: FTPS rows skipped: they need the engine and curl or lftp\n");
        return has(able, "engine");
    }
    std::printf("\nFTPS (explicit TLS, session reuse required) against vsftpd\n");
    return transferRows(run, run.rounds, target, "tls", "ftp.tls_", able, false);
}

// The cost of verification: the engine's transfers against ProFTPD with and without asking
// its digest, set against the server's own time to hash the file.
bool verifyRows(const Run& run) {
    // A folder of its own: ProFTPD's sessions give up root's right to write into vsftpd's
    // folder, which belongs to vsftpd's user. The file to download is the same one, linked.
    bench::TransferSetting where = run.where;
    where.root = run.tmp / "proftpd-root";
    fs::create_directories(where.root);
    std::error_code ec;
    fs::create_hard_link(run.where.root / "big.bin", where.root / "big.bin", ec);
    if (ec) fs::copy_file(run.where.root / "big.bin", where.root / "big.bin");
    std::unique_ptr<oxbrook::testing::ProftpdPeer> peer;
    try {
        const bench::ServerPlacement onServerCpu;
        peer = std::make_unique<oxbrook::testing::ProftpdPeer>(run.tmp / "proftpd", where.root);
    } catch (const std::exception& e) {
        std::printf("ftp_bench: verification rows skipped: no ProFTPD here: %s\n", e.what());
        return true;
    }
    const bench::EngineTarget target{peer->port(), peer->user, peer->password, {}};
    std::printf("\nverification (HASH) on and off against ProFTPD, plain FTP\n");
    // Each round sets a verified transfer against an unverified one plus the server's hashing,
    // three measurements each with its own spread: the download's ratio ranged over 0.86-1.30 within
    // one run, and a median of nine rounds moved by 18% from one run to the next. Three times
    // the rounds, as for the plain transfers.
    return bench::VerifyCostRows(run.self, target, run.rounds * 3, where, run.upSource,
                                 *run.cache);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return bench::EngineChild(argc, argv);
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::printf("usage: ftp_bench [--size-mib N] [--rounds N] [--entries N] "
                    "[--clients engine,curl,lftp] [--parts plain,list,tls,verify]\n");
        return 0;
    }
    int64_t sizeMiB = 1024;
    int entries = 20000;
    Run run;
    run.rounds = bench::RoundsFromArgs(argc, argv);
    run.clients = {"engine", "curl", "lftp"};
    std::vector<std::string> parts = {"plain", "list", "tls", "verify"};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--size-mib")) sizeMiB = std::atoll(argv[i + 1]);
        if (!std::strcmp(argv[i], "--entries")) entries = std::atoi(argv[i + 1]);
        // A subset, for looking at one client alone: "--clients engine,curl".
        if (!std::strcmp(argv[i], "--clients")) run.clients = splitList(argv[i + 1]);
        if (!std::strcmp(argv[i], "--parts")) parts = splitList(argv[i + 1]);
    }
    // The listing alone needs no big file: a run of only that part writes none.
    const bool transfers = has(parts, "plain") || has(parts, "tls") || has(parts, "verify");
    const int64_t bytes = transfers ? sizeMiB * 1024 * 1024 : 0;

    TempDir tmp;
    const double freeGiB = bench::FreeGiB(tmp.path());
    // The source, the upload copy, one download and one upload exist at the same time.
    double needGiB = transfers ? std::max(4.0, 4.0 * static_cast<double>(sizeMiB) / 1024.0) : 0.1;
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
                static_cast<long long>(bytes >> 20), entries);
    bench::WriteFilledFile(root / "big.bin", bytes);
    bench::WriteFilledFile(root / "probe.bin", 1 << 20);
    bench::WriteFilledFile(local / "up.bin", bytes);
    for (int i = 0; i < entries; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "entry-%05d.dat", i);
        FILE* f = std::fopen((root / "many" / name).c_str(), "wb");
        if (f) std::fclose(f);
    }
    bench::PlaceClients();
    const auto vsftpd = [&] {
        const bench::ServerPlacement onServerCpu;
        return std::make_unique<VsftpdPeer>(tmp / "vsftpd", root, kUser, kPassword);
    }();
    // A download's file and an upload's copy on the server each take as much fresh memory as
    // the file's size.
    const bench::PageCache cache(bytes);
    run.self = fs::read_symlink("/proc/self/exe").string();
    run.tmp = tmp.path();
    run.where = {root, local, tmp / "clients.log", bytes};
    run.upSource = (local / "up.bin").string();
    run.cache = &cache;

    bool allOk = true;
    // A plain 1 GiB transfer's CPU and speed vary by about 15% from one round to the next for
    // every client alike (the kernel's page and socket work on loopback, shared with the
    // server's processor): three times the rounds, so that their medians hold from run to run.
    // Over TLS the server's processor sets the pace and the rounds given are enough.
    if (has(parts, "plain"))
        allOk = transferRows(run, run.rounds * 3, {vsftpd->port(), kUser, kPassword, {}}, "",
                             "ftp.", run.clients, true) &&
                allOk;
    if (has(parts, "list")) allOk = listingRows(run, vsftpd->port(), entries) && allOk;
    if (has(parts, "tls")) allOk = tlsRows(run) && allOk;
    if (has(parts, "verify")) allOk = verifyRows(run) && allOk;
    if (!allOk) std::printf("some client runs failed; see %s\n", run.where.log.c_str());
    return allOk ? 0 : 1;
}
