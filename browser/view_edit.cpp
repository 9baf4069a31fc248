#include "browser/view_edit.h"

#include "browser/browser_frame.h"
#include "browser/remote_walk.h"
#include "browser/transfer_queue.h"
#include "data/app_paths.h"
#include "data/data_module.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"
#include "ui/desktop_service.h"
#include "ui/prompt_service.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTreeView>

TViewEdit& TViewEdit::Of(TBrowserFrame& frame) {
    if (auto* made = frame.findChild<TViewEdit*>(QString(), Qt::FindDirectChildrenOnly))
        return *made;
    return *new TViewEdit(frame);
}

TViewEdit::TViewEdit(TBrowserFrame& frame) : QObject(&frame), frame_(frame) {}

QString TViewEdit::CopyFolder() {
    if (!copyFolder_.isEmpty() && QFileInfo(copyFolder_).isDir()) return copyFolder_;
    QString base = frame_.settings().tempPath;
    if (base.isEmpty() || !QFileInfo(base).isDir()) {
        base = AppPaths(frame_.dataModule().programFolder()).file(QStringLiteral("temp"));
        QDir().mkpath(base);
    }
    // A new folder of our own: a copy can never replace or delete a file the user keeps in
    // the temporary folder, nor one of another page.
    QTemporaryDir made(AppPaths::join(base, frame_.objectName() + QStringLiteral("-XXXXXX")));
    if (!made.isValid()) return QString();
    made.setAutoRemove(false);
    copyFolder_ = made.path();
    return copyFolder_;
}

bool TViewEdit::TransferOne(const QString& remotePath, const QString& localPath, bool upload,
                            int64_t size) {
    TTransferQueue* queue = &frame_.transferQueue();
    if (!queue || frame_.transferQueue().busy() || !frame_.browseEnabled() || !frame_.Connected())
        return false;
    frame_.SetBrowseEnabled(false);
    frame_.progressPanel()->setVisible(true);
    frame_.transferQueue().SetBusy(true);
    const bool done = RunLogged(frame_, [&] {
        queue->SetTransferTypeFor(TTransferQueue::ExtensionOf(remotePath));
        TNetFTP& ftp = frame_.ftp();
        if (upload) {
            queue->SetExpectedSize(QFileInfo(localPath).size());
            ftp.StoreFile(Wire::toWire(localPath), Wire::toWire(remotePath), false);
        } else {
            queue->SetExpectedSize(size);
            ftp.Retrieve(Wire::toWire(remotePath), Wire::toWire(localPath), true, false);
        }
    });
    frame_.transferQueue().SetBusy(false);
    frame_.progressPanel()->setVisible(false);
    frame_.SetBrowseEnabled(true);
    if (!done) {
        if (upload) frame_.LogMessage(tr("Transfer failed!"), 2);
        RunLogged(frame_, [this] { frame_.onRefreshClick(); });
        frame_.SetBrowseEnabled(true);
    }
    return done;
}

QString TViewEdit::fetchSelected(QString& remotePath) {
    const QModelIndexList rows = frame_.remoteList()->selectionModel()->selectedRows(0);
    if (rows.size() != 1 || rows.first().row() >= static_cast<int>(frame_.entries().size()))
        return QString();
    const rdatalist entry = frame_.entries()[static_cast<size_t>(rows.first().row())];
    if (entry.isFolder) return QString();
    // A listed name becomes a local file name only as one plain path component.
    if (!Wire::IsPlainName(entry.name)) {
        frame_.LogMessage(tr("Skipped \"%1\": not a plain file name.").arg(entry.name), 2);
        return QString();
    }
    const QString folder = CopyFolder();
    if (folder.isEmpty()) {
        ShowError(&frame_, tr("Can not create the folder for local copies."));
        return QString();
    }
    const QString local = AppPaths::join(folder, entry.name);
    remotePath = JoinRemote(frame_.currentPath(), entry.name);
    frame_.AddTempFile(local);
    if (!TransferOne(remotePath, local, false, entry.size)) return QString();
    return local;
}

void TViewEdit::openCopy(const QString& localPath) {
    if (Desktop().OpenFile(localPath)) return;
    const QString editor = Desktop().FindTextEditor();
    if (editor.isEmpty() || !Desktop().StartProgram(editor, localPath))
        frame_.LogMessage(tr("No program opens %1.").arg(localPath), 2);
}

void TViewEdit::onViewClick() {
    QString remotePath;
    const QString local = fetchSelected(remotePath);
    if (!local.isEmpty()) openCopy(local);
}

void TViewEdit::onEditClick() {
    QString remotePath;
    const QString local = fetchSelected(remotePath);
    if (local.isEmpty()) return;
    std::optional<QString> editor;
    const QString extension = TTransferQueue::ExtensionOf(QFileInfo(local).fileName());
    try {
        if (!extension.isEmpty()) editor = frame_.dataModule().FindEditor(extension);
    } catch (const std::exception& e) {
        frame_.LogMessage(Wire::fromWire(e.what()), 2);
    }
    if (editor && !editor->isEmpty()) {
        if (!Desktop().StartProgram(*editor, local))
            frame_.LogMessage(tr("Can not start %1.").arg(*editor), 2);
    } else {
        openCopy(local);
    }
    const PromptAnswer answer =
        Prompt().Message(&frame_, PromptKind::Confirmation,
                         tr("Click OK to re-upload edited file, or click Cancel to abort."),
                         PromptButtons::OkCancel);
    if (answer == PromptAnswer::Ok) TransferOne(remotePath, local, true, 0);
}
