// Running a task: its site's browser page is opened or shown, every entry of the task becomes a
// queue entry there, and the page's queue is started. A task queues its entries each time it
// runs, queued already or not.

#include "tasks/task_page.h"

#include "data/app_paths.h"
#include "data/data_module.h"
#include "data/wire_text.h"
#include "ui/prompt_service.h"
#include "ui/session_host.h"
#include "ui/window_pump.h"

#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

void TTaskPage::onExecuteClick() {
    const rtask* node = RecordOf(selectedNode());
    if (!node) return;
    // A copy: opening the session pumps window messages, and a refresh or a delete run
    // meanwhile frees the record the node points to.
    const rtask task = *node;
    host_.OpenSession(task.ftp, false);
    if (!host_.HasActiveSession()) return;
    if (IsDownloadType(task.type))
        runDownloads(task);
    else
        runUploads(task);
}

void TTaskPage::runUploads(const rtask& task) {
    TLoopSlice slice;
    for (const TaskEntry& e : dataModule_.LoadTaskEntries(task.taskId, [&] { slice.Tick(); })) {
        slice.Tick();
        const QString path = e.local + e.files;
        const QFileInfo info(path);
        const bool present = e.isfolder ? info.isDir() : info.isFile();
        if (!Wire::IsPlainName(e.files) || !present) {
            ShowError(this, tr("The file %1 was not exists.").arg(path));
            continue;
        }
        rupdown r;
        r.isDownload = 0;
        r.localPath = path;
        r.remoteFolder = e.ftp;
        r.isFolder = e.isfolder;
        r.size = e.isfolder ? 0 : info.size();
        r.name = e.files;
        host_.QueueTransfer(r, false);
    }
    host_.StartTransfers(true);
}

void TTaskPage::runDownloads(const rtask& task) {
    TLoopSlice slice;
    for (const TaskEntry& e : dataModule_.LoadTaskEntries(task.taskId, [&] { slice.Tick(); })) {
        slice.Tick();
        // Everything a task downloads stays inside the entry's own absolute folder.
        if (!Wire::IsPlainName(e.files)) {
            ShowError(this, tr("The local name %1 is not a plain file name.").arg(e.files));
            continue;
        }
        if (!QDir::isAbsolutePath(e.local) || !QDir().mkpath(e.local)) {
            ShowError(
                this,
                tr("Can not create the folder %1, please check and enter again.").arg(e.local));
            continue;
        }
        rupdown r;
        r.isDownload = 1;
        r.isFolder = e.isfolder;
        r.remoteFolder = e.ftp;
        r.localPath = JoinPath(e.local, e.files);
        r.size = 0;
        r.name = e.files;
        r.remoteDate = QStringLiteral("?");
        r.verifyRemote = true;
        host_.QueueTransfer(r, false);
    }
    // Once: a second start right after the first would retry a failed entry at once.
    host_.StartTransfers(false);
}
