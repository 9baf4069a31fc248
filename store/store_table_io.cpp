#include "store/store_table_io.h"

#include "store/store_error.h"
#include "store/store_file_io.h"
#include "store/table_state.h"
#include "store/value_codec.h"

#include <algorithm>
#include <strings.h>

namespace store {

TStoreTableIO::TStoreTableIO(TStoreFileIO& file, int position, std::string name,
                             int32_t headerOffset)
    : file_(file), position_(position), name_(std::move(name)), headerOffset_(headerOffset) {}

TStoreTableIO::~TStoreTableIO() = default;

void TStoreTableIO::Open() {
    if (useCount_ == 0) {
        LockGuard lock(file_);
        LoadState();
    }
    ++useCount_;
}

void TStoreTableIO::Release() {
    if (useCount_ <= 0) return;
    if (--useCount_ == 0) {
        state_.reset();
        layout_.reset();
        indexes_.clear();
        recordTotal_ = 0;
        autoInc_ = 0;
    }
}

void TStoreTableIO::RequireOpen() const {
    if (!state_) throw EStoreError("General error");
}

int TStoreTableIO::FindIndex(const std::string& name) const {
    for (size_t i = 0; i < indexes_.size(); ++i)
        if (strcasecmp(indexes_[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

const TRecordList& TStoreTableIO::List(int list) const {
    RequireOpen();
    if (list < 0 || list >= ListCount()) throw EStoreError("General error");
    return state_->lists[static_cast<size_t>(list)];
}

int TStoreTableIO::PhysicalPosition(int32_t slot) const {
    RequireOpen();
    const TRecordList& l = state_->lists[0];
    auto it = std::lower_bound(l.begin(), l.end(), slot,
                               [](const TRecordRef& r, int32_t s) { return r.slot < s; });
    if (it == l.end() || it->slot != slot) return -1;
    return static_cast<int>(it - l.begin());
}

TRecordBuffer TStoreTableIO::NewRecord() const {
    RequireOpen();
    return TRecordBuffer(layout_);
}

void TStoreTableIO::ReadRecord(int list, int position, TRecordBuffer& buf) {
    const TRecordList& l = List(list);
    if (position < 0 || position >= static_cast<int>(l.size())) throw EStoreError("No records");
    ReadRecord(l[static_cast<size_t>(position)], buf);
}

void TStoreTableIO::ReadRecord(const TRecordRef& ref, TRecordBuffer& buf) {
    RequireOpen();
    if (buf.LayoutPtr() != layout_) buf = TRecordBuffer(layout_);
    thread_local std::vector<uint8_t> raw;
    {
        LockGuard lock(file_);
        ReadStored(ref, raw);
    }
    FillRecord(raw.data(), buf);
}

void TStoreTableIO::FillRecord(const uint8_t* raw, TRecordBuffer& buf) {
    const TRecordLayout& lay = *layout_;
    const int count = buf.FieldCount();
    bool allActive = true;
    for (int f = 0; f < count && allActive; ++f)
        allActive = buf.Active(f);
    TValueCodec& codec = file_.Codec();
    if (allActive && !codec.Encrypts()) {
        std::copy_n(raw, static_cast<size_t>(lay.recordSize), buf.Fixed().data());
        for (int f = 0; f < count; ++f)
            if (IsBlobType(lay.fields[static_cast<size_t>(f)].type)) buf.MarkBlobUnloaded(f);
        return;
    }
    for (int f = 0; f < count; ++f) {
        if (!buf.Active(f)) continue;
        size_t at = static_cast<size_t>(lay.offsets[static_cast<size_t>(f)]);
        size_t size = static_cast<size_t>(lay.sizes[static_cast<size_t>(f)]);
        const TFieldDef& def = lay.fields[static_cast<size_t>(f)];
        std::copy_n(raw + at, size, buf.FieldBytes(f));
        if (IsBlobType(def.type))
            buf.MarkBlobUnloaded(f);
        else
            codec.DecodeField(buf.FieldBytes(f), size, def.mode);
    }
}

bool TStoreTableIO::PeekChangeCount(uint32_t& count) {
    uint8_t bytes[4];
    if (!file_.Stream().PeekAt(headerOffset_ + fmt::kThChangeCount, bytes, sizeof bytes))
        return false;
    count = static_cast<uint32_t>(fmt::GetI32(bytes));
    return true;
}

void TStoreTableIO::ReadRecordAhead(const TRecordRef* refs, int count, int step, TRecordBuffer& buf,
                                    TReadAhead& ahead) {
    RequireOpen();
    // Under a lock we already hold, or on a medium without a mapping, the plain read costs no
    // more than a look at the counter would.
    uint32_t published = 0;
    if (file_.Locked() || !PeekChangeCount(published)) {
        ahead.refs.clear();
        ReadRecord(refs[0], buf);
        return;
    }
    if (buf.LayoutPtr() != layout_) buf = TRecordBuffer(layout_);
    const auto recordSize = static_cast<size_t>(layout_->recordSize);
    const TRecordRef& want = refs[0];
    auto holds = [&](size_t i) {
        return i < ahead.refs.size() && ahead.refs[i].slot == want.slot &&
               ahead.refs[i].dataOffset == want.dataOffset;
    };
    // Every change of the table, by any process, publishes a new counter value in the header
    // write that completes it; the same value means the bytes read earlier are still the
    // record's bytes.
    if (ahead.layout == layout_ && published == ahead.changeCount && holds(ahead.next)) {
        handOut(ahead, ahead.next, buf);
        return;
    }
    // A cursor that used up what was read moves on through its list: read more at once next
    // time. Any other miss is a jump, where reading far ahead would be wasted.
    constexpr int kMostAhead = 256;
    constexpr size_t kMostBytes = 256 * 1024;
    if (!ahead.refs.empty() && ahead.next == ahead.refs.size())
        ahead.run = std::min(ahead.run * 2, kMostAhead);
    else if (!ahead.refs.empty())
        ahead.run = 2;
    int n = std::min(count, ahead.run);
    if (recordSize > 0)
        n = std::min<int>(n, static_cast<int>(std::max<size_t>(1, kMostBytes / recordSize)));
    n = std::max(n, 1);
    ahead.refs.assign(static_cast<size_t>(n), TRecordRef{});
    if (ahead.records.size() < static_cast<size_t>(n)) ahead.records.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        ahead.records[static_cast<size_t>(i)].resize(recordSize);
    if (ahead.layout != layout_) {
        ahead.blobFields.clear();
        for (size_t f = 0; f < layout_->fields.size(); ++f)
            if (IsBlobType(layout_->fields[f].type)) ahead.blobFields.push_back(static_cast<int>(f));
    }
    const size_t perRecord = ahead.blobFields.size();
    ahead.blobs.resize(static_cast<size_t>(n) * perRecord);
    ahead.blobHeld.assign(static_cast<size_t>(n) * perRecord, 0);
    ahead.layout = layout_;
    ahead.next = 0;
    try {
        LockGuard lock(file_);
        uint8_t counter[4];
        file_.Stream().ReadAt(headerOffset_ + fmt::kThChangeCount, counter, sizeof counter);
        ahead.changeCount = static_cast<uint32_t>(fmt::GetI32(counter));
        const int64_t fileSize = perRecord > 0 ? file_.Stream().Size() : 0;
        size_t blobBudget = kMostBytes;
        for (int i = 0; i < n; ++i) {
            const TRecordRef& ref = refs[static_cast<ptrdiff_t>(i) * step];
            try {
                ReadStoredInto(ref, ahead.records[static_cast<size_t>(i)].data());
            } catch (const EStoreError&) {
                // A damaged record is reported when it is asked for, not while reading ahead.
                if (i == 0) throw;
                ahead.refs.resize(static_cast<size_t>(i));
                break;
            }
            ahead.refs[static_cast<size_t>(i)] = ref;
            // Under the same lock the record's small blobs cost a copy from the mapping; read
            // later, each would cost a lock of its own.
            readBlobsAhead(ahead, static_cast<size_t>(i), fileSize, blobBudget);
        }
    } catch (...) {
        ahead.refs.clear();
        throw;
    }
    handOut(ahead, 0, buf);
}

void TStoreTableIO::handOut(TReadAhead& ahead, size_t i, TRecordBuffer& buf) {
    std::vector<uint8_t>& record = ahead.records[i];
    bool allActive = true;
    for (int f = 0; f < buf.FieldCount() && allActive; ++f)
        allActive = buf.Active(f);
    if (allActive && !file_.Codec().Encrypts()) {
        // The record goes to the cursor without a copy; the cursor's old bytes fill the entry
        // for the next read ahead.
        buf.Fixed().swap(record);
        for (int f = 0; f < buf.FieldCount(); ++f)
            if (IsBlobType(layout_->fields[static_cast<size_t>(f)].type)) buf.MarkBlobUnloaded(f);
        ahead.refs[i] = TRecordRef{-1, -1};
    } else {
        FillRecord(record.data(), buf);
    }
    const size_t perRecord = ahead.blobFields.size();
    for (size_t k = 0; k < perRecord; ++k) {
        const size_t at = i * perRecord + k;
        if (!ahead.blobHeld[at]) continue;
        ahead.blobHeld[at] = 0;
        const int f = ahead.blobFields[k];
        if (buf.Active(f)) buf.HoldStoredBlob(f, std::move(ahead.blobs[at]));
    }
    ahead.next = i + 1;
}

void TStoreTableIO::readBlobsAhead(TReadAhead& ahead, size_t i, int64_t fileSize,
                                   size_t& budget) {
    constexpr int32_t kLargestAhead = 16 * 1024;
    const size_t perRecord = ahead.blobFields.size();
    const uint8_t* record = ahead.records[i].data();
    for (size_t k = 0; k < perRecord; ++k) {
        const uint8_t* d = record + layout_->offsets[static_cast<size_t>(ahead.blobFields[k])];
        const int32_t offset = fmt::GetI32(d);
        const int32_t stored = fmt::GetI32(d + 4);
        // Anything odd (damage, a large blob, the budget spent) is left to LoadBlob, which
        // reports damage when the field is asked for.
        if (stored < 0 || stored > kLargestAhead || static_cast<size_t>(stored) > budget) continue;
        std::string& bytes = ahead.blobs[i * perRecord + k];
        if (stored > 0) {
            if (offset < fmt::kFirstFreeOffset || int64_t(offset) + stored > fileSize) continue;
            bytes.resize(static_cast<size_t>(stored));
            file_.Stream().ReadAt(offset, bytes.data(), bytes.size());
            budget -= static_cast<size_t>(stored);
        } else {
            bytes.clear();
        }
        ahead.blobHeld[i * perRecord + k] = 1;
    }
}

void TStoreTableIO::LoadBlob(TRecordBuffer& buf, int field) {
    RequireOpen();
    if (!IsBlobType(buf.FieldType(field))) throw EStoreError("General error");
    const uint8_t* d = buf.FieldBytes(field);
    int32_t offset = fmt::GetI32(d);
    int32_t stored = fmt::GetI32(d + 4);
    const TFieldDef& def = layout_->fields[static_cast<size_t>(field)];
    if (buf.HoldsStoredBlob(field)) {
        buf.SetBlob(field, file_.Codec().DecodeBlob(buf.TakeStoredBlob(field), def.mode));
        return;
    }
    std::string bytes;
    if (stored != 0) {
        LockGuard lock(file_);
        int64_t size = file_.Stream().Size();
        if (stored < 0 || offset < fmt::kFirstFreeOffset || int64_t(offset) + stored > size)
            throw EStoreError(FormatMessage("Blob of field '%s' in table '%s' lies outside the "
                                            "file: the file is damaged",
                                            def.name.c_str(), name_.c_str()));
        bytes.resize(static_cast<size_t>(stored));
        file_.Stream().ReadAt(offset, bytes.data(), bytes.size());
    }
    buf.SetBlob(field, file_.Codec().DecodeBlob(bytes, def.mode));
}

} // namespace store
