// The record operations that change the file: append, modify, delete and empty, with blob
// areas and their verification.

#include "store/crypt/crc32.h"
#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/store_table_io.h"
#include "store/table_state.h"
#include "store/value_codec.h"

#include <algorithm>
#include <climits>

namespace store {

namespace {

constexpr int kVerifyAttempts = 3;

uint32_t Crc(const std::string& s) {
    return crc32Ieee(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

void PutDescriptor(uint8_t* d, int32_t offset, int32_t stored, int32_t area) {
    std::fill(d, d + kBlobDescriptorSize, 0);
    fmt::PutI32(d, offset);
    fmt::PutI32(d + 4, stored);
    fmt::PutI32(d + 8, area);
}

void CheckFileLimit(int64_t end, const std::string& name) {
    if (end > fmt::kMaxFileOffset)
        throw EStoreError(
            FormatMessage("Database file '%s' is full: it cannot exceed 2 GB", name.c_str()));
}

} // namespace

void TStoreTableIO::VerifyBlob(int field, int32_t offset, const std::string& stored,
                               const std::string& content) {
    if (!file_.Options().verifyCrc) return;
    const TFieldDef& def = layout_->fields[static_cast<size_t>(field)];
    TStoreStream& s = file_.Stream();
    const uint32_t want = Crc(content);
    for (int attempt = 1;; ++attempt) {
        std::string back(stored.size(), '\0');
        bool ok = false;
        try {
            s.ReadAt(offset, back.data(), back.size());
            ok = Crc(file_.Codec().DecodeBlob(back, def.mode)) == want;
        } catch (const EStoreError&) {
            ok = false;
        }
        if (ok) return;
        if (attempt >= kVerifyAttempts)
            throw EStoreError(FormatMessage("The value of field '%s' could not be stored: it "
                                            "read back wrong %d times",
                                            def.name.c_str(), kVerifyAttempts));
        std::string again = file_.Codec().EncodeBlob(content, def.mode);
        s.WriteAt(offset, again.data(), again.size());
    }
}

void TStoreTableIO::RequireWrite(const TRecordBuffer* buf) const {
    RequireOpen();
    file_.RequireWritable();
    if (buf && buf->LayoutPtr() != layout_) throw EStoreError("General error");
}

void TStoreTableIO::PrepareWrite() {
    Refresh();
    ApplyRepairs();
}

int32_t TStoreTableIO::AppendRecord(TRecordBuffer& buf, const TIndexNotify& notify) {
    RequireWrite(&buf);
    LockGuard lock(file_);
    PrepareWrite();
    State& st = *state_;
    const TRecordLayout& lay = *layout_;
    TValueCodec& codec = file_.Codec();

    // The counter is applied before the unique check so that an auto-increment key is checked
    // with the value it will really get.
    const int af = lay.autoIncField;
    int32_t counter = fmt::GetI32(st.header.data() + fmt::kThAutoInc);
    int32_t oldValue = 0;
    if (af >= 0) {
        oldValue = buf.GetInteger(af);
        if (oldValue == 0) {
            if (counter == INT32_MAX) throw EStoreError("General error");
            buf.SetInteger(af, ++counter);
        } else if (oldValue > counter) {
            counter = oldValue;
        }
    }
    for (int f = 0; f < buf.FieldCount(); ++f)
        if (IsBlobType(lay.fields[static_cast<size_t>(f)].type) && !buf.BlobLoaded(f))
            LoadBlob(buf, f);
    try {
        CheckUnique(buf, -1);
    } catch (...) {
        if (af >= 0) buf.SetInteger(af, oldValue);
        throw;
    }
    const int32_t n = recordTotal_;
    if (n == INT32_MAX) throw EStoreError("General error");

    try {
        TStoreStream& s = file_.Stream();
        const int64_t fileSize = s.Size();
        const bool newBlock = n % fmt::kSlotsPerBlock == 0;
        const size_t fixedAt = newBlock ? fmt::kDirBlockSize : 0;
        const int64_t dataOffset = fileSize + static_cast<int64_t>(fixedAt);
        // Block (when one starts here), fixed part and blob areas go out in one write, before
        // anything points at them.
        std::vector<uint8_t> image(fixedAt + static_cast<size_t>(lay.recordSize), 0);
        std::copy(buf.Fixed().begin(), buf.Fixed().end(),
                  image.begin() + static_cast<long>(fixedAt));
        struct Written {
            int field;
            int64_t offset;
            std::string stored;
        };
        std::vector<Written> blobs;
        for (int f = 0; f < buf.FieldCount(); ++f) {
            const TFieldDef& def = lay.fields[static_cast<size_t>(f)];
            const size_t at = fixedAt + static_cast<size_t>(lay.offsets[static_cast<size_t>(f)]);
            const auto size = static_cast<size_t>(lay.sizes[static_cast<size_t>(f)]);
            if (!IsBlobType(def.type)) {
                codec.EncodeField(image.data() + at, size, def.mode);
                continue;
            }
            std::string stored = codec.EncodeBlob(buf.GetBlob(f), def.mode);
            CheckFileLimit(fileSize + static_cast<int64_t>(image.size() + stored.size()),
                           file_.FileName());
            auto storedSize = static_cast<int32_t>(stored.size());
            int32_t area = fmt::BlobAreaSize(storedSize);
            int64_t blobAt = fileSize + static_cast<int64_t>(image.size());
            image.insert(image.end(), stored.begin(), stored.end());
            image.resize(image.size() + static_cast<size_t>(area - storedSize), 0);
            PutDescriptor(image.data() + at, static_cast<int32_t>(blobAt), storedSize, area);
            blobs.push_back({f, blobAt, std::move(stored)});
        }
        CheckFileLimit(fileSize + static_cast<int64_t>(image.size()) + fmt::kLinkBlockSize * 8,
                       file_.FileName());
        if (newBlock) {
            fmt::PutI32(image.data() + 4, static_cast<int32_t>(dataOffset));
            image[8] = 0;
        }
        s.WriteAt(fileSize, image.data(), image.size());
        for (const Written& w : blobs)
            VerifyBlob(w.field, static_cast<int32_t>(w.offset), w.stored, buf.GetBlob(w.field));

        if (newBlock) {
            if (n == 0) {
                fmt::PutI32(st.header.data() + fmt::kThDirOffset, static_cast<int32_t>(fileSize));
            } else {
                uint8_t link[4];
                fmt::PutI32(link, static_cast<int32_t>(fileSize));
                s.WriteAt(st.dirBlocks.back(), link, sizeof link);
            }
            st.dirBlocks.push_back(static_cast<int32_t>(fileSize));
        } else {
            uint8_t slot[fmt::kSlotSize] = {};
            fmt::PutI32(slot, static_cast<int32_t>(dataOffset));
            s.WriteAt(st.dirBlocks.back() + 4 + (n % fmt::kSlotsPerBlock) * fmt::kSlotSize, slot,
                      sizeof slot);
        }
        const TRecordRef ref{static_cast<int32_t>(dataOffset), n};
        st.slotOffset.push_back(ref.dataOffset);
        st.slotLive.push_back(1);
        for (int k = 0; k < static_cast<int>(indexes_.size()); ++k) {
            TRecordList& list = st.lists[static_cast<size_t>(k) + 1];
            TSearchResult r = Search(k, buf.Fixed().data(), -1, list, true);
            int d = InsertPosition(r);
            if (notify) notify(k, -1, d);
            LinkNewRecord(k, n, d);
            list.insert(list.begin() + d, ref);
            StoreKey(k, n, buf.Fixed().data());
        }
        st.lists[0].push_back(ref);
        if (af >= 0) fmt::PutI32(st.header.data() + fmt::kThAutoInc, counter);
        fmt::PutI32(st.header.data() + fmt::kThRecordTotal, n + 1);
        BumpChangeCount();
        WriteHeader();
        if (file_.FlushAlways()) s.Flush();
    } catch (...) {
        st.stale = true;
        throw;
    }
    return n;
}

void TStoreTableIO::ModifyRecord(int32_t slot, TRecordBuffer& buf, const TIndexNotify& notify) {
    RequireWrite(&buf);
    LockGuard lock(file_);
    PrepareWrite();
    State& st = *state_;
    const TRecordLayout& lay = *layout_;
    TValueCodec& codec = file_.Codec();
    const int pp = PhysicalPosition(slot);
    if (pp < 0) throw EStoreError("Record not found");
    const TRecordRef ref = st.lists[0][static_cast<size_t>(pp)];

    // The record as it will be: stored values with the active fields laid over them.
    std::vector<uint8_t> oldClear;
    ReadClear(ref, oldClear);
    TRecordBuffer next(layout_);
    next.Fixed() = oldClear;
    int32_t counter = fmt::GetI32(st.header.data() + fmt::kThAutoInc);
    for (int f = 0; f < buf.FieldCount(); ++f) {
        if (!buf.Active(f) || IsBlobType(lay.fields[static_cast<size_t>(f)].type)) continue;
        const auto size = static_cast<size_t>(lay.sizes[static_cast<size_t>(f)]);
        if (f == lay.autoIncField) {
            int32_t v = buf.GetInteger(f);
            if (v == 0) continue;
            if (v > counter) counter = v;
        }
        std::copy_n(buf.FieldBytes(f), size, next.FieldBytes(f));
    }
    CheckUnique(next, slot);

    try {
        TStoreStream& s = file_.Stream();
        int64_t fileSize = s.Size();
        for (int f = 0; f < buf.FieldCount(); ++f) {
            const TFieldDef& def = lay.fields[static_cast<size_t>(f)];
            if (!IsBlobType(def.type) || !buf.Active(f) || !buf.BlobLoaded(f)) continue;
            const std::string& content = buf.GetBlob(f);
            std::string stored = codec.EncodeBlob(content, def.mode);
            auto storedSize = static_cast<int32_t>(stored.size());
            // The new value always gets a fresh area at the end: the record keeps pointing at
            // the old, untouched value until its fixed part is rewritten, so a write that fails
            // or a process that dies half-way leaves the old value whole, never a mix.
            const auto offset = static_cast<int32_t>(fileSize);
            const int32_t area = fmt::BlobAreaSize(storedSize);
            CheckFileLimit(int64_t(offset) + area, file_.FileName());
            std::string out = stored;
            out.resize(static_cast<size_t>(area), '\0');
            s.WriteAt(offset, out.data(), out.size());
            fileSize = std::max(fileSize, int64_t(offset) + area);
            VerifyBlob(f, offset, stored, content);
            PutDescriptor(next.FieldBytes(f), offset, storedSize, area);
        }
        // The record's new place in every index where its new key moves it, found before the
        // file changes. On disk the record leaves those chains before its new key is written and
        // rejoins them after: a process killed in between leaves a chain that cannot be
        // followed, which the next load rebuilds from the keys as stored, never a chain whose
        // order disagrees with them.
        struct Move {
            int index;
            int32_t oldPrev, oldNext, newPrev;
        };
        std::vector<Move> moves;
        for (int k = 0; k < static_cast<int>(indexes_.size()); ++k) {
            if (CompareClearKeys(k, oldClear.data(), next.Fixed().data(), -1) == 0) {
                // Its place stands: only the cached key bytes may differ (letter case).
                StoreKey(k, slot, next.Fixed().data());
                continue;
            }
            TRecordList& list = st.lists[static_cast<size_t>(k) + 1];
            int e = PositionInIndex(k, slot, oldClear.data());
            if (e < 0) continue;
            int32_t oldPrev = e > 0 ? list[static_cast<size_t>(e) - 1].slot : -1;
            list.erase(list.begin() + e);
            StoreKey(k, slot, next.Fixed().data());
            TSearchResult r = Search(k, next.Fixed().data(), -1, list, false);
            int j = InsertPosition(r);
            list.insert(list.begin() + j, ref);
            // Between the same neighbours the chain on disk is right for the old key and for
            // the new one alike.
            if (j == e) continue;
            if (notify) notify(k, e, j);
            moves.push_back({k, oldPrev,
                             st.chains[static_cast<size_t>(k)].next[static_cast<size_t>(slot)],
                             j > 0 ? list[static_cast<size_t>(j) - 1].slot : -1});
        }
        // Linked to itself, the record closes its chain into a loop until it is moved.
        for (const Move& m : moves)
            WriteLinkItem(m.index, slot, slot);

        std::vector<uint8_t> out = next.Fixed();
        for (size_t f = 0; f < lay.fields.size(); ++f)
            if (!IsBlobType(lay.fields[f].type))
                codec.EncodeField(out.data() + lay.offsets[f], static_cast<size_t>(lay.sizes[f]),
                                  lay.fields[f].mode);
        if (!out.empty()) s.WriteAt(ref.dataOffset, out.data(), out.size());
        if (lay.autoIncField >= 0)
            std::copy_n(next.FieldBytes(lay.autoIncField), 4, buf.FieldBytes(lay.autoIncField));

        for (const Move& m : moves)
            MoveInChain(m.index, slot, m.oldPrev, m.oldNext, m.newPrev);
        fmt::PutI32(st.header.data() + fmt::kThAutoInc, counter);
        BumpChangeCount();
        WriteHeader();
        if (file_.FlushAlways()) s.Flush();
    } catch (...) {
        st.stale = true;
        throw;
    }
}

void TStoreTableIO::DeleteRecord(int32_t slot) {
    RequireWrite(nullptr);
    LockGuard lock(file_);
    PrepareWrite();
    State& st = *state_;
    const int pp = PhysicalPosition(slot);
    if (pp < 0) throw EStoreError("Record not found");
    try {
        const TRecordRef ref = st.lists[0][static_cast<size_t>(pp)];
        std::vector<uint8_t> clear;
        if (!indexes_.empty()) ReadClear(ref, clear);
        const uint8_t deleted = 1;
        file_.Stream().WriteAt(st.dirBlocks[static_cast<size_t>(slot / fmt::kSlotsPerBlock)] + 4 +
                                   (slot % fmt::kSlotsPerBlock) * fmt::kSlotSize + 4,
                               &deleted, 1);
        st.slotLive[static_cast<size_t>(slot)] = 0;
        for (int k = 0; k < static_cast<int>(indexes_.size()); ++k) {
            TRecordList& list = st.lists[static_cast<size_t>(k) + 1];
            int e = PositionInIndex(k, slot, clear.data());
            if (e >= 0) list.erase(list.begin() + e);
        }
        st.lists[0].erase(st.lists[0].begin() + pp);
        BumpChangeCount();
        WriteHeader();
        if (file_.FlushAlways()) file_.Stream().Flush();
    } catch (...) {
        st.stale = true;
        throw;
    }
}

void TStoreTableIO::EmptyTable() {
    RequireWrite(nullptr);
    LockGuard lock(file_);
    Refresh();
    State& st = *state_;
    try {
        uint8_t* h = st.header.data();
        fmt::PutI32(h + fmt::kThDirOffset, 0);
        fmt::PutI32(h + fmt::kThRecordTotal, 0);
        fmt::PutI32(h + fmt::kThAutoInc, 0);
        for (int k = 0; k < kMaxIndexes; ++k) {
            st.SetIndexLinkOffset(k, 0);
            st.SetIndexStart(k, 0);
        }
        BumpChangeCount();
        file_.Stream().WriteAt(headerOffset_, st.header.data(), st.header.size());
        st.disk = st.header;
        file_.Stream().Flush();
    } catch (...) {
        st.stale = true;
        throw;
    }
    recordTotal_ = 0;
    autoInc_ = 0;
    st.dirBlocks.clear();
    st.slotOffset.clear();
    st.slotLive.clear();
    for (TRecordList& l : st.lists)
        l.clear();
    for (State::Chain& c : st.chains)
        c = State::Chain();
}

} // namespace store
