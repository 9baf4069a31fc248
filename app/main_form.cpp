#include "app/main_form.h"

#include "app/application.h"
#include "app/top_bar.h"
#include "browser/browser_frame.h"
#include "browser/queue_handoff.h"
#include "browser/remote_bookmarks.h"
#include "browser/remote_list_menu.h"
#include "data/data_module.h"
#include "data/expected_failure.h"
#include "history/history_page.h"
#include "local/local_page.h"
#include "settings/about_form.h"
#include "settings/options_form.h"
#include "sites/site_list_page.h"
#include "tasks/task_page.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/product_links.h"
#include "ui/prompt_service.h"
#include "store/session.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

namespace {

const QString kMain = QStringLiteral("MAIN");
const QString kFtp = QStringLiteral("FTP");
// The window's own placement; a section of its own so the layout sections keep their keys.
const QString kWindow = QStringLiteral("WINDOW");
const char* const kCaption = "caption";
const char* const kTag = "tag";
constexpr int kDefaultLeftWidth = 307;
const QSize kMinimumPlacement(200, 150);

// "Help (F1)": a button's tip names the key that does the same.
QString toolTipWithKey(const QAction& action) {
    return QStringLiteral("%1 (%2)").arg(action.text(),
                                         action.shortcut().toString(QKeySequence::NativeText));
}

} // namespace

TMainForm::TMainForm(const AppPaths& paths, TDataModule& dataModule, QWidget* parent)
    : QMainWindow(parent), paths_(paths), dataModule_(dataModule),
      formInfo_(paths.file(QStringLiteral("forminfo.ini"))), topBar_(new TTopBar),
      splitter_(new QSplitter(Qt::Horizontal)), leftPages_(new QTabWidget),
      rightPages_(new QTabWidget), siteListPage_(nullptr),
      localPage_(new TLocalPage(*this, paths.folder())),
      historyPage_(new THistoryPage(dataModule, *this)),
      taskPage_(new TTaskPage(dataModule, *this)) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    resize(1024, 700);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(topBar_);
    layout->addWidget(splitter_, 1);
    setCentralWidget(central);

    leftPages_->setObjectName(QStringLiteral("leftPages"));
    leftPages_->addTab(localPage_, tr("&Local File"));
    leftPages_->addTab(historyPage_, tr("&History"));
    leftPages_->addTab(taskPage_, tr("&Tasks"));
    localPage_->onAddTask = [this](const QStringList& paths) { taskPage_->AddUploadTask(paths); };

    rightPages_->setObjectName(QStringLiteral("rightPages"));
    siteListPage_ = new TSiteListPage(dataModule_, *this);
    siteListPage_->setProperty(kCaption, tr("FTP Site"));
    siteListPage_->setProperty(kTag, 0);
    rightPages_->addTab(siteListPage_, tr("FTP Site"));
    rightPages_->tabBar()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(rightPages_->tabBar(), &QWidget::customContextMenuRequested, this,
            &TMainForm::onTabBarRightClick);
    connect(rightPages_, &QTabWidget::currentChanged, this, &TMainForm::onCurrentPageChanged);
    tabMenu_ = new QMenu(this);
    QAction* closeCurrent =
        tabMenu_->addAction(tr("Close current page"), this, &TMainForm::CloseCurrentPage);
    // Ctrl+W works anywhere in the window, not only through the tab menu.
    closeCurrent->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    addAction(closeCurrent);
    tabMenu_->addSeparator();
    tabMenu_->addAction(tr("Close all"), this, &TMainForm::CloseAll);
    // The keys act anywhere in the window; the bar's buttons name them in their tips.
    QAction* quit = new QAction(tr("Exit"), this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &TMainForm::onExitClick);
    addAction(quit);
    QAction* help = new QAction(tr("Help"), this);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, &TMainForm::onHelpKey);
    addAction(help);

    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setHandleWidth(3);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(leftPages_);
    splitter_->addWidget(rightPages_);
    // The left pages keep their width when the window grows; the right side takes the rest.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    SetLeftWidth(kDefaultLeftWidth);

    connect(topBar_, &TTopBar::optionsClicked, this, &TMainForm::onOptionsClick);
    connect(topBar_, &TTopBar::feedbackClicked, this, &TMainForm::onFeedbackClick);
    connect(topBar_, &TTopBar::homepageClicked, this, &TMainForm::onHomepageClick);
    connect(topBar_, &TTopBar::helpClicked, this, &TMainForm::onHelpClick);
    connect(topBar_, &TTopBar::aboutClicked, this, &TMainForm::onAboutClick);
    connect(topBar_, &TTopBar::exitClicked, this, &TMainForm::onExitClick);
    for (QAction* key : {help, quit})
        topBar_->button(key->text())->setToolTip(toolTipWithKey(*key));
    SetSettingsHost(this);
}

