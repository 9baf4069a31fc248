#include "ftp/list_parser.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <string_view>

std::string NetTrimLeft(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    return s.substr(i);
}

std::string NetTrimRight(const std::string& s) {
    size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ')
        --n;
    return s.substr(0, n);
}

std::string NetTrim(const std::string& s) {
    return NetTrimRight(NetTrimLeft(s));
}

std::string NetUpperCase(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int64_t NetStrToInt64Def(const std::string& s, int64_t fallback) {
    std::string t = NetTrim(s);
    size_t start = (!t.empty() && t[0] == '+') ? 1 : 0;
    if (start == t.size()) return fallback;
    int64_t v = 0;
    auto [end, ec] = std::from_chars(t.data() + start, t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size()) return fallback;
    return v;
}

int NetStrToIntDef(const std::string& s, int fallback) {
    int64_t v = NetStrToInt64Def(s, int64_t(INT_MIN) - 1);
    if (v < INT_MIN || v > INT_MAX) return fallback;
    return static_cast<int>(v);
}

std::string TakeToken(std::string& text, const std::string& delimiter) {
    size_t at = delimiter.empty() ? std::string::npos : text.find(delimiter);
    std::string token;
    if (at == std::string::npos) {
        token.swap(text);
        text.clear();
    } else {
        token = text.substr(0, at);
        text.erase(0, at + delimiter.size());
    }
    return token;
}

int MonthNumber(const std::string& text) {
    return MonthNumber(std::string_view(text));
}

namespace {

// Three bytes as one number; OR-ing 0x20 lowers ASCII letters and turns no other byte into one.
constexpr uint32_t lowerKey(char a, char b, char c) {
    return (uint32_t(static_cast<unsigned char>(a) | 0x20) << 16) |
           (uint32_t(static_cast<unsigned char>(b) | 0x20) << 8) |
           uint32_t(static_cast<unsigned char>(c) | 0x20);
}

constexpr uint32_t monthKey(const char (&name)[4]) {
    return lowerKey(name[0], name[1], name[2]);
}

} // namespace

int MonthNumber(std::string_view text) {
    if (text.size() != 3) return 0;
    switch (lowerKey(text[0], text[1], text[2])) {
    case monthKey("jan"):
        return 1;
    case monthKey("feb"):
        return 2;
    case monthKey("mar"):
        return 3;
    case monthKey("apr"):
        return 4;
    case monthKey("may"):
        return 5;
    case monthKey("jun"):
        return 6;
    case monthKey("jul"):
        return 7;
    case monthKey("aug"):
        return 8;
    case monthKey("sep"):
        return 9;
    case monthKey("oct"):
        return 10;
    case monthKey("nov"):
        return 11;
    case monthKey("dec"):
        return 12;
    default:
        return 0;
    }
}

int ExpandTwoDigitYear(int year, int currentYear) {
    if (year >= 100) return year;
    int century = currentYear / 100 * 100;
    return year > 50 ? century - 100 + year : century + year;
}

namespace {

// The first character that is not a digit, as a one-character delimiter ("" when none).
std::string firstNonDigit(const std::string& text) {
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::string(1, c);
    return {};
}

} // namespace

TNetDateTime ParseListDate(const std::string& text, int currentYear) {
    std::string rest = text;
    std::string sep = firstNonDigit(text);
    int month = NetStrToIntDef(NetTrim(TakeToken(rest, sep)), 0);
    int day = NetStrToIntDef(NetTrim(TakeToken(rest, sep)), 0);
    int year = NetStrToIntDef(NetTrim(TakeToken(rest, sep)), 0);
    return EncodeNetDate(ExpandTwoDigitYear(year, currentYear), month, day);
}

TNetDateTime ParseListTime(const std::string& text) {
    std::string work = NetUpperCase(text);
    bool pm = false, am = false;
    if (auto at = work.find("PM"); at != std::string::npos) {
        work = work.substr(0, at);
        pm = true;
    }
    if (auto at = work.find("AM"); at != std::string::npos) {
        work = work.substr(0, at);
        am = true;
    }
    work = NetTrim(work);
    std::string sep = firstNonDigit(text);
    int parts[4] = {0, 0, 0, 0};
    for (int& p : parts)
        p = NetStrToIntDef(TakeToken(work, sep), 0);
    int hour = parts[0];
    if (pm && hour < 12) hour += 12;
    if (am && hour == 12) hour = 0;
    return WithNetTime(TNetDateTime{}, hour, parts[1], parts[2], parts[3]);
}

namespace {

bool isUnixPermissions(const std::string& upper) {
    static const char* allowed[10] = {"-BCDLPS", "-RSTWX",  "-ARSTWX", "-RSTWX", "-HRSTWX",
                                      "-RSTWX",  "-RSTWXY", "-ARSTWX", "-RSTWX", "-RSTWX"};
    if (upper.size() < 10) return false;
    for (int i = 0; i < 10; ++i)
        if (std::string(allowed[i]).find(upper[i]) == std::string::npos) return false;
    return true;
}

std::string removeCommas(std::string s) {
    std::erase(s, ',');
    return s;
}

// Characters first..last, 1-based and inclusive, of s; shorter when s is.
std::string columns(const std::string& s, size_t first, size_t last) {
    if (s.size() < first) return {};
    return s.substr(first - 1, last - first + 1);
}

} // namespace

TNetFTPListFormat DetectListFormat(const std::string& line, bool details) {
    if (!details) return FormatNamesOnly;
    std::string upper = NetUpperCase(line);
    if (isUnixPermissions(upper) || upper.starts_with("TOTAL")) return FormatUnix;
    if (upper.find("DSK:") != std::string::npos) return FormatVms;
    auto isDateSep = [&](size_t pos) {
        return upper.size() >= pos && (upper[pos - 1] == '-' || upper[pos - 1] == '/');
    };
    if (!isDateSep(3) || !isDateSep(6)) return FormatUnknown;
    std::string dir = NetTrim(columns(upper, 25, 30));
    std::string size = removeCommas(NetTrim(columns(upper, 31, 38)));
    if (dir == "<DIR>") return FormatDos;
    if (dir.empty() && NetStrToIntDef(size, -1) != -1) return FormatDos;
    return FormatUnknown;
}

void ParseDosEntry(TNetFTPListItem& entry) {
    const std::string& line = entry.RawLine;
    std::string dateText =
        columns(line, 1, 2) + "/" + columns(line, 4, 5) + "/" + columns(line, 7, 8) + " ";
    std::string rest = NetTrim(line.size() >= 9 ? line.substr(8) : std::string());
    dateText += TakeToken(rest, " ");
    try {
        TNetDateTime date = ParseListDate(TakeToken(dateText, " "));
        TNetDateTime time = ParseListTime(dateText);
        entry.ModifiedAt = WithNetTime(date, time.Hour, time.Minute, time.Second, time.Millisecond);
    } catch (const std::exception&) {
        entry.ModifiedAt = TNetDateTime{};
    }
    rest = NetTrim(rest);
    std::string token = removeCommas(TakeToken(rest, " "));
    if (NetUpperCase(token) != "<DIR>") {
        entry.EntryKind = EntryFile;
        entry.ByteSize = NetStrToInt64Def(token, 0);
        entry.EntryName = NetTrimRight(rest);
    } else {
        entry.EntryKind = EntryDirectory;
        // The standard layout has ten blanks after "<DIR>"; the token took one of them.
        entry.EntryName = NetTrimRight(rest.size() >= 10 ? rest.substr(9) : std::string());
    }
}

namespace {

// The Unix parser works on views into the line and scans the short columns by hand: a listing
// of many thousand entries should cost little more than reading it.
inline std::string_view takeView(std::string_view& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    const char* q = p;
    while (q != end && *q != ' ')
        ++q;
    const std::string_view token(p, static_cast<size_t>(q - p));
    text =
        q == end ? std::string_view() : std::string_view(q + 1, static_cast<size_t>(end - q - 1));
    return token;
}

inline std::string_view trimLeftView(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    return s.substr(i);
}

// Every entry has five numbers, nearly always short runs of plain digits: those are read here,
// anything else (a sign, a long or bad number) by from_chars with its checks.
inline bool plainDigits(std::string_view s, int64_t& value) {
    if (s.empty() || s.size() > 18) return false; // empty is no number; 19 digits could overflow
    int64_t v = 0;
    for (char c : s) {
        const unsigned digit = static_cast<unsigned char>(c) - unsigned('0');
        if (digit > 9) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

int64_t slowViewToInt64(std::string_view s, int64_t fallback) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return fallback;
    int64_t v = 0;
    if (plainDigits(s, v)) return v;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return fallback;
    return v;
}

inline int64_t viewToInt64(std::string_view s, int64_t fallback) {
    int64_t v;
    return plainDigits(s, v) ? v : slowViewToInt64(s, fallback);
}

inline int viewToInt(std::string_view s, int fallback) {
    int64_t v;
    if (plainDigits(s, v) && s.size() <= 9) return static_cast<int>(v);
    v = slowViewToInt64(s, int64_t(INT_MIN) - 1);
    return v < INT_MIN || v > INT_MAX ? fallback : static_cast<int>(v);
}

bool isFolderWord(std::string_view t) {
    return t.size() == 6 && lowerKey(t[0], t[1], t[2]) == monthKey("fol") &&
           lowerKey(t[3], t[4], t[5]) == monthKey("der");
}

// A listing's letters are ASCII whatever the program's locale.
inline char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool asciiLetter(char c) {
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'z';
}

// Copies a piece of the line into a field. Appending to an emptied string skips the general
// replace's overlap checks, which cost more than the copy (a piece never lies in the field).
inline void setField(std::string& field, std::string_view piece) {
    field.clear();
    field.append(piece.data(), piece.size());
}

} // namespace

void ParseUnixEntry(TNetFTPListItem& entry, TNetFTPListFormat format, const TNetDateTime& today) {
    std::string glued; // holds the line when a glued link count is split off
    std::string_view rest = entry.RawLine;
    auto take = [&rest] {
        std::string_view t = takeView(rest);
        rest = trimLeftView(rest);
        return t;
    };

    std::string_view perms = take();
    const char typeLetter = perms.empty() ? ' ' : asciiUpper(perms[0]);
    auto rights = [&perms](std::string& to, size_t first) {
        if (perms.size() < first)
            to.clear();
        else
            setField(to, perms.substr(first - 1, 3));
    };
    rights(entry.OwnerRights, 2);
    rights(entry.GroupRights, 5);
    rights(entry.OthersRights, 8);

    std::string_view linkText, owner, group, sizeText;
    std::string_view t = take();
    if (!isFolderWord(t)) {
        // Some servers glue a zero link count to the owner ("0ftp"): split them again.
        if (t.size() > 3 && t[0] == '0') {
            linkText = "0";
            glued.reserve(t.size() + rest.size());
            glued.append(t.substr(1)).append(1, ' ').append(rest);
            rest = glued;
        } else {
            linkText = t;
        }
        owner = take();
        group = take();
    }
    if (format == FormatUnix && !rest.empty() &&
        asciiLetter(rest[0])) {
        // The month follows at once: the line has no owner column.
        sizeText = group;
        group = owner;
        owner = {};
    } else {
        std::string_view sz = takeView(rest);
        if (sz.find(',') == std::string_view::npos) {
            sizeText = sz;
        } else {
            // A device: "major, minor" stands where the size would be.
            rest = trimLeftView(rest);
            takeView(rest);
        }
    }
    rest = trimLeftView(rest);

    int month = MonthNumber(take());
    int day = viewToInt(take(), today.Day);
    t = takeView(rest);
    int year, hour = 0, minute = 0;
    if (auto colon = t.find(':'); colon != std::string_view::npos) {
        year = today.Year - (today.Month < month ? 1 : 0);
        hour = viewToInt(t.substr(0, colon), 0);
        minute = viewToInt(t.substr(colon + 1), 0);
    } else {
        year = viewToInt(t, today.Year);
    }

    entry.EntryKind = typeLetter == 'D'   ? EntryDirectory
                      : typeLetter == 'L' ? EntrySymlink
                                          : EntryFile;
    entry.LinkCount = viewToInt(linkText, 0);
    setField(entry.OwnerUser, owner);
    setField(entry.OwnerGroup, group);
    entry.ByteSize = viewToInt64(sizeText, 0);
    entry.ModifiedAt = WithNetTime(EncodeNetDate(year, month, day), hour, minute, 0, 999);
    entry.LinkTarget.clear();
    std::string_view name = rest;
    if (entry.EntryKind == EntrySymlink) {
        if (auto at = rest.find(" -> "); at != std::string_view::npos) {
            name = rest.substr(0, at);
            setField(entry.LinkTarget, rest.substr(at + 4));
        }
    }
    setField(entry.EntryName, name);
}
