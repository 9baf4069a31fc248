// The anti-freeze: registration, where and how often the engine pumps, and handlers that close
// the connection from inside a pump.
#include "ftp/anti_freeze.h"
#include "ftp/socket/net_exception.h"
#include "ftp/tcp_client.h"
#include "net_test_peer.h"

#include <atomic>
#include <gtest/gtest.h>

using namespace std::chrono;
using nettest::LoopbackPeer;

namespace {

// Installs a counting pump hook for one test and removes it afterwards.
struct PumpCounter {
    explicit PumpCounter(std::function<void()> action = {}) {
        TNetAntiFreeze::SetPumpHook([this, action](bool all) {
            ++pumps;
            if (!all) ++singleMessagePumps;
            if (action) action();
        });
    }
    ~PumpCounter() { TNetAntiFreeze::SetPumpHook({}); }
    std::atomic<int> pumps{0};
    std::atomic<int> singleMessagePumps{0};
};

void connectTo(TNetTCPClient& client, int port) {
    client.Host = "127.0.0.1";
    client.Port = port;
    client.Connect();
}

} // namespace

TEST(NetAntiFreeze, RegistrationFollowsCreationAndAnyDestructionEndsIt) {
    EXPECT_EQ(ActiveAntiFreeze(), nullptr);
    auto first = std::make_unique<TNetAntiFreeze>();
    EXPECT_TRUE(AntiFreezeInForce());
    auto second = std::make_unique<TNetAntiFreeze>();
    EXPECT_EQ(ActiveAntiFreeze(), second.get());
    first.reset();
    EXPECT_EQ(ActiveAntiFreeze(), nullptr);
    EXPECT_FALSE(AntiFreezeInForce());
    second.reset();
    EXPECT_FALSE(AntiFreezeInForce());
}

TEST(NetAntiFreeze, PumpIfDueHonoursIdleForceAndActive) {
    PumpCounter counter;
    TNetAntiFreeze freeze;
    PumpIfDue(false);
    EXPECT_EQ(counter.pumps, 0); // only when idle by default
    PumpIfDue(true);
    PumpIfDue(false, true);
    EXPECT_EQ(counter.pumps, 2);
    freeze.OnlyWhenIdle = false;
    PumpIfDue(false);
    EXPECT_EQ(counter.pumps, 3);
    freeze.ApplicationHasPriority = false;
    PumpIfDue(true);
    EXPECT_EQ(counter.singleMessagePumps, 1);
    freeze.Active = false;
    EXPECT_FALSE(AntiFreezeInForce());
    PumpIfDue(true, true);
    EXPECT_EQ(counter.pumps, 4);
}

TEST(NetAntiFreeze, NeverInForceOnAnotherThread) {
    PumpCounter counter;
    TNetAntiFreeze freeze;
    bool inForceThere = true;
    std::thread([&] {
        inForceThere = AntiFreezeInForce();
        PumpIfDue(true, true);
    }).join();
    EXPECT_FALSE(inForceThere);
    EXPECT_EQ(counter.pumps, 0);
}

TEST(NetAntiFreeze, ALongWaitPumpsOncePerSlice) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    PumpCounter counter;
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 50;
    freeze.OnlyWhenIdle = false;
    TNetTCPClient client;
    connectTo(client, peer.port());
    const int before = counter.pumps;
    EXPECT_EQ(client.ReadLine("", 1000), "");
    EXPECT_TRUE(client.LineTimedOut);
    const int pumps = counter.pumps - before;
    EXPECT_GE(pumps, 15);
    EXPECT_LE(pumps, 21);
    release.open();
}

TEST(NetAntiFreeze, AWaitOnAWorkerThreadNeverPumps) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    PumpCounter counter;
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 20;
    std::thread([&] {
        TNetTCPClient client;
        connectTo(client, peer.port());
        EXPECT_EQ(client.ReadLine("", 300), "");
        EXPECT_TRUE(client.LineTimedOut);
    }).join();
    EXPECT_EQ(counter.pumps, 0);
    release.open();
}

