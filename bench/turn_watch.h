#pragma once
// Watching the window's event loop from a benchmark: the longest wait between two of its turns.

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

// Counts event-loop turns with a 0 ms timer and keeps the longest wait between two of them.
class TurnWatch {
public:
    TurnWatch() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            if (last_ >= 0) longest_ = std::max(longest_, now - last_);
            last_ = now;
            ++turns_;
        });
    }
    void Start() {
        longest_ = 0;
        turns_ = 0;
        // The start counts as a turn, so a call that blocks from the start shows as a gap.
        last_ = 0;
        clock_.start();
        timer_.start();
    }
    // Stops watching; the time since the last turn counts as a gap too.
    void Stop() {
        const qint64 now = clock_.nsecsElapsed();
        if (last_ >= 0) longest_ = std::max(longest_, now - last_);
        timer_.stop();
    }
    double longestMs() const { return static_cast<double>(longest_) / 1e6; }
    long turns() const { return turns_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = -1;
    qint64 longest_ = 0;
    long turns_ = 0;
};
