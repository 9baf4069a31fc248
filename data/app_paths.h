#pragma once
// Where the program keeps its files. The program is portable: every file it reads or writes lies
// in one folder, the executable's own, which tests replace by a temporary folder.

#include <QDir>
#include <QString>

class AppPaths {
public:
    // Requires an existing folder; the path is kept with native separators, without a trailing one.
    explicit AppPaths(const QString& folder);

    // Returns the program's folder (no trailing separator).
    const QString& folder() const { return folder_; }
    // Returns the full path of `name` inside the program's folder.
    QString file(const QString& name) const;

    // Returns `folder` joined with `name` by exactly one native separator.
    static QString join(const QString& folder, const QString& name);
    // Returns `path` ending with the native separator.
    static QString withTrailingSeparator(const QString& path);

private:
    QString folder_;
};

// Joins a local folder and a name with one native separator.
inline QString JoinPath(const QString& folder, const QString& name) {
    QString path = folder;
    if (!path.endsWith(QDir::separator())) path += QDir::separator();
    return path + name;
}
