#include "browser/remote_operations.h"

#include "browser/browser_frame.h"
#include "browser/properties_form.h"
#include "browser/remote_list_model.h"
#include "browser/remote_walk.h"
#include "browser/transfer_queue.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"
#include "ui/desktop_service.h"
#include "ui/prompt_service.h"

#include <QDropEvent>
#include <QItemSelectionModel>
#include <QTreeView>
#include <algorithm>

namespace {

// Shows the entries anew after they changed in place.
void showEntries(TBrowserFrame& frame) {
    if (auto* model = qobject_cast<TRemoteListModel*>(frame.remoteList()->model())) model->Reset();
}

// Returns true when `folder` is `root` or lies below one of the folders in `roots`.
bool underAny(const QString& folder, const QSet<QString>& roots) {
    if (roots.isEmpty()) return false;
    // Each ancestor is looked up once, so a large cache costs its depth per entry, not the
    // number of folders gone.
    QString path = folder;
    for (;;) {
        if (roots.contains(path)) return true;
        const int slash = path.lastIndexOf('/');
        if (slash <= 0) return false;
        path.truncate(slash);
    }
}

} // namespace

TRemoteOperations& TRemoteOperations::Of(TBrowserFrame& frame) {
    if (auto* made = frame.findChild<TRemoteOperations*>(QString(), Qt::FindDirectChildrenOnly))
        return *made;
    return *new TRemoteOperations(frame);
}

TRemoteOperations::TRemoteOperations(TBrowserFrame& frame) : QObject(&frame), frame_(frame) {
    if (auto* model = qobject_cast<TRemoteListModel*>(frame.remoteList()->model()))
        // Queued: the rename talks to the server and rebuilds the rows, which must not happen
        // while the view is still committing and closing its editor.
        connect(model, &TRemoteListModel::nameEdited, this, &TRemoteOperations::onNameEdited,
                Qt::QueuedConnection);
    frame.remoteList()->viewport()->installEventFilter(this);
}

QStringList TRemoteOperations::selectedNames() const {
    QModelIndexList rows = frame_.remoteList()->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList names;
    for (const QModelIndex& row : rows) {
        if (row.row() < static_cast<int>(frame_.entries().size()))
            names << frame_.entries()[static_cast<size_t>(row.row())].name;
    }
    return names;
}

const rdatalist* TRemoteOperations::entryNamed(const QString& name) const {
    for (const rdatalist& e : frame_.entries()) {
        if (e.name == name) return &e;
    }
    return nullptr;
}

bool TRemoteOperations::ensureConnected() {
    if (!frame_.Connected()) frame_.ConnectSite(false);
    return frame_.Connected();
}

void TRemoteOperations::refresh() {
    RunLogged(frame_, [this] { frame_.onRefreshClick(); });
    frame_.SetBrowseEnabled(true);
}

void TRemoteOperations::onMakeDirectoryClick() {
    if (!frame_.browseEnabled()) return;
    QString name;
    if (!Prompt().InputText(&frame_, tr("Make new directory"), tr("Name"), name)) name.clear();
    MakeFolder(name);
}

bool TRemoteOperations::MakeFolder(const QString& name) {
    if (name.isEmpty()) return true;
    try {
        if (!frame_.Connected()) frame_.ConnectSite(false);
        TTransferQueue* queue = &frame_.transferQueue();
        if (queue && !queue->ValidateName(name)) return true;
        frame_.ftp().MakeDirectory(Wire::toWire(name));
        frame_.onRefreshClick();
        return true;
    } catch (const std::exception&) {
        frame_.SetBrowseEnabled(frame_.Connected());
        ShowError(&frame_, tr("Can not create folder."));
        return false;
    }
}

void TRemoteOperations::onDeleteClick() {
    if (!frame_.browseEnabled()) return;
    const QStringList names = selectedNames();
    if (names.isEmpty()) return;
    QString question;
    if (names.size() > 1) {
        question = tr("Are you sure to delete the selected files or folders?");
    } else {
        const rdatalist* entry = entryNamed(names.first());
        question = entry && entry->isFolder
                       ? tr("Are you sure to delete the folder <%1> and all files in this folder?")
                       : tr("Are you sure to delete <%1>?");
        question = question.arg(names.first());
    }
    if (!AskYesNo(&frame_, question)) return;
    QStringList lastFirst = names;
    std::reverse(lastFirst.begin(), lastFirst.end());
    DeleteEntries(lastFirst);
}

