// Line reading over real sockets: terminators, the length limit, split mode, closes, and the
// receive queue underneath.
#include "ftp/socket/net_exception.h"
#include "ftp/tcp_client.h"
#include "net_test_peer.h"

#include <gtest/gtest.h>

using nettest::LoopbackPeer;

namespace {

// A peer that sends bytes and then either closes or stays until released.
struct SendingPeer {
    explicit SendingPeer(std::string bytes, bool closeAfter = false)
        : peer([this, bytes, closeAfter](int fd) {
              nettest::sendAll(fd, bytes);
              if (!closeAfter) release.wait();
          }) {
        client.Host = "127.0.0.1";
        client.Port = peer.port();
        client.Connect();
    }
    ~SendingPeer() {
        release.open();
        client.Disconnect();
    }
    nettest::Gate release;
    LoopbackPeer peer;
    TNetTCPClient client;
};

} // namespace

TEST(NetReadLine, DefaultTerminatorDropsOneCarriageReturn) {
    SendingPeer p(std::string("220 ok\r\n") + "a\r\r\n" + "a\n" + "\r\n" + "last\n");
    EXPECT_EQ(p.client.ReadLine(), "220 ok");
    EXPECT_EQ(p.client.ReadLine(), "a\r");
    EXPECT_EQ(p.client.ReadLine(), "a");
    EXPECT_EQ(p.client.ReadLine(), "");
    EXPECT_EQ(p.client.ReadLine(), "last");
    EXPECT_FALSE(p.client.LineWasSplit);
    EXPECT_FALSE(p.client.LineTimedOut);
}

TEST(NetReadLine, ByteZeroAndHighBytesPassUnchanged) {
    SendingPeer p(std::string("2\x02\0 o\xe9k\r\n", 9));
    EXPECT_EQ(p.client.ReadLine(), std::string("2\x02\0 o\xe9k", 7));
}

TEST(NetReadLine, AsciiFilterClearsTheHighBit) {
    SendingPeer p("\xc1\xe2\r\n");
    p.client.ASCIIFilter = true;
    EXPECT_EQ(p.client.ReadLine(), "Ab");
}

TEST(NetReadLine, LimitCountsEveryByteBeforeTheLineFeed) {
    const std::string fits(16383, 'x');
    const std::string tooLong(16384, 'y');
    SendingPeer p(fits + "\r\n" + tooLong + "\r\n");
    EXPECT_EQ(p.client.ReadLine(), fits);
    try {
        p.client.ReadLine();
        FAIL() << "no exception";
    } catch (const ENetReadLnMaxLineLengthExceeded& e) {
        EXPECT_STREQ(e.what(), "Max line length exceeded.");
    }
}

TEST(NetReadLine, SplitModeReturnsTheFirstPartAndKeepsTheRest) {
    const std::string longLine(16384, 'y');
    SendingPeer p(longLine + "\r\nnext\r\n");
    p.client.MaxLineAction = maSplit;
    EXPECT_EQ(p.client.ReadLine(), longLine);
    EXPECT_TRUE(p.client.LineWasSplit);
    EXPECT_EQ(p.client.ReadLine(), "");
    EXPECT_FALSE(p.client.LineWasSplit);
    EXPECT_EQ(p.client.ReadLine(), "next");
}

TEST(NetReadLine, OverlongLineRaisesBeforeItsLineFeedArrives) {
    SendingPeer p(std::string(20000, 'z'));
    EXPECT_THROW(p.client.ReadLine(), ENetReadLnMaxLineLengthExceeded);
}

TEST(NetReadLine, ZeroLimitReadsAnyLength) {
    const std::string huge(100000, 'q');
    SendingPeer p(huge + "\n");
    p.client.MaxLineLength = 0;
    EXPECT_EQ(p.client.ReadLine(), huge);
}

