// Running a recorded transfer again: the site's browser page is opened or shown and the transfer
// is handed to its queue.

#include "history/history_page.h"

#include "data/app_paths.h"
#include "data/data_module.h"
#include "data/wire_text.h"
#include "ui/prompt_service.h"
#include "ui/session_host.h"

#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

void THistoryPage::onExecuteClick() {
    const rhd* node = RecordOf(tree_->currentItem());
    if (!node) return;
    // A copy: opening the session pumps window messages, and a "Clear historys" or a refresh
    // run meanwhile empties the item list the node points into.
    const rhd job = *node;
    std::optional<SiteRecord> site;
    for (const SiteRecord& s : dataModule_.LoadSites()) {
        if (s.id == job.siteId) {
            site = s;
            break;
        }
    }
    if (!site) {
        ShowError(this, tr("Can not read the information of the FTP site."));
        return;
    }
    host_.OpenSession(site->name, false);
    if (!host_.HasActiveSession()) return;
    if (job.type != QLatin1String("Download"))
        rerunUpload(job);
    else
        rerunDownload(job);
}

void THistoryPage::rerunUpload(const rhd& job) {
    const QFileInfo local(job.lopath);
    const bool present = job.isfolder ? local.isDir() : local.isFile();
    if (job.lopath.isEmpty() || !present) {
        ShowError(this, tr("The file %1 was not exists.").arg(job.lopath));
        return;
    }
    rupdown r;
    r.isDownload = 0;
    r.localPath = job.lopath;
    r.remoteFolder = job.ftppath;
    r.size = job.isfolder ? 0 : local.size();
    r.name = local.fileName();
    r.isFolder = job.isfolder;
    if (!host_.QueueTransfer(r, true)) return;
    host_.StartTransfers(true);
}

void THistoryPage::rerunDownload(const rhd& job) {
    const QFileInfo local(job.lopath);
    // The stored local name is joined to the recorded folder: it must be one plain name, or
    // the download would land outside that folder.
    if (!local.isAbsolute() || !Wire::IsPlainName(job.lofile)) {
        ShowError(this, tr("The local name %1 is not a plain file name.").arg(job.lofile));
        return;
    }
    const QString folder = local.path();
    if (!QDir().mkpath(folder)) {
        ShowError(
            this,
            tr("Can not create the folder %1, please check and enter again.").arg(job.lopath));
        return;
    }
    rupdown r;
    r.isDownload = 1;
    r.remoteFolder = job.ftppath;
    r.localPath = JoinPath(folder, job.lofile);
    r.size = 0;
    r.name = job.ftpfile;
    r.isFolder = job.isfolder;
    r.remoteDate = QStringLiteral("?");
    r.verifyRemote = true;
    if (!host_.QueueTransfer(r, true)) return;
    host_.StartTransfers(false);
}
