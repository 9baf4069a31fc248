// The queue's commands: Abort operation (also the failure guard's way back to a clean
// connection), the pop-up menu and the queueing of dropped local entries.

#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"
#include "data/expected_failure.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"
#include "ui/prompt_service.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QTreeWidget>

void TTransferQueue::AbortOperation(AbortMode mode) {
    TNetFTP& ftp = frame_.ftp();
    IgnoreFailure("no transfer may be running, or the connection is gone already",
                  [&] { ftp.AbortTransfer(); });
    // Inside a running transfer the closed data connection ends it, and the loop's error guard
    // comes back here once it has unwound.
    if (transferring_) {
        stopRequested_ = true;
        return;
    }
    const bool wasOpen = frame_.Connected();
    // The reply to ABOR may still be on its way; a fresh control connection leaves no stray
    // reply to be taken for the answer to the next command.
    frame_.DisconnectQuietly();
    if (wasOpen && mode == AbortMode::EndIdleSession) return;
    try {
        ftp.Connect(true, frame_.settings().connectTimeoutMs);
    } catch (const std::exception& e) {
        frame_.LogMessage(QString::fromUtf8(e.what()).trimmed(), 2);
        return;
    }
    if (!frame_.Connected()) return;
    try {
        frame_.ListFolder(frame_.currentPath());
        frame_.pathBar()->setText(frame_.currentPath());
    } catch (const std::exception& e) {
        frame_.LogMessage(QString::fromUtf8(e.what()).trimmed(), 2);
    }
    frame_.SetBrowseEnabled(true);
}

void TTransferQueue::UpdateMenu() {
    QList<QTreeWidgetItem*> selected = frame_.queueList()->selectedItems();
    if (selected.isEmpty()) {
        for (QAction* a : {transferItem_, stopItem_, deleteItem_, clearItem_})
            a->setEnabled(false);
        return;
    }
    const int index = frame_.queueList()->indexOfTopLevelItem(selected.first());
    const bool active = rowImage(index) == Active;
    stopItem_->setEnabled(active);
    transferItem_->setEnabled(!active);
    deleteItem_->setEnabled(!active);
    clearItem_->setEnabled(!active);
}

void TTransferQueue::onTransferClick() {
    if (items_.empty()) return;
    const QString folder = items_.front().remoteFolder;
    if (folder != QLatin1String("0")) {
        try {
            changeRemote(folder);
        } catch (const std::exception& e) {
            frame_.LogMessage(QString::fromUtf8(e.what()).trimmed(), 2);
            return;
        }
    }
    RunSequence(true);
}

void TTransferQueue::onStopClick() {
    AbortOperation();
}

void TTransferQueue::onDeleteClick() {
    QTreeWidget* list = frame_.queueList();
    QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) return;
    const int index = list->indexOfTopLevelItem(selected.first());
    if (index < 0 || rowImage(index) == Active) return;
    RemoveAt(index);
}

void TTransferQueue::onClearClick() {
    QTreeWidget* list = frame_.queueList();
    for (int index = list->topLevelItemCount() - 1; index >= 0; --index) {
        if (rowImage(index) != Active) RemoveAt(index);
    }
}

void TTransferQueue::DropLocalFiles(const QStringList& paths, const QString& dropFolder) {
    for (const QString& local : paths) {
        const QFileInfo info(local);
        if (!info.exists()) {
            ShowError(&frame_, tr("Invalid path."));
            continue;
        }
        QString target = QStringLiteral("0");
        if (!dropFolder.isEmpty()) {
            try {
                target = Wire::fromWire(frame_.ftp().CurrentDirectory());
            } catch (const std::exception& e) {
                frame_.LogMessage(QString::fromUtf8(e.what()).trimmed(), 2);
                return;
            }
            if (!target.endsWith('/')) target += '/';
            target += dropFolder;
        }
        const QString name = info.fileName();
        if (IsQueued(name, local, target)) continue;
        rupdown r;
        r.isDownload = 0;
        r.localPath = local;
        r.remoteFolder = target;
        r.size = info.isDir() ? 0 : info.size();
        r.name = name;
        r.isFolder = info.isDir();
        r.remoteDate = QStringLiteral("?");
        AddItem(r, true);
    }
    if (frame_.Connected() && !busy_) RunSequence(true);
}
