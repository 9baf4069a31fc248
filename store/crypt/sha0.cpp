#include "store/crypt/sha0.h"

#include <cstring>

namespace store {

namespace {

constexpr std::uint32_t rotl(std::uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

std::uint32_t loadBigEndian(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

void storeBigEndian(std::uint32_t value, std::uint8_t* p) {
    p[0] = std::uint8_t(value >> 24);
    p[1] = std::uint8_t(value >> 16);
    p[2] = std::uint8_t(value >> 8);
    p[3] = std::uint8_t(value);
}

} // namespace

Sha0Hasher::Sha0Hasher() {
    state_[0] = 0x67452301;
    state_[1] = 0xEFCDAB89;
    state_[2] = 0x98BADCFE;
    state_[3] = 0x10325476;
    state_[4] = 0xC3D2E1F0;
}

void Sha0Hasher::compress(const std::uint8_t* block) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = loadBigEndian(block + 4 * i);
    // The first form of the schedule: no rotation of the XOR, which is the only difference from
    // the later SHA-1 and the reason the digests differ.
    for (int i = 16; i < 80; ++i)
        w[i] = w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16];

    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        std::uint32_t t = rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = t;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
}

void Sha0Hasher::update(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    totalBytes_ += size;
    while (size > 0) {
        std::size_t take = std::min(size, sizeof(buffer_) - buffered_);
        std::memcpy(buffer_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        size -= take;
        if (buffered_ == sizeof(buffer_)) {
            compress(buffer_);
            buffered_ = 0;
        }
    }
}

Sha0Digest Sha0Hasher::finish() {
    std::uint64_t bitLength = totalBytes_ * 8;
    std::uint8_t pad[72] = {0x80};
    std::size_t padLength = (buffered_ < 56) ? 56 - buffered_ : 120 - buffered_;
    update(pad, padLength);
    std::uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = std::uint8_t(bitLength >> (56 - 8 * i));
    update(lengthBytes, sizeof(lengthBytes));

    Sha0Digest digest;
    for (int i = 0; i < 5; ++i)
        storeBigEndian(state_[i], digest.data() + 4 * i);
    *this = Sha0Hasher();
    return digest;
}

Sha0Digest sha0(const void* data, std::size_t size) {
    Sha0Hasher hasher;
    hasher.update(data, size);
    return hasher.finish();
}

Sha0Digest sha0(std::string_view text) {
    return sha0(text.data(), text.size());
}

} // namespace store
