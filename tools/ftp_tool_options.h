// The command line of oxbrook-ftp: options, the ftp:// URL, the command and its arguments.
#pragma once

#include "ftp/ftp.h"

#include <stdexcept>
#include <string>
#include <vector>

// A command line that cannot be run; the message says why.
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FtpToolOptions {
    bool verbose = false;
    bool active = false;
    bool resume = false;
    bool ascii = false;
    TNetFtpProxySettings proxy;
    TNetSocksInfo socks;
    std::string user = "anonymous";
    std::string password = "anonymous@";
    std::string host;
    int port = 21;
    // The limit of every wait for the server: replies, data, the active-mode accept, SOCKS.
    int timeoutSeconds = 120;
    TNetFtpEncryption encryption = feNone;
    std::string caFile;
    std::vector<std::string> trusted; // SHA-256 fingerprints, canonical form
    bool mlsd = false;                // ls lists with MLSD when the server offers it
    std::string folder;               // entered first when not empty
    std::string command;
    std::vector<std::string> arguments;
};

// Returns the options of argv (without the program name). Raises EUsageError for an unknown
// option, a malformed URL, proxy or SOCKS text, an unknown command or a wrong argument count.
FtpToolOptions ParseFtpToolArguments(const std::vector<std::string>& args);
// Returns the usage text.
std::string FtpToolUsage();
// Returns text with %XX escapes decoded. Raises EUsageError for a broken escape.
std::string PercentDecode(const std::string& text);
