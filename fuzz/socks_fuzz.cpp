// The SOCKS 4 and 5 reply readers over arbitrary server bytes; the first byte picks the reply.

#include "ftp/socks_info.h"
#include "fuzz/fuzz_target.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t at = 1;
    const TSocksReplyReader read = [&](void* buffer, int n, const char*) {
        if (n < 0 || static_cast<std::size_t>(n) > size - at) throw ENetSocksServerRespondError();
        std::memcpy(buffer, data + at, static_cast<std::size_t>(n));
        at += static_cast<std::size_t>(n);
    };
    try {
        switch (data[0] % 4) {
        case 0:
            ReadSocks4Reply(read);
            break;
        case 1:
            ReadSocks5MethodReply(read, data[0] >> 7);
            break;
        case 2:
            ReadSocks5AuthReply(read);
            break;
        default:
            ReadSocks5ConnectReply(read);
            break;
        }
    } catch (const ENetSocksError&) {
    }
    return 0;
}
