// Index order in memory and as link chains on disk, unique keys, case-insensitive and
// descending keys, and key searches.

#include "store/store_error.h"
#include "table_fixture.h"

namespace store::test {
namespace {

class StoreIndex : public ItemsTableTest {
protected:
    void Make(std::vector<TIndexDef> indexes) {
        CreateStoreFile(Path("a.dat"), ItemsDef(std::move(indexes)));
        Reopen();
    }
    int32_t Append(const std::string& name, int32_t num = 0) {
        TRecordBuffer r = table_->NewRecord();
        r.SetText(1, name);
        r.SetInteger(2, num);
        return table_->AppendRecord(r);
    }
    std::vector<int32_t> Nums(int list) {
        std::vector<int32_t> out;
        TRecordBuffer r = table_->NewRecord();
        for (int i = 0; i < static_cast<int>(table_->List(list).size()); ++i) {
            table_->ReadRecord(list, i, r);
            out.push_back(r.GetInteger(2));
        }
        return out;
    }
    // (start slot, next of each slot) as stored for index k.
    std::pair<int32_t, std::vector<int32_t>> Chain(int k) {
        auto b = ReadAll(Path("a.dat"));
        size_t entry = kFirstTable + 4181 + static_cast<size_t>(k) * 78;
        int32_t link = I32At(b, entry + 66);
        std::vector<int32_t> next;
        for (int32_t n = 0; n < I32At(b, kFirstTable + 37); ++n) {
            EXPECT_EQ(I32At(b, static_cast<size_t>(link) + 4 + static_cast<size_t>(n) * 8), n);
            next.push_back(I32At(b, static_cast<size_t>(link) + 8 + static_cast<size_t>(n) * 8));
        }
        return {I32At(b, entry + 70), next};
    }
};

TEST_F(StoreIndex, AscendingChainOnDisk) {
    Make({{"bynum", 0, {"num"}}});
    Append("five", 5);
    Append("three", 3);
    Append("four", 4);
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{3, 4, 5}));
    auto [start, next] = Chain(0);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(next, (std::vector<int32_t>{-1, 2, 0}));
    Reopen();
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(Nums(0), (std::vector<int32_t>{5, 3, 4}));
}

TEST_F(StoreIndex, DescendingChainOnDisk) {
    Make({{"bynum", tiDescending, {"num"}}});
    Append("five", 5);
    Append("three", 3);
    Append("four", 4);
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{5, 4, 3}));
    auto [start, next] = Chain(0);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(next, (std::vector<int32_t>{2, -1, 1}));
    Reopen();
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{5, 4, 3}));
}

TEST_F(StoreIndex, UniqueClashWritesNothingPlainIndexAcceptsEquals) {
    Make({{"byname", tiUnique, {"name"}}, {"bynum", 0, {"num"}}});
    Append("alpha", 1);
    Append("beta", 2);
    auto before = ReadAll(Path("a.dat"));
    try {
        Append("alpha", 2);
        FAIL() << "no clash";
    } catch (const EStoreError& e) {
        EXPECT_STREQ(e.what(), "Invalid unique field value 'alpha'");
    }
    EXPECT_EQ(ReadAll(Path("a.dat")), before);
    EXPECT_FALSE(file_->Locked());
    EXPECT_EQ(table_->RecordTotal(), 2);
    Append("gamma", 2);
    EXPECT_EQ(Nums(2), (std::vector<int32_t>{1, 2, 2}));
    Reopen();
    EXPECT_EQ(Names(*table_, 1), (std::vector<std::string>{"alpha", "beta", "gamma"}));
    EXPECT_EQ(table_->AutoIncCounter(), 3); // the refused append took no number
}

TEST_F(StoreIndex, CaseInsensitiveKeysAreEqual) {
    Make({{"byname", tiUnique | tiCaseInsensitive, {"name"}}});
    Append("Beta");
    Append("alpha");
    EXPECT_EQ(Names(*table_, 1), (std::vector<std::string>{"alpha", "Beta"}));
    EXPECT_THROW(Append("BETA"), EStoreError);
    TRecordBuffer key = table_->NewRecord();
    key.SetText(1, "ALPHA");
    EXPECT_EQ(table_->FindKey(0, key), 0);
}

