#pragma once
// CRC-32 of IEEE 802.3 (reflected, initial value all ones, final complement) as zlib computes
// it; written blobs are verified with it.

#include <cstddef>
#include <cstdint>

namespace store {

// Returns the CRC-32 of the bytes, continuing from a previous result when one is given (0 for
// a fresh start). Never raises.
std::uint32_t crc32Ieee(const std::uint8_t* bytes, std::size_t size, std::uint32_t previous = 0);

} // namespace store
