#pragma once
// Small helpers for text that crosses between the program and the engine or the file system:
// names travel to the engine as UTF-8 bytes, and a name that came from a server or a record
// becomes part of a local path only when it is one plain path component.

#include <QDir>
#include <QString>
#include <string>

namespace Wire {

// Returns `text` as UTF-8 bytes for the engine.
inline std::string toWire(const QString& text) {
    return text.toUtf8().toStdString();
}
// Returns engine bytes (UTF-8, invalid sequences replaced) as text.
inline QString fromWire(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
inline QString fromWire(const char* bytes) {
    return QString::fromUtf8(bytes);
}

// The characters no file name may hold, as the name dialogs list them.
inline const QString& fileNameForbidden() {
    static const QString set = QStringLiteral("\\/:*?\"<>|");
    return set;
}
// The characters a typed local folder path may not hold: the separators and the drive colon are
// the path's own.
inline const QString& folderPathForbidden() {
    static const QString set = QStringLiteral("/*?\"<>|");
    return set;
}
// Returns true when `text` holds a character of `set`, ignoring `allowed`.
inline bool containsAnyOf(const QString& text, const QString& set, QChar allowed = QChar()) {
    for (QChar c : set) {
        if (c != allowed && text.contains(c)) return true;
    }
    return false;
}

// Returns true when `name` may be used as one local path component: not empty, not "." or "..",
// and without a separator of either system.
inline bool IsPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains('/') && !name.contains('\\');
}

} // namespace Wire
