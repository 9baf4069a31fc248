#pragma once
// One store file's compression manager: creates the named algorithm and keeps it while the name
// stays the same.

#include "store/crypt/comp_algo.h"

#include <memory>
#include <string>

namespace store {

class TCompressMgr {
public:
    // Selects the algorithm by name (any letter case); the same name keeps the current object.
    // Raises "Compression algorithm module '%s' not found" for an unregistered name, leaving the
    // previous selection in place.
    void setAlgorithm(const std::string& name);
    // Returns the selected name, empty when none is selected.
    const std::string& algorithm() const { return name_; }
    // Returns true when an algorithm is selected.
    bool hasAlgorithm() const { return algo_ != nullptr; }
    // Drops the selected algorithm.
    void clear();

    // Returns a blob's stored bytes for its content. Raises "General error" with no algorithm
    // selected and "Cannot Compress." when the compressor refuses.
    ByteVector compress(const std::uint8_t* data, std::size_t size) const;
    ByteVector compress(const ByteVector& content) const {
        return compress(content.data(), content.size());
    }
    // Returns a blob's content from its stored bytes. Raises "General error" with no algorithm
    // selected and "Cannot Uncompress." for damaged stored bytes.
    ByteVector decompress(const std::uint8_t* data, std::size_t size) const;
    ByteVector decompress(const ByteVector& stored) const {
        return decompress(stored.data(), stored.size());
    }

    // Sets the callbacks that receive the percentage done while compressing and decompressing.
    void setCompressProgress(ProgressCallback callback) { compressProgress_ = std::move(callback); }
    void setDecompressProgress(ProgressCallback callback) {
        decompressProgress_ = std::move(callback);
    }

private:
    const TCompAlgo& requireAlgo() const;
    std::string name_;
    std::unique_ptr<TCompAlgo> algo_;
    ProgressCallback compressProgress_;
    ProgressCallback decompressProgress_;
};

} // namespace store
