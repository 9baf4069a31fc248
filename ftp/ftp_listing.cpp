// TNetFTP: listing a folder and the parsed listing built from its lines.

#include "ftp/ftp.h"
#include "ftp/list_parser.h"

#include <cstring>

namespace {

// Splits at CR LF, a lone LF or a lone CR; a NUL byte ends the text.
std::vector<std::string> splitLines(const char* text, size_t size) {
    std::vector<std::string> lines;
    const char* end = text + size;
    if (const void* nul = std::memchr(text, '\0', size)) end = static_cast<const char*>(nul);
    const char* p = text;
    while (p < end) {
        const char* q = p;
        while (q < end && *q != '\r' && *q != '\n')
            ++q;
        lines.emplace_back(p, q);
        if (q < end && *q == '\r' && q + 1 < end && q[1] == '\n') ++q;
        p = q + 1;
    }
    return lines;
}

} // namespace

void TNetFTP::ListDirectory(std::vector<std::string>* destination, const std::string& specifier,
                            bool details) {
    std::string command = NetTrim((details ? "LIST " : "NLST ") + specifier);
    TNetMemoryStream text;
    ReceiveOverData(command, text, false);
    listing.reset();
    RawListing =
        splitLines(reinterpret_cast<const char*>(text.Memory()), static_cast<size_t>(text.Size()));
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
