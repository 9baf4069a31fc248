#pragma once
// A listener on 127.0.0.1 that never accepts and never speaks: a client's connect completes in
// the kernel and then waits for a greeting that never comes, as with a server that hangs.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class SilentListener {
public:
    // Binds a free port and listens; the port is closed with the object.
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 8);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(fd_); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    // Returns the port it listens on.
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};
