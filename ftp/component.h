// The base of every engine component: status reports and work (progress) accounting, and the
// instance count that starts and stops the socket stack.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum TNetStatus {
    StatusResolving = 0,
    StatusConnecting = 1,
    StatusConnected = 2,
    StatusDisconnecting = 3,
    StatusDisconnected = 4,
    StatusText = 5,
    StatusTransferStarting = 6,
    StatusReady = 7,
    StatusTransferAborted = 8,
};

enum TWorkMode { WorkReading = 0, WorkWriting = 1 };

class TNetComponent;

using TNetStatusEvent =
    std::function<void(TNetComponent* sender, TNetStatus status, const std::string& text)>;
using TNetWorkBeginEvent =
    std::function<void(TNetComponent* sender, TWorkMode mode, int64_t workCountMax)>;
using TNetWorkEvent = std::function<void(TNetComponent* sender, TWorkMode mode, int64_t workCount)>;
using TNetWorkEndEvent = std::function<void(TNetComponent* sender, TWorkMode mode)>;

class TNetBaseComponent {
public:
    virtual ~TNetBaseComponent() = default;
};

class TNetComponent : public TNetBaseComponent {
public:
    // The first component of the process starts the socket stack.
    TNetComponent();
    // The last component of the process stops the socket stack.
    ~TNetComponent() override;
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;

    TNetStatusEvent OnStatus;
    TNetWorkBeginEvent OnWorkBegin;
    TNetWorkEvent OnWork;
    TNetWorkEndEvent OnWorkEnd;

    // Work records, one per TWorkMode.
    int WorkNesting[2] = {0, 0};
    int64_t WorkTotal[2] = {0, 0};
    int64_t WorkMax[2] = {0, 0};

    // Returns the status text: the status's format filled with argument ("" when none).
    static std::string StatusText(TNetStatus status, const std::string& argument = "");
    // Calls OnStatus, if set, with the status and its formatted text.
    void ReportStatus(TNetStatus status, const std::string& argument = "");

    // Enters a work span; the outermost one resets the total and fires OnWorkBegin(max).
    void StartWork(TWorkMode mode, int64_t max);
    // Inside a span: adds count to the total and fires OnWork with the running total.
    void CountWork(TWorkMode mode, int64_t count);
    // Leaves a span; the outermost one fires OnWorkEnd.
    void FinishWork(TWorkMode mode);
};
