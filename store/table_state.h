#pragma once
// The loaded state of one table: header image, record directory, record lists and index
// chains. Internal to the storage layer.

#include "store/store_file_io.h"
#include "store/store_format.h"
#include "store/store_table_io.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace store {

struct TStoreTableIO::State {
    // The table header as this process last wrote or read it (disk) and as it is being changed
    // by the running operation (header).
    std::vector<uint8_t> disk;
    std::vector<uint8_t> header;

    std::vector<int32_t> dirBlocks;  // file offsets of the record directory blocks
    std::vector<int32_t> slotOffset; // data offset per slot
    std::vector<uint8_t> slotLive;   // 1 when the slot holds a readable, undeleted record
    std::vector<TRecordList> lists;  // 0 physical, k key order of index k - 1

    struct Chain {
        std::vector<int32_t> blocks; // link block offsets, one per directory block
        std::vector<int32_t> next;   // next slot in key order, per slot
        // Fixes found while loading, written at the next change: (slot or -1 for the start
        // slot, new next slot). They unlink slots of appends that never completed.
        std::vector<std::pair<int32_t, int32_t>> repairs;
        // The chain on disk could not be followed; it is written anew from the rebuilt order.
        bool rewriteAll = false;
    };
    std::vector<Chain> chains;

    // Clear key bytes per slot and index, filled as searches read them and as records are
    // written. Valid while the table is unchanged by others: a change found under the lock
    // reloads the whole state, caches included.
    struct KeyCache {
        int keyLength = 0;
        std::vector<int> fieldOffset; // per key field, within one slot's key bytes
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> have;
    };
    std::vector<KeyCache> keys;

    // Set when an operation failed half-way: the next one reloads everything from the file.
    bool stale = false;

    int32_t IndexStart(int index) const {
        return fmt::GetI32(header.data() + fmt::kThIndexes + index * fmt::kIndexEntrySize +
                           fmt::kIeStartSlot);
    }
    void SetIndexStart(int index, int32_t slot) {
        fmt::PutI32(header.data() + fmt::kThIndexes + index * fmt::kIndexEntrySize +
                        fmt::kIeStartSlot,
                    slot);
    }
    int32_t IndexLinkOffset(int index) const {
        return fmt::GetI32(header.data() + fmt::kThIndexes + index * fmt::kIndexEntrySize +
                           fmt::kIeLinkOffset);
    }
    void SetIndexLinkOffset(int index, int32_t offset) {
        fmt::PutI32(header.data() + fmt::kThIndexes + index * fmt::kIndexEntrySize +
                        fmt::kIeLinkOffset,
                    offset);
    }
};

// Where a new key goes after a search: behind an equal or lower record, before a higher one.
inline int InsertPosition(const TSearchResult& r) {
    switch (r.outcome) {
    case TSearchOutcome::Empty:
        return 0;
    case TSearchOutcome::KeyLower:
        return r.position;
    default:
        return r.position + 1;
    }
}

// Holds the file lock for one operation and releases it on every way out.
class LockGuard {
public:
    explicit LockGuard(TStoreFileIO& file) : file_(file) { file_.Lock(); }
    ~LockGuard() { file_.Unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    TStoreFileIO& file_;
};

} // namespace store
