// Block ciphers against published vectors, the five chaining modes, and the encryption manager.

#include "store/crypt/algo_registry.h"
#include "store/crypt/block_ciphers.h"
#include "store/crypt/encrypt_mgr.h"
#include "store/crypt/sha0.h"
#include "store/store_error.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace store {
namespace {

ByteVector fromHex(const std::string& hex) {
    ByteVector out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

ByteVector encryptOne(TEncAlgo& algo, const std::string& keyHex, const std::string& plainHex) {
    ByteVector key = fromHex(keyHex);
    algo.InitKey(key.data(), key.size());
    ByteVector block = fromHex(plainHex);
    algo.encryptBlock(block.data(), block.data());
    ByteVector back(block.size());
    algo.decryptBlock(block.data(), back.data());
    EXPECT_EQ(back, fromHex(plainHex));
    return block;
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EStoreError& e) {
        return e.what();
    }
    return "(no error)";
}

ByteVector pattern(std::size_t size) {
    ByteVector out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return out;
}

TEST(BlockCiphers, BlowfishPublishedVectors) {
    TEncAlgo_Blowfish bf;
    EXPECT_EQ(encryptOne(bf, "0000000000000000", "0000000000000000"), fromHex("4EF997456198DD78"));
    EXPECT_EQ(encryptOne(bf, "FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF"), fromHex("51866FD5B85ECB8A"));
    EXPECT_EQ(encryptOne(bf, "3000000000000000", "1000000000000001"), fromHex("7D856F9A613063F2"));
    EXPECT_EQ(bf.blockSize(), 8u);
}

TEST(BlockCiphers, TwofishPublishedVectors) {
    TEncAlgo_Twofish tf;
    std::string zero16 = "00000000000000000000000000000000";
    EXPECT_EQ(encryptOne(tf, zero16, zero16), fromHex("9F589F5CF6122C32B6BFEC2F2AE8C35A"));
    EXPECT_EQ(encryptOne(tf, "0123456789ABCDEFFEDCBA98765432100011223344556677", zero16),
              fromHex("CFD1D2E5A9BE9CDF501F13B892BD2248"));
    EXPECT_EQ(
        encryptOne(tf, "0123456789ABCDEFFEDCBA987654321000112233445566778899AABBCCDDEEFF", zero16),
        fromHex("37527BE0052334B89F0CFCCAE87CFA20"));
    EXPECT_EQ(tf.blockSize(), 16u);
}

TEST(BlockCiphers, ShortKeysAreZeroPadded) {
    // The 20-byte password digest is not a native Twofish or GOST key length.
    ByteVector key20 = pattern(20);
    ByteVector key24 = key20;
    key24.resize(24, 0);
    ByteVector key32 = key20;
    key32.resize(32, 0);
    ByteVector block = pattern(16), a(16), b(16);

    TEncAlgo_Twofish tf;
    tf.InitKey(key20.data(), key20.size());
    tf.encryptBlock(block.data(), a.data());
    tf.InitKey(key24.data(), key24.size());
    tf.encryptBlock(block.data(), b.data());
    EXPECT_EQ(a, b);

    TEncAlgo_Gost gost;
    gost.InitKey(key20.data(), key20.size());
    gost.encryptBlock(block.data(), a.data());
    gost.InitKey(key32.data(), key32.size());
    gost.encryptBlock(block.data(), b.data());
    EXPECT_EQ(ByteVector(a.begin(), a.begin() + 8), ByteVector(b.begin(), b.begin() + 8));
    EXPECT_EQ(gost.blockSize(), 8u);
}

TEST(BlockCiphers, GostRoundTripsAndDependsOnKey) {
    TEncAlgo_Gost gost;
    ByteVector key = pattern(32), plain = pattern(8), c1(8), c2(8), back(8);
    gost.InitKey(key.data(), key.size());
    gost.encryptBlock(plain.data(), c1.data());
    gost.decryptBlock(c1.data(), back.data());
    EXPECT_EQ(back, plain);
    EXPECT_NE(c1, plain);
    key[31] ^= 1;
    gost.InitKey(key.data(), key.size());
    gost.encryptBlock(plain.data(), c2.data());
    EXPECT_NE(c1, c2);
}

TEST(BlockCiphers, KeyLengthAndUnkeyedErrors) {
    TEncAlgo_Blowfish bf;
    ByteVector key(57, 1);
    EXPECT_EQ(errorOf([&] { bf.InitKey(key.data(), 57); }),
              "Length from Encryptionkey is invalid.\r\nKeysize for TEncAlgo_Blowfish must be to "
              "1-56 bytes");
    EXPECT_EQ(errorOf([&] { bf.InitKey(key.data(), 0); }),
              "Length from Encryptionkey is invalid.\r\nKeysize for TEncAlgo_Blowfish must be to "
              "1-56 bytes");
    TEncAlgo_Twofish tf;
    EXPECT_EQ(errorOf([&] { tf.InitKey(key.data(), 33); }),
              "Length from Encryptionkey is invalid.\r\nKeysize for TEncAlgo_Twofish must be to "
              "1-32 bytes");
    ByteVector unit = pattern(10);
    EXPECT_EQ(errorOf([&] { tf.encryptUnit(unit.data(), unit.size()); }),
              "TEncAlgo_Twofish is not initialized call Init() or InitKey() before.");
    tf.Init("pw");
    tf.Burn();
    EXPECT_EQ(errorOf([&] { tf.decryptUnit(unit.data(), unit.size()); }),
              "TEncAlgo_Twofish is not initialized call Init() or InitKey() before.");
    EXPECT_EQ(unit, pattern(10));
}

TEST(BlockCiphers, PasswordKeyIsTheSha0Digest) {
    TEncAlgo_Blowfish a, b;
    a.Init("secret");
    Sha0Digest d = sha0("secret");
    b.InitKey(d.data(), d.size());
    ByteVector x = pattern(40), y = pattern(40);
    a.encryptUnit(x.data(), x.size());
    b.encryptUnit(y.data(), y.size());
    EXPECT_EQ(x, y);
}

std::unique_ptr<TEncAlgo> makeAlgo(int which) {
    if (which == 0) return std::make_unique<TEncAlgo_Blowfish>();
    if (which == 1) return std::make_unique<TEncAlgo_Twofish>();
    return std::make_unique<TEncAlgo_Gost>();
}

TEST(ChainingModes, EveryModeRoundTripsEveryLength) {
    for (int which = 0; which < 3; ++which) {
        auto algo = makeAlgo(which);
        algo->Init("password");
        std::size_t bs = algo->blockSize();
        for (std::uint8_t mode = 0; mode <= 4; ++mode) {
            algo->setMode(mode);
            for (std::size_t length :
                 {std::size_t(0), std::size_t(1), bs - 1, bs, bs + 1, std::size_t(1000)}) {
                ByteVector plain = pattern(length), unit = plain;
                algo->encryptUnit(unit.data(), unit.size());
                ASSERT_EQ(unit.size(), length);
                bool ecbLeavesItAlone = mode == 4 && length < bs;
                if (ecbLeavesItAlone) {
                    EXPECT_EQ(unit, plain);
                } else if (length > 0) {
                    EXPECT_NE(unit, plain) << algo->className() << " mode " << int(mode);
                }
                ByteVector again = plain;
                algo->encryptUnit(again.data(), again.size());
                EXPECT_EQ(again, unit) << "units start afresh";
                algo->decryptUnit(unit.data(), unit.size());
                EXPECT_EQ(unit, plain)
                    << algo->className() << " mode " << int(mode) << " length " << length;
            }
        }
    }
}

// Recomputes a two-block-plus-tail unit from single block encryptions, following each mode's
// definition, so the chaining is checked independently of the unit code.
TEST(ChainingModes, BlockModesFollowTheirDefinitions) {
    TEncAlgo_Blowfish bf;
    bf.Init("key");
    const std::size_t bs = 8;
    ByteVector plain = pattern(2 * bs + 3);
    ByteVector f0(bs, 0xFF);
    bf.encryptBlock(f0.data(), f0.data());

    auto xorBlock = [](ByteVector a, const std::uint8_t* b, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            a[i] ^= b[i];
        return a;
    };
    for (std::uint8_t mode : {0, 1, 4}) {
        ByteVector expected;
        ByteVector f = f0;
        for (int k = 0; k < 2; ++k) {
            ByteVector p(plain.begin() + k * bs, plain.begin() + (k + 1) * bs);
            ByteVector c = mode == 4 ? p : xorBlock(p, f.data(), bs);
            bf.encryptBlock(c.data(), c.data());
            expected.insert(expected.end(), c.begin(), c.end());
            if (mode == 0) f = xorBlock(c, f.data(), bs);
            if (mode == 1) f = c;
        }
        ByteVector tail(plain.end() - 3, plain.end());
        if (mode != 4) {
            ByteVector ef(bs);
            bf.encryptBlock(f.data(), ef.data());
            tail = xorBlock(tail, ef.data(), 3);
        }
        expected.insert(expected.end(), tail.begin(), tail.end());

        bf.setMode(mode);
        ByteVector unit = plain;
        bf.encryptUnit(unit.data(), unit.size());
        EXPECT_EQ(unit, expected) << "mode " << int(mode);
    }
}

TEST(ChainingModes, ByteModesFollowTheirDefinitions) {
    TEncAlgo_Gost gost;
    gost.Init("key");
    ByteVector plain = pattern(20);
    for (std::uint8_t mode : {2, 3}) {
        ByteVector f(8, 0xFF), e(8), expected;
        gost.encryptBlock(f.data(), f.data());
        for (std::uint8_t p : plain) {
            gost.encryptBlock(f.data(), e.data());
            std::uint8_t c = p ^ e[0];
            expected.push_back(c);
            f.erase(f.begin());
            f.push_back(mode == 2 ? c : e[0]);
        }
        gost.setMode(mode);
        ByteVector unit = plain;
        gost.encryptUnit(unit.data(), unit.size());
        EXPECT_EQ(unit, expected) << "mode " << int(mode);
    }
}

TEST(ChainingModes, EqualBlocksHideOnlyWhenChained) {
    TEncAlgo_Twofish tf;
    tf.Init("k");
    ByteVector same(32, 0x41);
    tf.setMode(4);
    ByteVector ecb = same;
    tf.encryptUnit(ecb.data(), ecb.size());
    EXPECT_TRUE(std::equal(ecb.begin(), ecb.begin() + 16, ecb.begin() + 16));
    tf.setMode(1);
    ByteVector cbc = same;
    tf.encryptUnit(cbc.data(), cbc.size());
    EXPECT_FALSE(std::equal(cbc.begin(), cbc.begin() + 16, cbc.begin() + 16));
    EXPECT_EQ(errorOf([&] { tf.setMode(5); }), "General error");
}

TEST(EncryptMgr, SelectsByNameWithoutRegardToCase) {
    TEncryptMgr mgr;
    EXPECT_FALSE(mgr.hasAlgorithm());
    EXPECT_EQ(errorOf([&] { mgr.setAlgorithm("Rot13"); }),
              "Encryption algorithm module 'Rot13' not found");
    ByteVector unit = pattern(9);
    EXPECT_EQ(errorOf([&] { mgr.encrypt(unit); }), "General error");
    EXPECT_EQ(errorOf([&] { mgr.Init("x"); }), "General error");

    mgr.setAlgorithm("blowFISH");
    EXPECT_EQ(errorOf([&] { mgr.encrypt(unit); }),
              "TEncAlgo_Blowfish is not initialized call Init() or InitKey() before.");
    mgr.Init("pw");
    ASSERT_TRUE(mgr.isKeyed());
    mgr.setAlgorithm("Blowfish"); // same name: same object, key kept
    EXPECT_TRUE(mgr.isKeyed());
    EXPECT_EQ(errorOf([&] { mgr.setAlgorithm("Serpent"); }),
              "Encryption algorithm module 'Serpent' not found");
    EXPECT_EQ(mgr.algorithm(), "blowFISH");
    EXPECT_TRUE(mgr.isKeyed());
    mgr.setAlgorithm("GOST");
    EXPECT_FALSE(mgr.isKeyed());
}

TEST(EncryptMgr, ModeAndKeyDecideTheBytes) {
    TEncryptMgr a, b;
    a.setMode(3);
    a.setAlgorithm("Twofish");
    a.Init("pw");
    b.setAlgorithm("Twofish");
    b.Init("pw");
    ByteVector x = pattern(50), y = pattern(50);
    a.encrypt(x);
    b.encrypt(y);
    EXPECT_NE(x, y);
    b.setMode(3);
    ByteVector z = pattern(50);
    b.encrypt(z);
    EXPECT_EQ(x, z);
    b.decrypt(z);
    EXPECT_EQ(z, pattern(50));
    EXPECT_EQ(errorOf([&] { a.setMode(7); }), "General error");
    EXPECT_EQ(a.mode(), 3);
}

TEST(EncryptMgr, ReportsProgressUpToCompletion) {
    TEncryptMgr mgr;
    mgr.setAlgorithm("Gost");
    mgr.Init("pw");
    std::vector<int> seen;
    mgr.setEncryptProgress([&](int p) { seen.push_back(p); });
    ByteVector unit = pattern(100000);
    mgr.encrypt(unit);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST(AlgorithmRegistry, StandardNamesAndReplacement) {
    EXPECT_NE(createCompressionAlgorithm("zip"), nullptr);
    EXPECT_EQ(std::string(createEncryptionAlgorithm("TWOFISH")->className()), "TEncAlgo_Twofish");
    EXPECT_EQ(createEncryptionAlgorithm("AES"), nullptr);

    // Registering a class again moves it to the new name.
    registerEncryptionAlgorithm("Fish2", TEncAlgo_Twofish::kClassName,
                                [] { return std::make_unique<TEncAlgo_Twofish>(); });
    EXPECT_EQ(createEncryptionAlgorithm("Twofish"), nullptr);
    EXPECT_NE(createEncryptionAlgorithm("fish2"), nullptr);
    // Registering a taken name for another class hands the name over.
    registerEncryptionAlgorithm("gost", TEncAlgo_Blowfish::kClassName,
                                [] { return std::make_unique<TEncAlgo_Blowfish>(); });
    EXPECT_EQ(std::string(createEncryptionAlgorithm("Gost")->className()), "TEncAlgo_Blowfish");
    EXPECT_EQ(createEncryptionAlgorithm("Blowfish"), nullptr);

    registerStandardAlgorithms();
    EXPECT_EQ(encryptionAlgorithmNames(),
              (std::vector<std::string>{"Blowfish", "Twofish", "Gost"}));
    EXPECT_EQ(compressionAlgorithmNames(), (std::vector<std::string>{"ZIP"}));
    EXPECT_EQ(std::string(createEncryptionAlgorithm("Gost")->className()), "TEncAlgo_Gost");
}

} // namespace
} // namespace store
