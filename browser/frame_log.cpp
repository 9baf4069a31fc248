#include "browser/frame_log.h"

#include "browser/browser_frame.h"

TFrameLog::TFrameLog(TBrowserFrame& frame) : frame_(frame) {
    LogTime = false;
    ReplaceCRLF = false;
}

void TFrameLog::LogStatus(const std::string&) {}

namespace {
// The pane shows lines; the line end that closes every command and reply is not one of them.
QString withoutFinalLineEnd(const std::string& data) {
    QString text = QString::fromUtf8(data);
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    else if (text.endsWith('\r') || text.endsWith('\n'))
        text.chop(1);
    return text;
}

// A password reaches the server only: every PASS line (the proxy schemes' password lines too)
// is shown with four stars, so neither its text nor its length ends up on screen or in a saved
// log.
QString withoutPassword(const QString& line) {
    if (line.size() >= 4 &&
        line.first(4).compare(QLatin1String("PASS"), Qt::CaseInsensitive) == 0 &&
        (line.size() == 4 || line.at(4) == ' '))
        return QStringLiteral("PASS ****");
    return line;
}
} // namespace

void TFrameLog::LogReceived(const std::string&, const std::string& data) {
    frame_.LogText(withoutFinalLineEnd(data), 1);
}

void TFrameLog::LogSent(const std::string&, const std::string& data) {
    frame_.ResetIdleTicks();
    frame_.LogText(withoutPassword(withoutFinalLineEnd(data)), 0);
}
