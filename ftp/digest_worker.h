// The digest of a verified transfer, computed on a thread of its own so that hashing costs the
// transfer loop no more than a copy of the bytes, and the last bytes are hashed while the
// server hashes its file. Where the process has a single processor, a thread beside the
// transfer only takes turns with it: the downloaded file is then hashed from disk once the
// transfer is over, while the server hashes its copy (HashFile).
#pragma once

#include "ftp/ftp_digest.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
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
    // Hashes count bytes of the file at path from offset from, on the hasher's thread, in place
    // of fed bytes (a worker is given one or the other); nothing is fed afterwards. A file that
    // cannot be read that far fails HexResult.
    void HashFile(const std::string& path, int64_t from, int64_t count);
    // Hands the last bytes over without waiting for them to be hashed.
    void Close();
    // Waits for every byte fed (or the file part) and returns the digest in lower-case hex.
    std::string HexResult();
    TNetDigestAlgorithm Algorithm() const { return algorithm; }

    // Hasher threads alive in this process.
    static int Running();
    // Whether this process may run on more than one processor, so that a hasher can work
    // beside the transfer rather than in turns with it.
    static bool SpareProcessor();

private:
    struct Chunk {
        std::unique_ptr<uint8_t[]> bytes;
        size_t used = 0;
    };
    struct FilePart {
        std::string path;
        int64_t from = 0;
        int64_t count = 0;
    };
    void run();
    void handOver();
    void hashFilePart(const FilePart& part);

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
    // The file part handed over by HashFile, and why it could not be hashed.
    std::optional<FilePart> filePart;
    std::exception_ptr failure;
    std::thread thread;
};
