#include "app/application.h"

#include <QIcon>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Oxbrook"));
    setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
    // The installed desktop entry and icon theme name the program "oxbrook".
    setDesktopFileName(QStringLiteral("oxbrook"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("oxbrook")));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // A command without its own handling simply stops where it failed; no box is shown.
        ++swallowed_;
        return false;
    }
}
