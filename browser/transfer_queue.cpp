// The transfer queue of a browser frame: rows and records, the loop with its error guard, the run
// sequence, the transfer type, the remote lookup, progress, history and the pop-up menu.

#include "browser/transfer_queue.h"

#include "browser/browser_frame.h"
#include "data/app_paths.h"
#include "data/data_module.h"
#include "data/expected_failure.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <climits>

namespace {

constexpr int kImageRole = Qt::UserRole + 1;

// A reply of several lines is logged as one line of the pane.
QString oneLine(const char* text) {
    return QString::fromUtf8(text).simplified();
}

QString upperAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 32);
    }
    return out;
}

} // namespace

TTransferQueue::TTransferQueue(TBrowserFrame& frame, TDataModule& data)
    : frame_(frame), data_(data), menu_(new QMenu(frame.queueList())) {
    transferItem_ = menu_->addAction(tr("Transfer"), this, &TTransferQueue::onTransferClick);
    stopItem_ = menu_->addAction(tr("Stop"), this, &TTransferQueue::onStopClick);
    deleteItem_ = menu_->addAction(tr("Delete"), this, &TTransferQueue::onDeleteClick);
    clearItem_ = menu_->addAction(tr("Clear"), this, &TTransferQueue::onClearClick);
    QTreeWidget* list = frame.queueList();
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        UpdateMenu();
        menu_->popup(frame_.queueList()->viewport()->mapToGlobal(at));
    });

    if (auto* bar = frame.findChild<QToolBar*>(QStringLiteral("browserToolBar"))) {
        // The frame owns the action: the list's menu shows it until the frame is gone.
        downloadAction_ = new QAction(TIcons::Get(TIcon::File), tr("Download..."), &frame);
        bar->insertAction(frame.backAction(), downloadAction_);
        connect(downloadAction_, &QAction::triggered, this, &TTransferQueue::onDownloadClick);
    }

    frame.remoteList()->setAcceptDrops(true);
    frame.remoteList()->viewport()->setAcceptDrops(true);
    frame.remoteList()->viewport()->installEventFilter(this);

    // The engine reports progress for every data connection; only a running queue shows it.
    TNetFTP& ftp = frame.ftp();
    ftp.OnWorkBegin = [this](TNetComponent*, TWorkMode, int64_t maximum) { onWorkBegin(maximum); };
    ftp.OnWork = [this](TNetComponent*, TWorkMode, int64_t count) { onWork(count); };
    // The frame watches the status too: its handler keeps running first.
    ftp.OnStatus = [this, before = ftp.OnStatus](TNetComponent* sender, TNetStatus status,
                                                 const std::string& text) {
        if (before) before(sender, status, text);
        if (status == StatusTransferAborted) transferAborted_ = true;
    };
}

bool TTransferQueue::IsQueued(const QString& name, const QString& localPath,
                              const QString& remoteFolder) const {
    for (const rupdown& r : items_) {
        if (r.name == name && r.localPath == localPath && r.remoteFolder == remoteFolder)
            return true;
    }
    return false;
}

QString TTransferQueue::ExtensionOf(const QString& name) {
    const int dot = name.lastIndexOf('.');
    const int slash = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    if (dot < 0 || dot < slash) return QString();
    return name.mid(dot);
}

void TTransferQueue::AddItem(const rupdown& item, bool fromLocalDrop) {
    items_.push_back(item);
    auto* row = new QTreeWidgetItem;
    row->setData(0, kImageRole, Waiting);
    row->setText(1, item.name);
    row->setIcon(1, TIcons::Get(item.isFolder ? TIcon::Folder : TIcon::File));
    const bool noSize = (item.isFolder && item.isDownload == 1) ||
                        (item.size == 0 && (fromLocalDrop || item.isDownload == 0));
    row->setText(2, noSize ? QString() : QString::number(item.size));
    row->setText(4, AppPaths::join(QFileInfo(item.localPath).path(), QString()));
    frame_.queueList()->addTopLevelItem(row);
}

void TTransferQueue::SkipUnsafeName(const QString& name) {
    frame_.LogMessage(tr("The name \"%1\" is not a plain file name; skipped.").arg(name), 2);
}

QTreeWidgetItem* TTransferQueue::row(int index) const {
    return frame_.queueList()->topLevelItem(index);
}

