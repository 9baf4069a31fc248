#pragma once
// Offsets and sizes of the store file layout (FORMAT.md) and little-endian helpers. Internal to
// the storage layer.

#include <cstdint>
#include <cstring>
#include <string>

namespace store::fmt {

constexpr int kHeaderSize = 12;
constexpr int kSignatureSize = 7;
constexpr int kVersionOffset = 7;
constexpr int kVersionSize = 5;
constexpr int kOptionsOffset = 2317;
constexpr int kOptionsSize = 472;
constexpr int kDirectoryOffset = 2789;
constexpr int kDirectorySize = 1032;
constexpr int kFirstFreeOffset = 3821;
constexpr int kNameSize = 33;

// Options block.
constexpr int kOptCompress = 0;
constexpr int kOptCompressLevel = 1;
constexpr int kOptCompressName = 2;
constexpr int kOptEncrypt = 35;
constexpr int kOptEncryptMode = 36;
constexpr int kOptEncryptName = 37;
constexpr int kOptCrc = 70;
constexpr int kOptPasswordHash = 327;
constexpr int kPasswordHashSize = 129;

// Table header.
constexpr int kTableHeaderSize = 4821;
constexpr int kThDirOffset = 33;
constexpr int kThRecordTotal = 37;
constexpr int kThAutoInc = 41;
constexpr int kThFieldCount = 45;
constexpr int kThFields = 49;
constexpr int kFieldEntrySize = 43;
constexpr int kThIndexCount = 4177;
constexpr int kThIndexes = 4181;
constexpr int kIndexEntrySize = 78;
// Our change counter in the header's uninterpreted tail: every write bumps it so that another
// process can tell its cached directory and chains are stale.
constexpr int kThChangeCount = 4805;

// Field entry.
constexpr int kFeType = 33;
constexpr int kFeSize = 34;
constexpr int kFeMode = 38;

// Index entry.
constexpr int kIeOptions = 33;
constexpr int kIeFields = 34;
constexpr int kIeLinkOffset = 66;
constexpr int kIeStartSlot = 70;

// Record directory and index link blocks.
constexpr int kSlotsPerBlock = 1024;
constexpr int kSlotSize = 5;
constexpr int kDirBlockSize = 4 + kSlotsPerBlock * kSlotSize; // 5124
constexpr int kLinkItemSize = 8;
constexpr int kLinkBlockSize = 4 + kSlotsPerBlock * kLinkItemSize; // 8196

// Blob areas.
constexpr int kBlobGranularity = 64;
constexpr int32_t kMaxFileOffset = 2147483647;

inline int32_t GetI32(const uint8_t* p) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return static_cast<int32_t>(v);
}
inline void PutI32(uint8_t* p, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline int64_t GetI64(const uint8_t* p) {
    uint64_t lo = static_cast<uint32_t>(GetI32(p));
    uint64_t hi = static_cast<uint32_t>(GetI32(p + 4));
    return static_cast<int64_t>(lo | hi << 32);
}
inline void PutI64(uint8_t* p, int64_t value) {
    PutI32(p, static_cast<int32_t>(static_cast<uint64_t>(value)));
    PutI32(p + 4, static_cast<int32_t>(static_cast<uint64_t>(value) >> 32));
}
inline double GetF64(const uint8_t* p) {
    int64_t bits = GetI64(p);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}
inline void PutF64(uint8_t* p, double value) {
    int64_t bits;
    std::memcpy(&bits, &value, 8);
    PutI64(p, bits);
}
inline int16_t GetI16(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | p[1] << 8);
}
inline void PutI16(uint8_t* p, int16_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(static_cast<uint16_t>(value) >> 8);
}

// Returns the text of a zero-terminated name area (at most size bytes).
inline std::string GetName(const uint8_t* p, int size) {
    int n = 0;
    while (n < size && p[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
}
// Writes text into a name area of size bytes: at most size - 1 bytes, then zeros.
inline void PutName(uint8_t* p, int size, const std::string& text) {
    std::memset(p, 0, static_cast<size_t>(size));
    size_t n = text.size() < size_t(size - 1) ? text.size() : size_t(size - 1);
    std::memcpy(p, text.data(), n);
}

// Area size for a blob of this stored size: rounded down to 64, plus 64.
inline int32_t BlobAreaSize(int32_t storedSize) {
    return storedSize / kBlobGranularity * kBlobGranularity + kBlobGranularity;
}

} // namespace store::fmt
