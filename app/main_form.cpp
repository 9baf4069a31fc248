#include "app/main_form.h"

#include "app/application.h"
#include "app/top_bar.h"
#include "browser/browser_frame.h"
#include "browser/queue_handoff.h"
#include "data/data_module.h"
#include "data/expected_failure.h"
#include "sites/site_list_page.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>

namespace {

const QString kMain = QStringLiteral("MAIN");
const QString kFtp = QStringLiteral("FTP");
const char* const kCaption = "caption";
const char* const kTag = "tag";
constexpr int kDefaultLeftWidth = 307;

QWidget* makeLeftPage(const QString& objectName) {
    auto* page = new QWidget;
    page->setObjectName(objectName);
    return page;
}

} // namespace

TMainForm::TMainForm(const AppPaths& paths, TDataModule& dataModule, QWidget* parent)
    : QMainWindow(parent), paths_(paths), dataModule_(dataModule),
      formInfo_(paths.file(QStringLiteral("forminfo.ini"))), topBar_(new TTopBar),
      splitter_(new QSplitter(Qt::Horizontal)), leftPages_(new QTabWidget),
      rightPages_(new QTabWidget), siteListPage_(nullptr) {
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
    leftPages_->addTab(makeLeftPage(QStringLiteral("localPage")), tr("&Local File"));
    leftPages_->addTab(makeLeftPage(QStringLiteral("historyPage")), tr("&History"));
    leftPages_->addTab(makeLeftPage(QStringLiteral("tasksPage")), tr("&Tasks"));

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
}

TMainForm::~TMainForm() = default;

QUrl TMainForm::HomepageUrl() {
    return QUrl(QStringLiteral("https://oxbrook.example.com/"));
}

QUrl TMainForm::FeedbackUrl() {
    return QUrl(QStringLiteral("mailto:support@oxbrook.example.com?subject="));
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
    } catch (const std::exception& error) {
        // A store that exists but cannot be opened is never replaced: the user learns why, in the
        // store's own words, and the program ends without touching any file.
        startFailed_ = true;
        ShowError(this, QString::fromUtf8(error.what()));
        return false;
    }
    LoadSiteList();
    readMainLayout();
    makeSureOfTempFolder();
    return true;
}

void TMainForm::FormClose() {
    if (closed_ || startFailed_ || !shown_) return;
    closed_ = true;
    PageShutdown();
    writeMainLayout();
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
    const bool rootIsFolder = localRoot_ != QLatin1String("-1") && QFileInfo(localRoot_).isDir();
    formInfo_.WriteString(kMain, QStringLiteral("LOCALPATH"),
                          rootIsFolder ? localRoot_ : QStringLiteral("-1"));
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
    // The options dialog is not part of the program yet; the button stays without effect.
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
    // The about box is not part of the program yet; the button stays without effect.
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
        if (frame && !wasVisible) frame->ConnectSite(quick);
        return;
    }
    const int number = ++pageCounter_;
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tab%1").arg(number));
    page->setProperty(kCaption, name);
    page->setProperty(kTag, number);
    auto* frame = new TBrowserFrame(number, dataModule_);
    frame->SetSiteName(name);
    connect(frame, &TBrowserFrame::connectionChanged, this,
            [this, page](bool up) { onFrameConnectionChanged(page, up); });
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
    frame->ConnectSite(quick);
    PageChange();
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
    for (int number = pageCounter_; number >= 1; --number) {
        TBrowserFrame* frame = FrameOfPage(number);
        if (!frame) continue;
        // The layout of a page that cannot be written is not worth keeping the window open
        // for; the page is closed all the same.
        IgnoreFailure("the layout file may not be writable", [&] {
            frame->DeleteTempFiles();
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
