#include "store/key_compare.h"

#include "store/store_format.h"

#include <clocale>
#include <cstring>
#include <cwctype>
#include <locale>
#include <string>

namespace store {

namespace {

const std::collate<char>& Collation() {
    // The program sets its locale at start; a locale that cannot be built falls back to plain
    // byte order rather than failing every comparison.
    static const std::locale loc = [] {
        try {
            std::locale global;
            if (global.name() != "C") return global;
            return std::locale("");
        } catch (...) {
            return std::locale::classic();
        }
    }();
    return std::use_facet<std::collate<char>>(loc);
}

// Lower-cases UTF-8 text code point by code point; bytes that are not valid UTF-8 stay.
std::string FoldCase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
            ++i;
            continue;
        }
        int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (len == 1 || i + static_cast<size_t>(len) > s.size()) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        char32_t cp = c & (0x3F >> (len - 1));
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            auto cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((cc & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        char32_t lower = static_cast<char32_t>(std::towlower(static_cast<wint_t>(cp)));
        if (lower < 0x80)
            out.push_back(static_cast<char>(lower));
        else if (lower < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (lower >> 6)));
            out.push_back(static_cast<char>(0x80 | (lower & 0x3F)));
        } else if (lower < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (lower >> 12)));
            out.push_back(static_cast<char>(0x80 | ((lower >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (lower & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (lower >> 18)));
            out.push_back(static_cast<char>(0x80 | ((lower >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((lower >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (lower & 0x3F)));
        }
        i += static_cast<size_t>(len);
    }
    return out;
}

template <typename T> int Sign(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

std::string_view StoredText(const uint8_t* p, int size) {
    const void* zero = std::memchr(p, 0, static_cast<size_t>(size));
    size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p)
                    : static_cast<size_t>(size);
    return {reinterpret_cast<const char*>(p), n};
}

} // namespace

int CompareText(std::string_view a, std::string_view b, bool caseInsensitive) {
    const auto& coll = Collation();
    if (caseInsensitive) {
        std::string fa = FoldCase(a), fb = FoldCase(b);
        return coll.compare(fa.data(), fa.data() + fa.size(), fb.data(), fb.data() + fb.size());
    }
    return coll.compare(a.data(), a.data() + a.size(), b.data(), b.data() + b.size());
}

int CompareFieldBytes(TFieldType type, const uint8_t* a, const uint8_t* b, int size,
                      bool caseInsensitive) {
    switch (type) {
    case ftString:
    case ftFixedChar:
        return CompareText(StoredText(a, size), StoredText(b, size), caseInsensitive);
    case ftSmallint:
        return Sign(fmt::GetI16(a), fmt::GetI16(b));
    case ftWord:
        return Sign(static_cast<uint16_t>(fmt::GetI16(a)), static_cast<uint16_t>(fmt::GetI16(b)));
    case ftBoolean:
        return Sign(fmt::GetI16(a) != 0, fmt::GetI16(b) != 0);
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
        return Sign(fmt::GetI32(a), fmt::GetI32(b));
    case ftLargeint:
        return Sign(fmt::GetI64(a), fmt::GetI64(b));
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
        return Sign(fmt::GetF64(a), fmt::GetF64(b));
    default:
        return 0;
    }
}

void DayNumberToDate(int32_t day, int& year, int& month, int& dayOfMonth) {
    // Days since 1 March of year 0, the civil-from-days algorithm.
    int64_t z = static_cast<int64_t>(day) + 305;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    dayOfMonth = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int32_t DateToDayNumber(int year, int month, int dayOfMonth) {
    int64_t y = year - (month <= 2 ? 1 : 0);
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t mp = month > 2 ? month - 3 : month + 9;
    int64_t doy = (153 * mp + 2) / 5 + dayOfMonth - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<int32_t>(era * 146097 + doe - 305);
}

std::string FieldBytesText(TFieldType type, const uint8_t* p, int size) {
    char buf[64];
    switch (type) {
    case ftString:
    case ftFixedChar:
        return std::string(StoredText(p, size));
    case ftBoolean:
        return fmt::GetI16(p) != 0 ? "True" : "False";
    case ftSmallint:
        return std::to_string(fmt::GetI16(p));
    case ftWord:
        return std::to_string(static_cast<uint16_t>(fmt::GetI16(p)));
    case ftInteger:
    case ftAutoInc:
        return std::to_string(fmt::GetI32(p));
    case ftLargeint:
        return std::to_string(fmt::GetI64(p));
    case ftFloat:
    case ftCurrency:
        std::snprintf(buf, sizeof buf, "%.15g", fmt::GetF64(p));
        return buf;
    case ftDate: {
        int y, m, d;
        DayNumberToDate(fmt::GetI32(p), y, m, d);
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
        return buf;
    }
    case ftTime: {
        int32_t ms = fmt::GetI32(p);
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", ms / 3600000, ms / 60000 % 60,
                      ms / 1000 % 60);
        return buf;
    }
    case ftDateTime: {
        double v = fmt::GetF64(p);
        auto total = static_cast<int64_t>(v);
        int y, m, d;
        DayNumberToDate(static_cast<int32_t>(total / 86400000), y, m, d);
        int64_t ms = total % 86400000;
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d,
                      static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                      static_cast<int>(ms / 1000 % 60));
        return buf;
    }
    default:
        return {};
    }
}

} // namespace store
