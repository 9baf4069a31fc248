// The cursor used the way the program uses it: open, scan, field access, edit on an empty
// table, append and read the auto-increment field, delete while scanning.

#include "store/tests/cursor_fixture.h"

#include "store/blob_stream.h"
#include "store/key_compare.h"

#include <ctime>

using namespace store;
using cursortest::CursorTest;
using cursortest::ErrorOf;

TEST_F(CursorTest, EmptyTableReadsEmptyTextZeroAndFalse) {
    TStoreTable t;
    OpenOn(t, "items");
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(t.RecNo(), 0);
    EXPECT_EQ(t.FieldByName("name").AsString(), "");
    EXPECT_EQ(t.FieldByName("num").AsInteger(), 0);
    EXPECT_EQ(t.FieldByName("num").AsString(), "0");
    EXPECT_FALSE(t.FieldByName("flag").AsBoolean());
    EXPECT_EQ(t.FieldByName("note").AsString(), "");
    EXPECT_EQ(ErrorOf([&] { t.Delete(); }), "No records");
    EXPECT_EQ(ErrorOf([&] { t.GetBookmark(); }), "No records");
}

TEST_F(CursorTest, EditOnEmptyTableBeginsANewRecord) {
    TStoreTable t;
    OpenOn(t, "items");
    t.Edit();
    EXPECT_EQ(t.State(), TDataSetState::Insert);
    t.FieldByName("name").SetAsString("first");
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.FieldByName("name").AsString(), "first");
    EXPECT_EQ(t.FieldByName("key").AsInteger(), 1);
    // With a record there, Edit changes it in place.
    t.Edit();
    EXPECT_EQ(t.State(), TDataSetState::Edit);
    t.FieldByName("name").SetAsString("changed");
    t.Post();
    t.Close();
    t.SetDatabaseName(path);
    t.SetTableName("items");
    t.Open();
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.FieldByName("name").AsString(), "changed");
}

TEST_F(CursorTest, AppendedRecordIsCurrentWithItsAutoIncrementValue) {
    AddItems({{"a", 1}, {"b", 2}});
    TStoreTable t;
    OpenOn(t, "items");
    t.Append();
    t.FieldByName("name").SetAsString("c");
    t.Post();
    EXPECT_EQ(t.FieldByName("key").AsInteger(), 3);
    EXPECT_EQ(t.FieldByName("name").AsString(), "c");
    EXPECT_EQ(t.RecNo(), 3);
}

TEST_F(CursorTest, InsertAddsAtTheEndAndTheNewRecordIsCurrent) {
    AddItems({{"a", 1}, {"b", 2}, {"c", 3}});
    TStoreTable t;
    OpenOn(t, "items");
    t.Next();
    ASSERT_EQ(t.FieldByName("name").AsString(), "b");
    t.Insert();
    t.FieldByName("name").SetAsString("new");
    t.Post();
    EXPECT_EQ(t.FieldByName("name").AsString(), "new");
    EXPECT_EQ(t.FieldByName("key").AsInteger(), 4);
    EXPECT_EQ(t.RecNo(), 4);
    std::vector<std::string> order;
    for (t.First(); !t.Eof(); t.Next())
        order.push_back(t.FieldByName("name").AsString());
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "new"}));
}

TEST_F(CursorTest, ScanForwardAndBackwardWithEndFlags) {
    AddItems({{"a", 1}, {"b", 2}, {"c", 3}});
    TStoreTable t;
    OpenOn(t, "items");
    std::string forward, backward;
    for (t.First(); !t.Eof(); t.Next())
        forward += t.FieldByName("name").AsString();
    for (t.Last(); !t.Bof(); t.Prior())
        backward += t.FieldByName("name").AsString();
    EXPECT_EQ(forward, "abc");
    EXPECT_EQ(backward, "cba");
    t.First();
    EXPECT_TRUE(t.Bof());
    EXPECT_FALSE(t.Eof());
    t.Last();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.FieldByName("name").AsString(), "c");
    t.SetRecNo(2);
    EXPECT_EQ(t.FieldByName("name").AsString(), "b");
    t.SetRecNo(9);
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_EQ(t.MoveBy(5), 1);
}

TEST_F(CursorTest, DeleteWhileScanningWithoutNext) {
    AddItems({{"x", 1}, {"keep", 2}, {"x", 3}, {"x", 4}, {"keep", 5}, {"x", 6}});
    TStoreTable t;
    OpenOn(t, "items");
    t.First();
    int steps = 0;
    while (!t.Eof() && ++steps < 100) {
        if (t.FieldByName("name").AsString() == "x")
            t.Delete();
        else
            t.Next();
    }
    std::vector<int> left;
    for (t.First(); !t.Eof(); t.Next())
        left.push_back(t.FieldByName("num").AsInteger());
    EXPECT_EQ(left, (std::vector<int>{2, 5}));
}

