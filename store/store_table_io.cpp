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
    const TRecordLayout& lay = *layout_;
    const int count = buf.FieldCount();
    bool allActive = true;
    for (int f = 0; f < count && allActive; ++f)
        allActive = buf.Active(f);
    TValueCodec& codec = file_.Codec();
    // Scans read many records: with every field wanted and nothing to decrypt, the bytes go
    // straight into the buffer.
    if (allActive && !codec.Encrypts()) {
        {
            LockGuard lock(file_);
            ReadStored(ref, buf.Fixed());
        }
        for (int f = 0; f < count; ++f)
            if (IsBlobType(lay.fields[static_cast<size_t>(f)].type)) buf.MarkBlobUnloaded(f);
        return;
    }
    thread_local std::vector<uint8_t> raw;
    {
        LockGuard lock(file_);
        ReadStored(ref, raw);
    }
    for (int f = 0; f < count; ++f) {
        if (!buf.Active(f)) continue;
        size_t at = static_cast<size_t>(lay.offsets[static_cast<size_t>(f)]);
        size_t size = static_cast<size_t>(lay.sizes[static_cast<size_t>(f)]);
        const TFieldDef& def = lay.fields[static_cast<size_t>(f)];
        std::copy_n(raw.data() + at, size, buf.FieldBytes(f));
        if (IsBlobType(def.type))
            buf.MarkBlobUnloaded(f);
        else
            codec.DecodeField(buf.FieldBytes(f), size, def.mode);
    }
}

void TStoreTableIO::LoadBlob(TRecordBuffer& buf, int field) {
    RequireOpen();
    if (!IsBlobType(buf.FieldType(field))) throw EStoreError("General error");
    const uint8_t* d = buf.FieldBytes(field);
    int32_t offset = fmt::GetI32(d);
    int32_t stored = fmt::GetI32(d + 4);
    const TFieldDef& def = layout_->fields[static_cast<size_t>(field)];
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
