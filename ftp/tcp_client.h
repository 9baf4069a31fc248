// A connection that connects out to Host:Port.
#pragma once

#include "ftp/tcp_connection.h"

#include <string>

class TNetTCPClient : public TNetTCPConnection {
public:
    std::string Host;
    int Port = 0;
    std::string BoundIP;
    int BoundPort = 0;
    TNetNotifyEvent OnConnected;

    // Connects to Host:Port within timeoutMs (-1 or 0: the transport's default rule). Creates
    // an owned socket transport when none is set. Raises ENetAlreadyConnected when the
    // transport is open (the connection is left untouched); any other failure closes the
    // socket and is raised on.
    virtual void Connect(int timeoutMs = -1);
};
