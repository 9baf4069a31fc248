#pragma once
// Compression algorithms for blob values, and the "ZIP" chunk format.

#include "store/crypt/crypt_types.h"

namespace store {

// A compression algorithm: turns a blob's content into its stored bytes and back.
class TCompAlgo {
public:
    virtual ~TCompAlgo() = default;
    // Returns the algorithm's class name (used in registry entries and messages).
    virtual const char* className() const = 0;
    // Returns the stored form of the content. Raises EStoreError "Cannot Compress." when the
    // compressor refuses.
    virtual ByteVector compress(const std::uint8_t* data, std::size_t size,
                                const ProgressCallback& progress = {}) const = 0;
    // Returns the content of a stored form. Raises EStoreError "Cannot Uncompress." when the
    // stored bytes are not a valid stored form; never reads outside [data, data + size).
    virtual ByteVector decompress(const std::uint8_t* data, std::size_t size,
                                  const ProgressCallback& progress = {}) const = 0;
};

// "ZIP": the content in chunks of 65536 bytes, each stored behind an int32 length (little
// endian) as one zlib stream (positive length) or raw (negated length).
class TCompAlgo_Zip : public TCompAlgo {
public:
    static constexpr const char* kClassName = "TCompAlgo_Zip";
    static constexpr std::size_t kChunkSize = 65536;
    // The stored form declares no total, so a value may not grow past this: a few hundred
    // kilobytes of hostile chunks must not make the reader allocate without end.
    static constexpr std::size_t kMaxContentSize = std::size_t(256) << 20;

    // The largest content decompress hands back (kMaxContentSize unless a caller lowers it).
    std::size_t MaxContentSize = kMaxContentSize;

    const char* className() const override { return kClassName; }
    // Returns the chunked stored form; empty content gives no bytes. Raises "Cannot Compress.".
    ByteVector compress(const std::uint8_t* data, std::size_t size,
                        const ProgressCallback& progress = {}) const override;
    // Returns the content. Raises "Cannot Uncompress." for a length field that does not fit the
    // remaining bytes, a zero or oversized length, a stream that fails to inflate or inflates
    // to more than 65536 bytes, stray bytes too short for a length field, or content that would
    // pass MaxContentSize (raised before more memory is taken).
    ByteVector decompress(const std::uint8_t* data, std::size_t size,
                          const ProgressCallback& progress = {}) const override;
};

} // namespace store
