// The socket transport: one endpoint, the SOCKS hook, connect with a time-out, readiness waits
// and single receive and send calls.
#pragma once

#include "ftp/socket/io_handler.h"
#include "ftp/socket/socket_handle.h"

#include <memory>
#include <string>
#include <vector>

class TNetIOHandlerSocket;

// What the transport needs from the SOCKS client. The SOCKS settings class derives from it
// and is handed to the transport; the transport never owns it.
class TNetSocksNegotiator {
public:
    virtual ~TNetSocksNegotiator() = default;
    // Returns true when the TCP connection must go to the SOCKS server.
    virtual bool UsesSocks() const = 0;
    // The SOCKS server's host and port (asked only when UsesSocks()).
    virtual std::string SocksHost() const = 0;
    virtual int SocksPort() const = 0;
    // Runs the handshake over transport, just connected to the SOCKS server, asking it to
    // connect on to host:port. Raises an ENetSocksError subclass on refusal.
    virtual void NegotiateSocks(TNetIOHandlerSocket& transport, const std::string& host,
                                int port) = 0;
};

class TNetIOHandlerSocket : public TNetIOHandler {
public:
    TNetIOHandlerSocket() = default;
    ~TNetIOHandlerSocket() override;

    // The SOCKS settings in force, or none (= no SOCKS). Not owned.
    TNetSocksNegotiator* SocksInfo = nullptr;
    // When false the TCP no-delay option is set before connecting.
    bool UseNagle = true;
    // Milliseconds each wait of the SOCKS handshake may take (-2 = no limit): a SOCKS server
    // that goes silent must not hold the connection for good.
    int HandshakeTimeoutMs = -2;

    // The endpoint; null before OpenTransport.
    TNetSocketHandle* Endpoint() const { return endpoint.get(); }

    void OpenTransport() override;
    void CloseTransport() override;
    // Raises ENetInvalidSocket, the Bind errors, ENetSocketError, ENetConnectTimeout,
    // ENetConnectException or the SOCKS errors.
    void ConnectTransport(const std::string& host, int port, int timeoutMs,
                          const std::string& boundIP, int boundPort) override;
    // Connects to the first of addresses that takes the connection on port, in order.
    // Raises the last address's error when none does.
    void ConnectToFirst(const std::vector<std::string>& addresses, int port, int timeoutMs,
                        const std::string& boundIP, int boundPort);
    bool TransportConnected() const override;
    bool WaitReadable(int ms) override;
    int ReceiveSome(void* buffer, int length) override;
    int ReceiveReady(void* buffer, int length) override;
    int ReceiveWithin(void* buffer, int length, int& ms) override;
    int SendSome(const void* buffer, int length) override;
    int SendReady(const void* buffer, int length) override;
    bool WaitWritable(int ms) override;
    void LimitUnsentData(int bytes) override;

    // Sends all length bytes (for handshakes before the connection takes over), each wait for
    // room limited to timeoutMs (-2 = none). Raises ENetClosedSocket, ENetSocketError or
    // ENetWriteTimeout.
    void WriteAll(const void* buffer, int length, int timeoutMs = -2);
    // Receives exactly length bytes, each wait limited to timeoutMs (-2 = none).
    // Raises ENetConnClosedGracefully when the peer closes first, ENetReadTimeout,
    // ENetClosedSocket or ENetSocketError.
    void ReadExact(void* buffer, int length, int timeoutMs = -2);

private:
    int receive(void* buffer, int length, int flags);
    int send(const void* buffer, int length, int flags);
    // Allocates a socket of ip's family, binds it and connects it to ip:port.
    void connectOne(const std::string& ip, int port, int timeoutMs, const std::string& boundIP,
                    int boundPort);

    std::unique_ptr<TNetSocketHandle> endpoint;
};
