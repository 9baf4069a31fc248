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

int MonthNumber(std::string_view text) {
    static const char names[] = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
    if (text.size() != 3) return 0;
    char u[3];
    for (int i = 0; i < 3; ++i)
        u[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    for (int m = 0; m < 12; ++m)
        if (u[0] == names[3 * m] && u[1] == names[3 * m + 1] && u[2] == names[3 * m + 2])
            return m + 1;
    return 0;
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

// The Unix parser works on views into the line: a listing of many thousand entries should
// cost little more than reading it.
std::string_view takeView(std::string_view& text) {
    auto at = text.find(' ');
    std::string_view token = text.substr(0, at);
    text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
    return token;
}

std::string_view trimLeftView(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    return s;
}

// Every entry has five numbers, nearly always short runs of plain digits: those are read here,
// anything else (a sign, a long or bad number) by from_chars with its checks.
bool plainDigits(std::string_view s, int64_t& value) {
    if (s.size() > 18) return false; // could overflow
    int64_t v = 0;
    for (char c : s) {
        const unsigned digit = static_cast<unsigned char>(c) - unsigned('0');
        if (digit > 9) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

int64_t viewToInt64(std::string_view s, int64_t fallback) {
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

int viewToInt(std::string_view s, int fallback) {
    int64_t v = viewToInt64(s, int64_t(INT_MIN) - 1);
    return v < INT_MIN || v > INT_MAX ? fallback : static_cast<int>(v);
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
    char typeLetter =
        perms.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(perms[0])));
    auto rights = [&perms](size_t first) {
        return perms.size() < first ? std::string() : std::string(perms.substr(first - 1, 3));
    };
    entry.OwnerRights = rights(2);
    entry.GroupRights = rights(5);
    entry.OthersRights = rights(8);

    std::string_view linkText, owner, group, sizeText;
    std::string_view t = take();
    bool haveColumns = !(t.size() == 6 && NetUpperCase(std::string(t)) == "FOLDER");
    if (haveColumns) {
        // Some servers glue a zero link count to the owner ("0ftp"): split them again.
        if (t.size() > 3 && t[0] == '0') {
            linkText = "0";
            glued = std::string(t.substr(1)) + " " + std::string(rest);
            rest = glued;
        } else {
            linkText = t;
        }
        owner = take();
        group = take();
    }
    if (format == FormatUnix && !rest.empty() &&
        std::isalpha(static_cast<unsigned char>(rest[0]))) {
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
    entry.OwnerUser = owner;
    entry.OwnerGroup = group;
    entry.ByteSize = viewToInt64(sizeText, 0);
    entry.ModifiedAt = WithNetTime(EncodeNetDate(year, month, day), hour, minute, 0, 999);
    entry.LinkTarget.clear();
    entry.EntryName = rest;
    if (entry.EntryKind == EntrySymlink) {
        if (auto at = rest.find(" -> "); at != std::string_view::npos) {
            entry.EntryName = rest.substr(0, at);
            entry.LinkTarget = rest.substr(at + 4);
        }
    }
}
