// TNetFTP: connecting, logging in by the proxy schemes, the transfer type, disconnecting.

#include "ftp/ftp.h"
#include "ftp/list_parser.h"
#include "ftp/simple_server.h"
#include "ftp/socket/io_handler_socket.h"
#include "ftp/socket/tls_io_handler.h"

TNetFTP::TNetFTP() {
    Port = 21;
}

TNetFTP::~TNetFTP() {
    dataConnection.reset();
}

void TNetFTP::Connect(bool autoLogin, int timeoutMs) {
    try {
        const std::string ftpHost = Host;
        const int ftpPort = Port;
        if (ProxySettings.ProxyType != fpcmNone && !ProxySettings.Host.empty()) {
            Host = ProxySettings.Host;
            Port = ProxySettings.Port;
        }
        controlTarget = Host;
        try {
            dataProtected = false;
            if (Encryption != feNone) tlsContext = std::make_unique<TNetTLSContext>(CaFile);
            if (!IOHandler()) {
                auto transport = Encryption != feNone
                                     ? std::make_unique<TNetIOHandlerTLS>(*tlsContext)
                                     : std::make_unique<TNetIOHandlerSocket>();
                transport->OnStatus = OnStatus;
                transport->SocksInfo = &SocksInfo;
                SetOwnedIOHandler(std::move(transport));
            }
            TNetTCPClient::Connect(timeoutMs);
        } catch (...) {
            Host = ftpHost;
            Port = ftpPort;
            throw;
        }
        Host = ftpHost;
        Port = ftpPort;

        if (Encryption == feImplicitTls) startControlTLS(true);
        ReadReply({220});
        WelcomeReply = LastReply;
        if (Encryption == feExplicitTls || Encryption == feTlsIfAvailable)
            startControlTLS(Encryption == feExplicitTls);
        if (autoLogin) {
            Login();
            if (OnAfterClientLogin) OnAfterClientLogin(this);
            if (SendCommand("SYST", {200, 215, 500}) == 500)
                ServerSystem = "Unknown";
            else
                ServerSystem = LastReply.Text.empty() ? std::string() : LastReply.Text[0];
            ReportStatus(StatusReady, "Connection established");
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TNetFTP::userStep(const std::string& user, const std::string& password) {
    if (SendCommand("USER " + user, {230, 331}) == 331) SendCommand("PASS " + password, {230});
}

void TNetFTP::proxyStep() {
    if (!ProxySettings.UserName.empty()) userStep(ProxySettings.UserName, ProxySettings.Password);
}

void TNetFTP::Login() {
    switch (ProxySettings.ProxyType) {
    case fpcmNone:
        userStep(Username, Password);
        break;
    case fpcmUserSite:
        proxyStep();
        userStep(Username + "@" + Host, Password);
        break;
    case fpcmSite:
        proxyStep();
        SendCommand("SITE " + Host, -1);
        userStep(Username, Password);
        break;
    case fpcmOpen:
        proxyStep();
        SendCommand("OPEN " + Host, -1);
        userStep(Username, Password);
        break;
    case fpcmUserPass:
        if (SendCommand("USER " + Username + "@" + ProxySettings.UserName + "@" + Host,
                        {230, 331}) == 331) {
            SendCommand("PASS " + Password +
                            (ProxySettings.Password.empty() ? "" : "@" + ProxySettings.Password),
                        {230});
        }
        break;
    case fpcmTransparent:
        proxyStep();
        userStep(Username, Password);
        break;
    case fpcmHttpProxyWithFtp:
    default:
        throw ENetException("Command not supported.");
    }
    LoginReply = LastReply;
    AskFeatures();
    protectData();
    SendTransferType();
}

void TNetFTP::SendTransferType() {
    SendCommand(transferType == ftASCII ? "TYPE A" : "TYPE I", {200});
}

void TNetFTP::SetTransferType(TNetFTPTransferType type) {
    // A transfer in progress keeps the type it started with; the new value is dropped.
    if (type == transferType || dataConnection) return;
    transferType = type;
    if (Connected()) SendTransferType();
}

void TNetFTP::Disconnect() {
    TNetTCPClient::Disconnect();
}
