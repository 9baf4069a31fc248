// The listing parser, one raw line and its expected entry per row: every format the
// detector knows and every oddity of the column rules in one table.

#include "ftp/list_item.h"
#include "ftp/list_parser.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Listings are read as if today were 15 March 2026, 10:00.
const TNetDateTime kToday{2026, 3, 15, 10, 0, 0, 0};

struct Row {
    const char* line;
    TNetFTPListFormat format;
    TNetFTPEntryKind kind;
    const char* name;
    int64_t size;
    const char* modified; // "yyyy-mm-dd hh:mm:ss", "" for the zero date
    int millisecond;
    const char* owner;
    const char* group;
    int links;
    const char* rights; // owner, group, others joined by "|"
    const char* target;
};

const Row kRows[] = {
    // Unix, the classic single-blank line: year-less date read in March.
    {"drwxr-xr-x 2 ftp ftp 4096 Jan 5 12:30 pub", FormatUnix, EntryDirectory, "pub", 4096,
     "2026-01-05 12:30:00", 999, "ftp", "ftp", 2, "rwx|r-x|r-x", ""},
    // Aligned columns as real servers write them.
    {"-rw-r--r--   1 root     root        12000 Dec 09 11:28 hello.txt", FormatUnix, EntryFile,
     "hello.txt", 12000, "2025-12-09 11:28:00", 999, "root", "root", 1, "rw-|r--|r--", ""},
    // A month after the current one with a time belongs to last year.
    {"-rw-r--r-- 1 a b 1 Apr 1 00:00 x", FormatUnix, EntryFile, "x", 1, "2025-04-01 00:00:00", 999,
     "a", "b", 1, "rw-|r--|r--", ""},
    // A year column instead of a time.
    {"-rw-r--r-- 1 ftp ftp 10 Jan 5 2001 old.zip", FormatUnix, EntryFile, "old.zip", 10,
     "2001-01-05 00:00:00", 999, "ftp", "ftp", 1, "rw-|r--|r--", ""},
    // Symbolic link with its target.
    {"lrwxrwxrwx 1 root root 6 Mar 1 09:15 lnk -> target", FormatUnix, EntrySymlink, "lnk", 6,
     "2026-03-01 09:15:00", 999, "root", "root", 1, "rwx|rwx|rwx", "target"},
    // A link line without an arrow keeps the whole name.
    {"lrwxrwxrwx 1 root root 6 Mar 1 09:15 lonely", FormatUnix, EntrySymlink, "lonely", 6,
     "2026-03-01 09:15:00", 999, "root", "root", 1, "rwx|rwx|rwx", ""},
    // A device: "major, minor" in the size column.
    {"crw-rw-rw- 1 root root 4, 64 Jan 5 12:30 tty0", FormatUnix, EntryFile, "tty0", 0,
     "2026-01-05 12:30:00", 999, "root", "root", 1, "rw-|rw-|rw-", ""},
    // Only one of owner and group.
    {"-rw-r--r-- 1 ftp 1234 Jan 5 12:30 solo", FormatUnix, EntryFile, "solo", 1234,
     "2026-01-05 12:30:00", 999, "", "ftp", 1, "rw-|r--|r--", ""},
    // Names keep inner and leading blanks after the time column.
    {"-rw-r--r-- 1 u g 5 Feb 28 23:59 two  words", FormatUnix, EntryFile, "two  words", 5,
     "2026-02-28 23:59:00", 999, "u", "g", 1, "rw-|r--|r--", ""},
    // "folder" instead of the link count: no link, owner and group columns.
    {"drwxr-xr-x folder 0 Jan 5 12:30 Stuff", FormatUnix, EntryDirectory, "Stuff", 0,
     "2026-01-05 12:30:00", 999, "", "", 0, "rwx|r-x|r-x", ""},
    // The word is read in any case.
    {"drwxr-xr-x FoLdEr 0 Jan 5 12:30 Mixed", FormatUnix, EntryDirectory, "Mixed", 0,
     "2026-01-05 12:30:00", 999, "", "", 0, "rwx|r-x|r-x", ""},
    // A zero link count glued to the owner.
    {"-rw-r--r-- 0ftp ftp 77 Jan 5 12:30 glued", FormatUnix, EntryFile, "glued", 77,
     "2026-01-05 12:30:00", 999, "ftp", "ftp", 0, "rw-|r--|r--", ""},
    // Sizes past 2 GiB.
    {"-rw-r--r-- 1 u g 5368709120 Jan 5 2020 big.iso", FormatUnix, EntryFile, "big.iso",
     5368709120LL, "2020-01-05 00:00:00", 999, "u", "g", 1, "rw-|r--|r--", ""},
    // Numbers that are not plain digits: a sign, a tab before the next blank, more digits than
    // fit (read as zero).
    {"-rw-r--r-- 1 u g +12 Jan 5 2020 signed", FormatUnix, EntryFile, "signed", 12,
     "2020-01-05 00:00:00", 999, "u", "g", 1, "rw-|r--|r--", ""},
    {"-rw-r--r-- 1 u g 7\t Jan 5 2020 tabbed", FormatUnix, EntryFile, "tabbed", 7,
     "2020-01-05 00:00:00", 999, "u", "g", 1, "rw-|r--|r--", ""},
    {"-rw-r--r-- 1 u g 99999999999999999999 Jan 5 2020 huge", FormatUnix, EntryFile, "huge", 0,
     "2020-01-05 00:00:00", 999, "u", "g", 1, "rw-|r--|r--", ""},
    // A type letter without rights.
    {"d 2 u g 5 Jan 5 2020 short", FormatUnix, EntryDirectory, "short", 5, "2020-01-05 00:00:00",
     999, "u", "g", 2, "||", ""},
    // Upper-case month, day not a number: today's day.
    {"-rw-r--r-- 1 u g 5 JAN x 2020 d", FormatUnix, EntryFile, "d", 5, "2020-01-15 00:00:00", 999,
     "u", "g", 1, "rw-|r--|r--", ""},
    // VMS-style directory lines go through the Unix columns without the owner shift.
    {"-rw-r--r-- 1 ftp ftp 10 Jan 5 2001 vms.txt", FormatVms, EntryFile, "vms.txt", 10,
     "2001-01-05 00:00:00", 999, "ftp", "ftp", 1, "rw-|r--|r--", ""},
    // DOS: a directory with the standard ten blanks before its name.
    {"02-05-02  03:41PM       <DIR>          Program Files", FormatDos, EntryDirectory,
     "Program Files", 0, "2002-02-05 15:41:00", 0, "????????", "????????", 0, "???|???|???", ""},
    // DOS: a size with thousands separators.
    {"02-05-02  03:41AM            1,234,567 setup.exe", FormatDos, EntryFile, "setup.exe", 1234567,
     "2002-02-05 03:41:00", 0, "????????", "????????", 0, "???|???|???", ""},
    // DOS: 12 AM is midnight, 12 PM noon; years over 50 are last century.
    {"12-31-99  12:05AM                  10 y2k.txt", FormatDos, EntryFile, "y2k.txt", 10,
     "1999-12-31 00:05:00", 0, "????????", "????????", 0, "???|???|???", ""},
    {"07-04-10  12:30PM                  10 noon.txt", FormatDos, EntryFile, "noon.txt", 10,
     "2010-07-04 12:30:00", 0, "????????", "????????", 0, "???|???|???", ""},
    // DOS: an impossible date keeps the entry with the zero date.
    {"13-45-02  03:41PM                  99 bad.txt", FormatDos, EntryFile, "bad.txt", 99, "", 0,
     "????????", "????????", 0, "???|???|???", ""},
    // Names only.
    {"  plain name.txt  ", FormatNamesOnly, EntryFile, "plain name.txt", 0, "", 0, "????????",
     "????????", 0, "???|???|???", ""},
};

