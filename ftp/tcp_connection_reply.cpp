// The command and reply exchange of a connection.
#include "ftp/socket/net_exception.h"
#include "ftp/tcp_connection.h"

#include <algorithm>
#include <climits>
#include <strings.h>

void TNetTCPConnection::ReadReplyLines() {
    std::vector<std::string> lines;
    lines.push_back(ReadNonBlankLine(INT_MAX));
    const std::string& first = lines.front();
    if (first.size() > 3 && first[3] == '-') {
        const std::string marker = first.substr(0, 3) + " ";
        while (true) {
            lines.push_back(ReadNonBlankLine(INT_MAX));
            const std::string& line = lines.back();
            if (line.size() < 4 || strncasecmp(line.c_str(), marker.c_str(), 4) == 0) break;
        }
    }

    LastReply.Clear();
    std::string code = Trimmed(lines.front().substr(0, 4));
    if (code.size() == 4 && code.back() == '-') code.pop_back();
    LastReply.SetTextCode(code);
    for (const auto& line : lines)
        LastReply.Text.push_back(line.size() > 4 ? line.substr(4) : "");
}

int TNetTCPConnection::ReadReply(const std::vector<int>& accepted) {
    ReadReplyLines();
    return CheckReplyCode(LastReply.NumericCode(), accepted);
}

int TNetTCPConnection::CheckReplyCode(int code, const std::vector<int>& accepted) {
    if (accepted.empty()) return code;
    if (std::find(accepted.begin(), accepted.end(), code) != accepted.end()) return code;
    RaiseReplyError();
}

void TNetTCPConnection::RaiseReplyError() {
    throw ENetProtocolReplyError(LastReply.NumericCode(), LastReply.TextWithLineEnds());
}

int TNetTCPConnection::SendCommand(const std::string& command, const std::vector<int>& accepted) {
    WriteLine(command);
    return ReadReply(accepted);
}

int TNetTCPConnection::SendCommand(const std::string& command,
                                   std::initializer_list<int> accepted) {
    return SendCommand(command, std::vector<int>(accepted));
}

int TNetTCPConnection::SendCommand(const std::string& command, int accepted) {
    return SendCommand(command, accepted == -1 ? std::vector<int>{} : std::vector<int>{accepted});
}
