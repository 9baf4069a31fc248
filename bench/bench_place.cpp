#include "bench/bench_place.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <string>
#include <vector>

namespace bench {

namespace {

// The processors this process may use when it starts, and whether they are split.
struct Processors {
    std::vector<int> all;
    bool split = false;
};

Processors& processors() {
    static Processors p = [] {
        Processors found;
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof set, &set) == 0)
            for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
                if (CPU_ISSET(cpu, &set)) found.all.push_back(cpu);
        const char* want = std::getenv("OXBROOK_BENCH_PLACE");
        found.split = found.all.size() >= 2 && !(want && std::strcmp(want, "0") == 0);
        return found;
    }();
    return p;
}

// Binds the calling thread to the servers' processor (true) or the clients' ones.
void bindTo(bool servers) {
    const Processors& p = processors();
    if (!p.split) return;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (servers)
        CPU_SET(p.all.front(), &set);
    else
        for (size_t i = 1; i < p.all.size(); ++i)
            CPU_SET(p.all[i], &set);
    sched_setaffinity(0, sizeof set, &set);
}

} // namespace

void PlaceClients() {
    const Processors& p = processors();
    bindTo(false);
    if (!p.split) {
        std::printf("processors: %zu, servers and clients placed by the scheduler\n", p.all.size());
        return;
    }
    std::string clients;
    for (size_t i = 1; i < p.all.size(); ++i)
        clients += (clients.empty() ? "" : ",") + std::to_string(p.all[i]);
    std::printf("processors: servers on CPU %d, clients (each in turn) on CPU %s\n", p.all.front(),
                clients.c_str());
}

ServerPlacement::ServerPlacement() {
    bindTo(true);
}

ServerPlacement::~ServerPlacement() {
    bindTo(false);
}

} // namespace bench
