#include "ui/window_pump.h"

#include <QCoreApplication>

void InstallWindowPump(TNetAntiFreeze& antiFreeze) {
    TNetAntiFreeze::SetPumpHook([](bool allMessages) {
        if (allMessages)
            QCoreApplication::processEvents();
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    });
    antiFreeze.IdleTimeOut = 50;
    antiFreeze.OnlyWhenIdle = false;
}

void RemoveWindowPump() {
    TNetAntiFreeze::SetPumpHook({});
}
