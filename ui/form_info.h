#pragma once
// The window-layout file "forminfo.ini", read and written with the semantics of the Windows
// private-profile calls: every write goes to disk at once, an existing key keeps its place, a new
// key is appended to its section in the order written and a missing section is appended.

#include <QString>

class TFormInfo {
public:
    // Requires the full path of the layout file; the file need not exist.
    explicit TFormInfo(const QString& filePath);

    // Returns the value of `key` in `section`, or `def` when the file, section or key is missing.
    // A value that does not start with a decimal number reads as 0, as the profile API does.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Returns the text of `key` in `section`, or `def` when it is missing.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;

    // Writes `value` as decimal text; returns false when the file cannot be written.
    bool WriteInteger(const QString& section, const QString& key, int value);
    // Writes `value` as it is; returns false when the file cannot be written.
    bool WriteString(const QString& section, const QString& key, const QString& value);

    // Returns the path the wrapper reads and writes.
    const QString& filePath() const { return filePath_; }

private:
    QString filePath_;
};
