#include "store/crypt/encrypt_mgr.h"

#include "store/crypt/algo_registry.h"
#include "store/store_error.h"

namespace store {

void TEncryptMgr::setAlgorithm(const std::string& name) {
    if (algo_ && sameAlgorithmName(name, name_)) return;
    std::unique_ptr<TEncAlgo> created = createEncryptionAlgorithm(name);
    if (!created)
        throw EStoreError(
            FormatMessage("Encryption algorithm module '%s' not found", name.c_str()));
    created->setMode(mode_);
    algo_ = std::move(created);
    name_ = name;
}

void TEncryptMgr::clear() {
    algo_.reset();
    name_.clear();
}

void TEncryptMgr::setMode(std::uint8_t mode) {
    if (algo_)
        algo_->setMode(mode);
    else if (mode > static_cast<std::uint8_t>(TEncMode::Ecb))
        throw EStoreError("General error");
    mode_ = mode;
}

TEncAlgo& TEncryptMgr::requireAlgo() const {
    if (!algo_) throw EStoreError("General error");
    return *algo_;
}

void TEncryptMgr::Init(std::string_view password) {
    requireAlgo().Init(password);
}

void TEncryptMgr::InitKey(const std::uint8_t* key, std::size_t size) {
    requireAlgo().InitKey(key, size);
}

void TEncryptMgr::encrypt(std::uint8_t* data, std::size_t size) const {
    requireAlgo().encryptUnit(data, size, encryptProgress_);
}

void TEncryptMgr::decrypt(std::uint8_t* data, std::size_t size) const {
    requireAlgo().decryptUnit(data, size, decryptProgress_);
}

} // namespace store
