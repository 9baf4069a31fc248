// Filters, find operations, ranges and master-detail links of the cursor.

#include "store/tests/cursor_fixture.h"

using namespace store;
using cursortest::CursorTest;
using cursortest::ErrorOf;

namespace {

std::string nums(TStoreTable& t) {
    std::string out;
    for (t.First(); !t.Eof(); t.Next())
        out += t.FieldByName("num").AsString() + " ";
    return out;
}

} // namespace

TEST_F(CursorTest, FilterNarrowsTheListWhileSwitchedOn) {
    AddItems({{"apple", 1}, {"banana", 2}, {"avocado", 3}, {"cherry", 4}});
    TStoreTable t;
    OpenOn(t, "items");
    t.SetFilter("name LIKE 'a%' OR num >= 4");
    EXPECT_EQ(t.RecordCount(), 4);
    t.SetFiltered(true);
    EXPECT_EQ(nums(t), "1 3 4 ");
    t.SetFilter("[num] IN (2, 3) AND UPPER(name) <> 'BANANA'");
    EXPECT_EQ(nums(t), "3 ");
    t.SetFilterOptions({.caseInsensitive = true});
    t.SetFilter("name = 'CHERRY'");
    EXPECT_EQ(nums(t), "4 ");
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 4);
}

TEST_F(CursorTest, FilterErrorsUseTheStoreMessagesAndKeepTheOldFilter) {
    TStoreTable t;
    OpenOn(t, "items");
    t.SetFilter("num > 1");
    EXPECT_EQ(ErrorOf([&] { t.SetFilter("name = 'x"); }), "Unterminated string constant");
    EXPECT_EQ(ErrorOf([&] { t.SetFilter("[name = 1"); }), "Unterminated field name");
    EXPECT_EQ(ErrorOf([&] { t.SetFilter("num IN ()"); }), "IN predicate list may not be empty");
    EXPECT_EQ(ErrorOf([&] { t.SetFilter("num # 1"); }), "Invalid filter expression character: '#'");
    EXPECT_EQ(t.Filter(), "num > 1");
    AddItems({{"a", 1}});
    t.Refresh();
    t.SetFilter("name > 1");
    EXPECT_EQ(ErrorOf([&] { t.SetFiltered(true); }), "Type mismatch in expression");
    // The failed switch leaves the cursor as it was.
    EXPECT_FALSE(t.Filtered());
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.FieldByName("name").AsString(), "a");
}

TEST_F(CursorTest, FilterRecordEventAndFindOperations) {
    AddItems({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}});
    TStoreTable t;
    OpenOn(t, "items");
    t.OnFilterRecord = [](TStoreTable& table) {
        return table.FieldByName("num").AsInteger() % 2 == 1;
    };
    // Find operations test the filter without narrowing the list.
    EXPECT_TRUE(t.FindFirst());
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_TRUE(t.FindNext());
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_TRUE(t.FindLast());
    EXPECT_EQ(t.RecNo(), 5);
    EXPECT_TRUE(t.FindPrior());
    EXPECT_EQ(t.RecNo(), 3);
    t.SetFilter("num > 1");
    t.SetFiltered(true);
    EXPECT_EQ(nums(t), "3 5 ");
}

TEST_F(CursorTest, RangeKeepsTheKeysBetweenItsBounds) {
    TStoreTable t;
    OpenOn(t, "ordered");
    for (int n : {7, 2, 9, 4, 4, 1}) {
        t.Append();
        t.FieldByName("num").SetAsInteger(n);
        t.Post();
    }
    EXPECT_EQ(ErrorOf([&] { t.SetRange({"2"}, {"7"}); }), "No index currently active");
    t.SetIndexName("bynum");
    t.SetRange({"2"}, {"7"});
    EXPECT_EQ(nums(t), "2 4 4 7 ");
    t.SetRange({"5"}, {"6"});
    EXPECT_EQ(t.RecordCount(), 0);
    t.CancelRange();
    EXPECT_EQ(nums(t), "1 2 4 4 7 9 ");
}

TEST_F(CursorTest, DetailFollowsItsMasterRecord) {
    AddItems({{"one", 1}, {"two", 2}, {"three", 3}});
    TStoreTable detail;
    OpenOn(detail, "ordered", "bynum");
    for (int n : {2, 1, 2, 3, 2}) {
        detail.Append();
        detail.FieldByName("num").SetAsInteger(n);
        detail.Post();
    }
    TStoreTable master;
    OpenOn(master, "items");
    detail.SetMasterFields("num");
    detail.SetMasterSource(&master);
    EXPECT_EQ(detail.RecordCount(), 1);
    master.Next();
    EXPECT_EQ(detail.RecordCount(), 3);
    EXPECT_EQ(detail.FieldByName("num").AsInteger(), 2);
    master.Last();
    EXPECT_EQ(detail.RecordCount(), 1);
    EXPECT_EQ(ErrorOf([&] { master.SetMasterSource(&detail); }),
              "Circular datalinks are not allowed");
    EXPECT_EQ(ErrorOf([&] { detail.SetMasterSource(&detail); }),
              "Circular datalinks are not allowed");
    TStoreTable physical;
    OpenOn(physical, "ordered");
    physical.SetMasterFields("num");
    EXPECT_EQ(ErrorOf([&] { physical.SetMasterSource(&master); }), "No index currently active");
    EXPECT_EQ(physical.MasterSource(), nullptr);
    EXPECT_EQ(physical.RecordCount(), 5);
    detail.SetMasterSource(nullptr);
    EXPECT_EQ(detail.RecordCount(), 5);
}
