#pragma once
// Everything the record operations need for compressed and encrypted store files: the
// algorithm registry, the per-file managers, SHA-0, the digest text form with the password
// check, and CRC-32.
//
// Order for a processed blob: writing compresses then encrypts the stored bytes; reading
// decrypts then decompresses. A non-blob field is only encrypted or decrypted. Errors are
// store::EStoreError with the messages the user sees.

#include "store/crypt/algo_registry.h"
#include "store/crypt/block_ciphers.h"
#include "store/crypt/comp_algo.h"
#include "store/crypt/compress_mgr.h"
#include "store/crypt/crc32.h"
#include "store/crypt/crypt_types.h"
#include "store/crypt/digest_text.h"
#include "store/crypt/enc_algo.h"
#include "store/crypt/encrypt_mgr.h"
#include "store/crypt/sha0.h"
