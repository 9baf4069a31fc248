// Reading listing lines: format detection, the DOS-style and Unix-style column rules, and the
// date, time, year and month helpers they use.
#pragma once

#include "ftp/date_time.h"
#include "ftp/list_item.h"

#include <string>
#include <string_view>

// Returns the format of a listing judged from its first line; details false (a names-only
// listing) always gives FormatNamesOnly.
TNetFTPListFormat DetectListFormat(const std::string& line, bool details);

// Fills entry from a DOS-style RawLine (date, time, "<DIR>" or size, name). A date or time
// that does not read leaves ModifiedAt zero; nothing is raised for it.
void ParseDosEntry(TNetFTPListItem& entry);
// Fills entry from a Unix-style RawLine; with format FormatUnix a line without an owner
// column is recognised. Raises ENetException for an unknown month or an impossible date.
void ParseUnixEntry(TNetFTPListItem& entry, TNetFTPListFormat format,
                    const TNetDateTime& today = NetNow());

// Returns 1-12 for the English month abbreviation (any case), else 0.
int MonthNumber(std::string_view text);
// Returns the year, reading years below 100 in the window of 50 around the current century.
int ExpandTwoDigitYear(int year, int currentYear = NetNow().Year);
// Returns the date of a month-day-year text with any non-digit separator; raises
// ENetException when the date does not exist.
TNetDateTime ParseListDate(const std::string& text, int currentYear = NetNow().Year);
// Returns the time of day of a "hh:mm[:ss[:ms]][AM|PM]" text as a zero date with its time set;
// raises ENetException when the time is impossible.
TNetDateTime ParseListTime(const std::string& text);
// Cuts the part before the first delimiter from text and returns it; text keeps what follows
// the delimiter. Without a delimiter the whole text is returned and text becomes empty.
std::string TakeToken(std::string& text, const std::string& delimiter);

// Text helpers with the engine's rules: trimming removes characters with codes 0 to 32.
std::string NetTrim(const std::string& s);
std::string NetTrimLeft(const std::string& s);
std::string NetTrimRight(const std::string& s);
std::string NetUpperCase(std::string s);
// Returns the decimal integer in s (optional sign, blanks around allowed) or fallback when s
// is not one or does not fit.
int64_t NetStrToInt64Def(const std::string& s, int64_t fallback);
int NetStrToIntDef(const std::string& s, int fallback);