QStringList TRemoteOperations::DeleteEntries(const QStringList& names) {
    QStringList gone;
    if (!ensureConnected()) return gone;
    QSet<QString> goneFolders;
    const QString here = frame_.currentPath();
    {
        TRemoteWalk walk(frame_);
        TNetFTP& ftp = frame_.ftp();
        for (const QString& name : names) {
            const rdatalist* entry = entryNamed(name);
            const bool isFolder = entry && entry->isFolder;
            const QString path = JoinRemote(here, name);
            const bool done = walk.Run([&] {
                if (isFolder) {
                    deleteTree(walk, path, 1);
                    walk.Enter(here);
                    ftp.RemoveDirectory(Wire::toWire(name));
                } else {
                    walk.Enter(here);
                    ftp.DeleteFile(Wire::toWire(name));
                }
            });
            if (!done) break;
            gone << name;
            if (isFolder) goneFolders.insert(path);
        }
    }
    const QSet<QString> goneNames(gone.begin(), gone.end());
    std::vector<rdatalist> cache = frame_.cache();
    std::erase_if(cache, [&](const rdatalist& e) {
        return (e.folderPath == here && goneNames.contains(e.name)) ||
               underAny(e.folderPath, goneFolders);
    });
    frame_.SetCache(std::move(cache));
    std::vector<rdatalist> entries = frame_.entries();
    std::erase_if(entries, [&](const rdatalist& e) { return goneNames.contains(e.name); });
    frame_.SetEntries(std::move(entries));
    showEntries(frame_);
    frame_.SelectRemoteRow(-1);
    return gone;
}

void TRemoteOperations::deleteTree(TRemoteWalk& walk, const QString& path, int depth) {
    const std::vector<TRemoteItem> items = walk.List(path, depth);
    TNetFTP& ftp = frame_.ftp();
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        // A link is removed as the link it is; what it points to is never entered.
        if (it->isFolder) {
            deleteTree(walk, JoinRemote(path, it->name), depth + 1);
            walk.Enter(path);
            ftp.RemoveDirectory(Wire::toWire(it->name));
        } else {
            walk.Enter(path);
            ftp.DeleteFile(Wire::toWire(it->name));
        }
    }
}

void TRemoteOperations::onRenameClick() {
    if (!frame_.browseEnabled()) return;
    const QModelIndexList rows = frame_.remoteList()->selectionModel()->selectedRows(0);
    if (rows.size() != 1) return;
    frame_.remoteList()->setCurrentIndex(rows.first());
    frame_.remoteList()->edit(rows.first());
}

void TRemoteOperations::onNameEdited(int row, const QString& text) {
    if (!frame_.browseEnabled() || row < 0 || row >= static_cast<int>(frame_.entries().size()))
        return;
    const QString oldName = frame_.entries()[static_cast<size_t>(row)].name;
    TTransferQueue* queue = &frame_.transferQueue();
    if (queue && !queue->ValidateName(text)) return;
    RunLogged(frame_, [&] { RenameEntry(oldName, text); });
}

void TRemoteOperations::RenameEntry(const QString& oldName, const QString& newName) {
    if (!frame_.Connected()) return;
    frame_.ftp().RenameFile(Wire::toWire(oldName), Wire::toWire(newName));
    const QString here = frame_.currentPath();
    bool folder = false;
    std::vector<rdatalist> entries = frame_.entries();
    for (rdatalist& e : entries) {
        if (e.name != oldName) continue;
        e.name = newName;
        folder = e.isFolder;
        if (!folder) e.sortType = e.typeText = Desktop().TypeName(newName);
        break;
    }
    frame_.SetEntries(std::move(entries));
    std::vector<rdatalist> cache = frame_.cache();
    for (rdatalist& e : cache) {
        if (e.folderPath == here && e.name == oldName) {
            e.name = newName;
            break;
        }
    }
    // The listings below a renamed folder carry its old path.
    if (folder) {
        const QSet<QString> old{JoinRemote(here, oldName)};
        std::erase_if(cache, [&](const rdatalist& e) { return underAny(e.folderPath, old); });
    }
    frame_.SetCache(std::move(cache));
    showEntries(frame_);
}

