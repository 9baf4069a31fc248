// Connecting, disconnecting, status reports, time-outs and peer failures of a connection.
#include "ftp/socket/io_handler_socket.h"
#include "ftp/socket/net_exception.h"
#include "ftp/tcp_client.h"
#include "net_test_peer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace std::chrono;
using nettest::LoopbackPeer;

namespace {

struct StatusLog {
    std::vector<std::string> texts;
    void attach(TNetComponent& c) {
        c.OnStatus = [this](TNetComponent*, TNetStatus, const std::string& text) {
            texts.push_back(text);
        };
    }
};

void connectTo(TNetTCPClient& client, int port, const std::string& host = "127.0.0.1") {
    client.Host = host;
    client.Port = port;
    client.Connect();
}

} // namespace

TEST(NetTCPClient, ConnectReportsResolvingConnectingConnected) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    TNetTCPClient client;
    StatusLog log;
    log.attach(client);
    int connectedEvents = 0;
    client.OnConnected = [&](TNetTCPConnection*) { ++connectedEvents; };
    connectTo(client, peer.port(), "localhost");
    EXPECT_TRUE(client.Connected());
    EXPECT_TRUE(client.OwnsIOHandler());
    EXPECT_EQ(connectedEvents, 1);
    EXPECT_EQ(log.texts, (std::vector<std::string>{"Resolving hostname localhost.",
                                                   "Connecting to 127.0.0.1.", "Connected."}));
    auto* transport = dynamic_cast<TNetIOHandlerSocket*>(client.IOHandler());
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(transport->Endpoint()->RemotePort, peer.port());
    EXPECT_EQ(transport->Endpoint()->RemoteIP, "127.0.0.1");
    release.open();
}

TEST(NetTCPClient, SecondConnectRaisesAndKeepsTheConnection) {
    LoopbackPeer peer([](int fd) {
        std::string line = nettest::readBytes(fd, 6);
        nettest::sendAll(fd, "got " + line);
    });
    TNetTCPClient client;
    connectTo(client, peer.port());
    try {
        client.Connect();
        FAIL() << "no exception";
    } catch (const ENetAlreadyConnected& e) {
        EXPECT_STREQ(e.what(), "Already connected.");
    }
    ASSERT_TRUE(client.Connected());
    client.WriteLine("PING");
    EXPECT_EQ(client.ReadLine(), "got PING");
}

TEST(NetTCPClient, DisconnectReportsAndFiresOnceThenNothing) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    StatusLog log;
    log.attach(client);
    int disconnected = 0;
    client.OnDisconnected = [&](TNetTCPConnection*) { ++disconnected; };
    client.Disconnect();
    EXPECT_EQ(log.texts, (std::vector<std::string>{"Disconnecting.", "Disconnected."}));
    EXPECT_EQ(disconnected, 1);
    EXPECT_EQ(client.IOHandler(), nullptr);
    client.Disconnect();
    EXPECT_EQ(disconnected, 1);
    EXPECT_EQ(log.texts.size(), 2u);
    release.open();
}

TEST(NetTCPClient, RefusedConnectThroughTheWorkerCarriesTheSocketText) {
    TNetTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = nettest::unusedPort();
    try {
        client.Connect(3000);
        FAIL() << "no exception";
    } catch (const ENetConnectException& e) {
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(client.Connected());
}

TEST(NetTCPClient, RefusedPlainConnectRaisesTheSocketError) {
    TNetTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = nettest::unusedPort();
    try {
        client.Connect();
        FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.SocketErrorNumber, 10061);
    }
    EXPECT_FALSE(client.Connected());
}

// Limits above and below one wait slice: the first slice is waited for on the calling thread,
// the rest by the connect worker.
TEST(NetTCPClient, ConnectToAFullAcceptQueueTimesOut) {
    nettest::FullListener listener;
    for (const int limitMs : {700, 60}) {
        TNetTCPClient client;
        client.Host = "127.0.0.1";
        client.Port = listener.port();
        const auto start = steady_clock::now();
        try {
            client.Connect(limitMs);
            FAIL() << "no exception";
        } catch (const ENetConnectTimeout& e) {
            EXPECT_STREQ(e.what(), "Connect timed out.");
        }
        const auto took = duration_cast<milliseconds>(steady_clock::now() - start).count();
        EXPECT_GE(took, limitMs - 50);
        EXPECT_LT(took, limitMs + 4300);
        EXPECT_FALSE(client.Connected());
    }
}

