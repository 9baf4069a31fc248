#pragma once
// One store file's encryption manager: creates the named cipher, keeps it (and its key) while
// the name stays the same, and encrypts or decrypts units in the selected mode.

#include "store/crypt/enc_algo.h"

#include <memory>
#include <string>
#include <string_view>

namespace store {

class TEncryptMgr {
public:
    // Selects the cipher by name (any letter case); the same name keeps the current object and
    // its key. Raises "Encryption algorithm module '%s' not found" for an unregistered name,
    // leaving the previous selection in place.
    void setAlgorithm(const std::string& name);
    // Returns the selected name, empty when none is selected.
    const std::string& algorithm() const { return name_; }
    // Returns true when a cipher is selected.
    bool hasAlgorithm() const { return algo_ != nullptr; }
    // Drops the selected cipher and its key.
    void clear();

    // Sets the mode byte, 0 to 4; kept across algorithm changes. Raises "General error" for a
    // larger value.
    void setMode(std::uint8_t mode);
    std::uint8_t mode() const { return mode_; }

    // Keys the cipher from a password (SHA-0 digest cut to the cipher's key size). Raises
    // "General error" with no cipher selected.
    void Init(std::string_view password);
    // Keys the cipher with raw key bytes. Raises "General error" with no cipher selected and
    // the key-length error for a length the cipher does not take.
    void InitKey(const std::uint8_t* key, std::size_t size);
    // Returns true when a cipher is selected and keyed.
    bool isKeyed() const { return algo_ && algo_->isInitialized(); }

    // Encrypts or decrypts one unit (a field value or a blob's stored bytes) in place, starting
    // from the initial chaining value; the length is unchanged. Raises "General error" with no
    // cipher selected and "%s is not initialized call Init() or InitKey() before." unkeyed.
    void encrypt(std::uint8_t* data, std::size_t size) const;
    void decrypt(std::uint8_t* data, std::size_t size) const;
    void encrypt(ByteVector& unit) const { encrypt(unit.data(), unit.size()); }
    void decrypt(ByteVector& unit) const { decrypt(unit.data(), unit.size()); }

    // Sets the callbacks that receive the percentage done while encrypting and decrypting.
    void setEncryptProgress(ProgressCallback callback) { encryptProgress_ = std::move(callback); }
    void setDecryptProgress(ProgressCallback callback) { decryptProgress_ = std::move(callback); }

private:
    TEncAlgo& requireAlgo() const;
    std::string name_;
    std::unique_ptr<TEncAlgo> algo_;
    std::uint8_t mode_ = 0;
    ProgressCallback encryptProgress_;
    ProgressCallback decryptProgress_;
};

} // namespace store
