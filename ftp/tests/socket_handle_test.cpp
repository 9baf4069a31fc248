// Binding with and without a port range, listening and accepting, closing.
#include "ftp/socket/net_exception.h"
#include "ftp/socket/socket_handle.h"
#include "net_test_peer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>

TEST(NetSocketHandle, ReversedPortRangeIsRefusedWithBothNumbers) {
    TNetSocketHandle handle;
    handle.AllocateSocket();
    handle.ClientPortMin = 5000;
    handle.ClientPortMax = 4000;
    try {
        handle.Bind();
        FAIL() << "no exception";
    } catch (const ENetInvalidPortRange& e) {
        EXPECT_STREQ(e.what(), "Invalid Port Range (5000 - 4000)");
    }
}

TEST(NetSocketHandle, PortRangeBindsTheHighestFreePort) {
    TNetSocketHandle taken;
    taken.AllocateSocket();
    taken.IP = "127.0.0.1";
    taken.Bind();
    const int busy = taken.Port;
    taken.Listen(1);

    TNetSocketHandle inRange;
    inRange.AllocateSocket();
    inRange.IP = "127.0.0.1";
    inRange.ClientPortMin = busy;
    inRange.ClientPortMax = busy;
    try {
        inRange.Bind();
        FAIL() << "no exception";
    } catch (const ENetCanNotBindPortInRange& e) {
        const std::string expected = "Can not bind in port range (" + std::to_string(busy) + " - " +
                                     std::to_string(busy) + ")";
        EXPECT_EQ(e.what(), expected);
    }

    TNetSocketHandle below;
    below.AllocateSocket();
    below.IP = "127.0.0.1";
    below.ClientPortMin = busy - 50;
    below.ClientPortMax = busy;
    below.Bind();
    EXPECT_LT(below.Port, busy);
    EXPECT_GE(below.Port, busy - 50);
    EXPECT_EQ(below.IP, "127.0.0.1");
}

TEST(NetSocketHandle, BindToAPortInUseRaisesCouldNotBind) {
    TNetSocketHandle taken;
    taken.AllocateSocket();
    taken.IP = "127.0.0.1";
    taken.Bind();
    taken.Listen(1);

    TNetSocketHandle second;
    second.AllocateSocket();
    second.IP = "127.0.0.1";
    second.Port = taken.Port;
    try {
        second.Bind();
        FAIL() << "no exception";
    } catch (const ENetCouldNotBindSocket& e) {
        EXPECT_STREQ(e.what(), "Could not bind socket. Address and port are already in use.");
    }
}

// A listener on 127.0.0.1, a client connected to it and the accepted end.
struct ConnectedPair {
    TNetSocketHandle listener, client, accepted;
    ConnectedPair() {
        listener.AllocateSocket();
        listener.IP = "127.0.0.1";
        listener.Bind();
        listener.Listen(15);
        client.AllocateSocket();
        client.RemoteIP = "127.0.0.1";
        client.RemotePort = listener.Port;
        client.Connect();
        if (!listener.WaitReadable(5000) || !accepted.Accept(listener.SocketDescriptor()))
            throw std::runtime_error("no connection accepted");
    }
};

TEST(NetSocketHandle, ListenAcceptAndReadBackBothEnds) {
    ConnectedPair pair;
    TNetSocketHandle &listener = pair.listener, &client = pair.client, &accepted = pair.accepted;
    EXPECT_GT(listener.Port, 0);
    EXPECT_TRUE(accepted.IsOpen());
    EXPECT_EQ(accepted.Port, listener.Port);
    EXPECT_EQ(accepted.RemotePort, client.Port);
    EXPECT_EQ(accepted.RemoteIP, "127.0.0.1");
}

// The receive that sleeps in itself: bytes, the peer's close, a wait spent with nothing, and a
// socket left non-blocking that cannot wait at all.
TEST(NetSocketHandle, ReceiveWithinSaysWhetherItSpentTheWait) {
    ConnectedPair pair;
    TNetSocketHandle &client = pair.client, &accepted = pair.accepted;

    char buffer[8];
    int ms = 0;
    EXPECT_EQ(client.ReceiveWithin(buffer, 8, ms), -2);
    EXPECT_EQ(ms, 0);
    ms = 40;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ReceiveWithin(buffer, 8, ms), -2);
    EXPECT_EQ(ms, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));

    ASSERT_EQ(::send(accepted.SocketDescriptor(), "abc", 3, 0), 3);
    ms = -2;
    ASSERT_EQ(client.ReceiveWithin(buffer, 8, ms), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");

    const int fd = client.SocketDescriptor();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ms = 5000;
    EXPECT_EQ(client.ReceiveWithin(buffer, 8, ms), -2);
    EXPECT_EQ(ms, 5000);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    accepted.Close();
    EXPECT_EQ(client.ReceiveWithin(buffer, 8, ms), 0);
}

