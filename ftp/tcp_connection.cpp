#include "ftp/tcp_connection.h"

#include "ftp/anti_freeze.h"
#include "ftp/connection_intercept.h"
#include "ftp/socket/io_handler.h"
#include "ftp/socket/net_exception.h"
#include "ftp/socket/stack.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

bool closesSocket(int number) {
    return number == 10058 || number == 10053;
}

} // namespace

TNetTCPConnection::CallGuard::CallGuard(TNetTCPConnection& c) : connection(c) {
    ++connection.callDepth;
}

TNetTCPConnection::CallGuard::~CallGuard() {
    // Transports dropped by a handler nested in this call die only once nothing below uses them.
    if (--connection.callDepth == 0) connection.retiredIOHandlers.clear();
}

TNetTCPConnection::TNetTCPConnection() {
    // Reading progress counts bytes as they are consumed, not as they arrive.
    receiveQueue.RemovalNotice = [this](TNetSimpleBuffer*, int64_t count) {
        CountWork(WorkReading, count);
    };
}

TNetTCPConnection::~TNetTCPConnection() {
    try {
        if (ioHandler && ioHandler->TransportConnected()) {
            if (Intercept) Intercept->Disconnect();
            ioHandler->CloseTransport();
        }
    } catch (...) {
        // A destructor has no one to report to; the socket is closed by the transport anyway.
    }
}

void TNetTCPConnection::SetIOHandler(TNetIOHandler* handler) {
    if (ownedIOHandler && ownedIOHandler.get() != handler) releaseOwnedIOHandler();
    ioHandler = handler;
}

void TNetTCPConnection::SetOwnedIOHandler(std::unique_ptr<TNetIOHandler> handler) {
    releaseOwnedIOHandler();
    ownedIOHandler = std::move(handler);
    ioHandler = ownedIOHandler.get();
}

void TNetTCPConnection::releaseOwnedIOHandler() {
    if (!ownedIOHandler) return;
    if (ioHandler == ownedIOHandler.get()) ioHandler = nullptr;
    if (callDepth > 0)
        retiredIOHandlers.push_back(std::move(ownedIOHandler));
    else
        ownedIOHandler.reset();
}

int TNetTCPConnection::effectiveRecvBufferSize() const {
    return RecvBufferSize < 1 ? DefaultBufferSize : RecvBufferSize;
}

int TNetTCPConnection::effectiveSendBufferSize() const {
    return SendBufferSize < 1 ? DefaultBufferSize : SendBufferSize;
}

void TNetTCPConnection::ResetForConnect() {
    receiveQueue.Clear();
    PeerClosed = false;
    lastVerb.clear();
}

bool TNetTCPConnection::Connected() {
    DetectClose(false, false);
    return ioHandler != nullptr && ioHandler->TransportConnected();
}

void TNetTCPConnection::Disconnect() {
    const bool wasConnected = Connected();
    if (wasConnected) {
        ReportStatus(StatusDisconnecting);
        CloseSocketQuietly();
    }
    releaseOwnedIOHandler();
    if (wasConnected) {
        if (OnDisconnected) OnDisconnected(this);
        ReportStatus(StatusDisconnected);
    }
}

void TNetTCPConnection::CloseSocketQuietly() {
    if (!ioHandler) return;
    PeerClosed = true;
    if (Intercept) Intercept->Disconnect();
    ioHandler->CloseTransport();
}

void TNetTCPConnection::DetectClose(bool raiseIfClosed, bool ignoreQueue) {
    if (!ioHandler) return;
    bool closed;
    if (PeerClosed) {
        if (ioHandler->TransportConnected()) {
            CloseSocketQuietly();
            ReportStatus(StatusDisconnected);
            if (OnDisconnected) OnDisconnected(this);
        }
        closed = true;
    } else {
        closed = !ioHandler->TransportConnected();
    }
    if (closed && raiseIfClosed && (receiveQueue.Size() == 0 || ignoreQueue))
        throw ENetConnClosedGracefully();
}

void TNetTCPConnection::PollConnection(bool raiseIfClosed) {
    ReadFromSocket(raiseIfClosed, 1, false);
}

int TNetTCPConnection::ReadFromSocket(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout) {
    return receiveAtMost(raiseIfClosed, timeoutMs, raiseOnTimeout, effectiveRecvBufferSize());
}