TEST(NetTCPClient, UnknownHostFailsAndLeavesTheSocketClosed) {
    TNetTCPClient client;
    client.Host = "no-such-host.invalid";
    client.Port = 21;
    EXPECT_THROW(client.Connect(), ENetSocketError);
    EXPECT_FALSE(client.Connected());
}

TEST(NetTCPClient, NoDelayOptionIsSetWhenNagleIsOff) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    TNetIOHandlerSocket transport;
    transport.UseNagle = false;
    TNetTCPClient client;
    client.SetIOHandler(&transport);
    connectTo(client, peer.port());
    int value = 0;
    socklen_t length = sizeof(value);
    ::getsockopt(transport.Endpoint()->SocketDescriptor(), IPPROTO_TCP, 1, &value, &length);
    EXPECT_NE(value, 0);
    EXPECT_FALSE(client.OwnsIOHandler());
    client.Disconnect();
    EXPECT_EQ(client.IOHandler(), &transport); // a transport of the caller stays attached
    release.open();
}

TEST(NetTCPConnection, PeerResetRaisesConnectionReset) {
    LoopbackPeer peer([](int fd) {
        nettest::readBytes(fd, 5);
        nettest::setResetOnClose(fd);
    });
    TNetTCPClient client;
    connectTo(client, peer.port());
    client.WriteLine("HELO");
    ASSERT_TRUE(peer.waitDone());
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.SocketErrorNumber, 10054);
        EXPECT_STREQ(e.what(), "Socket Error # 10054\r\nConnection reset by peer.");
    }
}

TEST(NetTCPConnection, WritingToAResetPeerRaisesAndClosesTheSocket) {
    LoopbackPeer peer([](int fd) { nettest::setResetOnClose(fd); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    ASSERT_TRUE(peer.waitDone());
    std::string block(65536, 'x');
    bool raised = false;
    for (int i = 0; i < 100 && !raised; ++i) {
        try {
            client.WriteText(block);
        } catch (const ENetSocketError& e) {
            raised = true;
            EXPECT_TRUE(e.SocketErrorNumber == 10054 || e.SocketErrorNumber == 10058)
                << e.SocketErrorNumber;
        } catch (const ENetConnClosedGracefully&) {
            raised = true;
        }
    }
    EXPECT_TRUE(raised);
    EXPECT_FALSE(client.Connected());
}

TEST(NetTCPConnection, SilentPeerAndReadTimeout) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    TNetTCPClient client;
    connectTo(client, peer.port());

    auto start = steady_clock::now();
    EXPECT_EQ(client.ReadLine("", 300), "");
    EXPECT_TRUE(client.LineTimedOut);
    EXPECT_GE(duration_cast<milliseconds>(steady_clock::now() - start).count(), 280);

    client.ReadTimeout = 200;
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const ENetReadTimeout& e) {
        EXPECT_STREQ(e.what(), "Read Timeout");
    }
    EXPECT_TRUE(client.Connected());
    release.open();
}

TEST(NetTCPConnection, PollConnectionNoticesAPeerClose) {
    LoopbackPeer peer([](int) {});
    TNetTCPClient client;
    connectTo(client, peer.port());
    ASSERT_TRUE(peer.waitDone());
    StatusLog log;
    log.attach(client);
    int disconnected = 0;
    client.OnDisconnected = [&](TNetTCPConnection*) { ++disconnected; };
    for (int i = 0; i < 500 && client.Connected(); ++i)
        client.PollConnection(false);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(disconnected, 1);
    EXPECT_EQ(log.texts, std::vector<std::string>{"Disconnected."});
    EXPECT_THROW(client.PollConnection(true), ENetConnClosedGracefully);
}

TEST(NetTCPConnection, ReadWithoutTransportRaisesNotConnected) {
    TNetTCPClient client;
    EXPECT_FALSE(client.Connected());
    EXPECT_THROW(client.ReadFromSocket(true), ENetNotConnected);
    EXPECT_EQ(client.ReadFromSocket(false), 0);
    try {
        client.WriteLine("NOOP");
        FAIL() << "no exception";
    } catch (const ENetNotConnected& e) {
        EXPECT_STREQ(e.what(), "Not Connected");
    }
}