int TTransferQueue::rowImage(int index) const {
    const QTreeWidgetItem* r = row(index);
    return r ? r->data(0, kImageRole).toInt() : Waiting;
}

void TTransferQueue::setRowImage(int index, int image) {
    QTreeWidgetItem* r = row(index);
    if (!r) return;
    r->setData(0, kImageRole, image);
    if (image == Active)
        r->setIcon(0, TIcons::Get(TIcon::LogSent));
    else if (image == Failed)
        r->setIcon(0, TIcons::Get(TIcon::LogError));
    else
        r->setIcon(0, QIcon());
}

void TTransferQueue::removeFirst() {
    if (items_.empty()) return;
    items_.pop_front();
    delete frame_.queueList()->takeTopLevelItem(0);
}

void TTransferQueue::RemoveAt(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    items_.erase(items_.begin() + index);
    delete frame_.queueList()->takeTopLevelItem(index);
}

void TTransferQueue::Clear() {
    items_.clear();
    frame_.queueList()->clear();
}

void TTransferQueue::ResetConflictAnswer() {
    askOnConflict_ = true;
    conflictAnswer_ = TDuplicateAnswer::Cancel;
}

QString TTransferQueue::SpeedText(double kibPerSecond) {
    return QString::number(kibPerSecond, 'f', 2) + QStringLiteral("KB/S");
}

void TTransferQueue::RunQueue() {
    if (items_.empty()) return;
    if (!busy_) {
        row(0)->setText(3, tr("No connection"));
        setRowImage(0, Failed);
        return;
    }
    asciiKnown_.clear();
    // One item per pass: a long queue never deepens the call stack.
    while (!items_.empty()) {
        bool next = false;
        try {
            frame_.keepAliveTimer()->stop();
            frame_.SetBrowseEnabled(false);
            QCoreApplication::processEvents();
            if (!busy_ || items_.empty()) return;
            runItem();
            next = true;
        } catch (const ENetProtocolReplyError& e) {
            failRun(QStringLiteral("%1:%2").arg(e.ReplyErrorCode).arg(oneLine(e.what())));
        } catch (const std::exception& e) {
            failRun(QString::fromStdString(frame_.ftp().LastReply.TextCode()) + ':' +
                    oneLine(e.what()));
        } catch (...) {
            failRun(QString::fromStdString(frame_.ftp().LastReply.TextCode()) + ':');
        }
        if (!next) return;
    }
}

void TTransferQueue::failRun(const QString& line) {
    transferring_ = false;
    frame_.LogMessage(line + QStringLiteral(", the operation cancel."), 2);
    ResetConflictAnswer();
    setRowImage(0, Failed);
    busy_ = false;
    resetProgress();
    AbortOperation();
    frame_.SetBrowseEnabled(true);
    frame_.keepAliveTimer()->start();
}

void TTransferQueue::runItem() {
    // A copy: the handlers that run during a transfer may change the queue under it.
    rupdown r = items_.front();
    if (r.isDownload == 0) uploadSteps(r);
    if (r.isDownload == 1) {
        // A verified download that is gone has been taken out of the queue already.
        const int before = static_cast<int>(items_.size());
        downloadSteps(r);
        if (static_cast<int>(items_.size()) < before) return;
    }
    removeFirst();
    frame_.keepAliveTimer()->start();
}

void TTransferQueue::resetProgress() {
    emit speedChanged(QStringLiteral("0KB/S"));
    setGauge(gaugeMax_, 0);
    emit progressShown(false);
}

void TTransferQueue::RunSequence(bool refresh) {
    if (busy_) return;
    emit progressShown(true);
    busy_ = true;
    RunQueue();
    ResetConflictAnswer();
    busy_ = false;
    resetProgress();
    if (refresh) {
        const bool listed = IgnoreFailure("a refresh that fails leaves the list as it was; the "
                                          "queue's work is done",
                                          [&] { frame_.onRefreshClick(); });
        if (!listed) frame_.LogMessage(tr("The folder could not be listed again."), 2);
    }
    frame_.SetBrowseEnabled(true);
}

