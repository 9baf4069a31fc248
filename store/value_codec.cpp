#include "store/value_codec.h"

#include "store/crypt/digest_text.h"

namespace store {

TValueCodec::TValueCodec(const TStoreOptions& options)
    : compress_(options.compressBlobs), encrypt_(options.encrypt),
      passwordHash_(options.passwordHash) {
    if (compress_) compressMgr_.setAlgorithm(options.compressAlgorithm);
    if (encrypt_) {
        encryptMgr_.setAlgorithm(options.encryptAlgorithm);
        encryptMgr_.setMode(options.encryptMode);
    }
}

bool TValueCodec::TryPassword(const std::string& password) {
    if (!encrypt_) return true;
    if (!checkPassword(password, passwordHash_)) return false;
    encryptMgr_.Init(password);
    return true;
}

void TValueCodec::EncodeField(uint8_t* bytes, size_t size, uint8_t mode) const {
    if (encrypt_ && mode == 0) encryptMgr_.encrypt(bytes, size);
}

void TValueCodec::DecodeField(uint8_t* bytes, size_t size, uint8_t mode) const {
    if (encrypt_ && mode == 0) encryptMgr_.decrypt(bytes, size);
}

std::string TValueCodec::EncodeBlob(const std::string& content, uint8_t mode) const {
    if (mode != 0 || (!compress_ && !encrypt_)) return content;
    ByteVector unit;
    const auto* data = reinterpret_cast<const uint8_t*>(content.data());
    if (compress_)
        unit = compressMgr_.compress(data, content.size());
    else
        unit.assign(data, data + content.size());
    if (encrypt_) encryptMgr_.encrypt(unit);
    return std::string(unit.begin(), unit.end());
}

std::string TValueCodec::DecodeBlob(const std::string& stored, uint8_t mode) const {
    if (mode != 0 || (!compress_ && !encrypt_)) return stored;
    const auto* data = reinterpret_cast<const uint8_t*>(stored.data());
    ByteVector unit(data, data + stored.size());
    if (encrypt_) encryptMgr_.decrypt(unit);
    if (compress_) unit = compressMgr_.decompress(unit);
    return std::string(unit.begin(), unit.end());
}

} // namespace store
