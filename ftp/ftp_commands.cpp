// TNetFTP: the commands that need no data connection, and the abort.

#include "ftp/ftp.h"
#include "ftp/list_parser.h"
#include "ftp/reply_parsers.h"

void TNetFTP::ChangeDirectory(const std::string& path) {
    SendCommand("CWD " + path, {200, 250});
}

std::string TNetFTP::CurrentDirectory() {
    SendCommand("PWD", {257});
    return ParseQuotedFolder(LastReply.Text.empty() ? std::string() : LastReply.Text[0]);
}

void TNetFTP::MakeDirectory(const std::string& path) {
    SendCommand("MKD " + path, {257});
}

void TNetFTP::RemoveDirectory(const std::string& path) {
    SendCommand("RMD " + path, {250});
}

void TNetFTP::DeleteFile(const std::string& name) {
    SendCommand("DELE " + name, {250});
}

void TNetFTP::RenameFile(const std::string& fromName, const std::string& toName) {
    SendCommand("RNFR " + fromName, {350});
    SendCommand("RNTO " + toName, {250});
}

int64_t TNetFTP::FileSize(const std::string& name) {
    if (SendCommand("SIZE " + name, -1) != 213) return -1;
    std::string text;
    for (const auto& line : LastReply.Text)
        text += line + "\r\n";
    text = NetTrim(text);
    if (auto blank = text.find(' '); blank != std::string::npos) text.erase(0, blank + 1);
    // Files past 2 GiB are common: the size is read as a 64-bit number.
    int64_t size = NetStrToInt64Def(text, -1);
    return size < 0 ? -1 : size;
}

void TNetFTP::AbortTransfer() {
    abortRequested = true;
    if (Connected()) WriteLine("ABOR");
    CloseDataConnection();
}
