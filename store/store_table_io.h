#pragma once
// One table of an open store file: its fields and indexes, record directory, record lists,
// and the record operations (read, append, modify, delete, empty) under the file lock, with
// the index upkeep on disk and in memory.

#include "store/record_buffer.h"
#include "store/table_def.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace store {

class TStoreFileIO;

// One entry of a record list: where the record's fixed part lies and its slot number.
struct TRecordRef {
    int32_t dataOffset = 0;
    int32_t slot = 0;
};
using TRecordList = std::vector<TRecordRef>;

// An index as loaded: name, option bits (TIndexOption) and key field numbers in key order.
struct TIndexInfo {
    std::string name;
    uint8_t options = 0;
    std::vector<int> fields;
};

// Outcome of a binary search: the last position probed and how the key compared with it.
enum class TSearchOutcome { Equal, KeyLower, KeyHigher, Empty };
struct TSearchResult {
    int position = 0;
    TSearchOutcome outcome = TSearchOutcome::Empty;
};

// Told of index position changes so that a cursor ordered by that index can follow: on append
// oldPosition is -1 and newPosition the insert position; on modify both positions (equal
// positions are not reported). index counts from 0.
using TIndexNotify = std::function<void(int index, int oldPosition, int newPosition)>;

// Records of a cursor's list read under one lock, kept for the cursor's next moves. Owned by the
// cursor, filled and used only by TStoreTableIO::ReadRecordAhead.
struct TReadAhead {
    std::vector<TRecordRef> refs;
    // The stored fixed parts, one per entry of refs. A record handed out whole is swapped into
    // the cursor's buffer, and its entry no longer counts.
    std::vector<std::vector<uint8_t>> records;
    // The small blobs of those records, read under the same lock: blobFields.size() per entry,
    // in field order; `blobHeld` says which were read (large ones load when asked for).
    std::vector<int> blobFields;
    std::vector<std::string> blobs;
    std::vector<uint8_t> blobHeld;
    std::shared_ptr<const TRecordLayout> layout;
    uint32_t changeCount = 0; // the table's published change counter when they were read
    size_t next = 0;          // the entry a cursor moving on would ask for
    int run = 2;              // records to read at the next fill; grows while moves follow
};

class TStoreTableIO {
public:
    TStoreTableIO(TStoreFileIO& file, int position, std::string name, int32_t headerOffset);
    ~TStoreTableIO();
    TStoreTableIO(const TStoreTableIO&) = delete;
    TStoreTableIO& operator=(const TStoreTableIO&) = delete;

    const std::string& Name() const { return name_; }
    int Position() const { return position_; }
    TStoreFileIO& File() { return file_; }

    // First user loads the table under the file lock (header, fields, indexes, record
    // directory, index chains); later users share it. Raises EStoreError("General error") for
    // an unsupported field type and a corruption message for a damaged table.
    void Open();
    // Drops one user; the last one drops every definition and list.
    void Release();
    int UseCount() const { return useCount_; }

    // The following require the table to be open.
    const TRecordLayout& Layout() const { return *layout_; }
    const std::shared_ptr<const TRecordLayout>& LayoutPtr() const { return layout_; }
    const std::vector<TIndexInfo>& Indexes() const { return indexes_; }
    // Returns the index number of that name (letter case ignored), or -1.
    int FindIndex(const std::string& name) const;
    int32_t RecordTotal() const { return recordTotal_; }
    int32_t AutoIncCounter() const { return autoInc_; }

    // List 0 is the physical order (live slots in slot order); list k (1 to index count) is
    // the key order of index k - 1.
    int ListCount() const { return 1 + static_cast<int>(indexes_.size()); }
    const TRecordList& List(int list) const;
    // Returns the position of a slot in the physical list, or -1 when it is not there.
    int PhysicalPosition(int32_t slot) const;

    // Returns an empty record buffer of this table's layout.
    TRecordBuffer NewRecord() const;

    // Reads the record at a list position (or by reference) into buf: every active non-blob
    // field in clear; blob fields are left unloaded (LoadBlob). Raises EStoreError for a
    // position outside the list or a record outside the file.
    void ReadRecord(int list, int position, TRecordBuffer& buf);
    void ReadRecord(const TRecordRef& ref, TRecordBuffer& buf);
    // ReadRecord of refs[0] for a cursor moving through its list: refs[0], refs[step], ... are
    // the next count entries in the direction of the move (count >= 1, step 1 or -1). A record
    // already in ahead is handed out without the lock as long as the table's change counter
    // shows no change published since ahead was filled (a writer busy now is ordered after
    // this read); otherwise the next records are read under one lock into ahead. Raises as
    // ReadRecord.
    void ReadRecordAhead(const TRecordRef* refs, int count, int step, TRecordBuffer& buf,
                         TReadAhead& ahead);
    // Loads a blob field's content into buf (decrypted and decompressed as the file says).
    // Raises EStoreError for a descriptor that points outside the file or bad stored bytes.
    void LoadBlob(TRecordBuffer& buf, int field);