TEST(NetAntiFreeze, DisconnectFromAPumpEndsTheBlockedRead) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    TNetTCPClient client;
    int disconnected = 0;
    client.OnDisconnected = [&](TNetTCPConnection*) { ++disconnected; };
    PumpCounter counter([&] {
        if (counter.pumps == 3) client.Disconnect();
    });
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 20;
    connectTo(client, peer.port());
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const ENetConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
    EXPECT_EQ(disconnected, 1);
    EXPECT_EQ(client.IOHandler(), nullptr);
    EXPECT_FALSE(client.Connected());
    release.open();
}

TEST(NetAntiFreeze, CloseFromAPumpEndsAReceiveLikeAServerClose) {
    nettest::Gate release;
    LoopbackPeer peer([&](int fd) {
        nettest::sendAll(fd, std::string(3000, 'd'));
        release.wait();
    });
    TNetTCPClient client;
    client.RecvBufferSize = 1024;
    PumpCounter counter([&] {
        // Abort once the first bytes are in, as an abort button would.
        if (client.WorkTotal[WorkReading] > 0) client.CloseSocketQuietly();
    });
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 20;
    connectTo(client, peer.port());
    TNetMemoryStream stream;
    client.ReadToStream(stream);
    EXPECT_EQ(stream.Size(), 3000); // the data so far stays in the stream
    EXPECT_FALSE(client.Connected());
    release.open();
}

TEST(NetAntiFreeze, AReceiveOfWaitingBytesPumpsAtAPaceNotPerReceive) {
    const std::string data(32 * 1024, 'w');
    LoopbackPeer peer([&](int fd) { nettest::sendAll(fd, data); });
    PumpCounter counter;
    TNetAntiFreeze freeze;
    freeze.OnlyWhenIdle = false;
    TNetTCPClient client;
    client.RecvBufferSize = 32;
    connectTo(client, peer.port());
    // Everything is in the socket before the read starts: about a thousand receives find their
    // bytes waiting.
    ASSERT_TRUE(peer.waitDone());
    const int before = counter.pumps;
    const auto start = steady_clock::now();
    TNetMemoryStream stream;
    client.ReadToStream(stream);
    const auto elapsedMs = duration_cast<milliseconds>(steady_clock::now() - start).count();
    EXPECT_EQ(stream.Size(), static_cast<int64_t>(data.size()));
    const int pumps = counter.pumps - before;
    // A long read still pumps every interval, but not once per receive.
    EXPECT_LE(pumps, 3 + elapsedMs / BusyPumpIntervalMs);
    EXPECT_LT(pumps, static_cast<int>(data.size()) / client.RecvBufferSize / 4);
}

TEST(NetAntiFreeze, SendsPumpOnlyWhenNotOnlyWhenIdle) {
    std::string received;
    LoopbackPeer peer([&](int fd) { received = nettest::readUntilClose(fd); });
    PumpCounter counter;
    TNetAntiFreeze freeze;
    TNetTCPClient client;
    connectTo(client, peer.port());
    const int before = counter.pumps;
    client.WriteLine("ONE");
    EXPECT_EQ(counter.pumps, before);
    freeze.OnlyWhenIdle = false;
    client.WriteLine("TWO");
    EXPECT_EQ(counter.pumps, before + 1);
    client.Disconnect();
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(received, "ONE\r\nTWO\r\n");
}

TEST(NetAntiFreeze, ConnectWithoutTimeOutRunsThroughThePumpingWorker) {
    nettest::FullListener listener;
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 50;
    // Make room in the accept queue only once the wait has pumped a few times: the client's
    // retried SYN then gets through.
    PumpCounter counter([&] {
        if (counter.pumps >= 5) listener.drain();
    });
    TNetTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = listener.port();
    client.Connect(0);
    EXPECT_TRUE(client.Connected());
    EXPECT_GE(counter.pumps, 5);
}

TEST(NetAntiFreeze, ConnectTimeOutPumpsWhileWaiting) {
    nettest::FullListener listener;
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 50;
    PumpCounter counter;
    TNetTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = listener.port();
    EXPECT_THROW(client.Connect(600), ENetConnectTimeout);
    EXPECT_GE(counter.pumps, 8);
    EXPECT_LE(counter.pumps, 13);
}
