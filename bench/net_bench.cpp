// Receive throughput of the engine's until-close read over loopback, against a plain recv loop
// with the same buffer size in the same run. The pump hook is set, as in the program. The
// sender runs on the first processor and the receiver on the others, as the transfer benchmarks
// place their servers and clients.
//
// Usage: net_bench [MiB per run, default 1024] [rounds, default 5]

#include "bench/bench_place.h"
#include "bench/bench_stats.h"
#include "ftp/anti_freeze.h"
#include "ftp/tcp_client.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Wall-clock throughput, and the CPU time the receiving thread spent: on a shared machine the
// second is the steadier measure of what the engine adds.
struct Figures {
    double mibPerSecond = 0;
    double cpuSeconds = 0;
};

double threadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Figures figures(int64_t total, Clock::time_point start, double cpuStart) {
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {static_cast<double>(total) / seconds / (1024.0 * 1024.0),
            threadCpuSeconds() - cpuStart};
}

// A sender on 127.0.0.1 that pushes `total` bytes to the first connection and closes.
class Sender {
public:
    explicit Sender(int64_t total) {
        listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listenFd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 ||
            ::listen(listenFd, 1) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        socklen_t len = sizeof(a);
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        thread = std::thread([this, total] {
            // The sender plays the server: on its processor, the receiver on the others.
            const bench::ServerPlacement onServerCpu;
            int fd = ::accept(listenFd, nullptr, nullptr);
            if (fd < 0) return;
            std::vector<char> block(1 << 20, 'x');
            int64_t sent = 0;
            while (sent < total) {
                size_t n = static_cast<size_t>(std::min<int64_t>(total - sent, block.size()));
                ssize_t rc = ::send(fd, block.data(), n, MSG_NOSIGNAL);
                if (rc <= 0) break;
                sent += rc;
            }
            ::close(fd);
        });
    }
    ~Sender() {
        thread.join();
        ::close(listenFd);
    }
    int port = 0;

private:
    int listenFd = -1;
    std::thread thread;
};

Figures plainLoop(int64_t total, int bufferSize) {
    Sender sender(total);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(sender.port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    int64_t received = 0;
    const double cpuStart = threadCpuSeconds();
    auto start = Clock::now();
    while (true) {
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        received += n;
    }
    Figures result = figures(total, start, cpuStart);
    ::close(fd);
    if (received != total) {
        std::fprintf(stderr, "plain loop received %lld of %lld bytes\n",
                     static_cast<long long>(received), static_cast<long long>(total));
        std::exit(1);
    }
    return result;
}

Figures engineRead(int64_t total, int bufferSize) {
    Sender sender(total);
    TNetTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = sender.port;
    if (bufferSize > 0) client.RecvBufferSize = bufferSize;
    int64_t lastWork = 0;
    client.OnWork = [&](TNetComponent*, TWorkMode, int64_t count) { lastWork = count; };
    client.Connect();
    TNetNullStream sink;
    const double cpuStart = threadCpuSeconds();
    auto start = Clock::now();
    client.ReadToStream(sink);
    Figures result = figures(total, start, cpuStart);
    client.Disconnect();
    if (sink.Size() != total || lastWork <= 0) {
        std::fprintf(stderr, "engine received %lld of %lld bytes\n",
                     static_cast<long long>(sink.Size()), static_cast<long long>(total));
        std::exit(1);
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    const int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : bench::kDefaultRounds;
    const int64_t total = mib * 1024 * 1024;
    // Left to the scheduler, sender and receiver share a processor in some rounds and not in
    // others, and a round's ratio moved between 0.83 and 1.49 with it.
    bench::PlaceClients();

    // As in the program: an anti-freeze with the browser page's settings and a pump hook.
    std::atomic<int64_t> pumps{0};
    TNetAntiFreeze::SetPumpHook([&](bool) { ++pumps; });
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 50;
    freeze.OnlyWhenIdle = false;

    struct Case {
        const char* name;
        const char* key;
        int engineSize; // 0 = the engine's default
        int plainSize;
    };
    const Case cases[] = {
        {"engine default (32 KiB)", "net.read_default_buffer", 0,
         TNetTCPConnection::DefaultBufferSize},
        {"64 KiB", "net.read_64k", 65536, 65536},
    };

    std::printf("page cache: not involved (memory to memory over loopback)\n");
    std::printf("ReadToStream of %lld MiB over loopback, median of %d rounds\n",
                static_cast<long long>(mib), rounds);
    std::printf("%-24s %11s %12s %11s %13s %14s\n", "buffer", "plain MiB/s", "engine MiB/s",
                "wall ratio", "plain CPU s", "engine CPU s");
    std::printf("%-24s %11s %12s %11s %13s %14s\n", "", "", "", "", "", "(CPU ratio)");
    for (const Case& c : cases) {
        std::vector<double> plain, engine, wallRatio, plainCpu, engineCpu, cpuRatio;
        for (int r = 0; r < rounds; ++r) {
            // Interleaved and paired, so that load from elsewhere hits both sides alike.
            Figures p, e;
            bench::RunPair(
                r, [&] { p = plainLoop(total, c.plainSize); },
                [&] { e = engineRead(total, c.engineSize); });
            plain.push_back(p.mibPerSecond);
            engine.push_back(e.mibPerSecond);
            wallRatio.push_back(e.mibPerSecond / p.mibPerSecond);
            plainCpu.push_back(p.cpuSeconds);
            engineCpu.push_back(e.cpuSeconds);
            cpuRatio.push_back(p.cpuSeconds / e.cpuSeconds);
        }
        auto median = [](const std::vector<double>& v) { return bench::SpreadOf(v).median; };
        std::printf("%-24s %11.0f %12.0f %10.1f%% %13.3f %14.3f (%.1f%%)\n", c.name, median(plain),
                    median(engine), 100.0 * median(wallRatio), median(plainCpu), median(engineCpu),
                    100.0 * median(cpuRatio));
        bench::ReportRatio(c.key, wallRatio, {bench::Goal::AtLeast, 0.9});
    }
    std::printf("pumps during the runs: %lld\n", static_cast<long long>(pumps.load()));
    TNetAntiFreeze::SetPumpHook({});
    return 0;
}
