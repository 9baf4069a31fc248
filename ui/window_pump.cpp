#include "ui/window_pump.h"

#include <QCoreApplication>
#include <QDateTime>

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

TLoopSlice::TLoopSlice(int sliceMs)
    : sliceMs_(sliceMs), last_(QDateTime::currentMSecsSinceEpoch()) {}

void TLoopSlice::Tick() {
    // The clock is read every 64 calls only: the calls come from tight loops.
    if (++calls_ % 64 != 0) return;
    const long long now = QDateTime::currentMSecsSinceEpoch();
    if (now - last_ < sliceMs_) return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    last_ = QDateTime::currentMSecsSinceEpoch();
}
