// The TLS transport: a socket transport that, once told to, runs TLS (through OpenSSL) over its
// connected socket. The context holds what every connection of one FTP session shares: the
// trusted authorities and the control connection's session for the data connections to resume.
#pragma once

#include "ftp/ftp_feat.h"
#include "ftp/socket/io_handler_socket.h"
#include "ftp/socket/net_exception.h"

#include <deque>
#include <memory>
#include <string>

struct ssl_st;
struct ssl_ctx_st;
struct ssl_session_st;

// A TLS handshake or record failure; the text says what OpenSSL reported.
class ENetTLSError : public ENetException {
public:
    using ENetException::ENetException;
};

// The certificate was refused: by the user, or by the checks with nobody to ask.
class ENetCertificateRefused : public ENetTLSError {
public:
    using ENetTLSError::ENetTLSError;
};

class TNetTLSContext {
public:
    // Trusts the system's authorities and, when caFile is not empty, those in it (PEM).
    // Raises ENetTLSError when the file cannot be read.
    explicit TNetTLSContext(const std::string& caFile);
    ~TNetTLSContext();
    TNetTLSContext(const TNetTLSContext&) = delete;
    TNetTLSContext& operator=(const TNetTLSContext&) = delete;

    ssl_ctx_st* Handle() const { return ctx; }
    // Returns the newest session ticket not used yet (the caller owns it), or null. TLS 1.3
    // servers that keep sessions on their side accept each ticket once: every data connection
    // needs a fresh one, and every connection brings new ones.
    ssl_session_st* TakeFreshSession();

private:
    static int onNewSession(ssl_st* ssl, ssl_session_st* session);

    ssl_ctx_st* ctx = nullptr;
    std::deque<ssl_session_st*> fresh;
};

class TNetIOHandlerTLS : public TNetIOHandlerSocket {
public:
    explicit TNetIOHandlerTLS(TNetTLSContext& context) : context(context) {}
    ~TNetIOHandlerTLS() override;

    // Data connections: on close, read until the server closes too (bounded), so that no
    // unread bytes turn the close into a reset.
    bool DrainOnClose = false;
    // Longest wait for one TLS step (handshake round, a record's rest, a blocked send).
    int StepTimeoutMs = 60000;

    // Runs the client handshake over the connected socket, resuming session when given
    // (the control connection's, for a data connection). serverName goes out as SNI when it
    // is a name. Raises ENetTLSError or ENetReadTimeout; the socket is then closed.
    void StartTLS(const std::string& serverName, ssl_session_st* session = nullptr);
    bool TLSActive() const { return ssl != nullptr; }
    // True when the handshake resumed the given session.
    bool SessionReused() const;
    // The current session with a reference for the caller (free with NetFreeSession), or null.
    ssl_session_st* TakeSession() const;
    // The negotiated protocol and cipher, e.g. "TLSv1.3 TLS_AES_256_GCM_SHA384".
    std::string Description() const;

    // Checks the peer's certificate against the trusted authorities and host (a name or an
    // address). Returns "" when it passes, else the reason; info is filled in either case.
    std::string CheckPeer(const std::string& host, int port, TNetCertificateInfo& info) const;

    void CloseTransport() override;
    bool WaitReadable(int ms) override;
    int ReceiveSome(void* buffer, int length) override;
    int ReceiveReady(void* buffer, int length) override;
    int ReceiveWithin(void* buffer, int length, int& ms) override;
    int SendSome(const void* buffer, int length) override;
    // Once TLS is up, every send goes through the session: a record written in part is
    // finished by the session itself, within the read time-out.
    int SendReady(const void* buffer, int length) override;
    // Not while a session is up: a server then spends its time decrypting, and keeping our
    // bytes here gains no speed while it costs our processor the sending.
    void LimitUnsentData(int bytes) override;

private:
    // Waits for the socket to become readable (or writable); raises ENetReadTimeout.
    void waitFor(bool write);
    void drain();
    [[noreturn]] void fail(const std::string& what);

    TNetTLSContext& context;
    ssl_st* ssl = nullptr;
};

// Releases a session returned by TakeSession.
void NetFreeSession(ssl_session_st* session);
