// Evaluation of a parsed filter expression for one record.

#include "store/filter_expr_node.h"
#include "store/store_error.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale>
#include <optional>

namespace store {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Day number of 1 January 1970 when 1 January of year 1 is day 1.
constexpr std::int64_t kUnixEpochDay = 719163;
// Day number of 31 December 9999.
constexpr std::int64_t kLastDay = 3652059;

[[noreturn]] void mismatch() {
    throw EStoreError("Type mismatch in expression");
}

bool isNull(const TFilterValue& v) {
    return std::holds_alternative<std::monostate>(v);
}

bool isNumber(const TFilterValue& v) {
    return std::holds_alternative<std::int64_t>(v) || std::holds_alternative<double>(v);
}

double asDouble(const TFilterValue& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    return std::get<double>(v);
}

std::string foldAscii(std::string s, bool upper) {
    for (char& c : s) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// Splits UTF-8 text into characters so that "_" and SUBSTRING count characters, not bytes.
// A stray continuation byte counts as a character of its own.
std::vector<std::string_view> characters(const std::string& s) {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t end = i + 1;
        while (end < s.size() && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
            ++end;
        out.emplace_back(s.data() + i, end - i);
        i = end;
    }
    return out;
}

// Greedy wildcard match with backtracking to the last "%" only: linear in the text for each
// "%", so a hostile pattern cannot make it explode.
bool likeMatch(const std::string& textIn, const std::string& patternIn) {
    std::vector<std::string_view> text = characters(textIn), pattern = characters(patternIn);
    std::size_t t = 0, p = 0, starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == "%") {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == "_" || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == "%")
        ++p;
    return p == pattern.size();
}

std::optional<TFilterDateTime> parseDateTimeText(const std::string& s) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0, used = 0;
    int n = std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used);
    if (n < 3) return std::nullopt;
    std::string rest = s.substr(static_cast<std::size_t>(used));
    if (!rest.empty()) {
        int usedTime = 0;
        if (std::sscanf(rest.c_str(), " %2d:%2d%n", &h, &mi, &usedTime) < 2) return std::nullopt;
        rest = rest.substr(static_cast<std::size_t>(usedTime));
        if (!rest.empty()) {
            int usedSec = 0;
            if (std::sscanf(rest.c_str(), ":%2d%n", &sec, &usedSec) < 1) return std::nullopt;
            rest = rest.substr(static_cast<std::size_t>(usedSec));
            if (!rest.empty()) {
                int usedMs = 0;
                if (std::sscanf(rest.c_str(), ".%3d%n", &ms, &usedMs) < 1) return std::nullopt;
                if (static_cast<std::size_t>(usedMs) != rest.size()) return std::nullopt;
            }
        }
    }
    std::chrono::year_month_day ymd{std::chrono::year(y), std::chrono::month(unsigned(mo)),
                                    std::chrono::day(unsigned(d))};
    if (y < 1 || !ymd.ok() || h > 23 || mi > 59 || sec > 59 || h < 0 || mi < 0 || sec < 0 || ms < 0)
        return std::nullopt;
    return makeFilterDateTime(y, mo, d, h, mi, sec, ms);
}

TFilterDateTime asDateTime(const TFilterValue& v) {
    if (const auto* dt = std::get_if<TFilterDateTime>(&v)) return *dt;
    if (const auto* s = std::get_if<std::string>(&v))
        if (auto parsed = parseDateTimeText(*s)) return *parsed;
    mismatch();
}

struct DateParts {
    int year, month, day, hour, minute, second;
};

DateParts partsOf(TFilterDateTime dt) {
    std::int64_t day = dt.milliseconds / kMsPerDay;
    std::int64_t ms = dt.milliseconds % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    // Values read from a damaged file may lie anywhere; the calendar is only asked about years
    // it can represent.
    if (day < 1 || day > kLastDay) mismatch();
    std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{day - kUnixEpochDay}}};
    return {int(ymd.year()),   int(unsigned(ymd.month())), int(unsigned(ymd.day())),
            int(ms / 3600000), int(ms / 60000 % 60),       int(ms / 1000 % 60)};
}

