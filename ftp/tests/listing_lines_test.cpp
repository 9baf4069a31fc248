// Splitting a listing into lines while it arrives: the lines must not depend on where the data
// connection cut the bytes into pieces.

#include "ftp/listing_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

Lines splitInPieces(const std::string& text, const std::vector<size_t>& cuts) {
    TNetListingLines stream;
    size_t from = 0;
    for (size_t cut : cuts) {
        stream.Write(text.data() + from, static_cast<int64_t>(cut - from));
        from = cut;
    }
    stream.Write(text.data() + from, static_cast<int64_t>(text.size() - from));
    EXPECT_EQ(stream.Size(), static_cast<int64_t>(text.size()));
    return stream.Finish();
}

struct Case {
    std::string text;
    Lines lines;
};

const std::vector<Case> kCases = {
    {"", {}},
    {"one", {"one"}},
    {"one\r\ntwo\r\n", {"one", "two"}},
    {"one\ntwo", {"one", "two"}},
    {"one\rtwo\r", {"one", "two"}},
    {"a\r\n\r\nb\n\nc", {"a", "", "b", "", "c"}},
    // A lone CR after an LF is a line of its own; CR CR LF is an empty line after the first.
    {"a\n\rb", {"a", "", "b"}},
    {"a\r\r\nb", {"a", "", "b"}},
    {"\r\n", {""}},
    // A NUL ends the text; what stands before it on its line still counts.
    {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
    {std::string("a\r\n\0b", 5), {"a"}},
    {std::string("\0a", 2), {}},
    {"-rw-r--r--    1 0        0               0 Dec 09 13:30 entry-00001.dat\r\n"
     "drwxr-xr-x    2 0        0            4096 Dec 09 13:30 sub\r\n",
     {"-rw-r--r--    1 0        0               0 Dec 09 13:30 entry-00001.dat",
      "drwxr-xr-x    2 0        0            4096 Dec 09 13:30 sub"}},
};

} // namespace

TEST(ListingLines, SameLinesWhereverThePiecesEnd) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(splitInPieces(c.text, {}), c.lines);
        for (size_t i = 0; i <= c.text.size(); ++i) {
            EXPECT_EQ(splitInPieces(c.text, {i}), c.lines) << "cut at " << i;
            for (size_t j = i; j <= c.text.size(); ++j)
                EXPECT_EQ(splitInPieces(c.text, {i, j}), c.lines) << "cuts at " << i << ", " << j;
        }
        std::vector<size_t> everyByte;
        for (size_t i = 1; i < c.text.size(); ++i)
            everyByte.push_back(i);
        EXPECT_EQ(splitInPieces(c.text, everyByte), c.lines) << "one byte per piece";
    }
}

TEST(ListingLines, FinishLeavesTheStreamReadyForAnotherListing) {
    TNetListingLines stream;
    stream.Write("x\r", 2);
    EXPECT_EQ(stream.Finish(), Lines{"x"});
    stream.Write("\ny", 2);
    EXPECT_EQ(stream.Finish(), (Lines{"", "y"}));
    EXPECT_EQ(stream.Size(), 0);
    char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 1), 0);
}
