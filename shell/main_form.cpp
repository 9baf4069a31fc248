#include "shell/main_form.h"

#include "shell/application.h"
#include "shell/data_module.h"
#include "shell/desktop_service.h"
#include "shell/prompt_service.h"
#include "shell/top_bar.h"
#include "sites/site_list_page.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QSplitter>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>

namespace {

const QString kMain = QStringLiteral("MAIN");
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
    rightPages_->addTab(siteListPage_, tr("FTP Site"));

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

void TMainForm::OpenSession(const QString& name, bool /*quick*/) {
    for (int i = 0; i < rightPages_->count(); ++i) {
        if (rightPages_->tabText(i) == name) {
            rightPages_->setTabVisible(i, true);
            rightPages_->setCurrentIndex(i);
            return;
        }
    }
}

void TMainForm::RenameSessionPages(const QString& oldName, const QString& newName) {
    for (int i = 1; i < rightPages_->count(); ++i) {
        if (rightPages_->tabText(i) == oldName) rightPages_->setTabText(i, newName);
    }
}
