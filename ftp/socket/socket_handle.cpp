#include "ftp/socket/socket_handle.h"

#include "ftp/anti_freeze.h"
#include "ftp/socket/net_exception.h"
#include "ftp/socket/socket_address.h"
#include "ftp/socket/stack.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr int AddressInUse = 10048;

} // namespace

TNetSocketHandle::~TNetSocketHandle() {
    Close();
}

void TNetSocketHandle::AllocateSocket(int addressFamily) {
    Close();
    family = addressFamily == AF_INET6 ? AF_INET6 : AF_INET;
    int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw ENetInvalidSocket();
    descriptor.store(fd);
    open.store(true);
    receiveTimeoutMs = 0;
    connectPending = false;
}

void TNetSocketHandle::Reset() {
    Close();
    IP.clear();
    Port = 0;
    ClientPortMin = 0;
    ClientPortMax = 0;
    RemoteIP.clear();
    RemotePort = 0;
}

void TNetSocketHandle::Close() {
    // Mark it closed before the calls, so that a wait that sees the flag stops touching it.
    if (!open.exchange(false)) return;
    int fd = descriptor.exchange(-1);
    if (fd < 0) return;
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

void TNetSocketHandle::bindTo(const std::string& ip, int port) {
    TNetSocketAddress address = NetMakeSocketAddress(family, ip, port);
    int rc = ::bind(SocketDescriptor(), address.get(), address.length);
    TNetStack::CheckSocketResult(rc);
}

void TNetSocketHandle::Bind() {
    if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
        try {
            bindTo(IP, Port);
        } catch (const ENetSocketError& e) {
            if (e.SocketErrorNumber == AddressInUse) throw ENetCouldNotBindSocket();
            throw;
        }
    } else if (ClientPortMax < ClientPortMin) {
        throw ENetInvalidPortRange(ClientPortMin, ClientPortMax);
    } else {
        bool bound = false;
        for (int port = ClientPortMax; port >= ClientPortMin && !bound; --port) {
            TNetSocketAddress address = NetMakeSocketAddress(family, IP, port);
            bound = ::bind(SocketDescriptor(), address.get(), address.length) == 0;
        }
        if (!bound) throw ENetCanNotBindPortInRange(ClientPortMin, ClientPortMax);
    }
    UpdateLocalBinding();
}

void TNetSocketHandle::Listen(int backlog) {
    TNetStack::CheckSocketResult(::listen(SocketDescriptor(), backlog));
}

bool TNetSocketHandle::Accept(int listenDescriptor) {
    sockaddr_storage peer{};
    socklen_t length = sizeof(peer);
    int fd = ::accept4(listenDescriptor, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (TNetStack::CheckSocketResult(fd, {10004, 10038, 10009})) return false;
    Close();
    descriptor.store(fd);
    open.store(true);
    receiveTimeoutMs = 0;
    UpdateLocalBinding();
    UpdatePeerBinding();
    return true;
}

void TNetSocketHandle::Connect() {
    TNetSocketAddress address = NetMakeSocketAddress(family, RemoteIP, RemotePort);
    int rc = ::connect(SocketDescriptor(), address.get(), address.length);
    TNetStack::CheckSocketResult(rc);
    UpdateLocalBinding();
    UpdatePeerBinding();
}

void TNetSocketHandle::ConnectInterruptible(const std::atomic<bool>& stopRequested, int sliceMs) {
    // A thread blocked in connect() is not woken when another thread closes the socket, so the
    // worker connects without blocking and looks at the stop request between slices. A connect
    // already started by TryConnectNow is only waited for.
    int fd = SocketDescriptor();
    if (fd < 0) TNetStack::ThrowSocketError(10038);
    if (!connectPending) {
        if (TryConnectNow()) return;
    }
    for (;;) {
        if (stopRequested.load()) return;
        pollfd p{fd, POLLOUT, 0};
        int ready = ::poll(&p, 1, sliceMs);
        if (ready < 0 && errno != EINTR) {
            int number = TNetStack::LastPlatformError();
            connectPending = false;
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            TNetStack::ThrowSocketError(number);
        }
        if (ready > 0) break;
    }
    finishPendingConnect();
}

bool TNetSocketHandle::TryConnectNow(int waitMs) {
    int fd = SocketDescriptor();
    if (fd < 0) TNetStack::ThrowSocketError(10038);
    int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    TNetSocketAddress address = NetMakeSocketAddress(family, RemoteIP, RemotePort);
    int rc = ::connect(fd, address.get(), address.length);
    if (rc != 0 && errno != EINPROGRESS) {
        int number = TNetStack::LastPlatformError();
        ::fcntl(fd, F_SETFL, flags);
        TNetStack::ThrowSocketError(number);
    }
    connectPending = true;
    if (rc != 0) {
        // On loopback and nearby hosts the handshake is usually over by now or very soon.
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, std::max(waitMs, 0)) <= 0) return false;
    }
    finishPendingConnect();
    return true;
}

