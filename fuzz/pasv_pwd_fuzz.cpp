// The single-reply parsers: the PASV address, the PWD folder, and the PORT argument built back
// from a parsed address. EPSV is never sent by this client, so it has no parser to try.

#include "ftp/ftp.h"
#include "ftp/reply_parsers.h"
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    ParseQuotedFolder(line);
    try {
        auto [address, port] = ParsePassiveReply(line);
        if (port < 0 || port > 65535) __builtin_trap();
        // What was read must be writable again.
        BuildPortArgument(address, port);
    } catch (const ENetException&) {
    }
    return 0;
}