TMainForm::~TMainForm() {
    if (SettingsHost() == this) SetSettingsHost(nullptr);
}

QUrl TMainForm::HomepageUrl() {
    return ProductLinks::Homepage();
}

QUrl TMainForm::FeedbackUrl() {
    return ProductLinks::Support();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

bool TMainForm::FormShow() {
    try {
        dataModule_.CreateMissingStores();
        dataModule_.Connect();
    } catch (const store::EStoreAbort&) {
        // The user cancelled the store's login: the program ends without a word.
        startFailed_ = true;
        return false;
    } catch (const std::exception& error) {
        // A store that exists but cannot be opened is never replaced: the user learns why, in the
        // store's own words, and the program ends without touching any file.
        startFailed_ = true;
        ShowError(this, QString::fromUtf8(error.what()));
        return false;
    }
    LoadSiteList();
    taskPage_->LoadTaskTree();
    readMainLayout();
    makeSureOfTempFolder();
    return true;
}

void TMainForm::FormClose() {
    if (closed_ || startFailed_ || !shown_) return;
    closed_ = true;
    PageShutdown();
    writeMainLayout();
    writeWindowPlacement();
}

void TMainForm::ShowAsLeft() {
    const QRect stored(formInfo_.ReadInteger(kWindow, QStringLiteral("LEFT"), 0),
                       formInfo_.ReadInteger(kWindow, QStringLiteral("TOP"), 0),
                       formInfo_.ReadInteger(kWindow, QStringLiteral("WIDTH"), 0),
                       formInfo_.ReadInteger(kWindow, QStringLiteral("HEIGHT"), 0));
    if (stored.width() < kMinimumPlacement.width() ||
        stored.height() < kMinimumPlacement.height()) {
        // The first start, or a placement no one could use: the whole screen.
        showMaximized();
        return;
    }
    QRect placement = stored;
    // A screen unplugged since would leave the window where nobody sees it.
    if (!QGuiApplication::screenAt(placement.center())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            placement.moveCenter(screen->availableGeometry().center());
    }
    setGeometry(placement);
    if (formInfo_.ReadInteger(kWindow, QStringLiteral("MAXIMIZED"), 0) != 0)
        showMaximized();
    else
        show();
}

void TMainForm::writeWindowPlacement() {
    // A maximized window is stored with the size it goes back to, so both are kept.
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    formInfo_.WriteInteger(kWindow, QStringLiteral("LEFT"), normal.x());
    formInfo_.WriteInteger(kWindow, QStringLiteral("TOP"), normal.y());
    formInfo_.WriteInteger(kWindow, QStringLiteral("WIDTH"), normal.width());
    formInfo_.WriteInteger(kWindow, QStringLiteral("HEIGHT"), normal.height());
    formInfo_.WriteInteger(kWindow, QStringLiteral("MAXIMIZED"), isMaximized() ? 1 : 0);
}

void TMainForm::onHelpKey() {
    // The topic of the page that holds the keyboard focus, else of the page showing on the right.
    for (QWidget* w = QApplication::focusWidget(); w && w != this; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<TBrowserFrame*>(w)) {
            frame->onHelpClick();
            return;
        }
        if (w == siteListPage_) {
            siteListPage_->onHelpClick();
            return;
        }
        if (w == leftPages_) {
            onHelpClick();
            return;
        }
    }
    if (TBrowserFrame* frame = ActiveFrame())
        frame->onHelpClick();
    else
        siteListPage_->onHelpClick();
}

void TMainForm::LoadSiteList() {
    siteListPage_->LoadSiteList();
}

void TMainForm::readMainLayout() {
    const int page = formInfo_.ReadInteger(kMain, QStringLiteral("P2"), 0);
    if (page >= 0 && page < leftPages_->count()) leftPages_->setCurrentIndex(page);
    const QString root =
        formInfo_.ReadString(kMain, QStringLiteral("LOCALPATH"), QStringLiteral("-1"));
    if (root != QLatin1String("-1")) SetLocalRoot(root);
    SetLeftWidth(formInfo_.ReadInteger(kMain, QStringLiteral("PWIDTH"), kDefaultLeftWidth));
    siteListPage_->SetViewStyleCode(formInfo_.ReadInteger(kMain, QStringLiteral("FTPSITEVIEW"), 0));
}

