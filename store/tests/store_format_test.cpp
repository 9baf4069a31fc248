// The file layout written for a new store, and what opening checks and refuses.

#include "store/key_compare.h"
#include "store/store_error.h"
#include "store_test_support.h"

#include <cstring>

namespace store::test {
namespace {

class StoreFormat : public TempDirTest {};

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EStoreError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST_F(StoreFormat, NewFileHasHeaderOptionsDirectoryAndTableHeaders) {
    TStoreFileDef def = ItemsDef({{"byname", tiUnique | tiCaseInsensitive, {"name", "num"}}});
    def.tables.push_back({"second", {{"a", ftLargeint}}, {}});
    CreateStoreFile(Path("a.dat"), def);
    auto b = ReadAll(Path("a.dat"));
    ASSERT_EQ(b.size(), 3821u + 2 * 4821u);
    EXPECT_EQ(std::memcmp(b.data(),
                          "OxbrDB\0"
                          "2.0\0\0",
                          12),
              0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[2317 + 2])), "ZIP");
    EXPECT_EQ(b[2317], 0);      // compression off
    EXPECT_EQ(b[2317 + 35], 0); // encryption off
    EXPECT_EQ(I32At(b, 2789), 2);
    EXPECT_EQ(I32At(b, 2789 + 8), 3821);
    EXPECT_EQ(I32At(b, 2789 + 12), 3821 + 4821);
    const size_t h = kFirstTable;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[h])), "items");
    EXPECT_EQ(I32At(b, h + 33), 0); // no directory yet
    EXPECT_EQ(I32At(b, h + 37), 0);
    EXPECT_EQ(I32At(b, h + 45), 5);
    const size_t nameEntry = h + 49 + 43;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[nameEntry])), "name");
    EXPECT_EQ(b[nameEntry + 33], ftString);
    EXPECT_EQ(I32At(b, nameEntry + 34), 20);
    EXPECT_EQ(b[h + 49 + 4 * 43 + 33], ftBlob);
    EXPECT_EQ(I32At(b, h + 4177), 1);
    const size_t ix = h + 4181;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[ix])), "byname");
    EXPECT_EQ(b[ix + 33], tiUnique | tiCaseInsensitive);
    EXPECT_EQ(I32At(b, ix + 34), 1);
    EXPECT_EQ(I32At(b, ix + 38), 2);
    EXPECT_EQ(I32At(b, ix + 42), -1);
    EXPECT_EQ(I32At(b, ix + 66), 0);
    EXPECT_EQ(I32At(b, ix + 70), 0);
}

TEST_F(StoreFormat, CreatingRefusesAnExistingFileAndInvalidDescriptions) {
    CreateStoreFile(Path("a.dat"), ItemsDef());
    EXPECT_NE(ErrorOf([&] { CreateStoreFile(Path("a.dat"), ItemsDef()); }).find("exists"),
              std::string::npos);
    TStoreFileDef def = ItemsDef();
    def.tables[0].fields.push_back({"NAME", ftInteger});
    EXPECT_EQ(ErrorOf([&] { ValidateStoreFileDef(def); }),
              "Duplicate field name 'NAME' in table 'items'");
    def = ItemsDef({{"bad", 0, {"nosuch"}}});
    EXPECT_EQ(ErrorOf([&] { ValidateStoreFileDef(def); }),
              "Index 'bad' names an unknown field 'nosuch'");
    def = ItemsDef();
    def.tables[0].fields.push_back({"w", ftWideString, 10});
    EXPECT_EQ(ErrorOf([&] { ValidateStoreFileDef(def); }),
              "Field 'w' has a type that cannot be stored");
    def = ItemsDef();
    def.tables[0].name = std::string(33, 'x');
    EXPECT_NE(ErrorOf([&] { ValidateStoreFileDef(def); }).find("1 to 32 characters"),
              std::string::npos);
}

TEST_F(StoreFormat, OpenChecksSignatureAndVersion) {
    EXPECT_EQ(ErrorOf([&] { TStoreFileIO::Open(Path("none.dat")); }),
              "Cannot open file " + Path("none.dat"));
    CreateStoreFile(Path("a.dat"), ItemsDef());
    auto good = ReadAll(Path("a.dat"));
    auto withHeader = [&](const char* header12) {
        auto b = good;
        std::memcpy(b.data(), header12, 12);
        WriteAll(Path("b.dat"), b);
        return ErrorOf([&] { TStoreFileIO::Open(Path("b.dat")); });
    };
    std::string invalid = "Database file '" + Path("b.dat") + "' is a invalid OxbrDB";
    EXPECT_EQ(withHeader("OxbrDBx2.0\0\0"), invalid);
    EXPECT_EQ(withHeader("OxbrDC\0"
                         "2.0\0\0"),
              invalid);
    EXPECT_EQ(withHeader("OxbrDB\0"
                         "1.00\0"),
              "Version 1.00 is not compatible");
    EXPECT_EQ(withHeader("OxbrDB\0"
                         "2.00\0"),
              "Version of database file is too High");
    EXPECT_EQ(withHeader("OxbrDB\0"
                         "3\0\0\0\0"),
              "Version of database file is too High");
    EXPECT_EQ(withHeader("OxbrDB\0"
                         "1.5\0\0"),
              "(no error)");
    EXPECT_EQ(withHeader("OxbrDB\0"
                         "2.0\0\0"),
              "(no error)");
    WriteAll(Path("c.dat"), {'O', 'x'});
    EXPECT_EQ(ErrorOf([&] { TStoreFileIO::Open(Path("c.dat")); }),
              "Database file '" + Path("c.dat") + "' is a invalid OxbrDB");
}