// Orders two values; nullopt when either has no value. Raises on types that do not compare.
std::optional<int> compareValues(const TFilterValue& a, const TFilterValue& b,
                                 const TFilterOptions& options) {
    if (isNull(a) || isNull(b)) return std::nullopt;
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    if (isNumber(a) && isNumber(b)) {
        if (std::holds_alternative<std::int64_t>(a) && std::holds_alternative<std::int64_t>(b))
            return sign(std::get<std::int64_t>(a), std::get<std::int64_t>(b));
        return sign(asDouble(a), asDouble(b));
    }
    const auto* sa = std::get_if<std::string>(&a);
    const auto* sb = std::get_if<std::string>(&b);
    if (sa && sb) {
        std::string x = options.caseInsensitive ? foldAscii(*sa, true) : *sa;
        std::string y = options.caseInsensitive ? foldAscii(*sb, true) : *sb;
        const auto& coll = std::use_facet<std::collate<char>>(std::locale());
        int c = coll.compare(x.data(), x.data() + x.size(), y.data(), y.data() + y.size());
        // Texts the locale sees as equal but that differ in bytes are still different values.
        return c != 0 ? c : sign(x, y);
    }
    if (std::holds_alternative<bool>(a) && std::holds_alternative<bool>(b))
        return sign(std::get<bool>(a), std::get<bool>(b));
    bool aDate = std::holds_alternative<TFilterDateTime>(a);
    bool bDate = std::holds_alternative<TFilterDateTime>(b);
    // A date compared with a text constant reads the text as "yyyy-mm-dd[ hh:mm[:ss[.zzz]]]".
    if ((aDate && (bDate || sb)) || (bDate && sa))
        return sign(asDateTime(a).milliseconds, asDateTime(b).milliseconds);
    mismatch();
}

TFilterValue arithmetic(TFilterOp op, const TFilterValue& a, const TFilterValue& b) {
    if (isNull(a) || isNull(b)) return {};
    const auto* sa = std::get_if<std::string>(&a);
    const auto* sb = std::get_if<std::string>(&b);
    if (op == TFilterOp::Add && sa && sb) return *sa + *sb;
    bool aDate = std::holds_alternative<TFilterDateTime>(a);
    bool bDate = std::holds_alternative<TFilterDateTime>(b);
    // Dates move by days (fractions allowed); two dates differ by a number of days.
    if (aDate && bDate && op == TFilterOp::Subtract)
        return (double(std::get<TFilterDateTime>(a).milliseconds) -
                double(std::get<TFilterDateTime>(b).milliseconds)) /
               kMsPerDay;
    if ((aDate && isNumber(b) && (op == TFilterOp::Add || op == TFilterOp::Subtract)) ||
        (bDate && isNumber(a) && op == TFilterOp::Add)) {
        const TFilterDateTime& dt =
            aDate ? std::get<TFilterDateTime>(a) : std::get<TFilterDateTime>(b);
        double days = asDouble(aDate ? b : a);
        if (!std::isfinite(days) || std::fabs(days) > 1e9) mismatch();
        std::int64_t shift = std::llround(days * kMsPerDay);
        std::int64_t moved = 0;
        if (__builtin_add_overflow(dt.milliseconds, op == TFilterOp::Subtract ? -shift : shift,
                                   &moved))
            mismatch();
        return TFilterDateTime{moved};
    }
    if (!isNumber(a) || !isNumber(b)) mismatch();
    if (op != TFilterOp::Divide && std::holds_alternative<std::int64_t>(a) &&
        std::holds_alternative<std::int64_t>(b)) {
        std::int64_t x = std::get<std::int64_t>(a), y = std::get<std::int64_t>(b), r = 0;
        bool overflow = op == TFilterOp::Add        ? __builtin_add_overflow(x, y, &r)
                        : op == TFilterOp::Subtract ? __builtin_sub_overflow(x, y, &r)
                                                    : __builtin_mul_overflow(x, y, &r);
        // An integer result that does not fit continues as a float rather than wrapping.
        if (!overflow) return r;
    }
    double x = asDouble(a), y = asDouble(b);
    switch (op) {
    case TFilterOp::Add:
        return x + y;
    case TFilterOp::Subtract:
        return x - y;
    case TFilterOp::Multiply:
        return x * y;
    default:
        return x / y; // "/" always divides exactly; a zero divisor gives an infinite or NaN value
    }
}

