#pragma once
// The desktop service tests install: it records the addresses, files and programs it is asked to
// open or start instead of leaving the process, and answers with a result the test chooses.

#include "ui/desktop_service.h"

#include <QList>
#include <QStringList>

class TRecordingDesktopService : public TDesktopService {
public:
    // Installs itself as the desktop service; the destructor puts the former one back.
    explicit TRecordingDesktopService(const QString& programFolder);
    ~TRecordingDesktopService() override;

    // Records the address; returns the chosen result.
    bool OpenUrl(const QUrl& url) override;
    // Records the path; returns the chosen result.
    bool OpenFile(const QString& path) override;
    // Records "program file"; returns the chosen result.
    bool StartProgram(const QString& program, const QString& file) override;
    // Returns the editor the test set (empty by default).
    QString FindTextEditor() const override { return textEditor; }

    QList<QUrl> urls;
    QStringList files;
    QStringList programs;
    bool result = true;
    QString textEditor;

private:
    TDesktopService* previous_;
};
