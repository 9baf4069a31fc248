#pragma once
// The browser frame: one per open site, filling its page of the main window. Top to bottom: the
// path bar, the information pane, a splitter, the toolbar and the remote file list, a splitter,
// the transfer queue with its progress panel. It owns the session's state, its two timers and
// its FTP engine.

#include "browser/browser_records.h"
#include "ui/session_host.h"

#include <QStringList>
#include <QWidget>
#include <deque>
#include <exception>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QListWidget;
class QProgressBar;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeView;
class QTreeWidget;
class TDataModule;
class TFrameLog;
class TNetFTP;
class TRemoteListModel;
class TStyledListView;
class TTransferQueue;


// What a session runs with: the site (or the quick-connect values), the options, the keep-alive
// commands and the names of the proxy and SOCKS entries. LoadSessionSettings reads it whole
// from the store before each connect.
struct TSessionSettings {
    QString siteName;
    int siteId = 0;
    QString defaultPath;
    bool autoRefresh = false;
    int connectTimeoutMs = 30000;
    int retryLimit = 20;
    int retryDelayMs = 10000;
    QString proxyName;
    QString socksName;
    QString localPath;
    QStringList keepAliveCommands;
    int keepAliveInterval = 0;
    QString transferMode;
    QString tempPath;
    QuickConnectValues quickValues;
};

class TBrowserFrame : public QWidget {
    Q_OBJECT
public:
    // View style codes of the remote list, as the layout file stores them.
    enum ViewStyle { LargeIcon = 0, List = 1, SmallIcon = 2, Report = 3 };

    // Builds the frame named "fr" + `tag` with the layout's default heights; `dataModule`
    // outlives the frame.
    TBrowserFrame(int tag, TDataModule& dataModule, QWidget* parent = nullptr);
    ~TBrowserFrame() override;

    // Copies the site (or, with `quick`, the quick-connect values), keep-alive commands, options,
    // proxy and SOCKS records into the frame and its engine. Returns false when the site record
    // is missing. Writes the site's latest-access time.
    bool LoadSessionSettings(bool quick);
    // Sets the session up and connects; a failure starts the retry timer. A site whose proxy or
    // SOCKS entry is gone is not connected at all: the user is told which entry is missing.
    void ConnectSite(bool quick);
    // Re-reads the keep-alive commands and the options after the options dialog saved them;
    // with anti-idle switched off no keep-alive command is kept. Restarts the idle count.
    void ReloadOptions();
    // Ends the session and resets the view.
    void DisconnectSession();

    // Enters `path` on the server, lists it, rebuilds `entries` and refreshes the cache for it.
    // Raises the engine's errors.
    void ListFolder(const QString& path);
    // Rebuilds `entries` from the cache entries of `path`; lists the folder when there are none.
    void ShowCachedFolder(const QString& path);
    // Mode 0 drops the cache entries of `path`, 1 empties the cache, 2 drops those of `path`
    // named `name`.
    void DropCached(const QString& path, const QString& name, int mode);
    // Sorts the entries by the sort column (folders first, then in the sort direction), shows
    // them in the remote list and the order by the heading's sort arrow.
    void SortEntries();
    // Returns the size figure of a file: size / 1024 rounded to the nearest (ties to even), at
    // least 1, followed by "KB".
    static QString SizeText(int64_t size);
    // Returns the cells of remote-list row `row`: name, size, type, modified, attributes.
    QStringList remoteRow(int row) const;
    int remoteRowCount() const;

    // Appends one line to the information pane; a pane holding 599 lines is cleared first.
    void LogMessage(const QString& text, int icon);
    // Logs protocol text that may hold several lines: split at each CR, an LF right after it
    // dropped, every piece logged with the same icon.
    void LogText(const QString& text, int icon);
    // The information pane's pop-up menu: "Clear" empties the pane; "Save to file..." asks for a
    // file name and writes the lines as plain text, one per line. Returns false when nothing
    // was written (cancelled, or the file could not be written).
    void onInfoClearClick();
    bool onInfoSaveClick();
    QMenu* infoMenu() const { return infoMenu_; }
    // "Abort operation": abandons the running transfer, then reconnects and lists the folder
    // when the control connection had been lost.
    void onAbortClick();

    // Returns the lines of the information pane.
    QStringList infoLines() const;
    // Returns the icon number of line `row` of the information pane.
    int infoIcon(int row) const;