void TTransferQueue::SetTransferTypeFor(const QString& extension) {
    TNetFTP& ftp = frame_.ftp();
    const QString& mode = frame_.settings().transferMode;
    if (mode == QLatin1String("ascii")) {
        ftp.SetTransferType(ftASCII);
    } else if (mode == QLatin1String("binary")) {
        ftp.SetTransferType(ftBinary);
    } else if (mode == QLatin1String("auto")) {
        const QString key = upperAscii(extension.mid(1));
        auto known = asciiKnown_.constFind(key);
        if (known == asciiKnown_.constEnd())
            known = asciiKnown_.insert(key, !key.isEmpty() && data_.IsAsciiExtension(key));
        const bool ascii = known.value();
        ftp.SetTransferType(ascii ? ftASCII : ftBinary);
    }
}

int TTransferQueue::FindRemoteEntry(const QString& name, rtmpinfo& info, bool indexOnly) {
    TNetFTP& ftp = frame_.ftp();
    ftp.ListDirectory(nullptr, std::string(), true);
    const TNetFTPListItems& items = ftp.DirectoryListing();
    const std::string wanted = Wire::toWire(name);
    int index = 0;
    for (const TNetFTPListItem& item : items) {
        if (item.EntryName == wanted) {
            if (!indexOnly) {
                info.size = item.ByteSize;
                info.modified = QString::fromStdString(item.ModifiedAt.ToText());
            }
            return index;
        }
        ++index;
    }
    return -1;
}

void TTransferQueue::setGauge(int64_t maximum, int64_t position) {
    gaugeMax_ = maximum;
    gaugePos_ = position;
    emit progressChanged(maximum, position);
}

void TTransferQueue::onWorkBegin(int64_t maximum) {
    transferStart_.start();
    if (!busy_) return;
    frame_.ResetIdleTicks();
    resumedTransfer_ = resuming_;
    resuming_ = false;
    int64_t top = expectedSize_;
    if (resumedTransfer_)
        top = remainingBytes_;
    else if (maximum > 0)
        top = maximum;
    setGauge(top, 0);
}

void TTransferQueue::onWork(int64_t count) {
    if (!busy_) return;
    frame_.ResetIdleTicks();
    const int64_t total = resumedTransfer_ ? remainingBytes_ : gaugeMax_;
    emit countChanged(QString::number(total) + '/' + QString::number(count));
    setGauge(gaugeMax_, count);
    const double seconds = transferStart_.nsecsElapsed() / 1e9;
    if (seconds > 0) {
        speed_ = count / 1024.0 / seconds;
        emit speedChanged(SpeedText(speed_));
    }
}

void TTransferQueue::startJob() {
    speed_ = 0;
    jobStart_ = QDateTime::currentDateTime();
    jobTimer_.start();
}

void TTransferQueue::finishJob(const QString& otherName) {
    elapsedMs_ = jobTimer_.elapsed();
    jobEnd_ = QDateTime::currentDateTime();
    RecordHistory(0, otherName);
}

void TTransferQueue::RecordHistory(int index, const QString& otherName) {
    const rupdown& r = items_.at(static_cast<size_t>(index));
    HistoryTransfer job;
    job.type = r.isDownload == 1 ? QStringLiteral("Download") : QStringLiteral("Upload");
    const QString other = otherName.isEmpty() ? r.name : otherName;
    if (r.isDownload == 1) {
        job.ftpfile = r.name;
        job.lofile = other;
    } else {
        job.lofile = r.name;
        job.ftpfile = other;
    }
    job.date = jobStart_.toString(QStringLiteral("hh:mm:ss"));
    job.date2 = jobEnd_.toString(QStringLiteral("hh:mm:ss"));
    job.ftppath = r.remoteFolder == QLatin1String("0") ? frame_.currentPath() : r.remoteFolder;
    job.lopath = r.localPath;
    job.usetime = QString::number(elapsedMs_ / 1000.0, 'g', QLocale::FloatingPointShortest);
    job.speed = SpeedText(speed_);
    job.isfolder = r.isFolder;
    const QString day = QLocale::system().toString(QDate::currentDate(), QLocale::LongFormat);
    data_.AppendHistory(frame_.settings().siteId, day, job);
}

void TTransferQueue::changeRemote(const QString& path) {
    TNetFTP& ftp = frame_.ftp();
    ftp.ChangeDirectory(Wire::toWire(path));
    const QString now = Wire::fromWire(ftp.CurrentDirectory());
    frame_.DropCached(now, QString(), 0);
}
