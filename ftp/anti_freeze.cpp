#include "ftp/anti_freeze.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace {

std::atomic<TNetAntiFreezeBase*> gActive{nullptr};
std::mutex gHookLock;
// Shared so that a pump can run the hook outside the lock while a handler replaces it.
std::shared_ptr<const TNetPumpHook> gPumpHook;
// Initialised before main runs, so on the thread that started the process.
std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};

} // namespace

TNetAntiFreezeBase::TNetAntiFreezeBase() {
    gActive.store(this);
}

TNetAntiFreezeBase::~TNetAntiFreezeBase() {
    gActive.store(nullptr);
}

void TNetAntiFreeze::PumpMessages() {
    std::shared_ptr<const TNetPumpHook> hook;
    {
        std::lock_guard<std::mutex> lock(gHookLock);
        hook = gPumpHook;
    }
    if (hook && *hook) (*hook)(ApplicationHasPriority);
}

void TNetAntiFreeze::SetPumpHook(TNetPumpHook hook) {
    std::lock_guard<std::mutex> lock(gHookLock);
    gPumpHook = std::make_shared<const TNetPumpHook>(std::move(hook));
}

void TNetAntiFreeze::SetMainThread(std::thread::id id) {
    gMainThread.store(id);
}

bool TNetAntiFreeze::IsMainThread() {
    return std::this_thread::get_id() == gMainThread.load();
}

TNetAntiFreezeBase* ActiveAntiFreeze() {
    return gActive.load();
}

bool AntiFreezeInForce() {
    TNetAntiFreezeBase* active = gActive.load();
    return active != nullptr && active->Active && TNetAntiFreeze::IsMainThread();
}

namespace {

// Pumping happens on the main thread only; the clock reading is shared with nobody else.
std::chrono::steady_clock::time_point gLastPump;

} // namespace

void PumpIfDue(bool idle, bool force) {
    if (!AntiFreezeInForce()) return;
    TNetAntiFreezeBase* active = gActive.load();
    if (idle || !active->OnlyWhenIdle || force) {
        gLastPump = std::chrono::steady_clock::now();
        active->PumpMessages();
    }
}

void PumpWhileBusy() {
    if (!AntiFreezeInForce() || gActive.load()->OnlyWhenIdle) return;
    if (std::chrono::steady_clock::now() - gLastPump <
        std::chrono::milliseconds(BusyPumpIntervalMs))
        return;
    PumpIfDue(false);
}
