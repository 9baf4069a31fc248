// The transport under a connection. The base does nothing and reports no open socket; the
// socket transport (TNetIOHandlerSocket) is the real one.
#pragma once

#include "ftp/component.h"

#include <string>

class TNetIOHandler : public TNetComponent {
public:
    // Creates the endpoint, or resets an existing one (closed, no addresses).
    virtual void OpenTransport() {}
    // Closes the endpoint's socket.
    virtual void CloseTransport() {}
    // Connects to host:port (through SOCKS when set) within timeoutMs (-1 or 0 = the default
    // rule), bound to boundIP:boundPort. Raises the socket layer's exceptions.
    virtual void ConnectTransport(const std::string& host, int port, int timeoutMs,
                                  const std::string& boundIP, int boundPort) {
        (void)host, (void)port, (void)timeoutMs, (void)boundIP, (void)boundPort;
    }
    // Returns true when the endpoint exists and its socket is open.
    virtual bool TransportConnected() const { return false; }
    // Waits until readable (ms -2 = no limit); returns true when readable.
    // Raises ENetConnClosedGracefully when the socket is or becomes closed.
    virtual bool WaitReadable(int ms) {
        (void)ms;
        return false;
    }
    // One receive call; returns the byte count (0 = peer closed) or -1 on a socket error
    // (the number in TNetStack::LastError). Raises ENetClosedSocket when not open.
    virtual int ReceiveSome(void* buffer, int length) {
        (void)buffer, (void)length;
        return 0;
    }
    // One receive call that does not wait: the byte count, 0 when the peer closed, -1 on a
    // socket error, -2 when nothing has arrived (then wait with WaitReadable). The base never
    // has anything ready.
    virtual int ReceiveReady(void* buffer, int length) {
        (void)buffer, (void)length;
        return -2;
    }
    // One receive call that may wait up to ms (below 0: no limit) without pumping: returns as
    // ReceiveReady does, and with -2 leaves in ms what is left of the wait (0 when it was all
    // spent). The base waits for nothing: it is ReceiveReady, ms unchanged.
    virtual int ReceiveWithin(void* buffer, int length, int& ms) {
        (void)ms;
        return ReceiveReady(buffer, length);
    }
    // One send call; returns the byte count or -1 on a socket error.
    // Raises ENetClosedSocket when not open.
    virtual int SendSome(const void* buffer, int length) {
        (void)buffer, (void)length;
        return 0;
    }
    // One send call that does not wait: the byte count, -1 on a socket error, -2 when there is
    // no room (then wait with WaitWritable). The base sends as SendSome does.
    virtual int SendReady(const void* buffer, int length) { return SendSome(buffer, length); }
    // Waits until there is room to send (ms -2 = no limit); returns true when there is.
    // Raises ENetConnClosedGracefully when the socket is or becomes closed.
    virtual bool WaitWritable(int ms) {
        (void)ms;
        return true;
    }
    // Asks the transport to keep no more than `bytes` waiting for the network (a hint; the
    // base ignores it).
    virtual void LimitUnsentData(int bytes) { (void)bytes; }
};
