#include "browser/connect_failure.h"

#include "ftp/socket/net_exception.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

constexpr int kTimedOut = 10060;
constexpr int kRefused = 10061;
constexpr int kHostNotFound = 11001;

QString tr(const char* text) {
    return QCoreApplication::translate("TBrowserFrame", text);
}

// The socket number of an error, also when a connect made on a worker thread passed it on only
// as the text "Socket Error # N"; 0 when there is none.
int socketNumberOf(const std::exception& error) {
    if (const auto* socket = dynamic_cast<const ENetSocketError*>(&error))
        return socket->SocketErrorNumber;
    static const QRegularExpression number(QStringLiteral("Socket Error # (\\d+)"));
    const QRegularExpressionMatch match = number.match(QString::fromUtf8(error.what()));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString oneLine(const char* text) {
    return QString::fromUtf8(text).simplified();
}

} // namespace

QString ConnectFailureText(const std::exception& error, const QString& host, int port,
                           int timeoutMs) {
    if (const auto* reply = dynamic_cast<const ENetProtocolReplyError*>(&error))
        return tr("The server replied: %1 %2")
            .arg(reply->ReplyErrorCode)
            .arg(oneLine(reply->what()));
    const bool timedOut = dynamic_cast<const ENetConnectTimeout*>(&error) ||
                          dynamic_cast<const ENetReadTimeout*>(&error);
    const int number = socketNumberOf(error);
    if (timedOut || number == kTimedOut)
        return tr("Timed out after %1 s").arg((timeoutMs + 500) / 1000);
    if (number == kRefused) return tr("Connection refused by %1:%2").arg(host).arg(port);
    if (number == kHostNotFound) return tr("Host %1 not found").arg(host);
    if (dynamic_cast<const ENetConnClosedGracefully*>(&error))
        return tr("The server closed the connection");
    return oneLine(error.what());
}
