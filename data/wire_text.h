#pragma once
// Text crossing into the engine and the store: names on the wire and in the store files are
// UTF-8 bytes, whatever the user interface holds.

#include <QString>
#include <string>

// Returns `text` as UTF-8 bytes.
inline std::string toStd(const QString& text) {
    return text.toUtf8().toStdString();
}

// Returns the text of UTF-8 bytes.
inline QString fromStd(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
