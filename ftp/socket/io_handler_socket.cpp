#include "ftp/socket/io_handler_socket.h"

#include "ftp/anti_freeze.h"
#include "ftp/socket/connect_thread.h"
#include "ftp/socket/net_exception.h"
#include "ftp/socket/socket_address.h"
#include "ftp/socket/stack.h"

#include <cerrno>
#include <sys/socket.h>

namespace {

// Without an explicit limit a connect still runs through the worker while the window must stay
// alive, bounded so that a dead host cannot hang the page for good.
constexpr int AntiFreezeConnectLimitMs = 120000;

} // namespace

TNetIOHandlerSocket::~TNetIOHandlerSocket() {
    CloseTransport();
}

void TNetIOHandlerSocket::OpenTransport() {
    if (endpoint)
        endpoint->Reset();
    else
        endpoint = std::make_unique<TNetSocketHandle>();
}

void TNetIOHandlerSocket::CloseTransport() {
    if (endpoint) endpoint->Close();
}

bool TNetIOHandlerSocket::TransportConnected() const {
    return endpoint && endpoint->IsOpen();
}

void TNetIOHandlerSocket::ConnectTransport(const std::string& host, int port, int timeoutMs,
                                           const std::string& boundIP, int boundPort) {
    const bool socks = SocksInfo && SocksInfo->UsesSocks();
    const std::string targetHost = NetStripBrackets(socks ? SocksInfo->SocksHost() : host);
    const int targetPort = socks ? SocksInfo->SocksPort() : port;

    if (!endpoint) OpenTransport();
    if (!TNetStack::IsIPAddress(targetHost) && !NetIsIPv6Address(targetHost))
        ReportStatus(StatusResolving, targetHost);
    ConnectToFirst(NetResolveAll(targetHost), targetPort, timeoutMs, boundIP, boundPort);
    if (socks) SocksInfo->NegotiateSocks(*this, host, port);
}

void TNetIOHandlerSocket::ConnectToFirst(const std::vector<std::string>& addresses, int port,
                                         int timeoutMs, const std::string& boundIP, int boundPort) {
    if (!endpoint) OpenTransport();
    // A name with several addresses (IPv6 and IPv4, or several hosts) is tried address by
    // address; the error of the last one is the one reported.
    for (size_t i = 0; i < addresses.size(); ++i) {
        try {
            connectOne(addresses[i], port, timeoutMs, boundIP, boundPort);
            break;
        } catch (const ENetException&) {
            if (i + 1 == addresses.size()) throw;
            ReportStatus(TNetStatus::StatusText,
                         "Could not connect to " + addresses[i] + ", trying " + addresses[i + 1]);
        }
    }
}

void TNetIOHandlerSocket::connectOne(const std::string& ip, int port, int timeoutMs,
                                     const std::string& boundIP, int boundPort) {
    endpoint->AllocateSocket(NetAddressFamily(ip));
    endpoint->IP = boundIP;
    endpoint->Port = boundPort;
    endpoint->ClientPortMin = 0;
    endpoint->ClientPortMax = 0;
    endpoint->Bind();
    endpoint->RemoteIP = ip;
    endpoint->RemotePort = port;
    if (!UseNagle) endpoint->SetNoDelay();

    ReportStatus(StatusConnecting, endpoint->RemoteIP);
    if (timeoutMs != -1 && timeoutMs != 0)
        ConnectThroughWorker(*endpoint, timeoutMs);
    else if (AntiFreezeInForce())
        ConnectThroughWorker(*endpoint, AntiFreezeConnectLimitMs);
    else
        endpoint->Connect();
}

bool TNetIOHandlerSocket::WaitReadable(int ms) {
    if (!endpoint) throw ENetConnClosedGracefully();
    return endpoint->WaitReadable(ms);
}

int TNetIOHandlerSocket::receive(void* buffer, int length, int flags) {
    if (!TransportConnected()) throw ENetClosedSocket();
    const long rc = endpoint->Receive(buffer, length, flags);
    if (rc < 0 && (flags & MSG_DONTWAIT) && (errno == EAGAIN || errno == EWOULDBLOCK)) return -2;
    TNetStack::CheckSocketResult(rc, {TNetStack::TranslateError(errno)});
    return static_cast<int>(rc);
}

int TNetIOHandlerSocket::ReceiveSome(void* buffer, int length) {
    return receive(buffer, length, 0);
}

int TNetIOHandlerSocket::ReceiveReady(void* buffer, int length) {
    return receive(buffer, length, MSG_DONTWAIT);
}

int TNetIOHandlerSocket::ReceiveWithin(void* buffer, int length, int& ms) {
    if (!TransportConnected()) throw ENetClosedSocket();
    const int rc = endpoint->ReceiveWithin(buffer, length, ms);
    if (rc == -1) TNetStack::CheckSocketResult(rc, {TNetStack::TranslateError(errno)});
    return rc;
}

int TNetIOHandlerSocket::send(const void* buffer, int length, int flags) {
    if (!TransportConnected()) throw ENetClosedSocket();
    long rc;
    do {
        rc = ::send(endpoint->SocketDescriptor(), buffer, static_cast<size_t>(length),
                    flags | MSG_NOSIGNAL);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0 && (flags & MSG_DONTWAIT) && (errno == EAGAIN || errno == EWOULDBLOCK)) return -2;
    TNetStack::CheckSocketResult(rc, {TNetStack::TranslateError(errno)});
    return static_cast<int>(rc);
}

int TNetIOHandlerSocket::SendSome(const void* buffer, int length) {
    return send(buffer, length, 0);
}

int TNetIOHandlerSocket::SendReady(const void* buffer, int length) {
    return send(buffer, length, MSG_DONTWAIT);
}

bool TNetIOHandlerSocket::WaitWritable(int ms) {
    if (!endpoint) throw ENetConnClosedGracefully();
    return endpoint->WaitWritable(ms);
}

void TNetIOHandlerSocket::LimitUnsentData(int bytes) {
    if (endpoint && endpoint->IsOpen()) endpoint->LimitUnsent(bytes);
}

void TNetIOHandlerSocket::WriteAll(const void* buffer, int length, int timeoutMs) {
    const auto* bytes = static_cast<const char*>(buffer);
    while (length > 0) {
        int sent = SendReady(bytes, length);
        if (sent == -2) {
            if (!WaitWritable(timeoutMs)) throw ENetWriteTimeout();
            continue;
        }
        if (sent < 0) TNetStack::ThrowSocketError(TNetStack::LastError());
        if (sent == 0) throw ENetConnClosedGracefully();
        bytes += sent;
        length -= sent;
    }
}

void TNetIOHandlerSocket::ReadExact(void* buffer, int length, int timeoutMs) {
    auto* bytes = static_cast<char*>(buffer);
    while (length > 0) {
        if (!WaitReadable(timeoutMs)) throw ENetReadTimeout();
        int got = ReceiveSome(bytes, length);
        if (got < 0) TNetStack::ThrowSocketError(TNetStack::LastError());
        if (got == 0) throw ENetConnClosedGracefully();
        bytes += got;
        length -= got;
    }
}
