// TNetFTP: listing a folder and the parsed listing built from its lines.

#include "ftp/ftp.h"
#include "ftp/list_parser.h"

namespace {

// Splits at CR LF, a lone LF or a lone CR; a NUL byte ends the text.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    bool pending = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\0') break;
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            pending = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            continue;
        }
        line += c;
        pending = true;
    }
    if (pending) lines.push_back(line);
    return lines;
}

} // namespace

void TNetFTP::ListDirectory(std::vector<std::string>* destination, const std::string& specifier,
                            bool details) {
    std::string command = NetTrim((details ? "LIST " : "NLST ") + specifier);
    TNetMemoryStream text;
    ReceiveOverData(command, text, false);
    listing.reset();
    RawListing = splitLines(text.ToString());
    if (destination) *destination = RawListing;
}

TNetFTPListItems& TNetFTP::DirectoryListing() {
    if (listing) return *listing;
    std::unique_ptr<TNetFTPListItems> created;
    if (OnCreateFTPList) OnCreateFTPList(this, created);
    if (!created) created = std::make_unique<TNetFTPListItems>();
    if (OnParseCustomListFormat) created->OnParseCustomListFormat = OnParseCustomListFormat;
    if (!RawListing.empty()) {
        // Listings are always read as detailed, also when they came from NLST.
        TNetFTPListFormat format = DetectListFormat(RawListing[0], true);
        if (OnCheckListFormat) OnCheckListFormat(this, RawListing[0], format);
        created->ListFormat = format;
        created->LoadListing(RawListing);
    }
    listing = std::move(created);
    return *listing;
}
