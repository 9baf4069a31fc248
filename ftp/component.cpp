#include "ftp/component.h"

#include "ftp/socket/stack.h"

TNetComponent::TNetComponent() {
    TNetStack::Acquire();
}

TNetComponent::~TNetComponent() {
    TNetStack::Release();
}

std::string TNetComponent::StatusText(TNetStatus status, const std::string& argument) {
    switch (status) {
    case StatusResolving:
        return "Resolving hostname " + argument + ".";
    case StatusConnecting:
        return "Connecting to " + argument + ".";
    case StatusConnected:
        return "Connected.";
    case StatusDisconnecting:
        return "Disconnecting.";
    case StatusDisconnected:
        return "Disconnected.";
    default:
        return argument;
    }
}

void TNetComponent::ReportStatus(TNetStatus status, const std::string& argument) {
    if (OnStatus) OnStatus(this, status, StatusText(status, argument));
}

void TNetComponent::StartWork(TWorkMode mode, int64_t max) {
    if (++WorkNesting[mode] == 1) {
        WorkMax[mode] = max;
        WorkTotal[mode] = 0;
        if (OnWorkBegin) OnWorkBegin(this, mode, max);
    }
}

void TNetComponent::CountWork(TWorkMode mode, int64_t count) {
    if (WorkNesting[mode] < 1) return;
    WorkTotal[mode] += count;
    if (OnWork) OnWork(this, mode, WorkTotal[mode]);
}

void TNetComponent::FinishWork(TWorkMode mode) {
    if (WorkNesting[mode] == 1 && OnWorkEnd) OnWorkEnd(this, mode);
    // An unbalanced finish must not drive the nesting negative and swallow the next span.
    if (WorkNesting[mode] > 0) --WorkNesting[mode];
}
