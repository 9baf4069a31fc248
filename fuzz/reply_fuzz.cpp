// The control connection's reply reader over arbitrary server bytes: replies are read until the
// bytes run out or one is refused; nothing but an engine exception may come out.

#include "ftp/socket/net_exception.h"
#include "ftp/tcp_connection.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/memory_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TNetTCPConnection connection;
    TMemoryTransport transport(std::string(reinterpret_cast<const char*>(data), size));
    connection.SetIOHandler(&transport);
    connection.MaxLineLength = 4096;
    try {
        for (int replies = 0; replies < 64; ++replies) {
            connection.ReadReplyLines();
            const int code = connection.LastReply.NumericCode();
            if (code >= 400) connection.RaiseReplyError();
        }
    } catch (const ENetException&) {
    }
    connection.SetIOHandler(nullptr);
    return 0;
}
