#include "store/field.h"

#include "store/key_compare.h"
#include "store/store_error.h"
#include "store/table.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace store {

namespace {

bool isWholeNumberType(TFieldType t) {
    switch (t) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        return true;
    default:
        return false;
    }
}

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

int64_t parseInteger(const std::string& text) {
    std::string t = trimmed(text);
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(t.c_str(), &end, 10);
    if (t.empty() || *end != '\0' || errno == ERANGE)
        throw EStoreError(FormatMessage("'%s' is not a valid integer value", text.c_str()));
    return v;
}

double parseFloat(const std::string& text) {
    std::string t = trimmed(text);
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
        throw EStoreError(FormatMessage("'%s' is not a valid floating point value", text.c_str()));
    return v;
}

bool parseBoolean(const std::string& text) {
    std::string t = trimmed(text);
    for (char& c : t)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (t == "true" || t == "t" || t == "yes" || t == "y" || t == "1") return true;
    if (t == "false" || t == "f" || t == "no" || t == "n" || t == "0") return false;
    throw EStoreError(FormatMessage("'%s' is not a valid boolean value", text.c_str()));
}

std::string dateText(int32_t day) {
    int y = 0, m = 0, d = 0;
    DayNumberToDate(day, y, m, d);
    return FormatMessage("%04d-%02d-%02d", y, m, d);
}

std::string timeText(int32_t ms) {
    return FormatMessage("%02d:%02d:%02d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
}

// Accepts "yyyy-mm-dd", "hh:mm:ss[.zzz]" or both joined by a blank; either part may be missing
// where the target type allows. Returns the day number (0 when absent) and milliseconds.
void parseDateTime(const std::string& text, bool wantDate, bool wantTime, int32_t& day,
                   int32_t& ms) {
    std::string t = trimmed(text);
    auto fail = [&]() {
        return EStoreError(FormatMessage("'%s' is not a valid date and time", text.c_str()));
    };
    day = 0;
    ms = 0;
    size_t at = 0;
    int y = 0, m = 0, d = 0, n = 0;
    bool hasDate = false, hasTime = false;
    if (std::sscanf(t.c_str(), "%d-%d-%d%n", &y, &m, &d, &n) == 3) {
        if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) throw fail();
        day = DateToDayNumber(y, m, d);
        int back_y = 0, back_m = 0, back_d = 0;
        DayNumberToDate(day, back_y, back_m, back_d);
        if (back_d != d) throw fail(); // 31 February and the like
        hasDate = true;
        at = static_cast<size_t>(n);
        while (at < t.size() && t[at] == ' ')
            ++at;
    }
    if (at < t.size()) {
        int hh = 0, mm = 0, ss = 0, zzz = 0;
        int k = std::sscanf(t.c_str() + at, "%d:%d:%d%n", &hh, &mm, &ss, &n);
        if (k != 3) throw fail();
        at += static_cast<size_t>(n);
        if (at < t.size() && t[at] == '.') {
            int m2 = 0;
            if (std::sscanf(t.c_str() + at + 1, "%3d%n", &zzz, &m2) != 1) throw fail();
            at += 1 + static_cast<size_t>(m2);
        }
        if (at != t.size() || hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 || ss > 59)
            throw fail();
        ms = ((hh * 60 + mm) * 60 + ss) * 1000 + zzz;
        hasTime = true;
    }
    if ((!hasDate && !hasTime) || (hasDate && !wantDate) || (wantDate && !wantTime && hasTime) ||
        (!hasDate && wantDate && !wantTime))
        throw fail();
}

} // namespace

TDateTime StoredDateTimeToDateTime(double stored) {
    double day = std::floor(stored / kMsPerDay);
    double ms = stored - day * kMsPerDay;
    return (day - kDateDelta) + ms / kMsPerDay;
}

double DateTimeToStoredDateTime(TDateTime value) {
    double day = std::floor(value);
    double ms = std::round((value - day) * kMsPerDay);
    return (day + kDateDelta) * kMsPerDay + ms;
}

TDateTime NowDateTime() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t secs = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&secs, &local);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    int32_t day = DateToDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    double stored = static_cast<double>(day) * kMsPerDay +
                    ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000.0 + ms;
    return StoredDateTimeToDateTime(stored);
}

