// The command and reply exchange of a connection.
#include "ftp/escape_text.h"
#include "ftp/socket/net_exception.h"
#include "ftp/tcp_connection.h"

#include <algorithm>
#include <climits>
#include <strings.h>

namespace {

// A reply is a few lines; a server that never ends one must not fill memory or hold the
// connection: past these it is a protocol error.
constexpr int64_t MaxReplyBytes = 64 * 1024;
constexpr int MaxReplyLines = 1000;

} // namespace

std::string TNetTCPConnection::replyStep() const {
    return lastVerb.empty() ? "greeting" : "reply to " + lastVerb;
}

void TNetTCPConnection::ReadReplyLines() {
    std::vector<std::string> lines;
    int64_t bytes = 0;
    int count = 0;
    // Returns the next line that is not blank once trimmed, counting blank ones against the
    // limits too.
    auto nextLine = [&]() -> std::string {
        while (true) {
            const int64_t budget = std::max<int64_t>(1, MaxReplyBytes - bytes);
            const bool budgetFirst = MaxLineLength == 0 || budget < MaxLineLength;
            std::string line;
            try {
                line = ReadLine("", DefaultTimeout,
                                static_cast<int>(budgetFirst ? budget : MaxLineLength));
            } catch (const ENetReadLnMaxLineLengthExceeded&) {
                if (!budgetFirst) throw;
                line.assign(static_cast<size_t>(budget) + 1, ' ');
            } catch (const ENetReadTimeout& e) {
                if (e.Step.empty()) throw ENetReadTimeout(replyStep());
                throw;
            }
            bytes += static_cast<int64_t>(line.size()) + 1;
            if (++count > MaxReplyLines || bytes > MaxReplyBytes) {
                // The rest of the reply is still on its way: the conversation cannot go on.
                CloseSocketQuietly();
                throw ENetReplyTooLong(MaxReplyLines, MaxReplyBytes);
            }
            std::string trimmed = Trimmed(line);
            if (!trimmed.empty()) return trimmed;
        }
    };
    lines.push_back(nextLine());
    const std::string& first = lines.front();
    if (first.size() > 3 && first[3] == '-') {
        const std::string marker = first.substr(0, 3) + " ";
        while (true) {
            lines.push_back(nextLine());
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
    // The message reaches logs and terminals: the server's control characters are escaped,
    // only the line ends between its lines stay.
    std::string message;
    for (const auto& line : LastReply.Text)
        message += EscapeControlText(line) + "\r\n";
    throw ENetProtocolReplyError(LastReply.NumericCode(), message);
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
