#include "ftp/tcp_client.h"

#include "ftp/connection_intercept.h"
#include "ftp/socket/io_handler_socket.h"
#include "ftp/socket/net_exception.h"

void TNetTCPClient::Connect(int timeoutMs) {
    CallGuard guard(*this);
    if (!IOHandler()) {
        auto transport = std::make_unique<TNetIOHandlerSocket>();
        transport->OnStatus = OnStatus;
        SetOwnedIOHandler(std::move(transport));
    } else if (IOHandler()->TransportConnected()) {
        throw ENetAlreadyConnected();
    }
    // The SOCKS handshake waits for replies like the connection itself does.
    if (auto* socket = dynamic_cast<TNetIOHandlerSocket*>(IOHandler()))
        socket->HandshakeTimeoutMs = waitLimit();
    try {
        IOHandler()->OpenTransport();
        ResetForConnect();
        IOHandler()->ConnectTransport(Host, Port, timeoutMs, BoundIP, BoundPort);
        if (Intercept) Intercept->Connect(this);
        ReportStatus(StatusConnected, Host);
        if (OnConnected) OnConnected(this);
    } catch (...) {
        CloseSocketQuietly();
        throw;
    }
}
