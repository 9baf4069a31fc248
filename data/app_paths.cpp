#include "data/app_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

AppPaths::AppPaths(const QString& folder) {
    QString clean = QDir::toNativeSeparators(QDir::cleanPath(folder));
    // The file-system root is the one folder whose separator must stay.
    while (clean.size() > 1 && clean.endsWith(QDir::separator()))
        clean.chop(1);
    folder_ = clean;
}

QString AppPaths::file(const QString& name) const {
    return join(folder_, name);
}

QString AppPaths::join(const QString& folder, const QString& name) {
    return withTrailingSeparator(folder) + name;
}

QString AppPaths::withTrailingSeparator(const QString& path) {
    QString native = QDir::toNativeSeparators(path);
    if (!native.endsWith(QDir::separator())) native += QDir::separator();
    return native;
}

QString AppPaths::DataFolderFor(const QString& programFolder, QString* error) {
    const AppPaths program(programFolder);
    // A copy that already keeps its stores beside itself stays that way, so an unpacked or older
    // installation finds its sites where it left them.
    if (QFileInfo::exists(program.file(QStringLiteral("all.dat"))) ||
        QFileInfo::exists(program.file(QStringLiteral("portable"))))
        return program.folder();
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) {
        if (error) *error = QStringLiteral("no data folder is known for this user");
        return {};
    }
    const QString folder = join(base, QStringLiteral("oxbrook"));
    if (QFileInfo(folder).isDir()) return AppPaths(folder).folder();
    QDir().mkpath(base);
    // Made with its mode in one step: the stores hold passwords, and the folder must never be
    // readable by others, not even for a moment.
    constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!QDir().mkdir(folder, ownerOnly) && !QFileInfo(folder).isDir()) {
        if (error) *error = QStringLiteral("%1 cannot be made").arg(folder);
        return {};
    }
    return AppPaths(folder).folder();
}
