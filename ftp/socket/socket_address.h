// Socket addresses of either family: building them from address text, reading them back, and
// resolving a host name to every address it has.
#pragma once

#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <vector>

struct TNetSocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
    int family() const { return storage.ss_family; }
};

// Returns true when text is an IPv6 address (without brackets or zone).
bool NetIsIPv6Address(const std::string& text);
// Returns host without the brackets of a "[::1]" literal.
std::string NetStripBrackets(const std::string& host);
// Returns the family (AF_INET6 or AF_INET) an address text belongs to.
int NetAddressFamily(const std::string& ip);
// Builds the address of ip:port in family; an empty ip is the family's any-address. Raises
// ENetInvalidIPAddress when ip is not an address of that family.
TNetSocketAddress NetMakeSocketAddress(int family, const std::string& ip, int port);
// Reads the address text and port back (IPv4-mapped IPv6 addresses as plain IPv4).
void NetReadSocketAddress(const sockaddr_storage& address, std::string& ip, int& port);
// Returns every address of host, in the resolver's order ("localhost" is 127.0.0.1; an
// address text is returned as it is). Raises ENetSocketError 11001 when there is none.
std::vector<std::string> NetResolveAll(const std::string& host);
