// The SOCKS client: the settings of one SOCKS server and the version 4, 4A and 5 handshakes
// that ask it to connect on to the FTP server (or a passive data port).
#pragma once

#include "ftp/socket/io_handler_socket.h"
#include "ftp/socket/net_exception.h"

#include <functional>
#include <string>

enum TSocksVersion { svNoSocks = 0, svSocks4 = 1, svSocks4A = 2, svSocks5 = 3 };
enum TSocksAuthentication { saNoAuthentication = 0, saUsernamePassword = 1 };

class ENetSocksError : public ENetException {
public:
    using ENetException::ENetException;
};

#define OXBROOK_SOCKS_ERROR(name, text)                                                            \
    class name : public ENetSocksError {                                                           \
    public:                                                                                        \
        name() : ENetSocksError(text) {}                                                           \
    };
OXBROOK_SOCKS_ERROR(ENetSocksRequestFailed, "Request rejected or failed.")
OXBROOK_SOCKS_ERROR(ENetSocksRequestServerFailed,
                    "Request rejected because SOCKS server cannot connect.")
OXBROOK_SOCKS_ERROR(ENetSocksRequestIdentFailed, "Request rejected because the client program "
                                                 "and identd report different user-ids.")
OXBROOK_SOCKS_ERROR(ENetSocksUnknownError, "Unknown socks error.")
OXBROOK_SOCKS_ERROR(ENetSocksServerRespondError, "Socks server did not respond.")
OXBROOK_SOCKS_ERROR(ENetSocksAuthMethodError, "Invalid socks authentication method.")
OXBROOK_SOCKS_ERROR(ENetSocksAuthError, "Authentication error to socks server.")
OXBROOK_SOCKS_ERROR(ENetSocksServerGeneralError, "General SOCKS server failure.")
OXBROOK_SOCKS_ERROR(ENetSocksServerPermissionError, "Connection not allowed by ruleset.")
OXBROOK_SOCKS_ERROR(ENetSocksServerNetUnreachableError, "Network unreachable.")
OXBROOK_SOCKS_ERROR(ENetSocksServerHostUnreachableError, "Host unreachable.")
OXBROOK_SOCKS_ERROR(ENetSocksServerConnectionRefusedError, "Connection refused.")
OXBROOK_SOCKS_ERROR(ENetSocksServerTTLExpiredError, "TTL expired.")
OXBROOK_SOCKS_ERROR(ENetSocksServerCommandError, "Command not supported.")
OXBROOK_SOCKS_ERROR(ENetSocksServerAddressError, "Address type not supported.")
#undef OXBROOK_SOCKS_ERROR

// A reply that breaks the protocol (wrong version byte, unknown address type); the message
// names what was wrong.
class ENetSocksInvalidReply : public ENetSocksError {
public:
    explicit ENetSocksInvalidReply(const std::string& what)
        : ENetSocksError("Invalid reply from socks server: " + what + ".") {}
};

// A SOCKS server that stopped answering at one step of the handshake.
class ENetSocksTimeout : public ENetSocksError {
public:
    explicit ENetSocksTimeout(const std::string& step)
        : ENetSocksError("Socks server did not respond in time (" + step + ").") {}
};

// Reads exactly n bytes of the reply to one handshake step (named for the errors) into buffer.
// Raises ENetSocksServerRespondError when the server closes first, ENetSocksTimeout when it
// stays silent.
using TSocksReplyReader = std::function<void(void* buffer, int n, const char* step)>;

// The reply checks of the handshakes, each reading exactly the bytes its reply has; every
// malformed or refusing reply raises its ENetSocksError.
void ReadSocks4Reply(const TSocksReplyReader& read);
// method is the one the greeting offered.
void ReadSocks5MethodReply(const TSocksReplyReader& read, unsigned char method);
void ReadSocks5AuthReply(const TSocksReplyReader& read);
void ReadSocks5ConnectReply(const TSocksReplyReader& read);

// A user name, password or host name that the one-byte length fields of the protocol cannot
// carry; raised before anything is sent to the SOCKS server.
class ENetSocksValueTooLong : public ENetSocksError {
public:
    // what names the value ("user name", "password", "host name").
    explicit ENetSocksValueTooLong(const std::string& what)
        : ENetSocksError("The SOCKS " + what + " is longer than 255 bytes.") {}
};

class TNetSocksInfo : public TNetSocksNegotiator {
public:
    TSocksVersion Version = svNoSocks;
    TSocksAuthentication Authentication = saNoAuthentication;
    std::string Host;
    int Port = 1080;
    std::string Username, Password;

    // Copies all six settings of source.
    void Assign(const TNetSocksInfo& source);

    bool UsesSocks() const override { return Version != svNoSocks; }
    std::string SocksHost() const override { return Host; }
    int SocksPort() const override { return Port; }
    // Runs the handshake of Version over transport (just connected to the SOCKS server) for
    // host:port; nothing for svNoSocks. Raises ENetSocksValueTooLong before sending anything
    // when a value does not fit, the ENetSocksError subclass of a refusal, or the transport's
    // errors.
    void NegotiateSocks(TNetIOHandlerSocket& transport, const std::string& host, int port) override;

    // Returns the SOCKS 4 / 4A CONNECT request for host:port (4: host resolved locally).
    std::string BuildSocks4Request(const std::string& host, int port) const;
    // Returns the SOCKS 5 greeting (version, one method, the method).
    std::string BuildSocks5Greeting() const;
    // Returns the SOCKS 5 CONNECT request (address type 3, host text as given).
    std::string BuildSocks5Request(const std::string& host, int port) const;

private:
    void checkLengths(const std::string& host) const;
    void NegotiateSocks4(TNetIOHandlerSocket& transport, const std::string& host, int port);
    void NegotiateSocks5(TNetIOHandlerSocket& transport, const std::string& host, int port);
};
