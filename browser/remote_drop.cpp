// Local files dropped on the remote list become uploads. Rows dragged from the remote list itself
// are a remote move, which this filter leaves to the list.

#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

namespace {

// The local paths a drop carries, when it comes from one of our own lists other than the
// remote list.
QStringList localPaths(const QDropEvent* drop, const QObject* remoteList) {
    QStringList paths;
    if (!drop->source() || drop->source() == remoteList) return paths;
    for (const QUrl& url : drop->mimeData()->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

bool TTransferQueue::eventFilter(QObject* watched, QEvent* event) {
    QTreeView* list = frame_.remoteList();
    if (watched != list->viewport()) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (localPaths(drag, list).isEmpty()) return false;
        drag->acceptProposedAction();
        return true;
    }
    if (event->type() != QEvent::Drop) return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList paths = localPaths(drop, list);
    if (paths.isEmpty()) return false;
    drop->acceptProposedAction();
    QString folder;
    const QModelIndex at = list->indexAt(drop->position().toPoint());
    if (at.isValid() && at.row() < static_cast<int>(frame_.entries().size())) {
        const rdatalist& entry = frame_.entries()[static_cast<size_t>(at.row())];
        if (entry.isFolder) folder = entry.name;
    }
    DropLocalFiles(paths, folder);
    return true;
}
