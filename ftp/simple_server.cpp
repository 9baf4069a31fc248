#include "ftp/simple_server.h"

#include "ftp/socket/io_handler_socket.h"
#include "ftp/socket/net_exception.h"
#include "ftp/socket/socket_address.h"

#include <algorithm>
#include <chrono>

TNetSimpleServer::TNetSimpleServer() = default;

TNetSimpleServer::~TNetSimpleServer() {
    CloseListener();
}

void TNetSimpleServer::StartListening() {
    try {
        if (!IOHandler()) SetOwnedIOHandler(std::make_unique<TNetIOHandlerSocket>());
        if (!listener) {
            auto handle = std::make_unique<TNetSocketHandle>();
            handle->AllocateSocket(NetAddressFamily(BoundIP));
            handle->IP = BoundIP;
            handle->Port = BoundPort;
            handle->Bind();
            listener = std::move(handle);
        }
        listener->Listen(15);
    } catch (...) {
        listener.reset();
        SetOwnedIOHandler(nullptr);
        throw;
    }
}

bool TNetSimpleServer::AcceptOne() {
    if (!listener) StartListening();
    auto* transport = static_cast<TNetIOHandlerSocket*>(IOHandler());
    bool accepted = false;
    // The whole wait, across refused peers too, is bounded by the read time-out.
    const auto start = std::chrono::steady_clock::now();
    auto waitedMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    for (;;) {
        while (true) {
            int wait = AcceptWait;
            if (ReadTimeout > 0) {
                const int64_t left = ReadTimeout - waitedMs();
                if (left <= 0) throw ENetReadTimeout("server's connection to the data port");
                wait = static_cast<int>(std::min<int64_t>(wait, left));
            }
            if (listener->WaitReadable(wait)) break;
        }
        transport->OpenTransport();
        ResetForConnect();
        accepted = transport->Endpoint()->Accept(listener->SocketDescriptor());
        if (!accepted || AllowedPeerIP.empty() || transport->Endpoint()->RemoteIP == AllowedPeerIP)
            break;
        // Anyone who can reach the announced port could otherwise feed us a file or read an
        // upload: only the server's own connection is taken.
        transport->CloseTransport();
    }
    listener->Close();
    listener.reset();
    return accepted;
}

void TNetSimpleServer::CloseListener() {
    // The closed handle stays: a wait on it, now or in a later AcceptOne, ends with
    // "Connection Closed Gracefully." instead of listening anew after an abort.
    if (listener) listener->Close();
}
