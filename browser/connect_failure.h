#pragma once
// Why a connect failed, in the words a user reads in the page's log: the engine's errors carry
// socket numbers and protocol texts, this turns the common ones into one plain sentence.

#include <QString>
#include <exception>

// Returns the reason `error` gives for a failed connect to `host`:`port` that was allowed
// `timeoutMs` milliseconds: "Connection refused by HOST:PORT", "Host HOST not found", "Timed out
// after N s", "The server replied: CODE TEXT" for a refusing reply (a refused login), and otherwise
// the error's own text on one line.
QString ConnectFailureText(const std::exception& error, const QString& host, int port,
                           int timeoutMs);
