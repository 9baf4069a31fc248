// TNetFTP: FEAT once per login and the UTF-8 option; the feature list.

#include "ftp/ftp.h"
#include "ftp/list_parser.h"

#include <cctype>
#include <climits>
#include <strings.h>

void TNetFtpFeatures::Clear() {
    Asked = false;
    Listed = false;
    Lines.clear();
    HashSelected.clear();
}

void TNetFtpFeatures::Load(int code, const TNetRFCReply& reply) {
    Asked = true;
    Lines.clear();
    Listed = code == 211;
    if (!Listed) return;
    // The first and last lines are the reply's own words; the features come between.
    for (size_t i = 1; i + 1 < reply.Text.size(); ++i) {
        std::string line = NetTrim(reply.Text[i]);
        if (!line.empty()) Lines.push_back(line);
    }
}

namespace {

std::string firstWord(const std::string& line) {
    return line.substr(0, line.find(' '));
}

} // namespace

bool TNetFtpFeatures::Has(const std::string& name) const {
    for (const auto& line : Lines)
        if (strcasecmp(firstWord(line).c_str(), name.c_str()) == 0) return true;
    return false;
}

std::string TNetFtpFeatures::Parameters(const std::string& name) const {
    for (const auto& line : Lines) {
        if (strcasecmp(firstWord(line).c_str(), name.c_str()) != 0) continue;
        auto space = line.find(' ');
        return space == std::string::npos ? std::string() : NetTrim(line.substr(space + 1));
    }
    return {};
}

std::string NetCanonicalFingerprint(const std::string& fingerprint) {
    std::string hex;
    for (char c : fingerprint) {
        if (c == ':' || c == ' ') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (hex.size() != 64) return {};
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        if (i) out += ':';
        out += hex.substr(i, 2);
    }
    return out;
}

int TNetFTP::SendCommandWholeLines(const std::string& command) {
    // FEAT and MLST put a space where the code would be: the ordinary reply reader cuts four
    // characters from such lines, so these two replies are read line by line here.
    WriteLine(command);
    std::vector<std::string> lines{ReadNonBlankLine(INT_MAX)};
    const std::string first = lines.front();
    if (first.size() > 3 && first[3] == '-') {
        const std::string marker = first.substr(0, 3) + " ";
        // Short lines ("CCC", "MDTM") are features here, not the end of the reply.
        constexpr size_t MaxLines = 10000;
        for (;;) {
            lines.push_back(ReadNonBlankLine(INT_MAX));
            const std::string& line = lines.back();
            if (strncasecmp(line.c_str(), marker.c_str(), 4) == 0) break;
            if (lines.size() > MaxLines)
                throw ENetProtocolReplyError(0, "The reply to " + command + " does not end.");
        }
    }
    LastReply.Clear();
    std::string code = NetTrim(first.substr(0, 4));
    if (code.size() == 4 && code.back() == '-') code.pop_back();
    LastReply.SetTextCode(code);
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool coded =
            i == 0 || i + 1 == lines.size() || strncasecmp(lines[i].c_str(), first.c_str(), 3) == 0;
        LastReply.Text.push_back(!coded ? lines[i] : lines[i].size() > 4 ? lines[i].substr(4) : "");
    }
    return LastReply.NumericCode();
}

void TNetFTP::AskFeatures() {
    Features.Clear();
    epsvRefused = eprtRefused = false;
    Features.Load(SendCommandWholeLines("FEAT"), LastReply);
    // Ask for the facts the listing shows that servers leave out by default.
    const std::string offered = NetUpperCase(Features.Parameters("MLST"));
    std::string wanted;
    for (const char* fact : {"TYPE", "SIZE", "MODIFY", "PERM", "UNIX.MODE", "UNIX.OWNER",
                             "UNIX.GROUP", "UNIX.OWNERNAME", "UNIX.GROUPNAME"}) {
        const std::string f = fact;
        if (offered.find(f + ";") != std::string::npos ||
            offered.find(f + "*;") != std::string::npos)
            wanted += f + ";";
    }
    if (!wanted.empty() && UseMlsd) SendCommand("OPTS MLST " + wanted, -1);
    // Names are sent and read as UTF-8 in every case; the option only tells servers that
    // otherwise use another encoding.
    if (Features.Has("UTF8")) SendCommand("OPTS UTF8 ON", -1);
}
