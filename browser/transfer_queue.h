#pragma once
// The transfer queue of one browser frame: the queue list's rows and records, the loop that works
// through them one after another (single files and whole folder trees, both directions), the
// question about existing targets, progress and speed, the history of finished jobs, the queue's
// pop-up menu and the drop of local files on the remote list. One queue is attached to each
// frame as its child object.

#include "browser/browser_records.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <cstdint>
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

    // Returns the queue of `frame`, attaching a new one (working on `data`) on first use.
    static TTransferQueue& Of(TBrowserFrame& frame, TDataModule& data);
    // Returns the queue attached to `frame`, or null.
    static TTransferQueue* Find(const TBrowserFrame& frame);
    // Requires a frame that outlives the queue (the queue is its child); `data` outlives both.
    TTransferQueue(TBrowserFrame& frame, TDataModule& data);

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
    // Returns true when `name` may be used as one local path component.
    static bool IsPlainName(const QString& name);
    // Returns the extension of `name` with its dot, empty when it has none.
    static QString ExtensionOf(const QString& name);
    // Joins a folder and a name with one native separator.
    static QString JoinPath(const QString& folder, const QString& name);

    // The Abort operation command: aborts a running transfer; outside a transfer it also
    // reconnects and lists the current folder again.
    void AbortOperation();
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

    // Returns the row of queue item `index`, or null.
    QTreeWidgetItem* row(int index) const;
    // Returns the image of row `index` (Waiting, Active or Failed).
    int rowImage(int index) const;
    // Returns the current gauge maximum and position in bytes (the gauge itself is scaled
    // for sizes past its range).
    int64_t gaugeMaximum() const { return gaugeMax_; }
    int64_t gaugePosition() const { return gaugePos_; }
    TBrowserFrame& frame() const { return frame_; }
    TDataModule& data() const { return data_; }
    // Logs that an entry named `name` is skipped because it is no plain file name.
    void SkipUnsafeName(const QString& name);

    QString newName;
    int64_t resumeOffset = 0;
    int64_t remainingBytes = 0;
    int64_t expectedSize = 0;
    QDateTime jobStart;
    QDateTime jobEnd;
    int64_t elapsedMs = 0;

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
    QMenu* menu_;
    QAction* transferItem_;
    QAction* stopItem_;
    QAction* deleteItem_;
    QAction* clearItem_;
    QAction* downloadAction_ = nullptr;
    QElapsedTimer transferStart_;
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
    int64_t gaugeMax_ = 0;
    int64_t gaugePos_ = 0;
};
