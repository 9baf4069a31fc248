// Until-close reads, stream writes and their work (progress) events, including transfers far
// past 4 GiB through a counting stream.
#include "ftp/connection_intercept.h"
#include "ftp/socket/net_exception.h"
#include "ftp/tcp_client.h"
#include "net_test_peer.h"
#include "testing/temp_dir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

using nettest::LoopbackPeer;

namespace {

struct WorkLog {
    std::vector<std::string> events;
    std::vector<int64_t> counts;
    void attach(TNetComponent& c) {
        c.OnWorkBegin = [this](TNetComponent*, TWorkMode mode, int64_t max) {
            events.push_back("begin " + std::to_string(mode) + " " + std::to_string(max));
        };
        c.OnWork = [this](TNetComponent*, TWorkMode mode, int64_t count) {
            events.push_back("work " + std::to_string(mode) + " " + std::to_string(count));
            counts.push_back(count);
        };
        c.OnWorkEnd = [this](TNetComponent*, TWorkMode mode) {
            events.push_back("end " + std::to_string(mode));
        };
    }
};

void connectTo(TNetTCPClient& client, int port) {
    client.Host = "127.0.0.1";
    client.Port = port;
    client.Connect();
}

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return s;
}

// Keeps no bytes: counts them and folds them into a CRC-32.
class CountingHashStream : public TNetNullStream {
public:
    int64_t Write(const void* buffer, int64_t count) override {
        crc = crc32_z(crc, static_cast<const Bytef*>(buffer), static_cast<size_t>(count));
        return TNetNullStream::Write(buffer, count);
    }
    uLong crc = crc32(0, nullptr, 0);
};

} // namespace

TEST(NetReadToStream, WorkIsCountedPerFullPieceAndTheTailArrivesUncounted) {
    const std::string data = pattern(5000);
    LoopbackPeer peer([&](int fd) { nettest::sendAll(fd, data); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    client.RecvBufferSize = 2048;
    WorkLog log;
    log.attach(client);
    TNetMemoryStream stream;
    EXPECT_EQ(client.ReadToStream(stream), 5000);
    EXPECT_EQ(stream.ToString(), data);
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"begin 0 0", "work 0 2048", "work 0 4096", "end 0"}));
    EXPECT_FALSE(client.Connected());
}

