#include "ftp/socket/socket_address.h"

#include "ftp/socket/net_exception.h"
#include "ftp/socket/stack.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <strings.h>

bool NetIsIPv6Address(const std::string& text) {
    in6_addr a{};
    return text.find(':') != std::string::npos && inet_pton(AF_INET6, text.c_str(), &a) == 1;
}

std::string NetStripBrackets(const std::string& host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

int NetAddressFamily(const std::string& ip) {
    return ip.find(':') != std::string::npos ? AF_INET6 : AF_INET;
}

TNetSocketAddress NetMakeSocketAddress(int family, const std::string& ip, int port) {
    TNetSocketAddress a;
    if (family == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<uint16_t>(port));
        in6->sin6_addr = in6addr_any;
        if (!ip.empty() && inet_pton(AF_INET6, ip.c_str(), &in6->sin6_addr) != 1)
            throw ENetInvalidIPAddress(ip);
        a.length = sizeof(sockaddr_in6);
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&a.storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<uint16_t>(port));
        in->sin_addr.s_addr = ip.empty() ? htonl(INADDR_ANY) : htonl(TNetStack::StringToIPv4(ip));
        a.length = sizeof(sockaddr_in);
    }
    return a;
}

void NetReadSocketAddress(const sockaddr_storage& address, std::string& ip, int& port) {
    if (address.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address);
        port = ntohs(in6->sin6_port);
        if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) {
            uint32_t v4 = 0;
            std::memcpy(&v4, in6->sin6_addr.s6_addr + 12, 4);
            ip = TNetStack::IPv4ToString(ntohl(v4));
            return;
        }
        char text[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        ip = text;
    } else {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        ip = TNetStack::IPv4ToString(ntohl(in->sin_addr.s_addr));
        port = ntohs(in->sin_port);
    }
}

std::vector<std::string> NetResolveAll(const std::string& name) {
    const std::string host = NetStripBrackets(name);
    if (strcasecmp(host.c_str(), "LOCALHOST") == 0) return {"127.0.0.1"};
    if (TNetStack::IsIPAddress(host) || NetIsIPv6Address(host)) return {host};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        if (found) freeaddrinfo(found);
        TNetStack::ThrowSocketError(
            rc == EAI_SYSTEM && errno != 0 ? TNetStack::TranslateError(errno) : 11001);
    }
    std::vector<std::string> all;
    for (addrinfo* a = found; a; a = a->ai_next) {
        sockaddr_storage copy{};
        std::memcpy(&copy, a->ai_addr, a->ai_addrlen);
        std::string ip;
        int port = 0;
        NetReadSocketAddress(copy, ip, port);
        bool seen = false;
        for (const auto& s : all)
            seen = seen || s == ip;
        if (!seen) all.push_back(ip);
    }
    freeaddrinfo(found);
    return all;
}
