// Record operations on compressed and encrypted store files, and the CRC-32 verification of
// written blobs.

#include "store/crypt/digest_text.h"
#include "store/store_error.h"
#include "store_test_support.h"

#include <random>

namespace store::test {
namespace {

class StoreCodec : public TempDirTest {
protected:
    TStoreFileDef Def(bool compress, bool encrypt) {
        TStoreFileDef def;
        def.options.compressBlobs = compress;
        def.options.encrypt = encrypt;
        def.options.encryptAlgorithm = encrypt ? "Blowfish" : "";
        def.options.encryptMode = 1;
        def.options.passwordHash = encrypt ? passwordHashText("secret") : "";
        def.tables.push_back({"t",
                              {{"name", ftString, 20},
                               {"clear", ftString, 20, 1},
                               {"num", ftInteger},
                               {"data", ftBlob}},
                              {{"byname", 0, {"name"}}}});
        return def;
    }
    int32_t DataOffset(TStoreTableIO& t, int pos) {
        return t.List(0)[static_cast<size_t>(pos)].dataOffset;
    }
    std::array<int32_t, 3> Descriptor(TStoreTableIO& t, int pos) {
        auto b = ReadAll(Path("c.dat"));
        size_t at = static_cast<size_t>(DataOffset(t, pos) + t.Layout().offsets[3]);
        return {I32At(b, at), I32At(b, at + 4), I32At(b, at + 8)};
    }
};

TEST_F(StoreCodec, CompressedBlobsAreStoredInChunks) {
    CreateStoreFile(Path("c.dat"), Def(true, false));
    auto f = TStoreFileIO::Open(Path("c.dat"));
    TStoreTableIO& t = f->Table(0);
    t.Open();
    std::string random(65536, '\0');
    std::mt19937 rng(1);
    for (char& c : random)
        c = static_cast<char>(rng());
    TRecordBuffer r = t.NewRecord();
    r.SetBlob(3, random);
    t.AppendRecord(r);
    r.SetBlob(3, std::string(100000, '\0'));
    t.AppendRecord(r);
    r.SetBlob(3, "");
    t.AppendRecord(r);
    auto b = ReadAll(Path("c.dat"));
    auto d0 = Descriptor(t, 0);
    EXPECT_EQ(d0[1], 65540);
    EXPECT_EQ(I32At(b, static_cast<size_t>(d0[0])), -65536);
    auto d1 = Descriptor(t, 1);
    int32_t first = I32At(b, static_cast<size_t>(d1[0]));
    EXPECT_GT(first, 0);
    EXPECT_GT(I32At(b, static_cast<size_t>(d1[0] + 4 + first)), 0);
    EXPECT_LT(d1[1], 2000);
    auto d2 = Descriptor(t, 2);
    EXPECT_EQ(d2[1], 0);
    EXPECT_EQ(d2[2], 64);
    t.Release();
    auto g = TStoreFileIO::Open(Path("c.dat"));
    TStoreTableIO& u = g->Table(0);
    u.Open();
    TRecordBuffer back = u.NewRecord();
    u.ReadRecord(0, 0, back);
    u.LoadBlob(back, 3);
    EXPECT_EQ(back.GetBlob(3), random);
    u.ReadRecord(0, 1, back);
    u.LoadBlob(back, 3);
    EXPECT_EQ(back.GetBlob(3), std::string(100000, '\0'));
    u.Release();
}

TEST_F(StoreCodec, EncryptedFileNeedsThePasswordAndKeepsUnprocessedFieldsClear) {
    CreateStoreFile(Path("c.dat"), Def(true, true));
    {
        auto f = TStoreFileIO::Open(Path("c.dat"));
        EXPECT_FALSE(f->AccessGranted());
        EXPECT_FALSE(f->TryPassword("wrong"));
        EXPECT_TRUE(f->TryPassword("secret"));
        EXPECT_TRUE(f->AccessGranted());
        TStoreTableIO& t = f->Table(0);
        t.Open();
        TRecordBuffer r = t.NewRecord();
        for (const char* name : {"walnut", "almond", "walnut"}) {
            r.SetText(0, name);
            r.SetText(1, std::string("visible-") + name);
            r.SetInteger(2, 42);
            r.SetBlob(3, std::string(3000, 'z') + name);
            t.AppendRecord(r);
        }
        r.SetBlob(3, "");
        t.AppendRecord(r);
        auto b = ReadAll(Path("c.dat"));
        std::string bytes(b.begin(), b.end());
        auto count = [&](const std::string& what) {
            int n = 0;
            for (size_t at = bytes.find(what); at != std::string::npos;
                 at = bytes.find(what, at + 1))
                ++n;
            return n;
        };
        // The processed name is only found inside the clear field's "visible-..." text.
        EXPECT_EQ(count("visible-walnut"), 3);
        EXPECT_EQ(count("walnut"), 3);
        EXPECT_EQ(count("almond"), 1);
        const int nameSize = 21;
        EXPECT_TRUE(std::equal(b.begin() + DataOffset(t, 0),
                               b.begin() + DataOffset(t, 0) + nameSize,
                               b.begin() + DataOffset(t, 2)));
        EXPECT_EQ(Descriptor(t, 3)[1], 0);
        EXPECT_EQ(Descriptor(t, 3)[2], 64);
        EXPECT_EQ(Names(t, 1), (std::vector<std::string>{"almond", "walnut", "walnut", "walnut"}));
        t.Release();
    }
    auto f = TStoreFileIO::Open(Path("c.dat"));
    TStoreTableIO& t = f->Table(0);
    t.Open();
    TRecordBuffer r = t.NewRecord();
    EXPECT_THROW(t.ReadRecord(0, 0, r), EStoreError); // no key yet
    ASSERT_TRUE(f->TryPassword("secret"));
    t.ReadRecord(0, 1, r);
    EXPECT_EQ(r.GetText(0), "almond");
    EXPECT_EQ(r.GetText(1), "visible-almond");
    EXPECT_EQ(r.GetInteger(2), 42);
    t.LoadBlob(r, 3);
    EXPECT_EQ(r.GetBlob(3), std::string(3000, 'z') + "almond");
    r.SetText(0, "zucchini");
    r.SetBlob(3, "short");
    t.ModifyRecord(1, r);
    EXPECT_EQ(Names(t, 1).back(), "zucchini");
    t.Release();
}

TEST_F(StoreCodec, UnknownAlgorithmFailsTheOpen) {
    TStoreFileDef def = Def(true, false);
    def.options.compressAlgorithm = "XYZ";
    CreateStoreFile(Path("c.dat"), def);
    try {
        TStoreFileIO::Open(Path("c.dat"));
        FAIL();
    } catch (const EStoreError& e) {
        EXPECT_STREQ(e.what(), "Compression algorithm module 'XYZ' not found");
    }
}

// A memory medium that damages the bytes of chosen writes, as a failing disk would.
class CorruptingStream : public TMemoryStream {
public:
    void WriteAt(int64_t offset, const void* data, size_t len) override {
        std::string bytes(static_cast<const char*>(data), len);
        size_t at = bytes.find("PAYLOAD");
        if (at != std::string::npos && corruptLeft > 0) {
            --corruptLeft;
            bytes[at + 3] ^= 0x20;
        }
        TMemoryStream::WriteAt(offset, bytes.data(), bytes.size());
    }
    int corruptLeft = 0;
};

TEST_F(StoreCodec, CrcVerificationRewritesThenGivesUpClearly) {
    TStoreFileDef def = Def(false, false);
    def.options.verifyCrc = true;
    auto stream = std::make_shared<CorruptingStream>();
    stream->Assign(CreateStoreImage(def));
    auto f = TStoreFileIO::Open(stream);
    TStoreTableIO& t = f->Table(0);
    t.Open();
    TRecordBuffer r = t.NewRecord();
    r.SetText(0, "once");
    r.SetBlob(3, "the PAYLOAD bytes");
    stream->corruptLeft = 1;
    t.AppendRecord(r);
    TRecordBuffer back = t.NewRecord();
    t.ReadRecord(0, 0, back);
    t.LoadBlob(back, 3);
    EXPECT_EQ(back.GetBlob(3), "the PAYLOAD bytes");

    stream->corruptLeft = 1000;
    r.SetText(0, "never");
    try {
        t.AppendRecord(r);
        FAIL() << "a blob that never reads back right was accepted";
    } catch (const EStoreError& e) {
        EXPECT_STREQ(e.what(),
                     "The value of field 'data' could not be stored: it read back wrong 3 times");
    }
    EXPECT_FALSE(f->Locked());
    EXPECT_EQ(stream->corruptLeft, 1000 - 3);
    stream->corruptLeft = 0;
    EXPECT_EQ(t.List(0).size(), 1u);
    r.SetText(0, "later");
    t.AppendRecord(r);
    EXPECT_EQ(Names(t, 0), (std::vector<std::string>{"once", "later"}));
    t.Release();
}

} // namespace
} // namespace store::test
