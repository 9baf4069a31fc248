// One TCP conversation: the receive queue filled from the socket in chunks, line reading,
// exact and until-close reads, complete writes, peer-close detection, and the command and
// reply exchange of the control connection.
#pragma once

#include "ftp/component.h"
#include "ftp/managed_buffer.h"
#include "ftp/rfc_reply.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class TNetIOHandler;
class TNetConnectionIntercept;
class TNetTCPConnection;

enum TNetMaxLineAction { maException, maSplit };

using TNetNotifyEvent = std::function<void(TNetTCPConnection* sender)>;

class TNetTCPConnection : public TNetComponent {
public:
    // Time-out arguments: the connection's ReadTimeout, and no limit.
    static constexpr int DefaultTimeout = -1;
    static constexpr int NoTimeout = -2;
    static constexpr int DefaultBufferSize = 32768;

    TNetTCPConnection();
    // Closes the socket quietly (only the intercept hears of it) and frees an owned transport.
    ~TNetTCPConnection() override;

    bool ASCIIFilter = false;
    // Sees every block sent and received; not owned.
    TNetConnectionIntercept* Intercept = nullptr;
    int MaxLineLength = 16384;
    TNetMaxLineAction MaxLineAction = maException;
    // Milliseconds each wait for data or for room to send may take; 0 waits without limit.
    int ReadTimeout = 0;
    // Names this connection's waits in a time-out's message ("data connection"); empty for the
    // control connection, whose replies are named by the command they answer.
    std::string TimeoutStep;
    // Size of one socket receive and piece of ReadToStream; below 1 means the default.
    int RecvBufferSize = DefaultBufferSize;
    // Piece size of WriteFromStream; below 1 means the default.
    int SendBufferSize = DefaultBufferSize;
    TNetNotifyEvent OnDisconnected;

    // Outcome flags of the last ReadLine.
    bool LineWasSplit = false;
    bool LineTimedOut = false;
    // Set when a receive or send returned 0 bytes, and by CloseSocketQuietly.
    bool PeerClosed = false;

    TNetRFCReply LastReply;
    TNetRFCReply WelcomeReply;

    // The transport, or null. SetIOHandler attaches one that the caller keeps owning.
    TNetIOHandler* IOHandler() const { return ioHandler; }
    void SetIOHandler(TNetIOHandler* handler);
    // Attaches a transport that the connection owns and frees on Disconnect.
    void SetOwnedIOHandler(std::unique_ptr<TNetIOHandler> handler);
    bool OwnsIOHandler() const { return ownedIOHandler != nullptr; }
    // Received bytes not yet consumed.
    TNetManagedBuffer& ReceiveQueue() { return receiveQueue; }

    // Returns true when a transport exists and its socket is open (after noticing a peer close).
    bool Connected();
    // Reports "Disconnecting.", closes the socket, frees an owned transport, fires
    // OnDisconnected and reports "Disconnected."; fires nothing when not connected.
    // Safe inside a handler pumped by a call of this same connection: that call then ends
    // with ENetConnClosedGracefully.
    virtual void Disconnect();
    // Marks the peer closed, tells the intercept, closes the transport's socket.
    void CloseSocketQuietly();
    // Notices a peer close (closing the socket, reporting and firing OnDisconnected once).
    // Raises ENetConnClosedGracefully when closed, raiseIfClosed, and the queue is empty or
    // ignoreQueue.
    void DetectClose(bool raiseIfClosed, bool ignoreQueue);
    // A receive attempt with a 1 ms wait that notices a peer close.
    void PollConnection(bool raiseIfClosed);
    // Receives one chunk into the queue. timeoutMs -1 = ReadTimeout, -2 = no limit. Returns
    // the bytes queued, 0 when not connected, -1 on a time-out without raiseOnTimeout.
    // Raises ENetNotConnected, ENetReadTimeout, ENetConnClosedGracefully, ENetSocketError.
    int ReadFromSocket(bool raiseIfClosed, int timeoutMs = DefaultTimeout,
                       bool raiseOnTimeout = true);

