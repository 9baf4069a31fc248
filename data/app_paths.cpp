#include "data/app_paths.h"

#include <QDir>

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
