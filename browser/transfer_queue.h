#pragma once
// The transfer queue of one browser frame: the queue list's rows and records, the loop that works
// through them one after another (single files and whole folder trees, both directions), the
// question about existing targets, progress and speed, the history of finished jobs, the queue's
// pop-up menu and the drop of local files on the remote list. Each frame owns one queue; the
// queue owns its items, its busy flag and the answers remembered for a run, and tells the frame
// what to show through its signals.

#include "browser/browser_records.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>

class QMenu;
class QAction;
class QTreeWidgetItem;
class TBrowserFrame;
class TDataModule;

// The file information the loop hands to the duplicate question: the existing target's path, the
// remote entry's size and time, and for uploads the local file's size.
struct rtmpinfo {
    QString name;
    int64_t size = 0;
    QString modified;
    int64_t otherSize = 0;
};

// What to do with a target that exists already.
enum class TDuplicateAnswer { Rename, Cancel, Overwrite, Skip, Append, Resume };

// How a folder tree download treats its local folder.
enum class TTreeMode { Create, Rename, Overwrite };

class TTransferQueue : public QObject {
    Q_OBJECT
public:
    // Row images of the state column.
    enum RowImage { Waiting = -1, Active = 0, Failed = 1 };

    // Requires a frame that outlives the queue (the frame owns it); `data` outlives both.
    TTransferQueue(TBrowserFrame& frame, TDataModule& data);

    // The items, in the order they run; they leave from the front, one by one, also in a queue
    // of many thousands.
    const std::deque<rupdown>& items() const { return items_; }
    bool empty() const { return items_.empty(); }
    // True while a run of the queue (or another command of the page that must not overlap one)
    // is going on.
    bool busy() const { return busy_; }
    void SetBusy(bool busy) { busy_ = busy; }
    // The remembered "all" answer of the duplicate question: asked again when `askOnConflict`.
    bool askOnConflict() const { return askOnConflict_; }
    TDuplicateAnswer conflictAnswer() const { return conflictAnswer_; }
    // Forgets the "all" answer, as at the end of every run.
    void ResetConflictAnswer();
    // Empties the items and their rows.
    void Clear();
    // Removes item `index` and its row.
    void RemoveAt(int index);

    // Returns true when a queued record has exactly this name, local path and remote folder.
    bool IsQueued(const QString& name, const QString& localPath, const QString& remoteFolder) const;
    // Appends `item` to the frame's queue with its row. `fromLocalDrop` leaves the size cell
    // empty for a size of 0.
    void AddItem(const rupdown& item, bool fromLocalDrop = false);
    // Works through the queue until it is empty or an item fails. Requires `busy` set by the
    // caller; without it the first row is marked "No connection". Raises nothing: failures go
    // through the error guard.
    void RunQueue();
    // The run sequence: when not busy, shows progress, runs the queue, resets the conflict
    // answers, hides progress, refreshes the remote list when asked, enables browsing.
    void RunSequence(bool refresh);
    // Chooses ASCII or binary for the next transfer from the transfer mode and `extension`
    // (with its dot).
    void SetTransferTypeFor(const QString& extension);
    // Lists the current remote folder and returns the index of `name` (exact match) or -1;
    // unless `indexOnly`, fills info.size and info.modified. Raises the engine's errors.
    int FindRemoteEntry(const QString& name, rtmpinfo& info, bool indexOnly);
    // Uploads the contents of `localFolder` into the server's current folder, then goes one
    // remote level up. Raises the engine's errors.
    void UploadTree(const QString& localFolder);
    // Downloads remote folder `remoteName` (in the current remote folder) into `localFolder`
    // (Rename mode: into `newName` beside it). Raises the engine's and the file system's errors.
    void DownloadTree(const QString& remoteName, const QString& localFolder, TTreeMode mode,
                      const QString& newName);
    // Writes the day record (once per site, day and direction) and the transfer record of queue
    // row `index`. Raises store errors.
    void RecordHistory(int index, const QString& otherName);
    // Asks what to do with an existing target, or answers from the remembered "all" choice.
    TDuplicateAnswer ResolveDuplicate(const rtmpinfo& info, bool isFolder, bool isDownload);
    // Returns false, after an error box, when `name` holds a character no file name may hold or
    // names a row of the remote list.
    bool ValidateName(const QString& name);
    // Returns the extension of `name` with its dot, empty when it has none.
    static QString ExtensionOf(const QString& name);

