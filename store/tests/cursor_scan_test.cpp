// A cursor moving through its list reads records ahead under one lock; these cases hold it to
// the results of reading each record on its own at the moment it is asked for.

#include "cursor_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace store;
using cursortest::CursorTest;

namespace {

// Runs body in a child process and returns whether it ended without an exception.
template <typename Body> bool inChildProcess(Body body) {
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        int status = 1;
        try {
            body();
            status = 0;
        } catch (...) {
        }
        _exit(status);
    }
    int status = -1;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> namesFromHere(TStoreTable& t, bool forward) {
    std::vector<std::string> names;
    while (forward ? !t.Eof() : !t.Bof()) {
        names.push_back(t.FieldByName("name").AsString());
        forward ? t.Next() : t.Prior();
    }
    return names;
}

} // namespace

TEST_F(CursorTest, ScanSeesAChangeMadeByAnotherProcessAfterItStarted) {
    AddItems({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}, {"f", 6}, {"g", 7}, {"h", 8}});
    TStoreTable t;
    OpenOn(t, "items");
    // Far enough into the scan that the records behind the current one were read already.
    t.First();
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(t.FieldByName("name").AsString().empty());
        t.Next();
    }
    ASSERT_EQ(t.FieldByName("name").AsString(), "d");

    ASSERT_TRUE(inChildProcess([&] {
        TStoreTable writer;
        writer.SetDatabaseName(path);
        writer.SetTableName("items");
        writer.Open();
        writer.SetRecNo(5);
        writer.Edit();
        writer.FieldByName("name").SetAsString("changed");
        writer.FieldByName("num").SetAsInteger(50);
        writer.Post();
        writer.SetRecNo(4);
        writer.Delete();
        writer.Close();
    }));

    // The current record was read before the change and stays as read until the cursor moves.
    EXPECT_EQ(t.FieldByName("name").AsString(), "d");
    t.Next();
    EXPECT_EQ(t.FieldByName("name").AsString(), "changed");
    EXPECT_EQ(t.FieldByName("num").AsInteger(), 50);
    t.Next();
    EXPECT_EQ(t.FieldByName("name").AsString(), "f");
    t.Close();
}

TEST_F(CursorTest, ScanSeesChangesOfAnotherCursorOfThisProcess) {
    AddItems({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}, {"f", 6}});
    TStoreTable reader, writer;
    OpenOn(reader, "items");
    OpenOn(writer, "items");
    reader.First();
    reader.Next();
    ASSERT_EQ(reader.FieldByName("name").AsString(), "b");

    writer.SetRecNo(3);
    writer.Edit();
    writer.FieldByName("name").SetAsString("C");
    writer.Post();

    reader.Next();
    EXPECT_EQ(reader.FieldByName("name").AsString(), "C");

    // A change through the reading cursor itself shows when it comes back to the record.
    reader.Edit();
    reader.FieldByName("name").SetAsString("CC");
    reader.Post();
    reader.First();
    EXPECT_EQ(namesFromHere(reader, true),
              (std::vector<std::string>{"a", "b", "CC", "d", "e", "f"}));
}

