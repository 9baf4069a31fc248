#include "ftp/simple_server.h"

#include "ftp/socket/io_handler_socket.h"
#include "ftp/socket/net_exception.h"
#include "ftp/socket/socket_address.h"

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
    for (;;) {
        while (!listener->WaitReadable(AcceptWait)) {
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