TEST(NetReadToStream, BytesQueuedBeforeTheCallComeFirst) {
    LoopbackPeer peer([](int fd) { nettest::sendAll(fd, "header\nbody-bytes"); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(client.ReadLine(), "header");
    TNetMemoryStream stream;
    client.ReadToStream(stream);
    EXPECT_EQ(stream.ToString(), "body-bytes");
}

TEST(NetReadToStream, UnfilledBufferSizeStillReadsEverything) {
    const std::string data = pattern(100000);
    LoopbackPeer peer([&](int fd) { nettest::sendAll(fd, data); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    client.RecvBufferSize = 0;
    WorkLog log;
    log.attach(client);
    TNetMemoryStream stream;
    client.ReadToStream(stream);
    EXPECT_EQ(stream.ToString(), data);
    // Pieces of the default size: 3 whole ones of 32768 before the tail.
    EXPECT_EQ(log.counts, (std::vector<int64_t>{32768, 65536, 98304}));
}

TEST(NetReadToStream, AResetInTheMiddleRaisesTheSocketError) {
    LoopbackPeer peer([](int fd) {
        nettest::sendAll(fd, std::string(1000, 'r'));
        nettest::setResetOnClose(fd);
    });
    TNetTCPClient client;
    connectTo(client, peer.port());
    ASSERT_TRUE(peer.waitDone());
    TNetMemoryStream stream;
    WorkLog log;
    log.attach(client);
    try {
        client.ReadToStream(stream);
        // A reset that arrives after the bytes were taken may also read as a plain close.
        EXPECT_EQ(stream.Size(), 1000);
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.SocketErrorNumber, 10054);
    }
    ASSERT_FALSE(log.events.empty());
    EXPECT_EQ(log.events.back(), "end 0"); // the work span is closed on every path
}

TEST(NetReadToStream, IntoAFileThroughAnIntercept) {
    const std::string data = pattern(300000);
    LoopbackPeer peer([&](int fd) { nettest::sendAll(fd, data); });
    oxbrook::testing::TempDir dir;
    const std::string path = (dir / "download.bin").string();
    TNetConnectionIntercept intercept;
    int64_t seen = 0;
    intercept.OnReceive = [&](TNetConnectionIntercept*, TNetStream& block) {
        seen += block.Size();
    };
    TNetTCPClient client;
    client.Intercept = &intercept;
    connectTo(client, peer.port());
    {
        TNetFileStream file(path, TNetFileMode::fmCreate);
        EXPECT_EQ(client.ReadToStream(file), 300000);
    }
    EXPECT_EQ(seen, 300000);
    TNetFileStream check(path, TNetFileMode::fmOpenRead);
    std::string back(300000, '\0');
    EXPECT_EQ(check.Read(back.data(), 300000), 300000);
    EXPECT_EQ(back, data);
}

TEST(NetReadToStream, MoreThanFourGigabytesArriveWhole) {
    // 4.5 GiB of generated bytes: past every 32-bit limit of sizes and counts.
    constexpr int64_t total = 4608LL * 1024 * 1024;
    constexpr size_t block = 1 << 20;
    uLong sentCrc = crc32(0, nullptr, 0);
    LoopbackPeer peer([&](int fd) {
        std::string buffer = pattern(block);
        for (int64_t sent = 0; sent < total; sent += block) {
            // Every block differs, so lost, doubled or swapped blocks change the checksum.
            const int64_t index = sent / static_cast<int64_t>(block);
            std::memcpy(buffer.data(), &index, sizeof(index));
            sentCrc = crc32_z(sentCrc, reinterpret_cast<const Bytef*>(buffer.data()), block);
            if (!nettest::sendAll(fd, buffer)) return;
        }
    });
    TNetTCPClient client;
    connectTo(client, peer.port());
    client.RecvBufferSize = 65536;
    int64_t lastCount = 0;
    bool monotonic = true;
    int64_t workCalls = 0;
    client.OnWork = [&](TNetComponent*, TWorkMode, int64_t count) {
        monotonic = monotonic && count > lastCount;
        lastCount = count;
        ++workCalls;
    };
    CountingHashStream stream;
    const int64_t written = client.ReadToStream(stream);
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(written, total);
    EXPECT_EQ(stream.Size(), total);
    EXPECT_EQ(stream.crc, sentCrc);
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(lastCount, total);
    EXPECT_EQ(client.WorkTotal[WorkReading], total);
    EXPECT_EQ(workCalls, total / 65536);
}

TEST(NetWriteFromStream, UploadCountsRunningTotalsAfterEachSend) {
    std::string received;
    LoopbackPeer peer([&](int fd) { received = nettest::readUntilClose(fd); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    client.SendBufferSize = 1024;
    WorkLog log;
    log.attach(client);
    TNetMemoryStream stream;
    const std::string data = pattern(2500);
    stream.Write(data.data(), 2500);
    client.WriteFromStream(stream);
    client.Disconnect();
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(received, data);
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 1 2500", "work 1 1024", "work 1 2048",
                                                    "work 1 2500", "end 1"}));
}

TEST(NetWriteFromStream, FromThePositionAndWithAnUnfilledBufferSize) {
    std::string received;
    LoopbackPeer peer([&](int fd) { received = nettest::readUntilClose(fd); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    client.SendBufferSize = -5;
    WorkLog log;
    log.attach(client);
    const std::string data = pattern(70000);
    TNetMemoryStream stream;
    stream.Write(data.data(), static_cast<int64_t>(data.size()));
    stream.SetPosition(1000);
    client.WriteFromStream(stream, false);
    client.Disconnect();
    ASSERT_TRUE(peer.waitDone());
    EXPECT_EQ(received, data.substr(1000));
    EXPECT_EQ(log.events.front(), "begin 1 69000");
    EXPECT_EQ(log.counts.back(), 69000);
}

TEST(NetWriteFromStream, AStreamThatGivesNothingRaisesNoData) {
    nettest::Gate release;
    LoopbackPeer peer([&](int) { release.wait(); });
    TNetTCPClient client;
    connectTo(client, peer.port());
    // Claims 10 bytes but delivers none.
    class EmptyStream : public TNetMemoryStream {
    public:
        int64_t Size() const override { return 10; }
        int64_t Read(void*, int64_t) override { return 0; }
    } stream;
    WorkLog log;
    log.attach(client);
    try {
        client.WriteFromStream(stream);
        FAIL() << "no exception";
    } catch (const ENetNoDataToRead& e) {
        EXPECT_STREQ(e.what(), "No data to read.");
    }
    EXPECT_EQ(log.events.back(), "end 1");
    release.open();
}

TEST(NetWork, NestedSpansReportOnlyTheOutermost) {
    TNetTCPClient client;
    WorkLog log;
    log.attach(client);
    client.CountWork(WorkReading, 5); // outside a span: not reported
    client.StartWork(WorkReading, 100);
    client.StartWork(WorkReading, 7);
    client.CountWork(WorkReading, 3000000000LL);
    client.FinishWork(WorkReading);
    client.CountWork(WorkReading, 1);
    client.FinishWork(WorkReading);
    client.FinishWork(WorkReading); // unbalanced: ignored
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 0 100", "work 0 3000000000",
                                                    "work 0 3000000001", "end 0"}));
    EXPECT_EQ(client.WorkNesting[WorkReading], 0);
}

TEST(NetFileStream, ReadsWritesAndResizesPastTheEnd) {
    oxbrook::testing::TempDir dir;
    const std::string path = (dir / "f.bin").string();
    {
        TNetFileStream f(path, TNetFileMode::fmCreate);
        f.Write("hello world", 11);
        EXPECT_EQ(f.Size(), 11);
        f.SetPosition(6);
        char out[5];
        EXPECT_EQ(f.Read(out, 5), 5);
        EXPECT_EQ(std::string(out, 5), "world");
        f.SetSize(5);
        EXPECT_EQ(f.Position(), 5);
    }
    {
        TNetFileStream f(path, TNetFileMode::fmOpenRead);
        EXPECT_EQ(f.Size(), 5);
    }
    EXPECT_THROW(TNetFileStream((dir / "missing").string(), TNetFileMode::fmOpenRead),
                 ENetException);
}
