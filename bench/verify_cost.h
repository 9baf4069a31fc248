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
// measures the server's hashing time in each round. Prints the rows ftp.verify_download_overhead,
// ftp.verify_upload_overhead and ftp.verify_overhead (both directions together): the time
// verification adds over the server's hashing time. Returns false when a run failed.
bool VerifyCostRows(const std::string& self, const EngineTarget& target, int rounds,
                    const TransferSetting& where, const std::string& upSource,
                    const PageCache& cache);

} // namespace bench
