// TNetFTP: the extended data port commands EPSV and EPRT, with the fall-back to PASV and PORT
// for servers that do not know them.

#include "ftp/ftp.h"
#include "ftp/list_parser.h"
#include "ftp/socket/io_handler_socket.h"
#include "ftp/socket/socket_address.h"

namespace {

bool isRefusedAsUnknown(int code) {
    return code == 500 || code == 502;
}

} // namespace

bool TNetFTP::ControlIsIPv6() const {
    auto* control = dynamic_cast<TNetIOHandlerSocket*>(IOHandler());
    return control && control->Endpoint() && control->Endpoint()->Family() == AF_INET6 &&
           !(control->SocksInfo && control->SocksInfo->UsesSocks());
}

bool TNetFTP::extendedWanted(bool refused, const char* feature) const {
    if (ControlIsIPv6()) return true;
    if (!UseExtendedPorts || refused) return false;
    // A server that lists its features and leaves this one out is not asked for it.
    return !Features.Listed || Features.Has(feature);
}

int TNetFTP::ParseExtendedPassive(const std::string& text) {
    // "229 Entering Extended Passive Mode (|||6446|)": any delimiter, the same one four times.
    auto open = text.find('(');
    auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open + 5)
        throw ENetConvertError(text);
    std::string inside = text.substr(open + 1, close - open - 1);
    const char d = inside[0];
    if (inside.size() < 5 || inside[1] != d || inside[2] != d || inside.back() != d)
        throw ENetConvertError(text);
    std::string digits = inside.substr(3, inside.size() - 4);
    int64_t port = NetStrToInt64Def(digits, -1);
    if (digits.empty() || digits.size() > 5 || port < 1 || port > 65535)
        throw ENetConvertError(digits);
    return static_cast<int>(port);
}

std::pair<std::string, int> TNetFTP::requestDataPort() {
    if (extendedWanted(epsvRefused, "EPSV")) {
        int code = SendCommand("EPSV", -1);
        if (code == 229)
            return {std::string(), ParseExtendedPassive(
                                       LastReply.Text.empty() ? std::string() : LastReply.Text[0])};
        if (!isRefusedAsUnknown(code) || ControlIsIPv6()) RaiseReplyError();
        epsvRefused = true;
    }
    return RequestPassive();
}

void TNetFTP::sendDataPort(const std::string& ip, int port) {
    if (extendedWanted(eprtRefused, "EPRT")) {
        const char* family = NetAddressFamily(ip) == AF_INET6 ? "2" : "1";
        int code = SendCommand(
            "EPRT |" + std::string(family) + "|" + ip + "|" + std::to_string(port) + "|", -1);
        if (code == 200) return;
        if (!isRefusedAsUnknown(code) || ControlIsIPv6()) RaiseReplyError();
        eprtRefused = true;
    }
    SendPort(ip, port);
}
