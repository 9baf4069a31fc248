#include "store/crypt/block_ciphers.h"

#include "store/store_error.h"

#include <botan/block_cipher.h>

namespace store {

TBotanEncAlgo::TBotanEncAlgo(const char* botanName)
    : cipher_(Botan::BlockCipher::create(botanName)) {
    if (!cipher_) throw EStoreError("General error");
}

TBotanEncAlgo::~TBotanEncAlgo() = default;

std::size_t TBotanEncAlgo::blockSize() const {
    return cipher_->block_size();
}

void TBotanEncAlgo::setCipherKey(const std::uint8_t* key, std::size_t size) {
    // The password digest is 20 bytes, a length Twofish and GOST do not take directly; both are
    // defined (or, for GOST, here chosen) to treat a short key as zero-padded.
    Botan::Key_Length_Specification keyLengths = cipher_->key_spec();
    std::size_t length = size;
    while (!keyLengths.valid_keylength(length) && length < keyLengths.maximum_keylength())
        ++length;
    if (!keyLengths.valid_keylength(length)) throw EStoreError("General error");
    Botan::secure_vector<std::uint8_t> padded(length, 0);
    std::copy(key, key + size, padded.begin());
    cipher_->set_key(padded);
}

void TBotanEncAlgo::cipherEncrypt(const std::uint8_t* in, std::uint8_t* out) const {
    cipher_->encrypt_n(in, out, 1);
}

void TBotanEncAlgo::cipherDecrypt(const std::uint8_t* in, std::uint8_t* out) const {
    cipher_->decrypt_n(in, out, 1);
}

void TBotanEncAlgo::clearCipherKey() {
    cipher_->clear();
}

TEncAlgo_Blowfish::TEncAlgo_Blowfish() : TBotanEncAlgo("Blowfish") {}

TEncAlgo_Twofish::TEncAlgo_Twofish() : TBotanEncAlgo("Twofish") {}

TEncAlgo_Gost::TEncAlgo_Gost() : TBotanEncAlgo("GOST-28147-89") {}

} // namespace store
