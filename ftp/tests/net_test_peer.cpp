#include "net_test_peer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace nettest {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int listenOn(int backlog, int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in a = loopback(0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || ::listen(fd, backlog) != 0)
        throw std::runtime_error("cannot listen on loopback");
    socklen_t len = sizeof(a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

} // namespace

bool waitReadable(int fd, std::chrono::milliseconds limit) {
    pollfd p{fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, static_cast<int>(limit.count()));
    } while (rc < 0 && errno == EINTR);
    return rc == 1;
}

bool sendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string readBytes(int fd, size_t n, std::chrono::milliseconds limit) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + limit;
    char buf[65536];
    while (out.size() < n) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !waitReadable(fd, left)) break;
        ssize_t got = ::recv(fd, buf, std::min(sizeof(buf), n - out.size()), 0);
        if (got <= 0) break;
        out.append(buf, static_cast<size_t>(got));
    }
    return out;
}

std::string readUntilClose(int fd, std::chrono::milliseconds limit) {
    return readBytes(fd, SIZE_MAX, limit);
}

void setResetOnClose(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
}

LoopbackPeer::LoopbackPeer(Script script) : script_(std::move(script)) {
    listen_ = listenOn(4, port_);
    thread_ = std::thread([this] {
        if (waitReadable(listen_, std::chrono::seconds(20))) {
            int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                script_(fd);
                ::close(fd);
            }
        }
        {
            std::lock_guard<std::mutex> lock(doneLock_);
            done_ = true;
        }
        doneSignal_.notify_all();
    });
}

LoopbackPeer::~LoopbackPeer() {
    if (thread_.joinable()) thread_.join();
    ::close(listen_);
}

bool LoopbackPeer::waitDone(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(doneLock_);
    return doneSignal_.wait_for(lock, limit, [this] { return done_; });
}

Gate::Gate() {
    if (::pipe2(pipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
}

Gate::~Gate() {
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void Gate::open() {
    char c = 1;
    (void)!::write(pipe_[1], &c, 1);
}

bool Gate::wait(std::chrono::milliseconds limit) {
    return waitReadable(pipe_[0], limit);
}

FullListener::FullListener() {
    listen_ = listenOn(0, port_);
    // Connect fillers until one is left hanging: then the accept queue is full.
    for (int i = 0; i < 16; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a = loopback(port_);
        int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        bool completed = rc == 0;
        if (!completed && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            completed = ::poll(&p, 1, 300) == 1;
        }
        fillers_.push_back(fd);
        if (!completed) return;
    }
    throw std::runtime_error("accept queue never filled");
}

FullListener::~FullListener() {
    for (int fd : fillers_)
        ::close(fd);
    ::close(listen_);
}

void FullListener::drain() {
    while (waitReadable(listen_, std::chrono::milliseconds(0))) {
        int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) break;
        fillers_.push_back(fd);
    }
}

int unusedPort() {
    int port = 0;
    int fd = listenOn(1, port);
    ::close(fd);
    return port;
}

} // namespace nettest