class ListingRow : public ::testing::TestWithParam<Row> {};

TEST_P(ListingRow, ParsesToTheExpectedEntry) {
    const Row& r = GetParam();
    TNetFTPListItems list;
    list.ListFormat = r.format;
    list.LoadListing({r.line}, kToday);
    ASSERT_EQ(list.Count(), 1) << r.line;
    const TNetFTPListItem& e = list[0];
    EXPECT_EQ(e.RawLine, r.line);
    EXPECT_EQ(e.EntryKind, r.kind);
    EXPECT_EQ(e.EntryName, r.name);
    EXPECT_EQ(e.ByteSize, r.size);
    if (*r.modified) {
        EXPECT_EQ(e.ModifiedAt.ToText(), r.modified);
        EXPECT_EQ(e.ModifiedAt.Millisecond, r.millisecond);
    } else {
        EXPECT_TRUE(e.ModifiedAt.IsZero()) << e.ModifiedAt.ToText();
    }
    EXPECT_EQ(e.OwnerUser, r.owner);
    EXPECT_EQ(e.OwnerGroup, r.group);
    EXPECT_EQ(e.LinkCount, r.links);
    EXPECT_EQ(e.OwnerRights + "|" + e.GroupRights + "|" + e.OthersRights, r.rights);
    EXPECT_EQ(e.LinkTarget, r.target);
}

