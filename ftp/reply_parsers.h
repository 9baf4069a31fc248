// The values read out of single server replies (the passive address, the quoted folder) and
// the PORT argument built for a listener.
#pragma once

#include "ftp/socket/net_exception.h"

#include <string>
#include <utility>

// Returns the address and port of a 227 reply's first text line: the six comma-separated
// numbers between the first "(" and ")", or after the last blank. Raises ENetConvertError
// ("'%s' is not a valid integer value") for a part that is not a number and ENetProtocolError
// for a number outside 0-255, before any arithmetic.
std::pair<std::string, int> ParsePassiveReply(const std::string& line);
// Returns the folder between the first two double quotes of a 257 reply line ("" without).
std::string ParseQuotedFolder(const std::string& line);
// Returns "a,b,c,d,p1,p2" for a PORT command. Raises ENetProtocolError when ip is not a dotted
// IPv4 address or port is outside 0-65535.
std::string BuildPortArgument(const std::string& ip, int port);
