#include "store/blob_stream.h"

#include "store/store_error.h"
#include "store/table.h"

#include <algorithm>
#include <cstring>

namespace store {

TStoreBlobStream::TStoreBlobStream(TStoreField& field, TBlobStreamMode mode)
    : table_(field.Table()), field_(field.Index()), mode_(mode) {
    if (!field.IsBlob())
        throw EStoreError(
            FormatMessage("Field '%s' is not a blob field", field.FieldName().c_str()));
    if (mode_ != TBlobStreamMode::Read) table_.WriteBuffer();
    if (mode_ == TBlobStreamMode::Write) {
        Store();
    } else {
        content_ = table_.BlobContent(field_);
    }
}

size_t TStoreBlobStream::Read(void* out, size_t count) {
    if (position_ >= Size()) return 0;
    size_t n = std::min(count, static_cast<size_t>(Size() - position_));
    std::memcpy(out, content_.data() + position_, n);
    position_ += static_cast<int64_t>(n);
    return n;
}

size_t TStoreBlobStream::Write(const void* data, size_t count) {
    if (mode_ == TBlobStreamMode::Read)
        throw EStoreError("Cannot write to a read-only blob stream");
    size_t end = static_cast<size_t>(position_) + count;
    if (end > content_.size()) content_.resize(end);
    std::memcpy(content_.data() + position_, data, count);
    position_ = static_cast<int64_t>(end);
    Store();
    return count;
}

int64_t TStoreBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::Beginning ? 0
                   : origin == TSeekOrigin::Current ? position_
                                                    : Size();
    position_ = std::max<int64_t>(0, base + offset);
    return position_;
}

void TStoreBlobStream::Truncate() {
    if (mode_ == TBlobStreamMode::Read)
        throw EStoreError("Cannot write to a read-only blob stream");
    if (position_ < Size()) content_.resize(static_cast<size_t>(position_));
    Store();
}

void TStoreBlobStream::Store() {
    table_.WriteBuffer().SetBlob(field_, content_);
}

} // namespace store