void TRemoteOperations::onMoveClick() {
    if (!frame_.browseEnabled()) return;
    const QStringList names = selectedNames();
    if (names.isEmpty()) return;
    QString answer = frame_.currentPath();
    if (!Prompt().InputText(&frame_, tr("Move Files"), tr("Destination Directory"), answer)) return;
    if (answer.isEmpty() || answer == frame_.currentPath()) return;
    const QString source = JoinRemote(frame_.currentPath(), QString());
    RunLogged(frame_, [&] {
        for (const QString& name : names)
            MoveEntry(name, answer, source);
    });
    frame_.DropCached(QString(), QString(), 1);
    refresh();
}

void TRemoteOperations::DropOnFolder(const QString& folderName) {
    const QStringList names = selectedNames();
    // A folder is never moved into itself.
    if (names.isEmpty() || names.contains(folderName)) return;
    const QString source = JoinRemote(frame_.currentPath(), QString());
    const QString destination = source + folderName;
    RunLogged(frame_, [&] {
        for (const QString& name : names)
            MoveEntry(name, destination, source);
    });
    frame_.DropCached(QString(), QString(), 1);
    refresh();
}

void TRemoteOperations::MoveEntry(const QString& name, QString destinationFolder,
                                  const QString& sourceFolder) {
    if (!destinationFolder.endsWith('/')) destinationFolder += '/';
    TNetFTP& ftp = frame_.ftp();
    ftp.SendCommand("RNFR " + Wire::toWire(sourceFolder + name), {});
    ftp.SendCommand("RNTO " + Wire::toWire(destinationFolder + name), {});
}

bool TRemoteOperations::DropRows(const QObject* source, const QPoint& viewportPos) {
    QTreeView* list = frame_.remoteList();
    // Rows of any other list, even one showing remote names, are no move of ours.
    if (source != list || !frame_.browseEnabled()) return false;
    const QModelIndex at = list->indexAt(viewportPos);
    if (at.isValid() && at.row() < static_cast<int>(frame_.entries().size())) {
        const rdatalist& entry = frame_.entries()[static_cast<size_t>(at.row())];
        if (entry.isFolder) DropOnFolder(entry.name);
    }
    return true;
}

bool TRemoteOperations::eventFilter(QObject* watched, QEvent* event) {
    QTreeView* list = frame_.remoteList();
    if (watched != list->viewport()) return QObject::eventFilter(watched, event);
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    if (drop->source() != list || !frame_.browseEnabled()) return false;
    drop->acceptProposedAction();
    if (type == QEvent::Drop) DropRows(drop->source(), drop->position().toPoint());
    return true;
}

void TRemoteOperations::onPropertiesClick() {
    if (!frame_.browseEnabled()) return;
    const QStringList names = selectedNames();
    if (names.isEmpty()) return;
    std::vector<rdatalist> chosen;
    for (const QString& name : names) {
        if (const rdatalist* e = entryNamed(name)) chosen.push_back(*e);
    }
    TPropertiesForm form(chosen, &frame_);
    if (Prompt().ExecForm(&form) != QDialog::Accepted) return;
    chmodMode = form.mode();
    ChangeMode(names, chmodMode, form.recursive());
}

void TRemoteOperations::ChangeMode(const QStringList& names, int mode, bool recursive) {
    if (!ensureConnected()) return;
    chmodMode = mode;
    const QString here = frame_.currentPath();
    {
        TRemoteWalk walk(frame_);
        TNetFTP& ftp = frame_.ftp();
        for (const QString& name : names) {
            const rdatalist* entry = entryNamed(name);
            const bool isFolder = entry && entry->isFolder;
            const bool done = walk.Run([&] {
                // The children first: a mode without the owner's execute bit would otherwise
                // lock the walk out of the folder it just changed.
                if (recursive && isFolder) chmodTree(walk, JoinRemote(here, name), 1);
                walk.Enter(here);
                ftp.SendCommand("SITE CHMOD " + std::to_string(mode) + ' ' + Wire::toWire(name),
                                {});
            });
            if (!done) break;
        }
    }
    refresh();
}

void TRemoteOperations::chmodTree(TRemoteWalk& walk, const QString& path, int depth) {
    const std::vector<TRemoteItem> items = walk.List(path, depth);
    frame_.DropCached(path, QString(), 0);
    TNetFTP& ftp = frame_.ftp();
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        // The server changes what a link points to, which may lie outside the tree.
        if (it->isLink) continue;
        if (it->isFolder) chmodTree(walk, JoinRemote(path, it->name), depth + 1);
        walk.Enter(path);
        ftp.SendCommand("SITE CHMOD " + std::to_string(chmodMode) + ' ' + Wire::toWire(it->name),
                        {});
    }
}
