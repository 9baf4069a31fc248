#include "ftp/socks_info.h"

#include "ftp/socket/stack.h"

#include <cstdint>

namespace {

void appendPort(std::string& out, int port) {
    out += static_cast<char>((port >> 8) & 0xFF);
    out += static_cast<char>(port & 0xFF);
}

// Reads one step's reply within the transport's handshake time-out; any failure but silence
// means the server did not answer.
TSocksReplyReader replyReader(TNetIOHandlerSocket& transport) {
    return [&transport](void* buffer, int n, const char* step) {
        try {
            transport.ReadExact(buffer, n, transport.HandshakeTimeoutMs);
        } catch (const ENetReadTimeout&) {
            throw ENetSocksTimeout(step);
        } catch (const std::exception&) {
            throw ENetSocksServerRespondError();
        }
    };
}

void sendStep(TNetIOHandlerSocket& transport, const std::string& bytes, const char* step) {
    try {
        transport.WriteAll(bytes.data(), static_cast<int>(bytes.size()),
                           transport.HandshakeTimeoutMs);
    } catch (const ENetWriteTimeout&) {
        throw ENetSocksTimeout(step);
    }
}

std::string hexByte(unsigned char value) {
    const char* digits = "0123456789ABCDEF";
    return std::string("0x") + digits[value >> 4] + digits[value & 15];
}

void expectVersion(unsigned char got, unsigned char wanted, const char* what) {
    if (got != wanted)
        throw ENetSocksInvalidReply(std::string(what) + " version byte " + hexByte(got) +
                                    ", expected " + hexByte(wanted));
}

} // namespace

void TNetSocksInfo::Assign(const TNetSocksInfo& source) {
    Version = source.Version;
    Authentication = source.Authentication;
    Host = source.Host;
    Port = source.Port;
    Username = source.Username;
    Password = source.Password;
}

void TNetSocksInfo::checkLengths(const std::string& host) const {
    if (Username.size() > 255) throw ENetSocksValueTooLong("user name");
    if (Version == svSocks4) return;
    if (host.size() > 255) throw ENetSocksValueTooLong("host name");
    if (Version == svSocks5 && Authentication == saUsernamePassword && Password.size() > 255)
        throw ENetSocksValueTooLong("password");
}

void TNetSocksInfo::NegotiateSocks(TNetIOHandlerSocket& transport, const std::string& host,
                                   int port) {
    switch (Version) {
    case svSocks4:
    case svSocks4A:
        NegotiateSocks4(transport, host, port);
        break;
    case svSocks5:
        NegotiateSocks5(transport, host, port);
        break;
    case svNoSocks:
        break;
    }
}

std::string TNetSocksInfo::BuildSocks4Request(const std::string& host, int port) const {
    checkLengths(host);
    std::string req;
    req += '\x04';
    req += '\x01';
    appendPort(req, port);
    uint32_t address =
        Version == svSocks4A ? 1u : TNetStack::StringToIPv4(TNetStack::ResolveHostAddress(host));
    for (int shift = 24; shift >= 0; shift -= 8)
        req += static_cast<char>((address >> shift) & 0xFF);
    req += Username;
    req += '\0';
    if (Version == svSocks4A) {
        req += host;
        req += '\0';
    }
    return req;
}

std::string TNetSocksInfo::BuildSocks5Greeting() const {
    std::string g = "\x05\x01";
    g += Authentication == saUsernamePassword ? '\x02' : '\x00';
    return g;
}

std::string TNetSocksInfo::BuildSocks5Request(const std::string& host, int port) const {
    checkLengths(host);
    std::string req("\x05\x01\x00\x03", 4);
    req += static_cast<char>(host.size());
    req += host;
    appendPort(req, port);
    return req;
}

void ReadSocks4Reply(const TSocksReplyReader& read) {
    unsigned char reply[8];
    read(reply, 8, "SOCKS 4 reply");
    expectVersion(reply[0], 0, "SOCKS 4 reply");
    switch (reply[1]) {
    case 90:
        return;
    case 91:
        throw ENetSocksRequestFailed();
    case 92:
        throw ENetSocksRequestServerFailed();
    case 93:
        throw ENetSocksRequestIdentFailed();
    default:
        throw ENetSocksUnknownError();
    }
}

void ReadSocks5MethodReply(const TSocksReplyReader& read, unsigned char method) {
    unsigned char reply[2];
    read(reply, 2, "SOCKS 5 method choice");
    expectVersion(reply[0], 5, "SOCKS 5 method choice");
    if (reply[1] != method) throw ENetSocksAuthMethodError();
}

void ReadSocks5AuthReply(const TSocksReplyReader& read) {
    unsigned char reply[2];
    read(reply, 2, "SOCKS 5 authentication");
    // The user name and password exchange has its own version, 1.
    expectVersion(reply[0], 1, "SOCKS 5 authentication");
    if (reply[1] != 0) throw ENetSocksAuthError();
}

void ReadSocks5ConnectReply(const TSocksReplyReader& read) {
    unsigned char head[4];
    read(head, 4, "SOCKS 5 connect reply");
    expectVersion(head[0], 5, "SOCKS 5 connect reply");
    switch (head[1]) {
    case 0:
        break;
    case 1:
        throw ENetSocksServerGeneralError();
    case 2:
        throw ENetSocksServerPermissionError();
    case 3:
        throw ENetSocksServerNetUnreachableError();
    case 4:
        throw ENetSocksServerHostUnreachableError();
    case 5:
        throw ENetSocksServerConnectionRefusedError();
    case 6:
        throw ENetSocksServerTTLExpiredError();
    case 7:
        throw ENetSocksServerCommandError();
    case 8:
        throw ENetSocksServerAddressError();
    default:
        throw ENetSocksUnknownError();
    }
    // The bound address is of no use to us, but exactly its bytes must be consumed: the FTP
    // conversation starts right after it.
    unsigned char rest[256 + 2];
    int length = 0;
    switch (head[3]) {
    case 1:
        length = 4;
        break;
    case 3:
        read(rest, 1, "SOCKS 5 bound address");
        length = rest[0];
        break;
    case 4:
        length = 16;
        break;
    default:
        throw ENetSocksInvalidReply("unknown address type " + std::to_string(head[3]));
    }
    read(rest, length + 2, "SOCKS 5 bound address");
}

void TNetSocksInfo::NegotiateSocks4(TNetIOHandlerSocket& transport, const std::string& host,
                                    int port) {
    sendStep(transport, BuildSocks4Request(host, port), "SOCKS 4 request");
    ReadSocks4Reply(replyReader(transport));
}

void TNetSocksInfo::NegotiateSocks5(TNetIOHandlerSocket& transport, const std::string& host,
                                    int port) {
    // Every value is checked before the first byte goes out, so a refusal leaves the server
    // with nothing half-sent.
    const std::string request = BuildSocks5Request(host, port);
    const auto read = replyReader(transport);

    const std::string greeting = BuildSocks5Greeting();
    sendStep(transport, greeting, "SOCKS 5 greeting");
    ReadSocks5MethodReply(read, static_cast<unsigned char>(greeting[2]));

    if (Authentication == saUsernamePassword) {
        std::string sub;
        sub += '\x01';
        sub += static_cast<char>(Username.size());
        sub += Username;
        sub += static_cast<char>(Password.size());
        sub += Password;
        sendStep(transport, sub, "SOCKS 5 authentication");
        ReadSocks5AuthReply(read);
    }

    sendStep(transport, request, "SOCKS 5 connect request");
    ReadSocks5ConnectReply(read);
}
