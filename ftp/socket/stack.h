// The process-wide socket stack: name resolution, IPv4 text parsing and the one mapping from
// the platform's socket errors onto the engine's error numbers and texts.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

class TNetStack {
public:
    // Starts the stack for one more engine component; the first call starts it.
    // Raises ENetStackInitializationFailed when the platform refuses.
    static void Acquire();
    // Releases what Acquire took; the last release stops the stack.
    static void Release();
    // Returns true while at least one component holds the stack.
    static bool Started();

    // Returns the dotted IPv4 address of host: "LOCALHOST" (any case) gives "127.0.0.1", an
    // address text is returned unchanged, anything else is looked up.
    // Raises ENetSocketError (11001 "Host not found.") when the lookup fails.
    static std::string ResolveHostAddress(const std::string& host);

    // Returns true when text is an IPv4 address in one of the four dotted forms
    // (a.b.c.d, a.b.c16, a.b24, a32), each part a decimal integer in its range.
    static bool IsIPAddress(const std::string& text);
    // Returns the address in host byte order. Raises ENetInvalidIPAddress when text is not one.
    static uint32_t StringToIPv4(const std::string& text);
    // Returns the dotted text of an address given in host byte order.
    static std::string IPv4ToString(uint32_t address);

    // Returns false when result is not -1. Otherwise records the current platform error as
    // LastError and returns true when its engine number is among tolerated; else raises
    // ENetSocketError with it.
    static bool CheckSocketResult(long result, std::initializer_list<int> tolerated = {});
    // Raises ENetSocketError with number.
    [[noreturn]] static void ThrowSocketError(int number);
    // Returns "Socket Error # <number>\r\n<text>", the text empty for an unknown number.
    static std::string SocketErrorText(int number);

    // Returns the engine number (10004 ... 11001) of a platform errno value; unknown values
    // keep their own number.
    static int TranslateError(int platformError);
    // Returns the engine number of the calling thread's current platform error.
    static int LastPlatformError();
    // The last engine error number seen by CheckSocketResult (0 before any).
    static int LastError();
};