    // Layout kept in the `FTP` section of the layout file.
    int infoPaneHeight() const;
    void SetInfoPaneHeight(int height);
    int queueListHeight() const;
    void SetQueueListHeight(int height);
    int viewStyleCode() const;
    // Position in the view-style cycle, starting at 4.
    int viewStyleStep() const;
    // Applies a stored code; unknown codes leave the style unchanged.
    void SetViewStyleCode(int code);

    // Shows the running transfer's progress on the gauge.
    void ShowProgress(qint64 maximum, qint64 position);
    // Stops the connection-retry and keep-alive timers.
    void StopTimers();
    // Deletes every file in `tempFiles`; failures are ignored.
    void DeleteTempFiles();
    // Closes the control connection; any failure is ignored.
    void DisconnectQuietly();
    // Empties `entries`, `cache`, `queue` and the three lists.
    void ClearSession();
    // True while the engine reports a connection.
    bool Connected() const;
    // True while a blocking call of this frame is running (it must not be freed then).
    bool inCall() const { return callDepth_ > 0; }

    // Toolbar handlers: the Disconnect/Connect toggle, the view-style button and its drop-down
    // items, Help.
    void onDisconnectClick();
    void onViewStyleClick();
    void onViewStyleItem(int code);
    void onHelpClick();
    // Navigation: double-click on the remote list, Back (the parent folder), Refresh, a click on
    // a column header. Each starts a connect instead when the engine is not connected.
    void onRemoteDoubleClick();
    void onBackClick();
    void onRefreshClick();
    // The heading of the sorting column reverses the order; another heading sorts by its column
    // ascending.
    void onColumnClick(int column);
    // Enables the browsing buttons and lets the remote list act on its events, or not.
    void SetBrowseEnabled(bool enabled);
    bool browseEnabled() const { return browseEnabled_; }
    // Puts `action` among the browsing buttons that SetBrowseEnabled switches.
    void AddBrowseAction(QAction* action);
    QToolBar* toolBar() const { return toolBar_; }
    TDataModule& dataModule() const { return dataModule_; }
    QAction* backAction() const { return backAction_; }
    QAction* refreshAction() const { return refreshAction_; }
    // Selects remote-list row `row` alone (-1 clears the selection).
    void SelectRemoteRow(int row);

    // True while the toggle shows its connected state (a click disconnects).
    bool disconnectShowsConnected() const { return toggleConnected_; }
    QAction* disconnectAction() const { return disconnectAction_; }
    QAction* abortAction() const { return abortAction_; }
    QAction* viewStyleItem(int code) const;

    // Timer ticks.
    void onRetryTimer();
    void onKeepAliveTimer();
    void onInfoScrollTimer();

    // The session's settings, as last loaded; SetSettings replaces them whole (the page's
    // opening and renaming set the site name, quick connect its values).
    const TSessionSettings& settings() const { return settings_; }
    void SetSettings(const TSessionSettings& settings) { settings_ = settings; }
    void SetSiteName(const QString& name) { settings_.siteName = name; }
    void SetQuickValues(const QuickConnectValues& values) { settings_.quickValues = values; }
    void SetLocalPath(const QString& path) { settings_.localPath = path; }

    // The remote folder shown, and the folder the login started in.
    const QString& currentPath() const { return currentPath_; }
    void SetCurrentPath(const QString& path) { currentPath_ = path; }
    const QString& homePath() const { return homePath_; }
    // Seconds of keep-alive ticks since the last command; any transfer or browsing restarts it.
    int64_t idleTicks() const { return idleTicks_; }
    void ResetIdleTicks() { idleTicks_ = 0; }
    void SetIdleTicks(int64_t ticks) { idleTicks_ = ticks; }
    // The remote list's sort key: 0 name, 1 size, 2 type, 3 modified, 4 attributes; and whether
    // the order is reversed (a second click on the sorting column's heading). Folders stay first.
    int sortColumn() const { return sortColumn_; }
    bool sortDescending() const { return sortDescending_; }
    void SetSortColumn(int column, bool descending = false) {
        sortColumn_ = column;
        sortDescending_ = descending;
    }
    // Local copies made for viewing and editing, deleted when the page closes.
    const QStringList& tempFiles() const { return tempFiles_; }
    void AddTempFile(const QString& path) { tempFiles_ << path; }
    // The entries of the folder shown, in the list's order, and the listing cache.
    const std::vector<rdatalist>& entries() const { return entries_; }
    void SetEntries(std::vector<rdatalist> entries) { entries_ = std::move(entries); }
    const std::vector<rdatalist>& cache() const { return cache_; }
    void SetCache(std::vector<rdatalist> cache) { cache_ = std::move(cache); }
    // The page's transfer queue.
    TTransferQueue& transferQueue() const { return *queue_; }

