#include "bench/bench_clients.h"
#include "bench/bench_stats.h"

#include "testing/test_peer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>

namespace bench {

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

ClientRun RunClient(std::vector<std::string> argv, const std::filesystem::path& log) {
    ClientRun run;
    // For counting instructions: OXBROOK_BENCH_WRAP="valgrind --tool=callgrind" runs every
    // client under the words given (the timings then mean nothing).
    if (const char* wrap = std::getenv("OXBROOK_BENCH_WRAP"); wrap && *wrap) {
        std::vector<std::string> words;
        std::istringstream in(wrap);
        for (std::string word; in >> word;)
            words.push_back(word);
        argv.insert(argv.begin(), words.begin(), words.end());
    }
    const HostSteal steal;
    const auto start = std::chrono::steady_clock::now();
    run.started = std::chrono::duration<double>(start.time_since_epoch()).count();
    const pid_t pid = oxbrook::testing::spawnLogged(std::move(argv), log, true);
    if (pid < 0) return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = CpuSeconds(usage);
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.steal = steal.Share();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

void WriteFilledFile(const std::filesystem::path& file, long long bytes) {
    std::vector<char> block(static_cast<size_t>(std::min<long long>(bytes, 1 << 20)) + 1);
    unsigned state = 2463534242u;
    for (char& c : block) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = static_cast<char>(state);
    }
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return;
    for (long long done = 0; done < bytes;) {
        const long long piece =
            std::min<long long>(static_cast<long long>(block.size()), bytes - done);
        std::fwrite(block.data(), 1, static_cast<size_t>(piece), out);
        done += piece;
    }
    std::fclose(out);
}

std::vector<std::string> LftpCommand(const std::string& user, const std::string& password, int port,
                                     const std::string& command, const std::string& caFile) {
    const std::string security = caFile.empty() ? "set ftp:ssl-allow false; "
                                                : "set ftp:ssl-force true; "
                                                  "set ftp:ssl-protect-data true; "
                                                  "set ssl:ca-file " +
                                                      caFile + "; ";
    return {"lftp",
            "-u",
            user + "," + password,
            "-p",
            std::to_string(port),
            "-e",
            security + "set ftp:passive-mode true; set net:max-retries 1; set xfer:clobber on; " +
                command + "; quit",
            "127.0.0.1"};
}

double FreeGiB(const std::filesystem::path& path) {
    struct statvfs info {};
    if (statvfs(path.c_str(), &info) != 0) return 0;
    return static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize) /
           (1024.0 * 1024.0 * 1024.0);
}

bool ToolPresent(const std::string& tool) {
    const std::string check = "command -v " + tool + " >/dev/null 2>&1";
    return std::system(check.c_str()) == 0;
}

std::string Numbered(const char* prefix, long long n, const char* suffix) {
    std::string name = prefix;
    name += std::to_string(n);
    name += suffix;
    return name;
}

} // namespace bench
