#include "ftp/listing_lines.h"

#include <utility>

int64_t TNetListingLines::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    written += count;
    if (ended) return count;
    const char* p = static_cast<const char*>(buffer);
    const char* end = p + count;
    // The LF of a CR LF pair whose CR ended the previous write.
    if (afterCR && *p == '\n') ++p;
    afterCR = false;
    while (p < end) {
        const char* q = p;
        while (q < end && *q != '\r' && *q != '\n' && *q != '\0')
            ++q;
        if (q == end) {
            partial.append(p, q);
            partialStarted = true;
            break;
        }
        if (partialStarted) {
            partial.append(p, q);
            lines.push_back(std::move(partial));
            partial.clear();
            partialStarted = false;
        } else if (*q != '\0' || q > p) {
            lines.emplace_back(p, q);
        }
        if (*q == '\0') {
            ended = true;
            break;
        }
        if (*q == '\r') {
            if (q + 1 == end)
                afterCR = true;
            else if (q[1] == '\n')
                ++q;
        }
        p = q + 1;
    }
    return count;
}

std::vector<std::string> TNetListingLines::Finish() {
    if (partialStarted && !ended) lines.push_back(std::move(partial));
    partial.clear();
    partialStarted = false;
    afterCR = false;
    ended = false;
    written = 0;
    return std::move(lines);
}
