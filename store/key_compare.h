#pragma once
// Comparison of stored values as indexes and searches order them: numbers, booleans, dates
// and times by value; text with the user's locale, optionally without regard to letter case.

#include "store/field_types.h"

#include <cstdint>
#include <string_view>

namespace store {

// Compares two texts with the collation of the user's locale (the C++ global locale when the
// program set one, else the environment's). Returns <0, 0 or >0. Never raises.
int CompareText(std::string_view a, std::string_view b, bool caseInsensitive);

// Compares two stored values of one field type given as clear fixed-part bytes of size bytes.
// Blob descriptors compare equal. Returns <0, 0 or >0. Never raises.
int CompareFieldBytes(TFieldType type, const uint8_t* a, const uint8_t* b, int size,
                      bool caseInsensitive);

// Returns the text form used in key-clash messages ("True"/"False" for booleans, decimal
// numbers, "yyyy-mm-dd" dates, "hh:mm:ss" times).
std::string FieldBytesText(TFieldType type, const uint8_t* bytes, int size);

// Converts a day number (1 January of year 1 is day 1) to year, month and day, and back.
void DayNumberToDate(int32_t day, int& year, int& month, int& dayOfMonth);
int32_t DateToDayNumber(int year, int month, int dayOfMonth);

} // namespace store
