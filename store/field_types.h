#pragma once
// Field type codes as they are stored in a field entry, and the byte size each type takes in a
// record's fixed part.

#include <cstdint>

namespace store {

enum TFieldType : uint8_t {
    ftUnknown = 0,
    ftString = 1,
    ftSmallint = 2,
    ftInteger = 3,
    ftWord = 4,
    ftBoolean = 5,
    ftFloat = 6,
    ftCurrency = 7,
    ftBCD = 8,
    ftDate = 9,
    ftTime = 10,
    ftDateTime = 11,
    ftBytes = 12,
    ftVarBytes = 13,
    ftAutoInc = 14,
    ftBlob = 15,
    ftMemo = 16,
    ftGraphic = 17,
    ftFmtMemo = 18,
    ftParadoxOle = 19,
    ftDBaseOle = 20,
    ftTypedBinary = 21,
    ftCursor = 22,
    ftFixedChar = 23,
    ftWideString = 24,
    ftLargeint = 25,
    ftOraBlob = 30,
    ftOraClob = 31,
};

// Index option bits of an index entry.
enum TIndexOption : uint8_t {
    tiPrimary = 1,
    tiUnique = 2,
    tiDescending = 4,
    tiCaseInsensitive = 8,
};

// Size in bytes of a stored blob descriptor.
constexpr int kBlobDescriptorSize = 20;

// Returns true for the codes whose values live in blob areas (15 to 21, 30, 31).
constexpr bool IsBlobType(int type) {
    return (type >= ftBlob && type <= ftTypedBinary) || type == ftOraBlob || type == ftOraClob;
}

// Returns true for the text types (ftString, ftFixedChar).
constexpr bool IsTextType(int type) {
    return type == ftString || type == ftFixedChar;
}

// Returns the number of bytes a field of this type and declared size takes in the fixed part,
// or 0 when the type code cannot be stored.
constexpr int FieldDataSize(int type, int size) {
    switch (type) {
    case ftString:
    case ftFixedChar:
        return size >= 0 ? size + 1 : 0;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 2;
    case ftInteger:
    case ftDate:
    case ftTime:
    case ftAutoInc:
        return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint:
        return 8;
    default:
        return IsBlobType(type) ? kBlobDescriptorSize : 0;
    }
}

// Returns true when a field of this type code can be stored.
constexpr bool IsStorableType(int type) {
    return FieldDataSize(type, 0) > 0;
}

} // namespace store