INSTANTIATE_TEST_SUITE_P(Table, ListingRow, ::testing::ValuesIn(kRows));

struct DetectRow {
    const char* line;
    bool details;
    TNetFTPListFormat format;
};

const DetectRow kDetect[] = {
    {"drwxr-xr-x 2 ftp ftp 4096 Jan 5 12:30 pub", true, FormatUnix},
    {"-rw-r--r--   1 root root 1 Dec 09 11:28 a", true, FormatUnix},
    {"total 12", true, FormatUnix},
    {"srwxrwxrwt 1 a b 0 Jan 1 2000 sock", true, FormatUnix},
    {"DISK$USER:[DIR] DSK:", true, FormatVms},
    {"02-05-02  03:41PM       <DIR>          Program Files", true, FormatDos},
    {"02/05/02  03:41PM                 1234 a.txt", true, FormatDos},
    {"02-05-02  03:41PM                1,234 setup.exe", true, FormatDos},
    {"02-05-02  03:41PM     something      x", true, FormatUnknown},
    {"readme.txt", true, FormatUnknown},
    {"drwx", true, FormatUnknown},
    {"anything at all", false, FormatNamesOnly},
    {"", true, FormatUnknown},
};

TEST(DetectListFormat, KnowsEachFormatByItsFirstLine) {
    for (const auto& r : kDetect)
        EXPECT_EQ(DetectListFormat(r.line, r.details), r.format) << r.line;
}

TEST(LoadListing, SkipsALeadingTotalAndBlankLines) {
    TNetFTPListItems list;
    list.LoadListing({"total 12", "drwxr-xr-x 2 ftp ftp 4096 Jan 5 12:30 pub", "   ", "\t", "",
                      "-rw-r--r-- 1 ftp ftp 3 Jan 5 12:30 a"},
                     kToday);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].EntryName, "pub");
    EXPECT_EQ(list[1].EntryName, "a");
}

TEST(LoadListing, ALineThatFailsEmptiesWhatCameBeforeAndKeepsWhatFollows) {
    TNetFTPListItems list;
    list.LoadListing({"-rw-r--r-- 1 ftp ftp 3 Jan 5 12:30 a", "total 12",
                      "-rw-r--r-- 1 ftp ftp 3 Jan 5 12:30 b",
                      "-rw-r--r-- 1 ftp ftp 3 Jan 5 12:30 c"},
                     kToday);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].EntryName, "b");
    EXPECT_EQ(list[1].EntryName, "c");

    list.LoadListing(
        {"-rw-r--r-- 1 ftp ftp 3 Jan 5 12:30 a", "-rw-r--r-- 1 ftp ftp 3 Feb 30 12:30 x"}, kToday);
    EXPECT_EQ(list.Count(), 0) << "an impossible date fails the line";
}

TEST(LoadListing, LineByLineAsAWholeAndEntriesStayInPlace) {
    // Enough lines to fill the first blocks and more than one large chunk after them, with a
    // leading total and a blank line.
    constexpr int kEntries = 9000;
    std::vector<std::string> lines = {"total 1234"};
    for (int i = 0; i < kEntries; ++i)
        lines.push_back("-rw-r--r-- 1 ftp ftp " + std::to_string(i) + " Jan 5 12:30 file-" +
                        std::to_string(i) + ".txt");
    lines.insert(lines.begin() + 400, "   ");
    TNetFTPListItems whole;
    whole.LoadListing(lines, kToday);

    TNetFTPListItems byLine;
    byLine.BeginLines(kToday);
    const TNetFTPListItem* first = nullptr;
    for (const std::string& line : lines) {
        byLine.AddLine(line);
        if (!first && byLine.Count() == 1) first = &byLine[0];
    }
    EXPECT_EQ(byLine.LinesSeen(), lines.size());
    ASSERT_EQ(byLine.Count(), kEntries);
    ASSERT_EQ(whole.Count(), kEntries);
    EXPECT_EQ(first, &byLine[0]) << "growing never moves an entry";
    auto sameEntries = [&](const TNetFTPListItems& list) {
        int index = 0;
        for (const TNetFTPListItem& e : list) {
            if (e.RawLine != whole[index].RawLine || e.EntryName != whole[index].EntryName ||
                e.ByteSize != index)
                return testing::AssertionFailure() << "entry " << index << ": " << e.RawLine;
            ++index;
        }
        if (index != kEntries) return testing::AssertionFailure() << index << " entries";
        return testing::AssertionSuccess();
    };
    EXPECT_TRUE(sameEntries(byLine));
    EXPECT_EQ(byLine[kEntries - 1].EntryName, "file-8999.txt");
    EXPECT_THROW(byLine[kEntries], std::out_of_range);
    EXPECT_THROW(byLine[-1], std::out_of_range);

    // A copy has entries of its own; a moved list keeps them where they were.
    TNetFTPListItems copy = byLine;
    EXPECT_TRUE(sameEntries(copy));
    EXPECT_NE(&copy[0], &byLine[0]);
    const TNetFTPListItem* last = &copy[kEntries - 1];
    TNetFTPListItems moved = std::move(copy);
    EXPECT_EQ(&moved[kEntries - 1], last);
    EXPECT_TRUE(sameEntries(moved));
    moved = whole;
    EXPECT_TRUE(sameEntries(moved));

    // A line that fails drops every entry, and the list grows again from nothing.
    byLine.AddLine("-rw-r--r-- 1 ftp ftp 3 Xyz 5 12:30 bad");
    EXPECT_EQ(byLine.Count(), 0);
    for (int i = 0; i < kEntries; ++i)
        byLine.AddLine(lines[static_cast<size_t>(i < 399 ? i + 1 : i + 2)]);
    EXPECT_TRUE(sameEntries(byLine));

    // Starting again forgets the entries and the line count (a new "total" is skipped again).
    byLine.BeginLines(kToday);
    byLine.AddLine("total 1");
    EXPECT_EQ(byLine.Count(), 0);
}

