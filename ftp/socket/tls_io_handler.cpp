#include "ftp/socket/tls_io_handler.h"

#include "ftp/socket/socket_address.h"
#include "ftp/socket/stack.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

namespace {

std::string opensslErrors() {
    std::string text;
    while (unsigned long e = ERR_get_error()) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        if (!text.empty()) text += "; ";
        text += buf;
    }
    return text;
}

std::string nameText(X509_NAME* name) {
    if (!name) return {};
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<size_t>(n));
    BIO_free(bio);
    return text;
}

std::string timeText(const ASN1_TIME* time) {
    BIO* bio = BIO_new(BIO_s_mem());
    ASN1_TIME_print(bio, time);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<size_t>(n));
    BIO_free(bio);
    return text;
}

} // namespace

TNetTLSContext::TNetTLSContext(const std::string& caFile) {
    ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) throw ENetTLSError("TLS is not available: " + opensslErrors());
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // The checks run after the handshake, so that a failure can go to the user.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_default_verify_paths(ctx);
    // Data connections resume the control connection's session; the cache is ours.
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL);
    SSL_CTX_set_app_data(ctx, this);
    SSL_CTX_sess_set_new_cb(ctx, &TNetTLSContext::onNewSession);
    // Many servers end data connections without a close_notify; the transfer's own checks
    // (size, digest, the final reply) tell a cut transfer.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_clear_mode(ctx, SSL_MODE_AUTO_RETRY);
    if (!caFile.empty() && SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1) {
        std::string reason = opensslErrors();
        SSL_CTX_free(ctx);
        ctx = nullptr;
        throw ENetTLSError("Cannot read the trusted certificates in " + caFile + ": " + reason);
    }
}

TNetTLSContext::~TNetTLSContext() {
    for (auto* session : fresh)
        SSL_SESSION_free(session);
    SSL_CTX_free(ctx);
}

int TNetTLSContext::onNewSession(ssl_st* ssl, ssl_session_st* session) {
    auto* self = static_cast<TNetTLSContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!self) return 0;
    constexpr size_t Kept = 16;
    self->fresh.push_back(session);
    if (self->fresh.size() > Kept) {
        SSL_SESSION_free(self->fresh.front());
        self->fresh.pop_front();
    }
    return 1; // the reference is ours now
}

ssl_session_st* TNetTLSContext::TakeFreshSession() {
    while (!fresh.empty()) {
        ssl_session_st* session = fresh.back();
        fresh.pop_back();
        if (SSL_SESSION_is_resumable(session)) return session;
        SSL_SESSION_free(session);
    }
    return nullptr;
}

void NetFreeSession(ssl_session_st* session) {
    SSL_SESSION_free(session);
}

TNetIOHandlerTLS::~TNetIOHandlerTLS() {
    CloseTransport();
}

void TNetIOHandlerTLS::fail(const std::string& what) {
    std::string reason = opensslErrors();
    CloseTransport();
    throw ENetTLSError(what + (reason.empty() ? std::string() : ": " + reason));
}

void TNetIOHandlerTLS::waitFor(bool write) {
    pollfd p{Endpoint()->SocketDescriptor(), static_cast<short>(write ? POLLOUT : POLLIN), 0};
    if (!write) {
        if (!Endpoint()->WaitReadable(StepTimeoutMs)) throw ENetReadTimeout();
        return;
    }
    int rc;
    do {
        rc = ::poll(&p, 1, StepTimeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0) throw ENetReadTimeout();
}

void TNetIOHandlerTLS::StartTLS(const std::string& serverName, ssl_session_st* session) {
    if (!TransportConnected()) throw ENetClosedSocket();
    ssl = SSL_new(context.Handle());
    if (!ssl) fail("Cannot start TLS");
    const int fd = Endpoint()->SocketDescriptor();
    SSL_set_fd(ssl, fd);
    const std::string host = NetStripBrackets(serverName);
    if (!host.empty() && !TNetStack::IsIPAddress(host) && !NetIsIPv6Address(host))
        SSL_set_tlsext_host_name(ssl, host.c_str());
    if (session) SSL_set_session(ssl, session);
    // Every TLS read and write is non-blocking, so that no step waits beyond its limit and
    // the window keeps being pumped.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    for (;;) {
        ERR_clear_error();
        int rc = SSL_connect(ssl);
        if (rc == 1) break;
        int err = SSL_get_error(ssl, rc);
        if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
            try {
                waitFor(err == SSL_ERROR_WANT_WRITE);
            } catch (...) {
                CloseTransport();
                throw;
            }
            continue;
        }
        fail("TLS handshake failed");
    }
}

bool TNetIOHandlerTLS::SessionReused() const {
    return ssl && SSL_session_reused(ssl) == 1;
}

ssl_session_st* TNetIOHandlerTLS::TakeSession() const {
    return ssl ? SSL_get1_session(ssl) : nullptr;
}

std::string TNetIOHandlerTLS::Description() const {
    if (!ssl) return {};
    return std::string(SSL_get_version(ssl)) + " " + SSL_get_cipher_name(ssl);
}

