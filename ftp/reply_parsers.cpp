#include "ftp/reply_parsers.h"

#include "ftp/escape_text.h"
#include "ftp/ftp.h"
#include "ftp/list_parser.h"

namespace {

// One part of an address or port: a decimal number of 0 to 255.
int addressByte(const std::string& text, const char* what) {
    const int64_t v = NetStrToInt64Def(text, INT64_MIN);
    if (v == INT64_MIN) throw ENetConvertError(EscapeControlText(text));
    if (v < 0 || v > 255)
        throw ENetProtocolError(std::string("Invalid ") + what + ": '" + EscapeControlText(text) +
                                "' is outside 0-255.");
    return static_cast<int>(v);
}

} // namespace

std::pair<std::string, int> ParsePassiveReply(const std::string& reply) {
    const std::string line = NetTrim(reply);
    const auto open = line.find('(');
    const auto close = line.find(')');
    std::string numbers;
    if (open != std::string::npos && close != std::string::npos)
        numbers = line.substr(open + 1, close > open ? close - open - 1 : 0);
    else
        numbers = line.substr(line.rfind(' ') == std::string::npos ? 0 : line.rfind(' ') + 1);
    std::string address;
    for (int i = 0; i < 4; ++i) {
        if (i) address += ".";
        address += std::to_string(addressByte(TakeToken(numbers, ","), "PASV reply"));
    }
    const int high = addressByte(TakeToken(numbers, ","), "PASV reply");
    const int low = addressByte(TakeToken(numbers, ","), "PASV reply");
    return {address, high * 256 + low};
}

std::string ParseQuotedFolder(const std::string& line) {
    const auto open = line.find('"');
    if (open == std::string::npos) return {};
    const auto close = line.find('"', open + 1);
    if (close == std::string::npos) return {};
    // A doubled quote inside the name is not unescaped: the name ends at it.
    return line.substr(open + 1, close - open - 1);
}

std::string BuildPortArgument(const std::string& ip, int port) {
    if (port < 0 || port > 65535)
        throw ENetProtocolError("Invalid PORT address: port " + std::to_string(port) +
                                " is outside 0-65535.");
    std::string rest = ip;
    std::string out;
    for (int i = 0; i < 4; ++i) {
        if (i == 3 ? rest.find('.') != std::string::npos : rest.find('.') == std::string::npos)
            throw ENetProtocolError("Invalid PORT address: '" + EscapeControlText(ip) +
                                    "' is not an IPv4 address.");
        out += std::to_string(addressByte(TakeToken(rest, "."), "PORT address")) + ",";
    }
    return out + std::to_string(port / 256) + "," + std::to_string(port % 256);
}
