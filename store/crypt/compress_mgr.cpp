#include "store/crypt/compress_mgr.h"

#include "store/crypt/algo_registry.h"
#include "store/store_error.h"

namespace store {

void TCompressMgr::setAlgorithm(const std::string& name) {
    if (algo_ && sameAlgorithmName(name, name_)) return;
    std::unique_ptr<TCompAlgo> created = createCompressionAlgorithm(name);
    if (!created)
        throw EStoreError(
            FormatMessage("Compression algorithm module '%s' not found", name.c_str()));
    algo_ = std::move(created);
    name_ = name;
}

void TCompressMgr::clear() {
    algo_.reset();
    name_.clear();
}

const TCompAlgo& TCompressMgr::requireAlgo() const {
    if (!algo_) throw EStoreError("General error");
    return *algo_;
}

ByteVector TCompressMgr::compress(const std::uint8_t* data, std::size_t size) const {
    return requireAlgo().compress(data, size, compressProgress_);
}

ByteVector TCompressMgr::decompress(const std::uint8_t* data, std::size_t size) const {
    return requireAlgo().decompress(data, size, decompressProgress_);
}

} // namespace store
