// Damaged and hostile store files: every one gives a store error with a clear message (or is
// read soundly), never a crash, an endless loop or a read outside the file.

#include "store/store_error.h"
#include "store_test_support.h"

#include <random>

namespace store::test {
namespace {

class StoreHostile : public TempDirTest {
protected:
    // A file with one "items" table (index on name) holding n records.
    std::vector<uint8_t> Sample(int n, std::vector<TIndexDef> indexes = {{"byname", 0, {"name"}}}) {
        CreateStoreFile(Path("s.dat"), ItemsDef(std::move(indexes)));
        auto f = TStoreFileIO::Open(Path("s.dat"));
        TStoreTableIO& t = f->Table(0);
        t.Open();
        TRecordBuffer r = t.NewRecord();
        for (int i = 0; i < n; ++i) {
            r.Clear();
            r.SetText(1, "n" + std::to_string((i * 37) % 101));
            r.SetInteger(2, i);
            r.SetBlob(4, std::string(static_cast<size_t>(i % 70), 'b'));
            t.AppendRecord(r);
        }
        t.Release();
        return ReadAll(Path("s.dat"));
    }
    // Opens the bytes as a store and reads every table fully; returns the error text or "".
    std::string OpenAndReadAll(const std::vector<uint8_t>& bytes) {
        WriteAll(Path("h.dat"), bytes);
        try {
            auto f = TStoreFileIO::Open(Path("h.dat"));
            for (int i = 0; i < f->TableCount(); ++i) {
                TStoreTableIO& t = f->Table(i);
                t.Open();
                TRecordBuffer r = t.NewRecord();
                for (int l = 0; l < t.ListCount(); ++l)
                    for (int p = 0; p < static_cast<int>(t.List(l).size()); ++p) {
                        t.ReadRecord(l, p, r);
                        for (int fld = 0; fld < r.FieldCount(); ++fld)
                            if (IsBlobType(r.FieldType(fld))) t.LoadBlob(r, fld);
                    }
                t.Release();
            }
        } catch (const EStoreError& e) {
            return e.what();
        }
        return "";
    }
    std::string Damage(const std::string& what) {
        return "Database file '" + Path("h.dat") + "' is damaged: " + what;
    }
    std::string TableDamage(const std::string& what) {
        return "Table 'items' in '" + Path("h.dat") + "' is damaged: " + what;
    }
    static constexpr size_t kTh = kFirstTable;
};

TEST_F(StoreHostile, HeaderAndDirectoryDamage) {
    auto good = Sample(3);
    auto b = good;
    b.resize(100);
    EXPECT_EQ(OpenAndReadAll(b), Damage("the file is truncated"));
    b = good;
    PutI32At(b, 2789, 300);
    EXPECT_EQ(OpenAndReadAll(b), Damage("the table count is out of range"));
    PutI32At(b, 2789, -1);
    EXPECT_EQ(OpenAndReadAll(b), Damage("the table count is out of range"));
    b = good;
    PutI32At(b, 2789 + 8, static_cast<int32_t>(good.size()) - 10);
    EXPECT_EQ(OpenAndReadAll(b), Damage("a table header lies outside the file"));
    PutI32At(b, 2789 + 8, 5);
    EXPECT_EQ(OpenAndReadAll(b), Damage("a table header lies outside the file"));
}

TEST_F(StoreHostile, TableHeaderDamage) {
    auto good = Sample(3);
    auto b = good;
    PutI32At(b, kTh + 45, 97);
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("the field count is out of range"));
    b = good;
    PutI32At(b, kTh + 4177, 9);
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("the index count is out of range"));
    b = good;
    PutI32At(b, kTh + 4181 + 34, 40);
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("an index names a field that does not exist"));
    b = good;
    PutI32At(b, kTh + 37, -5);
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("the record total is negative"));
    PutI32At(b, kTh + 37, 1000000000);
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("the record total exceeds the file"));
    b = good;
    PutI32At(b, kTh + 33, static_cast<int32_t>(good.size()) - 100);
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("a record directory block lies outside the file"));
    b = good;
    PutI32At(b, kTh + 49 + 43 + 34, -3); // text size
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("a text field size is out of range"));
}

TEST_F(StoreHostile, DirectoryAndLinkBlockLoops) {
    auto good = Sample(1500);
    auto b = good;
    int32_t dir = I32At(b, kTh + 33);
    PutI32At(b, static_cast<size_t>(dir), dir); // the first block names itself as the next
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("the record directory blocks form a loop"));
    b = good;
    int32_t link = I32At(b, kTh + 4181 + 66);
    PutI32At(b, static_cast<size_t>(link), link);
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("the index link blocks form a loop"));
    b = good;
    PutI32At(b, kTh + 4181 + 66, static_cast<int32_t>(good.size()) + 4096);
    EXPECT_EQ(OpenAndReadAll(b), TableDamage("an index link block lies outside the file"));
}

