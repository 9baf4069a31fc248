// oxbrook-ftp: the FTP engine from the command line, one command per run.

#include "ftp/connection_intercept.h"
#include "ftp/escape_text.h"
#include "ftp/ftp.h"
#include "tools/ftp_tool_options.h"

#include <algorithm>
#include <cxxabi.h>
#include <iostream>
#include <memory>
#include <typeinfo>

namespace {

// Writes the control conversation to standard error, one line at a time. Received blocks are
// cut anywhere by the socket, so partial lines wait for their end.
class VerboseLog : public TNetConnectionIntercept {
public:
    VerboseLog() {
        OnSend = [](TNetConnectionIntercept*, TNetStream& block) { print("> ", text(block)); };
        OnReceive = [this](TNetConnectionIntercept*, TNetStream& block) {
            pending += text(block);
            auto end = pending.rfind('\n');
            if (end == std::string::npos) return;
            print("< ", pending.substr(0, end + 1));
            pending.erase(0, end + 1);
        };
    }

private:
    static std::string text(TNetStream& block) {
        std::string s(static_cast<size_t>(block.Size()), '\0');
        block.SetPosition(0);
        block.Read(s.data(), block.Size());
        return s;
    }
    static void print(const char* prefix, const std::string& lines) {
        size_t start = 0;
        while (start < lines.size()) {
            size_t lf = lines.find('\n', start);
            std::string line = lines.substr(start, lf == std::string::npos ? lf : lf - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::cerr << prefix << EscapeControlText(line) << '\n';
            if (lf == std::string::npos) break;
            start = lf + 1;
        }
    }
    std::string pending;
};

std::string className(const std::exception& e) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status), std::free);
    return status == 0 && name ? name.get() : typeid(e).name();
}

// One line for the error output: reply texts end in CR LF and may have several lines; any
// other control character is escaped.
std::string oneLine(std::string message) {
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    std::string out;
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') continue;
        out += message[i] == '\n' || message[i] == '\r' ? ' ' : message[i];
    }
    return EscapeControlText(out);
}

// A listing field: tab, line break and backslash escaped too, so that every entry stays one
// line of tab-separated fields.
std::string field(const std::string& text) {
    return EscapeControlText(text, true);
}

void printEntry(const TNetFTPListItem& e) {
    char kind = e.EntryKind == EntryDirectory ? 'd' : e.EntryKind == EntrySymlink ? 'l' : '-';
    std::cout << kind << '\t' << e.ByteSize << '\t' << e.ModifiedAt.ToText() << '\t'
              << field(e.EntryName);
    if (e.EntryKind == EntrySymlink) std::cout << '\t' << field(e.LinkTarget);
    std::cout << '\n';
}

void run(TNetFTP& ftp, const FtpToolOptions& o) {
    const auto& a = o.arguments;
    if (o.command == "ls") {
        ftp.ListDirectory(nullptr, "", true);
        for (const auto& e : ftp.DirectoryListing())
            printEntry(e);
    } else if (o.command == "raw-ls") {
        ftp.ListDirectory(nullptr, "", true);
        for (const auto& line : ftp.RawListing)
            std::cout << EscapeControlText(line) << '\n';
    } else if (o.command == "get") {
        // Without --resume an existing local file is replaced; with it, continued.
        ftp.Retrieve(a[0], a[1], !o.resume, o.resume);
    } else if (o.command == "put") {
        ftp.StoreFile(a[0], a.size() > 1 ? a[1] : std::string(), false);
    } else if (o.command == "append") {
        ftp.StoreFile(a[0], a[1], true);
    } else if (o.command == "mkdir") {
        ftp.MakeDirectory(a[0]);
    } else if (o.command == "rmdir") {
        ftp.RemoveDirectory(a[0]);
    } else if (o.command == "rm") {
        ftp.DeleteFile(a[0]);
    } else if (o.command == "mv") {
        ftp.RenameFile(a[0], a[1]);
    } else if (o.command == "size") {
        int64_t size = ftp.FileSize(a[0]);
        if (size < 0) ftp.RaiseReplyError();
        std::cout << size << '\n';
    } else if (o.command == "pwd") {
        std::cout << EscapeControlText(ftp.CurrentDirectory()) << '\n';
    } else if (o.command == "quote") {
        int code = ftp.SendCommand(a[0], -1);
        const auto& text = ftp.LastReply.Text;
        for (size_t i = 0; i < text.size(); ++i)
            std::cout << EscapeControlText(ftp.LastReply.TextCode())
                      << (i + 1 < text.size() ? "-" : " ") << EscapeControlText(text[i]) << '\n';
        if (code >= 400 || code < 100) ftp.RaiseReplyError();
    }
}

} // namespace

int main(int argc, char** argv) {
    FtpToolOptions o;
    try {
        o = ParseFtpToolArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const EUsageError& e) {
        std::cerr << "EUsageError: " << e.what() << '\n' << FtpToolUsage();
        return 1;
    }
    TNetFTP ftp;
    VerboseLog log;
    if (o.verbose) ftp.Intercept = &log;
    ftp.Host = o.host;
    ftp.Port = o.port;
    ftp.Username = o.user;
    ftp.Password = o.password;
    ftp.Passive = !o.active;
    ftp.ProxySettings = o.proxy;
    ftp.SocksInfo.Assign(o.socks);
    ftp.SetTransferType(o.ascii ? ftASCII : ftBinary);
    ftp.ReadTimeout = o.timeoutSeconds * 1000;
    ftp.UseMlsd = o.mlsd;
    ftp.Encryption = o.encryption;
    ftp.CaFile = o.caFile;
    ftp.TrustedFingerprints = o.trusted;
    // Nobody can be asked here: the details go to the error output so that the user can
    // check the fingerprint and pass it with --trust.
    ftp.OnCertificate = [](const TNetCertificateInfo& c) {
        std::cerr << "Certificate of " << c.Host << ":" << c.Port << " not trusted: " << c.Problem
                  << "\n  subject: " << c.Subject << "\n  issuer: " << c.Issuer
                  << "\n  valid: " << c.ValidFrom << " to " << c.ValidUntil
                  << "\n  SHA-256: " << c.Fingerprint << '\n';
        return taCancel;
    };
    try {
        ftp.Connect(true, std::min(30000, ftp.ReadTimeout));
        if (!o.folder.empty()) ftp.ChangeDirectory(o.folder);
        run(ftp, o);
        ftp.Disconnect();
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << className(e) << ": " << oneLine(e.what()) << '\n';
        return 1;
    }
    return 0;
}
