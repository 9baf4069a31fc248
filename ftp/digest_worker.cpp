#include "ftp/digest_worker.h"

#include "ftp/net_stream.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#ifdef __linux__
#include <sched.h>
#endif

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

bool TNetDigestWorker::SpareProcessor() {
#ifdef __linux__
    // The processors this process may use, which a launcher or the user may have narrowed.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return CPU_COUNT(&allowed) > 1;
#endif
    return std::thread::hardware_concurrency() != 1;
}

void TNetDigestWorker::run() {
    std::unique_lock<std::mutex> guard(lock);
    while (true) {
        changed.wait(guard, [this] { return stopping || queued > 0 || closed; });
        if (stopping || queued == 0) return;
        if (filePart) {
            const FilePart part = *filePart;
            guard.unlock();
            try {
                hashFilePart(part);
            } catch (...) {
                failure = std::current_exception();
            }
            guard.lock();
            filePart.reset();
            --queued;
            changed.notify_all();
            continue;
        }
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

void TNetDigestWorker::hashFilePart(const FilePart& part) {
    TNetFileStream file(part.path, TNetFileMode::fmOpenRead);
    file.SetPosition(part.from);
    uint8_t* buffer = chunks[0].bytes.get();
    for (int64_t left = part.count; left > 0;) {
        {
            // A transfer given up stops the hasher between pieces.
            std::lock_guard<std::mutex> guard(lock);
            if (stopping) return;
        }
        const int64_t got = file.Read(buffer, std::min<int64_t>(left, int64_t(chunkSize)));
        if (got <= 0)
            throw ENetException("The downloaded file " + part.path +
                                " holds fewer bytes than were received: it cannot be verified.");
        digest.Update(buffer, got);
        left -= got;
    }
}

void TNetDigestWorker::HashFile(const std::string& path, int64_t from, int64_t count) {
    std::lock_guard<std::mutex> guard(lock);
    if (closed) return;
    filePart = FilePart{path, from, count};
    ++queued;
    closed = true;
    changed.notify_all();
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
    if (failure) std::rethrow_exception(failure);
    // A digest is final once taken: a second call gives the same text.
    if (result.empty()) result = digest.HexResult();
    return result;
}
