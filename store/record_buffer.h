#pragma once
// The values of one record in clear form, with typed get and set per field, so that callers
// need no knowledge of the byte layout of a record's fixed part.

#include "store/field_types.h"
#include "store/table_def.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace store {

// The field layout of one table: definitions, the offset of each field in the fixed part, the
// fixed-part size R and the auto-increment field (the first field of type ftAutoInc, or -1).
struct TRecordLayout {
    std::vector<TFieldDef> fields;
    std::vector<int> offsets;
    std::vector<int> sizes;
    int recordSize = 0;
    int autoIncField = -1;

    // Builds the layout of these fields. Raises EStoreError("General error") when a type
    // cannot be stored.
    static std::shared_ptr<const TRecordLayout> Make(const std::vector<TFieldDef>& fields);
    // Returns the number of the field of that name (letter case ignored), or -1.
    int FindField(const std::string& name) const;
};

// One record's values (the cursor layer's field buffer list). Non-blob values sit in a clear
// fixed part laid out as on disk; blob values are held as byte strings, loaded on demand by
// TStoreTableIO::LoadBlob. Each field has an active flag: modify leaves inactive fields as
// they are stored. Typed accessors raise EStoreError("General error") for a field number out
// of range or a type that does not carry that kind of value.
class TRecordBuffer {
public:
    TRecordBuffer() = default;
    // Makes an empty record (all bytes zero, empty blobs, every field active) of this layout.
    explicit TRecordBuffer(std::shared_ptr<const TRecordLayout> layout);

    const TRecordLayout& Layout() const { return *layout_; }
    const std::shared_ptr<const TRecordLayout>& LayoutPtr() const { return layout_; }
    int FieldCount() const { return static_cast<int>(layout_->fields.size()); }
    // Inline: every read of a field asks it, often more than once.
    TFieldType FieldType(int field) const {
        Check(field);
        return layout_->fields[static_cast<size_t>(field)].type;
    }

    // Sets every value to zero, empty text or an empty blob; keeps the active flags.
    void Clear();

    bool Active(int field) const { return active_.at(field); }
    void SetActive(int field, bool active) { active_.at(field) = active; }

    // Text fields (ftString, ftFixedChar). Set cuts the text to the field size.
    std::string GetText(int field) const;
    // The same text without a copy; valid until the buffer changes.
    std::string_view TextView(int field) const;
    void SetText(int field, const std::string& value);

    // Whole numbers: ftSmallint, ftInteger, ftWord, ftAutoInc, ftLargeint, ftBoolean (1/0),
    // ftDate (day number) and ftTime (milliseconds). Set narrows to the field's width.
    int64_t GetLargeint(int field) const;
    void SetLargeint(int field, int64_t value);
    int32_t GetInteger(int field) const { return static_cast<int32_t>(GetLargeint(field)); }
    void SetInteger(int field, int32_t value) { SetLargeint(field, value); }

    // ftBoolean: any nonzero stored value reads as true; true is written as 1.
    bool GetBoolean(int field) const;
    void SetBoolean(int field, bool value);

    // Floating values: ftFloat, ftCurrency, ftDateTime; whole-number types convert.
    double GetFloat(int field) const;
    void SetFloat(int field, double value);

    // Dates and times as stored: day number (1 January of year 1 is day 1), milliseconds since
    // midnight, and the date-time double (day number * 86400000 + milliseconds).
    int32_t GetDate(int field) const { return GetInteger(field); }
    void SetDate(int field, int32_t day) { SetInteger(field, day); }
    int32_t GetTime(int field) const { return GetInteger(field); }
    void SetTime(int field, int32_t ms) { SetInteger(field, ms); }
    double GetDateTime(int field) const { return GetFloat(field); }
    void SetDateTime(int field, double value) { SetFloat(field, value); }

    // Blob fields: the content bytes. Get requires the content to be loaded (a new or cleared
    // buffer and one filled by LoadBlob are loaded; ReadRecord leaves blobs unloaded).
    const std::string& GetBlob(int field) const;
    void SetBlob(int field, std::string content);
    bool BlobLoaded(int field) const;

    // Raw access for the storage layer: the clear fixed part (R bytes) and blob bookkeeping.
    uint8_t* FieldBytes(int field);
    const uint8_t* FieldBytes(int field) const;
    std::vector<uint8_t>& Fixed() { return fixed_; }
    const std::vector<uint8_t>& Fixed() const { return fixed_; }
    void MarkBlobUnloaded(int field);
    // A blob's stored bytes read together with its record, still to be decoded: the field
    // counts as unloaded (a write leaves it as stored) until LoadBlob decodes it.
    void HoldStoredBlob(int field, std::string stored);
    bool HoldsStoredBlob(int field) const { return blobLoaded_[static_cast<size_t>(field)] == 2; }
    std::string TakeStoredBlob(int field);

private:
    void Check(int field) const {
        if (!layout_ || field < 0 || field >= FieldCount()) [[unlikely]]
            BadField();
    }
    [[noreturn]] static void BadField();

    std::shared_ptr<const TRecordLayout> layout_;
    std::vector<uint8_t> fixed_;
    std::vector<std::string> blobs_;
    std::vector<uint8_t> blobLoaded_;
    std::vector<uint8_t> active_;
};

} // namespace store
