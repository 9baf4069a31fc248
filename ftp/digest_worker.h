// The digest of a verified transfer, computed on a thread of its own so that hashing costs the
// transfer loop no more than a copy of the bytes, and the last bytes are hashed while the
// server hashes its file.
#pragma once

#include "ftp/ftp_digest.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TNetDigestWorker {
public:
    // At most chunkCount chunks of chunkSize bytes are in flight: a transfer that outruns the
    // hasher waits for it rather than holding the file in memory.
    explicit TNetDigestWorker(TNetDigestAlgorithm algorithm, size_t chunkSize = 256 << 10,
                              int chunkCount = 8);
    // Stops the hasher and waits for its thread: nothing runs on once the transfer is gone.
    ~TNetDigestWorker();
    TNetDigestWorker(const TNetDigestWorker&) = delete;
    TNetDigestWorker& operator=(const TNetDigestWorker&) = delete;

    // Hands bytes to the hasher (copied; the caller's buffer is free on return).
    void Feed(const void* data, int64_t count);
    // Hands the last bytes over without waiting for them to be hashed.
    void Close();
    // Waits for every byte fed and returns the digest in lower-case hex.
    std::string HexResult();
    TNetDigestAlgorithm Algorithm() const { return algorithm; }

    // Hasher threads alive in this process.
    static int Running();

private:
    struct Chunk {
        std::unique_ptr<uint8_t[]> bytes;
        size_t used = 0;
    };
    void run();
    void handOver();

    TNetDigestAlgorithm algorithm;
    TNetDigest digest;
    size_t chunkSize;
    std::vector<Chunk> chunks;
    std::mutex lock;
    std::condition_variable changed;
    // Chunks oldest..oldest+queued-1 (round the ring) wait for the hasher, which owns the
    // oldest while it hashes; the feeder fills the one after them.
    size_t oldest = 0;
    size_t queued = 0;
    bool closed = false;
    bool stopping = false;
    std::string result;
    std::thread thread;
};
