#pragma once
// The SHA digest in its first published form (1993), which lacks the one-bit rotation in the
// message schedule. Store files key their ciphers and check passwords with it, so it must stay
// exactly this algorithm even though it is no longer considered secure.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace store {

using Sha0Digest = std::array<std::uint8_t, 20>;

// Incremental SHA-0 hasher.
class Sha0Hasher {
public:
    Sha0Hasher();
    // Adds bytes to the message. Requires: the hasher is not finished.
    void update(const void* data, std::size_t size);
    // Returns the 20-byte digest of everything added; the hasher is reset afterwards.
    Sha0Digest finish();

private:
    void compress(const std::uint8_t* block);
    std::uint32_t state_[5];
    std::uint8_t buffer_[64];
    std::size_t buffered_ = 0;
    std::uint64_t totalBytes_ = 0;
};

// Returns the SHA-0 digest of the given bytes.
Sha0Digest sha0(const void* data, std::size_t size);
// Returns the SHA-0 digest of the text's bytes as they are (no terminator).
Sha0Digest sha0(std::string_view text);

} // namespace store
