// Record operations on one table: values of every kind, the record directory, blob areas,
// the auto-increment counter, delete and empty.

#include "store/key_compare.h"
#include "store/store_error.h"
#include "table_fixture.h"

#include <filesystem>

namespace store::test {
namespace {

class StoreRecords : public ItemsTableTest {
protected:
    void SetUp() override {
        ItemsTableTest::SetUp();
        CreateStoreFile(Path("a.dat"), ItemsDef());
        Reopen();
    }
    int32_t Append(const std::string& name, int32_t num = 0, std::string blob = {}) {
        TRecordBuffer r = table_->NewRecord();
        r.SetText(1, name);
        r.SetInteger(2, num);
        r.SetBlob(4, std::move(blob));
        return table_->AppendRecord(r);
    }
    TRecordBuffer ReadSlot(int32_t slot) {
        TRecordBuffer r = table_->NewRecord();
        table_->ReadRecord(0, table_->PhysicalPosition(slot), r);
        return r;
    }
    int64_t FileSize() { return static_cast<int64_t>(std::filesystem::file_size(Path("a.dat"))); }
    std::vector<uint8_t> Bytes() { return ReadAll(Path("a.dat")); }
};

TEST_F(StoreRecords, ValuesOfEveryKindSurviveReopen) {
    TStoreFileDef def;
    def.tables.push_back({"all",
                          {{"s", ftString, 5},
                           {"si", ftSmallint},
                           {"i", ftInteger},
                           {"w", ftWord},
                           {"b", ftBoolean},
                           {"f", ftFloat},
                           {"c", ftCurrency},
                           {"d", ftDate},
                           {"t", ftTime},
                           {"dt", ftDateTime},
                           {"a", ftAutoInc},
                           {"fc", ftFixedChar, 3},
                           {"l", ftLargeint},
                           {"m", ftMemo}},
                          {}});
    CreateStoreFile(Path("all.dat"), def);
    {
        auto f = TStoreFileIO::Open(Path("all.dat"));
        TStoreTableIO& t = f->Table(0);
        t.Open();
        TRecordBuffer r = t.NewRecord();
        r.SetText(0, "abcdefgh");
        r.SetInteger(1, -1234);
        r.SetInteger(2, -7654321);
        r.SetInteger(3, 65000);
        r.SetBoolean(4, true);
        r.SetFloat(5, 3.25);
        r.SetFloat(6, 19.99);
        r.SetDate(7, 693594);
        r.SetTime(8, 45296789);
        r.SetDateTime(9, 693594.0 * 86400000 + 1000);
        r.SetText(11, "xyz");
        r.SetLargeint(12, -9000000000LL);
        r.SetBlob(13, std::string("line1\r\nline2\0end", 16));
        t.AppendRecord(r);
        t.Release();
    }
    auto f = TStoreFileIO::Open(Path("all.dat"));
    TStoreTableIO& t = f->Table(0);
    t.Open();
    TRecordBuffer r = t.NewRecord();
    t.ReadRecord(0, 0, r);
    EXPECT_EQ(r.GetText(0), "abcde"); // cut to the field size
    EXPECT_EQ(r.GetInteger(1), -1234);
    EXPECT_EQ(r.GetInteger(2), -7654321);
    EXPECT_EQ(r.GetInteger(3), 65000);
    EXPECT_TRUE(r.GetBoolean(4));
    EXPECT_DOUBLE_EQ(r.GetFloat(5), 3.25);
    EXPECT_DOUBLE_EQ(r.GetFloat(6), 19.99);
    EXPECT_EQ(r.GetDate(7), 693594);
    EXPECT_EQ(r.GetTime(8), 45296789);
    EXPECT_DOUBLE_EQ(r.GetDateTime(9), 693594.0 * 86400000 + 1000);
    EXPECT_EQ(r.GetInteger(10), 1);
    EXPECT_EQ(r.GetText(11), "xyz");
    EXPECT_EQ(r.GetLargeint(12), -9000000000LL);
    EXPECT_FALSE(r.BlobLoaded(13));
    t.LoadBlob(r, 13);
    EXPECT_EQ(r.GetBlob(13), std::string("line1\r\nline2\0end", 16));
    EXPECT_THROW(r.GetBoolean(2), EStoreError);
    t.Release();
}

TEST_F(StoreRecords, DirectoryBlocksStartAtSlots0And1024And2048) {
    const int64_t before = FileSize();
    Append("first");
    auto b = Bytes();
    const int32_t dir = I32At(b, kFirstTable + 33);
    EXPECT_EQ(dir, before);                   // the first block goes at the end of the file
    EXPECT_EQ(I32At(b, dir + 4), dir + 5124); // record right behind the block
    EXPECT_EQ(b[dir + 8], 0);
    EXPECT_EQ(I32At(b, dir), 0);
    for (int i = 1; i < 2049; ++i)
        Append("r" + std::to_string(i), i);
    b = Bytes();
    EXPECT_EQ(I32At(b, kFirstTable + 37), 2049);
    const int32_t second = I32At(b, dir);
    ASSERT_GT(second, dir);
    EXPECT_EQ(I32At(b, second + 4), second + 5124);
    const int32_t third = I32At(b, second);
    ASSERT_GT(third, second);
    EXPECT_EQ(I32At(b, third + 4), third + 5124);
    EXPECT_EQ(I32At(b, third), 0);
    // Slot 1023 sits in the first block, slot 1024 first in the second.
    EXPECT_GT(I32At(b, dir + 4 + 1023 * 5), dir);
    EXPECT_LT(I32At(b, dir + 4 + 1023 * 5), second);
    Reopen();
    EXPECT_EQ(table_->List(0).size(), 2049u);
    EXPECT_EQ(ReadSlot(1024).GetText(1), "r1024");
    EXPECT_EQ(ReadSlot(2048).GetInteger(2), 2048);
}

TEST_F(StoreRecords, DeleteKeepsTheSlotAndEmptyStartsAgainAtTheEnd) {
    Append("a");
    Append("b");
    Append("c");
    table_->DeleteRecord(1);
    EXPECT_EQ(table_->RecordTotal(), 3);
    EXPECT_EQ(Names(*table_, 0), (std::vector<std::string>{"a", "c"}));
    auto b = Bytes();
    int32_t dir = I32At(b, kFirstTable + 33);
    EXPECT_EQ(b[dir + 4 + 5 + 4], 1);
    Reopen();
    EXPECT_EQ(Names(*table_, 0), (std::vector<std::string>{"a", "c"}));
    int64_t size = FileSize();
    table_->EmptyTable();
    EXPECT_EQ(FileSize(), size);
    EXPECT_EQ(table_->RecordTotal(), 0);
    EXPECT_EQ(table_->AutoIncCounter(), 0);
    EXPECT_TRUE(table_->List(0).empty());
    b = Bytes();
    EXPECT_EQ(I32At(b, kFirstTable + 33), 0);
    EXPECT_EQ(I32At(b, kFirstTable + 37), 0);
    Append("new");
    b = Bytes();
    EXPECT_EQ(I32At(b, kFirstTable + 33), size);
    Reopen();
    EXPECT_EQ(Names(*table_, 0), std::vector<std::string>{"new"});
    EXPECT_EQ(ReadSlot(0).GetInteger(0), 1); // counter restarted
    EXPECT_THROW(table_->DeleteRecord(5), EStoreError);
}

TEST_F(StoreRecords, BlobAreasGrowIn64ByteStepsAndARewriteNeverTouchesTheOldValue) {
    Append("empty", 0, "");
    Append("b64", 0, std::string(64, 'x'));
    auto desc = [&](int32_t slot) {
        auto b = Bytes();
        int32_t data =
            table_->List(0)[static_cast<size_t>(table_->PhysicalPosition(slot))].dataOffset;
        size_t at = static_cast<size_t>(data) + table_->Layout().offsets[4];
        return std::array<int32_t, 3>{I32At(b, at), I32At(b, at + 4), I32At(b, at + 8)};
    };
    auto e = desc(0);
    EXPECT_EQ(e[1], 0);
    EXPECT_EQ(e[2], 64);
    EXPECT_EQ(e[0], table_->List(0)[0].dataOffset + table_->Layout().recordSize);
    auto d = desc(1);
    EXPECT_EQ(d[1], 64);
    EXPECT_EQ(d[2], 128);
    Append("after", 0, "tail");
    // Every rewrite goes to a fresh area at the end and leaves the old value's bytes as they
    // were: until the record points at the new area, the old value stays whole.
    TRecordBuffer r = ReadSlot(1);
    for (const std::string& value :
         {std::string(64, 'y'), std::string(128, 'z'), std::string(300, 'v')}) {
        const auto before = Bytes();
        const int64_t size = FileSize();
        r.SetBlob(4, value);
        table_->ModifyRecord(1, r);
        const auto now = desc(1);
        EXPECT_EQ(now[0], size);
        EXPECT_EQ(now[1], static_cast<int32_t>(value.size()));
        EXPECT_EQ(now[2], static_cast<int32_t>(value.size() / 64 * 64 + 64));
        const auto after = Bytes();
        EXPECT_TRUE(
            std::equal(before.begin() + d[0], before.begin() + d[0] + d[2], after.begin() + d[0]));
        d = now;
    }
    Reopen();
    TRecordBuffer back = ReadSlot(1);
    table_->LoadBlob(back, 4);
    EXPECT_EQ(back.GetBlob(4), std::string(300, 'v'));
    back = ReadSlot(2);
    table_->LoadBlob(back, 4);
    EXPECT_EQ(back.GetBlob(4), "tail");
}

TEST_F(StoreRecords, AutoIncrementCounterFollowsTheRules) {
    Append("one");
    EXPECT_EQ(ReadSlot(0).GetInteger(0), 1);
    for (int i = 0; i < 9; ++i)
        Append("more");
    EXPECT_EQ(table_->AutoIncCounter(), 10);
    TRecordBuffer r = table_->NewRecord();
    r.SetInteger(0, 500);
    table_->AppendRecord(r);
    EXPECT_EQ(table_->AutoIncCounter(), 500);
    Append("next");
    EXPECT_EQ(ReadSlot(11).GetInteger(0), 501);
    TRecordBuffer m = ReadSlot(10);
    m.SetInteger(0, 0);
    m.SetText(1, "renamed");
    table_->ModifyRecord(10, m);
    EXPECT_EQ(ReadSlot(10).GetInteger(0), 500);
    EXPECT_EQ(ReadSlot(10).GetText(1), "renamed");
    m.SetInteger(0, 900);
    table_->ModifyRecord(10, m);
    EXPECT_EQ(table_->AutoIncCounter(), 900);
    Reopen();
    EXPECT_EQ(table_->AutoIncCounter(), 900);
    EXPECT_EQ(ReadSlot(10).GetInteger(0), 900);
}

TEST_F(StoreRecords, ModifyLeavesInactiveFieldsAsStored) {
    Append("keep", 7, "blob");
    TRecordBuffer r = table_->NewRecord();
    r.SetText(1, "ignored");
    r.SetInteger(2, 99);
    r.SetActive(1, false);
    r.SetActive(4, false);
    table_->ModifyRecord(0, r);
    Reopen();
    TRecordBuffer back = ReadSlot(0);
    EXPECT_EQ(back.GetText(1), "keep");
    EXPECT_EQ(back.GetInteger(2), 99);
    table_->LoadBlob(back, 4);
    EXPECT_EQ(back.GetBlob(4), "blob");
}

TEST_F(StoreRecords, FileNeverShrinks) {
    std::vector<int64_t> sizes{FileSize()};
    for (int i = 0; i < 5; ++i)
        Append("x" + std::to_string(i), i, std::string(100, 'q'));
    sizes.push_back(FileSize());
    TRecordBuffer r = ReadSlot(2);
    r.SetBlob(4, "");
    table_->ModifyRecord(2, r);
    sizes.push_back(FileSize());
    table_->DeleteRecord(3);
    sizes.push_back(FileSize());
    table_->EmptyTable();
    sizes.push_back(FileSize());
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
}

TEST_F(StoreRecords, ReadOnlyOpenRefusesChanges) {
    Append("a");
    table_->Release();
    table_ = nullptr;
    file_ = TStoreFileIO::Open(Path("a.dat"), TStoreOpenMode{false, true});
    EXPECT_TRUE(file_->ReadOnly());
    table_ = &file_->Table(0);
    table_->Open();
    EXPECT_EQ(Names(*table_, 0), std::vector<std::string>{"a"});
    int64_t size = FileSize();
    EXPECT_THROW(Append("b"), EStoreError);
    EXPECT_THROW(table_->EmptyTable(), EStoreError);
    EXPECT_EQ(FileSize(), size);
}

} // namespace
} // namespace store::test

