#pragma once
// The protocol log of a browser frame: every line the engine sends or receives on the control
// connection goes to the frame's information pane.

#include "ftp/connection_intercept.h"

class TBrowserFrame;

class TFrameLog : public TNetLogBase {
public:
    // Requires the frame that shows the lines; it outlives the log.
    explicit TFrameLog(TBrowserFrame& frame);

protected:
    // State changes are shown by the frame's own messages, not by the log.
    void LogStatus(const std::string& text) override;
    // Shown with icon 1.
    void LogReceived(const std::string& timeText, const std::string& data) override;
    // Resets the frame's idle count, then shows the text with icon 0.
    void LogSent(const std::string& timeText, const std::string& data) override;

private:
    TBrowserFrame& frame_;
};
