// The anti-freeze: while an engine call blocks on the main thread, it lets the program process
// its pending window messages through a pump hook.
#pragma once

#include <functional>
#include <thread>

// The program's message pump: allMessages true = process everything waiting, false = handle at
// most one waiting message. The Qt program sets it to QCoreApplication::processEvents.
using TNetPumpHook = std::function<void(bool allMessages)>;

class TNetAntiFreezeBase {
public:
    // Registers this anti-freeze as the one in force, replacing any other.
    TNetAntiFreezeBase();
    // Ends any registration, also when another instance is registered.
    virtual ~TNetAntiFreezeBase();
    TNetAntiFreezeBase(const TNetAntiFreezeBase&) = delete;
    TNetAntiFreezeBase& operator=(const TNetAntiFreezeBase&) = delete;

    bool Active = true;
    bool ApplicationHasPriority = true;
    int IdleTimeOut = 250;
    bool OnlyWhenIdle = true;

    // Processes pending messages.
    virtual void PumpMessages() = 0;
};

class TNetAntiFreeze : public TNetAntiFreezeBase {
public:
    // Calls the pump hook (all messages when ApplicationHasPriority, else one); nothing
    // without a hook.
    void PumpMessages() override;

    // Sets the process-wide pump hook; an empty function removes it.
    static void SetPumpHook(TNetPumpHook hook);
    // Names the thread that may pump; by default the thread that started the process.
    static void SetMainThread(std::thread::id id);
    // Returns true on the thread that may pump.
    static bool IsMainThread();
};

// Returns the registered anti-freeze, or null.
TNetAntiFreezeBase* ActiveAntiFreeze();
// Returns true when an anti-freeze is registered and Active and the caller is the main thread.
bool AntiFreezeInForce();
// Pumps when in force and (idle, or not OnlyWhenIdle, or force).
void PumpIfDue(bool idle, bool force = false);

// The shortest time between two pumps of a busy receive.
constexpr int BusyPumpIntervalMs = 10;
// PumpIfDue(false) for a receive that found its bytes waiting: pumps only once
// BusyPumpIntervalMs have passed since the engine last pumped, so that a transfer whose data
// always waits keeps the window alive without a full message pass per receive.
void PumpWhileBusy();
