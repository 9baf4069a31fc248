// Exception classes of the protocol engine: every failure the engine raises derives from
// ENetException and carries the text the user or the caller sees.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The general engine error; `what()` is the message.
class ENetException : public std::runtime_error {
public:
    explicit ENetException(const std::string& message) : std::runtime_error(message) {}
};

// Base of the ends that callers treat as quiet (a peer that simply went away).
class ENetSilentException : public ENetException {
public:
    using ENetException::ENetException;
};

// The peer (or a local close during a message pump) ended the connection.
class ENetConnClosedGracefully : public ENetSilentException {
public:
    ENetConnClosedGracefully() : ENetSilentException("Connection Closed Gracefully.") {}
};

class ENetAlreadyConnected : public ENetException {
public:
    ENetAlreadyConnected() : ENetException("Already connected.") {}
};

// A wait for data (or for a connection) that ran out. With a step the message names the wait
// ("Read Timeout (data connection)"), so the user learns which part of the exchange stalled.
class ENetReadTimeout : public ENetException {
public:
    ENetReadTimeout() : ENetException("Read Timeout") {}
    explicit ENetReadTimeout(const std::string& step)
        : ENetException(step.empty() ? "Read Timeout" : "Read Timeout (" + step + ")"), Step(step) {
    }
    std::string Step;
};

// A send that found no room within the time-out: the peer stopped reading.
class ENetWriteTimeout : public ENetException {
public:
    explicit ENetWriteTimeout(const std::string& step = {})
        : ENetException(step.empty() ? "Write Timeout" : "Write Timeout (" + step + ")"),
          Step(step) {}
    std::string Step;
};

// A reply whose content breaks the protocol (a number out of range, an endless reply).
class ENetProtocolError : public ENetException {
public:
    using ENetException::ENetException;
};

// One reply with more lines or bytes than any server sends; the connection is closed.
class ENetReplyTooLong : public ENetProtocolError {
public:
    ENetReplyTooLong(int lines, int64_t bytes)
        : ENetProtocolError("Reply too long: more than " + std::to_string(lines) + " lines or " +
                            std::to_string(bytes) + " bytes.") {}
};

class ENetReadLnMaxLineLengthExceeded : public ENetException {
public:
    ENetReadLnMaxLineLengthExceeded() : ENetException("Max line length exceeded.") {}
};

// Base of the connection's own usage errors.
class ENetTCPConnectionError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetNotConnected : public ENetTCPConnectionError {
public:
    ENetNotConnected() : ENetTCPConnectionError("Not Connected") {}
};

class ENetNoDataToRead : public ENetTCPConnectionError {
public:
    ENetNoDataToRead() : ENetTCPConnectionError("No data to read.") {}
};

class ENetNotEnoughDataInBuffer : public ENetTCPConnectionError {
public:
    ENetNotEnoughDataInBuffer() : ENetTCPConnectionError("Not enough data in buffer.") {}
};

// A command line handed to the control connection that would be read by the server as more
// than one command. Nothing is sent when this is raised.
class ENetInvalidCommandLine : public ENetTCPConnectionError {
public:
    ENetInvalidCommandLine()
        : ENetTCPConnectionError("Command line contains a CR or LF character; nothing was sent.") {}
};

// A socket call failed; `SocketErrorNumber` is the engine's error number (10004 ... 11001).
class ENetSocketError : public ENetException {
public:
    // Builds the message from the number's text (see TNetStack::SocketErrorText).
    explicit ENetSocketError(int number);
    int SocketErrorNumber;
};

// The server answered with a code the caller does not accept; the message is the reply text,
// each line followed by CR LF.
class ENetProtocolReplyError : public ENetException {
public:
    ENetProtocolReplyError(int code, const std::string& message)
        : ENetException(message), ReplyErrorCode(code) {}
    int ReplyErrorCode;
};

// Socket stack errors.
class ENetStackError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetStackInitializationFailed : public ENetStackError {
public:
    ENetStackInitializationFailed() : ENetStackError("Winsock Initialization Error.") {}
};

// Raised with the offending text when a text that is not an IPv4 address is converted.
class ENetInvalidIPAddress : public ENetStackError {
public:
    explicit ENetInvalidIPAddress(const std::string& text)
        : ENetStackError(text + " is not a valid IP address.") {}
};

class ENetInvalidSocket : public ENetException {
public:
    ENetInvalidSocket() : ENetException("Cannot allocate socket.") {}
};

// A receive or send on a transport whose socket is not open.
class ENetClosedSocket : public ENetException {
public:
    ENetClosedSocket() : ENetException("Disconnected.") {}
};

class ENetSocketHandleError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetCouldNotBindSocket : public ENetSocketHandleError {
public:
    ENetCouldNotBindSocket()
        : ENetSocketHandleError("Could not bind socket. Address and port are already in use.") {}
};

class ENetInvalidPortRange : public ENetSocketHandleError {
public:
    ENetInvalidPortRange(int min, int max)
        : ENetSocketHandleError("Invalid Port Range (" + std::to_string(min) + " - " +
                                std::to_string(max) + ")") {}
};

class ENetCanNotBindPortInRange : public ENetSocketHandleError {
public:
    ENetCanNotBindPortInRange(int min, int max)
        : ENetSocketHandleError("Can not bind in port range (" + std::to_string(min) + " - " +
                                std::to_string(max) + ")") {}
};

class ENetConnectTimeout : public ENetException {
public:
    ENetConnectTimeout() : ENetException("Connect timed out.") {}
};

// A connect made by the worker thread failed; the message is the worker's error text.
class ENetConnectException : public ENetException {
public:
    using ENetException::ENetException;
};
