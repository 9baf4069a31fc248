#pragma once
// The records behind the task tree's task nodes and the task editor's rows.

#include <QString>

// A task node's record: a copy of its `taskd` record with its category's id.
struct rtask {
    int categoryId = 0;
    int taskId = 0;
    QString name;
    QString ftp;
    QString type;
    QString common;
};

// One row of the task editor: a file or folder of the task.
struct rtaskupdown {
    bool isfolder = false;
    QString files;
    QString local;
    QString ftp;
};

// True for a download task ("Download" in any case); every other type uploads.
inline bool IsDownloadType(const QString& type) {
    return type.toUpper() == QLatin1String("DOWNLOAD");
}
