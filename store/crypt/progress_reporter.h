#pragma once
// Turns "bytes done of a unit" into percentage reports for a progress callback.

#include "store/crypt/crypt_types.h"

namespace store {

// Calls the callback only when the percentage changes, so per-block reports stay cheap for the
// receiver. Requires: the callback outlives the reporter.
class ProgressReporter {
public:
    ProgressReporter(const ProgressCallback& callback, std::size_t total)
        : callback_(callback), total_(total) {}
    // Reports done/total as a percentage (100 for an empty unit). Never raises by itself.
    void report(std::size_t done) {
        if (!callback_) return;
        int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
        if (percent != last_) {
            last_ = percent;
            callback_(percent);
        }
    }

private:
    const ProgressCallback& callback_;
    std::size_t total_;
    int last_ = -1;
};

} // namespace store