TEST_F(StoreHostile, BrokenLinkChainIsRebuiltFromTheRecords) {
    auto b = Sample(50);
    int32_t link = I32At(b, kTh + 4181 + 66);
    // Item 10 points back at the start: a loop in the key chain.
    PutI32At(b, static_cast<size_t>(link) + 4 + 10 * 8 + 4, I32At(b, kTh + 4181 + 70));
    WriteAll(Path("h.dat"), b);
    auto f = TStoreFileIO::Open(Path("h.dat"));
    TStoreTableIO& t = f->Table(0);
    t.Open();
    auto names = Names(t, 1);
    EXPECT_EQ(names.size(), 50u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    // The next change writes the rebuilt chain, after which a plain reopen reads it.
    TRecordBuffer r = t.NewRecord();
    r.SetText(1, "a0");
    t.AppendRecord(r);
    t.Release();
    auto g = TStoreFileIO::Open(Path("h.dat"));
    g->Table(0).Open();
    names = Names(g->Table(0), 1);
    EXPECT_EQ(names.size(), 51u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(names.front(), "a0");
    g->Table(0).Release();
}

TEST_F(StoreHostile, RecordMissingFromTheChainIsPutBackInOrder) {
    // What a modify stopped between unlinking a record and linking it again leaves behind.
    auto b = Sample(30);
    int32_t link = I32At(b, kTh + 4181 + 66);
    int32_t start = I32At(b, kTh + 4181 + 70);
    int32_t second = I32At(b, static_cast<size_t>(link) + 4 + static_cast<size_t>(start) * 8 + 4);
    int32_t third = I32At(b, static_cast<size_t>(link) + 4 + static_cast<size_t>(second) * 8 + 4);
    PutI32At(b, static_cast<size_t>(link) + 4 + static_cast<size_t>(start) * 8 + 4, third);
    WriteAll(Path("h.dat"), b);
    auto f = TStoreFileIO::Open(Path("h.dat"));
    TStoreTableIO& t = f->Table(0);
    t.Open();
    auto names = Names(t, 1);
    EXPECT_EQ(names.size(), 30u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    t.Release();
}

TEST_F(StoreHostile, RecordsAndBlobsOutsideTheFile) {
    auto good = Sample(3);
    auto b = good;
    int32_t dir = I32At(b, kTh + 33);
    PutI32At(b, static_cast<size_t>(dir) + 4 + 5, static_cast<int32_t>(good.size()) - 3);
    WriteAll(Path("h.dat"), b);
    {
        auto f = TStoreFileIO::Open(Path("h.dat"));
        f->Table(0).Open();
        EXPECT_EQ(f->Table(0).List(0).size(), 2u); // the record that cannot be there is left out
        f->Table(0).Release();
    }
    b = good;
    int32_t rec = I32At(b, static_cast<size_t>(dir) + 4 + 5);
    const size_t blobDesc = static_cast<size_t>(rec) + 4 + 21 + 4 + 2;
    PutI32At(b, blobDesc, static_cast<int32_t>(good.size()) - 2); // offset
    PutI32At(b, blobDesc + 4, 500);                               // stored size
    PutI32At(b, blobDesc + 8, 512);
    std::string err = OpenAndReadAll(b);
    EXPECT_EQ(err,
              "Blob of field 'data' in table 'items' lies outside the file: the file is damaged");
    PutI32At(b, blobDesc + 4, -7);
    EXPECT_EQ(OpenAndReadAll(b), err);
    // Rewriting such a blob gives it a fresh area at the end instead of writing through the
    // descriptor.
    PutI32At(b, blobDesc, 100); // inside the options block
    PutI32At(b, blobDesc + 4, 10);
    PutI32At(b, blobDesc + 8, 64);
    WriteAll(Path("h.dat"), b);
    auto f = TStoreFileIO::Open(Path("h.dat"));
    TStoreTableIO& t = f->Table(0);
    t.Open();
    TRecordBuffer r = t.NewRecord();
    t.ReadRecord(0, 1, r);
    r.SetBlob(4, "fresh");
    t.ModifyRecord(t.List(0)[1].slot, r);
    auto after = ReadAll(Path("h.dat"));
    EXPECT_TRUE(std::equal(b.begin(), b.begin() + 3821, after.begin()));
    t.ReadRecord(0, 1, r);
    t.LoadBlob(r, 4);
    EXPECT_EQ(r.GetBlob(4), "fresh");
    t.Release();
}

TEST_F(StoreHostile, RandomByteDamageNeverCrashes) {
    auto good = Sample(40);
    std::mt19937 rng(7);
    int errors = 0;
    for (int round = 0; round < 400; ++round) {
        auto b = good;
        int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i) {
            // Aim most damage at the structures rather than at record bytes.
            size_t at = rng() % 3 ? 2789 + rng() % (good.size() - 2789) : rng() % good.size();
            if (rng() % 2)
                b[at] = static_cast<uint8_t>(rng());
            else
                PutI32At(b, std::min(at, b.size() - 4), static_cast<int32_t>(rng()));
        }
        if (!OpenAndReadAll(b).empty()) ++errors;
    }
    EXPECT_GT(errors, 0);
}

} // namespace
} // namespace store::test
