// The local page's transfers: "Upload" of the selected items to the active browser page, and
// drops of that page's remote entries on the local list.

#include "local/local_page.h"

#include "data/app_paths.h"
#include "data/wire_text.h"
#include "local/local_list_model.h"
#include "ui/prompt_service.h"
#include "ui/session_host.h"
#include "ui/styled_list_view.h"

#include <QAbstractItemView>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

namespace {

// Only rows dragged from a list of another part of the window (a browser page's remote list)
// are taken; our own rows and files from elsewhere are not remote entries.
bool fromRemoteList(const QDropEvent* drop, const TStyledListView* own) {
    auto* source = qobject_cast<QAbstractItemView*>(drop->source());
    return source && !own->isAncestorOf(source) && !drop->mimeData()->hasUrls();
}

} // namespace

void TLocalPage::onUploadClick() {
    if (!host_.HasActiveSession()) return;
    for (const QString& path : selectedPaths()) {
        const QFileInfo info(path);
        if (!info.isDir() && !info.isFile()) {
            ShowError(this, tr("Invalid path."));
            continue;
        }
        rupdown r;
        r.isDownload = 0;
        r.isFolder = info.isDir();
        r.localPath = path;
        r.remoteFolder = QStringLiteral("0");
        r.size = info.isDir() ? 0 : info.size();
        r.name = info.fileName();
        host_.QueueTransfer(r, true);
    }
    host_.StartTransfers(true);
}

void TLocalPage::DropRemoteEntries(int row) {
    QString folder = root();
    if (row >= 0 && row < static_cast<int>(model_->entries().size())) {
        const TLocalListModel::Entry& e = model_->entries()[static_cast<size_t>(row)];
        // A drop on a file lands in the file's folder.
        folder = e.isFolder ? e.path : QFileInfo(e.path).absolutePath();
    }
    if (folder == TLocalListModel::kVirtualRoot || !QFileInfo(folder).isDir()) {
        ShowError(this, tr("Invalid path."));
        return;
    }
    if (!host_.HasActiveSession()) return;
    for (const TRemoteEntry& e : host_.ActiveRemoteSelection()) {
        // A server's name becomes part of a local path only as one plain component.
        if (!Wire::IsPlainName(e.name)) continue;
        rupdown r;
        r.isDownload = 1;
        r.isFolder = e.isFolder;
        r.size = e.size;
        r.remoteFolder = QStringLiteral("0");
        r.localPath = JoinPath(folder, e.name);
        r.name = e.name;
        r.remoteDate = e.modified;
        r.verifyRemote = false;
        host_.QueueTransfer(r, true);
    }
    if (host_.RunTransfersNow()) RefreshList();
}

bool TLocalPage::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QWidget::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    if (!fromRemoteList(drop, views_)) return QWidget::eventFilter(watched, event);
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        const QModelIndex at = views_->activeView()->indexAt(drop->position().toPoint());
        DropRemoteEntries(at.isValid() ? at.row() : -1);
    }
    return true;
}
