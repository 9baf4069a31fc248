// The lines of a directory listing, split while its bytes arrive on the data connection.
#pragma once

#include "ftp/net_stream.h"

#include <functional>
#include <string>
#include <vector>

// A write-only stream that cuts what is written into lines: CR LF, a lone LF and a lone CR each
// end a line, also when a CR and its LF arrive in different writes; a NUL byte ends the text
// (nothing after it is kept). Splitting as the pieces arrive overlaps the work with the wait
// for the server's next piece, and the listing is never held twice in memory.
class TNetListingLines : public TNetStream {
public:
    // Takes count bytes; returns count.
    int64_t Write(const void* buffer, int64_t count) override;
    // Reads nothing: the bytes are only available as Lines().
    int64_t Read(void*, int64_t) override { return 0; }
    // The number of bytes written so far.
    int64_t Size() const override { return written; }
    int64_t Position() const override { return written; }
    // Positions and sizes cannot be changed: the calls are ignored.
    void SetPosition(int64_t) override {}
    void SetSize(int64_t) override {}

    // Ends the text: a last line without a terminator becomes a line. Returns the lines and
    // leaves the stream empty.
    std::vector<std::string> Finish();

    // When set, called with each line as soon as it is complete (before Finish returns).
    std::function<void(const std::string&)> OnLine;

private:
    void addLine(std::string&& line);

    std::vector<std::string> lines;
    std::string partial;
    bool partialStarted = false;
    bool afterCR = false;
    bool ended = false;
    int64_t written = 0;
};
