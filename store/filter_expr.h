#pragma once
// Filter expressions over one record's fields: parsed once from the filter text, then evaluated
// per record through a caller-supplied field accessor.
//
// The language: field names plain (letters, digits, "_", not starting with a digit) or in square
// brackets; text constants in single quotes with a doubled quote standing for one; numbers with
// the decimal separator given to the parser; True and False; the operators =, <>, <, <=, >, >=,
// +, -, *, /, AND, OR, NOT, LIKE (% any run, _ one character) and IN (a parenthesised list); the
// functions UPPER, LOWER, SUBSTRING(text, start[, length]), TRIM, TRIMLEFT, TRIMRIGHT (each with
// an optional second argument naming the characters to strip, blanks otherwise), YEAR, MONTH,
// DAY, HOUR, MINUTE, SECOND, GETDATE() and COUNT(*). Keywords and function names ignore letter
// case; a name that is also a function name is a field only in brackets.
//
// Precedence from loosest to tightest: OR; AND; NOT; comparisons, LIKE and IN; + and -; * and /;
// unary minus. Where a decimal separator is also the list separator (","), it belongs to a number
// only when a digit follows it directly.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace store {

// A date and time as the store keeps ftDateTime: day number (1 January of year 1 is day 1)
// times 86 400 000 plus the milliseconds since midnight.
struct TFilterDateTime {
    std::int64_t milliseconds = 0;
    friend bool operator==(const TFilterDateTime&, const TFilterDateTime&) = default;
};

// One value: no value, text, integer, float, boolean or date-time.
using TFilterValue =
    std::variant<std::monostate, std::string, std::int64_t, double, bool, TFilterDateTime>;

// Returns the date-time of a calendar date and time of day. Requires month 1..12, day 1..31.
TFilterDateTime makeFilterDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                                   int second = 0, int millisecond = 0);

// What the evaluator asks of the record being tested.
class TFilterFieldAccess {
public:
    virtual ~TFilterFieldAccess() = default;
    // Returns true and sets the value when the record has a field of that name (compared
    // without regard to letter case); returns false when there is no such field.
    virtual bool fieldValue(const std::string& name, TFilterValue& value) const = 0;
    // Returns what COUNT(*) yields for this record: the number of records the caller reports
    // (a cursor gives the number of records in its list). Default 1, the record itself.
    virtual std::int64_t recordCount() const { return 1; }
    // Returns the current local date and time for GETDATE(); overridable for fixed clocks.
    virtual TFilterDateTime now() const;
};

// Evaluation settings, the filter options of a cursor.
struct TFilterOptions {
    // Text comparisons, LIKE and IN ignore letter case (ASCII letters).
    bool caseInsensitive = false;
};

struct TFilterNode;

class TFilterExpr {
public:
    // Parses the filter text; blank text gives an expression that accepts every record. Raises
    // EStoreError with "Invalid filter expression character: '%s'", "Unterminated string
    // constant", "Unterminated field name", "Filter expression incorrectly terminated",
    // "'(' expected but %s found", "')' expected but %s found", "')' or ',' expected but %s
    // found", "IN predicate list may not be empty" or "Expression expected but %s found"; %s
    // is the offending token in single quotes, or "end of expression". Raises "Type mismatch in
    // expression" for faults visible without a record (constant operands that do not fit, a
    // whole expression that is a number, text or date rather than a condition), and "Filter
    // expression nested too deeply" past 256 levels of brackets, arguments and prefix operators or
    // 1000 chained operators.
    // Raises "General error" for a decimal separator that is a letter, digit, blank, quote,
    // bracket or operator character.
    explicit TFilterExpr(const std::string& text, char decimalSeparator = '.');
    ~TFilterExpr();
    TFilterExpr(TFilterExpr&&) noexcept;
    TFilterExpr& operator=(TFilterExpr&&) noexcept;

    // Returns true when the record satisfies the expression; a result without a value counts
    // as false. Raises "Type mismatch in expression" where operand types do not fit (also when
    // the whole expression is not a condition) and "Field '%s' not found" for an unknown field.
    bool matches(const TFilterFieldAccess& record, const TFilterOptions& options = {}) const;
    // Returns the value of the expression for the record; raises as matches does.
    TFilterValue evaluate(const TFilterFieldAccess& record,
                          const TFilterOptions& options = {}) const;

    // Returns the field names the expression reads, in order of first use, as written.
    std::vector<std::string> fieldNames() const;
    // Returns the text the expression was parsed from.
    const std::string& text() const { return text_; }

private:
    std::string text_;
    std::unique_ptr<TFilterNode> root_;
};

} // namespace store
