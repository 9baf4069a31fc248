// Line-end conversion for ASCII transfers. The data connection carries CR LF at the end of every
// line (the FTP ASCII type); the local file keeps this system's own line ends, a lone LF. Both
// streams sit between the transfer and the local stream and pass every other byte unchanged,
// a lone CR included.
#pragma once

#include "ftp/net_stream.h"

#include <vector>

// The receiving side: bytes written are passed on to the target with each CR LF turned into LF.
// A CR at the end of one write is held until the next write shows what follows it.
class TNetAsciiReceiveStream : public TNetStream {
public:
    // Requires a target that outlives this stream; writing starts at the target's position.
    explicit TNetAsciiReceiveStream(TNetStream& target) : target(target) {}
    // Writes a held CR; errors are not raised from here (call Finish to see them).
    ~TNetAsciiReceiveStream() override;

    // Reading is not supported: returns 0.
    int64_t Read(void*, int64_t) override { return 0; }
    // Converts and writes; returns count (the bytes taken, not the bytes stored).
    int64_t Write(const void* buffer, int64_t count) override;
    // Size and position are the bytes taken from the wire so far.
    int64_t Size() const override { return taken; }
    int64_t Position() const override { return taken; }
    void SetPosition(int64_t) override {}
    void SetSize(int64_t) override {}

    // Writes a CR still held at the end of the data. Raises what the target's Write raises.
    void Finish();

private:
    TNetStream& target;
    int64_t taken = 0;
    bool heldCR = false;
};

// The sending side: reads the source from its position at construction and yields its bytes
// with each LF not preceded by CR turned into CR LF. Size is the converted size, found by one
// pass over the source when the stream is made, so that a transfer knows its length up front.
class TNetAsciiSendStream : public TNetStream {
public:
    // Requires a source that outlives this stream and is not moved meanwhile.
    explicit TNetAsciiSendStream(TNetStream& source);

    int64_t Read(void* buffer, int64_t count) override;
    // Writing is not supported: raises ENetException.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Size() const override { return convertedSize; }
    int64_t Position() const override { return produced; }
    // Only the start (0) can be sought: it rewinds the source. Raises ENetException otherwise.
    void SetPosition(int64_t position) override;
    // Not supported: raises ENetException.
    void SetSize(int64_t size) override;

private:
    TNetStream& source;
    int64_t start;
    int64_t convertedSize = 0;
    int64_t produced = 0;
    // The last source byte read, so that an LF at the start of a read knows what preceded it.
    bool lastWasCR = false;
    // The LF of a CR LF just made: handed out next, by this read or the following one.
    bool pendingLF = false;
    // Source bytes read ahead and not yet converted.
    std::vector<char> carry;
    size_t carryPos = 0;
};
