#pragma once
// What the transfer benchmarks share: running a reference client as a child process and timing
// it, filling large files, the lftp command line, and the free-space check.

#include "bench/bench_place.h"

#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace bench {

struct ClientRun {
    double seconds = 0;
    double cpu = 0;     // user and system seconds of the child
    double peakMiB = 0; // the child's peak resident memory
    double steal = 0;   // the share of the processors' time the host took meanwhile
    double started = 0; // when it was started, in seconds of std::chrono::steady_clock
    bool ok = false;
};

// Returns the user and system seconds of `usage`.
double CpuSeconds(const rusage& usage);
// Runs `argv` (looked up on the PATH) with its output appended to `log`; returns its wall time,
// CPU time and peak memory, and whether it exited with 0.
ClientRun RunClient(std::vector<std::string> argv, const std::filesystem::path& log);
// Writes `bytes` pseudo-random bytes to `file`.
void WriteFilledFile(const std::filesystem::path& file, long long bytes);
// Returns the lftp command line that logs in to 127.0.0.1:`port` passively and runs `command`:
// in plain FTP, or with `caFile` given, over explicit TLS for logins and data with the server's
// certificate checked against that authority.
std::vector<std::string> LftpCommand(const std::string& user, const std::string& password, int port,
                                     const std::string& command, const std::string& caFile = {});
// Returns the free space of the file system holding `path`, in GiB.
double FreeGiB(const std::filesystem::path& path);
// Returns prefix, n and suffix in one name ("d17", "f3.txt"): the trees the benchmarks write.
std::string Numbered(const char* prefix, long long n, const char* suffix = "");
// Returns true when `tool` is found on the PATH.
bool ToolPresent(const std::string& tool);

} // namespace bench
