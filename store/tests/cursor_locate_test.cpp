// Locate and Lookup on one or several fields, with and without an index, and the cursor's order
// when an index is chosen.

#include "store/tests/cursor_fixture.h"

using namespace store;
using cursortest::CursorTest;
using cursortest::ErrorOf;

namespace {

void addOrdered(TStoreTable& t, int num, const char* name) {
    t.Append();
    t.FieldByName("num").SetAsInteger(num);
    t.FieldByName("name").SetAsString(name);
    t.Post();
}

std::string names(TStoreTable& t) {
    std::string out;
    for (t.First(); !t.Eof(); t.Next())
        out += t.FieldByName("name").AsString() + " ";
    return out;
}

} // namespace

TEST_F(CursorTest, LocateFindsTheFirstExactMatchInTableOrder) {
    AddItems({{"alpha", 1}, {"beta", 2}, {"Beta", 3}, {"beta", 4}});
    TStoreTable t;
    OpenOn(t, "items");
    EXPECT_TRUE(t.Locate("name", "beta"));
    EXPECT_EQ(t.FieldByName("num").AsInteger(), 2);
    EXPECT_TRUE(t.Locate("name;num", {"beta", "4"}));
    EXPECT_EQ(t.RecNo(), 4);
    // Not found: the cursor does not move.
    EXPECT_FALSE(t.Locate("name", "bet"));
    EXPECT_FALSE(t.Locate("name;num", {"Beta", "2"}));
    EXPECT_EQ(t.RecNo(), 4);
    // A text of digits on an integer field matches that number.
    EXPECT_TRUE(t.Locate("num", "3"));
    EXPECT_EQ(t.FieldByName("name").AsString(), "Beta");
    EXPECT_EQ(ErrorOf([&] { t.Locate("nope", "x"); }), "Field 'nope' not found");
}

TEST_F(CursorTest, LocateOptionsIgnoreCaseAndMatchPartialKeys) {
    AddItems({{"alpha", 1}, {"Gamma ray", 2}});
    TStoreTable t;
    OpenOn(t, "items");
    EXPECT_FALSE(t.Locate("name", "GAMMA RAY"));
    EXPECT_TRUE(t.Locate("name", "GAMMA RAY", {.caseInsensitive = true}));
    EXPECT_EQ(t.RecNo(), 2);
    t.First();
    EXPECT_FALSE(t.Locate("name", "Gam"));
    EXPECT_TRUE(t.Locate("name", "Gam", {.partialKey = true}));
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_TRUE(t.Locate("name", "gam", {.caseInsensitive = true, .partialKey = true}));
}

TEST_F(CursorTest, LocateOnMemoFields) {
    TStoreTable t;
    OpenOn(t, "items");
    std::string longNote(5000, 'n');
    for (const std::string& note : {std::string("short"), longNote}) {
        t.Append();
        t.FieldByName("note").SetAsString(note);
        t.Post();
    }
    t.First();
    EXPECT_TRUE(t.Locate("note", longNote));
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_FALSE(t.Locate("note", "shor"));
}

TEST_F(CursorTest, LookupReturnsOtherFieldsWithoutMoving) {
    AddItems({{"alpha", 1}, {"beta", 2}});
    TStoreTable t;
    OpenOn(t, "items");
    EXPECT_EQ(t.Lookup("name", {"beta"}, "num;key"), (std::vector<std::string>{"2", "2"}));
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_TRUE(t.Lookup("name", {"gamma"}, "num").empty());
}

TEST_F(CursorTest, IndexOrderKeepsKeyOrderOnAppendAndModify) {
    TStoreTable t;
    OpenOn(t, "ordered", "bynum");
    addOrdered(t, 5, "five");
    addOrdered(t, 3, "three");
    EXPECT_EQ(t.FieldByName("name").AsString(), "three");
    EXPECT_EQ(t.RecNo(), 1);
    addOrdered(t, 4, "four");
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_EQ(t.FieldByName("id").AsInteger(), 3);
    EXPECT_EQ(names(t), "three four five ");
    // Moving a record to the end: the cursor follows it.
    t.First();
    t.Edit();
    t.FieldByName("num").SetAsInteger(9);
    t.Post();
    EXPECT_EQ(t.FieldByName("name").AsString(), "three");
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_EQ(names(t), "four five three ");
    // Physical order is still append order.
    t.SetIndexName("");
    EXPECT_EQ(names(t), "five three four ");
}

TEST_F(CursorTest, LocateThroughAnIndexAndThroughAScanAgree) {
    TStoreTable t;
    OpenOn(t, "ordered");
    for (int i = 0; i < 300; ++i)
        addOrdered(t, (i * 37) % 300, ("n" + std::to_string(i)).c_str());
    TStoreTable indexed;
    OpenOn(indexed, "ordered", "bynum");
    for (int key : {0, 1, 150, 299}) {
        ASSERT_TRUE(t.Locate("num", std::to_string(key)));
        ASSERT_TRUE(indexed.Locate("num", std::to_string(key)));
        EXPECT_EQ(t.FieldByName("id").AsInteger(), indexed.FieldByName("id").AsInteger());
        EXPECT_EQ(indexed.RecNo(), key + 1);
    }
    EXPECT_FALSE(indexed.Locate("num", "300"));
    // The case-insensitive index serves case-insensitive locates of `name` only.
    EXPECT_TRUE(indexed.Locate("name", "N17", {.caseInsensitive = true}));
    EXPECT_FALSE(indexed.Locate("name", "N17"));
    EXPECT_TRUE(indexed.Locate("name", "n17"));
}