// Three-valued logic: false wins in AND, true wins in OR, otherwise no value stays no value.
TFilterValue logic(TFilterOp op, const TFilterValue& a, const TFilterValue& b) {
    auto truth = [](const TFilterValue& v) -> std::optional<bool> {
        if (isNull(v)) return std::nullopt;
        if (const bool* x = std::get_if<bool>(&v)) return *x;
        mismatch();
    };
    std::optional<bool> x = truth(a), y = truth(b);
    bool decisive = op == TFilterOp::Or;
    if (x == decisive || y == decisive) return decisive;
    if (!x || !y) return {};
    return !decisive;
}

std::string trimText(const std::string& s, const std::string* set, bool left, bool right) {
    auto strip = [&](char c) {
        return set ? set->find(c) != std::string::npos : static_cast<unsigned char>(c) <= ' ';
    };
    std::size_t begin = 0, end = s.size();
    if (left)
        while (begin < end && strip(s[begin]))
            ++begin;
    if (right)
        while (end > begin && strip(s[end - 1]))
            --end;
    return s.substr(begin, end - begin);
}

std::int64_t integerArgument(const TFilterValue& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
    mismatch();
}

std::string substring(const std::string& s, std::int64_t start,
                      std::optional<std::int64_t> length) {
    std::vector<std::string_view> chars = characters(s);
    std::int64_t first = start - 1; // 1-based, as the text is counted by the user
    std::int64_t last = length ? first + std::max<std::int64_t>(*length, 0)
                               : static_cast<std::int64_t>(chars.size());
    first = std::clamp<std::int64_t>(first, 0, static_cast<std::int64_t>(chars.size()));
    last = std::clamp<std::int64_t>(last, first, static_cast<std::int64_t>(chars.size()));
    std::string out;
    for (std::int64_t i = first; i < last; ++i)
        out += chars[static_cast<std::size_t>(i)];
    return out;
}

TFilterValue callFunction(const TFilterNode& node, const TFilterFieldAccess& record,
                          const TFilterOptions& options) {
    std::vector<TFilterValue> args;
    for (const auto& child : node.children)
        args.push_back(evaluateFilterNode(*child, record, options));
    switch (node.func) {
    case TFilterFunc::GetDate:
        return record.now();
    case TFilterFunc::Count:
        return record.recordCount();
    default:
        break;
    }
    for (const TFilterValue& arg : args)
        if (isNull(arg)) return {};
    switch (node.func) {
    case TFilterFunc::Year:
    case TFilterFunc::Month:
    case TFilterFunc::Day:
    case TFilterFunc::Hour:
    case TFilterFunc::Minute:
    case TFilterFunc::Second: {
        DateParts p = partsOf(asDateTime(args[0]));
        int values[] = {p.year, p.month, p.day, p.hour, p.minute, p.second};
        return std::int64_t(values[int(node.func) - int(TFilterFunc::Year)]);
    }
    default:
        break;
    }
    const auto* text = std::get_if<std::string>(&args[0]);
    if (!text) mismatch();
    const std::string* set = nullptr;
    if (args.size() > 1 && node.func != TFilterFunc::Substring) {
        set = std::get_if<std::string>(&args[1]);
        if (!set) mismatch();
    }
    switch (node.func) {
    case TFilterFunc::Upper:
        return foldAscii(*text, true);
    case TFilterFunc::Lower:
        return foldAscii(*text, false);
    case TFilterFunc::Trim:
        return trimText(*text, set, true, true);
    case TFilterFunc::TrimLeft:
        return trimText(*text, set, true, false);
    case TFilterFunc::TrimRight:
        return trimText(*text, set, false, true);
    case TFilterFunc::Substring: {
        std::optional<std::int64_t> length;
        if (args.size() > 2) length = integerArgument(args[2]);
        return substring(*text, integerArgument(args[1]), length);
    }
    default:
        throw EStoreError("General error");
    }
}

