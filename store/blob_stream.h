#pragma once
// A byte stream over one blob field of a table cursor's record buffer: reading gives the
// field's content, writing (in edit or insert state) replaces it.

#include <cstdint>
#include <string>

namespace store {

class TStoreTable;
class TStoreField;

enum class TBlobStreamMode { Read, Write, ReadWrite };
enum class TSeekOrigin { Beginning, Current, End };

class TStoreBlobStream {
public:
    // Opens the stream on a blob field of an open cursor. Write modes require edit or insert
    // state ("Dataset not in edit or insert mode"); Write starts from empty content. Raises
    // EStoreError("Field '%s' is not a blob field") for another type.
    TStoreBlobStream(TStoreField& field, TBlobStreamMode mode);

    // Copies up to count bytes from the position into out; returns how many were copied.
    size_t Read(void* out, size_t count);
    // Writes count bytes at the position, growing the content; the record buffer takes the
    // new content at once. Raises EStoreError in read mode.
    size_t Write(const void* data, size_t count);
    // Moves the position; a position before the start is taken as 0. Returns the position.
    int64_t Seek(int64_t offset, TSeekOrigin origin);
    int64_t Position() const { return position_; }
    int64_t Size() const { return static_cast<int64_t>(content_.size()); }
    // Cuts the content at the position.
    void Truncate();
    // The whole content.
    const std::string& Content() const { return content_; }

private:
    void Store();

    TStoreTable& table_;
    int field_;
    TBlobStreamMode mode_;
    std::string content_;
    int64_t position_ = 0;
};

} // namespace store
