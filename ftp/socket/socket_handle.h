// One operating-system socket with its local and remote addresses: the endpoint of a socket
// transport and the listening socket of an active-mode data connection.
#pragma once

#include <atomic>
#include <string>

class TNetSocketHandle {
public:
    TNetSocketHandle() = default;
    TNetSocketHandle(const TNetSocketHandle&) = delete;
    TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;
    // Closes the socket if it is still open.
    ~TNetSocketHandle();

    // Local address and port: what to bind to before a bind (empty = any address, 0 = any
    // port), what the socket reports after a bind, connect or accept.
    std::string IP;
    int Port = 0;
    // Optional range of local ports to bind in (0, 0 = no range).
    int ClientPortMin = 0;
    int ClientPortMax = 0;
    // The peer: set before connecting, read back after connect or accept.
    std::string RemoteIP;
    int RemotePort = 0;

    // Returns the OS descriptor, -1 when there is none.
    int SocketDescriptor() const { return descriptor.load(); }
    // Returns true while the socket is open.
    bool IsOpen() const { return open.load(); }

    // Creates a stream socket of the family (AF_INET or AF_INET6), closing any previous one
    // first. Raises ENetInvalidSocket when the OS refuses.
    void AllocateSocket(int addressFamily = 2 /* AF_INET */);
    // The family of the socket last allocated.
    int Family() const { return family; }
    // Closes the socket and forgets all addresses and the port range.
    void Reset();
    // If open: marks it closed, shuts it down for sending, then closes it. Safe to call twice.
    void Close();

    // Binds to IP:Port or, with a port range and Port 0, to the highest free port of the range;
    // reads the bound address back. Raises ENetCouldNotBindSocket (address in use),
    // ENetInvalidPortRange, ENetCanNotBindPortInRange or ENetSocketError.
    void Bind();
    // Starts listening with backlog. Raises ENetSocketError.
    void Listen(int backlog);
    // Accepts one connection from the listening socket listenDescriptor into this handle
    // (closing what it held) and reads back both addresses. Returns false when the listening
    // socket was interrupted or closed (errors 10004, 10038); raises ENetSocketError otherwise.
    bool Accept(int listenDescriptor);
    // Connects to RemoteIP:RemotePort in the calling thread and reads back both addresses.
    // Raises ENetSocketError.
    void Connect();
    // Connects like Connect, but in slices so that stopRequested is honoured within
    // sliceMs; returns normally when stopped. Used by the connect worker.
    void ConnectInterruptible(const std::atomic<bool>& stopRequested, int sliceMs);
    // Starts a non-blocking connect to RemoteIP:RemotePort and waits up to waitMs (0: only
    // looks) for it to complete. Returns true when connected (addresses read back, blocking mode
    // restored); false when still pending, to be finished by ConnectInterruptible. Raises
    // ENetSocketError when the connect failed within the wait.
    bool TryConnectNow(int waitMs = 0);
    // Sets the TCP no-delay option. Raises ENetSocketError.
    void SetNoDelay();
    // Keeps no more than `bytes` queued in the socket that the network has not taken yet,
    // where the system offers that; elsewhere (and on failure) nothing changes.
    void LimitUnsent(int bytes);

    // Waits until the socket is readable; ms -2 waits without limit. The wait is cut into
    // anti-freeze slices with a pump after each. Returns true when readable.
    // Raises ENetConnClosedGracefully when the socket is (or becomes, during a pump) closed.
    bool WaitReadable(int ms);
    // The same for room to send.
    bool WaitWritable(int ms);
    // One receive that sleeps in the receive itself for up to ms (below 0: no limit; 0: takes
    // only what is waiting). Returns the byte count, 0 when the peer closed, -1 on a socket
    // error (errno kept), -2 when nothing arrived; ms is then 0 when the whole wait was spent,
    // unchanged when the receive could not wait. Never pumps.
    int ReceiveWithin(void* buffer, int length, int& ms);
    // One recv() with the flags, repeated when a signal interrupts it: the byte count, or -1
    // with errno kept.
    long Receive(void* buffer, int length, int flags);

    // Reads the local address and port into IP and Port.
    void UpdateLocalBinding();
    // Reads the peer address and port into RemoteIP and RemotePort.
    void UpdatePeerBinding();

private:
    bool waitOnce(short events, int ms);
    bool waitFor(short events, int ms);
    // Ends a non-blocking connect: restores blocking mode and raises the pending socket error.
    void finishPendingConnect();
    void bindTo(const std::string& ip, int port);

    std::atomic<int> descriptor{-1};
    std::atomic<bool> open{false};
    // A non-blocking connect was started and not yet finished. Handed from the main thread to
    // the connect worker at its start, so no lock is needed.
    bool connectPending = false;
    int family = 2; // AF_INET
    // The receive time-out last given to the socket, in ms; 0 = none (a new socket's).
    int receiveTimeoutMs = 0;
};
