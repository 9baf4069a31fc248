// Reading replies, checking their codes and the command exchange.
#include "ftp/socket/net_exception.h"
#include "ftp/tcp_client.h"
#include "net_test_peer.h"

#include <gtest/gtest.h>

using nettest::LoopbackPeer;

namespace {

// A server that sends the given replies, one batch after each command line it receives (the
// first batch at once), and records the command lines.
struct ReplyPeer {
    explicit ReplyPeer(std::vector<std::string> batches)
        : peer([this, batches](int fd) {
              for (size_t i = 0; i < batches.size(); ++i) {
                  if (i > 0) {
                      std::string line;
                      while (line.empty() || line.back() != '\n') {
                          std::string c = nettest::readBytes(fd, 1);
                          if (c.empty()) return;
                          line += c;
                      }
                      commands.push_back(line);
                  }
                  if (!nettest::sendAll(fd, batches[i])) return;
              }
              release.wait();
          }) {
        client.Host = "127.0.0.1";
        client.Port = peer.port();
        client.Connect();
    }
    ~ReplyPeer() {
        release.open();
        client.Disconnect();
    }
    std::vector<std::string> commands;
    nettest::Gate release;
    LoopbackPeer peer;
    TNetTCPClient client;
};

} // namespace

TEST(NetRFCReply, CodeAndTextSettersKeepEachOtherInStep) {
    TNetRFCReply reply;
    reply.SetNumericCode(226);
    EXPECT_EQ(reply.TextCode(), "226");
    reply.SetTextCode("abc");
    EXPECT_EQ(reply.NumericCode(), 0);
    reply.SetTextCode("331");
    EXPECT_EQ(reply.NumericCode(), 331);
    reply.SetNumericCode(0);
    EXPECT_EQ(reply.TextCode(), "331");
    reply.Text = {"a", "b"};
    TNetRFCReply copy = reply;
    EXPECT_EQ(copy.Text, reply.Text);
    EXPECT_EQ(copy.TextWithLineEnds(), "a\r\nb\r\n");
    reply.Clear();
    EXPECT_EQ(reply.NumericCode(), 0);
    EXPECT_TRUE(reply.TextCode().empty());
    EXPECT_TRUE(reply.Text.empty());
}

TEST(NetReply, MultiLineReplyKeepsEveryLine) {
    ReplyPeer p({"150-Opening\r\n150 Here\r\n"});
    EXPECT_EQ(p.client.ReadReply(), 150);
    EXPECT_EQ(p.client.LastReply.TextCode(), "150");
    EXPECT_EQ(p.client.LastReply.Text, (std::vector<std::string>{"Opening", "Here"}));
}

TEST(NetReply, ContinuationLinesLoseTheirFirstFourCharactersAfterTrimming) {
    ReplyPeer p({"230-Welcome\r\n  Hello\r\n230 Done\r\n"});
    EXPECT_EQ(p.client.ReadReply({230}), 230);
    EXPECT_EQ(p.client.LastReply.Text, (std::vector<std::string>{"Welcome", "o", "Done"}));
}

TEST(NetReply, EndMarkerComparesWithoutCase) {
    ReplyPeer p({"2a1-first\r\n2A1 last\r\n"});
    p.client.ReadReply();
    EXPECT_EQ(p.client.LastReply.Text, (std::vector<std::string>{"first", "last"}));
    EXPECT_EQ(p.client.LastReply.NumericCode(), 0);
}

TEST(NetReply, ShortContinuationLineEndsTheReplyEarly) {
    ReplyPeer p({"211-Status\r\nok\r\n211 End\r\n"});
    p.client.ReadReply();
    EXPECT_EQ(p.client.LastReply.Text, (std::vector<std::string>{"Status", ""}));
    EXPECT_EQ(p.client.ReadReply(), 211);
    EXPECT_EQ(p.client.LastReply.Text, std::vector<std::string>{"End"});
}

TEST(NetReply, BlankLinesBeforeAReplyAndABareCode) {
    ReplyPeer p({"\r\n\r\n   \r\n220\r\n"});
    EXPECT_EQ(p.client.ReadReply({220}), 220);
    EXPECT_EQ(p.client.LastReply.Text, std::vector<std::string>{""});
}

TEST(NetReply, UnacceptedCodeRaisesAfterTheWholeReply) {
    ReplyPeer p({"421-Service\r\n421 closing\r\n220 next\r\n"});
    try {
        p.client.ReadReply({220});
        FAIL() << "no exception";
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 421);
        EXPECT_STREQ(e.what(), "Service\r\nclosing\r\n");
    }
    EXPECT_EQ(p.client.LastReply.NumericCode(), 421);
    EXPECT_EQ(p.client.ReadReply({220}), 220); // still in step
}

TEST(NetReply, SingleLineRejectionCarriesTheServerText) {
    ReplyPeer p({"421 Service closing\r\n"});
    try {
        p.client.ReadReply({220});
        FAIL() << "no exception";
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 421);
        EXPECT_STREQ(e.what(), "Service closing\r\n");
    }
}

TEST(NetReply, CheckReplyCode) {
    TNetTCPClient client;
    EXPECT_EQ(client.CheckReplyCode(500, {}), 500);
    EXPECT_EQ(client.CheckReplyCode(250, {200, 250}), 250);
    client.LastReply.SetNumericCode(550);
    client.LastReply.Text = {"No such file"};
    try {
        client.CheckReplyCode(550, {250});
        FAIL() << "no exception";
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 550);
        EXPECT_STREQ(e.what(), "No such file\r\n");
    }
}

TEST(NetSendCommand, SendsOneLineAndReadsItsReply) {
    ReplyPeer p({"220 hi\r\n", "500 what\r\n", "200 ok\r\n", "250-a\r\n250 b\r\n", "226 x\r\n"});
    EXPECT_EQ(p.client.ReadReply({220}), 220);
    EXPECT_EQ(p.client.SendCommand("XYZ", -1), 500); // any reply accepted
    EXPECT_EQ(p.client.SendCommand("TYPE I", 200), 200);
    EXPECT_EQ(p.client.SendCommand("CWD /", {250, 200}), 250);
    EXPECT_EQ(p.client.SendCommand("NOOP", {}), 226);
    EXPECT_EQ(p.commands,
              (std::vector<std::string>{"XYZ\r\n", "TYPE I\r\n", "CWD /\r\n", "NOOP\r\n"}));
}

TEST(NetSendCommand, AnEarlierUnreadReplyIsTheNextOneRead) {
    ReplyPeer p({"226 left over\r\n", "200 ok\r\n"});
    try {
        p.client.SendCommand("NOOP", 200);
        FAIL() << "no exception";
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 226);
    }
    EXPECT_EQ(p.client.ReadReply({200}), 200);
}

TEST(NetSendCommand, ReplyCutByAPeerCloseRaisesClosedGracefully) {
    LoopbackPeer peer([](int fd) { nettest::sendAll(fd, "220-first\r\n"); });
    TNetTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = peer.port();
    client.Connect();
    EXPECT_THROW(client.ReadReply(), ENetConnClosedGracefully);
}