TEST_F(CursorTest, DeleteMovesToFollowingOrNewLastRecord) {
    AddItems({{"a", 1}, {"b", 2}, {"c", 3}});
    TStoreTable t;
    OpenOn(t, "items");
    t.Delete();
    EXPECT_EQ(t.FieldByName("name").AsString(), "b");
    t.Last();
    t.Delete();
    EXPECT_EQ(t.FieldByName("name").AsString(), "b");
    EXPECT_EQ(t.RecordCount(), 1);
    t.Delete();
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.FieldByName("name").AsString(), "");
}

TEST_F(CursorTest, CancelDropsTheChangeAndEmptyTextLeavesNumbersAsStored) {
    AddItems({{"a", 7}});
    TStoreTable t;
    OpenOn(t, "items");
    t.Edit();
    t.FieldByName("name").SetAsString("zzz");
    t.Cancel();
    EXPECT_EQ(t.FieldByName("name").AsString(), "a");
    t.Edit();
    t.FieldByName("num").SetAsString("");
    t.FieldByName("num").Clear();
    t.Post();
    EXPECT_EQ(t.FieldByName("num").AsInteger(), 7);
    EXPECT_EQ(ErrorOf([&] { t.FieldByName("num").SetAsString("x"); }),
              "Dataset not in edit or insert mode");
    t.Edit();
    EXPECT_EQ(ErrorOf([&] { t.FieldByName("num").SetAsString("12a"); }),
              "'12a' is not a valid integer value");
}

TEST_F(CursorTest, TypedAccessRoundTrips) {
    TStoreTable t;
    OpenOn(t, "items");
    t.Append();
    t.FieldByName("big").SetAsLargeInt(int64_t(1) << 40);
    t.FieldByName("ratio").SetAsFloat(0.1);
    t.FieldByName("flag").SetAsString("True");
    t.FieldByName("num").SetAsString("-42");
    t.FieldByName("stamp").SetAsString("2024-02-29 13:45:10");
    t.FieldByName("day").SetAsString("1999-12-31");
    t.FieldByName("clock").SetAsString("08:09:10");
    t.Post();
    EXPECT_EQ(t.FieldByName("big").AsLargeInt(), int64_t(1) << 40);
    EXPECT_DOUBLE_EQ(t.FieldByName("ratio").AsFloat(), 0.1);
    EXPECT_TRUE(t.FieldByName("flag").AsBoolean());
    EXPECT_EQ(t.FieldByName("flag").AsString(), "True");
    EXPECT_EQ(t.FieldByName("num").AsInteger(), -42);
    EXPECT_EQ(t.FieldByName("stamp").AsString(), "2024-02-29 13:45:10");
    EXPECT_EQ(t.FieldByName("day").AsString(), "1999-12-31");
    EXPECT_EQ(t.FieldByName("clock").AsString(), "08:09:10");
    // 30 December 1899 is day 0 of the caller's date-time.
    EXPECT_DOUBLE_EQ(t.FieldByName("day").AsDateTime(), 36525.0);
    EXPECT_EQ(ErrorOf([&] {
                  t.Edit();
                  t.FieldByName("day").SetAsString("2023-02-30");
              }),
              "'2023-02-30' is not a valid date and time");
}

TEST_F(CursorTest, NewRecordDatesStartAtThePresent) {
    TStoreTable t;
    OpenOn(t, "items");
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    t.Append();
    t.Post();
    int32_t today = DateToDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    // The day may have turned between the two clock readings.
    double day = t.FieldByName("day").AsDateTime() + kDateDelta;
    EXPECT_TRUE(day == today || day == today + 1);
    EXPECT_NEAR(t.FieldByName("stamp").AsDateTime(), NowDateTime(), 1.0 / 24);
}

TEST_F(CursorTest, BookmarksGoBackAndFailForDeletedRecords) {
    AddItems({{"a", 1}, {"b", 2}, {"c", 3}});
    TStoreTable t;
    OpenOn(t, "items");
    t.Next();
    TStoreBookmark b = t.GetBookmark();
    t.Last();
    TStoreBookmark c = t.GetBookmark();
    EXPECT_LT(t.CompareBookmarks(b, c), 0);
    t.GotoBookmark(b);
    EXPECT_EQ(t.FieldByName("name").AsString(), "b");
    t.Delete();
    EXPECT_EQ(ErrorOf([&] { t.GotoBookmark(b); }), "Bookmark not found");
}

