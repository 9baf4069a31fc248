#pragma once
// A scripted server on 127.0.0.1 for what real servers do not do: odd replies, proxy login
// schemes, refusals at a chosen step, SOCKS reply codes. A listener thread accepts one
// connection per session and runs the test's script on it; every read is bounded, so a
// script waiting for a line that never comes fails instead of hanging the test.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace oxbrook::testing {

// Raised inside a script when the client does something else than the script expects.
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ScriptedPeer;

// One accepted control connection, handed to the script.
class ScriptedSession {
public:
    // Reads one line (without its CR LF), records it; raises ScriptError on close or time-out.
    std::string readLine();
    // Reads a line and checks that it starts with `prefix`; returns it or raises ScriptError.
    std::string expect(const std::string& prefix);
    // Reads exactly n bytes (recorded too); raises ScriptError on close or time-out.
    std::string readBytes(size_t n);
    // Sends bytes as they are.
    void send(const std::string& bytes);
    // Sends a reply line followed by CR LF.
    void reply(const std::string& line);
    // Closes the control connection.
    void closeControl();
    // True when the client closed the control connection within the time-out.
    bool waitClientClose(std::chrono::milliseconds limit = std::chrono::seconds(5));

    // Opens a data listener on 127.0.0.1 and returns its address as the six numbers of a
    // 227 reply ("127,0,0,1,p1,p2").
    std::string openPassive();
    // Accepts the client's data connection on the passive listener; raises on time-out.
    void acceptData();
    // Connects to the endpoint given as the six numbers of a PORT command, from sourceIP when
    // given (any 127.x address works on loopback).
    void connectData(const std::string& portArguments, const std::string& sourceIP = {});
    // Sends bytes on the data connection.
    void sendData(const std::string& bytes);
    // Reads the data connection until the client closes it.
    std::string readDataToClose();
    // Closes the data connection (and the passive listener).
    void closeData();

    ~ScriptedSession();

private:
    friend class ScriptedPeer;
    ScriptedSession(ScriptedPeer& peer, int fd) : peer_(peer), fd_(fd) {}
    bool waitReadable(int fd, std::chrono::milliseconds limit);
    ScriptedPeer& peer_;
    int fd_ = -1;
    int dataListen_ = -1;
    int data_ = -1;
    std::string pending_;
};

// Plays a server's side of a login without password: welcome, USER accepted at once, TYPE and
// SYST answered.
void ServeQuickLogin(ScriptedSession& s);

class ScriptedPeer {
public:
    using Script = std::function<void(ScriptedSession&)>;

    // Listens on 127.0.0.1 (a free port) and runs `script` for each of the next `sessions`
    // connections, one after the other. Raises std::runtime_error when it cannot listen.
    explicit ScriptedPeer(Script script, int sessions = 1);
    // Stops listening, closes every connection and joins the thread.
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Returns the listening port.
    int port() const { return port_; }
    // Returns the lines read by the scripts so far, in order.
    std::vector<std::string> lines() const;
    // Returns every byte read on control connections so far, in order.
    std::string bytes() const;
    // Waits until every session's script has returned; false on time-out.
    bool waitDone(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Returns the message of the first script failure, or an empty string.
    std::string error() const;
    // By default FEAT is answered with an empty feature list and not shown to the script (nor
    // recorded); with true the script reads and answers it like any other command.
    void scriptFeat(bool on) { scriptsFeat_.store(on); }

private:
    friend class ScriptedSession;
    void run(int sessions);
    void record(const std::string& line, const std::string& raw, bool isLine);

    Script script_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::atomic<bool> scriptsFeat_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::string bytes_;
    std::string error_;
    std::thread thread_;
};

} // namespace oxbrook::testing
