#pragma once
// The plain records a browser frame keeps in its lists: the entries of a remote listing and the
// items of the transfer queue.

#include "ui/transfer_item.h"

#include <QString>
#include <cstdint>

// One remote listing entry, for the folder shown (`entries`) and for the listing cache (`cache`).
struct rdatalist {
    QString seq;
    QString name;
    QString typeText;
    int iconIndex = 0;
    QString sizeText;
    int64_t size = 0;
    QString sortType;
    QString modified;
    QString folderPath;
    bool isFolder = false;
    QString owner;
    QString group;
    QString ownerRights;
    QString groupRights;
    QString otherRights;
};