std::string TNetIOHandlerTLS::CheckPeer(const std::string& hostText, int port,
                                        TNetCertificateInfo& info) const {
    info = {};
    info.Host = hostText;
    info.Port = port;
    X509* cert = ssl ? SSL_get1_peer_certificate(ssl) : nullptr;
    if (!cert) return "The server sent no certificate.";
    info.Subject = nameText(X509_get_subject_name(cert));
    info.Issuer = nameText(X509_get_issuer_name(cert));
    info.ValidFrom = timeText(X509_get0_notBefore(cert));
    info.ValidUntil = timeText(X509_get0_notAfter(cert));
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(cert, EVP_sha256(), md, &length);
    static const char* hex = "0123456789ABCDEF";
    for (unsigned int i = 0; i < length; ++i) {
        if (i) info.Fingerprint += ':';
        info.Fingerprint += hex[md[i] >> 4];
        info.Fingerprint += hex[md[i] & 15];
    }
    std::string problem;
    long verify = SSL_get_verify_result(ssl);
    if (verify != X509_V_OK) {
        problem = X509_verify_cert_error_string(verify);
        if (!problem.empty()) problem[0] = static_cast<char>(std::toupper(problem[0]));
        problem += ".";
    }
    const std::string host = NetStripBrackets(hostText);
    const bool address = TNetStack::IsIPAddress(host) || NetIsIPv6Address(host);
    const int matches = address ? X509_check_ip_asc(cert, host.c_str(), 0)
                                : X509_check_host(cert, host.c_str(), host.size(), 0, nullptr);
    if (matches != 1) {
        if (!problem.empty()) problem += " ";
        problem += "The certificate is not issued for " + host + ".";
    }
    X509_free(cert);
    info.Problem = problem;
    return problem;
}

void TNetIOHandlerTLS::CloseTransport() {
    if (ssl) {
        // A close_notify tells the server an upload ended on purpose; it is not waited for.
        if (TransportConnected()) {
            ERR_clear_error();
            SSL_shutdown(ssl);
            if (DrainOnClose) drain();
        }
        SSL_free(ssl);
        ssl = nullptr;
        ERR_clear_error();
    }
    TNetIOHandlerSocket::CloseTransport();
}

void TNetIOHandlerTLS::drain() {
    // A socket closed with unread bytes sends a reset, and a reset makes the server drop the
    // end of an upload still in its buffers. After an upload the server's session tickets are
    // often unread: read until the server closes (its tickets go to the next data
    // connection), within a short limit.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    char scratch[4096];
    const int fd = Endpoint()->SocketDescriptor();
    while (std::chrono::steady_clock::now() < deadline) {
        ERR_clear_error();
        int rc = SSL_read(ssl, scratch, sizeof scratch);
        if (rc > 0) continue;
        if (SSL_get_error(ssl, rc) != SSL_ERROR_WANT_READ) return;
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 100);
    }
}

bool TNetIOHandlerTLS::WaitReadable(int ms) {
    if (ssl && SSL_pending(ssl) > 0) return true;
    return TNetIOHandlerSocket::WaitReadable(ms);
}

int TNetIOHandlerTLS::ReceiveReady(void* buffer, int length) {
    if (!ssl) return TNetIOHandlerSocket::ReceiveReady(buffer, length);
    if (!TransportConnected()) throw ENetClosedSocket();
    for (;;) {
        ERR_clear_error();
        int rc = SSL_read(ssl, buffer, length);
        if (rc > 0) return rc;
        int err = SSL_get_error(ssl, rc);
        if (err == SSL_ERROR_ZERO_RETURN) return 0;
        if (err == SSL_ERROR_WANT_READ) return -2;
        if (err == SSL_ERROR_WANT_WRITE) {
            waitFor(true);
            continue;
        }
        if (err == SSL_ERROR_SYSCALL && errno == 0) return 0;
        if (err == SSL_ERROR_SYSCALL) {
            TNetStack::CheckSocketResult(-1, {TNetStack::LastPlatformError()});
            return -1;
        }
        fail("TLS receive failed");
    }
}

int TNetIOHandlerTLS::ReceiveWithin(void* buffer, int length, int& ms) {
    // A record arrives in parts: under TLS the receive never waits here.
    if (ssl) return ReceiveReady(buffer, length);
    return TNetIOHandlerSocket::ReceiveWithin(buffer, length, ms);
}

int TNetIOHandlerTLS::ReceiveSome(void* buffer, int length) {
    if (!ssl) return TNetIOHandlerSocket::ReceiveSome(buffer, length);
    for (;;) {
        // The socket was readable, but the bytes may have been a part of a record or a
        // session ticket: wait for the rest within the step limit.
        int rc = ReceiveReady(buffer, length);
        if (rc != -2) return rc;
        waitFor(false);
    }
}

int TNetIOHandlerTLS::SendReady(const void* buffer, int length) {
    if (!ssl) return TNetIOHandlerSocket::SendReady(buffer, length);
    return SendSome(buffer, length);
}

void TNetIOHandlerTLS::LimitUnsentData(int bytes) {
    if (!ssl) TNetIOHandlerSocket::LimitUnsentData(bytes);
}

int TNetIOHandlerTLS::SendSome(const void* buffer, int length) {
    if (!ssl) return TNetIOHandlerSocket::SendSome(buffer, length);
    if (!TransportConnected()) throw ENetClosedSocket();
    for (;;) {
        ERR_clear_error();
        int rc = SSL_write(ssl, buffer, length);
        if (rc > 0) return rc;
        int err = SSL_get_error(ssl, rc);
        if (err == SSL_ERROR_WANT_WRITE || err == SSL_ERROR_WANT_READ) {
            waitFor(err == SSL_ERROR_WANT_WRITE);
            continue;
        }
        if (err == SSL_ERROR_SYSCALL) {
            TNetStack::CheckSocketResult(-1, {TNetStack::LastPlatformError()});
            return -1;
        }
        if (err == SSL_ERROR_ZERO_RETURN) return 0;
        fail("TLS send failed");
    }
}
