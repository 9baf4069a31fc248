// Conversions of field objects between each stored type and text, numbers, booleans and
// date-times, table-driven on a record buffer.

#include "store/tests/cursor_fixture.h"

#include "store/field.h"

using namespace store;
using cursortest::ErrorOf;

namespace {

TRecordBuffer sampleRecord() {
    return TRecordBuffer(TRecordLayout::Make(cursortest::SampleDefinition().tables[0].fields));
}

int fieldNo(const TRecordBuffer& buf, const char* name) {
    return buf.Layout().FindField(name);
}

} // namespace

TEST(CursorField, TextRoundTripsPerType) {
    struct Case {
        const char* field;
        const char* written;
        const char* read;
    };
    const Case cases[] = {
        {"name", "plain text", "plain text"},
        {"num", " -17 ", "-17"},
        {"big", "9007199254740993", "9007199254740993"},
        {"flag", "yes", "True"},
        {"flag", "F", "False"},
        {"ratio", "2.5", "2.5"},
        {"ratio", "1e-3", "0.001"},
        {"day", "2000-02-29", "2000-02-29"},
        {"clock", "23:59:58.999", "23:59:58"},
        {"stamp", "1899-12-30 00:00:00", "1899-12-30 00:00:00"},
        {"stamp", "0001-01-01 12:00:00", "0001-01-01 12:00:00"},
        {"note", "memo\nwith lines", "memo\nwith lines"},
    };
    for (const Case& c : cases) {
        TRecordBuffer buf = sampleRecord();
        int f = fieldNo(buf, c.field);
        SetFieldText(buf, f, c.written);
        EXPECT_EQ(GetFieldText(buf, f), c.read) << c.field << " " << c.written;
    }
}

TEST(CursorField, BadTextsAreRefusedWithTheirMessages) {
    struct Case {
        const char* field;
        const char* written;
        const char* message;
    };
    const Case cases[] = {
        {"num", "12x", "'12x' is not a valid integer value"},
        {"num", "99999999999999999999", "'99999999999999999999' is not a valid integer value"},
        {"ratio", "1,5", "'1,5' is not a valid floating point value"},
        {"flag", "maybe", "'maybe' is not a valid boolean value"},
        {"day", "2001-13-01", "'2001-13-01' is not a valid date and time"},
        {"day", "2001-01-01 10:00:00", "'2001-01-01 10:00:00' is not a valid date and time"},
        {"clock", "25:00:00", "'25:00:00' is not a valid date and time"},
        {"stamp", "yesterday", "'yesterday' is not a valid date and time"},
    };
    for (const Case& c : cases) {
        TRecordBuffer buf = sampleRecord();
        int f = fieldNo(buf, c.field);
        EXPECT_EQ(ErrorOf([&] { SetFieldText(buf, f, c.written); }), c.message) << c.written;
    }
}

TEST(CursorField, NumbersBooleansAndDateTimesConvert) {
    TRecordBuffer buf = sampleRecord();
    SetFieldFloat(buf, fieldNo(buf, "num"), 2.6);
    EXPECT_EQ(GetFieldLargeint(buf, fieldNo(buf, "num")), 3);
    SetFieldBoolean(buf, fieldNo(buf, "num"), true);
    EXPECT_TRUE(GetFieldBoolean(buf, fieldNo(buf, "num")));
    SetFieldLargeint(buf, fieldNo(buf, "name"), 42);
    EXPECT_EQ(GetFieldLargeint(buf, fieldNo(buf, "name")), 42);
    SetFieldDateTime(buf, fieldNo(buf, "stamp"), 36526.75);
    EXPECT_EQ(GetFieldText(buf, fieldNo(buf, "stamp")), "2000-01-01 18:00:00");
    EXPECT_DOUBLE_EQ(GetFieldDateTime(buf, fieldNo(buf, "stamp")), 36526.75);
    SetFieldDateTime(buf, fieldNo(buf, "day"), 36526.75);
    EXPECT_EQ(GetFieldText(buf, fieldNo(buf, "day")), "2000-01-01");
    SetFieldDateTime(buf, fieldNo(buf, "clock"), 36526.75);
    EXPECT_EQ(GetFieldText(buf, fieldNo(buf, "clock")), "18:00:00");
    // An empty record's date reads as the zero date-time, not as day 1 of year 1.
    TRecordBuffer empty = sampleRecord();
    EXPECT_DOUBLE_EQ(GetFieldDateTime(empty, fieldNo(empty, "day")), 0.0);
    EXPECT_EQ(GetFieldText(empty, fieldNo(empty, "flag")), "False");
}
