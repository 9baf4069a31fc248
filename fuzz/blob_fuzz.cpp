// The blob decompressor over arbitrary stored bytes, with a lowered total so that a run stays
// fast; the limit itself is what is checked.

#include "fuzz/fuzz_target.h"
#include "store/crypt/comp_algo.h"
#include "store/store_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    store::TCompAlgo_Zip zip;
    zip.MaxContentSize = 1 << 20;
    try {
        if (zip.decompress(data, size).size() > zip.MaxContentSize) __builtin_trap();
    } catch (const store::EStoreError&) {
    }
    return 0;
}
