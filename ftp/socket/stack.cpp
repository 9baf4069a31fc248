#include "ftp/socket/stack.h"

#include "ftp/socket/net_exception.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <string_view>
#include <strings.h>
#include <sys/socket.h>
#include <vector>

namespace {

std::mutex gStackLock;
int gInstanceCount = 0;
thread_local int gLastError = 0;

constexpr int HostNotFound = 11001;

struct ErrorEntry {
    int number;
    const char* text;
};

// The engine's error numbers and their texts: the rest of the engine tests these numbers.
constexpr ErrorEntry errorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
    {HostNotFound, "Host not found."},
};

// The platform's errno values onto the engine's numbers: the one mapping of the engine.
struct ErrnoEntry {
    int platform;
    int number;
};

constexpr ErrnoEntry errnoMap[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {ENFILE, 10024},          {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {EPIPE, 10058},        {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
};

// Parses a non-empty run of decimal digits no greater than max.
bool parsePart(std::string_view part, uint64_t max, uint64_t& value) {
    if (part.empty() || part.size() > 10) return false;
    value = 0;
    for (char c : part) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value <= max;
}

bool parseAddress(const std::string& text, uint32_t& address) {
    // Cut at up to three dots; a fourth dot stays in the last part and makes it invalid.
    std::vector<std::string_view> parts;
    std::string_view rest = text;
    while (parts.size() < 3) {
        size_t dot = rest.find('.');
        if (dot == std::string_view::npos) break;
        parts.push_back(rest.substr(0, dot));
        rest = rest.substr(dot + 1);
    }
    parts.push_back(rest);

    uint64_t value = 0;
    uint64_t result = 0;
    const size_t leading = parts.size() - 1;
    for (size_t i = 0; i < leading; ++i) {
        if (!parsePart(parts[i], 255, value)) return false;
        result |= value << (8 * (3 - i));
    }
    const uint64_t lastMax = (uint64_t{1} << (8 * (4 - leading))) - 1;
    if (!parsePart(parts.back(), lastMax, value)) return false;
    address = static_cast<uint32_t>(result | value);
    return true;
}

} // namespace

void TNetStack::Acquire() {
    std::lock_guard<std::mutex> lock(gStackLock);
    if (gInstanceCount++ == 0) {
        // A peer that resets while we send must come back as an error number, not end the
        // program; sends also pass MSG_NOSIGNAL, this covers any other write path.
        std::signal(SIGPIPE, SIG_IGN);
    }
}

void TNetStack::Release() {
    std::lock_guard<std::mutex> lock(gStackLock);
    if (gInstanceCount > 0) --gInstanceCount;
}

bool TNetStack::Started() {
    std::lock_guard<std::mutex> lock(gStackLock);
    return gInstanceCount > 0;
}

std::string TNetStack::ResolveHostAddress(const std::string& host) {
    if (strcasecmp(host.c_str(), "LOCALHOST") == 0) return "127.0.0.1";
    if (IsIPAddress(host)) return host;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        if (found) freeaddrinfo(found);
        ThrowSocketError(rc == EAI_SYSTEM && errno != 0 ? TranslateError(errno) : HostNotFound);
    }
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    std::string result = IPv4ToString(ntohl(in->sin_addr.s_addr));
    freeaddrinfo(found);
    return result;
}

bool TNetStack::IsIPAddress(const std::string& text) {
    uint32_t address = 0;
    return parseAddress(text, address);
}

uint32_t TNetStack::StringToIPv4(const std::string& text) {
    uint32_t address = 0;
    if (!parseAddress(text, address)) throw ENetInvalidIPAddress(text);
    return address;
}

std::string TNetStack::IPv4ToString(uint32_t address) {
    return std::to_string((address >> 24) & 0xFF) + "." + std::to_string((address >> 16) & 0xFF) +
           "." + std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool TNetStack::CheckSocketResult(long result, std::initializer_list<int> tolerated) {
    if (result != -1) return false;
    int number = LastPlatformError();
    gLastError = number;
    for (int t : tolerated)
        if (t == number) return true;
    ThrowSocketError(number);
}

void TNetStack::ThrowSocketError(int number) {
    throw ENetSocketError(number);
}

std::string TNetStack::SocketErrorText(int number) {
    const char* text = "";
    for (const auto& entry : errorTexts)
        if (entry.number == number) text = entry.text;
    return "Socket Error # " + std::to_string(number) + "\r\n" + text;
}

int TNetStack::TranslateError(int platformError) {
    for (const auto& entry : errnoMap)
        if (entry.platform == platformError) return entry.number;
    return platformError;
}

int TNetStack::LastPlatformError() {
    return TranslateError(errno);
}

int TNetStack::LastError() {
    return gLastError;
}