    TNetFTP& ftp() const { return *ftp_; }
    QLabel* pathBar() const { return pathBar_; }
    QListWidget* infoPane() const { return infoPane_; }
    QTreeView* remoteList() const { return remoteList_; }
    QTreeWidget* queueList() const { return queueList_; }
    QWidget* progressPanel() const { return progressPanel_; }
    QLabel* countPanel() const { return countPanel_; }
    QProgressBar* progressGauge() const { return progressGauge_; }
    QLabel* speedLabel() const { return speedLabel_; }
    QTimer* retryTimer() const { return retryTimer_; }
    QTimer* keepAliveTimer() const { return keepAliveTimer_; }

signals:
    // The connection came up (true) or went down (false); the page shows it on its tab and the
    // main window on its Upload button.
    void connectionChanged(bool connected);

private:
    // Counts a blocking call of the frame for as long as it runs, however it ends.
    class CallScope {
    public:
        explicit CallScope(int& depth) : depth_(depth) { ++depth_; }
        ~CallScope() { --depth_; }
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

    private:
        int& depth_;
    };

    void addEntry(const rdatalist& source, bool isFolder, int64_t size);
    void enterFolder(const QString& name);
    void clearRemoteSelection();
    void fillRemoteList();
    void connected();
    void onEngineDisconnected();
    // Logs the plain reason of a failed connect under the retry line.
    void logConnectFailure(const std::exception_ptr& failure);
    int retryWaitSeconds() const;
    void applyOptions();
    bool applyProxyAndSocks();
    // Gives the engine the site's security choices and remembered certificates, and the
    // question it asks about an untrusted certificate.
    void applySiteSecurity(int id, const QString& host, int port);
    QWidget* buildRemoteArea();
    QWidget* buildQueueArea();

    TDataModule& dataModule_;
    TSessionSettings settings_;
    QString currentPath_;
    QString homePath_;
    int retryCount_ = 0;
    int64_t idleTicks_ = 0;
    int sortColumn_ = 2;
    bool sortDescending_ = false;
    QStringList tempFiles_;
    std::vector<rdatalist> entries_;
    std::vector<rdatalist> cache_;
    std::unique_ptr<TNetFTP> ftp_;
    std::unique_ptr<TFrameLog> log_;
    QLabel* pathBar_;
    QListWidget* infoPane_;
    QToolBar* toolBar_;
    TStyledListView* views_;
    TRemoteListModel* remoteModel_ = nullptr;
    QTreeView* remoteList_;
    QTreeWidget* queueList_;
    QWidget* progressPanel_;
    QLabel* countPanel_;
    QProgressBar* progressGauge_;
    QLabel* speedLabel_;
    QSplitter* splitter_;
    QTimer* retryTimer_;
    QTimer* keepAliveTimer_;
    // Brings the information pane's last line into view a tenth of a second later: scrolling at every
    // line lays the whole pane out again, which a tree walk of thousands of commands pays for
    // every command.
    QTimer* infoScroll_;
    void setToggleConnected(bool connected);

    QAction* disconnectAction_ = nullptr;
    QAction* abortAction_ = nullptr;
    QMenu* infoMenu_ = nullptr;
    QAction* backAction_ = nullptr;
    QAction* refreshAction_ = nullptr;
    QList<QAction*> browseActions_;
    bool browseEnabled_ = false;
    bool toggleConnected_ = false;
    // The remote list's columns were fitted to a listing once; after that the user's widths stay.
    bool columnsFitted_ = false;
    int callDepth_ = 0;
    // Why LoadSessionSettings refused a site whose record exists, for ConnectSite to show.
    QString settingsError_;
    // Counts StopTimers calls, so a call that was running when the page closed starts no timer.
    int timerEpoch_ = 0;
    // Last: made when the widgets it works on exist, gone before they are.
    std::unique_ptr<TTransferQueue> queue_;
};
