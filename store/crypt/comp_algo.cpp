#include "store/crypt/comp_algo.h"

#include "store/crypt/progress_reporter.h"
#include "store/store_error.h"

#include <cstring>
#include <limits>
#include <zlib.h>

namespace store {

namespace {

constexpr const char* kCannotCompress = "Cannot Compress.";
constexpr const char* kCannotUncompress = "Cannot Uncompress.";

void putInt32(ByteVector& out, std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(u >> (8 * i)));
}

std::int32_t getInt32(const std::uint8_t* p) {
    std::uint32_t u = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                      (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
    return static_cast<std::int32_t>(u);
}

} // namespace

ByteVector TCompAlgo_Zip::compress(const std::uint8_t* data, std::size_t size,
                                   const ProgressCallback& progress) const {
    ByteVector out;
    ProgressReporter reporter(progress, size);
    reporter.report(0);
    ByteVector packed(compressBound(kChunkSize));
    for (std::size_t pos = 0; pos < size; pos += kChunkSize) {
        std::size_t chunk = std::min(kChunkSize, size - pos);
        uLongf packedSize = static_cast<uLongf>(packed.size());
        int rc = ::compress(packed.data(), &packedSize, data + pos, static_cast<uLong>(chunk));
        if (rc != Z_OK && rc != Z_BUF_ERROR) throw EStoreError(kCannotCompress);
        // A chunk that does not shrink is kept raw: readers tell the two apart by the sign of
        // the length, and raw data never has to pass through the inflater.
        if (rc == Z_OK && packedSize < chunk && packedSize <= kChunkSize) {
            putInt32(out, static_cast<std::int32_t>(packedSize));
            out.insert(out.end(), packed.begin(), packed.begin() + packedSize);
        } else {
            putInt32(out, -static_cast<std::int32_t>(chunk));
            out.insert(out.end(), data + pos, data + pos + chunk);
        }
        reporter.report(pos + chunk);
    }
    return out;
}

ByteVector TCompAlgo_Zip::decompress(const std::uint8_t* data, std::size_t size,
                                     const ProgressCallback& progress) const {
    ByteVector out;
    ProgressReporter reporter(progress, size);
    reporter.report(0);
    ByteVector inflated(kChunkSize);
    auto append = [&](const std::uint8_t* bytes, std::size_t count) {
        if (count > MaxContentSize - out.size()) throw EStoreError(kCannotUncompress);
        out.insert(out.end(), bytes, bytes + count);
    };
    std::size_t pos = 0;
    while (pos < size) {
        if (size - pos < 4) throw EStoreError(kCannotUncompress);
        std::int32_t length = getInt32(data + pos);
        pos += 4;
        // Lengths come from the file and are not trusted: a zero length, one beyond a chunk
        // (INT32_MIN included, which cannot be negated) or one past the stored bytes means the
        // value is damaged.
        if (length == 0 || length == std::numeric_limits<std::int32_t>::min())
            throw EStoreError(kCannotUncompress);
        std::size_t count = static_cast<std::size_t>(length < 0 ? -length : length);
        if (count > size - pos) throw EStoreError(kCannotUncompress);
        if (length < 0) {
            if (count > kChunkSize) throw EStoreError(kCannotUncompress);
            append(data + pos, count);
        } else {
            uLongf produced = kChunkSize;
            uLong consumed = static_cast<uLong>(count);
            int rc = ::uncompress2(inflated.data(), &produced, data + pos, &consumed);
            // A chunk that would inflate past 65536 bytes cannot have been written by a sound
            // writer; truncating it silently would hand back corrupted content.
            if (rc != Z_OK) throw EStoreError(kCannotUncompress);
            append(inflated.data(), produced);
        }
        pos += count;
        reporter.report(pos);
    }
    return out;
}

} // namespace store
