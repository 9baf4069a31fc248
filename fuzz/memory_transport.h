// A transport that serves a fixed byte string and then reports the peer closed; whatever is sent
// is dropped. Lets a connection's readers run on fuzz input without a socket.
#pragma once

#include "ftp/socket/io_handler.h"

#include <algorithm>
#include <cstring>
#include <string>

class TMemoryTransport : public TNetIOHandler {
public:
    explicit TMemoryTransport(std::string bytes) : bytes_(std::move(bytes)) {}

    void CloseTransport() override { open_ = false; }
    bool TransportConnected() const override { return open_; }
    bool WaitReadable(int) override { return true; }
    int ReceiveSome(void* buffer, int length) override {
        const int n = std::min<int>(length, static_cast<int>(bytes_.size() - at_));
        std::memcpy(buffer, bytes_.data() + at_, static_cast<size_t>(n));
        at_ += static_cast<size_t>(n);
        return n;
    }
    int ReceiveReady(void* buffer, int length) override { return ReceiveSome(buffer, length); }
    int SendSome(const void*, int length) override { return length; }

private:
    std::string bytes_;
    size_t at_ = 0;
    bool open_ = true;
};
