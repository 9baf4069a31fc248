// The remote listing of a browser frame: listing a folder from the server, the listing cache_,
// sorting and showing the entries_.

#include "browser/browser_frame.h"
#include "data/wire_text.h"

#include "ftp/ftp.h"
#include "ui/desktop_service.h"

#include "browser/remote_list_model.h"

#include <QCoreApplication>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cmath>

namespace {

QString rightsText(const rdatalist& e) {
    return e.ownerRights + e.groupRights + e.otherRights;
}

} // namespace

QString TBrowserFrame::SizeText(int64_t size) {
    // nearbyint rounds halves to even under the default rounding mode: 1536 bytes show 2,
    // 2560 bytes show 2 as well.
    const auto figure = static_cast<int64_t>(std::nearbyint(static_cast<double>(size) / 1024.0));
    return QString::number(std::max<int64_t>(1, figure)) + QStringLiteral("KB");
}

void TBrowserFrame::addEntry(const rdatalist& source, bool isFolder, int64_t size) {
    // The window stays responsive while a long folder is filled.
    QCoreApplication::processEvents();
    rdatalist e;
    e.seq = QString::number(entries_.size() + 1);
    e.name = source.name;
    e.modified = source.modified;
    e.owner = source.owner;
    e.group = source.group;
    e.ownerRights = source.ownerRights;
    e.groupRights = source.groupRights;
    e.otherRights = source.otherRights;
    e.isFolder = isFolder;
    if (isFolder) {
        e.typeText = tr("Folder");
        e.iconIndex = 0;
        e.size = 0;
    } else {
        e.typeText = Desktop().TypeName(e.name);
        e.sortType = e.typeText;
        e.iconIndex = 1;
        e.size = size;
        e.sizeText = SizeText(size);
    }
    entries_.push_back(e);
}

void TBrowserFrame::ListFolder(const QString& path) {
    retryTimer_->stop();
    entries_.clear();
    ftp_->ChangeDirectory(Wire::toWire(path));
    ftp_->SetTransferType(ftASCII);
    currentPath_ = Wire::fromWire(ftp_->CurrentDirectory());
    ftp_->ListDirectory(nullptr, std::string(), true);
    const TNetFTPListItems& listing = ftp_->DirectoryListing();
    DropCached(currentPath_, QString(), 0);
    for (const TNetFTPListItem& item : listing) {
        const QString name = Wire::fromWire(item.EntryName);
        if (name == QLatin1String(".") || name == QLatin1String("..")) continue;
        const bool isFolder = item.EntryKind == EntryDirectory;
        rdatalist e;
        e.name = name;
        e.modified = QString::fromStdString(item.ModifiedAt.ToText());
        e.owner = Wire::fromWire(item.OwnerUser);
        e.group = Wire::fromWire(item.OwnerGroup);
        e.ownerRights = (isFolder ? QStringLiteral("d") : QStringLiteral("-")) +
                        QString::fromStdString(item.OwnerRights);
        e.groupRights = QString::fromStdString(item.GroupRights);
        e.otherRights = QString::fromStdString(item.OthersRights);
        rdatalist cached = e;
        cached.seq = QString::number(cache_.size() + 1);
        cached.typeText = isFolder ? tr("Folder") : QString();
        cached.sizeText = QString::number(item.ByteSize);
        cached.folderPath = currentPath_;
        cache_.push_back(cached);
        addEntry(e, isFolder, item.ByteSize);
    }
    SortEntries();
}

void TBrowserFrame::ShowCachedFolder(const QString& path) {
    entries_.clear();
    fillRemoteList();
    for (const rdatalist& cached : cache_) {
        if (cached.folderPath != path) continue;
        const bool isFolder = cached.typeText == tr("Folder");
        addEntry(cached, isFolder, cached.sizeText.toLongLong());
    }
    // A folder that was empty when listed is listed again on every visit.
    if (entries_.empty())
        ListFolder(path);
    else
        SortEntries();
}

void TBrowserFrame::DropCached(const QString& path, const QString& name, int mode) {
    if (mode == 1) {
        cache_.clear();
        return;
    }
    std::erase_if(cache_, [&](const rdatalist& e) {
        return e.folderPath == path && (mode == 0 || (mode == 2 && e.name == name));
    });
}

void TBrowserFrame::SortEntries() {
    const auto caseless = [](const QString& a, const QString& b) {
        return QString::localeAwareCompare(a.toLower(), b.toLower()) < 0;
    };
    std::sort(entries_.begin(), entries_.end(), [&](const rdatalist& a, const rdatalist& b) {
        switch (sortColumn_) {
        case 0:
            return caseless(a.name, b.name);
        case 1:
            return a.size < b.size;
        case 3:
            return a.modified < b.modified;
        case 4:
            return caseless(rightsText(a), rightsText(b));
        default:
            return caseless(a.sortType, b.sortType);
        }
    });
    fillRemoteList();
}

void TBrowserFrame::fillRemoteList() {
    remoteModel_->Reset();
}

int TBrowserFrame::remoteRowCount() const {
    return remoteList_->model()->rowCount();
}

QStringList TBrowserFrame::remoteRow(int row) const {
    QStringList cells;
    const QAbstractItemModel* model = remoteList_->model();
    for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(row, column).data().toString();
    return cells;
}