    // Appends buf as a new record and returns its slot number. An auto-increment field left 0
    // receives the next counter value (written back into buf). Raises
    // EStoreError("Invalid unique field value '%s'") on a key clash, writing nothing.
    int32_t AppendRecord(TRecordBuffer& buf, const TIndexNotify& notify = {});
    // Rewrites the record of this slot with buf's active fields and moves it in every index.
    // Blob fields that were never loaded into buf keep their stored content. Raises on a key
    // clash (nothing written) or when the slot is not a live record.
    void ModifyRecord(int32_t slot, TRecordBuffer& buf, const TIndexNotify& notify = {});
    // Marks the record of this slot deleted and takes it out of every list.
    void DeleteRecord(int32_t slot);
    // Abandons every record: record total, counter, directory and index chains reset.
    void EmptyTable();

    // Binary search of key (a record buffer of this table holding the key fields) in index's
    // list, comparing the first keyFields key fields (-1: all).
    TSearchResult SearchKey(int index, const TRecordBuffer& key, int keyFields = -1);
    // Returns the list position of a record whose key equals key exactly, or -1.
    int FindKey(int index, const TRecordBuffer& key, int keyFields = -1);
    // Returns the first position whose key is not lower than key (list size when none).
    int LowerBound(int index, const TRecordBuffer& key, int keyFields = -1);
    // Returns the last position whose key is not higher than key (-1 when none).
    int UpperBound(int index, const TRecordBuffer& key, int keyFields = -1);

    // Counts reloads of the lists from the file (another process changed the table between
    // two operations of ours); list positions from before a change of this number are void.
    int64_t ListGeneration() const { return generation_; }

    // Storage-layer internals.
    struct State;

private:
    // Loading and keeping in step with the file (table_load.cpp).
    void LoadState();
    void BuildChain(int index, int32_t linkOffset, int64_t fileSize);
    void RebuildOrder(int index);
    void Refresh();
    void ApplyRepairs();
    void WriteHeader();
    void BumpChangeCount();
    void RequireOpen() const;

    // Key comparison and index upkeep (index_search.cpp).
    void ReadStored(const TRecordRef& ref, std::vector<uint8_t>& raw);
    void ReadStoredInto(const TRecordRef& ref, uint8_t* raw);
    // Fills buf's active fields from a stored fixed part (decrypting as the file says).
    void FillRecord(const uint8_t* raw, TRecordBuffer& buf);
    bool PeekChangeCount(uint32_t& count);
    void handOut(TReadAhead& ahead, size_t i, TRecordBuffer& buf);
    // Reads the small blobs of ahead entry i while the lock is held (see TReadAhead::blobs).
    void readBlobsAhead(TReadAhead& ahead, size_t i, int64_t fileSize, size_t& budget);
    void ReadClear(const TRecordRef& ref, std::vector<uint8_t>& clear);
    int CompareClearKeys(int index, const uint8_t* a, const uint8_t* b, int keyFields,
                         const std::vector<int>* bKeyOffsets = nullptr) const;
    const uint8_t* CachedKey(int index, const TRecordRef& ref);
    void StoreKey(int index, int32_t slot, const uint8_t* clearFixed);
    int CompareKey(int index, const uint8_t* keyFixed, const TRecordRef& stored, int keyFields);
    TSearchResult Search(int index, const uint8_t* keyFixed, int keyFields, const TRecordList& list,
                         bool tryLastFirst);
    // Raises EStoreError unless the table is open, index names one of its indexes and key is a
    // record buffer of this table.
    void RequireKey(int index, const TRecordBuffer& key) const;
    // Returns the first position in index's list whose key is higher than key (skipEqual) or not
    // lower than it (!skipEqual); the list size when there is none.
    int FirstPositionAbove(int index, const TRecordBuffer& key, int keyFields, bool skipEqual);
    void CheckUnique(const TRecordBuffer& buf, int32_t exceptSlot);
    int PositionInIndex(int index, int32_t slot, const uint8_t* clearKey);
    void WriteLinkItem(int index, int32_t slot, int32_t next);
    void LinkNewRecord(int index, int32_t slot, int position);
    // Takes `slot` out of its chain, where it stood between oldPrev (-1 when it was first) and
    // oldNext (-1 when it was last), and links it in behind newPrev (-1: first).
    void MoveInChain(int index, int32_t slot, int32_t oldPrev, int32_t oldNext, int32_t newPrev);

    // Writing records (record_write.cpp).
    // Raises unless the table is open, the file writable and buf (when given) a record buffer of
    // this table.
    void RequireWrite(const TRecordBuffer* buf) const;
    // Requires the lock held; brings the lists up to date and mends what a broken write left.
    void PrepareWrite();
    // Blob areas (record_write.cpp).
    void VerifyBlob(int field, int32_t offset, const std::string& stored,
                    const std::string& content);

    int64_t generation_ = 0;
    TStoreFileIO& file_;
    int position_;
    std::string name_;
    int32_t headerOffset_;
    int useCount_ = 0;
    std::shared_ptr<const TRecordLayout> layout_;
    std::vector<TIndexInfo> indexes_;
    int32_t recordTotal_ = 0;
    int32_t autoInc_ = 0;
    std::unique_ptr<State> state_;
};

} // namespace store
