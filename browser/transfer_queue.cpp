// The transfer queue of a browser frame: rows and records, the loop with its error guard, the run
// sequence, the transfer type, the remote lookup, progress, history and the pop-up menu.

#include "browser/transfer_queue.h"

#include "browser/browser_frame.h"
#include "data/data_module.h"
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

std::string wire(const QString& text) {
    return text.toUtf8().toStdString();
}

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

TTransferQueue* TTransferQueue::Find(const TBrowserFrame& frame) {
    return frame.findChild<TTransferQueue*>(QString(), Qt::FindDirectChildrenOnly);
}

TTransferQueue& TTransferQueue::Of(TBrowserFrame& frame, TDataModule& data) {
    if (TTransferQueue* queue = Find(frame)) return *queue;
    return *new TTransferQueue(frame, data);
}

TTransferQueue::TTransferQueue(TBrowserFrame& frame, TDataModule& data)
    : QObject(&frame), frame_(frame), data_(data), menu_(new QMenu(frame.queueList())) {
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
        downloadAction_ = new QAction(TIcons::Get(TIcon::File), tr("Download..."), this);
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

QString TTransferQueue::queueKey(const QString& name, const QString& localPath,
                                 const QString& remoteFolder) {
    // NUL appears in none of the three texts, so the joined key is unambiguous.
    return name + QChar(0) + localPath + QChar(0) + remoteFolder;
}

void TTransferQueue::syncQueuedKeys() const {
    if (keyedCount_ == frame_.queue.size()) return;
    queuedKeys_.clear();
    for (const rupdown& r : frame_.queue)
        ++queuedKeys_[queueKey(r.name, r.localPath, r.remoteFolder)];
    keyedCount_ = frame_.queue.size();
}

bool TTransferQueue::IsQueued(const QString& name, const QString& localPath,
                              const QString& remoteFolder) const {
    syncQueuedKeys();
    return queuedKeys_.contains(queueKey(name, localPath, remoteFolder));
}

QString TTransferQueue::ExtensionOf(const QString& name) {
    const int dot = name.lastIndexOf('.');
    const int slash = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    if (dot < 0 || dot < slash) return QString();
    return name.mid(dot);
}

QString TTransferQueue::JoinPath(const QString& folder, const QString& name) {
    QString path = folder;
    if (!path.endsWith(QDir::separator())) path += QDir::separator();
    return path + name;
}

bool TTransferQueue::IsPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains('/') && !name.contains('\\');
}

void TTransferQueue::AddItem(const rupdown& item, bool fromLocalDrop) {
    syncQueuedKeys();
    frame_.queue.push_back(item);
    ++queuedKeys_[queueKey(item.name, item.localPath, item.remoteFolder)];
    ++keyedCount_;
    auto* row = new QTreeWidgetItem;
    row->setData(0, kImageRole, Waiting);
    row->setText(1, item.name);
    row->setIcon(1, TIcons::Get(item.isFolder ? TIcon::Folder : TIcon::File));
    const bool noSize = (item.isFolder && item.isDownload == 1) ||
                        (item.size == 0 && (fromLocalDrop || item.isDownload == 0));
    row->setText(2, noSize ? QString() : QString::number(item.size));
    row->setText(4, JoinPath(QFileInfo(item.localPath).path(), QString()));
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
    if (frame_.queue.empty()) return;
    syncQueuedKeys();
    const rupdown& first = frame_.queue.front();
    auto key = queuedKeys_.find(queueKey(first.name, first.localPath, first.remoteFolder));
    if (key != queuedKeys_.end() && --key.value() == 0) queuedKeys_.erase(key);
    --keyedCount_;
    frame_.queue.erase(frame_.queue.begin());
    delete frame_.queueList()->takeTopLevelItem(0);
}

