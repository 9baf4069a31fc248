#include "ftp/socks_info.h"

#include "ftp/socket/stack.h"

#include <cstdint>

namespace {

void appendPort(std::string& out, int port) {
    out += static_cast<char>((port >> 8) & 0xFF);
    out += static_cast<char>(port & 0xFF);
}

// Reads n bytes for the SOCKS 5 steps, where any failure means the server did not answer.
std::string readReply(TNetIOHandlerSocket& transport, int n) {
    std::string buf(static_cast<size_t>(n), '\0');
    try {
        transport.ReadExact(buf.data(), n);
    } catch (const std::exception&) {
        throw ENetSocksServerRespondError();
    }
    return buf;
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

void TNetSocksInfo::NegotiateSocks4(TNetIOHandlerSocket& transport, const std::string& host,
                                    int port) {
    std::string req = BuildSocks4Request(host, port);
    transport.WriteAll(req.data(), static_cast<int>(req.size()));
    unsigned char reply[8];
    transport.ReadExact(reply, 8);
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

void TNetSocksInfo::NegotiateSocks5(TNetIOHandlerSocket& transport, const std::string& host,
                                    int port) {
    // Every value is checked before the first byte goes out, so a refusal leaves the server
    // with nothing half-sent.
    std::string request = BuildSocks5Request(host, port);

    std::string greeting = BuildSocks5Greeting();
    transport.WriteAll(greeting.data(), static_cast<int>(greeting.size()));
    std::string chosen = readReply(transport, 2);
    if (chosen[1] != greeting[2]) throw ENetSocksAuthMethodError();

    if (Authentication == saUsernamePassword) {
        std::string sub;
        sub += '\x01';
        sub += static_cast<char>(Username.size());
        sub += Username;
        sub += static_cast<char>(Password.size());
        sub += Password;
        transport.WriteAll(sub.data(), static_cast<int>(sub.size()));
        if (readReply(transport, 2)[1] != 0) throw ENetSocksAuthError();
    }

    transport.WriteAll(request.data(), static_cast<int>(request.size()));
    std::string head = readReply(transport, 5);
    switch (static_cast<unsigned char>(head[1])) {
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
    // The bound address is of no use to us, but it must be consumed: the FTP conversation
    // starts right after it.
    switch (head[3]) {
    case 1:
        readReply(transport, 5);
        break;
    case 3:
        readReply(transport, static_cast<unsigned char>(head[4]) + 2);
        break;
    case 4:
        readReply(transport, 17);
        break;
    default:
        break;
    }
}
