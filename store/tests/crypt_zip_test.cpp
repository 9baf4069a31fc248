// The "ZIP" chunk format: edge cases of the stored form and damaged stored bytes.

#include "store/crypt/comp_algo.h"
#include "store/crypt/compress_mgr.h"
#include "store/store_error.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace store {
namespace {

std::int32_t lengthAt(const ByteVector& stored, std::size_t pos) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = (u << 8) | stored.at(pos + i);
    return static_cast<std::int32_t>(u);
}

void putLength(ByteVector& out, std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(u >> (8 * i)));
}

ByteVector randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    ByteVector out(size);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(gen());
    return out;
}

ByteVector zlibCompress(const ByteVector& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    ByteVector out(size);
    EXPECT_EQ(::compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
    out.resize(size);
    return out;
}

std::string uncompressError(const ByteVector& stored) {
    TCompAlgo_Zip zip;
    try {
        zip.decompress(stored.data(), stored.size());
    } catch (const EStoreError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(ZipChunks, IncompressibleChunkIsStoredRaw) {
    TCompAlgo_Zip zip;
    ByteVector content = randomBytes(65536, 1);
    ByteVector stored = zip.compress(content.data(), content.size());
    ASSERT_EQ(stored.size(), 65540u);
    EXPECT_EQ(lengthAt(stored, 0), -65536);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), stored.begin() + 4));
    EXPECT_EQ(zip.decompress(stored.data(), stored.size()), content);
}

TEST(ZipChunks, ZerosGiveTwoCompressedChunksOfPlainZlibStreams) {
    TCompAlgo_Zip zip;
    ByteVector content(100000, 0);
    ByteVector stored = zip.compress(content.data(), content.size());
    std::int32_t first = lengthAt(stored, 0);
    ASSERT_GT(first, 0);
    std::int32_t second = lengthAt(stored, 4 + first);
    ASSERT_GT(second, 0);
    EXPECT_EQ(stored.size(), std::size_t(8 + first + second));

    // Each chunk is an ordinary zlib stream of its part of the content.
    ByteVector out(65536);
    uLongf outSize = out.size();
    ASSERT_EQ(::uncompress(out.data(), &outSize, stored.data() + 4, first), Z_OK);
    EXPECT_EQ(outSize, 65536u);
    outSize = out.size();
    ASSERT_EQ(::uncompress(out.data(), &outSize, stored.data() + 8 + first, second), Z_OK);
    EXPECT_EQ(outSize, 100000u - 65536u);
    EXPECT_EQ(zip.decompress(stored.data(), stored.size()), content);
}

TEST(ZipChunks, EmptyContentHasNoChunk) {
    TCompAlgo_Zip zip;
    EXPECT_TRUE(zip.compress(nullptr, 0).empty());
    EXPECT_TRUE(zip.decompress(nullptr, 0).empty());
}

TEST(ZipChunks, MixedChunksRoundTrip) {
    TCompAlgo_Zip zip;
    std::string text;
    while (text.size() < 70000)
        text += "the quick brown fox jumps over the lazy dog; ";
    ByteVector content(text.begin(), text.end());
    ByteVector noise = randomBytes(65536 * 2 + 5, 2);
    content.insert(content.end(), noise.begin(), noise.end());
    for (std::size_t size : {std::size_t(1), std::size_t(65535), std::size_t(65536),
                             std::size_t(65537), content.size()}) {
        ByteVector part(content.begin(), content.begin() + size);
        ByteVector stored = zip.compress(part.data(), part.size());
        EXPECT_EQ(zip.decompress(stored.data(), stored.size()), part) << size;
    }
    ByteVector one{42};
    ByteVector stored = zip.compress(one.data(), 1);
    EXPECT_EQ(stored, (ByteVector{0xFF, 0xFF, 0xFF, 0xFF, 42})) << "one byte never shrinks";
}