    // Returns the next line without its terminator (LF by default, a CR before it dropped).
    // maxLength -1 = MaxLineLength, 0 = no limit. With an explicit time-out that passes,
    // returns "" and sets LineTimedOut. Raises ENetReadLnMaxLineLengthExceeded (maException),
    // ENetConnClosedGracefully when the peer closed before a whole line, and the read errors.
    std::string ReadLine(const std::string& terminator = "", int timeoutMs = DefaultTimeout,
                         int maxLength = -1);
    // Returns the first line that is not blank once trimmed, trimmed; "" after maxTries blanks.
    std::string ReadNonBlankLine(int maxTries);
    // Reads exactly count bytes into dest (counted as reading work).
    // Raises ENetConnClosedGracefully when the peer closes first.
    void ReadBytes(void* dest, int64_t count);
    // Copies everything until the peer closes into stream, however long; returns the number
    // of bytes written to it. One reading work span with OnWork per full piece.
    int64_t ReadToStream(TNetStream& stream);

    // Sends all count bytes before returning. Raises ENetNotConnected, ENetSocketError, and
    // ENetConnClosedGracefully when the socket is closed meanwhile (peer close, or a local close
    // from a pumped handler).
    void WriteBytes(const void* data, int64_t count);
    // Sends the bytes of s (nothing when empty).
    void WriteText(const std::string& s);
    // Sends s + CR LF as one block. Raises ENetInvalidCommandLine, sending nothing, when s
    // contains CR or LF.
    void WriteLine(const std::string& s);
    // Sends the stream from its start (or its position) to its end in SendBufferSize pieces,
    // in one writing work span. Raises ENetNoDataToRead when the stream gives no bytes.
    void WriteFromStream(TNetStream& stream, bool fromStart = true);

    // Reads one reply (single- or multi-line) into LastReply.
    void ReadReplyLines();
    // Reads a reply and checks its code; returns the code. Raises ENetProtocolReplyError.
    int ReadReply(const std::vector<int>& accepted = {});
    // Returns code when accepted is empty or holds it; else raises ENetProtocolReplyError.
    int CheckReplyCode(int code, const std::vector<int>& accepted);
    // Raises ENetProtocolReplyError with LastReply's code and text.
    [[noreturn]] void RaiseReplyError();
    // Writes command as one line, then reads and checks the reply; returns its code.
    int SendCommand(const std::string& command, const std::vector<int>& accepted);
    // The same for a braced list; SendCommand(c, {}) accepts any reply.
    int SendCommand(const std::string& command, std::initializer_list<int> accepted);
    // One accepted code; -1 accepts any reply.
    int SendCommand(const std::string& command, int accepted = -1);

protected:
    // Returns text without leading and trailing characters of codes 0 to 32.
    static std::string Trimmed(const std::string& text);
    // Connection start: empties the queue and clears PeerClosed.
    void ResetForConnect();
    // ReadTimeout as a wait argument: -2 (no limit) for 0.
    int waitLimit() const { return ReadTimeout == 0 ? NoTimeout : ReadTimeout; }
    // The buffer sizes in force: a size below 1 (an options record never filled) means the
    // default, so that a receive never asks for nothing.
    int effectiveRecvBufferSize() const;
    int effectiveSendBufferSize() const;

    // Counts calls in progress so that a nested Disconnect keeps the transport alive until the
    // outermost call has unwound.
    struct CallGuard {
        explicit CallGuard(TNetTCPConnection& c);
        ~CallGuard();
        TNetTCPConnection& connection;
    };

private:
    void releaseOwnedIOHandler();
    // The step a reply time-out names: the greeting, or the reply to the last command sent.
    std::string replyStep() const;
    // ReadFromSocket with one receive of at most size bytes.
    int receiveAtMost(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout, int size);

    TNetIOHandler* ioHandler = nullptr;
    std::unique_ptr<TNetIOHandler> ownedIOHandler;
    std::vector<std::unique_ptr<TNetIOHandler>> retiredIOHandlers;
    int callDepth = 0;
    TNetManagedBuffer receiveQueue;
    TNetSimpleBuffer receiveChunk;
    // The verb of the last line written, for naming a reply time-out.
    std::string lastVerb;
};
