#include "ftp/digest_worker.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {
std::atomic<int> running{0};
}

TNetDigestWorker::TNetDigestWorker(TNetDigestAlgorithm algorithm, size_t chunkSize, int chunkCount)
    : algorithm(algorithm), digest(algorithm), chunkSize(chunkSize),
      chunks(static_cast<size_t>(std::max(chunkCount, 2))) {
    for (auto& c : chunks)
        c.bytes = std::make_unique<uint8_t[]>(chunkSize);
    ++running;
    thread = std::thread([this] { run(); });
}

TNetDigestWorker::~TNetDigestWorker() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
    --running;
}

int TNetDigestWorker::Running() {
    return running.load();
}

void TNetDigestWorker::run() {
    std::unique_lock<std::mutex> guard(lock);
    while (true) {
        changed.wait(guard, [this] { return stopping || queued > 0 || closed; });
        if (stopping || queued == 0) return;
        Chunk& c = chunks[oldest];
        // The feeder never touches a queued chunk: it is hashed without the lock.
        guard.unlock();
        digest.Update(c.bytes.get(), static_cast<int64_t>(c.used));
        c.used = 0;
        guard.lock();
        oldest = (oldest + 1) % chunks.size();
        --queued;
        changed.notify_all();
    }
}

void TNetDigestWorker::handOver() {
    std::unique_lock<std::mutex> guard(lock);
    ++queued;
    changed.notify_all();
    // The next chunk to fill must be free; the hasher falling behind holds the feeder here.
    changed.wait(guard, [this] { return queued < chunks.size() || stopping; });
}

void TNetDigestWorker::Feed(const void* data, int64_t count) {
    const auto* from = static_cast<const uint8_t*>(data);
    while (count > 0) {
        // Only the feeder moves oldest + queued forward, so the chunk it fills is stable.
        size_t filling;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (closed) return;
            filling = (oldest + queued) % chunks.size();
        }
        Chunk& c = chunks[filling];
        const size_t n = std::min(chunkSize - c.used, static_cast<size_t>(count));
        std::memcpy(c.bytes.get() + c.used, from, n);
        c.used += n;
        from += n;
        count -= static_cast<int64_t>(n);
        if (c.used == chunkSize) handOver();
    }
}

void TNetDigestWorker::Close() {
    std::lock_guard<std::mutex> guard(lock);
    if (closed) return;
    const size_t filling = (oldest + queued) % chunks.size();
    if (chunks[filling].used > 0) ++queued;
    closed = true;
    changed.notify_all();
}

std::string TNetDigestWorker::HexResult() {
    Close();
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [this] { return queued == 0; });
    // A digest is final once taken: a second call gives the same text.
    if (result.empty()) result = digest.HexResult();
    return result;
}