void TNetSocketHandle::finishPendingConnect() {
    int fd = SocketDescriptor();
    connectPending = false;
    int error = 0;
    socklen_t length = sizeof(error);
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (error != 0) TNetStack::ThrowSocketError(TNetStack::TranslateError(error));
    UpdateLocalBinding();
    UpdatePeerBinding();
}

void TNetSocketHandle::SetNoDelay() {
    int value = 1;
    TNetStack::CheckSocketResult(
        ::setsockopt(SocketDescriptor(), IPPROTO_TCP, TCP_NODELAY, &value, sizeof(value)));
}

void TNetSocketHandle::LimitUnsent(int bytes) {
#ifdef TCP_NOTSENT_LOWAT
    // Only a matter of speed: a socket that refuses it sends as it did.
    ::setsockopt(SocketDescriptor(), IPPROTO_TCP, TCP_NOTSENT_LOWAT, &bytes, sizeof(bytes));
#else
    (void)bytes;
#endif
}

bool TNetSocketHandle::waitOnce(short events, int ms) {
    pollfd p{SocketDescriptor(), events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, ms == -2 ? -1 : ms);
    } while (rc < 0 && errno == EINTR);
    TNetStack::CheckSocketResult(rc);
    // A hang-up or error also counts as ready: the next receive or send reports it.
    return rc == 1;
}

bool TNetSocketHandle::waitFor(short events, int ms) {
    if (!IsOpen()) throw ENetConnClosedGracefully();
    if (AntiFreezeInForce()) {
        int slice = ActiveAntiFreeze()->IdleTimeOut;
        if (slice < 1) slice = 1;
        if (ms == -2) {
            while (!waitFor(events, slice)) {
            }
            return true;
        }
        // Each slice ends with a pump, so the window answers within one slice.
        while (ms > slice) {
            if (waitFor(events, slice)) return true;
            ms -= slice;
        }
    }
    bool ready = waitOnce(events, ms);
    PumpIfDue(!ready);
    // A handler run by the pump may have closed this socket: end through the closed path.
    if (!IsOpen()) throw ENetConnClosedGracefully();
    return ready;
}

int TNetSocketHandle::ReceiveWithin(void* buffer, int length, int& ms) {
    const int fd = SocketDescriptor();
    int flags = 0;
    if (ms == 0) {
        flags = MSG_DONTWAIT;
    } else {
        // Sleeping in the receive rather than in poll() followed by a receive saves two calls
        // each time the socket runs dry, which a fast download does thousands of times a second.
        const int timeout = ms < 0 ? 0 : ms;
        if (timeout != receiveTimeoutMs) {
            timeval tv{timeout / 1000, (timeout % 1000) * 1000};
            if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv)) != 0)
                flags = MSG_DONTWAIT; // then the caller waits with WaitReadable
            else
                receiveTimeoutMs = timeout;
        }
    }
    const long rc = Receive(buffer, length, flags);
    if (rc < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        // A socket left non-blocking did not wait at all.
        if (flags == 0 && !(::fcntl(fd, F_GETFL) & O_NONBLOCK)) ms = 0;
        return -2;
    }
    return rc < 0 ? -1 : static_cast<int>(rc);
}

long TNetSocketHandle::Receive(void* buffer, int length, int flags) {
    long rc;
    do {
        rc = ::recv(SocketDescriptor(), buffer, static_cast<size_t>(length), flags);
    } while (rc < 0 && errno == EINTR);
    return rc;
}

bool TNetSocketHandle::WaitReadable(int ms) {
    return waitFor(POLLIN, ms);
}

bool TNetSocketHandle::WaitWritable(int ms) {
    return waitFor(POLLOUT, ms);
}

void TNetSocketHandle::UpdateLocalBinding() {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (::getsockname(SocketDescriptor(), reinterpret_cast<sockaddr*>(&address), &length) == 0)
        NetReadSocketAddress(address, IP, Port);
}

void TNetSocketHandle::UpdatePeerBinding() {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (::getpeername(SocketDescriptor(), reinterpret_cast<sockaddr*>(&address), &length) == 0)
        NetReadSocketAddress(address, RemoteIP, RemotePort);
}
