// TNetFTP: FTPS. Explicit (AUTH TLS) and implicit TLS on the control connection, PBSZ and PROT
// after the login, data connections that resume the control connection's session, and the
// certificate checks with the question to the user.

#include "ftp/ftp.h"
#include "ftp/list_parser.h"
#include "ftp/simple_server.h"
#include "ftp/socket/tls_io_handler.h"

#include <algorithm>

namespace {

TNetIOHandlerTLS* tlsOf(TNetIOHandler* handler) {
    return dynamic_cast<TNetIOHandlerTLS*>(handler);
}

} // namespace

bool TNetFTP::TLSActive() const {
    auto* tls = tlsOf(IOHandler());
    return tls && tls->TLSActive();
}

std::unique_ptr<TNetIOHandlerSocket> TNetFTP::makeDataTransport() {
    if (!dataProtected || !tlsContext) return std::make_unique<TNetIOHandlerSocket>();
    auto transport = std::make_unique<TNetIOHandlerTLS>(*tlsContext);
    transport->DrainOnClose = true;
    return transport;
}

void TNetFTP::startControlTLS(bool required) {
    auto* tls = tlsOf(IOHandler());
    if (!tls) throw ENetTLSError("The connection cannot run TLS.");
    if (Encryption != feImplicitTls) {
        const int code = SendCommand("AUTH TLS", -1);
        if (code != 234 && code != 334) {
            if (required) RaiseReplyError();
            ReportStatus(TNetStatus::StatusText, "The server refused TLS; continuing without it");
            return;
        }
    }
    ReportStatus(TNetStatus::StatusText, "Starting TLS");
    tls->StartTLS(controlTarget);
    const std::string problem = tls->CheckPeer(controlTarget, Port, ServerCertificate);
    if (problem.empty()) {
        ReportStatus(TNetStatus::StatusText, "TLS on: " + tls->Description());
        return;
    }
    const std::string mine = ServerCertificate.Fingerprint;
    auto known =
        std::find_if(TrustedFingerprints.begin(), TrustedFingerprints.end(),
                     [&](const std::string& f) { return NetCanonicalFingerprint(f) == mine; });
    if (known != TrustedFingerprints.end()) {
        ReportStatus(TNetStatus::StatusText,
                     "TLS on with a certificate trusted before: " + tls->Description());
        return;
    }
    const TNetTrustAnswer answer = OnCertificate ? OnCertificate(ServerCertificate) : taCancel;
    if (answer == taCancel)
        throw ENetCertificateRefused("The server's certificate is not trusted: " + problem);
    if (answer == taAlwaysTrust) TrustedFingerprints.push_back(mine);
    ReportStatus(TNetStatus::StatusText,
                 "TLS on with a certificate the user trusted: " + tls->Description());
}

void TNetFTP::protectData() {
    dataProtected = false;
    if (!TLSActive()) return;
    SendCommand("PBSZ 0", {200});
    SendCommand("PROT P", {200});
    dataProtected = true;
}

void TNetFTP::secureDataConnection() {
    if (!dataProtected || !dataConnection) return;
    auto* data = tlsOf(dataConnection->IOHandler());
    auto* control = tlsOf(IOHandler());
    if (!data || !control || data->TLSActive()) return;
    // Servers that insist on it refuse a data connection that does not resume the control
    // connection's session; the session is taken now, after any tickets have arrived.
    ssl_session_st* session = tlsContext->TakeFreshSession();
    if (!session) session = control->TakeSession();
    try {
        data->StartTLS(controlTarget, session);
    } catch (...) {
        NetFreeSession(session);
        throw;
    }
    NetFreeSession(session);
}
