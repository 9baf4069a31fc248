#pragma once
// Applies a store file's compression and encryption to stored values in the order the record
// operations need: a processed blob is compressed then encrypted on write, decrypted then
// decompressed on read; a processed non-blob value is only encrypted or decrypted. Fields with
// a nonzero processing mode pass through unchanged. Internal to the storage layer.

#include "store/crypt/compress_mgr.h"
#include "store/crypt/encrypt_mgr.h"
#include "store/table_def.h"

#include <cstdint>
#include <string>

namespace store {

class TValueCodec {
public:
    // Selects the algorithms the options block names. Raises the algorithm-module messages.
    explicit TValueCodec(const TStoreOptions& options);

    bool Compresses() const { return compress_; }
    bool Encrypts() const { return encrypt_; }

    // Returns true (and keys the cipher) when the password's digest text equals the stored hash.
    bool TryPassword(const std::string& password);

    // Encrypts or decrypts a non-blob field's bytes in place when the field is processed.
    void EncodeField(uint8_t* bytes, size_t size, uint8_t mode) const;
    void DecodeField(uint8_t* bytes, size_t size, uint8_t mode) const;

    // Returns a blob's stored bytes for its content, and back. Raise "Cannot Compress.",
    // "Cannot Uncompress." or a cipher error.
    std::string EncodeBlob(const std::string& content, uint8_t mode) const;
    std::string DecodeBlob(const std::string& stored, uint8_t mode) const;

    TCompressMgr& CompressMgr() { return compressMgr_; }
    TEncryptMgr& EncryptMgr() { return encryptMgr_; }

private:
    bool compress_ = false;
    bool encrypt_ = false;
    std::string passwordHash_;
    TCompressMgr compressMgr_;
    TEncryptMgr encryptMgr_;
};

} // namespace store