void TMainForm::writeMainLayout() {
    formInfo_.WriteInteger(kMain, QStringLiteral("P2"), leftPages_->currentIndex());
    const QString root = localRoot();
    const bool rootIsFolder = root != QLatin1String("-1") && QFileInfo(root).isDir();
    formInfo_.WriteString(kMain, QStringLiteral("LOCALPATH"),
                          rootIsFolder ? root : QStringLiteral("-1"));
    formInfo_.WriteInteger(kMain, QStringLiteral("PWIDTH"), leftWidth());
    formInfo_.WriteInteger(kMain, QStringLiteral("FTPSITEVIEW"), siteListPage_->viewStyleCode());
    formInfo_.WriteInteger(kMain, QStringLiteral("WELCOMEH"), 0);
}

void TMainForm::makeSureOfTempFolder() {
    const QString fallback = paths_.file(QStringLiteral("temp"));
    if (!QFileInfo(fallback).isDir()) QDir().mkdir(fallback);
    tempPath_ = dataModule_.EnsureTempPath(fallback);
}

int TMainForm::leftWidth() const {
    const QList<int> sizes = splitter_->sizes();
    if (splitter_->isVisible() && !sizes.isEmpty() && sizes.first() > 0) return sizes.first();
    return pendingLeftWidth_;
}

void TMainForm::SetLeftWidth(int width) {
    pendingLeftWidth_ = width;
    const int total = splitter_->width() > width ? splitter_->width() : width + 600;
    splitter_->setSizes({width, total - width - splitter_->handleWidth()});
}

void TMainForm::onOptionsClick() {
    ShowOptions(AntiIdlePage);
}

void TMainForm::ShowOptions(int page) {
    TOptionsForm::Execute(dataModule_, this, page, this);
}

void TMainForm::ReloadAllOptions() {
    // Closed pages keep their frames, and those are reloaded too.
    for (int number = pageCounter_; number >= 1; --number)
        if (TBrowserFrame* frame = FrameOfPage(number)) frame->ReloadOptions();
}

void TMainForm::onFeedbackClick() {
    Desktop().OpenUrl(FeedbackUrl());
}

void TMainForm::onHomepageClick() {
    Desktop().OpenUrl(HomepageUrl());
}

void TMainForm::onHelpClick() {
    Desktop().ShowHelp();
}

void TMainForm::onAboutClick() {
    TAboutForm form(this);
    Prompt().ExecForm(&form);
}

void TMainForm::onExitClick() {
    close();
}

QString TMainForm::PageCaption(int index) const {
    QWidget* page = rightPages_->widget(index);
    return page ? page->property(kCaption).toString() : QString();
}

TBrowserFrame* TMainForm::FrameOfPage(int number) const {
    QWidget* page = rightPages_->findChild<QWidget*>(QStringLiteral("tab%1").arg(number));
    return page ? page->findChild<TBrowserFrame*>(QStringLiteral("fr%1").arg(number)) : nullptr;
}

TBrowserFrame* TMainForm::ActiveFrame() const {
    QWidget* page = rightPages_->currentWidget();
    if (!page) return nullptr;
    const int tag = page->property(kTag).toInt();
    return page->findChild<TBrowserFrame*>(QStringLiteral("fr%1").arg(tag));
}

void TMainForm::setActivePage(int index) {
    // Making a page active from code is no user's page change.
    settingPage_ = true;
    rightPages_->setCurrentIndex(index);
    settingPage_ = false;
}

void TMainForm::onCurrentPageChanged(int) {
    if (!settingPage_) PageChange();
}

void TMainForm::PageChange() {
    TBrowserFrame* frame = ActiveFrame();
    if (!frame) {
        SetUploadEnabled(false);
        return;
    }
    // A page without a local folder of its own leaves the local list where it is.
    if (!frame->settings().localPath.isEmpty()) SetLocalRoot(frame->settings().localPath);
    SetUploadEnabled(frame->Connected());
}