TEST(ZipChunks, DamagedStoredBytesAreRefused) {
    const std::string refused = "Cannot Uncompress.";
    ByteVector chunk = zlibCompress(ByteVector(1000, 'x'));

    ByteVector tooLong;
    putLength(tooLong, static_cast<std::int32_t>(chunk.size()) + 1);
    tooLong.insert(tooLong.end(), chunk.begin(), chunk.end());
    EXPECT_EQ(uncompressError(tooLong), refused) << "length beyond the stored bytes";

    ByteVector rawPastEnd;
    putLength(rawPastEnd, -10);
    rawPastEnd.insert(rawPastEnd.end(), 9, 'r');
    EXPECT_EQ(uncompressError(rawPastEnd), refused) << "raw length beyond the stored bytes";

    ByteVector minLength;
    putLength(minLength, INT32_MIN);
    EXPECT_EQ(uncompressError(minLength), refused);

    ByteVector rawTooBig;
    putLength(rawTooBig, -65537);
    rawTooBig.insert(rawTooBig.end(), 65537, 'r');
    EXPECT_EQ(uncompressError(rawTooBig), refused) << "raw chunk beyond 65536 bytes";

    ByteVector zero;
    putLength(zero, 0);
    EXPECT_EQ(uncompressError(zero), refused);

    ByteVector stray;
    putLength(stray, -2);
    stray.insert(stray.end(), {1, 2, 3, 4});
    EXPECT_EQ(uncompressError(stray), refused) << "two bytes too few for a length field";

    ByteVector bomb;
    ByteVector big = zlibCompress(ByteVector(65537, 0));
    putLength(bomb, static_cast<std::int32_t>(big.size()));
    bomb.insert(bomb.end(), big.begin(), big.end());
    EXPECT_EQ(uncompressError(bomb), refused) << "inflates past one chunk";

    ByteVector garbage;
    putLength(garbage, 6);
    garbage.insert(garbage.end(), {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(uncompressError(garbage), refused);

    ByteVector truncated;
    putLength(truncated, static_cast<std::int32_t>(chunk.size() - 3));
    truncated.insert(truncated.end(), chunk.begin(), chunk.end() - 3);
    EXPECT_EQ(uncompressError(truncated), refused);
}

// Chunks of zeros inflate about a thousandfold: the total, not only each chunk, is bounded.
TEST(ZipChunks, ContentPastTheTotalLimitIsRefused) {
    const ByteVector zeros = zlibCompress(ByteVector(65536, 0));
    auto chunks = [&](std::size_t count) {
        ByteVector stored;
        for (std::size_t i = 0; i < count; ++i) {
            putLength(stored, static_cast<std::int32_t>(zeros.size()));
            stored.insert(stored.end(), zeros.begin(), zeros.end());
        }
        return stored;
    };
    TCompAlgo_Zip zip;
    zip.MaxContentSize = 3 * 65536;
    const ByteVector three = chunks(3);
    EXPECT_EQ(zip.decompress(three.data(), three.size()).size(), 3u * 65536);
    ByteVector past = chunks(3);
    putLength(past, -1);
    past.push_back(7);
    EXPECT_THROW(zip.decompress(past.data(), past.size()), EStoreError) << "one raw byte too many";

    // The default: 256 MiB, reached by a stored form of about a third of a megabyte.
    TCompAlgo_Zip standard;
    const ByteVector bomb = chunks(TCompAlgo_Zip::kMaxContentSize / 65536 + 1);
    EXPECT_LT(bomb.size(), 1u << 20);
    try {
        standard.decompress(bomb.data(), bomb.size());
        ADD_FAILURE() << "256 MiB passed";
    } catch (const EStoreError& e) {
        EXPECT_STREQ(e.what(), "Cannot Uncompress.");
    }
}

TEST(ZipChunks, MutatedStoredBytesNeverEscapeAsAnythingButAStoreError) {
    TCompAlgo_Zip zip;
    std::string text;
    while (text.size() < 150000)
        text += "record " + std::to_string(text.size()) + "; ";
    ByteVector content(text.begin(), text.end());
    ByteVector noise = randomBytes(3000, 3);
    content.insert(content.begin() + 70000, noise.begin(), noise.end());
    const ByteVector stored = zip.compress(content.data(), content.size());
    std::mt19937 gen(4);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        ByteVector damaged = stored;
        int flips = 1 + static_cast<int>(gen() % 4);
        for (int i = 0; i < flips; ++i) {
            // Favour the length fields, where a fault steers the reader furthest.
            std::size_t at = (round % 2 == 0) ? gen() % 8 : gen() % damaged.size();
            damaged[at] = static_cast<std::uint8_t>(gen());
        }
        if (round % 5 == 0) damaged.resize(gen() % damaged.size());
        try {
            ByteVector out = zip.decompress(damaged.data(), damaged.size());
            EXPECT_LE(out.size(), 65536u * (damaged.size() / 5 + 1));
        } catch (const EStoreError& e) {
            EXPECT_STREQ(e.what(), "Cannot Uncompress.");
            ++refused;
        }
    }
    EXPECT_GT(refused, 100);
}

TEST(CompressMgr, SelectsByNameAndReportsProgress) {
    TCompressMgr mgr;
    ByteVector content(200000, 'a');
    try {
        mgr.compress(content);
        ADD_FAILURE() << "compressed without an algorithm";
    } catch (const EStoreError& e) {
        EXPECT_STREQ(e.what(), "General error");
    }
    try {
        mgr.setAlgorithm("LZW");
        ADD_FAILURE() << "unknown name accepted";
    } catch (const EStoreError& e) {
        EXPECT_STREQ(e.what(), "Compression algorithm module 'LZW' not found");
    }
    mgr.setAlgorithm("zip");
    EXPECT_EQ(mgr.algorithm(), "zip");
    std::vector<int> packing, unpacking;
    mgr.setCompressProgress([&](int p) { packing.push_back(p); });
    mgr.setDecompressProgress([&](int p) { unpacking.push_back(p); });
    ByteVector stored = mgr.compress(content);
    EXPECT_LT(stored.size(), content.size() / 10);
    EXPECT_EQ(mgr.decompress(stored), content);
    for (const auto* seen : {&packing, &unpacking}) {
        ASSERT_GE(seen->size(), 3u);
        EXPECT_EQ(seen->front(), 0);
        EXPECT_EQ(seen->back(), 100);
        EXPECT_TRUE(std::is_sorted(seen->begin(), seen->end()));
    }
}

} // namespace
} // namespace store
