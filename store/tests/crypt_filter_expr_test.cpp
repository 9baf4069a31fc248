// Filter expressions: parsing, evaluation against one record, and the error texts.

#include "store/filter_expr.h"
#include "store/store_error.h"

#include <gtest/gtest.h>

#include <cctype>
#include <limits>
#include <map>
#include <random>
#include <string>

namespace store {
namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A record held in a map, looked up without regard to case, with a fixed clock and count.
class MapRecord : public TFilterFieldAccess {
public:
    MapRecord() {
        set("name", std::string("Alice"));
        set("age", std::int64_t(30));
        set("score", 4.5);
        set("active", true);
        set("born", makeFilterDateTime(1990, 5, 17, 13, 45, 30));
        set("note", std::monostate{});
        set("city", std::string("Z\xC3\xBCrich"));
        set("quote", std::string("O'Brien"));
        set("first name", std::string("Al"));
        set("wild", TFilterDateTime{std::numeric_limits<std::int64_t>::max() - 5});
    }
    void set(const std::string& name, TFilterValue v) { fields_[lower(name)] = std::move(v); }
    bool fieldValue(const std::string& name, TFilterValue& value) const override {
        auto it = fields_.find(lower(name));
        if (it == fields_.end()) return false;
        value = it->second;
        return true;
    }
    std::int64_t recordCount() const override { return 7; }
    TFilterDateTime now() const override { return makeFilterDateTime(2026, 12, 9, 12, 0, 0); }

private:
    std::map<std::string, TFilterValue> fields_;
};

std::string errorOf(const std::string& text, char separator = '.') {
    try {
        TFilterExpr expr(text, separator);
        expr.matches(MapRecord());
    } catch (const EStoreError& e) {
        return e.what();
    }
    return "(no error)";
}

struct Case {
    const char* text;
    bool expected;
};

TEST(FilterExpr, ConditionsOnOneRecord) {
    const Case cases[] = {
        {"age = 30", true},
        {"AGE=30", true},
        {"[age] >= 30 and score < 5", true},
        {"age <> 30", false},
        {"age > 30 or age < 30", false},
        {"score = 4.5", true},
        {"age + 1 = 31", true},
        {"age * 2 / 4 = 15", true},
        {"age - 40 < 0", true},
        {"-age = -30", true},
        {"2 + 3 * 4 = 14", true},
        {"(2 + 3) * 4 = 20", true},
        {"name = 'Alice'", true},
        {"name = 'alice'", false},
        {"name < 'Bob'", true},
        {"name + 'X' = 'AliceX'", true},
        {"quote = 'O''Brien'", true},
        {"[first name] = 'Al'", true},
        {"name like 'A%'", true},
        {"name LIKE '_lice'", true},
        {"name like '%c_'", true},
        {"name like '%l%e'", true},
        {"name like 'A'", false},
        {"name like '%'", true},
        {"name like 'Alice_'", false},
        {"city like 'Z_rich'", true},
        {"age in (10, 20, 30)", true},
        {"name in ('Bob', 'Eve')", false},
        {"name in ('Bob', 'Al' + 'ice')", true},
        {"not active", false},
        {"NOT (age = 30)", false},
        {"not not active", true},
        {"active = True", true},
        {"active and age > 1", true},
        {"false or active", true},
        {"true and false or true", true},
        {"false and (false or true)", false},
        {"upper(name) = 'ALICE'", true},
        {"lower(name) = 'alice'", true},
        {"substring(name, 2, 3) = 'lic'", true},
        {"substring(name, 3) = 'ice'", true},
        {"substring(name, 9, 2) = ''", true},
        {"substring(city, 2, 1) = '\xC3\xBC'", true},
        {"trim('  x  ') = 'x'", true},
        {"trimleft('  x ') = 'x '", true},
        {"trimright(' x  ') = ' x'", true},
        {"trim('xxaxx', 'x') = 'a'", true},
        {"year(born) = 1990 and month(born) = 5 and day(born) = 17", true},
        {"hour(born) = 13 and minute(born) = 45 and second(born) = 30", true},
        {"born > '1990-01-01'", true},
        {"born = '1990-05-17 13:45:30'", true},
        {"born < '1990-05-17 13:45'", false},
        {"year('2001-02-03') = 2001", true},
        {"getdate() > born", true},
        {"year(getdate()) = 2026 and day(GetDate()) = 9", true},
        {"count(*) = 7", true},
        {"born + 1 > born", true},
        {"born - born = 0", true},
        {"born - 0.5 < born", true},
        {"note = 'x'", false},
        {"not (note = 'x')", false},
        {"note = 'x' or age = 30", true},
        {"note = 'x' and false", false},
        {"note in ('x', 'y')", false},
        {"   ", true},
        {"", true},
    };
    MapRecord record;
    for (const Case& c : cases) {
        try {
            EXPECT_EQ(TFilterExpr(c.text).matches(record), c.expected) << c.text;
        } catch (const EStoreError& e) {
            ADD_FAILURE() << c.text << ": " << e.what();
        }
    }
}

TEST(FilterExpr, CaseInsensitiveOption) {
    MapRecord record;
    TFilterOptions options;
    options.caseInsensitive = true;
    for (const char* text :
         {"name = 'ALICE'", "name like 'al%'", "name in ('aLiCe')", "name >= 'alice'"}) {
        EXPECT_FALSE(TFilterExpr(text).matches(record)) << text;
        EXPECT_TRUE(TFilterExpr(text).matches(record, options)) << text;
    }
}

TEST(FilterExpr, DecimalSeparatorIsAParameter) {
    MapRecord record;
    EXPECT_TRUE(TFilterExpr("score = 4,5", ',').matches(record));
    EXPECT_TRUE(TFilterExpr("age in (30, 5)", ',').matches(record));
    // With "," as the decimal separator a digit right after it makes it part of the number.
    EXPECT_FALSE(TFilterExpr("age in (30,5)", ',').matches(record));
    EXPECT_TRUE(TFilterExpr("age in (30,5)").matches(record));
    EXPECT_EQ(errorOf("score = 4,5"), "Filter expression incorrectly terminated");
    for (char bad : {'a', '5', ' ', '\'', '-', '('})
        EXPECT_EQ(errorOf("score = 4", bad), "General error") << bad;
}

TEST(FilterExpr, ValuesAndNumberTypes) {
    MapRecord record;
    auto value = [&](const char* text) { return TFilterExpr(text).evaluate(record); };
    EXPECT_EQ(value("age * 2 = 60"), TFilterValue(true));
    EXPECT_EQ(value("age / 4 = 7.5"), TFilterValue(true));
    EXPECT_EQ(value(".5 + 1 = 1.5"), TFilterValue(true));
    // Integer results that do not fit continue as floats instead of wrapping around.
    EXPECT_EQ(value("9223372036854775807 + 1 = 9223372036854775808"), TFilterValue(true));
    EXPECT_EQ(value("-9223372036854775807 - 2 < 0"), TFilterValue(true));
    EXPECT_EQ(value("99999999999999999999 = 100000000000000000000"), TFilterValue(true));
    EXPECT_EQ(value("note + 1 = 1"), TFilterValue());
    EXPECT_EQ(value("upper(note) = 'X'"), TFilterValue());
    EXPECT_EQ(value("born + 1 = '1990-05-18 13:45:30'"), TFilterValue(true));
    EXPECT_EQ(value("getdate() - born > 13000"), TFilterValue(true));
    EXPECT_EQ(value("age / 0 > 1000000"), TFilterValue(true));
}

TEST(FilterExpr, DateTimesUseTheStoredDayNumbers) {
    // 1 January of year 1 is day 1 and 30 December 1899 is day 693594, as ftDateTime stores.
    EXPECT_EQ(makeFilterDateTime(1, 1, 1).milliseconds, 86400000);
    EXPECT_EQ(makeFilterDateTime(1899, 12, 30).milliseconds, 693594LL * 86400000);
    EXPECT_EQ(makeFilterDateTime(1899, 12, 30, 1, 2, 3, 4).milliseconds,
              693594LL * 86400000 + 3723004);
    MapRecord record;
    record.set("first", makeFilterDateTime(1, 1, 1));
    record.set("last", makeFilterDateTime(9999, 12, 31, 23, 59, 59));
    EXPECT_TRUE(
        TFilterExpr("year(first) = 1 and month(first) = 1 and day(first) = 1").matches(record));
    EXPECT_TRUE(TFilterExpr("year(last) = 9999 and second(last) = 59").matches(record));
}

TEST(FilterExpr, FieldNamesInOrderOfFirstUse) {
    TFilterExpr expr("a = 1 and [B c] > A or upper(d) like 'x%'");
    EXPECT_EQ(expr.fieldNames(), (std::vector<std::string>{"a", "B c", "d"}));
    EXPECT_EQ(expr.text(), "a = 1 and [B c] > A or upper(d) like 'x%'");
}

TEST(FilterExpr, LikeDoesNotBlowUpOnManyWildcards) {
    MapRecord record;
    record.set("long", std::string(5000, 'a'));
    EXPECT_FALSE(TFilterExpr("long like '%a%a%a%a%a%a%b'").matches(record));
    EXPECT_TRUE(TFilterExpr("long like '%a%a%a%a%a%a'").matches(record));
}

TEST(FilterExpr, ParseErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {"age = 30 #", "Invalid filter expression character: '#'"},
        {"!x", "Invalid filter expression character: '!'"},
        {"name = \xC3\xBC", "Invalid filter expression character: '\xC3\xBC'"},
        {"name = 'abc", "Unterminated string constant"},
        {"name = 'it''s", "Unterminated string constant"},
        {"[name = 'x'", "Unterminated field name"},
        {"age = 30 40", "Filter expression incorrectly terminated"},
        {"name = 'x' 'y'", "Filter expression incorrectly terminated"},
        {"age = 30)", "Filter expression incorrectly terminated"},
        {"upper name", "'(' expected but 'name' found"},
        {"getdate = 1", "'(' expected but '=' found"},
        {"age in 1", "'(' expected but '1' found"},
        {"(age = 30", "')' expected but end of expression found"},
        {"upper(name, 'x') = 'A'", "')' expected but ',' found"},
        {"substring(name, 1, 2, 3) = 'A'", "')' expected but ',' found"},
        {"trim(name 'x')", "')' or ',' expected but 'x' found"},
        {"age in (1 2)", "')' or ',' expected but '2' found"},
        {"age in (1, 2", "')' or ',' expected but end of expression found"},
        {"age in ()", "IN predicate list may not be empty"},
        {"age = ", "Expression expected but end of expression found"},
        {"age = )", "Expression expected but ')' found"},
        {"name = and", "Expression expected but 'and' found"},
        {"count(age) = 1", "Expression expected but 'age' found"},
        {"upper() = 'A'", "Expression expected but ')' found"},
        {"= 1", "Expression expected but '=' found"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(errorOf(text), message) << text;
}

TEST(FilterExpr, EvaluationErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {"name = 5", "Type mismatch in expression"},
        {"age", "Type mismatch in expression"},
        {"name", "Type mismatch in expression"},
        {"name like 5", "Type mismatch in expression"},
        {"active + 1 = 2", "Type mismatch in expression"},
        {"upper(age) = 'x'", "Type mismatch in expression"},
        {"year(name) = 1", "Type mismatch in expression"},
        {"born = 'yesterday'", "Type mismatch in expression"},
        {"born = '1990-02-30'", "Type mismatch in expression"},
        {"substring(name, '1') = 'x'", "Type mismatch in expression"},
        {"age and active", "Type mismatch in expression"},
        {"not age", "Type mismatch in expression"},
        {"-name = 1", "Type mismatch in expression"},
        {"age in ('30')", "Type mismatch in expression"},
        {"missing = 1", "Field 'missing' not found"},
        {"year(wild) = 1", "Type mismatch in expression"},
        {"wild + 1 > wild", "Type mismatch in expression"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(errorOf(text), message) << text;
}

TEST(FilterExpr, TypeFaultsWithoutARecordAreFoundWhenParsing) {
    for (const char* text : {"age = 1 + 'a'", "age + 1", "upper(name)", "-age", "'text'", "12",
                             "year('soon') = 1", "name like 3", "not 5"}) {
        try {
            TFilterExpr expr(text);
            ADD_FAILURE() << text << " parsed";
        } catch (const EStoreError& e) {
            EXPECT_STREQ(e.what(), "Type mismatch in expression") << text;
        }
    }
    // A lone field may be a boolean field; only a record can tell.
    EXPECT_TRUE(TFilterExpr("active").matches(MapRecord()));
    EXPECT_NO_THROW(TFilterExpr("age"));
    EXPECT_NO_THROW(TFilterExpr("true"));
}

TEST(FilterExpr, ArbitraryTextNeverEscapesAsAnythingButAStoreError) {
    const std::string pieces[] = {"age",        "[first name]",
                                  "'x'",        "'it''s'",
                                  "1",          "4.5",
                                  "(",          ")",
                                  ",",          "=",
                                  "<>",         "<=",
                                  "+",          "-",
                                  "*",          "/",
                                  "and",        "or",
                                  "not",        "like",
                                  "in",         "upper(",
                                  "substring(", "trim(",
                                  "year(",      "count(*)",
                                  "getdate()",  "true",
                                  "'",          "[",
                                  "#",          " ",
                                  "note"};
    std::mt19937 gen(5);
    MapRecord record;
    int parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        int count = 1 + static_cast<int>(gen() % 9);
        for (int i = 0; i < count; ++i)
            text += pieces[gen() % std::size(pieces)] + " ";
        try {
            TFilterExpr expr(text);
            ++parsed;
            expr.matches(record);
        } catch (const EStoreError&) {
        }
    }
    EXPECT_GT(parsed, 50);
}

TEST(FilterExpr, NestingIsBoundedInsteadOfExhaustingTheStack) {
    const std::string tooDeep = "Filter expression nested too deeply";
    EXPECT_EQ(errorOf(std::string(100000, '(') + "true" + std::string(100000, ')')), tooDeep);
    std::string nots;
    for (int i = 0; i < 100000; ++i)
        nots += "not ";
    EXPECT_EQ(errorOf(nots + "true"), tooDeep);
    EXPECT_EQ(errorOf(std::string(100000, '-') + "1 = 1"), tooDeep);
    std::string chain = "age";
    for (int i = 0; i < 100000; ++i)
        chain += " + 1";
    EXPECT_EQ(errorOf(chain + " = 0"), tooDeep);

    // What people write stays well inside the bounds.
    std::string ors = "age = 0";
    for (int i = 1; i < 500; ++i)
        ors += " or age = " + std::to_string(i);
    EXPECT_TRUE(TFilterExpr(ors).matches(MapRecord()));
    EXPECT_TRUE(TFilterExpr(std::string(100, '(') + "age = 30" + std::string(100, ')'))
                    .matches(MapRecord()));
}

TEST(FilterExpr, MovesKeepTheExpression) {
    TFilterExpr a("age = 30");
    TFilterExpr b = std::move(a);
    EXPECT_TRUE(b.matches(MapRecord()));
    a = TFilterExpr("age = 31");
    EXPECT_FALSE(a.matches(MapRecord()));
}

} // namespace
} // namespace store
