#include "bench/bench_stats.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <tuple>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace bench {

Spread SpreadOf(std::vector<double> values) {
    Spread s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    s.median = values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
    s.low = values.front();
    s.high = values.back();
    return s;
}

bool Goal::MetBy(double median) const {
    switch (kind) {
    case AtLeast:
        return median >= value;
    case AtMost:
        return median <= value;
    case Below:
        return median < value;
    }
    return false;
}

std::string Goal::Text() const {
    char text[32];
    std::snprintf(text, sizeof text, "%s%g",
                  kind == AtLeast  ? ">="
                  : kind == AtMost ? "<="
                                   : "<",
                  value);
    return text;
}

std::string SpreadText(const std::vector<double>& values, const char* format) {
    const Spread s = SpreadOf(values);
    std::string pattern = std::string(format) + " (" + format + "-" + format + ")";
    char text[128];
    std::snprintf(text, sizeof text, pattern.c_str(), s.median, s.low, s.high);
    return text;
}

namespace {

void printRow(const char* kind, const std::string& name, Spread s, size_t rounds, Goal goal,
              const char* unit, const char* what) {
    const bool met = rounds > 0 && goal.MetBy(s.median);
    std::printf("  %-40s %.2f (%.2f-%.2f)%s, %s of %zu rounds, goal %s: %s\n", name.c_str(),
                s.median, s.low, s.high, unit, what, rounds, goal.Text().c_str(),
                met ? "met" : "MISSED");
    std::printf("%s name=%s median=%.3f low=%.3f high=%.3f goal=%s met=%s\n", kind, name.c_str(),
                s.median, s.low, s.high, goal.Text().c_str(), met ? "yes" : "no");
    std::fflush(stdout);
}

void report(const char* kind, const std::string& name, const std::vector<double>& values, Goal goal,
            const char* unit) {
    printRow(kind, name, SpreadOf(values), values.size(), goal, unit, "median (low-high)");
}

} // namespace

void ReportRatio(const std::string& name, const std::vector<double>& ratios, Goal goal) {
    report("RATIO", name, ratios, goal, "");
}

void ReportMedianRatio(const std::string& name, const std::vector<double>& ours,
                       const std::vector<std::vector<double>>& peers, Figures figures, Goal goal) {
    // Ours against the best of the peers' figures: theirs over ours for times, ours over
    // theirs for costs. Lower is better for both kinds of figure.
    auto ratio = [figures](double mine, double best) {
        mine = std::max(mine, 1e-9);
        best = std::max(best, 1e-9);
        return figures == Figures::Time ? best / mine : mine / best;
    };
    size_t rounds = ours.size();
    for (const auto& peer : peers)
        rounds = std::min(rounds, peer.size());
    Spread s;
    if (rounds > 0 && !peers.empty()) {
        const std::vector<double> mine(ours.begin(), ours.begin() + static_cast<long>(rounds));
        std::vector<double> withinRounds(rounds, 0);
        for (size_t i = 0; i < peers.size(); ++i)
            for (size_t r = 0; r < rounds; ++r)
                withinRounds[r] = i ? std::min(withinRounds[r], peers[i][r]) : peers[i][r];
        for (size_t r = 0; r < rounds; ++r)
            withinRounds[r] = ratio(mine[r], withinRounds[r]);
        s = SpreadOf(withinRounds);
    } else {
        rounds = 0;
    }
    printRow("RATIO", name, s, rounds, goal, "",
             "median of the rounds' ratios (lowest-highest)");
}

void ReportFigure(const std::string& name, const std::vector<double>& values, Goal goal,
                  const char* unit) {
    report("FIGURE", name, values, goal, unit);
}

namespace {

const char* const kReportingDelay = "/sys/module/page_reporting/parameters/min_free_ms";
// Longer than any side's run and the touch before it, so that nothing freed within a round is
// taken back before the next side writes.
constexpr long kReportingDelayMs = 60000;

} // namespace

