#include "ftp/connection_intercept.h"

#include <ctime>

void TNetConnectionIntercept::Connect(TNetTCPConnection* newConnection) {
    connection = newConnection;
    if (OnConnect) OnConnect(this);
    if (NextIntercept) NextIntercept->Connect(newConnection);
}

void TNetConnectionIntercept::Disconnect() {
    if (NextIntercept) NextIntercept->Disconnect();
    if (OnDisconnect) OnDisconnect(this);
    connection = nullptr;
}

void TNetConnectionIntercept::Receive(TNetMemoryStream& block) {
    if (NextIntercept) NextIntercept->Receive(block);
    if (OnReceive) OnReceive(this, block);
    block.SetPosition(0);
}

void TNetConnectionIntercept::Send(TNetMemoryStream& block) {
    if (OnSend) OnSend(this, block);
    block.SetPosition(0);
    if (NextIntercept) NextIntercept->Send(block);
}

void TNetLogBase::SetActive(bool value) {
    if (loading)
        pendingActive = value;
    else
        active = value;
}

void TNetLogBase::EndLoading() {
    if (!loading) return;
    loading = false;
    active = pendingActive;
}

void TNetLogBase::Connect(TNetTCPConnection* newConnection) {
    if (!active) return;
    TNetConnectionIntercept::Connect(newConnection);
    LogStatus("Connected.");
}

void TNetLogBase::Disconnect() {
    if (!active) return;
    LogStatus("Disconnected.");
    TNetConnectionIntercept::Disconnect();
}

void TNetLogBase::Receive(TNetMemoryStream& block) {
    if (!active) return;
    TNetConnectionIntercept::Receive(block);
    LogReceived(TimeText(), DataText(block.ToString()));
}

void TNetLogBase::Send(TNetMemoryStream& block) {
    if (!active) return;
    TNetConnectionIntercept::Send(block);
    LogSent(TimeText(), DataText(block.ToString()));
}

std::string TNetLogBase::DataText(const std::string& bytes) const {
    if (!ReplaceCRLF) return bytes;
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            text += "<EOL>";
            ++i;
        } else if (bytes[i] == '\r') {
            text += "<CR>";
        } else if (bytes[i] == '\n') {
            text += "<LF>";
        } else {
            text += bytes[i];
        }
    }
    return text;
}

std::string TNetLogBase::TimeText() const {
    if (!LogTime) return "";
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

void TNetLogEvent::LogStatus(const std::string& text) {
    if (OnStatus) OnStatus(this, text);
}

void TNetLogEvent::LogReceived(const std::string& timeText, const std::string& data) {
    if (OnReceived) OnReceived(this, timeText, data);
}

void TNetLogEvent::LogSent(const std::string& timeText, const std::string& data) {
    if (OnSent) OnSent(this, timeText, data);
}