    // What "Abort operation" does outside a transfer: the toolbar's command ends an idle
    // session that is still open (the next one reconnects); the queue's Stop and its failure
    // guard come back to a clean, listed connection at once.
    enum class AbortMode { EndIdleSession, Reconnect };
    // The one "Abort operation": aborts a running transfer (the loop then stops that job);
    // outside a transfer it acts by `mode`, reconnecting when the connection was lost.
    void AbortOperation(AbortMode mode = AbortMode::Reconnect);
    // Queue pop-up menu.
    void UpdateMenu();
    void onTransferClick();
    void onStopClick();
    void onDeleteClick();
    void onClearClick();
    QMenu* queueMenu() const { return menu_; }
    // Drop of local entries on the remote list; `dropFolder` is the remote folder entry under
    // the drop point, empty when none.
    void DropLocalFiles(const QStringList& paths, const QString& dropFolder);
    // Takes drops of local files from our own lists on the remote list.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // "Download...": opens the download dialog for the selected remote rows.
    void onDownloadClick();
    QAction* downloadAction() const { return downloadAction_; }

    // Engine progress events.
    void onWorkBegin(int64_t maximum);
    void onWork(int64_t count);
    void onWorkEnd();

    // Returns the row of queue item `index`, or null.
    QTreeWidgetItem* row(int index) const;
    // Returns the image of row `index` (Waiting, Active or Failed).
    int rowImage(int index) const;
    // Returns the current gauge maximum and position in bytes (the gauge itself is scaled
    // for sizes past its range).
    int64_t gaugeMaximum() const { return gaugeMax_; }
    int64_t gaugePosition() const { return gaugePos_; }
    // The speed of the running or last transfer in KiB per second, and its text ("12.50KB/S").
    double speed() const { return speed_; }
    static QString SpeedText(double kibPerSecond);
    // The size the next download is expected to have, when the server's listing gave none.
    void SetExpectedSize(int64_t size) { expectedSize_ = size; }
    TBrowserFrame& frame() const { return frame_; }
    TDataModule& data() const { return data_; }
    // Logs that an entry named `name` is skipped because it is no plain file name.
    void SkipUnsafeName(const QString& name);

signals:
    // The progress panel is shown for a run and hidden after it.
    void progressShown(bool shown);
    // Bytes expected and done of the running transfer.
    void progressChanged(qint64 maximum, qint64 position);
    // The count text "total/done" and the speed text of the running transfer.
    void countChanged(const QString& text);
    void speedChanged(const QString& text);

private:
    void runItem();
    void uploadSteps(rupdown& r);
    void downloadSteps(rupdown& r);
    void startJob();
    void finishJob(const QString& otherName = QString());
    void failRun(const QString& line);
    void removeFirst();
    void setRowImage(int index, int image);
    void setGauge(int64_t maximum, int64_t position);
    void resetProgress();
    void changeRemote(const QString& path);
    // Runs attempt; when its copy fails verification, runs fromStart once.
    void verifiedOrRetried(const std::function<void()>& attempt,
                           const std::function<void()>& fromStart);
    void storeFile(const QString& localFile, const QString& remoteName);
    void retrieve(const QString& remoteName, const QString& localFile, bool overwrite, bool resume);

    TBrowserFrame& frame_;
    TDataModule& data_;
    std::deque<rupdown> items_;
    bool busy_ = false;
    bool askOnConflict_ = true;
    TDuplicateAnswer conflictAnswer_ = TDuplicateAnswer::Cancel;
    // The answers of the duplicate question for the item running.
    QString newName_;
    int64_t resumeOffset_ = 0;
    int64_t remainingBytes_ = 0;
    int64_t expectedSize_ = 0;
    QDateTime jobStart_;
    QDateTime jobEnd_;
    int64_t elapsedMs_ = 0;
    double speed_ = 0;
    // Tells the window the latest count, gauge position and speed.
    void showProgress();

    QMenu* menu_;
    QAction* transferItem_;
    QAction* stopItem_;
    QAction* deleteItem_;
    QAction* clearItem_;
    QAction* downloadAction_ = nullptr;
    QElapsedTimer transferStart_;
    QElapsedTimer progressShown_; // when the window was last told of a transfer's progress
    static constexpr qint64 kProgressIntervalMs = 200;
    bool progressPending_ = false; // the window has not been told of the latest piece
    QElapsedTimer jobTimer_;
    // True from the Resume answer until that transfer's progress has begun.
    bool resuming_ = false;
    bool resumedTransfer_ = false;
    bool transferring_ = false;
    // Set by Stop during a transfer, and by the engine's report of an aborted transfer: the
    // engine ends such a transfer quietly, but the job is not done.
    bool stopRequested_ = false;
    bool transferAborted_ = false;
    // The `ascext` answers of the running queue: a tree of many files asks the store once per
    // extension, not once per file.
    QHash<QString, bool> asciiKnown_;
    // How many queued items carry each (name, local path, remote folder), so IsQueued is one
    // lookup also in a queue of many thousands. AddItem and removeFirst keep it; RemoveAt and
    // Clear leave it counting more than the queue holds, which the next use notices and answers
    // by counting afresh.
    mutable QHash<QString, int> queuedKeys_;
    mutable size_t keyedCount_ = 0;
    static QString queueKey(const QString& name, const QString& localPath,
                            const QString& remoteFolder);
    void syncQueuedKeys() const;
    int64_t gaugeMax_ = 0;
    int64_t gaugePos_ = 0;
};