int TNetTCPConnection::receiveAtMost(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout,
                                     int size) {
    CallGuard guard(*this);
    if (timeoutMs == DefaultTimeout) timeoutMs = waitLimit();
    DetectClose(raiseIfClosed, false);
    if (!Connected()) {
        if (raiseIfClosed) throw ENetNotConnected();
        return 0;
    }
    // The first wait happens inside the receive, for no longer than one anti-freeze slice so
    // that the window still answers; the rest of the time limit goes to WaitReadable.
    int first = timeoutMs;
    if (AntiFreezeInForce()) {
        const int slice = std::max(1, ActiveAntiFreeze()->IdleTimeOut);
        if (first < 0 || first > slice) first = slice;
    }
    int count = 0;
    do {
        // Without an intercept nobody needs the chunk on its own: receive straight into the
        // queue and save a copy of every byte.
        auto reserve = [&]() -> uint8_t* {
            if (!Intercept) return receiveQueue.ReserveTail(size);
            if (receiveChunk.Size() < size) receiveChunk.SetSize(size);
            return receiveChunk.Memory();
        };
        uint8_t* target = reserve();
        try {
            // The pump that follows a receive runs at a pace that keeps the window alive
            // without a message pass per receive.
            int left = first;
            count = ioHandler->TransportConnected() ? ioHandler->ReceiveWithin(target, size, left)
                                                    : -2;
            if (count == -2) {
                if (!Intercept) receiveQueue.CommitTail(0);
                int rest = timeoutMs;
                if (left != first) {
                    // A slice spent in the receive ends with a pump, as one spent waiting does;
                    // a handler run by it may close the connection.
                    rest = timeoutMs < 0 ? timeoutMs : timeoutMs - first;
                    PumpIfDue(true);
                    if (!ioHandler || !ioHandler->TransportConnected())
                        throw ENetConnClosedGracefully();
                }
                const bool allSpent = left != first && rest == 0;
                if (allSpent || !ioHandler->WaitReadable(rest)) {
                    if (raiseOnTimeout) throw ENetReadTimeout(TimeoutStep);
                    return -1;
                }
                if (!ioHandler) {
                    if (raiseIfClosed) throw ENetNotConnected();
                    count = 0;
                } else {
                    target = reserve();
                    count = ioHandler->ReceiveSome(target, size);
                }
            } else {
                PumpWhileBusy();
            }
        } catch (...) {
            if (!Intercept) receiveQueue.CommitTail(0);
            throw;
        }
        if (!Intercept) receiveQueue.CommitTail(count);
        PeerClosed = count == 0;
        if (count < 0) {
            const int number = TNetStack::LastError();
            if (!closesSocket(number)) throw ENetSocketError(number);
            CloseSocketQuietly();
            if (receiveQueue.Size() == 0) throw ENetSocketError(number);
            count = 0;
        }
        if (count > 0) {
            uint8_t* bytes = target;
            if (Intercept) {
                // The intercept sees exactly this receive and may change it.
                receiveChunk.SetSize(count);
                receiveChunk.SetPosition(0);
                Intercept->Receive(receiveChunk);
                count = static_cast<int>(receiveChunk.Size());
                bytes = receiveChunk.Memory();
            }
            if (ASCIIFilter)
                for (int i = 0; i < count; ++i)
                    bytes[i] &= 0x7F;
            if (Intercept) receiveQueue.Append(bytes, count);
        }
        DetectClose(raiseIfClosed, false);
    } while (count == 0 && Connected());
    return count;
}

std::string TNetTCPConnection::ReadLine(const std::string& terminator, int timeoutMs,
                                        int maxLength) {
    CallGuard guard(*this);
    const std::string term = terminator.empty() ? std::string("\n") : terminator;
    if (maxLength == -1) maxLength = MaxLineLength;
    LineWasSplit = false;
    LineTimedOut = false;

    int64_t searched = 0;
    while (true) {
        int64_t hit = -1;
        if (receiveQueue.Size() > 0) {
            // Back up by the terminator's length less one: it may straddle two receives.
            const int64_t from = std::max<int64_t>(0, searched - (int64_t(term.size()) - 1));
            hit = receiveQueue.Find(term, from);
            searched = receiveQueue.Size();
        }
        bool tooLong = false;
        if (hit >= 0)
            tooLong = maxLength != 0 && hit > maxLength;
        else
            tooLong = maxLength != 0 && searched > maxLength;

        if (tooLong) {
            if (MaxLineAction == maException) throw ENetReadLnMaxLineLengthExceeded();
            LineWasSplit = true;
            std::string line(receiveQueue.View().substr(0, static_cast<size_t>(maxLength)));
            receiveQueue.Remove(maxLength);
            return line;
        }
        if (hit < 0) {
            // A closed connection ends the read even with a partial line queued.
            DetectClose(true, true);
            if (ReadFromSocket(true, timeoutMs, timeoutMs == DefaultTimeout) == -1) {
                LineTimedOut = true;
                return "";
            }
            continue;
        }
        std::string line(receiveQueue.View().substr(0, static_cast<size_t>(hit)));
        receiveQueue.Remove(hit + static_cast<int64_t>(term.size()));
        if (term == "\n" && !line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }
}

std::string TNetTCPConnection::Trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
        --last;
    return text.substr(first, last - first);
}

std::string TNetTCPConnection::ReadNonBlankLine(int maxTries) {
    std::string result;
    for (int tries = 0; result.empty() && tries < maxTries; ++tries)
        result = Trimmed(ReadLine());
    return result;
}

void TNetTCPConnection::ReadBytes(void* dest, int64_t count) {
    if (count <= 0 || dest == nullptr) return;
    CallGuard guard(*this);
    while (receiveQueue.Size() < count) {
        ReadFromSocket(true, DefaultTimeout, true);
        DetectClose(true, true);
    }
    std::memcpy(dest, receiveQueue.Visible(), static_cast<size_t>(count));
    receiveQueue.Remove(count);
}

