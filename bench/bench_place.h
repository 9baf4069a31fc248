#pragma once
// Which processors the benchmarks' servers and clients run on.

namespace bench {

// Where the benchmark's processes run. Left to the scheduler, a client shares a processor with
// its server in some runs and not in others, and its speed changes by up to two times with it.
// With two processors or more the servers get the first and the clients the others, the same
// for every client (OXBROOK_BENCH_PLACE=0 leaves it to the scheduler).
// Puts this thread, and the processes and threads it starts from now on, on the clients'
// processors, and prints where each side runs. Call it first in main.
void PlaceClients();
// Within its scope, this thread (and the processes and threads it starts) runs on the servers'
// processor.
class ServerPlacement {
public:
    ServerPlacement();
    ~ServerPlacement();
    ServerPlacement(const ServerPlacement&) = delete;
    ServerPlacement& operator=(const ServerPlacement&) = delete;
};

} // namespace bench
