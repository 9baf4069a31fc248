// SHA-0, the digest text form, the password check and CRC-32.

#include "store/crypt/crc32.h"
#include "store/crypt/digest_text.h"
#include "store/crypt/sha0.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace store {
namespace {

std::string hex(const Sha0Digest& d) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : d) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string text(std::vector<std::uint8_t> bytes) {
    return digestText(bytes.data(), bytes.size());
}

TEST(Sha0, PublishedVectors) {
    EXPECT_EQ(hex(sha0("abc")), "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880");
    EXPECT_EQ(hex(sha0("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "d2516ee1acfa5baf33dfc1c471e438449ef134c8");
    EXPECT_EQ(hex(sha0("")), "f96cea198ad1dd5617ac084a3d92c6107708c0ef");
    std::string million(1000000, 'a');
    EXPECT_EQ(hex(sha0(million)), "3232affa48628a26653b5aaa44541fd90d690603");
}

TEST(Sha0, PiecewiseEqualsOneShotAcrossBlockBoundaries) {
    std::string message;
    for (int i = 0; i < 300; ++i)
        message += char('a' + i % 26);
    // Every split point around the 55/56/64-byte padding edges and beyond.
    for (std::size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 300u}) {
        std::string part = message.substr(0, length);
        for (std::size_t split = 0; split <= length; split += 7) {
            Sha0Hasher h;
            h.update(part.data(), split);
            h.update(part.data() + split, length - split);
            EXPECT_EQ(h.finish(), sha0(part)) << length << " split " << split;
        }
    }
}

TEST(Sha0, HasherIsReusableAfterFinish) {
    Sha0Hasher h;
    h.update("xyz", 3);
    h.finish();
    h.update("abc", 3);
    EXPECT_EQ(hex(h.finish()), "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880");
}

TEST(DigestText, ShortGroupsAndPadding) {
    EXPECT_EQ(text({}), "");
    EXPECT_EQ(text({'M', 'a', 'n'}), "TWFu");
    EXPECT_EQ(text({'M', 'a'}), "TWE=");
    EXPECT_EQ(text({'M'}), "TQ==");
    EXPECT_EQ(text({0xFB, 0xFF, 0xBF}), "+/+/");
}

TEST(DigestText, TrailingZeroSextetsAreLeftOut) {
    EXPECT_EQ(text({0, 0, 0}), "");
    EXPECT_EQ(text({1, 0, 0}), "AQ");
    EXPECT_EQ(text({0, 0, 1}), "AAAB");
    EXPECT_EQ(text({0, 0, 0, 'M', 'a', 'n'}), "TWFu");
    // A zero group in the middle vanishes; only the end padding reflects the byte count.
    EXPECT_EQ(text({'M', 'a', 'n', 0, 0, 0, 'M'}), "TWFuTQ==");
    EXPECT_EQ(text({0x10, 0, 0, 0}), "E==");
}

TEST(DigestText, TwentyByteDigest) {
    Sha0Digest d = sha0("abc");
    EXPECT_EQ(digestText(d.data(), d.size()), "AWS4qRTNKl50xPf/CCxNl/Ht+I=");
    EXPECT_EQ(passwordHashText("abc"), "AWS4qRTNKl50xPf/CCxNl/Ht+I=");

    // A digest whose last group is all zero bytes gives fewer than 27 characters before "=".
    Sha0Digest zeroTail = d;
    zeroTail[18] = 0;
    zeroTail[19] = 0;
    std::string t = digestText(zeroTail.data(), zeroTail.size());
    EXPECT_EQ(t, "AWS4qRTNKl50xPf/CCxNl/Ht=");
    EXPECT_LT(t.size() - 1, 27u);
    EXPECT_EQ(t.back(), '=');
}

TEST(PasswordCheck, AcceptsOnlyTheExactHashText) {
    std::string stored = passwordHashText("s3cret");
    EXPECT_TRUE(checkPassword("s3cret", stored));
    EXPECT_FALSE(checkPassword("S3cret", stored));
    EXPECT_FALSE(checkPassword("s3cret ", stored));
    EXPECT_FALSE(checkPassword("s3cret", stored.substr(0, stored.size() - 1)));
    EXPECT_FALSE(checkPassword("s3cret", stored + "="));
    EXPECT_FALSE(checkPassword("", ""));
    EXPECT_TRUE(checkPassword("", passwordHashText("")));
}

TEST(Crc32, StandardCheckValueAndContinuation) {
    const std::string check = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(check.data());
    EXPECT_EQ(crc32Ieee(bytes, check.size()), 0xCBF43926u);
    EXPECT_EQ(crc32Ieee(bytes + 4, 5, crc32Ieee(bytes, 4)), 0xCBF43926u);
    EXPECT_EQ(crc32Ieee(bytes, 0), 0u);
}

} // namespace
} // namespace store
