#pragma once
// Where the program keeps its files. Every file it reads or writes lies in one data folder: the
// user's ($XDG_DATA_HOME/oxbrook) for an installed program, or the program's own folder for a
// portable copy. Tests replace it by a temporary folder.

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

    // Returns the data folder for a program in `programFolder`: that folder itself when it holds
    // "all.dat" or a "portable" marker file, otherwise "oxbrook" in the user's data folder,
    // made (with its missing parents) with mode 0700 when it is not there. Returns an empty
    // string when the folder cannot be made; `error` then says why.
    static QString DataFolderFor(const QString& programFolder, QString* error = nullptr);

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