TFilterValue evaluateIn(const TFilterNode& node, const TFilterFieldAccess& record,
                        const TFilterOptions& options) {
    TFilterValue tested = evaluateFilterNode(*node.children[0], record, options);
    bool unknown = isNull(tested);
    for (std::size_t i = 1; i < node.children.size(); ++i) {
        TFilterValue item = evaluateFilterNode(*node.children[i], record, options);
        std::optional<int> c = compareValues(tested, item, options);
        if (c == 0) return true;
        if (!c) unknown = true;
    }
    if (unknown) return {};
    return false;
}

} // namespace

TFilterDateTime makeFilterDateTime(int year, int month, int day, int hour, int minute, int second,
                                   int millisecond) {
    std::chrono::sys_days date{std::chrono::year(year) / std::chrono::month(unsigned(month)) /
                               std::chrono::day(unsigned(day))};
    std::int64_t dayNumber = date.time_since_epoch().count() + kUnixEpochDay;
    return {dayNumber * kMsPerDay + ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond};
}

TFilterValue evaluateFilterNode(const TFilterNode& node, const TFilterFieldAccess& record,
                                const TFilterOptions& options) {
    switch (node.kind) {
    case TFilterNode::Kind::Constant:
        return node.value;
    case TFilterNode::Kind::Field: {
        TFilterValue v;
        if (!record.fieldValue(node.name, v))
            throw EStoreError(FormatMessage("Field '%s' not found", node.name.c_str()));
        return v;
    }
    case TFilterNode::Kind::Negate: {
        TFilterValue v = evaluateFilterNode(*node.children[0], record, options);
        if (isNull(v)) return v;
        if (const auto* i = std::get_if<std::int64_t>(&v)) {
            if (*i == std::numeric_limits<std::int64_t>::min()) return -static_cast<double>(*i);
            return -*i;
        }
        if (const auto* d = std::get_if<double>(&v)) return -*d;
        mismatch();
    }
    case TFilterNode::Kind::Not: {
        TFilterValue v = evaluateFilterNode(*node.children[0], record, options);
        if (isNull(v)) return v;
        if (const bool* b = std::get_if<bool>(&v)) return !*b;
        mismatch();
    }
    case TFilterNode::Kind::Binary: {
        TFilterValue a = evaluateFilterNode(*node.children[0], record, options);
        TFilterValue b = evaluateFilterNode(*node.children[1], record, options);
        switch (node.op) {
        case TFilterOp::And:
        case TFilterOp::Or:
            return logic(node.op, a, b);
        case TFilterOp::Add:
        case TFilterOp::Subtract:
        case TFilterOp::Multiply:
        case TFilterOp::Divide:
            return arithmetic(node.op, a, b);
        default:
            break;
        }
        std::optional<int> c = compareValues(a, b, options);
        if (!c) return {};
        switch (node.op) {
        case TFilterOp::Equal:
            return *c == 0;
        case TFilterOp::NotEqual:
            return *c != 0;
        case TFilterOp::Less:
            return *c < 0;
        case TFilterOp::LessEqual:
            return *c <= 0;
        case TFilterOp::Greater:
            return *c > 0;
        default:
            return *c >= 0;
        }
    }
    case TFilterNode::Kind::Like: {
        TFilterValue a = evaluateFilterNode(*node.children[0], record, options);
        TFilterValue b = evaluateFilterNode(*node.children[1], record, options);
        if (isNull(a) || isNull(b)) return {};
        const auto* text = std::get_if<std::string>(&a);
        const auto* pattern = std::get_if<std::string>(&b);
        if (!text || !pattern) mismatch();
        if (options.caseInsensitive)
            return likeMatch(foldAscii(*text, true), foldAscii(*pattern, true));
        return likeMatch(*text, *pattern);
    }
    case TFilterNode::Kind::In:
        return evaluateIn(node, record, options);
    case TFilterNode::Kind::Function:
        return callFunction(node, record, options);
    }
    throw EStoreError("General error");
}

} // namespace store