void TMainForm::OpenSession(const QString& name, bool quick) {
    QCoreApplication::processEvents();
    for (int i = 0; i < rightPages_->count(); ++i) {
        if (PageCaption(i) != name) continue;
        const bool wasVisible = rightPages_->isTabVisible(i);
        rightPages_->setTabVisible(i, true);
        setActivePage(i);
        TBrowserFrame* frame = ActiveFrame();
        if (frame && !wasVisible) {
            if (quick) frame->SetQuickValues(quickValues_);
            frame->ConnectSite(quick);
        }
        return;
    }
    const int number = ++pageCounter_;
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tab%1").arg(number));
    page->setProperty(kCaption, name);
    page->setProperty(kTag, number);
    auto* frame = new TBrowserFrame(number, dataModule_);
    frame->SetSiteName(name);
    TRemoteBookmarks::Of(*frame).FillMenu();
    connect(frame, &TBrowserFrame::connectionChanged, this,
            [this, page](bool up) { onFrameConnectionChanged(page, up); });
    connect(TRemoteListMenu::Of(*frame).action(TRemoteListMenu::AddTask), &QAction::triggered, this,
            &TMainForm::onBrowserAddTask);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    // A site name may hold "&", which a tab would take for a mnemonic.
    QString tabText = name;
    tabText.replace('&', QStringLiteral("&&"));
    settingPage_ = true;
    const int index = rightPages_->addTab(page, TIcons::Get(TIcon::Disconnect), tabText);
    settingPage_ = false;
    applyFtpLayout(*frame);
    setActivePage(index);
    if (quick) frame->SetQuickValues(quickValues_);
    frame->ConnectSite(quick);
    PageChange();
}

void TMainForm::OpenQuickSession(const QuickConnectValues& values) {
    quickValues_ = values;
    OpenSession(values.host, true);
}

void TMainForm::RenameSessionPages(const QString& oldName, const QString& newName) {
    for (int i = 1; i < rightPages_->count(); ++i) {
        if (PageCaption(i) != oldName) continue;
        QWidget* page = rightPages_->widget(i);
        page->setProperty(kCaption, newName);
        QString tabText = newName;
        tabText.replace('&', QStringLiteral("&&"));
        rightPages_->setTabText(i, tabText);
        if (TBrowserFrame* frame = FrameOfPage(page->property(kTag).toInt()))
            frame->SetSiteName(newName);
    }
}

void TMainForm::applyFtpLayout(TBrowserFrame& frame) {
    frame.SetInfoPaneHeight(formInfo_.ReadInteger(kFtp, QStringLiteral("INFO"), 93));
    frame.SetQueueListHeight(formInfo_.ReadInteger(kFtp, QStringLiteral("UPDOWN"), 116));
    frame.SetViewStyleCode(formInfo_.ReadInteger(kFtp, QStringLiteral("LVCVIEW"), 3));
}

void TMainForm::closeSteps(TBrowserFrame& frame) {
    frame.DeleteTempFiles();
    formInfo_.WriteInteger(kFtp, QStringLiteral("INFO"), frame.infoPaneHeight());
    formInfo_.WriteInteger(kFtp, QStringLiteral("UPDOWN"), frame.queueListHeight());
    formInfo_.WriteInteger(kFtp, QStringLiteral("LVCVIEW"), frame.viewStyleCode());
    frame.StopTimers();
    frame.DisconnectQuietly();
    // A queue that is running keeps its items; they go with the frame when the call returns.
    if (!frame.inCall()) frame.ClearSession();
    const int index = rightPages_->indexOf(frame.parentWidget());
    if (index >= 0) {
        // Hiding the active tab shows a neighbour; that is no page change of the user's.
        settingPage_ = true;
        rightPages_->setTabVisible(index, false);
        settingPage_ = false;
    }
}

void TMainForm::CloseCurrentPage() {
    if (TBrowserFrame* frame = ActiveFrame()) closeSteps(*frame);
}

void TMainForm::CloseAll() {
    for (int number = pageCounter_; number >= 1; --number) {
        if (TBrowserFrame* frame = FrameOfPage(number)) closeSteps(*frame);
    }
}

