#pragma once
// The registered block ciphers, each backed by the Botan 2 implementation of the algorithm.

#include "store/crypt/enc_algo.h"

#include <memory>

namespace Botan {
class BlockCipher;
}

namespace store {

// Common base of the ciphers that Botan implements; pads short keys with zero bytes up to the
// next length the cipher accepts.
class TBotanEncAlgo : public TEncAlgo {
public:
    ~TBotanEncAlgo() override;
    std::size_t blockSize() const override;

protected:
    // Requires: Botan knows the algorithm name. Raises "General error" otherwise.
    explicit TBotanEncAlgo(const char* botanName);
    void setCipherKey(const std::uint8_t* key, std::size_t size) override;
    void cipherEncrypt(const std::uint8_t* in, std::uint8_t* out) const override;
    void cipherDecrypt(const std::uint8_t* in, std::uint8_t* out) const override;
    void clearCipherKey() override;

private:
    std::unique_ptr<Botan::BlockCipher> cipher_;
};

// "Blowfish": 8-byte blocks, keys of 1 to 56 bytes.
class TEncAlgo_Blowfish : public TBotanEncAlgo {
public:
    static constexpr const char* kClassName = "TEncAlgo_Blowfish";
    TEncAlgo_Blowfish();
    const char* className() const override { return kClassName; }
    std::size_t minKeySize() const override { return 1; }
    std::size_t maxKeySize() const override { return 56; }
};

// "Twofish": 16-byte blocks, keys of 1 to 32 bytes; shorter keys are zero-padded to 16, 24 or
// 32 bytes as the cipher's own definition prescribes.
class TEncAlgo_Twofish : public TBotanEncAlgo {
public:
    static constexpr const char* kClassName = "TEncAlgo_Twofish";
    TEncAlgo_Twofish();
    const char* className() const override { return kClassName; }
    std::size_t minKeySize() const override { return 1; }
    std::size_t maxKeySize() const override { return 32; }
};

// "Gost": GOST 28147-89, 8-byte blocks, keys of 1 to 32 bytes zero-padded to 32. The
// substitution boxes are Botan's default set, the test parameters of GOST R 34.11-94.
class TEncAlgo_Gost : public TBotanEncAlgo {
public:
    static constexpr const char* kClassName = "TEncAlgo_Gost";
    TEncAlgo_Gost();
    const char* className() const override { return kClassName; }
    std::size_t minKeySize() const override { return 1; }
    std::size_t maxKeySize() const override { return 32; }
};

} // namespace store
