#pragma once
// Raw loopback peers for the connection tests: a listener whose one accepted socket is handed
// to a script (send edge-case bytes, close early, stay silent, reset), and a listener whose
// accept queue is full so that connects to it hang.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

// Sends all bytes on fd; false when the peer is gone.
bool sendAll(int fd, const std::string& bytes);
// Reads until the other side closes or limit passes; returns what arrived.
std::string readUntilClose(int fd, std::chrono::milliseconds limit = std::chrono::seconds(10));
// Reads exactly n bytes within limit; returns fewer when the other side closes or time passes.
std::string readBytes(int fd, size_t n, std::chrono::milliseconds limit = std::chrono::seconds(10));
// Makes the coming close of fd (by the peer's end of script) a reset (RST), not an orderly close.
void setResetOnClose(int fd);
// Waits until fd is readable (data or close) within limit.
bool waitReadable(int fd, std::chrono::milliseconds limit);

// Listens on 127.0.0.1 (free port); a thread accepts one connection and runs the script on
// it, then closes it (unless the script returned the descriptor closed, signalled by -1).
class LoopbackPeer {
public:
    using Script = std::function<void(int fd)>;
    explicit LoopbackPeer(Script script);
    // Closes the listener and joins the thread (the script must end by itself).
    ~LoopbackPeer();
    int port() const { return port_; }
    // Waits for the script to end; false on time-out.
    bool waitDone(std::chrono::milliseconds limit = std::chrono::seconds(20));

private:
    Script script_;
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
    // A condition, not a pipe: what the script wrote must be visible once waitDone says so.
    std::mutex doneLock_;
    std::condition_variable doneSignal_;
    bool done_ = false;
};

// A one-shot signal between the test and a peer script, with a bounded wait.
class Gate {
public:
    Gate();
    ~Gate();
    void open();
    bool wait(std::chrono::milliseconds limit = std::chrono::seconds(20));

private:
    int pipe_[2] = {-1, -1};
};

// A listener on 127.0.0.1 with backlog 0 whose accept queue has been filled: a further connect
// gets no answer until a queued connection is accepted.
class FullListener {
public:
    FullListener();
    ~FullListener();
    int port() const { return port_; }
    // Accepts every queued connection, making room for the next connect.
    void drain();

private:
    int listen_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

// Returns a port on 127.0.0.1 that nobody listens on (bound, then released).
int unusedPort();

} // namespace nettest
