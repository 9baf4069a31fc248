// The engine's date and time value: what a listing entry's modification time holds.
#pragma once

#include <string>

// A calendar date and time of day down to the millisecond. All fields 0 is the zero value:
// a listing date that could not be read.
struct TNetDateTime {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;

    // Returns true for the zero value.
    bool IsZero() const;
    // Returns "yyyy-mm-dd hh:mm:ss" (the milliseconds are not shown).
    std::string ToText() const;
    bool operator==(const TNetDateTime&) const = default;
};

// Returns true when year 1-9999, month 1-12 and day exist in that month.
bool IsValidDate(int year, int month, int day);
// Returns true when hour 0-23, minute 0-59, second 0-59 and millisecond 0-999.
bool IsValidTime(int hour, int minute, int second, int millisecond);
// Returns the date; raises ENetException "Invalid date" when it does not exist.
TNetDateTime EncodeNetDate(int year, int month, int day);
// Returns date with the time of day set; raises ENetException "Invalid time" when impossible.
TNetDateTime WithNetTime(TNetDateTime date, int hour, int minute, int second, int millisecond);
// Returns today's date and time in UTC, as listings show them.
TNetDateTime NetNow();
