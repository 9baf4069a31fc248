// One parsed entry of a directory listing and the ordered collection of them.
#pragma once

#include "ftp/date_time.h"
#include "ftp/list_blocks.h"
#include "ftp/socket/net_exception.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum TNetFTPListFormat {
    FormatNone = 0,
    FormatDos = 1,
    FormatUnix = 2,
    FormatVms = 3,
    FormatNamesOnly = 4,
    FormatUnknown = 5,
    FormatCustom = 6,
};

enum TNetFTPEntryKind { EntryDirectory = 0, EntryFile = 1, EntrySymlink = 2 };

// Raised for a line of a listing whose format cannot be read.
class ENetInvalidFTPListingFormat : public ENetException {
public:
    ENetInvalidFTPListingFormat() : ENetException("Unknown FTP listing format") {}
};

struct TNetFTPListItem {
    std::string RawLine;
    TNetFTPEntryKind EntryKind = EntryFile;
    std::string OwnerRights = "???", GroupRights = "???", OthersRights = "???";
    int LinkCount = 0;
    std::string OwnerUser = "????????", OwnerGroup = "????????";
    int64_t ByteSize = 0;
    TNetDateTime ModifiedAt;
    std::string EntryName;
    std::string LinkTarget;
};

// Parses an entry of a custom listing format; raises to reject the line.
using TNetParseCustomListFormatEvent = std::function<void(TNetFTPListItem& AItem)>;

class TNetFTPListItems {
public:
    TNetFTPListFormat ListFormat = FormatUnix;
    TNetParseCustomListFormatEvent OnParseCustomListFormat;

    // Returns the number of entries.
    int Count() const { return static_cast<int>(items.size()); }
    // Returns the entry at index (0 <= index < Count()).
    const TNetFTPListItem& operator[](int index) const { return items[checked(index)]; }
    TNetFTPListItem& operator[](int index) { return items[checked(index)]; }
    // Appends a new entry with the default values and returns it.
    TNetFTPListItem& Add();
    // Removes every entry.
    void Clear() { items.clear(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }

    // Replaces the entries by those parsed from lines in ListFormat: blank lines are skipped,
    // a leading "total" line of a Unix listing too, and a line that fails to parse drops every
    // entry collected before it. today is the date that year-less Unix dates are read against.
    void LoadListing(const std::vector<std::string>& lines, const TNetDateTime& today = NetNow());
    // The same line by line, for parsing while a listing arrives: BeginLines empties the
    // collection, then AddLine takes each line in turn by the rules of LoadListing.
    void BeginLines(const TNetDateTime& today = NetNow());
    void AddLine(const std::string& line);
    // The number of lines given to AddLine since BeginLines (or LoadListing).
    size_t LinesSeen() const { return linesSeen; }
    // Fills entry from its RawLine by ListFormat; raises ENetInvalidFTPListingFormat for an
    // unknown format (or a custom one without handler) and ENetException for a bad date.
    void ParseEntry(TNetFTPListItem& entry, const TNetDateTime& today = NetNow()) const;

private:
    // Raises std::out_of_range for an index outside 0..Count()-1.
    size_t checked(int index) const;

    TNetBlockList<TNetFTPListItem> items;
    TNetDateTime linesToday;
    size_t linesSeen = 0;
};