void TMainForm::PageShutdown() {
    // "Clean on exit" unticked keeps the view and edit copies for the next run; ticked, only the
    // copies the pages recorded are deleted, never anything else in the temporary folder.
    bool clean = true;
    IgnoreFailure("a store that cannot be read keeps the default, which cleans",
                  [&] { clean = dataModule_.ReadOptions().ifclear; });
    for (int number = pageCounter_; number >= 1; --number) {
        TBrowserFrame* frame = FrameOfPage(number);
        if (!frame) continue;
        // The layout of a page that cannot be written is not worth keeping the window open
        // for; the page is closed all the same.
        IgnoreFailure("the layout file may not be writable", [&] {
            if (clean) frame->DeleteTempFiles();
            formInfo_.WriteInteger(kFtp, QStringLiteral("INFO"), frame->infoPaneHeight());
            formInfo_.WriteInteger(kFtp, QStringLiteral("UPDOWN"), frame->queueListHeight());
            formInfo_.WriteInteger(kFtp, QStringLiteral("LVCVIEW"), frame->viewStyleCode());
        });
        frame->StopTimers();
        frame->DisconnectQuietly();
        QWidget* page = frame->parentWidget();
        // A frame still inside a blocking call is freed once that call has returned.
        if (frame->inCall()) {
            frame->deleteLater();
            page->deleteLater();
        } else {
            delete frame;
            delete page;
        }
    }
}

void TMainForm::onFrameConnectionChanged(QWidget* page, bool up) {
    const int index = rightPages_->indexOf(page);
    if (index >= 0)
        rightPages_->setTabIcon(index, TIcons::Get(up ? TIcon::Connect : TIcon::Disconnect));
    if (page == rightPages_->currentWidget()) SetUploadEnabled(up);
}

QMenu* TMainForm::onTabBarRightClick(const QPoint& pos) {
    const int index = rightPages_->tabBar()->tabAt(pos);
    if (index < 0) return nullptr;
    setActivePage(index);
    if (index == 0) return nullptr;
    tabMenu_->popup(rightPages_->tabBar()->mapToGlobal(pos));
    return tabMenu_;
}

bool TMainForm::QueueTransfer(const rupdown& entry, bool checkQueued) {
    TBrowserFrame* frame = ActiveFrame();
    return frame && QueueHandoff::QueueEntry(*frame, entry, checkQueued);
}

void TMainForm::StartTransfers(bool refresh) {
    if (TBrowserFrame* frame = ActiveFrame()) QueueHandoff::StartQueue(*frame, refresh);
}

QString TMainForm::ActiveLocalPath() const {
    const TBrowserFrame* frame = ActiveFrame();
    return frame ? frame->settings().localPath : QString();
}

bool TMainForm::RunTransfersNow() {
    TBrowserFrame* frame = ActiveFrame();
    return frame && QueueHandoff::RunNow(*frame);
}

void TMainForm::SetActiveLocalPath(const QString& path) {
    if (TBrowserFrame* frame = ActiveFrame()) frame->SetLocalPath(path);
}

bool TMainForm::HasActiveSession() const {
    return ActiveFrame() != nullptr;
}

std::vector<TRemoteEntry> TMainForm::ActiveRemoteSelection() const {
    std::vector<TRemoteEntry> out;
    const TBrowserFrame* frame = ActiveFrame();
    if (!frame) return out;
    QModelIndexList rows = frame->remoteList()->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows) {
        if (index.row() >= static_cast<int>(frame->entries().size())) continue;
        const rdatalist& e = frame->entries()[static_cast<size_t>(index.row())];
        out.push_back({e.name, e.isFolder, e.size, e.modified});
    }
    return out;
}

QString TMainForm::localRoot() const {
    return localPage_->root();
}

void TMainForm::SetLocalRoot(const QString& root) {
    localPage_->SetRoot(root);
}

bool TMainForm::uploadEnabled() const {
    return localPage_->uploadAction()->isEnabled();
}

void TMainForm::SetUploadEnabled(bool enabled) {
    localPage_->SetUploadEnabled(enabled);
}

void TMainForm::onBrowserAddTask() {
    const TBrowserFrame* frame = ActiveFrame();
    if (!frame) return;
    const std::vector<TRemoteEntry> selection = ActiveRemoteSelection();
    if (selection.empty()) return;
    // The page's own local folder; a page without one offers the local list's folder, else home.
    QString local = frame->settings().localPath;
    if (local.isEmpty() || !QFileInfo(local).isAbsolute())
        local = QFileInfo(localRoot()).isDir() ? localRoot() : QDir::homePath();
    taskPage_->AddDownloadTask(PageCaption(rightPages_->currentIndex()), frame->currentPath(),
                               local, selection);
}
