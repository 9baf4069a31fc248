// The listing parser over arbitrary listing bytes: split into lines as a data connection does,
// the format detected from the first line (or forced by the first byte), every entry parsed.

#include "ftp/list_item.h"
#include "ftp/list_parser.h"
#include "ftp/listing_lines.h"
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    TNetListingLines text;
    text.Write(data + 1, static_cast<int64_t>(size - 1));
    const std::vector<std::string> lines = text.Finish();
    TNetFTPListItems items;
    // One fixed day keeps a run repeatable.
    const TNetDateTime today = EncodeNetDate(2026, 6, 15);
    items.ListFormat = data[0] % 2 == 0 && !lines.empty() ? DetectListFormat(lines[0], true)
                                                          : TNetFTPListFormat(data[0] % 4);
    try {
        items.LoadListing(lines, today);
    } catch (const ENetException&) {
    }
    return 0;
}
