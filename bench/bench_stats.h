#pragma once
// What every benchmark shares for its figures: rounds that alternate which side goes first, the
// page-cache policy said in the output, medians with their spread, and one machine-readable
// line per ratio that scripts/bench.sh gathers into its summary table:
//
//   RATIO name=store.cursor_scan median=1.02 low=0.97 high=1.08 goal=>=1 met=yes

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

constexpr int kDefaultRounds = 5;

// The middle of a set of figures and its two ends.
struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};

// Returns the median (the mean of the two middle figures for an even count), the lowest and the
// highest of `values`; zeros when there are none.
Spread SpreadOf(std::vector<double> values);

// A ratio's goal: the median must be at least, at most or below `value`.
struct Goal {
    enum Kind { AtLeast, AtMost, Below } kind = AtLeast;
    double value = 0;
    bool MetBy(double median) const;
    std::string Text() const; // ">=0.9", "<=1" or "<100"
};

// Prints the ratio's median with its spread and goal for people, then its RATIO line. `ratios`
// holds one ratio per round, each taken from the two sides of that round.
void ReportRatio(const std::string& name, const std::vector<double>& ratios, Goal goal);

// What a figure that every side measured in every round says: the time it took (the ratio is
// then a speed: the peers' best over ours, above 1 when ours is faster) or what it cost (CPU
// seconds, memory: ours over the peers' least, below 1 when ours costs less).
enum class Figures { Time, Cost };

// Ours against the best of the peers, round by round: each round's ratio sets our figure
// against the best peer's figure of that same round, and the row gives the median of those
// ratios with their spread. The sides of a round run back to back, while this machine's pace
// moves in spells of several transfers (a 1 GiB download's CPU doubles for every client alike
// for half a minute, then falls back): a ratio of whole-run medians would set our fast spell
// against a peer's slow one. `peers` holds each peer's figures, one per round as in `ours`.
void ReportMedianRatio(const std::string& name, const std::vector<double>& ours,
                       const std::vector<std::vector<double>>& peers, Figures figures, Goal goal);

// The same for a figure measured against a fixed goal rather than a peer (milliseconds, say):
// its line starts with FIGURE instead of RATIO.
void ReportFigure(const std::string& name, const std::vector<double>& values, Goal goal,
                  const char* unit);

// Prints "median (low-high)" of `values` formatted with `format` (e.g. "%.1f").
std::string SpreadText(const std::vector<double>& values, const char* format);

// True when side A goes first in `round` (counted from 0): the sides take turns, so that
// neither always meets caches (or a machine) that the other has warmed.
inline bool AFirst(int round) {
    return round % 2 == 0;
}

// Runs `a` and `b` once each in the order AFirst(round) gives.
template <class A, class B> void RunPair(int round, A&& a, B&& b) {
    if (AFirst(round)) {
        a();
        b();
    } else {
        b();
        a();
    }
}

// Whether the page cache is dropped before each side's run: OXBROOK_BENCH_DROP_CACHES=1 drops it
// for both sides (needs root), otherwise it is kept for both. Prints the policy once.
//
// With `fileBytes` (the largest file a run writes), every Settle also touches that much fresh
// memory and a little more, and frees it again. A virtual machine's host may take back memory
// the guest has left free (free page reporting); the first write to such a page then costs a
// fault in the host, several times a plain copy (here 2.9 s against 0.66 s for 1 GiB). A side
// whose file lands on such pages pays for that, and which side does is chance: a download of
// 1 GiB took 0.8 s of CPU in one round and 2.5 s in the next. Touched just before each run (in
// huge pages: a file written in large pieces takes its pages from large free blocks, and
// memory freed in small pages by the previous side's file does not make such blocks), the pages
// a download's file takes are backed for every side alike.
//
// Touching is not enough where the host takes memory back as soon as it is free: the pages
// touched a moment before, or freed with the previous side's file, may be gone by the time the
// next side writes. Where the kernel lets the minimum time a page must stay free before it is
// reported be set (page_reporting's min_free_ms), a benchmark with `fileBytes` raises it to a
// minute for as long as it runs and sets it back afterwards. Measured here: twelve downloads
// of 1 GiB by the engine, each after the touch, took 0.62-2.40 s with pages reported at once
// and 0.55-0.82 s with the minute.
class PageCache {
public:
    explicit PageCache(int64_t fileBytes = 0);
    ~PageCache();
    PageCache(const PageCache&) = delete;
    PageCache& operator=(const PageCache&) = delete;
    // Writes dirty pages back and, under the dropping policy, drops clean ones: every side
    // starts from the same state and pays for no one else's pages. Then primes the memory.
    void Settle() const;
    bool drops() const { return drop_; }

private:
    bool drop_ = false;
    int64_t primeBytes_ = 0;
    // The reporting delay as it was before this benchmark raised it, and the process that
    // raised it (a forked child never sets it back).
    std::string reportingDelayWas_;
    pid_t raisedBy_ = 0;
};

// The share of this machine's processor time that its host took for others (the "steal" of
// /proc/stat) since the object was made or last restarted: 0 where the kernel does not count it.
// On a virtual machine whose host is busy, a run can lose a tenth of its processors, and its
// figures with them.
class HostSteal {
public:
    HostSteal() { Restart(); }
    void Restart();
    double Share() const;

private:
    unsigned long long steal_ = 0, total_ = 0;
};

// Whether a run in which the host took `steal` of the processors' time (its attempt `attempt`,
// counted from 0) is to be run again: above 5%, at most twice; says so when it is.
bool HostTookTooMuch(double steal, int attempt);

// Reads "--rounds N" from the command line; at least 1, kDefaultRounds when absent.
int RoundsFromArgs(int argc, char** argv);

} // namespace bench
