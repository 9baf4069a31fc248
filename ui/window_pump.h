#pragma once
// How the program keeps its window alive while the engine blocks: the engine's pump hook runs
// the Qt event loop on the user-interface thread, and one anti-freeze is in force with the
// browser frame's settings (a 50 ms idle time-out, pumping also when the application is busy).

#include "ftp/anti_freeze.h"

// Sets the engine's pump hook to process pending Qt events and makes `antiFreeze` (which must
// outlive the pumping) pump every 50 ms, busy or not. Call RemoveWindowPump before the
// application object goes.
void InstallWindowPump(TNetAntiFreeze& antiFreeze);
// Removes the pump hook; blocking calls then wait without processing events.
void RemoveWindowPump();

// Keeps the window alive through a long piece of work on the user-interface thread: the work
// calls Tick() often, and once per slice pending events are processed. User input waits until
// the work is done, so no handler of the user's runs in the middle of it.
class TLoopSlice {
public:
    explicit TLoopSlice(int sliceMs = 40);
    void Tick();

private:
    int sliceMs_;
    long long last_ = 0;
    unsigned calls_ = 0;
};
