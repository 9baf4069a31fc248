// Name resolution, address texts and socket error texts.
#include "ftp/socket/net_exception.h"
#include "ftp/socket/stack.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(NetStack, LocalhostInAnyCaseResolvesWithoutLookup) {
    EXPECT_EQ(TNetStack::ResolveHostAddress("localhost"), "127.0.0.1");
    EXPECT_EQ(TNetStack::ResolveHostAddress("LocalHost"), "127.0.0.1");
    EXPECT_EQ(TNetStack::ResolveHostAddress("LOCALHOST"), "127.0.0.1");
}

TEST(NetStack, AddressTextsAreReturnedUnchanged) {
    EXPECT_EQ(TNetStack::ResolveHostAddress("10.1"), "10.1");
    EXPECT_EQ(TNetStack::ResolveHostAddress("192.168.1.2"), "192.168.1.2");
}

TEST(NetStack, ShortAddressFormsFillTheLowBytes) {
    EXPECT_EQ(TNetStack::IPv4ToString(TNetStack::StringToIPv4("10.1")), "10.0.0.1");
    EXPECT_EQ(TNetStack::IPv4ToString(TNetStack::StringToIPv4("10.1.515")), "10.1.2.3");
    EXPECT_EQ(TNetStack::IPv4ToString(TNetStack::StringToIPv4("127.65535")), "127.0.255.255");
    EXPECT_EQ(TNetStack::IPv4ToString(TNetStack::StringToIPv4("4294967295")), "255.255.255.255");
    EXPECT_EQ(TNetStack::IPv4ToString(TNetStack::StringToIPv4("0")), "0.0.0.0");
}

TEST(NetStack, TextsOutOfRangeOrMalformedAreNotAddresses) {
    for (const char* text :
         {"256.1.1.1", "1.2.3.256", "1.2.65536", "1.16777216", "4294967296", "1.2.3.4.5", "",
          "1..2", "a.b.c.d", "1.2.3.", "-1", " 1.2.3.4", "99999999999999999999"}) {
        EXPECT_FALSE(TNetStack::IsIPAddress(text)) << text;
    }
    EXPECT_TRUE(TNetStack::IsIPAddress("1.2.3.4"));
}

TEST(NetStack, ConvertingANonAddressRaisesWithTheText) {
    try {
        TNetStack::StringToIPv4("256.1.1.1");
        FAIL() << "no exception";
    } catch (const ENetInvalidIPAddress& e) {
        EXPECT_STREQ(e.what(), "256.1.1.1 is not a valid IP address.");
    }
}

TEST(NetStack, FailedLookupRaisesHostNotFound) {
    try {
        TNetStack::ResolveHostAddress("no-such-host.invalid");
        FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.SocketErrorNumber, 11001);
        EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
    }
}

TEST(NetStack, ErrorTextsCarryNumberAndText) {
    EXPECT_EQ(TNetStack::SocketErrorText(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(TNetStack::SocketErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(TNetStack::SocketErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
    EXPECT_EQ(TNetStack::SocketErrorText(12345), "Socket Error # 12345\r\n");
}

TEST(NetStack, PlatformErrorsMapOntoTheEngineNumbers) {
    EXPECT_EQ(TNetStack::TranslateError(ECONNREFUSED), 10061);
    EXPECT_EQ(TNetStack::TranslateError(ETIMEDOUT), 10060);
    EXPECT_EQ(TNetStack::TranslateError(ECONNRESET), 10054);
    EXPECT_EQ(TNetStack::TranslateError(ECONNABORTED), 10053);
    EXPECT_EQ(TNetStack::TranslateError(EPIPE), 10058);
    EXPECT_EQ(TNetStack::TranslateError(EADDRINUSE), 10048);
    EXPECT_EQ(TNetStack::TranslateError(EINTR), 10004);
    EXPECT_EQ(TNetStack::TranslateError(EBADF), 10009);
    EXPECT_EQ(TNetStack::TranslateError(ENOTSOCK), 10038);
    EXPECT_EQ(TNetStack::TranslateError(ENETUNREACH), 10051);
    EXPECT_EQ(TNetStack::TranslateError(EHOSTUNREACH), 10065);
}

TEST(NetStack, CheckSocketResultToleratesListedErrors) {
    EXPECT_FALSE(TNetStack::CheckSocketResult(0));
    errno = EINTR;
    EXPECT_TRUE(TNetStack::CheckSocketResult(-1, {10004}));
    EXPECT_EQ(TNetStack::LastError(), 10004);
    errno = ECONNRESET;
    EXPECT_THROW(TNetStack::CheckSocketResult(-1, {10004}), ENetSocketError);
    EXPECT_EQ(TNetStack::LastError(), 10054);
}