TEST_F(StoreFormat, TablesAreFoundWithoutRegardToCase) {
    TStoreFileDef def = ItemsDef();
    def.tables.push_back({"Other", {{"a", ftInteger}}, {}});
    CreateStoreFile(Path("a.dat"), def);
    auto f = TStoreFileIO::Open(Path("a.dat"));
    ASSERT_EQ(f->TableCount(), 2);
    EXPECT_EQ(f->TableName(1), "Other");
    EXPECT_EQ(f->FindTable("ITEMS"), 0);
    EXPECT_EQ(&f->Table("other"), &f->Table(1));
    EXPECT_EQ(ErrorOf([&] { f->Table("nope"); }), "Table 'nope' not found");
    TStoreTableIO& t = f->Table("items");
    t.Open();
    EXPECT_EQ(t.Layout().FindField("NaMe"), 1);
    EXPECT_EQ(t.Layout().recordSize, 4 + 21 + 4 + 2 + 20);
    EXPECT_EQ(t.RecordTotal(), 0);
    EXPECT_TRUE(t.List(0).empty());
    t.Release();
}

TEST_F(StoreFormat, UnsupportedFieldTypeFailsToOpenTheTable) {
    CreateStoreFile(Path("a.dat"), ItemsDef());
    auto b = ReadAll(Path("a.dat"));
    b[kFirstTable + 49 + 43 + 33] = ftWideString;
    WriteAll(Path("a.dat"), b);
    auto f = TStoreFileIO::Open(Path("a.dat"));
    EXPECT_EQ(ErrorOf([&] { f->Table(0).Open(); }), "General error");
    EXPECT_EQ(f->Table(0).UseCount(), 0);
}

TEST_F(StoreFormat, MemoryMediumOpensByHandle) {
    auto mem = std::make_shared<TMemoryStream>("memory");
    mem->Assign(CreateStoreImage(ItemsDef()));
    uint32_t handle = RegisterMemoryStream(mem);
    std::string name = MemoryStreamName(handle);
    ASSERT_EQ(name[0], ':');
    {
        auto f = TStoreFileIO::Open(name);
        TStoreTableIO& t = f->Table("items");
        t.Open();
        TRecordBuffer r = t.NewRecord();
        r.SetText(1, "in memory");
        t.AppendRecord(r);
        t.Release();
    }
    auto f = TStoreFileIO::Open(name);
    f->Table(0).Open();
    EXPECT_EQ(Names(f->Table(0), 0), std::vector<std::string>{"in memory"});
    f->Table(0).Release();
    EXPECT_EQ(ErrorOf([&] { TStoreFileIO::Open(":xyz"); }), "Invalid database name ':xyz'");
    UnregisterMemoryStream(handle);
    EXPECT_EQ(ErrorOf([&] { TStoreFileIO::Open(name); }), "Invalid database name '" + name + "'");
    auto bad = std::make_shared<TMemoryStream>("bad");
    bad->Assign({'n', 'o', 'p', 'e', 0, 0, 0, 0, 0, 0, 0, 0});
    uint32_t h2 = RegisterMemoryStream(bad);
    EXPECT_NE(ErrorOf([&] { TStoreFileIO::Open(MemoryStreamName(h2)); }).find("invalid OxbrDB"),
              std::string::npos);
    UnregisterMemoryStream(h2);
}

TEST(StoreDates, DayNumbersFollowTheProlepticGregorianCalendar) {
    EXPECT_EQ(DateToDayNumber(1, 1, 1), 1);
    EXPECT_EQ(DateToDayNumber(1899, 12, 30), 693594);
    int y, m, d;
    for (int32_t day : {1, 59, 60, 693594, 730120, 738000, 3652059}) {
        DayNumberToDate(day, y, m, d);
        EXPECT_EQ(DateToDayNumber(y, m, d), day);
    }
    DayNumberToDate(693594, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 18991230);
}

} // namespace
} // namespace store::test