std::string GetFieldText(const TRecordBuffer& buf, int field) {
    TFieldType t = buf.FieldType(field);
    if (IsTextType(t)) return std::string(buf.TextView(field));
    if (IsBlobType(t)) return buf.GetBlob(field);
    if (isWholeNumberType(t)) return std::to_string(buf.GetLargeint(field));
    switch (t) {
    case ftBoolean:
        return buf.GetBoolean(field) ? "True" : "False";
    case ftFloat:
    case ftCurrency:
        return FormatMessage("%.15g", buf.GetFloat(field));
    case ftDate:
        return dateText(buf.GetDate(field));
    case ftTime:
        return timeText(buf.GetTime(field));
    case ftDateTime: {
        double stored = buf.GetDateTime(field);
        auto day = static_cast<int32_t>(std::floor(stored / kMsPerDay));
        auto ms = static_cast<int32_t>(stored - static_cast<double>(day) * kMsPerDay);
        return dateText(day) + " " + timeText(ms);
    }
    default:
        throw EStoreError("General error");
    }
}

void SetFieldText(TRecordBuffer& buf, int field, const std::string& value) {
    TFieldType t = buf.FieldType(field);
    if (IsTextType(t)) return buf.SetText(field, value);
    if (IsBlobType(t)) return buf.SetBlob(field, value);
    // An empty text would make the value missing, which a stored field cannot be.
    if (trimmed(value).empty()) return;
    if (isWholeNumberType(t)) return buf.SetLargeint(field, parseInteger(value));
    int32_t day = 0, ms = 0;
    switch (t) {
    case ftBoolean:
        return buf.SetBoolean(field, parseBoolean(value));
    case ftFloat:
    case ftCurrency:
        return buf.SetFloat(field, parseFloat(value));
    case ftDate:
        parseDateTime(value, true, false, day, ms);
        return buf.SetDate(field, day);
    case ftTime:
        parseDateTime(value, false, true, day, ms);
        return buf.SetTime(field, ms);
    case ftDateTime:
        parseDateTime(value, true, true, day, ms);
        return buf.SetDateTime(field, static_cast<double>(day) * kMsPerDay + ms);
    default:
        throw EStoreError("General error");
    }
}

int64_t GetFieldLargeint(const TRecordBuffer& buf, int field) {
    TFieldType t = buf.FieldType(field);
    if (IsTextType(t) || IsBlobType(t)) {
        std::string text = GetFieldText(buf, field);
        return trimmed(text).empty() ? 0 : parseInteger(text);
    }
    if (t == ftDateTime) return static_cast<int64_t>(std::floor(GetFieldDateTime(buf, field)));
    return buf.GetLargeint(field);
}

void SetFieldLargeint(TRecordBuffer& buf, int field, int64_t value) {
    TFieldType t = buf.FieldType(field);
    if (IsTextType(t) || IsBlobType(t)) return SetFieldText(buf, field, std::to_string(value));
    if (t == ftDateTime) return SetFieldDateTime(buf, field, static_cast<double>(value));
    buf.SetLargeint(field, value);
}

bool GetFieldBoolean(const TRecordBuffer& buf, int field) {
    TFieldType t = buf.FieldType(field);
    if (IsTextType(t) || IsBlobType(t)) {
        std::string text = GetFieldText(buf, field);
        return trimmed(text).empty() ? false : parseBoolean(text);
    }
    if (t == ftBoolean) return buf.GetBoolean(field);
    return GetFieldFloat(buf, field) != 0;
}

void SetFieldBoolean(TRecordBuffer& buf, int field, bool value) {
    TFieldType t = buf.FieldType(field);
    if (IsTextType(t) || IsBlobType(t)) return SetFieldText(buf, field, value ? "True" : "False");
    if (t == ftBoolean) return buf.SetBoolean(field, value);
    SetFieldLargeint(buf, field, value ? 1 : 0);
}

double GetFieldFloat(const TRecordBuffer& buf, int field) {
    TFieldType t = buf.FieldType(field);
    if (IsTextType(t) || IsBlobType(t)) {
        std::string text = GetFieldText(buf, field);
        return trimmed(text).empty() ? 0.0 : parseFloat(text);
    }
    if (t == ftDateTime || t == ftDate || t == ftTime) return GetFieldDateTime(buf, field);
    return buf.GetFloat(field);
}

