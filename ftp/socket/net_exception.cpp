#include "ftp/socket/net_exception.h"

#include "ftp/socket/stack.h"

ENetSocketError::ENetSocketError(int number)
    : ENetException(TNetStack::SocketErrorText(number)), SocketErrorNumber(number) {}
