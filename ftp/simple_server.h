// The active-mode data connection: listens on a local port announced by PORT and accepts the
// server's one connection.
#pragma once

#include "ftp/socket/socket_handle.h"
#include "ftp/tcp_connection.h"

#include <memory>
#include <string>

class TNetSimpleServer : public TNetTCPConnection {
public:
    TNetSimpleServer();
    ~TNetSimpleServer() override;

    // The address and port to listen on (empty / 0: any).
    std::string BoundIP;
    int BoundPort = 0;
    // Milliseconds of one readiness wait while accepting; the waits repeat until a connection
    // comes (each pumps the anti-freeze), at most ReadTimeout in all when that is set.
    int AcceptWait = 1000;
    // When set, only a connection from this address is taken; others are closed at once and
    // the wait goes on. Empty accepts any peer.
    std::string AllowedPeerIP;

    // The listening socket, or null when not listening.
    TNetSocketHandle* ListenDescriptor() const { return listener.get(); }

    // Creates the transport if needed, binds BoundIP:BoundPort (once) and listens (backlog 15).
    // Raises the bind and socket errors; the transport is dropped on failure.
    void StartListening();
    // Waits for the server's connection (from AllowedPeerIP when set) and takes it as this
    // connection's socket; the listening socket is closed. Returns whether a connection was
    // accepted. Raises ENetConnClosedGracefully when the listening socket is closed meanwhile (an
    // abort), ENetReadTimeout when no connection came within ReadTimeout.
    bool AcceptOne();
    // Closes the listening socket: a waiting or later AcceptOne ends with
    // ENetConnClosedGracefully. The accepted connection, if any, stays.
    void CloseListener();

private:
    std::unique_ptr<TNetSocketHandle> listener;
};
