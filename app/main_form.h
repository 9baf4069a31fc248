#pragma once
// The main window: the top bar, the left pages ("&Local File", "&History", "&Tasks"), the splitter
// and the right page control whose first page "FTP Site" is fixed and whose further pages are
// browser pages. It reads the `MAIN` layout when first shown and writes it when closed.

#include "data/app_paths.h"
#include "ui/form_info.h"
#include "ui/session_host.h"
#include "ui/settings_host.h"

#include <QMainWindow>

class QMenu;
class QSplitter;
class QTabWidget;
class TBrowserFrame;
class TDataModule;
class TSiteListPage;
class TLocalPage;
class THistoryPage;
class TTaskPage;
class TTopBar;

class TMainForm : public QMainWindow, public TSessionHost, public TSettingsHost {
    Q_OBJECT
public:
    // Requires the program's folder and the data module (not connected yet; connected when shown).
    TMainForm(const AppPaths& paths, TDataModule& dataModule, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The show step, run once when the window is first shown: connects the stores, loads the site
    // list, applies the `MAIN` layout and makes sure of the temporary folder. Returns false when a
    // store could not be opened (the user was told why, in the store's words).
    bool FormShow();
    // The shutdown: closes every browser page, then writes the `MAIN` layout.
    void FormClose();
    // Shows the window where and how it was left (section `WINDOW` of "forminfo.ini": position,
    // size, maximized); maximized when nothing usable is stored.
    void ShowAsLeft();
    // Returns true when the show step ran and failed.
    bool startFailed() const { return startFailed_; }

    // Top-bar handlers.
    void onOptionsClick();
    void onFeedbackClick();
    void onHomepageClick();
    void onHelpClick();
    void onAboutClick();
    void onExitClick();
    // F1: the help topic of the page holding the focus.
    void onHelpKey();

    // Reloads the site list (the loader the site editor calls after saving).
    void LoadSiteList();

    // TSessionHost.
    void OpenSession(const QString& name, bool quick) override;
    void OpenQuickSession(const QuickConnectValues& values) override;
    void RenameSessionPages(const QString& oldName, const QString& newName) override;
    bool QueueTransfer(const rupdown& entry, bool checkQueued = true) override;
    void StartTransfers(bool refresh) override;
    bool RunTransfersNow() override;
    QString ActiveLocalPath() const override;
    void SetActiveLocalPath(const QString& path) override;
    bool HasActiveSession() const override;
    std::vector<TRemoteEntry> ActiveRemoteSelection() const override;

    // TSettingsHost.
    void ShowOptions(int page) override;
    void ReloadAllOptions() override;

    // Session pages. The page counter is the number of the last browser page made.
    int pageCounter() const { return pageCounter_; }
    // Returns the frame "fr" + `number` on the page "tab" + `number`, or nullptr.
    TBrowserFrame* FrameOfPage(int number) const;
    // Returns the frame of the active page, found by the page's tag; nullptr on "FTP Site".
    TBrowserFrame* ActiveFrame() const;
    // Returns the caption of the page at `index` (the site name for a browser page).
    QString PageCaption(int index) const;
    // The page-change step: follows the active frame's local folder and connection.
    void PageChange();
    // "Close current page" and "Close all" of the tab menu.
    void CloseCurrentPage();
    void CloseAll();
    // Frees every browser page, newest first; run first by the shutdown.
    void PageShutdown();
    // A right click on the tab strip at `pos` (tab bar coordinates). Returns the menu shown, or
    // nullptr when none was (outside every tab, or on "FTP Site").
    QMenu* onTabBarRightClick(const QPoint& pos);
    QMenu* tabMenu() const { return tabMenu_; }
    // The local page's "Upload" button state, set by the page-change step.
    bool uploadEnabled() const;
    void SetUploadEnabled(bool enabled);

    // Root folder of the local list; "-1" stands for the virtual root that is no folder.
    QString localRoot() const;
    void SetLocalRoot(const QString& root);
    // Width of the left page control in pixels.
    int leftWidth() const;
    void SetLeftWidth(int width);
    // The temporary folder in force after the show step.
    const QString& tempPath() const { return tempPath_; }

    TTopBar* topBar() const { return topBar_; }
    QTabWidget* leftPages() const { return leftPages_; }
    QTabWidget* rightPages() const { return rightPages_; }
    TSiteListPage* siteListPage() const { return siteListPage_; }
    TLocalPage* localPage() const { return localPage_; }
    THistoryPage* historyPage() const { return historyPage_; }
    TTaskPage* taskPage() const { return taskPage_; }
    // "Add task" of the active browser page: a download task of its selected remote entries.
    void onBrowserAddTask();
    TFormInfo& formInfo() { return formInfo_; }
    TDataModule& dataModule() const { return dataModule_; }
    const AppPaths& paths() const { return paths_; }

    // The product's addresses opened by "Homepage" and "Feedback".
    static QUrl HomepageUrl();
    static QUrl FeedbackUrl();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void onCurrentPageChanged(int index);
    void onFrameConnectionChanged(QWidget* page, bool up);
    void closeSteps(TBrowserFrame& frame);
    void applyFtpLayout(TBrowserFrame& frame);
    void setActivePage(int index);
    void readMainLayout();
    void writeMainLayout();
    void writeWindowPlacement();
    void makeSureOfTempFolder();

    AppPaths paths_;
    TDataModule& dataModule_;
    TFormInfo formInfo_;
    TTopBar* topBar_;
    QSplitter* splitter_;
    QTabWidget* leftPages_;
    QTabWidget* rightPages_;
    TSiteListPage* siteListPage_;
    TLocalPage* localPage_;
    THistoryPage* historyPage_;
    TTaskPage* taskPage_;
    QMenu* tabMenu_ = nullptr;
    int pageCounter_ = 0;
    bool settingPage_ = false;
    QString tempPath_;
    // The values the next quick-connect page connects with.
    QuickConnectValues quickValues_;
    int pendingLeftWidth_ = 307;
    bool shown_ = false;
    bool startFailed_ = false;
    bool closed_ = false;
};