TEST_F(StoreIndex, ModifyMovesTheRecordOnlyWhenItsKeyPositionChanges) {
    Make({{"bynum", 0, {"num"}}});
    Append("a", 10);
    Append("b", 20);
    Append("c", 30);
    auto before = ReadAll(Path("a.dat"));
    auto chainBefore = Chain(0);
    TRecordBuffer r = table_->NewRecord();
    table_->ReadRecord(0, 1, r);
    r.SetInteger(2, 25); // still between 10 and 30
    std::vector<std::tuple<int, int, int>> moves;
    auto note = [&](int k, int from, int to) { moves.emplace_back(k, from, to); };
    table_->ModifyRecord(1, r, note);
    EXPECT_TRUE(moves.empty());
    EXPECT_EQ(Chain(0), chainBefore);
    // First to last: start slot and two link items change.
    table_->ReadRecord(0, 0, r);
    r.SetInteger(2, 99);
    table_->ModifyRecord(0, r, note);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_tuple(0, 0, 2));
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{25, 30, 99}));
    auto [start, next] = Chain(0);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(next, (std::vector<int32_t>{-1, 2, 0}));
    Reopen();
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{25, 30, 99}));
    (void)before;
}

TEST_F(StoreIndex, ModifyToAClashingKeyIsRefusedButItsOwnKeyIsFine) {
    Make({{"byname", tiPrimary, {"name"}}});
    Append("a", 1);
    Append("b", 2);
    TRecordBuffer r = table_->NewRecord();
    table_->ReadRecord(0, 1, r);
    r.SetInteger(2, 5);
    EXPECT_NO_THROW(table_->ModifyRecord(1, r));
    r.SetText(1, "a");
    EXPECT_THROW(table_->ModifyRecord(1, r), EStoreError);
    Reopen();
    EXPECT_EQ(Names(*table_, 1), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{1, 5}));
}

TEST_F(StoreIndex, DeletedFirstRecordStaysInTheChainButNotInTheOrder) {
    Make({{"bynum", 0, {"num"}}});
    Append("b", 2);
    Append("a", 1);
    Append("c", 3);
    table_->DeleteRecord(1);
    EXPECT_EQ(Chain(0).first, 1);
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{2, 3}));
    Reopen();
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{2, 3}));
    Append("z", 0);
    Append("m", 2);
    Reopen();
    EXPECT_EQ(Nums(1), (std::vector<int32_t>{0, 2, 2, 3}));
}

TEST_F(StoreIndex, ManyRecordsAcrossLinkBlocksStaySorted) {
    Make({{"byname", 0, {"name"}}, {"bynum", tiDescending, {"num", "name"}}});
    std::vector<std::string> names;
    for (int i = 0; i < 2500; ++i) {
        int v = static_cast<int>((static_cast<unsigned>(i) * 7919u) % 2500u);
        char buf[16];
        std::snprintf(buf, sizeof buf, "n%05d", v);
        Append(buf, v % 50);
        names.push_back(buf);
    }
    for (int i = 0; i < 2500; i += 7)
        table_->DeleteRecord(i);
    Reopen();
    auto sorted = Names(*table_, 1);
    EXPECT_EQ(sorted.size(), table_->List(0).size());
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    auto nums = Nums(2);
    EXPECT_TRUE(std::is_sorted(nums.rbegin(), nums.rend()));
}

TEST_F(StoreIndex, RangeBoundsAndSearches) {
    Make({{"bynum", 0, {"num", "name"}}});
    for (int v : {5, 1, 3, 3, 9, 7})
        Append("x" + std::to_string(v), v);
    TRecordBuffer key = table_->NewRecord();
    key.SetInteger(2, 3);
    EXPECT_EQ(table_->LowerBound(0, key, 1), 1);
    EXPECT_EQ(table_->UpperBound(0, key, 1), 2);
    key.SetInteger(2, 4);
    EXPECT_EQ(table_->LowerBound(0, key, 1), 3);
    EXPECT_EQ(table_->UpperBound(0, key, 1), 2);
    EXPECT_EQ(table_->FindKey(0, key, 1), -1);
    key.SetInteger(2, 9);
    key.SetText(1, "x9");
    EXPECT_EQ(table_->FindKey(0, key), 5);
    EXPECT_EQ(table_->SearchKey(0, key).outcome, TSearchOutcome::Equal);
}

TEST_F(StoreIndex, TextKeysFollowTheLocaleCollation) {
    Make({{"byname", 0, {"name"}}});
    for (const char* s : {"b", "a", "c", "ab"})
        Append(s);
    auto names = Names(*table_, 1);
    std::vector<std::string> expected{"a", "ab", "b", "c"};
    EXPECT_EQ(names, expected);
}

} // namespace
} // namespace store::test
