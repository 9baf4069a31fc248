#pragma once
// The transfer rounds of ftp_bench: each client downloads one large file and uploads another in
// every round, as a process of its own, and the engine's figures are set against the faster of
// the reference clients round by round.

#include "bench/bench_clients.h"
#include "bench/bench_stats.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

// The two command lines of one client in one round.
struct TransferCommands {
    std::vector<std::string> get, put;
};

// Returns a client's command lines: download the server's big.bin to `got`, upload the local
// source as `remoteUp`.
using CommandsOf = std::function<TransferCommands(const std::string& client, const std::string& got,
                                                  const std::string& remoteUp)>;

// Runs per direction ("download", "upload") and client, one per round.
using TransferRuns = std::map<std::string, std::map<std::string, std::vector<ClientRun>>>;

// Where the rounds run: the server's folder (its big.bin, and where uploads land), the local
// folder for downloads, the clients' log, and the size of the file both ways.
struct TransferSetting {
    std::filesystem::path root, local, log;
    int64_t bytes = 0;
};

// Runs `rounds` rounds of a download and an upload by each client, after one uncounted warm-up
// transfer each way by each client; each round starts with another client. A run counts as
// failed unless the whole file arrived. `label` begins each printed line ("tls" gives
// "round 1 tls download engine ...").
TransferRuns RunTransferRounds(const std::string& label, const std::vector<std::string>& clients,
                               int rounds, const TransferSetting& where, const CommandsOf& commands,
                               const PageCache& cache);

// Prints each client's medians (lines begun with `label`) and the engine's against the best of
// `peers` round by round (see ReportMedianRatio): rows `rowPrefix` + "download_speed", "download_cpu" (and
// "download_peak_memory" with `peakRows`), the same for upload. Returns false when a run failed.
bool ReportTransfers(const std::string& label, const std::string& rowPrefix, TransferRuns& runs,
                     const std::vector<std::string>& clients, const std::vector<std::string>& peers,
                     int64_t bytes, bool peakRows);

} // namespace bench