TEST(NetSocketHandle, AcceptOnAClosedListenerReportsNoConnection) {
    TNetSocketHandle listener;
    listener.AllocateSocket();
    listener.Bind();
    listener.Listen(1);
    const int fd = listener.SocketDescriptor();
    listener.Close();
    TNetSocketHandle accepted;
    EXPECT_FALSE(accepted.Accept(fd));
    EXPECT_FALSE(accepted.IsOpen());
}

TEST(NetSocketHandle, WaitOnAClosedSocketEndsGracefully) {
    TNetSocketHandle handle;
    handle.AllocateSocket();
    handle.Close();
    EXPECT_FALSE(handle.IsOpen());
    try {
        handle.WaitReadable(100);
        FAIL() << "no exception";
    } catch (const ENetConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
    handle.Close(); // a second close is harmless
}

TEST(NetSocketHandle, ResetForgetsAddressesAndRange) {
    TNetSocketHandle handle;
    handle.AllocateSocket();
    handle.IP = "127.0.0.1";
    handle.Port = 1;
    handle.ClientPortMin = 2;
    handle.ClientPortMax = 3;
    handle.RemoteIP = "127.0.0.2";
    handle.RemotePort = 4;
    handle.Reset();
    EXPECT_FALSE(handle.IsOpen());
    EXPECT_EQ(handle.SocketDescriptor(), -1);
    EXPECT_TRUE(handle.IP.empty());
    EXPECT_TRUE(handle.RemoteIP.empty());
    EXPECT_EQ(handle.Port + handle.ClientPortMin + handle.ClientPortMax + handle.RemotePort, 0);
}

// A connect to a near peer completes without the worker thread; one that cannot complete at once
// is left pending and finished by the worker's interruptible wait.
namespace {

// Gives client a fresh socket aimed at 127.0.0.1:port.
void aimAtLoopback(TNetSocketHandle& client, int port) {
    client.AllocateSocket();
    client.RemoteIP = "127.0.0.1";
    client.RemotePort = port;
}

} // namespace

TEST(NetSocketHandle, ConnectNowCompletesAtOnceOnLoopbackAndReadsBackBothEnds) {
    TNetSocketHandle listener;
    listener.AllocateSocket();
    listener.IP = "127.0.0.1";
    listener.Bind();
    listener.Listen(15);
    TNetSocketHandle client;
    aimAtLoopback(client, listener.Port);
    ASSERT_TRUE(client.TryConnectNow());
    EXPECT_EQ(client.RemotePort, listener.Port);
    EXPECT_GT(client.Port, 0);
    // The socket is back in blocking mode: the engine's reads and writes rely on it.
    EXPECT_EQ(::fcntl(client.SocketDescriptor(), F_GETFL) & O_NONBLOCK, 0);

    ASSERT_TRUE(listener.WaitReadable(5000));
    TNetSocketHandle accepted;
    ASSERT_TRUE(accepted.Accept(listener.SocketDescriptor()));
    EXPECT_EQ(accepted.RemotePort, client.Port);
}

TEST(NetSocketHandle, ConnectNowToAClosedPortRaisesRefused) {
    TNetSocketHandle client;
    aimAtLoopback(client, nettest::unusedPort());
    try {
        client.TryConnectNow();
        FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.SocketErrorNumber, 10061);
    }
}

TEST(NetSocketHandle, PendingConnectIsFinishedByTheInterruptibleWait) {
    nettest::FullListener listener;
    TNetSocketHandle client;
    aimAtLoopback(client, listener.port());
    ASSERT_FALSE(client.TryConnectNow());

    // A stop request ends the wait and leaves the connect unfinished.
    std::atomic<bool> stop{true};
    client.ConnectInterruptible(stop, 25);
    EXPECT_EQ(client.RemotePort, listener.port());
    EXPECT_EQ(client.Port, 0);

    // Room in the queue lets a retried handshake through; the other hanging connect may take
    // the room first, so the queue is emptied until ours is done. Bounded: should the handshake
    // never complete, the wait is stopped after 15 s.
    stop.store(false);
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::thread stopper([&] {
        std::unique_lock<std::mutex> hold(lock);
        for (int round = 0; round < 75 && !finished; ++round) {
            listener.drain();
            done.wait_for(hold, std::chrono::milliseconds(200), [&] { return finished; });
        }
        stop.store(true);
    });
    client.ConnectInterruptible(stop, 25);
    {
        std::lock_guard<std::mutex> hold(lock);
        finished = true;
    }
    done.notify_all();
    stopper.join();
    EXPECT_GT(client.Port, 0);
    EXPECT_EQ(::fcntl(client.SocketDescriptor(), F_GETFL) & O_NONBLOCK, 0);
}