int64_t TNetTCPConnection::ReadToStream(TNetStream& stream) {
    CallGuard guard(*this);
    int64_t written = 0;
    StartWork(WorkReading, 0);
    try {
        if (receiveQueue.Size() > 0) {
            const int64_t queued = receiveQueue.Size();
            stream.Write(receiveQueue.Visible(), queued);
            receiveQueue.Remove(queued);
            written += queued;
        }
        // Reads until the peer closes, however long: no byte limit applies here.
        const int64_t piece = effectiveRecvBufferSize();
        while (Connected()) {
            try {
                // Receiving no more than the piece lacks keeps the queue from ever holding
                // more than one piece, so consuming it never moves memory.
                while (receiveQueue.Size() < piece) {
                    receiveAtMost(true, DefaultTimeout, true,
                                  static_cast<int>(piece - receiveQueue.Size()));
                    DetectClose(true, true);
                }
            } catch (const ENetConnClosedGracefully&) {
                // The last partial piece reaches the stream without a work count.
                const int64_t rest = receiveQueue.Size();
                stream.Write(receiveQueue.Visible(), rest);
                receiveQueue.Clear();
                written += rest;
                break;
            }
            stream.Write(receiveQueue.Visible(), piece);
            receiveQueue.Remove(piece);
            written += piece;
        }
    } catch (...) {
        FinishWork(WorkReading);
        throw;
    }
    FinishWork(WorkReading);
    return written;
}

void TNetTCPConnection::WriteBytes(const void* data, int64_t count) {
    if (count <= 0 || data == nullptr) return;
    CallGuard guard(*this);
    DetectClose(true, true);
    if (!Connected()) throw ENetNotConnected();

    const auto* bytes = static_cast<const uint8_t*>(data);
    TNetMemoryStream block;
    if (Intercept) {
        block.Write(data, count);
        block.SetPosition(0);
        Intercept->Send(block);
        bytes = block.Memory();
        count = block.Size();
    }
    int64_t offset = 0;
    while (offset < count) {
        // A handler pumped after the previous send may have closed or dropped the transport.
        if (!ioHandler || !ioHandler->TransportConnected()) throw ENetConnClosedGracefully();
        const int length = static_cast<int>(std::min<int64_t>(count - offset, INT_MAX / 2));
        const int sent = ioHandler->SendReady(bytes + offset, length);
        if (sent == -2) {
            // A peer that stops reading fills the socket's buffer; the wait for room is
            // bounded like every read.
            if (!ioHandler->WaitWritable(waitLimit())) throw ENetWriteTimeout(TimeoutStep);
            continue;
        }
        const int number = sent < 0 ? TNetStack::LastError() : 0;
        PumpIfDue(false);
        PeerClosed = sent == 0;
        DetectClose(true, false);
        if (sent < 0) {
            if (closesSocket(number) || number == 10054) CloseSocketQuietly();
            throw ENetSocketError(number);
        }
        CountWork(WorkWriting, sent);
        offset += sent;
    }
}

void TNetTCPConnection::WriteText(const std::string& s) {
    if (!s.empty()) WriteBytes(s.data(), static_cast<int64_t>(s.size()));
}

void TNetTCPConnection::WriteLine(const std::string& s) {
    // A line break inside would let one command smuggle a second one to the server.
    if (s.find_first_of("\r\n") != std::string::npos) throw ENetInvalidCommandLine();
    WriteText(s + "\r\n");
    lastVerb = s.substr(0, s.find(' '));
}

void TNetTCPConnection::WriteFromStream(TNetStream& stream, bool fromStart) {
    CallGuard guard(*this);
    if (fromStart) stream.SetPosition(0);
    const int64_t end = stream.Size();
    StartWork(WorkWriting, std::max<int64_t>(0, end - stream.Position()));
    try {
        const int64_t piece = effectiveSendBufferSize();
        // Bytes queued beyond what the network has taken go out when the peer's
        // acknowledgements arrive, on whichever processor handles those: with the server on
        // this machine, that is often the server's own, which then does our sending besides
        // its receiving and writing. Four pieces waiting (never less than 256 KiB, for small
        // pieces on fast links) keep the connection busy and leave most of the sending to us.
        if (ioHandler)
            ioHandler->LimitUnsentData(
                static_cast<int>(std::clamp<int64_t>(4 * piece, 256 * 1024, 1 << 30)));
        std::vector<uint8_t> scratch(static_cast<size_t>(piece));
        while (true) {
            const int64_t n = std::min(end - stream.Position(), piece);
            if (n <= 0) break;
            const int64_t got = stream.Read(scratch.data(), n);
            if (got <= 0) throw ENetNoDataToRead();
            WriteBytes(scratch.data(), got);
        }
    } catch (...) {
        FinishWork(WorkWriting);
        throw;
    }
    FinishWork(WorkWriting);
}
