// The upload and download steps of one queue item, and the guarded engine transfers they use.

#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"
#include "data/app_paths.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"
#include "ftp/ftp_digest.h"
#include "ui/prompt_service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

void TTransferQueue::verifiedOrRetried(const std::function<void()>& attempt,
                                       const std::function<void()>& fromStart) {
    try {
        attempt();
    } catch (const ENetTransferVerifyError& e) {
        // A copy that differs from the server's is made once more from its first byte; a
        // second difference fails the job.
        frame_.LogMessage(
            QString::fromStdString(e.what()) + tr(" Trying once more from the start."), 2);
        fromStart();
    }
}

void TTransferQueue::storeFile(const QString& localFile, const QString& remoteName) {
    transferring_ = true;
    stopRequested_ = false;
    transferAborted_ = false;
    try {
        const auto store = [&] {
            frame_.ftp().StoreFile(Wire::toWire(localFile), Wire::toWire(remoteName), false);
        };
        verifiedOrRetried(store, store);
    } catch (...) {
        transferring_ = false;
        throw;
    }
    transferring_ = false;
    if (stopRequested_ || transferAborted_) throw ENetException("Transfer aborted");
}

void TTransferQueue::retrieve(const QString& remoteName, const QString& localFile, bool overwrite,
                              bool resume) {
    transferring_ = true;
    stopRequested_ = false;
    transferAborted_ = false;
    const bool existed = QFileInfo::exists(localFile);
    try {
        const std::string remote = Wire::toWire(remoteName), local = Wire::toWire(localFile);
        verifiedOrRetried([&] { frame_.ftp().Retrieve(remote, local, overwrite, resume); },
                          [&] { frame_.ftp().Retrieve(remote, local, true, false); });
    } catch (...) {
        transferring_ = false;
        resuming_ = false;
        // A refused RETR leaves the empty file the attempt made; it would only raise a
        // duplicate question on the retry. Received bytes are kept.
        if (!existed && QFileInfo(localFile).size() == 0) QFile::remove(localFile);
        throw;
    }
    transferring_ = false;
    resuming_ = false;
    // The bytes received stay in the local file for a later Resume; the job is not done.
    if (stopRequested_ || transferAborted_) throw ENetException("Transfer aborted");
}

void TTransferQueue::uploadSteps(rupdown& r) {
    TNetFTP& ftp = frame_.ftp();
    if (r.remoteFolder != QLatin1String("0")) {
        // A relative remote folder is taken from the login folder.
        ftp.ChangeDirectory(Wire::toWire(frame_.homePath()));
        changeRemote(r.remoteFolder);
    }
    row(0)->setText(3, tr("Uploading...(") + frame_.settings().transferMode + ')');
    setRowImage(0, Active);
    rtmpinfo info;
    info.name = r.localPath;
    const QString source = AppPaths::join(r.localPath, QString());
    if (r.isFolder) {
        info.otherSize = 0;
        const QString folder = QFileInfo(r.localPath).fileName();
        if (FindRemoteEntry(r.name, info, false) < 0) {
            startJob();
            ftp.MakeDirectory(Wire::toWire(folder));
            ftp.ChangeDirectory(Wire::toWire(folder));
            UploadTree(source);
            finishJob();
            return;
        }
        switch (ResolveDuplicate(info, true, false)) {
        case TDuplicateAnswer::Rename:
            startJob();
            ftp.MakeDirectory(Wire::toWire(newName_));
            ftp.ChangeDirectory(Wire::toWire(newName_));
            UploadTree(source);
            finishJob(newName_);
            break;
        case TDuplicateAnswer::Overwrite:
            startJob();
            changeRemote(folder);
            UploadTree(source);
            finishJob();
            break;
        default:
            break;
        }
        return;
    }
    SetTransferTypeFor(ExtensionOf(r.name));
    info.otherSize = r.size;
    expectedSize_ = r.size;
    if (FindRemoteEntry(r.name, info, false) < 0) {
        startJob();
        storeFile(r.localPath, r.name);
        finishJob();
        return;
    }
    switch (ResolveDuplicate(info, false, false)) {
    case TDuplicateAnswer::Overwrite:
        startJob();
        storeFile(r.localPath, r.name);
        finishJob();
        break;
    case TDuplicateAnswer::Rename:
        startJob();
        storeFile(r.localPath, newName_);
        finishJob(newName_);
        break;
    default:
        break;
    }
}

void TTransferQueue::downloadSteps(rupdown& r) {
    TNetFTP& ftp = frame_.ftp();
    if (r.remoteFolder != QLatin1String("0")) ftp.ChangeDirectory(Wire::toWire(r.remoteFolder));
    rtmpinfo info;
    if (r.verifyRemote && FindRemoteEntry(r.name, info, true) < 0) {
        ShowError(&frame_, tr("The file %1 was not exists.").arg(r.name));
        removeFirst();
        return;
    }
    // A remote name is only ever one plain component of a local path.
    if (!Wire::IsPlainName(r.name)) {
        SkipUnsafeName(r.name);
        return;
    }
    row(0)->setText(3, tr("Downloading...(") + frame_.settings().transferMode + ')');
    setRowImage(0, Active);
    info.modified = r.remoteDate;
    if (r.isFolder) {
        // The local folder is the existing target: its figures and a renamed sibling are
        // looked up beside it, not in whatever folder the process happens to be in.
        info.name = r.localPath;
        if (!QFileInfo(r.localPath).isDir()) {
            startJob();
            DownloadTree(r.name, r.localPath, TTreeMode::Create, QString());
            finishJob();
            return;
        }
        switch (ResolveDuplicate(info, true, true)) {
        case TDuplicateAnswer::Rename:
            startJob();
            DownloadTree(r.name, r.localPath, TTreeMode::Rename, newName_);
            finishJob(newName_);
            break;
        case TDuplicateAnswer::Overwrite:
            startJob();
            DownloadTree(r.name, r.localPath, TTreeMode::Overwrite, QString());
            finishJob();
            break;
        default:
            break;
        }
        return;
    }
    expectedSize_ = r.size != 0 ? r.size : ftp.FileSize(Wire::toWire(r.name));
    SetTransferTypeFor(ExtensionOf(r.name));
    info.name = r.localPath;
    info.size = r.size;
    if (!QFileInfo::exists(r.localPath)) {
        startJob();
        retrieve(r.name, r.localPath, false, false);
        finishJob();
        return;
    }
    switch (ResolveDuplicate(info, false, true)) {
    case TDuplicateAnswer::Overwrite:
        startJob();
        retrieve(r.name, r.localPath, true, false);
        finishJob();
        break;
    case TDuplicateAnswer::Resume:
        startJob();
        ftp.SendCommand("REST " + std::to_string(resumeOffset_), {});
        resuming_ = true;
        retrieve(r.name, r.localPath, false, true);
        finishJob();
        break;
    case TDuplicateAnswer::Rename:
        startJob();
        retrieve(r.name, AppPaths::join(QFileInfo(r.localPath).path(), newName_), false, false);
        finishJob(newName_);
        break;
    default:
        break;
    }
}
