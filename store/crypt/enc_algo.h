#pragma once
// Block-cipher algorithms for stored values and the five ways a unit of any length is run
// through them (the options block's mode byte).

#include "store/crypt/crypt_types.h"

#include <string>
#include <string_view>

namespace store {

// Chaining modes, by the value of the options block's mode byte.
enum class TEncMode : std::uint8_t {
    // C = E(P xor F), then F = C xor F; a short tail is XORed with E(F).
    XorChain = 0,
    // Cipher block chaining: C = E(P xor F), F = C; a short tail is XORed with E(F).
    Cbc = 1,
    // Cipher feedback, one byte at a time: per byte, k = first byte of E(F), C = P xor k, then F
    // shifts one byte to the left and takes C as its last byte.
    Cfb8 = 2,
    // Output feedback, one byte at a time: per byte, k = first byte of E(F), C = P xor k, then F
    // shifts one byte to the left and takes k as its last byte.
    Ofb8 = 3,
    // Electronic code book; a short tail is left as it is.
    Ecb = 4,
};

// A keyed block cipher plus the unit processing shared by every algorithm. Every unit starts
// afresh from the initial chaining value (one block of 0xFF bytes encrypted with the key), so
// equal values encrypt to equal bytes, and a unit never changes length.
class TEncAlgo {
public:
    virtual ~TEncAlgo();
    // Returns the class name shown in messages ("TEncAlgo_Blowfish", ...).
    virtual const char* className() const = 0;
    // Returns the block size in bytes (8 or 16).
    virtual std::size_t blockSize() const = 0;
    // Returns the smallest and largest key length in bytes that InitKey accepts.
    virtual std::size_t minKeySize() const = 0;
    virtual std::size_t maxKeySize() const = 0;

    // Keys the cipher with raw key bytes and computes the initial chaining value. Raises
    // "Length from Encryptionkey is invalid.\r\nKeysize for %s must be to %d-%d bytes" when
    // the length is outside [minKeySize, maxKeySize].
    void InitKey(const std::uint8_t* key, std::size_t size);
    // Keys the cipher from a password: its SHA-0 digest, cut to maxKeySize where shorter.
    void Init(std::string_view password);
    // Forgets the key; the cipher must be keyed again before use.
    void Burn();
    // Returns true once the cipher is keyed.
    bool isInitialized() const { return initialized_; }

    // Selects the chaining mode. Raises "General error" for a value above 4.
    void setMode(std::uint8_t mode);
    TEncMode mode() const { return mode_; }

    // Encrypts or decrypts one unit in place, its length unchanged. Raises "%s is not
    // initialized call Init() or InitKey() before." when the cipher is not keyed.
    void encryptUnit(std::uint8_t* data, std::size_t size, const ProgressCallback& progress = {});
    void decryptUnit(std::uint8_t* data, std::size_t size, const ProgressCallback& progress = {});

    // Encrypts or decrypts exactly one block (blockSize bytes); in and out may be equal.
    // Raises the not-initialized error when the cipher is not keyed.
    void encryptBlock(const std::uint8_t* in, std::uint8_t* out) const;
    void decryptBlock(const std::uint8_t* in, std::uint8_t* out) const;

protected:
    // Hands a key of a checked length to the cipher implementation.
    virtual void setCipherKey(const std::uint8_t* key, std::size_t size) = 0;
    virtual void cipherEncrypt(const std::uint8_t* in, std::uint8_t* out) const = 0;
    virtual void cipherDecrypt(const std::uint8_t* in, std::uint8_t* out) const = 0;
    virtual void clearCipherKey() = 0;

private:
    void requireKey() const;
    void processUnit(std::uint8_t* data, std::size_t size, const ProgressCallback& progress,
                     bool encrypting);
    bool initialized_ = false;
    TEncMode mode_ = TEncMode::XorChain;
    ByteVector initialChain_;
};

} // namespace store
