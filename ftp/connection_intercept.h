// Hooks that see every block a connection sends and receives, and the log intercept built on
// them that hands the control conversation to the window as text.
#pragma once

#include "ftp/net_stream.h"

#include <functional>
#include <string>

class TNetTCPConnection;
class TNetConnectionIntercept;

using TNetInterceptNotify = std::function<void(TNetConnectionIntercept* sender)>;
using TNetInterceptStream = std::function<void(TNetConnectionIntercept* sender, TNetStream& block)>;

class TNetConnectionIntercept {
public:
    virtual ~TNetConnectionIntercept() = default;

    TNetInterceptNotify OnConnect;
    TNetInterceptNotify OnDisconnect;
    TNetInterceptStream OnReceive;
    TNetInterceptStream OnSend;
    // Passed every call on; not owned.
    TNetConnectionIntercept* NextIntercept = nullptr;

    // The connection served, between Connect and Disconnect.
    TNetTCPConnection* Connection() const { return connection; }

    // Remembers connection, fires OnConnect, passes on.
    virtual void Connect(TNetTCPConnection* connection);
    // Passes on, fires OnDisconnect, forgets the connection.
    virtual void Disconnect();
    // Passes on first, then fires OnReceive; the block is positioned at 0 afterwards. A handler
    // may change the block; the connection uses its size afterwards.
    virtual void Receive(TNetMemoryStream& block);
    // Fires OnSend, positions the block at 0, then passes on.
    virtual void Send(TNetMemoryStream& block);

private:
    TNetTCPConnection* connection = nullptr;
};

// The log intercept: does nothing at all while not Active.
class TNetLogBase : public TNetConnectionIntercept {
public:
    bool LogTime = true;
    bool ReplaceCRLF = true;

    bool Active() const { return active; }
    // While loading (between BeginLoading and EndLoading) the value is only remembered.
    void SetActive(bool value);
    void BeginLoading() { loading = true; }
    void EndLoading();

    void Connect(TNetTCPConnection* connection) override;
    void Disconnect() override;
    void Receive(TNetMemoryStream& block) override;
    void Send(TNetMemoryStream& block) override;

    // Returns the data text of bytes: unchanged, or with CR LF, CR and LF shown as "<EOL>",
    // "<CR>" and "<LF>" when ReplaceCRLF.
    std::string DataText(const std::string& bytes) const;
    // Returns the current date and time as text when LogTime, else "".
    std::string TimeText() const;

protected:
    virtual void LogStatus(const std::string& text) = 0;
    virtual void LogReceived(const std::string& timeText, const std::string& data) = 0;
    virtual void LogSent(const std::string& timeText, const std::string& data) = 0;

private:
    bool active = false;
    bool loading = false;
    bool pendingActive = false;
};

class TNetLogEvent : public TNetLogBase {
public:
    std::function<void(TNetLogEvent* sender, const std::string& timeText, const std::string& data)>
        OnReceived;
    std::function<void(TNetLogEvent* sender, const std::string& timeText, const std::string& data)>
        OnSent;
    std::function<void(TNetLogEvent* sender, const std::string& text)> OnStatus;

protected:
    void LogStatus(const std::string& text) override;
    void LogReceived(const std::string& timeText, const std::string& data) override;
    void LogSent(const std::string& timeText, const std::string& data) override;
};
