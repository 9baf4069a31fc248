// Byte buffers of a connection: the scratch chunk of one receive and the receive queue that is
// consumed from the front by advancing an offset.
#pragma once

#include "ftp/net_stream.h"

#include <cstdint>
#include <functional>
#include <string_view>

class TNetSimpleBuffer;
using TNetRemovalNotice = std::function<void(TNetSimpleBuffer* sender, int64_t count)>;

// A growable memory stream whose front can be removed.
class TNetSimpleBuffer : public TNetMemoryStream {
public:
    // Called after every removal from the front with the removed count.
    TNetRemovalNotice RemovalNotice;

    // Removes count bytes from the front, then calls RemovalNotice(count).
    // Raises ENetNotEnoughDataInBuffer when fewer are held.
    virtual void Remove(int64_t count);
};

// The receive queue. Only the bytes after ConsumedBytes are visible (size, position, reads);
// consumed bytes are dropped from memory once PackThreshold of them have gathered, so reading
// line by line does not move memory for each line.
class TNetManagedBuffer : public TNetSimpleBuffer {
public:
    int64_t ConsumedBytes = 0;
    int64_t PackThreshold = 32768;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Size() const override { return static_cast<int64_t>(data.size()) - ConsumedBytes; }
    int64_t Position() const override { return position; }
    void SetPosition(int64_t newPosition) override;
    void SetSize(int64_t size) override;

    // Removes count visible bytes from the front (see the class comment), then calls
    // RemovalNotice(count). Raises ENetNotEnoughDataInBuffer when fewer are visible.
    void Remove(int64_t count) override;
    // Empties the queue without a notice.
    void Clear();
    // Appends count bytes at the end; the position is not changed.
    void Append(const void* buffer, int64_t count);
    // Makes room for count more bytes at the end and returns where they go; CommitTail says
    // how many of them were filled. Lets a receive land in the queue without a copy.
    uint8_t* ReserveTail(int64_t count);
    // Keeps filled of the bytes last reserved (0 ... the reserved count) and drops the rest.
    void CommitTail(int64_t filled);
    // Returns the visible bytes; valid until the next change.
    const uint8_t* Visible() const { return data.data() + ConsumedBytes; }
    std::string_view View() const {
        return {reinterpret_cast<const char*>(Visible()), static_cast<size_t>(Size())};
    }
    // Returns the 0-based offset of needle in the visible bytes at or after from, or -1.
    int64_t Find(std::string_view needle, int64_t from) const;

private:
    int64_t reserved = 0;
};
