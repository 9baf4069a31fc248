#include "store/crypt/enc_algo.h"

#include "store/crypt/progress_reporter.h"
#include "store/crypt/sha0.h"
#include "store/store_error.h"

#include <algorithm>
#include <cstring>

namespace store {

namespace {

void xorInto(std::uint8_t* target, const std::uint8_t* source, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        target[i] ^= source[i];
}

// Shifts the chaining value one byte to the left and appends the byte given: the register
// update of the one-byte feedback modes.
void shiftIn(ByteVector& chain, std::uint8_t byte) {
    std::memmove(chain.data(), chain.data() + 1, chain.size() - 1);
    chain.back() = byte;
}

} // namespace

TEncAlgo::~TEncAlgo() = default;

void TEncAlgo::InitKey(const std::uint8_t* key, std::size_t size) {
    if (size < minKeySize() || size > maxKeySize())
        throw EStoreError(FormatMessage(
            "Length from Encryptionkey is invalid.\r\nKeysize for %s must be to %d-%d bytes",
            className(), static_cast<int>(minKeySize()), static_cast<int>(maxKeySize())));
    Burn();
    setCipherKey(key, size);
    initialized_ = true;
    initialChain_.assign(blockSize(), 0xFF);
    cipherEncrypt(initialChain_.data(), initialChain_.data());
}

void TEncAlgo::Init(std::string_view password) {
    Sha0Digest digest = sha0(password);
    InitKey(digest.data(), std::min(digest.size(), maxKeySize()));
    std::fill(digest.begin(), digest.end(), 0);
}

void TEncAlgo::Burn() {
    if (initialized_) clearCipherKey();
    std::fill(initialChain_.begin(), initialChain_.end(), 0);
    initialChain_.clear();
    initialized_ = false;
}

void TEncAlgo::setMode(std::uint8_t mode) {
    if (mode > static_cast<std::uint8_t>(TEncMode::Ecb)) throw EStoreError("General error");
    mode_ = static_cast<TEncMode>(mode);
}

void TEncAlgo::requireKey() const {
    if (!initialized_)
        throw EStoreError(
            FormatMessage("%s is not initialized call Init() or InitKey() before.", className()));
}

void TEncAlgo::encryptBlock(const std::uint8_t* in, std::uint8_t* out) const {
    requireKey();
    cipherEncrypt(in, out);
}

void TEncAlgo::decryptBlock(const std::uint8_t* in, std::uint8_t* out) const {
    requireKey();
    cipherDecrypt(in, out);
}

void TEncAlgo::encryptUnit(std::uint8_t* data, std::size_t size, const ProgressCallback& progress) {
    processUnit(data, size, progress, true);
}

void TEncAlgo::decryptUnit(std::uint8_t* data, std::size_t size, const ProgressCallback& progress) {
    processUnit(data, size, progress, false);
}

void TEncAlgo::processUnit(std::uint8_t* data, std::size_t size, const ProgressCallback& progress,
                           bool encrypting) {
    requireKey();
    const std::size_t bs = blockSize();
    ProgressReporter reporter(progress, size);
    reporter.report(0);
    // Every unit starts from the same chaining value, so equal values give equal stored bytes
    // (which index lookups on encrypted fields rely on).
    ByteVector chain = initialChain_;
    ByteVector cipherBlock(bs);
    std::size_t pos = 0;
    switch (mode_) {
    case TEncMode::XorChain:
    case TEncMode::Cbc:
        for (; pos + bs <= size; pos += bs) {
            std::uint8_t* p = data + pos;
            if (encrypting) {
                xorInto(p, chain.data(), bs);
                cipherEncrypt(p, p);
                std::memcpy(cipherBlock.data(), p, bs);
            } else {
                std::memcpy(cipherBlock.data(), p, bs);
                cipherDecrypt(p, p);
                xorInto(p, chain.data(), bs);
            }
            if (mode_ == TEncMode::XorChain)
                xorInto(chain.data(), cipherBlock.data(), bs);
            else
                std::memcpy(chain.data(), cipherBlock.data(), bs);
            reporter.report(pos + bs);
        }
        // The short tail is a stream XOR with E(F), the same in both directions.
        if (pos < size) {
            cipherEncrypt(chain.data(), cipherBlock.data());
            xorInto(data + pos, cipherBlock.data(), size - pos);
        }
        break;
    case TEncMode::Cfb8:
    case TEncMode::Ofb8:
        // One block encryption per byte: the first byte of E(F) is the key byte. Cipher
        // feedback then shifts the cipher-text byte into F, output feedback the key byte.
        for (; pos < size; ++pos) {
            cipherEncrypt(chain.data(), cipherBlock.data());
            std::uint8_t keyByte = cipherBlock[0];
            std::uint8_t cipherByte = encrypting ? std::uint8_t(data[pos] ^ keyByte) : data[pos];
            data[pos] ^= keyByte;
            shiftIn(chain, mode_ == TEncMode::Cfb8 ? cipherByte : keyByte);
            if ((pos & 0xFFF) == 0) reporter.report(pos);
        }
        break;
    case TEncMode::Ecb:
        for (; pos + bs <= size; pos += bs) {
            if (encrypting)
                cipherEncrypt(data + pos, data + pos);
            else
                cipherDecrypt(data + pos, data + pos);
            reporter.report(pos + bs);
        }
        break;
    }
    std::fill(chain.begin(), chain.end(), 0);
    std::fill(cipherBlock.begin(), cipherBlock.end(), 0);
    reporter.report(size);
}

} // namespace store
