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
} // namespace

void TFrameLog::LogReceived(const std::string&, const std::string& data) {
    frame_.LogText(withoutFinalLineEnd(data), 1);
}

void TFrameLog::LogSent(const std::string&, const std::string& data) {
    frame_.idleTicks = 0;
    frame_.LogText(withoutFinalLineEnd(data), 0);
}
