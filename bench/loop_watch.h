#pragma once
// Watches a window's event loop during a benchmark: the longest wait between two turns of a
// timer, and how many turns it made. A 10 ms timer (the default) costs the work under watch
// nothing worth counting; a 0 ms timer fires on every turn of the loop and so counts them.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace bench {

class LoopWatch {
public:
    explicit LoopWatch(int intervalMs = 10) {
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
            ++turns_;
        });
    }
    // The start counts as a turn, so work that blocks from the start shows as a gap.
    void Start() {
        longest_ = 0;
        turns_ = 0;
        last_ = 0;
        clock_.start();
        timer_.start();
    }
    // Stops watching (the time since the last turn counts as a gap too) and returns the
    // longest gap in whole milliseconds.
    qint64 Stop() {
        longest_ = std::max(longest_, clock_.nsecsElapsed() - last_);
        timer_.stop();
        return longest_ / 1000000;
    }
    double longestMs() const { return static_cast<double>(longest_) / 1e6; }
    long turns() const { return turns_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    long turns_ = 0;
};

} // namespace bench