TEST(LoadListing, UnknownFormatYieldsNothingAndNoneKeepsRawLines) {
    TNetFTPListItems list;
    list.ListFormat = DetectListFormat("readme.txt", true);
    list.LoadListing({"readme.txt", "other.txt"}, kToday);
    EXPECT_EQ(list.Count(), 0);

    list.ListFormat = FormatNone;
    list.LoadListing({"readme.txt", "other.txt"}, kToday);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1].RawLine, "other.txt");
    EXPECT_EQ(list[1].EntryName, "");
}

TEST(LoadListing, CustomFormatUsesTheHandlerOrFails) {
    TNetFTPListItems list;
    list.ListFormat = FormatCustom;
    list.LoadListing({"x|1"}, kToday);
    EXPECT_EQ(list.Count(), 0) << "no handler: unknown format";

    list.OnParseCustomListFormat = [](TNetFTPListItem& item) {
        std::string rest = item.RawLine;
        item.EntryName = TakeToken(rest, "|");
        item.ByteSize = NetStrToInt64Def(rest, 0);
    };
    list.LoadListing({"x|1", "y|22"}, kToday);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1].EntryName, "y");
    EXPECT_EQ(list[1].ByteSize, 22);
}

TEST(ListHelpers, DatesTimesYearsMonthsAndTokens) {
    EXPECT_EQ(MonthNumber("jan"), 1);
    EXPECT_EQ(MonthNumber("Dec"), 12);
    EXPECT_EQ(MonthNumber("January"), 0);
    EXPECT_EQ(ExpandTwoDigitYear(51, 2026), 1951);
    EXPECT_EQ(ExpandTwoDigitYear(50, 2026), 2050);
    EXPECT_EQ(ExpandTwoDigitYear(0, 2026), 2000);
    EXPECT_EQ(ExpandTwoDigitYear(1999, 2026), 1999);
    EXPECT_EQ(ParseListDate("02/05/02", 2026).ToText(), "2002-02-05 00:00:00");
    EXPECT_EQ(ParseListDate("2.5.1999", 2026).ToText(), "1999-02-05 00:00:00");
    EXPECT_THROW(ParseListDate("02/30/02", 2026), ENetException);
    EXPECT_THROW(ParseListDate("0205", 2026), ENetException);
    TNetDateTime t = ParseListTime("11:22:33:444");
    EXPECT_EQ(t.Hour * 10000000 + t.Minute * 100000 + t.Second * 1000 + t.Millisecond, 112233444);
    EXPECT_EQ(ParseListTime("03:41PM").Hour, 15);
    EXPECT_EQ(ParseListTime("12:00AM").Hour, 0);
    EXPECT_EQ(ParseListTime("12:00PM").Hour, 12);
    EXPECT_THROW(ParseListTime("25:00"), ENetException);
    std::string s = "a b c";
    EXPECT_EQ(TakeToken(s, " "), "a");
    EXPECT_EQ(s, "b c");
    std::string whole = "abc";
    EXPECT_EQ(TakeToken(whole, " "), "abc");
    EXPECT_EQ(whole, "");
}

} // namespace
