#include "tools/ftp_tool_options.h"

#include <map>

namespace {

// Returns the whole of text as a number from min to max; else raises EUsageError("bad <what>").
int parseNumber(const std::string& text, int min, int max, const std::string& what) {
    size_t used = 0;
    int value = min - 1;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
    }
    if (used != text.size() || value < min || value > max)
        throw EUsageError("bad " + what + " \"" + text + "\"");
    return value;
}

int parsePort(const std::string& text) {
    return parseNumber(text, 1, 65535, "port");
}

// Splits TYPE:HOST:PORT[:USER[:PASSWORD]]; the password keeps any further colons.
std::vector<std::string> splitEndpoint(const std::string& text, const char* what) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (parts.size() < 4) {
        size_t colon = text.find(':', start);
        if (colon == std::string::npos) break;
        parts.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
    parts.push_back(text.substr(start));
    if (parts.size() < 3 || parts[1].empty())
        throw EUsageError(std::string("bad ") + what + " \"" + text + "\"");
    return parts;
}

void parseProxy(const std::string& text, TNetFtpProxySettings& proxy) {
    static const std::map<std::string, TNetFtpProxyType> types = {
        {"none", fpcmNone}, {"usersite", fpcmUserSite}, {"site", fpcmSite},
        {"open", fpcmOpen}, {"userpass", fpcmUserPass}, {"transparent", fpcmTransparent}};
    auto parts = splitEndpoint(text, "proxy");
    auto type = types.find(parts[0]);
    if (type == types.end()) throw EUsageError("unknown proxy type \"" + parts[0] + "\"");
    proxy.ProxyType = type->second;
    proxy.Host = parts[1];
    proxy.Port = parsePort(parts[2]);
    if (parts.size() > 3) proxy.UserName = parts[3];
    if (parts.size() > 4) proxy.Password = parts[4];
}

void parseSocks(const std::string& text, TNetSocksInfo& socks) {
    auto parts = splitEndpoint(text, "SOCKS server");
    if (parts[0] == "4")
        socks.Version = svSocks4;
    else if (parts[0] == "4a" || parts[0] == "4A")
        socks.Version = svSocks4A;
    else if (parts[0] == "5")
        socks.Version = svSocks5;
    else
        throw EUsageError("unknown SOCKS version \"" + parts[0] + "\"");
    socks.Host = parts[1];
    socks.Port = parsePort(parts[2]);
    if (parts.size() > 3) socks.Username = parts[3];
    if (parts.size() > 4) socks.Password = parts[4];
    if (socks.Version == svSocks5 && parts.size() > 3) socks.Authentication = saUsernamePassword;
}

void parseUrl(const std::string& url, FtpToolOptions& o) {
    const std::string scheme = "ftp://";
    if (url.compare(0, scheme.size(), scheme) != 0)
        throw EUsageError("the URL must start with ftp://");
    std::string rest = url.substr(scheme.size());
    std::string authority = rest.substr(0, rest.find('/'));
    if (auto slash = rest.find('/'); slash != std::string::npos)
        o.folder = PercentDecode(rest.substr(slash + 1));
    // The user part ends at the last "@": passwords may contain one.
    if (auto at = authority.rfind('@'); at != std::string::npos) {
        std::string userInfo = authority.substr(0, at);
        authority.erase(0, at + 1);
        auto colon = userInfo.find(':');
        o.user = PercentDecode(userInfo.substr(0, colon));
        o.password = colon == std::string::npos ? "" : PercentDecode(userInfo.substr(colon + 1));
    }
    // An IPv6 address is written in brackets: ftp://[::1]:2121/.
    if (!authority.empty() && authority[0] == '[') {
        auto close = authority.find(']');
        if (close == std::string::npos) throw EUsageError("the URL's [address] is not closed");
        std::string after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') throw EUsageError("bad URL host \"" + authority + "\"");
            o.port = parsePort(after.substr(1));
        }
        o.host = authority.substr(1, close - 1);
        if (o.host.empty()) throw EUsageError("the URL names no host");
        return;
    }
    if (auto colon = authority.rfind(':'); colon != std::string::npos) {
        o.port = parsePort(authority.substr(colon + 1));
        authority.erase(colon);
    }
    if (authority.empty()) throw EUsageError("the URL names no host");
    o.host = authority;
}