TEST_F(CursorTest, ScansInBothDirectionsAndJumpsReadTheRightRecords) {
    AddItems({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}, {"f", 6}, {"g", 7}});
    TStoreTable t;
    OpenOn(t, "items");
    t.First();
    EXPECT_EQ(namesFromHere(t, true),
              (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g"}));
    t.Last();
    EXPECT_EQ(namesFromHere(t, false),
              (std::vector<std::string>{"g", "f", "e", "d", "c", "b", "a"}));

    t.SetRecNo(6);
    EXPECT_EQ(t.FieldByName("name").AsString(), "f");
    t.SetRecNo(2);
    EXPECT_EQ(t.FieldByName("name").AsString(), "b");
    t.Next();
    EXPECT_EQ(t.FieldByName("name").AsString(), "c");
    t.Prior();
    t.Prior();
    EXPECT_EQ(t.FieldByName("name").AsString(), "a");
    EXPECT_TRUE(t.Locate("num", "5"));
    EXPECT_EQ(t.FieldByName("name").AsString(), "e");
    t.Next();
    EXPECT_EQ(t.FieldByName("name").AsString(), "f");

    // In key order of an index the same holds for the index's list.
    TStoreTable ordered;
    OpenOn(ordered, "ordered", "bynum");
    for (int num : {30, 10, 20}) {
        ordered.Append();
        ordered.FieldByName("num").SetAsInteger(num);
        ordered.Post();
    }
    std::vector<int> seen;
    for (ordered.First(); !ordered.Eof(); ordered.Next())
        seen.push_back(ordered.FieldByName("num").AsInteger());
    EXPECT_EQ(seen, (std::vector<int>{10, 20, 30}));
}

TEST_F(CursorTest, FieldsByNameInAnyLetterCaseAndOrder) {
    AddItems({{"a", 1}, {"b", 2}});
    TStoreTable t;
    OpenOn(t, "items");
    for (t.First(); !t.Eof(); t.Next()) {
        // The same names in changing order and case, as different parts of a program ask.
        EXPECT_EQ(t.FieldByName("NUM").AsInteger(), t.RecNo());
        EXPECT_EQ(&t.FieldByName("name"), &t.FieldByName("Name"));
        EXPECT_EQ(t.FieldByName("num").AsInteger(), t.RecNo());
        EXPECT_EQ(t.FieldByName("name").AsString(), t.RecNo() == 1 ? "a" : "b");
    }
    EXPECT_EQ(t.FindField("missing"), nullptr);
    EXPECT_THROW(t.FieldByName("missing"), EStoreError);
    // A cursor opened again on another table looks its names up afresh.
    t.Close();
    OpenOn(t, "ordered");
    EXPECT_EQ(t.FieldByName("name").Index(), 2);
    EXPECT_EQ(t.FindField("flag"), nullptr);
}

TEST_F(CursorTest, MemosReadWithTheirRecordsStayTrueToTheFile) {
    // Empty, small and large memos and blobs; the large ones are read when asked for.
    const std::string large(20000, 'L');
    const std::vector<std::string> notes = {"", "short", large, "x", std::string(300, 's')};
    {
        TStoreTable t;
        OpenOn(t, "items");
        for (size_t i = 0; i < notes.size(); ++i) {
            t.Append();
            t.FieldByName("name").SetAsString("r" + std::to_string(i));
            t.FieldByName("note").SetAsString(notes[i]);
            t.FieldByName("data").SetAsString(notes[notes.size() - 1 - i]);
            t.Post();
        }
    }
    TStoreTable t;
    OpenOn(t, "items");
    t.First();
    ASSERT_EQ(t.FieldByName("note").AsString(), "");
    t.Next();
    // Records behind this one, with their memos, were read ahead: a change by another process
    // is seen all the same, and the memo left alone by an edit of another field keeps its text.
    ASSERT_TRUE(inChildProcess([&] {
        TStoreTable writer;
        OpenOn(writer, "items");
        writer.SetRecNo(3);
        writer.Edit();
        writer.FieldByName("note").SetAsString("changed elsewhere");
        writer.Post();
    }));
    std::vector<std::string> seen, data;
    for (; !t.Eof(); t.Next()) {
        seen.push_back(t.FieldByName("note").AsString());
        data.push_back(t.FieldByName("data").AsString());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"short", "changed elsewhere", "x", notes[4]}));
    EXPECT_EQ(data, (std::vector<std::string>{notes[3], large, "short", ""}));

    t.First();
    t.Next();
    t.Edit();
    t.FieldByName("num").SetAsInteger(7);
    t.Post();
    t.First();
    t.Next();
    EXPECT_EQ(t.FieldByName("note").AsString(), "short");
    EXPECT_EQ(t.FieldByName("data").AsString(), notes[3]);
}