TEST(NetReadLine, PartialLineBeforeACloseRaises) {
    SendingPeer p("abc", true);
    try {
        p.client.ReadLine();
        FAIL() << "no exception";
    } catch (const ENetConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
}

TEST(NetReadLine, WholeLineBeforeACloseIsReadThenTheNextRaises) {
    SendingPeer p("abc\n", true);
    ASSERT_TRUE(p.peer.waitDone());
    EXPECT_EQ(p.client.ReadLine(), "abc");
    EXPECT_THROW(p.client.ReadLine(), ENetConnClosedGracefully);
}

TEST(NetReadLine, QueuedLinesStayReadableAfterThePeerClosed) {
    SendingPeer p("one\ntwo\nthree\n", true);
    ASSERT_TRUE(p.peer.waitDone());
    EXPECT_EQ(p.client.ReadLine(), "one");
    // Noticing the close must not drop what is queued.
    for (int i = 0; i < 200 && p.client.Connected(); ++i)
        p.client.PollConnection(false);
    EXPECT_FALSE(p.client.Connected());
    EXPECT_EQ(p.client.ReadLine(), "two");
    EXPECT_EQ(p.client.ReadLine(), "three");
    EXPECT_THROW(p.client.ReadLine(), ENetConnClosedGracefully);
}

TEST(NetReadLine, TerminatorSplitAcrossReceivesIsFound) {
    SendingPeer p("helloENDworldEND");
    p.client.RecvBufferSize = 1; // every receive takes one byte
    EXPECT_EQ(p.client.ReadLine("END"), "hello");
    EXPECT_EQ(p.client.ReadLine("END"), "world");
}

TEST(NetReadLine, NonBlankLineSkipsBlanksAndTrims) {
    SendingPeer p("\r\n  \r\n\t\r\n  220 ready  \r\n\r\n\r\n");
    EXPECT_EQ(p.client.ReadNonBlankLine(10), "220 ready");
    EXPECT_EQ(p.client.ReadNonBlankLine(2), "");
}

TEST(NetReadLine, UnfilledBufferSizeFallsBackToTheDefault) {
    const std::string line(50000, 'b');
    SendingPeer p(line + "\n");
    p.client.RecvBufferSize = 0;
    p.client.MaxLineLength = 0;
    EXPECT_EQ(p.client.ReadLine(), line);
}

TEST(NetReadBytes, ExactCountsAndCloseInTheMiddle) {
    SendingPeer p("0123456789", true);
    char buffer[8] = {};
    p.client.ReadBytes(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    p.client.ReadBytes(buffer, 0); // nothing
    p.client.ReadBytes(nullptr, 3);
    EXPECT_THROW(p.client.ReadBytes(buffer, 8), ENetConnClosedGracefully);
    EXPECT_EQ(p.client.ReceiveQueue().Size(), 6); // what did arrive stays queued
}

TEST(NetManagedBuffer, ConsumesByOffsetAndPacksAtTheThreshold) {
    TNetManagedBuffer queue;
    queue.PackThreshold = 10;
    std::vector<int64_t> notices;
    queue.RemovalNotice = [&](TNetSimpleBuffer*, int64_t n) { notices.push_back(n); };
    queue.Append("abcdefghijklmnop", 16);
    queue.Remove(4);
    EXPECT_EQ(queue.ConsumedBytes, 4);
    EXPECT_EQ(queue.View(), "efghijklmnop");
    queue.Remove(5);
    EXPECT_EQ(queue.ConsumedBytes, 9);
    queue.Remove(1);
    EXPECT_EQ(queue.ConsumedBytes, 0); // packed
    EXPECT_EQ(queue.View(), "klmnop");
    char out[3];
    queue.SetPosition(1);
    EXPECT_EQ(queue.Read(out, 3), 3);
    EXPECT_EQ(std::string(out, 3), "lmn");
    try {
        queue.Remove(7);
        FAIL() << "no exception";
    } catch (const ENetNotEnoughDataInBuffer& e) {
        EXPECT_STREQ(e.what(), "Not enough data in buffer.");
    }
    queue.Remove(6);
    EXPECT_EQ(queue.Size(), 0);
    EXPECT_EQ(queue.ConsumedBytes, 0);
    EXPECT_EQ(notices, (std::vector<int64_t>{4, 5, 1, 6}));
    queue.Append("xy", 2);
    queue.Clear();
    EXPECT_EQ(notices.size(), 4u); // clearing gives no notice
}

TEST(NetSimpleBuffer, RemovingFromTheFrontMovesTheRest) {
    TNetSimpleBuffer buffer;
    int64_t removed = 0;
    buffer.RemovalNotice = [&](TNetSimpleBuffer*, int64_t n) { removed += n; };
    buffer.Write("hello", 5);
    buffer.Remove(2);
    EXPECT_EQ(buffer.ToString(), "llo");
    EXPECT_EQ(removed, 2);
    EXPECT_THROW(buffer.Remove(4), ENetNotEnoughDataInBuffer);
}