namespace store::test {
namespace {

class StoreTwoOpens : public TempDirTest {};

TEST_F(StoreTwoOpens, AnAppendTakesTheTableAsAnotherWriterLeftIt) {
    CreateStoreFile(Path("a.dat"), ItemsDef({{"byname", tiUnique, {"name"}}}));
    // Two opens of one file hold separate locks, as two processes would.
    auto one = TStoreFileIO::Open(Path("a.dat"));
    auto two = TStoreFileIO::Open(Path("a.dat"));
    TStoreTableIO& a = one->Table(0);
    TStoreTableIO& b = two->Table(0);
    a.Open();
    b.Open();
    TRecordBuffer ra = a.NewRecord();
    TRecordBuffer rb = b.NewRecord();
    for (int i = 0; i < 1100; ++i) {
        ra.Clear();
        ra.SetText(1, "a" + std::to_string(i));
        a.AppendRecord(ra);
        rb.Clear();
        rb.SetText(1, "b" + std::to_string(i));
        b.AppendRecord(rb);
    }
    rb.Clear();
    rb.SetText(1, "a7");
    EXPECT_THROW(b.AppendRecord(rb), EStoreError); // the other writer's key is seen
    b.DeleteRecord(0);
    ra.Clear();
    ra.SetText(1, "last");
    a.AppendRecord(ra);
    a.Release();
    b.Release();
    auto check = TStoreFileIO::Open(Path("a.dat"));
    TStoreTableIO& t = check->Table(0);
    t.Open();
    EXPECT_EQ(t.RecordTotal(), 2201);
    auto names = Names(t, 0);
    ASSERT_EQ(names.size(), 2200u);
    EXPECT_EQ(names[0], "b0");
    EXPECT_EQ(names[1], "a1");
    EXPECT_EQ(names.back(), "last");
    TRecordBuffer r = t.NewRecord();
    t.ReadRecord(0, 0, r);
    EXPECT_EQ(r.GetInteger(0), 2);
    t.ReadRecord(0, 2199, r);
    EXPECT_EQ(r.GetInteger(0), 2201);
    auto sorted = Names(t, 1);
    EXPECT_EQ(sorted.size(), 2200u);
    EXPECT_TRUE(std::is_sorted(
        sorted.begin(), sorted.end(),
        [](const std::string& x, const std::string& y) { return CompareText(x, y, false) < 0; }));
    t.Release();
}

} // namespace
} // namespace store::test

namespace store::test {
namespace {

class StoreOpenModes : public TempDirTest {};

TEST_F(StoreOpenModes, ExclusiveOpenKeepsOthersOutAndFlushAlwaysStillWrites) {
    CreateStoreFile(Path("a.dat"), ItemsDef());
    {
        auto mine = TStoreFileIO::Open(Path("a.dat"), TStoreOpenMode{true, false});
        EXPECT_THROW(TStoreFileIO::Open(Path("a.dat")), EStoreError);
        mine->SetFlushAlways(true);
        TStoreTableIO& t = mine->Table(0);
        t.Open();
        TRecordBuffer r = t.NewRecord();
        r.SetText(1, "flushed");
        t.AppendRecord(r);
        t.Release();
    }
    auto shared = TStoreFileIO::Open(Path("a.dat"));
    EXPECT_THROW(TStoreFileIO::Open(Path("a.dat"), TStoreOpenMode{true, false}), EStoreError);
    shared->Table(0).Open();
    EXPECT_EQ(Names(shared->Table(0), 0), std::vector<std::string>{"flushed"});
    shared->Table(0).Release();
}

} // namespace
} // namespace store::test
