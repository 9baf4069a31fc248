#pragma once
// Field objects of a table cursor: one per stored field, named and typed as in the table
// header, reading and writing the cursor's current record buffer with the usual conversions
// between a field's type and text, integer, 64-bit integer, boolean, float and date-time.

#include "store/field_types.h"
#include "store/record_buffer.h"

#include <cstdint>
#include <string>

namespace store {

class TStoreTable;

// Date-time as callers use it: days since 30 December 1899, the fraction the time of day.
using TDateTime = double;

// Day number of 30 December 1899 in the store's encoding (1 January of year 1 is day 1).
constexpr int32_t kDateDelta = 693594;
constexpr int32_t kMsPerDay = 86400000;

// Conversions between the stored encodings and TDateTime.
TDateTime StoredDateTimeToDateTime(double stored);
double DateTimeToStoredDateTime(TDateTime value);
// Returns the current local date-time as TDateTime.
TDateTime NowDateTime();

// Typed reading and writing of one field of a record buffer, with the conversions of a field
// object. Reading never fails for a stored type; writing raises EStoreError when a text does
// not convert ("'%s' is not a valid integer value", "... floating point value", "... date and
// time", "... boolean value"). Writing an empty text to a non-text field leaves the value as it
// is (a stored field cannot be cleared). Blob fields must have their content loaded.
std::string GetFieldText(const TRecordBuffer& buf, int field);
void SetFieldText(TRecordBuffer& buf, int field, const std::string& value);
int64_t GetFieldLargeint(const TRecordBuffer& buf, int field);
void SetFieldLargeint(TRecordBuffer& buf, int field, int64_t value);
bool GetFieldBoolean(const TRecordBuffer& buf, int field);
void SetFieldBoolean(TRecordBuffer& buf, int field, bool value);
double GetFieldFloat(const TRecordBuffer& buf, int field);
void SetFieldFloat(TRecordBuffer& buf, int field, double value);
TDateTime GetFieldDateTime(const TRecordBuffer& buf, int field);
void SetFieldDateTime(TRecordBuffer& buf, int field, TDateTime value);

class TStoreField {
public:
    // The field at position number of an open table of that type (the cursor makes its fields
    // when it opens and drops them when it closes).
    TStoreField(TStoreTable& table, int number, TFieldType type)
        : table_(table), number_(number), blob_(IsBlobType(type)) {}

    const std::string& FieldName() const;
    TFieldType DataType() const;
    // Maximum number of characters of a text field; 0 for other types.
    int Size() const;
    // Position among the table's fields, counting from 0.
    int Index() const { return number_; }
    // The cursor the field belongs to.
    TStoreTable& Table() const { return table_; }
    bool IsBlob() const { return blob_; }
    // A stored field always holds a value.
    bool IsNull() const { return false; }

    // Readers take the current record (or the record being edited); with no current record
    // they give empty text, 0, false. Writers require edit or insert state ("Dataset not in
    // edit or insert mode") and raise the conversion errors above.
    std::string AsString() const;
    void SetAsString(const std::string& value);
    int32_t AsInteger() const;
    void SetAsInteger(int32_t value);
    int64_t AsLargeInt() const;
    void SetAsLargeInt(int64_t value);
    bool AsBoolean() const;
    void SetAsBoolean(bool value);
    double AsFloat() const;
    void SetAsFloat(double value);
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime value);
    // Clearing a stored field's value has no effect on it.
    void Clear() {}

private:
    const TRecordBuffer& ReadBuf() const;
    TRecordBuffer& WriteBuf();

    TStoreTable& table_;
    int number_;
    bool blob_;
};

} // namespace store