TEST(NetTCPConnection, CommandLinesWithLineBreaksAreNeverSent) {
    std::string received;
    LoopbackPeer peer([&](int fd) { received = nettest::readUntilClose(fd); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    for (const char* bad : {"CWD a\r\nDELE b", "USER x\n", "PASS \r", "\n"}) {
        try {
            client.WriteLine(bad);
            FAIL() << "no exception for a line break";
        } catch (const ENetInvalidCommandLine& e) {
            EXPECT_NE(std::string(e.what()).find("CR or LF"), std::string::npos);
        }
    }
    client.WriteLine("NOOP");
    client.Disconnect();
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(received, "NOOP\r\n");
}

namespace {

// Stands in for the SOCKS client: records what the transport asks of it.
class RecordingNegotiator : public TNetSocksNegotiator {
public:
    bool UsesSocks() const override { return true; }
    std::string SocksHost() const override { return "127.0.0.1"; }
    int SocksPort() const override { return port; }
    void NegotiateSocks(TNetIOHandlerSocket& transport, const std::string& host,
                        int targetPort) override {
        calls.push_back(host + ":" + std::to_string(targetPort));
        transport.WriteAll("HELLO", 5);
        char answer[2];
        transport.ReadExact(answer, 2, 5000);
        if (std::string(answer, 2) != "OK") throw ENetException("refused");
    }
    int port = 0;
    std::vector<std::string> calls;
};

} // namespace

TEST(NetIOHandlerSocket, SocksSettingsRouteTheConnectAndRunTheHandshake) {
    std::string greeting;
    LoopbackPeer peer([&](int fd) {
        greeting = nettest::readBytes(fd, 5);
        nettest::sendAll(fd, "OK220 via proxy\r\n");
        nettest::readUntilClose(fd);
    });
    RecordingNegotiator socks;
    socks.port = peer.port();
    TNetIOHandlerSocket transport;
    transport.SocksInfo = &socks;
    TNetTCPClient client;
    client.SetIOHandler(&transport);
    StatusLog log;
    log.attach(transport);
    connectTo(client, 21, "ftp.example.invalid");
    EXPECT_EQ(socks.calls, std::vector<std::string>{"ftp.example.invalid:21"});
    EXPECT_EQ(log.texts, std::vector<std::string>{"Connecting to 127.0.0.1."});
    EXPECT_EQ(client.ReadLine(), "220 via proxy");
    client.Disconnect();
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(greeting, "HELLO");
}

TEST(NetIOHandlerSocket, AFailedHandshakeLeavesTheSocketClosed) {
    LoopbackPeer peer([](int fd) {
        nettest::readBytes(fd, 5);
        nettest::sendAll(fd, "NO");
    });
    RecordingNegotiator socks;
    socks.port = peer.port();
    TNetIOHandlerSocket transport;
    transport.SocksInfo = &socks;
    TNetTCPClient client;
    client.SetIOHandler(&transport);
    EXPECT_THROW(connectTo(client, 21, "ftp.example.invalid"), ENetException);
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(transport.TransportConnected());
}

TEST(NetIOHandlerSocket, ClientBindsToTheGivenLocalAddress) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    TNetTCPClient client;
    client.BoundIP = "127.0.0.1";
    connectTo(client, peer.port());
    auto* transport = dynamic_cast<TNetIOHandlerSocket*>(client.IOHandler());
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(transport->Endpoint()->IP, "127.0.0.1");
    EXPECT_GT(transport->Endpoint()->Port, 0);
    release.open();
}

TEST(NetIOHandlerSocket, CallsOnAClosedTransportRaiseDisconnected) {
    TNetIOHandlerSocket transport;
    transport.OpenTransport();
    char buffer[4];
    try {
        transport.ReceiveSome(buffer, 4);
        FAIL() << "no exception";
    } catch (const ENetClosedSocket& e) {
        EXPECT_STREQ(e.what(), "Disconnected.");
    }
    EXPECT_THROW(transport.SendSome(buffer, 4), ENetClosedSocket);
    EXPECT_THROW(transport.WaitReadable(10), ENetConnClosedGracefully);
}
