#include "ftp/listing_lines.h"

#include <cstring>
#include <utility>

namespace {

// Returns the first CR, LF or NUL in [p, end), or end. memchr finds the LF of a whole line in a
// few vector steps; the line is then searched for a CR or NUL before it (both rare).
const char* lineEnd(const char* p, const char* end) {
    const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
    const char* q = lf ? static_cast<const char*>(lf) : end;
    const size_t n = static_cast<size_t>(q - p);
    if (const void* cr = std::memchr(p, '\r', n)) q = static_cast<const char*>(cr);
    if (const void* nul = std::memchr(p, '\0', static_cast<size_t>(q - p)))
        q = static_cast<const char*>(nul);
    return q;
}

} // namespace

void TNetListingLines::addLine(std::string&& line) {
    // A long listing grows its vector eightfold rather than twofold: each growth copies what
    // came before into fresh memory, and the part of the vector not yet used is never touched,
    // so it costs address space only.
    if (lines.size() == lines.capacity() && lines.size() >= 1024) lines.reserve(lines.size() * 8);
    lines.push_back(std::move(line));
    if (OnLine) OnLine(lines.back());
}

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
        const char* q = lineEnd(p, end);
        if (q == end) {
            partial.append(p, q);
            partialStarted = true;
            break;
        }
        if (partialStarted) {
            partial.append(p, q);
            addLine(std::move(partial));
            partial.clear();
            partialStarted = false;
        } else if (*q != '\0' || q > p) {
            addLine(std::string(p, q));
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
    if (partialStarted && !ended) addLine(std::move(partial));
    partial.clear();
    partialStarted = false;
    afterCR = false;
    ended = false;
    written = 0;
    return std::move(lines);
}
