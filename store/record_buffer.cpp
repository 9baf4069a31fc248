#include "store/record_buffer.h"

#include "store/store_error.h"
#include "store/store_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>

namespace store {

std::shared_ptr<const TRecordLayout> TRecordLayout::Make(const std::vector<TFieldDef>& fields) {
    auto layout = std::make_shared<TRecordLayout>();
    layout->fields = fields;
    int offset = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        int size = FieldDataSize(fields[i].type, fields[i].size);
        if (size <= 0) throw EStoreError("General error");
        layout->offsets.push_back(offset);
        layout->sizes.push_back(size);
        offset += size;
        if (fields[i].type == ftAutoInc && layout->autoIncField < 0)
            layout->autoIncField = static_cast<int>(i);
    }
    layout->recordSize = offset;
    return layout;
}

int TRecordLayout::FindField(const std::string& name) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (strcasecmp(fields[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

TRecordBuffer::TRecordBuffer(std::shared_ptr<const TRecordLayout> layout)
    : layout_(std::move(layout)) {
    size_t n = layout_->fields.size();
    fixed_.assign(static_cast<size_t>(layout_->recordSize), 0);
    blobs_.assign(n, std::string());
    blobLoaded_.assign(n, 1);
    active_.assign(n, 1);
}

void TRecordBuffer::Clear() {
    std::fill(fixed_.begin(), fixed_.end(), 0);
    for (auto& b : blobs_)
        b.clear();
    std::fill(blobLoaded_.begin(), blobLoaded_.end(), 1);
}

void TRecordBuffer::BadField() {
    throw EStoreError("General error");
}

uint8_t* TRecordBuffer::FieldBytes(int field) {
    Check(field);
    return fixed_.data() + layout_->offsets[static_cast<size_t>(field)];
}

const uint8_t* TRecordBuffer::FieldBytes(int field) const {
    Check(field);
    return fixed_.data() + layout_->offsets[static_cast<size_t>(field)];
}

std::string TRecordBuffer::GetText(int field) const {
    return std::string(TextView(field));
}

std::string_view TRecordBuffer::TextView(int field) const {
    if (!IsTextType(FieldType(field))) throw EStoreError("General error");
    const uint8_t* p = FieldBytes(field);
    size_t size = static_cast<size_t>(layout_->sizes[static_cast<size_t>(field)]);
    const void* zero = std::memchr(p, 0, size);
    size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : size - 1;
    return {reinterpret_cast<const char*>(p), n};
}

void TRecordBuffer::SetText(int field, const std::string& value) {
    if (!IsTextType(FieldType(field))) throw EStoreError("General error");
    uint8_t* p = FieldBytes(field);
    size_t size = static_cast<size_t>(layout_->sizes[static_cast<size_t>(field)]);
    size_t n = std::min(value.size(), size - 1);
    // A cut must not leave half of a UTF-8 sequence behind.
    if (n < value.size())
        while (n > 0 && (static_cast<uint8_t>(value[n]) & 0xC0) == 0x80)
            --n;
    // A text stops at its first zero byte, so nothing after one would ever be read back.
    const void* zero = std::memchr(value.data(), 0, n);
    if (zero) n = static_cast<size_t>(static_cast<const char*>(zero) - value.data());
    std::memset(p, 0, size);
    std::memcpy(p, value.data(), n);
}

int64_t TRecordBuffer::GetLargeint(int field) const {
    const uint8_t* p = FieldBytes(field);
    switch (FieldType(field)) {
    case ftSmallint:
        return fmt::GetI16(p);
    case ftWord:
        return static_cast<uint16_t>(fmt::GetI16(p));
    case ftBoolean:
        return fmt::GetI16(p) != 0 ? 1 : 0;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
        return fmt::GetI32(p);
    case ftLargeint:
        return fmt::GetI64(p);
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
        return static_cast<int64_t>(std::llround(fmt::GetF64(p)));
    default:
        throw EStoreError("General error");
    }
}

void TRecordBuffer::SetLargeint(int field, int64_t value) {
    uint8_t* p = FieldBytes(field);
    switch (FieldType(field)) {
    case ftSmallint:
    case ftWord:
        fmt::PutI16(p, static_cast<int16_t>(value));
        break;
    case ftBoolean:
        fmt::PutI16(p, value != 0 ? 1 : 0);
        break;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
        fmt::PutI32(p, static_cast<int32_t>(value));
        break;
    case ftLargeint:
        fmt::PutI64(p, value);
        break;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
        fmt::PutF64(p, static_cast<double>(value));
        break;
    default:
        throw EStoreError("General error");
    }
}

bool TRecordBuffer::GetBoolean(int field) const {
    if (FieldType(field) != ftBoolean) throw EStoreError("General error");
    return fmt::GetI16(FieldBytes(field)) != 0;
}

void TRecordBuffer::SetBoolean(int field, bool value) {
    if (FieldType(field) != ftBoolean) throw EStoreError("General error");
    fmt::PutI16(FieldBytes(field), value ? 1 : 0);
}

double TRecordBuffer::GetFloat(int field) const {
    switch (FieldType(field)) {
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
        return fmt::GetF64(FieldBytes(field));
    default:
        return static_cast<double>(GetLargeint(field));
    }
}

void TRecordBuffer::SetFloat(int field, double value) {
    switch (FieldType(field)) {
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
        fmt::PutF64(FieldBytes(field), value);
        break;
    default:
        if (!std::isfinite(value)) throw EStoreError("General error");
        SetLargeint(field, static_cast<int64_t>(std::llround(value)));
    }
}

const std::string& TRecordBuffer::GetBlob(int field) const {
    if (!IsBlobType(FieldType(field)) || !blobLoaded_[static_cast<size_t>(field)])
        throw EStoreError("General error");
    return blobs_[static_cast<size_t>(field)];
}

void TRecordBuffer::SetBlob(int field, std::string content) {
    if (!IsBlobType(FieldType(field))) throw EStoreError("General error");
    blobs_[static_cast<size_t>(field)] = std::move(content);
    blobLoaded_[static_cast<size_t>(field)] = 1;
}

bool TRecordBuffer::BlobLoaded(int field) const {
    Check(field);
    return blobLoaded_[static_cast<size_t>(field)] == 1;
}

void TRecordBuffer::MarkBlobUnloaded(int field) {
    Check(field);
    blobs_[static_cast<size_t>(field)].clear();
    blobLoaded_[static_cast<size_t>(field)] = 0;
}

void TRecordBuffer::HoldStoredBlob(int field, std::string stored) {
    Check(field);
    blobs_[static_cast<size_t>(field)] = std::move(stored);
    blobLoaded_[static_cast<size_t>(field)] = 2;
}

std::string TRecordBuffer::TakeStoredBlob(int field) {
    Check(field);
    blobLoaded_[static_cast<size_t>(field)] = 0;
    return std::move(blobs_[static_cast<size_t>(field)]);
}

} // namespace store
