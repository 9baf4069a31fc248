// Transfer and listing speed of the engine against curl and lftp, all three against one vsftpd
// on 127.0.0.1 in the same run. Each client runs as its own process so that its CPU time and
// peak memory can be read from the kernel when it ends.
//
//   ftp_bench [--size-mib N] [--rounds N] [--entries N]
//
// Prints MB/s, client CPU seconds and peak resident memory per client and round, then the
// engine's ratios against the faster of curl and lftp.

#include "ftp/ftp.h"
#include "ftp/tests/support/temp_dir.h"
#include "ftp/tests/support/test_peer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using oxbrook::testing::TempDir;
using oxbrook::testing::VsftpdPeer;

namespace {

constexpr const char* kUser = "oxbench";
constexpr const char* kPassword = "benchpw";

struct Sample {
    double seconds = 0, cpu = 0, peakMiB = 0;
    bool ok = false;
};

// Runs argv as a child process; returns its wall time, CPU time and peak memory.
Sample measure(std::vector<std::string> argv, const fs::path& log) {
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    Sample s;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, cargv[0], &fa, nullptr, cargv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&fa);
        return s;
    }
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.cpu = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
            ru.ru_stime.tv_usec / 1e6;
    s.peakMiB = ru.ru_maxrss / 1024.0;
    s.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return s;
}

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

void writeBigFile(const fs::path& file, int64_t bytes) {
    std::vector<char> block(1 << 20);
    uint32_t x = 12345;
    for (auto& c : block)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    FILE* f = std::fopen(file.c_str(), "wb");
    for (int64_t done = 0; done < bytes; done += static_cast<int64_t>(block.size()))
        std::fwrite(block.data(), 1, std::min<int64_t>(block.size(), bytes - done), f);
    std::fclose(f);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Summary {
    double mbps, cpu, peak;
};

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return engineChild(argc, argv);
    int64_t sizeMiB = 1024;
    int rounds = 3, entries = 20000;
    std::vector<std::string> clients = {"engine", "curl", "lftp"};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--size-mib")) sizeMiB = std::atoll(argv[i + 1]);
        if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
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
    struct statvfs vfs {};
    statvfs(tmp.path().c_str(), &vfs);
    double freeGiB = static_cast<double>(vfs.f_bavail) * vfs.f_frsize / (1 << 30);
    // The source, the upload copy, one download and one upload exist at the same time.
    double needGiB = std::max(4.0, 4.0 * static_cast<double>(sizeMiB) / 1024.0);
    if (freeGiB < needGiB) {
        std::printf("ftp_bench: skipped: %.1f GiB free in %s, %.1f GiB needed\n", freeGiB,
                    tmp.path().c_str(), needGiB);
        return 0;
    }
    for (const char* tool : {"curl", "lftp"}) {
        std::string check = std::string("command -v ") + tool + " >/dev/null";
        if (std::system(check.c_str()) != 0) {
            std::printf("ftp_bench: skipped: %s is not installed\n", tool);
            return 0;
        }
    }

    fs::path root = tmp / "root", local = tmp / "local";
    fs::create_directories(root / "many");
    fs::create_directories(local);
    std::printf("preparing a %lld MiB file and a folder of %d entries...\n",
                static_cast<long long>(sizeMiB), entries);
    writeBigFile(root / "big.bin", bytes);
    writeBigFile(local / "up.bin", bytes);
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
        return std::vector<std::string>{
            "lftp",
            "-u",
            std::string(kUser) + "," + kPassword,
            "-p",
            port,
            "-e",
            "set ftp:ssl-allow false; set ftp:passive-mode true; set net:max-retries 1; "
            "set xfer:clobber on; " +
                command + "; quit",
            "127.0.0.1"};
    };

    std::map<std::string, std::map<std::string, std::vector<Sample>>> results;
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
                sync();
                Sample s = measure(args, log);
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

    auto summarize = [&](const std::vector<Sample>& v) {
        std::vector<double> speed, cpu, peak;
        for (const auto& s : v) {
            speed.push_back(bytes / 1e6 / s.seconds);
            cpu.push_back(s.cpu);
            peak.push_back(s.peakMiB);
        }
        if (peak.empty()) return Summary{0, 0, 0};
        return Summary{median(speed), median(cpu), *std::max_element(peak.begin(), peak.end())};
    };
    std::printf("\nmedians of %d rounds (peak: highest)\n", rounds);
    bool allOk = true;
    for (const std::string dir : {"download", "upload"}) {
        std::map<std::string, Summary> sum;
        for (const auto& c : clients) {
            for (const auto& s : results[dir][c])
                allOk = allOk && s.ok;
            sum[c] = summarize(results[dir][c]);
            std::printf("%-8s %-6s %9.1f MB/s  cpu %6.2f s  peak %7.1f MiB\n", dir.c_str(),
                        c.c_str(), sum[c].mbps, sum[c].cpu, sum[c].peak);
        }
        const std::string best = sum["curl"].mbps >= sum["lftp"].mbps ? "curl" : "lftp";
        if (sum["engine"].mbps == 0 || sum[best].mbps == 0) continue;
        std::printf("%-8s engine / %s (the faster): speed %.2f, cpu %.2f, peak memory %.2f\n",
                    dir.c_str(), best.c_str(), sum["engine"].mbps / sum[best].mbps,
                    sum["engine"].cpu / std::max(sum[best].cpu, 1e-6),
                    sum["engine"].peak / std::max(sum[best].peak, 1e-6));
    }

    std::vector<double> engineList, curlList;
    // The first listing fills the server's cache of the folder; it is not counted.
    measure({"curl", "-s", "-S", "-o", (local / "list.txt").string(), base + "/many/"}, log);
    for (int round = 1; round <= rounds; ++round) {
        // The two take turns at going first, as the transfers do.
        auto listEngine = [&] { return measure({self, "--child", "list", port, "many"}, log); };
        auto listCurl = [&] {
            return measure(
                {"curl", "-s", "-S", "-o", (local / "list.txt").string(), base + "/many/"}, log);
        };
        Sample e, c;
        if (round % 2) {
            e = listEngine();
            c = listCurl();
        } else {
            c = listCurl();
            e = listEngine();
        }
        allOk = allOk && e.ok && c.ok;
        engineList.push_back(e.seconds);
        curlList.push_back(c.seconds);
        std::printf("round %d listing of %d entries: engine LIST+parse %.3f s, curl LIST %.3f s\n",
                    round, entries, e.seconds, c.seconds);
    }
    std::printf("listing: engine LIST+parse %.3f s, curl LIST alone %.3f s, ratio %.2f\n",
                median(engineList), median(curlList), median(engineList) / median(curlList));
    if (!allOk) std::printf("some client runs failed; see %s\n", log.c_str());
    return allOk ? 0 : 1;
}
