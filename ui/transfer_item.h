#pragma once
// One item of a transfer queue: what the browser page's queue runs and what the history re-run,
// the task run and the local page hand to a page.

#include <QString>
#include <cstdint>

struct rupdown {
    int isDownload = 0;
    QString localPath;
    // The remote folder to change to first, or "0" for the folder current when the item runs.
    QString remoteFolder;
    int64_t size = 0;
    QString name;
    bool isFolder = false;
    // "yyyy-mm-dd hh:mm:ss", or "?" when unknown.
    QString remoteDate;
    bool verifyRemote = false;
};

// One selected entry of a browser page's remote list, as the pages on the left see it.
struct TRemoteEntry {
    QString name;
    bool isFolder = false;
    int64_t size = 0;
    // "yyyy-mm-dd hh:mm:ss" as the listing gave it.
    QString modified;
};
