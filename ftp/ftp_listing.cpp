// TNetFTP: listing a folder and the parsed listing built from its lines.

#include "ftp/ftp.h"
#include "ftp/list_parser.h"
#include "ftp/listing_lines.h"

#include <memory>

void TNetFTP::ListDirectory(std::vector<std::string>* destination, const std::string& specifier,
                            bool details) {
    // MLSD takes a path, not LIST's options.
    const bool machine =
        details && MachineListingsWanted() && (specifier.empty() || specifier[0] != '-');
    std::string command = NetTrim((machine ? "MLSD " : details ? "LIST " : "NLST ") + specifier);
    TNetListingLines text;
    // Without handlers that could shape the listing, each line is parsed as it arrives: the
    // work overlaps the wait for the server, which takes most of a long listing's time.
    std::unique_ptr<TNetFTPListItems> early;
    if (!machine && !OnCreateFTPList && !OnCheckListFormat) {
        early = std::make_unique<TNetFTPListItems>();
        early->OnParseCustomListFormat = OnParseCustomListFormat;
        early->BeginLines();
        text.OnLine = [&early](const std::string& line) {
            // Listings are always read as detailed, also when they came from NLST.
            if (early->LinesSeen() == 0) early->ListFormat = DetectListFormat(line, true);
            early->AddLine(line);
        };
    }
    ReceiveOverData(command, text, false);
    machineListing = machine;
    RawListing = text.Finish();
    listing = std::move(early);
    if (destination) *destination = RawListing;
}

TNetFTPListItems& TNetFTP::DirectoryListing() {
    if (listing) return *listing;
    std::unique_ptr<TNetFTPListItems> created;
    if (OnCreateFTPList) OnCreateFTPList(this, created);
    if (!created) created = std::make_unique<TNetFTPListItems>();
    if (OnParseCustomListFormat) created->OnParseCustomListFormat = OnParseCustomListFormat;
    if (machineListing) {
        loadMachineListing(*created);
    } else if (!RawListing.empty()) {
        // Listings are always read as detailed, also when they came from NLST.
        TNetFTPListFormat format = DetectListFormat(RawListing[0], true);
        if (OnCheckListFormat) OnCheckListFormat(this, RawListing[0], format);
        created->ListFormat = format;
        created->LoadListing(RawListing);
    }
    listing = std::move(created);
    return *listing;
}
