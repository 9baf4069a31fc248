#include "store/crypt/crc32.h"

#include <zlib.h>

namespace store {

std::uint32_t crc32Ieee(const std::uint8_t* bytes, std::size_t size, std::uint32_t previous) {
    uLong crc = previous;
    // zlib takes lengths as uInt; feed large buffers in slices.
    while (size > 0) {
        uInt slice = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
        crc = ::crc32(crc, bytes, slice);
        bytes += slice;
        size -= slice;
    }
    return static_cast<std::uint32_t>(crc);
}

} // namespace store
