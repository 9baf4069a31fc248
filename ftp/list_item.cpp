#include "ftp/list_item.h"

#include "ftp/list_parser.h"

TNetFTPListItem& TNetFTPListItems::Add() {
    return items.emplace_back();
}

void TNetFTPListItems::ParseEntry(TNetFTPListItem& entry, const TNetDateTime& today) const {
    switch (ListFormat) {
    case FormatDos:
        ParseDosEntry(entry);
        break;
    case FormatUnix:
    case FormatVms:
        ParseUnixEntry(entry, ListFormat, today);
        break;
    case FormatNamesOnly:
        entry.EntryName = NetTrim(entry.RawLine);
        break;
    case FormatCustom:
        if (!OnParseCustomListFormat) throw ENetInvalidFTPListingFormat();
        OnParseCustomListFormat(entry);
        break;
    case FormatNone:
        break;
    case FormatUnknown:
    default:
        throw ENetInvalidFTPListingFormat();
    }
}

void TNetFTPListItems::LoadListing(const std::vector<std::string>& lines,
                                   const TNetDateTime& today) {
    items.clear();
    items.reserve(lines.size());
    size_t first = 0;
    if (ListFormat == FormatUnix && !lines.empty() && NetUpperCase(lines[0]).starts_with("TOTAL"))
        first = 1;
    for (size_t i = first; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        TNetFTPListItem& entry = items.emplace_back();
        entry.RawLine = line;
        if (ListFormat == FormatNone) continue;
        try {
            ParseEntry(entry, today);
        } catch (const std::exception&) {
            // A line that does not parse throws away what came before it, not what follows.
            items.clear();
        }
    }
}
