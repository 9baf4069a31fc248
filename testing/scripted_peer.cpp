#include "testing/scripted_peer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace oxbrook::testing {

namespace {

constexpr std::chrono::milliseconds kReadLimit{10000};

int listenLoopback(int& port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
        close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

void sendAll(int fd, const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (n <= 0) throw ScriptError("send failed");
        off += static_cast<size_t>(n);
    }
}

} // namespace

void ServeQuickLogin(ScriptedSession& s) {
    s.reply("220 ready");
    s.expect("USER");
    s.reply("230 in");
    s.expect("TYPE");
    s.reply("200 ok");
    s.expect("SYST");
    s.reply("215 UNIX");
}

ScriptedSession::~ScriptedSession() {
    closeData();
    closeFd(fd_);
}

bool ScriptedSession::waitReadable(int fd, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!peer_.stop_) {
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, 100);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
    }
    return false;
}

std::string ScriptedSession::readLine() {
    for (;;) {
        auto lf = pending_.find('\n');
        if (lf != std::string::npos) {
            std::string line = pending_.substr(0, lf);
            pending_.erase(0, lf + 1);
            std::string raw = line + "\n";
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line == "FEAT" && !peer_.scriptsFeat_.load()) {
                // A server that lists no extensions: the client stays with the classic commands.
                reply("211-Features:");
                reply("211 End");
                continue;
            }
            peer_.record(line, raw, true);
            return line;
        }
        if (!waitReadable(fd_, kReadLimit)) throw ScriptError("no line from the client");
        char buf[4096];
        ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) throw ScriptError("client closed while a line was expected");
        pending_.append(buf, static_cast<size_t>(n));
    }
}

std::string ScriptedSession::expect(const std::string& prefix) {
    std::string line = readLine();
    if (line.compare(0, prefix.size(), prefix) != 0)
        throw ScriptError("expected \"" + prefix + "\", got \"" + line + "\"");
    return line;
}

std::string ScriptedSession::readBytes(size_t n) {
    while (pending_.size() < n) {
        if (!waitReadable(fd_, kReadLimit)) throw ScriptError("too few bytes from the client");
        char buf[4096];
        ssize_t got = recv(fd_, buf, std::min(sizeof buf, n - pending_.size()), 0);
        if (got <= 0) throw ScriptError("client closed while bytes were expected");
        pending_.append(buf, static_cast<size_t>(got));
    }
    std::string out = pending_.substr(0, n);
    pending_.erase(0, n);
    peer_.record({}, out, false);
    return out;
}

void ScriptedSession::send(const std::string& bytes) {
    sendAll(fd_, bytes);
}

void ScriptedSession::reply(const std::string& line) {
    sendAll(fd_, line + "\r\n");
}

void ScriptedSession::closeControl() {
    closeFd(fd_);
}

bool ScriptedSession::waitClientClose(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!waitReadable(fd_, limit)) return false;
        char buf[4096];
        ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) return true;
        pending_.append(buf, static_cast<size_t>(n));
    }
    return false;
}

std::string ScriptedSession::openPassive() {
    closeData();
    int port = 0;
    dataListen_ = listenLoopback(port);
    return "127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

void ScriptedSession::acceptData() {
    if (dataListen_ < 0) throw ScriptError("no passive listener");
    if (!waitReadable(dataListen_, kReadLimit)) throw ScriptError("no data connection came");
    data_ = accept(dataListen_, nullptr, nullptr);
    if (data_ < 0) throw ScriptError("accept failed");
    closeFd(dataListen_);
}

void ScriptedSession::connectData(const std::string& portArguments, const std::string& sourceIP) {
    int n[6] = {};
    if (sscanf(portArguments.c_str(), "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4],
               &n[5]) != 6)
        throw ScriptError("bad PORT arguments: " + portArguments);
    closeFd(data_);
    data_ = socket(AF_INET, SOCK_STREAM, 0);
    if (!sourceIP.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, sourceIP.c_str(), &local.sin_addr);
        if (bind(data_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            throw ScriptError("cannot bind to " + sourceIP);
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(n[4] * 256 + n[5]));
    addr.sin_addr.s_addr =
        htonl(static_cast<uint32_t>((n[0] << 24) | (n[1] << 16) | (n[2] << 8) | n[3]));
    if (connect(data_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw ScriptError("cannot connect to the client's data port");
}

void ScriptedSession::sendData(const std::string& bytes) {
    if (data_ < 0) throw ScriptError("no data connection");
    sendAll(data_, bytes);
}

std::string ScriptedSession::readDataToClose() {
    if (data_ < 0) throw ScriptError("no data connection");
    std::string out;
    for (;;) {
        if (!waitReadable(data_, kReadLimit)) throw ScriptError("data connection stayed open");
        char buf[65536];
        ssize_t n = recv(data_, buf, sizeof buf, 0);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    closeFd(data_);
    return out;
}

void ScriptedSession::closeData() {
    closeFd(data_);
    closeFd(dataListen_);
}

ScriptedPeer::ScriptedPeer(Script script, int sessions) : script_(std::move(script)) {
    listen_ = listenLoopback(port_);
    thread_ = std::thread([this, sessions] { run(sessions); });
}

ScriptedPeer::~ScriptedPeer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    closeFd(listen_);
}

void ScriptedPeer::run(int sessions) {
    for (int i = 0; i < sessions && !stop_; ++i) {
        // The client may connect late (a test that first does other work); wait patiently
        // but stay stoppable.
        bool ready = false;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!stop_ && !ready && std::chrono::steady_clock::now() < deadline) {
            pollfd p{listen_, POLLIN, 0};
            ready = poll(&p, 1, 100) > 0;
        }
        if (!ready) break;
        int fd = accept(listen_, nullptr, nullptr);
        if (fd < 0) break;
        // A reply that follows another without a client line in between (150, then 226) must
        // not wait for the delayed acknowledgement of the first.
        const int noDelay = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        ScriptedSession session(*this, fd);
        try {
            script_(session);
        } catch (const std::exception& e) {
            std::lock_guard lock(mutex_);
            if (error_.empty()) error_ = e.what();
        }
    }
    done_ = true;
}

void ScriptedPeer::record(const std::string& line, const std::string& raw, bool isLine) {
    std::lock_guard lock(mutex_);
    if (isLine) lines_.push_back(line);
    bytes_ += raw;
}

std::vector<std::string> ScriptedPeer::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::string ScriptedPeer::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

bool ScriptedPeer::waitDone(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done_) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string ScriptedPeer::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

} // namespace oxbrook::testing
