#include "ftp/list_item.h"

#include "ftp/list_parser.h"

#include <stdexcept>

size_t TNetFTPListItems::checked(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= items.size())
        throw std::out_of_range("listing entry " + std::to_string(index));
    return static_cast<size_t>(index);
}

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
    BeginLines(today);
    for (const std::string& line : lines)
        AddLine(line);
}

void TNetFTPListItems::BeginLines(const TNetDateTime& today) {
    items.clear();
    linesToday = today;
    linesSeen = 0;
}

void TNetFTPListItems::AddLine(const std::string& line) {
    const bool first = linesSeen++ == 0;
    if (first && ListFormat == FormatUnix && NetUpperCase(line.substr(0, 5)) == "TOTAL") return;
    if (line.find_first_not_of(" \t") == std::string::npos) return;
    TNetFTPListItem& entry = items.emplace_back();
    entry.RawLine = line;
    if (ListFormat == FormatNone) return;
    try {
        ParseEntry(entry, linesToday);
    } catch (const std::exception&) {
        // A line that does not parse throws away what came before it, not what follows.
        items.clear();
    }
}
