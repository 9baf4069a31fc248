#include "ftp/ascii_stream.h"

#include "ftp/socket/net_exception.h"

#include <vector>

namespace {

constexpr int64_t kScanPiece = 64 * 1024;

} // namespace

TNetAsciiReceiveStream::~TNetAsciiReceiveStream() {
    try {
        Finish();
    } catch (...) {
        // The transfer that owns this stream already failed or was finished; the held CR is the
        // last byte of a broken file and its loss is reported by that failure.
    }
}

int64_t TNetAsciiReceiveStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const auto* in = static_cast<const char*>(buffer);
    std::string out;
    out.reserve(static_cast<size_t>(count) + 1);
    int64_t i = 0;
    if (heldCR) {
        // The CR that ended the previous write is dropped when this write starts with its LF.
        if (in[0] != '\n') out += '\r';
        heldCR = false;
    }
    for (; i < count; ++i) {
        const char c = in[i];
        if (c != '\r') {
            out += c;
            continue;
        }
        if (i + 1 == count) {
            heldCR = true;
        } else if (in[i + 1] != '\n') {
            out += c;
        }
    }
    if (!out.empty()) target.Write(out.data(), static_cast<int64_t>(out.size()));
    taken += count;
    return count;
}

void TNetAsciiReceiveStream::Finish() {
    if (!heldCR) return;
    heldCR = false;
    target.Write("\r", 1);
}

TNetAsciiSendStream::TNetAsciiSendStream(TNetStream& source)
    : source(source), start(source.Position()) {
    std::vector<char> piece(kScanPiece);
    bool previousCR = false;
    int64_t size = 0;
    for (int64_t got; (got = source.Read(piece.data(), kScanPiece)) > 0;) {
        for (int64_t i = 0; i < got; ++i) {
            if (piece[i] == '\n' && !previousCR) ++size;
            previousCR = piece[i] == '\r';
        }
        size += got;
    }
    convertedSize = size;
    source.SetPosition(start);
}

int64_t TNetAsciiSendStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<char*>(buffer);
    int64_t n = 0;
    while (n < count) {
        if (pendingLF) {
            out[n++] = '\n';
            pendingLF = false;
            continue;
        }
        if (carryPos == carry.size()) {
            carry.resize(static_cast<size_t>(kScanPiece));
            const int64_t got = source.Read(carry.data(), kScanPiece);
            carry.resize(static_cast<size_t>(got > 0 ? got : 0));
            carryPos = 0;
            if (got <= 0) break;
        }
        const char c = carry[carryPos++];
        if (c == '\n' && !lastWasCR) {
            out[n++] = '\r';
            pendingLF = true;
        } else {
            out[n++] = c;
        }
        lastWasCR = c == '\r';
    }
    produced += n;
    return n;
}

int64_t TNetAsciiSendStream::Write(const void*, int64_t) {
    throw ENetException("An ASCII upload stream cannot be written");
}

void TNetAsciiSendStream::SetPosition(int64_t position) {
    if (position == produced) return;
    if (position != 0) throw ENetException("An ASCII upload stream can only start again");
    source.SetPosition(start);
    produced = 0;
    carry.clear();
    carryPos = 0;
    lastWasCR = false;
    pendingLF = false;
}

void TNetAsciiSendStream::SetSize(int64_t) {
    throw ENetException("An ASCII upload stream cannot be resized");
}