TNetFtpEncryption parseTls(const std::string& text) {
    if (text == "explicit") return feExplicitTls;
    if (text == "implicit") return feImplicitTls;
    if (text == "auto") return feTlsIfAvailable;
    throw EUsageError("--tls takes explicit, implicit or auto, not \"" + text + "\"");
}

} // namespace

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
            throw EUsageError("broken %-escape in \"" + text + "\"");
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

std::string FtpToolUsage() {
    return "usage: oxbrook-ftp [-v] [--active] [--resume] [--ascii] [--timeout SECONDS]\n"
           "                   [--proxy TYPE:HOST:PORT[:USER[:PASSWORD]]]\n"
           "                   [--socks VERSION:HOST:PORT[:USER[:PASSWORD]]]\n"
           "                   [--tls explicit|implicit|auto] [--ca FILE] [--trust SHA256]\n"
           "                   ftp://[user[:password]@]host[:port][/folder] COMMAND [ARGUMENTS]\n"
           "TYPE: none, usersite, site, open, userpass, transparent; VERSION: 4, 4a, 5\n"
           "--timeout: the longest wait for the server at any step (default 120)\n"
           "--tls auto uses TLS when the server offers it; implicit TLS defaults to port 990\n"
           "commands: ls [--mlsd], raw-ls, get REMOTE LOCAL, put LOCAL [REMOTE],\n"
           "          append LOCAL REMOTE,\n"
           "          mkdir DIR, rmdir DIR, rm FILE, mv FROM TO, size FILE, pwd, quote LINE\n";
}

FtpToolOptions ParseFtpToolArguments(const std::vector<std::string>& args) {
    FtpToolOptions o;
    size_t i = 0;
    auto value = [&](const std::string& option) {
        if (i + 1 >= args.size()) throw EUsageError(option + " needs a value");
        return args[++i];
    };
    for (; i < args.size() && args[i].starts_with("-"); ++i) {
        const std::string& a = args[i];
        if (a == "-v")
            o.verbose = true;
        else if (a == "--active")
            o.active = true;
        else if (a == "--resume")
            o.resume = true;
        else if (a == "--ascii")
            o.ascii = true;
        else if (a == "--proxy")
            parseProxy(value(a), o.proxy);
        else if (a == "--socks")
            parseSocks(value(a), o.socks);
        else if (a == "--timeout")
            // 0 would mean waiting for ever.
            o.timeoutSeconds = parseNumber(value(a), 1, 86400, "time-out");
        else if (a == "--tls")
            o.encryption = parseTls(value(a));
        else if (a == "--ca")
            o.caFile = value(a);
        else if (a == "--trust") {
            std::string fingerprint = NetCanonicalFingerprint(value(a));
            if (fingerprint.empty())
                throw EUsageError("--trust needs a SHA-256 fingerprint (64 hex digits)");
            o.trusted.push_back(fingerprint);
        } else
            throw EUsageError("unknown option " + a);
    }
    if (i + 2 > args.size()) throw EUsageError("a URL and a command are needed");
    if (o.encryption == feImplicitTls) o.port = 990;
    parseUrl(args[i++], o);
    o.command = args[i++];
    o.arguments.assign(args.begin() + static_cast<long>(i), args.end());
    if (o.command == "ls" && !o.arguments.empty() && o.arguments[0] == "--mlsd") {
        o.mlsd = true;
        o.arguments.erase(o.arguments.begin());
    }

    static const std::map<std::string, std::pair<size_t, size_t>> counts = {
        {"ls", {0, 0}},     {"raw-ls", {0, 0}}, {"get", {2, 2}},   {"put", {1, 2}},
        {"append", {2, 2}}, {"mkdir", {1, 1}},  {"rmdir", {1, 1}}, {"rm", {1, 1}},
        {"mv", {2, 2}},     {"size", {1, 1}},   {"pwd", {0, 0}},   {"quote", {1, 1}}};
    auto count = counts.find(o.command);
    if (count == counts.end()) throw EUsageError("unknown command \"" + o.command + "\"");
    if (o.arguments.size() < count->second.first || o.arguments.size() > count->second.second)
        throw EUsageError("wrong number of arguments for " + o.command);
    return o;
}
