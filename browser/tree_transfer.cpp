// Folder tree transfers of the queue: the remote side follows the walk by changing folders one
// level at a time and returns to where the caller left it.

#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"
#include "data/app_paths.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"
#include "ui/prompt_service.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

struct RemoteItem {
    QString name;
    bool isFolder = false;
    int64_t size = 0;
};

} // namespace

void TTransferQueue::UploadTree(const QString& localFolder) {
    TNetFTP& ftp = frame_.ftp();
    const QDir dir(localFolder);
    const QFileInfoList found =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : found) {
        const QString name = entry.fileName();
        if (entry.isDir()) {
            // A linked folder may lead back up the tree; following it would never end.
            if (entry.isSymLink()) continue;
            rtmpinfo info;
            if (FindRemoteEntry(name, info, false) < 0) ftp.MakeDirectory(Wire::toWire(name));
            ftp.ChangeDirectory(Wire::toWire(name));
            UploadTree(AppPaths::join(AppPaths::join(localFolder, name), QString()));
        } else {
            SetTransferTypeFor(ExtensionOf(name));
            expectedSize_ = entry.size();
            storeFile(AppPaths::join(localFolder, name), name);
        }
    }
    ftp.ChangeDirectory("..");
}

void TTransferQueue::DownloadTree(const QString& remoteName, const QString& localFolder,
                                  TTreeMode mode, const QString& newName_) {
    QCoreApplication::processEvents();
    TNetFTP& ftp = frame_.ftp();
    QString target = localFolder;
    if (mode == TTreeMode::Rename) target = AppPaths::join(QFileInfo(localFolder).path(), newName_);
    if (!QFileInfo(target).isDir() && !QDir().mkdir(target)) {
        ShowError(&frame_, tr("Can not create the folder. Downloading cancel."));
        throw ENetException("Can not create the folder " + Wire::toWire(target));
    }

    ftp.ChangeDirectory(Wire::toWire(remoteName));
    ftp.ListDirectory(nullptr, std::string(), true);
    std::vector<RemoteItem> items;
    for (const TNetFTPListItem& item : ftp.DirectoryListing())
        items.push_back(
            {QString::fromUtf8(item.EntryName), item.EntryKind == EntryDirectory, item.ByteSize});

    const TTreeMode inner = mode == TTreeMode::Rename ? TTreeMode::Create : mode;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const QString trimmed = it->name.trimmed();
        if (trimmed == QLatin1String(".") || trimmed == QLatin1String("..")) continue;
        // A listed name must never lead the local path out of the chosen folder.
        if (!Wire::IsPlainName(it->name)) {
            SkipUnsafeName(it->name);
            continue;
        }
        const QString local = AppPaths::join(target, it->name);
        if (it->isFolder) {
            DownloadTree(it->name, local, inner, QString());
        } else {
            expectedSize_ = it->size;
            SetTransferTypeFor(ExtensionOf(it->name));
            retrieve(it->name, local, mode == TTreeMode::Overwrite, false);
        }
    }
    ftp.ChangeDirectory("..");
}
