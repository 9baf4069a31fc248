// TNetFTP: machine listings (MLSD, MLST), a file's time (MDTM) and setting it (MFMT).

#include "ftp/ftp.h"
#include "ftp/list_parser.h"

#include <cctype>
#include <strings.h>

namespace {

bool readDigits(const std::string& text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

std::string rightsOf(int bits) {
    std::string r = "---";
    if (bits & 4) r[0] = 'r';
    if (bits & 2) r[1] = 'w';
    if (bits & 1) r[2] = 'x';
    return r;
}

std::string twoDigits(int v) {
    return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10);
}

} // namespace

bool NetParseFactTime(const std::string& text, TNetDateTime& time) {
    int y, mo, d, h, mi, s, ms = 0;
    if (text.size() < 14 || !readDigits(text, 0, 4, y) || !readDigits(text, 4, 2, mo) ||
        !readDigits(text, 6, 2, d) || !readDigits(text, 8, 2, h) || !readDigits(text, 10, 2, mi) ||
        !readDigits(text, 12, 2, s))
        return false;
    if (text.size() > 15 && text[14] == '.') {
        size_t digits = std::min<size_t>(3, text.size() - 15);
        if (!readDigits(text, 15, digits, ms)) return false;
        for (size_t i = digits; i < 3; ++i)
            ms *= 10;
    }
    // A leap second is shown as the last second of its minute.
    if (s == 60) s = 59;
    if (!IsValidDate(y, mo, d) || !IsValidTime(h, mi, s, ms)) return false;
    time = WithNetTime(EncodeNetDate(y, mo, d), h, mi, s, ms);
    return true;
}

std::string NetFactTimeText(const TNetDateTime& t) {
    return std::to_string(t.Year) + twoDigits(t.Month) + twoDigits(t.Day) + twoDigits(t.Hour) +
           twoDigits(t.Minute) + twoDigits(t.Second);
}

bool NetParseMlsdLine(const std::string& line, TNetFTPListItem& item, bool& skip) {
    skip = false;
    // "fact=value;fact=value; name": the name follows the first space and may hold anything.
    auto space = line.find(' ');
    if (space == std::string::npos || space + 1 >= line.size()) return false;
    item.RawLine = line;
    item.EntryName = line.substr(space + 1);
    std::string facts = line.substr(0, space);
    bool typed = false;
    while (!facts.empty()) {
        std::string fact = TakeToken(facts, ";");
        auto eq = fact.find('=');
        if (eq == std::string::npos) continue;
        std::string key = NetUpperCase(fact.substr(0, eq));
        std::string value = fact.substr(eq + 1);
        if (key == "TYPE") {
            std::string v = NetUpperCase(value);
            typed = true;
            if (v == "CDIR" || v == "PDIR") skip = true;
            if (v == "DIR" || v == "CDIR" || v == "PDIR")
                item.EntryKind = EntryDirectory;
            else if (v.rfind("OS.UNIX=SYMLINK", 0) == 0 || v.rfind("OS.UNIX=SLINK", 0) == 0) {
                item.EntryKind = EntrySymlink;
                auto colon = value.find(':');
                if (colon != std::string::npos) item.LinkTarget = value.substr(colon + 1);
            } else
                item.EntryKind = EntryFile;
        } else if (key == "SIZE" || key == "SIZD") {
            int64_t size = NetStrToInt64Def(value, -1);
            if (size >= 0 && (key == "SIZE" || item.EntryKind == EntryDirectory))
                item.ByteSize = size;
        } else if (key == "MODIFY") {
            TNetDateTime t;
            if (NetParseFactTime(value, t)) item.ModifiedAt = t;
        } else if (key == "UNIX.MODE") {
            // Some servers write the mode the way their language prints octal ("0o644").
            if (value.size() > 2 && value[0] == '0' && (value[1] == 'o' || value[1] == 'O'))
                value = value.substr(2);
            int64_t mode = -1;
            bool octal = !value.empty();
            for (char c : value)
                octal = octal && c >= '0' && c <= '7';
            if (octal) mode = std::stoll(value, nullptr, 8);
            if (mode >= 0) {
                item.OwnerRights = rightsOf(static_cast<int>(mode >> 6));
                item.GroupRights = rightsOf(static_cast<int>(mode >> 3));
                item.OthersRights = rightsOf(static_cast<int>(mode));
            }
        } else if (key == "UNIX.OWNER" || key == "UNIX.OWNERNAME") {
            item.OwnerUser = value;
        } else if (key == "UNIX.GROUP" || key == "UNIX.GROUPNAME") {
            item.OwnerGroup = value;
        }
    }
    return typed;
}

bool TNetFTP::MachineListingsWanted() const {
    return UseMlsd && Features.Has("MLST");
}

void TNetFTP::loadMachineListing(TNetFTPListItems& items) const {
    items.Clear();
    for (const auto& line : RawListing) {
        TNetFTPListItem entry;
        bool skip = false;
        // A line without the facts we need is left out rather than failing the whole folder.
        if (!NetParseMlsdLine(line, entry, skip) || skip) continue;
        items.Add() = entry;
    }
}

bool TNetFTP::FileFacts(const std::string& name, TNetFTPListItem& item) {
    if (!Features.Has("MLST")) return false;
    if (SendCommandWholeLines("MLST " + name) != 250) return false;
    for (size_t i = 1; i < LastReply.Text.size(); ++i) {
        bool skip = false;
        TNetFTPListItem entry;
        if (NetParseMlsdLine(NetTrimLeft(LastReply.Text[i]), entry, skip)) {
            item = entry;
            return true;
        }
    }
    return false;
}

bool TNetFTP::FileTime(const std::string& name, TNetDateTime& time) {
    if (SendCommand("MDTM " + name, -1) != 213 || LastReply.Text.empty()) return false;
    return NetParseFactTime(NetTrim(LastReply.Text[0]), time);
}

bool TNetFTP::SetFileTime(const std::string& name, const TNetDateTime& time) {
    if (!Features.Has("MFMT")) return false;
    return SendCommand("MFMT " + NetFactTimeText(time) + " " + name, -1) == 213;
}
