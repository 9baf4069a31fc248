#pragma once
// Watches a window's event loop during a benchmark: the longest gap between two ticks of a
// 10 ms timer.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace bench {

class LoopWatch {
public:
    LoopWatch() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { worst_ = std::max(worst_, since_.restart()); });
    }
    void Start() {
        worst_ = 0;
        since_.start();
        timer_.start();
    }
    // Stops watching and returns the longest gap in milliseconds.
    qint64 Stop() {
        timer_.stop();
        return std::max(worst_, since_.elapsed());
    }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 worst_ = 0;
};

} // namespace bench