void SetFieldFloat(TRecordBuffer& buf, int field, double value) {
    TFieldType t = buf.FieldType(field);
    if (IsTextType(t) || IsBlobType(t))
        return SetFieldText(buf, field, FormatMessage("%.15g", value));
    if (t == ftDateTime || t == ftDate || t == ftTime) return SetFieldDateTime(buf, field, value);
    if (isWholeNumberType(t) || t == ftBoolean)
        return buf.SetLargeint(field, static_cast<int64_t>(std::llround(value)));
    buf.SetFloat(field, value);
}

TDateTime GetFieldDateTime(const TRecordBuffer& buf, int field) {
    TFieldType t = buf.FieldType(field);
    switch (t) {
    case ftDate: {
        int32_t day = buf.GetDate(field);
        return day == 0 ? 0.0 : static_cast<double>(day - kDateDelta);
    }
    case ftTime:
        return static_cast<double>(buf.GetTime(field)) / kMsPerDay;
    case ftDateTime: {
        double stored = buf.GetDateTime(field);
        return stored == 0 ? 0.0 : StoredDateTimeToDateTime(stored);
    }
    default:
        if (IsTextType(t) || IsBlobType(t)) {
            std::string text = GetFieldText(buf, field);
            if (trimmed(text).empty()) return 0.0;
            int32_t day = 0, ms = 0;
            parseDateTime(text, true, true, day, ms);
            return StoredDateTimeToDateTime(static_cast<double>(day) * kMsPerDay + ms);
        }
        return GetFieldFloat(buf, field);
    }
}

void SetFieldDateTime(TRecordBuffer& buf, int field, TDateTime value) {
    TFieldType t = buf.FieldType(field);
    double stored = DateTimeToStoredDateTime(value);
    auto day = static_cast<int32_t>(std::floor(stored / kMsPerDay));
    auto ms = static_cast<int32_t>(stored - static_cast<double>(day) * kMsPerDay);
    switch (t) {
    case ftDate:
        return buf.SetDate(field, day);
    case ftTime:
        return buf.SetTime(field, ms);
    case ftDateTime:
        return buf.SetDateTime(field, stored);
    default:
        if (IsTextType(t) || IsBlobType(t))
            return SetFieldText(buf, field, dateText(day) + " " + timeText(ms));
        return SetFieldFloat(buf, field, value);
    }
}

const std::string& TStoreField::FieldName() const {
    return table_.Layout().fields.at(number_).name;
}

TFieldType TStoreField::DataType() const {
    return table_.Layout().fields.at(number_).type;
}

int TStoreField::Size() const {
    const TFieldDef& def = table_.Layout().fields.at(number_);
    return IsTextType(def.type) ? def.size : 0;
}

const TRecordBuffer& TStoreField::ReadBuf() const {
    if (IsBlob()) table_.BlobContent(number_);
    return table_.ReadBuffer();
}

TRecordBuffer& TStoreField::WriteBuf() {
    return table_.WriteBuffer();
}

std::string TStoreField::AsString() const {
    return GetFieldText(ReadBuf(), number_);
}
void TStoreField::SetAsString(const std::string& value) {
    SetFieldText(WriteBuf(), number_, value);
}
int32_t TStoreField::AsInteger() const {
    return static_cast<int32_t>(GetFieldLargeint(ReadBuf(), number_));
}
void TStoreField::SetAsInteger(int32_t value) {
    SetFieldLargeint(WriteBuf(), number_, value);
}
int64_t TStoreField::AsLargeInt() const {
    return GetFieldLargeint(ReadBuf(), number_);
}
void TStoreField::SetAsLargeInt(int64_t value) {
    SetFieldLargeint(WriteBuf(), number_, value);
}
bool TStoreField::AsBoolean() const {
    return GetFieldBoolean(ReadBuf(), number_);
}
void TStoreField::SetAsBoolean(bool value) {
    SetFieldBoolean(WriteBuf(), number_, value);
}
double TStoreField::AsFloat() const {
    return GetFieldFloat(ReadBuf(), number_);
}
void TStoreField::SetAsFloat(double value) {
    SetFieldFloat(WriteBuf(), number_, value);
}
TDateTime TStoreField::AsDateTime() const {
    return GetFieldDateTime(ReadBuf(), number_);
}
void TStoreField::SetAsDateTime(TDateTime value) {
    SetFieldDateTime(WriteBuf(), number_, value);
}

} // namespace store
