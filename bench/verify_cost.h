#pragma once
// What verifying a transfer costs: the engine's download and upload with the server's digest
// asked and compared, and without, set against the time the server takes to hash the file.

#include "bench/bench_stats.h"
#include "bench/engine_child.h"
#include "bench/transfer_rounds.h"

#include <string>

namespace bench {

// Runs `rounds` rounds of the engine's transfers of big.bin (and of `upSource`) against `target`,
// a server that answers HASH, with verification on and off (taking turns at going first), and
// measures the server's hashing time in each round. Prints the rows ftp.verify_download_time,
// ftp.verify_upload_time and ftp.verify_time (both directions together): a verified transfer's
// time against the same transfer unverified plus the server's hashing time, so that at most 1
// means verification adds no more than the server's hashing. Returns false when a run failed.
bool VerifyCostRows(const std::string& self, const EngineTarget& target, int rounds,
                    const TransferSetting& where, const std::string& upSource,
                    const PageCache& cache);

} // namespace bench
