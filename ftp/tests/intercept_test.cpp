// The intercept chain and the protocol log on a real connection.
#include "ftp/connection_intercept.h"
#include "ftp/socket/net_exception.h"
#include "ftp/tcp_client.h"
#include "net_test_peer.h"

#include <gtest/gtest.h>

using nettest::LoopbackPeer;

namespace {

struct LogRecord {
    std::vector<std::string> entries;
    std::vector<std::string> times;
    void attach(TNetLogEvent& log) {
        log.OnStatus = [this](TNetLogEvent*, const std::string& text) {
            entries.push_back("status " + text);
        };
        log.OnReceived = [this](TNetLogEvent*, const std::string& time, const std::string& data) {
            entries.push_back("recv " + data);
            times.push_back(time);
        };
        log.OnSent = [this](TNetLogEvent*, const std::string& time, const std::string& data) {
            entries.push_back("sent " + data);
            times.push_back(time);
        };
    }
};

// Answers every line it reads with the given reply, then waits for the client to close.
struct EchoPeer {
    explicit EchoPeer(std::string greeting)
        : peer([greeting](int fd) {
              nettest::sendAll(fd, greeting);
              std::string got = nettest::readBytes(fd, 6);
              if (got.size() == 6) nettest::sendAll(fd, "200 ok\r\n");
              nettest::readUntilClose(fd);
          }) {}
    LoopbackPeer peer;
};

} // namespace

TEST(NetLogEvent, LogsEachBlockWithLineEndsShown) {
    EchoPeer p("220 ok\r\n");
    TNetLogEvent log;
    log.SetActive(true);
    log.LogTime = false;
    LogRecord record;
    record.attach(log);
    TNetTCPClient client;
    client.Intercept = &log;
    client.Host = "127.0.0.1";
    client.Port = p.peer.port();
    client.Connect();
    EXPECT_EQ(client.ReadReply({220}), 220);
    EXPECT_EQ(client.SendCommand("NOOP", 200), 200);
    client.Disconnect();
    EXPECT_EQ(record.entries,
              (std::vector<std::string>{"status Connected.", "recv 220 ok<EOL>", "sent NOOP<EOL>",
                                        "recv 200 ok<EOL>", "status Disconnected."}));
    for (const auto& t : record.times)
        EXPECT_EQ(t, "");
    EXPECT_EQ(log.Connection(), nullptr);
}

TEST(NetLogEvent, DataTextMarksLoneCarriageReturnsAndLineFeeds) {
    TNetLogEvent log;
    EXPECT_EQ(log.DataText("a\r\nb\rc\nd\n\r"), "a<EOL>b<CR>c<LF>d<LF><CR>");
    log.ReplaceCRLF = false;
    EXPECT_EQ(log.DataText("a\r\nb\r"), "a\r\nb\r");
    log.LogTime = true;
    EXPECT_EQ(log.TimeText().size(), 19u);
    log.LogTime = false;
    EXPECT_EQ(log.TimeText(), "");
}

TEST(NetLogEvent, UnchangedBlocksWithoutReplacement) {
    EchoPeer p("220 a\rb\r\n");
    TNetLogEvent log;
    log.SetActive(true);
    log.ReplaceCRLF = false;
    LogRecord record;
    record.attach(log);
    TNetTCPClient client;
    client.Intercept = &log;
    client.Host = "127.0.0.1";
    client.Port = p.peer.port();
    client.Connect();
    client.ReadReply();
    client.Disconnect();
    ASSERT_EQ(record.entries.size(), 3u);
    EXPECT_EQ(record.entries[1], "recv 220 a\rb\r\n");
    EXPECT_FALSE(record.times[0].empty()); // LogTime is on by default
}

TEST(NetLogEvent, InactiveLogFiresNothingAtAll) {
    EchoPeer p("220 ok\r\n");
    TNetLogEvent log;
    LogRecord record;
    record.attach(log);
    int raw = 0;
    log.OnConnect = [&](TNetConnectionIntercept*) { ++raw; };
    log.OnReceive = [&](TNetConnectionIntercept*, TNetStream&) { ++raw; };
    log.OnSend = [&](TNetConnectionIntercept*, TNetStream&) { ++raw; };
    log.OnDisconnect = [&](TNetConnectionIntercept*) { ++raw; };
    TNetTCPClient client;
    client.Intercept = &log;
    client.Host = "127.0.0.1";
    client.Port = p.peer.port();
    client.Connect();
    client.ReadReply();
    client.SendCommand("NOOP");
    client.Disconnect();
    EXPECT_EQ(raw, 0);
    EXPECT_TRUE(record.entries.empty());
}

TEST(NetLogEvent, ActiveGivenWhileLoadingAppliesWhenLoadingEnds) {
    TNetLogEvent log;
    log.BeginLoading();
    log.SetActive(true);
    EXPECT_FALSE(log.Active());
    log.EndLoading();
    EXPECT_TRUE(log.Active());
}

TEST(NetConnectionIntercept, HandlersMayChangeBlocksAndTheChainRunsInOrder) {
    EchoPeer p("220 secret\r\n");
    std::vector<std::string> order;
    TNetConnectionIntercept first;
    TNetConnectionIntercept second;
    first.NextIntercept = &second;
    // Received blocks: the next intercept sees them first.
    first.OnReceive = [&](TNetConnectionIntercept*, TNetStream& block) {
        order.push_back("first receive");
        block.SetSize(4); // keep "220 " only
        block.SetPosition(block.Size());
        block.Write("masked\r\n", 8);
    };
    second.OnReceive = [&](TNetConnectionIntercept*, TNetStream&) {
        order.push_back("second receive");
    };
    // Sent blocks: this intercept first, then the next.
    first.OnSend = [&](TNetConnectionIntercept*, TNetStream&) { order.push_back("first send"); };
    second.OnSend = [&](TNetConnectionIntercept*, TNetStream& block) {
        order.push_back("second send");
        block.SetPosition(4);
        block.Write("\r\n", 2);
        block.SetSize(6); // "NOOP" + CR LF: the argument is cut
    };
    first.OnConnect = [&](TNetConnectionIntercept*) { order.push_back("first connect"); };
    second.OnConnect = [&](TNetConnectionIntercept*) { order.push_back("second connect"); };
    first.OnDisconnect = [&](TNetConnectionIntercept*) { order.push_back("first disconnect"); };
    second.OnDisconnect = [&](TNetConnectionIntercept*) { order.push_back("second disconnect"); };

    TNetTCPClient client;
    client.Intercept = &first;
    client.Host = "127.0.0.1";
    client.Port = p.peer.port();
    client.Connect();
    EXPECT_EQ(first.Connection(), &client);
    EXPECT_EQ(client.ReadLine(), "220 masked");
    client.WriteLine("NOOP extra");
    EXPECT_EQ(client.ReadLine(), "200 masked");
    client.Disconnect();
    EXPECT_EQ(order, (std::vector<std::string>{"first connect", "second connect", "second receive",
                                               "first receive", "first send", "second send",
                                               "second receive", "first receive",
                                               "second disconnect", "first disconnect"}));
}