PageCache::PageCache(int64_t fileBytes)
    // Room for what a run allocates beside the file: socket buffers, the client's own memory.
    : primeBytes_(fileBytes > 0 ? fileBytes + (int64_t(64) << 20) : 0) {
    const char* want = std::getenv("OXBROOK_BENCH_DROP_CACHES");
    drop_ = want && std::strcmp(want, "1") == 0;
    if (drop_ && access("/proc/sys/vm/drop_caches", W_OK) != 0) {
        std::printf("page cache: cannot be dropped here (needs root); kept for both sides\n");
        drop_ = false;
    } else {
        std::printf(drop_ ? "page cache: dropped before every run of both sides\n"
                          : "page cache: kept for both sides, never dropped (dirty pages written "
                            "back before every run; OXBROOK_BENCH_DROP_CACHES=1 drops it for "
                            "both)\n");
    }
    if (primeBytes_ > 0 && access(kReportingDelay, W_OK) == 0) {
        std::ifstream in(kReportingDelay);
        long was = -1;
        if (in >> was && was < kReportingDelayMs &&
            std::ofstream(kReportingDelay) << kReportingDelayMs << "\n") {
            reportingDelayWas_ = std::to_string(was);
            raisedBy_ = getpid();
        }
        if (was >= 0)
            std::printf("page reporting: memory stays with this machine for at least %ld ms after "
                        "it is freed (%s%s)\n",
                        std::max(was, kReportingDelayMs), kReportingDelay,
                        raisedBy_ ? (", raised from " + reportingDelayWas_ +
                                     " for this run and set back at its end")
                                        .c_str()
                                  : "");
    }
    if (primeBytes_ > 0)
        std::printf("memory: %lld MiB touched (in huge pages where granted) and freed before "
                    "every run of every side, so that none writes into memory the host has "
                    "taken back\n",
                    static_cast<long long>(primeBytes_ >> 20));
}

PageCache::~PageCache() {
    if (raisedBy_ == getpid() && !reportingDelayWas_.empty())
        std::ofstream(kReportingDelay) << reportingDelayWas_ << "\n";
}

void PageCache::Settle() const {
    sync();
    if (drop_) std::ofstream("/proc/sys/vm/drop_caches") << "3\n";
    if (primeBytes_ <= 0) return;
    // In a process of its own: the peak memory of every later child counts from this
    // process's own peak, which the touched memory would otherwise raise to its size.
    const pid_t pid = fork();
    if (pid == 0) {
        // In huge pages where the system grants them: freed again, they leave whole blocks of
        // backed memory, which a file written in large pieces (large page-cache folios) takes
        // its pages from as readily as one written in small pieces.
        constexpr size_t kHuge = size_t(2) << 20;
        const auto size = static_cast<size_t>(primeBytes_);
        void* mapped = mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) _exit(1);
        auto* memory = reinterpret_cast<volatile char*>(
            (reinterpret_cast<uintptr_t>(mapped) + kHuge - 1) & ~(uintptr_t(kHuge) - 1));
#ifdef MADV_HUGEPAGE
        madvise(const_cast<char*>(memory), size, MADV_HUGEPAGE);
#endif
        for (size_t at = 0; at < size; at += 4096)
            memory[at] = 1;
        _exit(0);
    }
    if (pid > 0) waitpid(pid, nullptr, 0);
}

namespace {

// The steal and the total of the first line of /proc/stat, in clock ticks; zeros when unread.
std::pair<unsigned long long, unsigned long long> stealAndTotal() {
    std::ifstream in("/proc/stat");
    std::string cpu;
    in >> cpu;
    unsigned long long total = 0, steal = 0, value = 0;
    for (int field = 0; field < 10 && in >> value; ++field) {
        // user nice system idle iowait irq softirq steal guest guest_nice; the guest times
        // are already counted in user and nice.
        if (field < 8) total += value;
        if (field == 7) steal = value;
    }
    return cpu == "cpu" ? std::pair{steal, total} : std::pair{0ull, 0ull};
}

} // namespace

void HostSteal::Restart() {
    std::tie(steal_, total_) = stealAndTotal();
}

double HostSteal::Share() const {
    const auto [steal, total] = stealAndTotal();
    return total > total_ ? double(steal - steal_) / double(total - total_) : 0.0;
}

bool HostTookTooMuch(double steal, int attempt) {
    constexpr double kMostSteal = 0.05;
    constexpr int kMostAgain = 2;
    if (steal <= kMostSteal) return false;
    if (attempt >= kMostAgain) {
        std::printf("  the host took %.0f%% of the processors' time again: this run counts\n",
                    100 * steal);
        return false;
    }
    std::printf("  the host took %.0f%% of the processors' time: run again\n", 100 * steal);
    return true;
}

int RoundsFromArgs(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rounds") == 0) return std::max(1, std::atoi(argv[i + 1]));
    return kDefaultRounds;
}

} // namespace bench
