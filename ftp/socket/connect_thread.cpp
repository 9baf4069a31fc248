#include "ftp/socket/connect_thread.h"

#include "ftp/anti_freeze.h"
#include "ftp/socket/net_exception.h"
#include "ftp/socket/socket_handle.h"
#include "ftp/socket/stack.h"

#include <algorithm>

namespace {

// How often the worker looks at a stop request while its connect is pending.
constexpr int WorkerSliceMs = 25;
constexpr int WaitStepMs = 125;

} // namespace

TNetConnectThread::TNetConnectThread(TNetSocketHandle& endpoint) : endpoint(endpoint) {}

TNetConnectThread::~TNetConnectThread() {
    Terminate();
    WaitFor();
}

void TNetConnectThread::Start() {
    worker = std::thread([this] { run(); });
}

void TNetConnectThread::WaitFor() {
    if (worker.joinable()) worker.join();
}

void TNetConnectThread::run() {
    try {
        endpoint.ConnectInterruptible(stopRequested, WorkerSliceMs);
    } catch (const ENetSocketError& e) {
        // The waiting side closed the socket: that side reports the outcome.
        if (e.SocketErrorNumber != 10009 && e.SocketErrorNumber != 10038) errorText = e.what();
    } catch (const std::exception& e) {
        errorText = e.what();
    }
    {
        std::lock_guard<std::mutex> lock(finishLock);
        finished.store(true);
    }
    finishSignal.notify_all();
}

bool TNetConnectThread::WaitFinished(int ms) {
    std::unique_lock<std::mutex> lock(finishLock);
    finishSignal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished.load(); });
    return finished.load();
}

void ConnectThroughWorker(TNetSocketHandle& endpoint, int timeoutMs) {
    int step = WaitStepMs;
    if (AntiFreezeInForce()) step = std::max(1, std::min(ActiveAntiFreeze()->IdleTimeOut, step));
    const bool unlimited = timeoutMs == -2;
    int remaining = unlimited ? step + 1 : timeoutMs;
    // The first slice is waited for on this thread: a connect to a near peer is over within it,
    // and a thread per data connection was most of the cost of a small file. The window waits
    // no longer than it would for the worker's first slice.
    const int first = std::min(step, std::max(remaining, 0));
    try {
        if (endpoint.TryConnectNow(first)) return;
    } catch (const std::exception& e) {
        throw ENetConnectException(e.what());
    }
    if (!unlimited) remaining -= first;
    if (remaining <= 0) {
        endpoint.Close();
        throw ENetConnectTimeout();
    }
    PumpIfDue(true);

    TNetConnectThread worker(endpoint);
    worker.Start();
    // The waits end early when the connect is done, so a quick connect costs no full slice.
    while (remaining > step) {
        worker.WaitFinished(step);
        PumpIfDue(true);
        remaining = unlimited ? step + 1 : remaining - step;
        if (worker.Finished()) {
            remaining = 0;
            break;
        }
    }
    if (remaining > 0) worker.WaitFinished(remaining);

    if (!worker.Finished()) {
        // The worker must be gone before the socket closes, or its descriptor could be reused
        // under it.
        worker.Terminate();
        worker.WaitFor();
        endpoint.Close();
        throw ENetConnectTimeout();
    }
    worker.WaitFor();
    if (!worker.ErrorText().empty()) throw ENetConnectException(worker.ErrorText());
}
