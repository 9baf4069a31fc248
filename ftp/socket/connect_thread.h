// The short-lived worker that performs a blocking connect while the main thread sleeps in
// slices and keeps the user interface alive.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class TNetSocketHandle;

class TNetConnectThread {
public:
    // Holds endpoint (which must outlive the worker); the worker is not started yet.
    explicit TNetConnectThread(TNetSocketHandle& endpoint);
    // Asks the worker to stop and waits until it has ended.
    ~TNetConnectThread();
    TNetConnectThread(const TNetConnectThread&) = delete;
    TNetConnectThread& operator=(const TNetConnectThread&) = delete;

    // Starts the connect to the endpoint's RemoteIP:RemotePort.
    void Start();
    // Returns true once the connect has ended, successfully or not.
    bool Finished() const { return finished.load(); }
    // Asks the worker to give up; it ends within one poll slice.
    void Terminate() { stopRequested.store(true); }
    // Waits until the worker has ended.
    void WaitFor();
    // Waits up to ms for the connect to end; returns Finished().
    bool WaitFinished(int ms);
    // The connect's error message, empty on success. Valid once Finished().
    const std::string& ErrorText() const { return errorText; }

private:
    void run();

    TNetSocketHandle& endpoint;
    std::thread worker;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};
    std::mutex finishLock;
    std::condition_variable finishSignal;
    std::string errorText;
};

// Connects endpoint through a worker thread within timeoutMs (-2 = no limit), pumping the
// anti-freeze while waiting. Raises ENetConnectTimeout (socket closed first) or
// ENetConnectException with the worker's error text.
void ConnectThroughWorker(TNetSocketHandle& endpoint, int timeoutMs);
