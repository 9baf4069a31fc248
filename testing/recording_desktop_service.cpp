#include "testing/recording_desktop_service.h"

TRecordingDesktopService::TRecordingDesktopService(const QString& programFolder)
    : TDesktopService(programFolder), previous_(SetDesktopService(this)) {}

TRecordingDesktopService::~TRecordingDesktopService() {
    SetDesktopService(previous_);
}

bool TRecordingDesktopService::OpenUrl(const QUrl& url) {
    urls.append(url);
    return result;
}

bool TRecordingDesktopService::OpenFile(const QString& path) {
    files.append(path);
    return result;
}

bool TRecordingDesktopService::StartProgram(const QString& program, const QString& file) {
    programs.append(program + ' ' + file);
    return result;
}