void TTransferQueue::RunQueue() {
    if (frame_.queue.empty()) return;
    if (!frame_.busy) {
        row(0)->setText(3, tr("No connection"));
        setRowImage(0, Failed);
        return;
    }
    asciiKnown_.clear();
    // One item per pass: a long queue never deepens the call stack.
    while (!frame_.queue.empty()) {
        bool next = false;
        try {
            frame_.keepAliveTimer()->stop();
            frame_.SetBrowseEnabled(false);
            QCoreApplication::processEvents();
            if (!frame_.busy || frame_.queue.empty()) return;
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
    frame_.askOnConflict = true;
    frame_.conflictChoice = -1;
    setRowImage(0, Failed);
    frame_.busy = false;
    resetProgress();
    AbortOperation();
    frame_.SetBrowseEnabled(true);
    frame_.keepAliveTimer()->start();
}

void TTransferQueue::runItem() {
    // A copy: the handlers that run during a transfer may change the queue under it.
    rupdown r = frame_.queue.front();
    if (r.isDownload == 0) uploadSteps(r);
    if (r.isDownload == 1) {
        // A verified download that is gone has been taken out of the queue already.
        const int before = static_cast<int>(frame_.queue.size());
        downloadSteps(r);
        if (static_cast<int>(frame_.queue.size()) < before) return;
    }
    removeFirst();
    frame_.keepAliveTimer()->start();
}

void TTransferQueue::resetProgress() {
    frame_.speedLabel()->setText(QStringLiteral("0KB/S"));
    setGauge(gaugeMax_, 0);
    frame_.progressPanel()->setVisible(false);
}

void TTransferQueue::RunSequence(bool refresh) {
    if (frame_.busy) return;
    frame_.progressPanel()->setVisible(true);
    frame_.busy = true;
    RunQueue();
    frame_.askOnConflict = true;
    frame_.conflictChoice = -1;
    frame_.busy = false;
    frame_.speedLabel()->setText(QStringLiteral("0KB/S"));
    setGauge(gaugeMax_, 0);
    frame_.progressPanel()->setVisible(false);
    if (refresh) {
        try {
            frame_.onRefreshClick();
        } catch (...) {
            // A refresh that fails leaves the list as it was; the queue's work is done.
        }
    }
    frame_.SetBrowseEnabled(true);
}

void TTransferQueue::SetTransferTypeFor(const QString& extension) {
    TNetFTP& ftp = frame_.ftp();
    const QString& mode = frame_.transferMode;
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
    const std::string wanted = wire(name);
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
    // The gauge counts in int; past its range it counts in larger steps.
    const int64_t step = maximum > INT_MAX ? maximum / INT_MAX + 1 : 1;
    QProgressBar* gauge = frame_.progressGauge();
    gauge->setMaximum(static_cast<int>(std::max<int64_t>(maximum / step, 0)));
    gauge->setValue(static_cast<int>(std::min(position, std::max<int64_t>(maximum, 0)) / step));
}

void TTransferQueue::onWorkBegin(int64_t maximum) {
    transferStart_.start();
    if (!frame_.busy) return;
    frame_.idleTicks = 0;
    resumedTransfer_ = resuming_;
    resuming_ = false;
    int64_t top = expectedSize;
    if (resumedTransfer_)
        top = remainingBytes;
    else if (maximum > 0)
        top = maximum;
    setGauge(top, 0);
}

void TTransferQueue::onWork(int64_t count) {
    if (!frame_.busy) return;
    frame_.idleTicks = 0;
    const int64_t total = resumedTransfer_ ? remainingBytes : gaugeMax_;
    frame_.countPanel()->setText(QString::number(total) + '/' + QString::number(count));
    setGauge(gaugeMax_, count);
    const double seconds = transferStart_.nsecsElapsed() / 1e9;
    if (seconds > 0) {
        frame_.speedLabel()->setText(QString::number(count / 1024.0 / seconds, 'f', 2) +
                                     QStringLiteral("KB/S"));
    }
}

void TTransferQueue::startJob() {
    jobStart = QDateTime::currentDateTime();
    jobTimer_.start();
}

void TTransferQueue::finishJob(const QString& otherName) {
    elapsedMs = jobTimer_.elapsed();
    jobEnd = QDateTime::currentDateTime();
    RecordHistory(0, otherName);
}

void TTransferQueue::RecordHistory(int index, const QString& otherName) {
    const rupdown& r = frame_.queue.at(static_cast<size_t>(index));
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
    job.date = jobStart.toString(QStringLiteral("hh:mm:ss"));
    job.date2 = jobEnd.toString(QStringLiteral("hh:mm:ss"));
    job.ftppath = r.remoteFolder == QLatin1String("0") ? frame_.currentPath : r.remoteFolder;
    job.lopath = r.localPath;
    job.usetime = QString::number(elapsedMs / 1000.0, 'g', QLocale::FloatingPointShortest);
    job.speed = frame_.speedLabel()->text();
    job.isfolder = r.isFolder;
    const QString day = QLocale::system().toString(QDate::currentDate(), QLocale::LongFormat);
    data_.AppendHistory(frame_.siteId, day, job);
}

void TTransferQueue::changeRemote(const QString& path) {
    TNetFTP& ftp = frame_.ftp();
    ftp.ChangeDirectory(wire(path));
    const QString now = QString::fromUtf8(ftp.CurrentDirectory());
    frame_.DropCached(now, QString(), 0);
}
