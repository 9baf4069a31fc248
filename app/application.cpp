#include "app/application.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Oxbrook"));
    setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
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