TEST_F(CursorTest, RefreshShowsRecordsAddedThroughAnotherCursor) {
    AddItems({{"a", 1}});
    TStoreTable reader, writer;
    OpenOn(reader, "items");
    OpenOn(writer, "items");
    writer.Append();
    writer.FieldByName("name").SetAsString("b");
    writer.Post();
    EXPECT_EQ(reader.RecordCount(), 1);
    reader.Refresh();
    EXPECT_EQ(reader.RecordCount(), 2);
    EXPECT_EQ(reader.FieldByName("name").AsString(), "a");
}

TEST_F(CursorTest, EmptyTableRemovesEveryRecordAndRestartsTheCounter) {
    AddItems({{"a", 1}, {"b", 2}});
    TStoreTable t;
    OpenOn(t, "items");
    t.Edit();
    t.FieldByName("name").SetAsString("pending");
    t.EmptyTable();
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_TRUE(t.Eof());
    t.Append();
    t.Post();
    EXPECT_EQ(t.FieldByName("key").AsInteger(), 1);
}

TEST_F(CursorTest, ReadOnlyCursorRefusesChanges) {
    AddItems({{"a", 1}});
    TStoreTable t;
    t.SetReadOnly(true);
    OpenOn(t, "items");
    EXPECT_EQ(ErrorOf([&] { t.Append(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { t.Edit(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { t.Delete(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { t.SetTableName("x"); }),
              "Cannot perform this operation on an open dataset");
    EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(CursorTest, FieldsAndTablesAreFoundWithoutRegardToCase) {
    TStoreTable t;
    OpenOn(t, "ITEMS");
    EXPECT_EQ(t.FieldByName("NaMe").FieldName(), "name");
    EXPECT_EQ(ErrorOf([&] { t.FieldByName("nope"); }), "Field 'nope' not found");
    TStoreTable missing;
    EXPECT_EQ(ErrorOf([&] { OpenOn(missing, "nothing"); }), "Table 'nothing' not found");
    EXPECT_FALSE(missing.Active());
}

TEST_F(CursorTest, OpenAndCloseTwiceDoNothing) {
    TStoreTable t;
    OpenOn(t, "items");
    t.Open();
    EXPECT_TRUE(t.Active());
    t.Close();
    t.Close();
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(ErrorOf([&] { t.First(); }), "Cannot perform this operation on a closed dataset");
}

TEST_F(CursorTest, BlobStreamWritesAndReadsFieldContent) {
    TStoreTable t;
    OpenOn(t, "items");
    t.Append();
    std::string bytes(100000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    {
        TStoreBlobStream out(t.FieldByName("data"), TBlobStreamMode::Write);
        out.Write(bytes.data(), 60000);
        out.Write(bytes.data() + 60000, bytes.size() - 60000);
    }
    t.FieldByName("note").SetAsString(std::string(5000, 'm'));
    t.Post();
    t.Close();
    OpenOn(t, "items");
    TStoreBlobStream in(t.FieldByName("data"), TBlobStreamMode::Read);
    EXPECT_EQ(in.Size(), static_cast<int64_t>(bytes.size()));
    std::string back(bytes.size(), '\0');
    EXPECT_EQ(in.Read(back.data(), back.size()), bytes.size());
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(t.FieldByName("note").AsString(), std::string(5000, 'm'));
    EXPECT_EQ(ErrorOf([&] { TStoreBlobStream bad(t.FieldByName("num"), TBlobStreamMode::Read); }),
              "Field 'num' is not a blob field");
    EXPECT_EQ(ErrorOf([&] { TStoreBlobStream w(t.FieldByName("data"), TBlobStreamMode::Write); }),
              "Dataset not in edit or insert mode");
}

TEST(CursorPost, FailedPostKeepsTheRecordBeingEdited) {
    cursortest::TempFolder folder;
    TStoreFileDef def;
    TTableDef& t = def.tables.emplace_back();
    t.name = "names";
    t.fields = {{"name", ftString, 20}};
    t.indexes = {{"unique", tiUnique, {"name"}}};
    std::string path = folder.File("unique.dat");
    CreateStoreFile(path, def);
    TStoreTable c;
    c.SetDatabaseName(path);
    c.SetTableName("names");
    c.Open();
    c.Append();
    c.FieldByName("name").SetAsString("taken");
    c.Post();
    c.Append();
    c.FieldByName("name").SetAsString("taken");
    EXPECT_EQ(ErrorOf([&] { c.Post(); }), "Invalid unique field value 'taken'");
    EXPECT_EQ(c.State(), TDataSetState::Insert);
    c.FieldByName("name").SetAsString("free");
    c.Post();
    EXPECT_EQ(c.State(), TDataSetState::Browse);
    EXPECT_EQ(c.RecordCount(), 2);
    EXPECT_EQ(c.FieldByName("name").AsString(), "free");
}
