#include "browser/browser_frame.h"

#include "browser/frame_log.h"
#include "browser/remote_list_menu.h"
#include "browser/remote_list_model.h"
#include "browser/remote_tools.h"
#include "browser/transfer_queue.h"
#include "data/expected_failure.h"
#include "ftp/escape_text.h"
#include "ftp/ftp.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"
#include "ui/styled_list_view.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <climits>

namespace {

// The pane never holds more than this many lines; the next one starts it afresh.
constexpr int kMaxInfoLines = 599;
constexpr int kDefaultInfoHeight = 93;
constexpr int kDefaultQueueHeight = 116;
constexpr int kIconRole = Qt::UserRole + 1;

QIcon logIcon(int icon) {
    switch (icon) {
    case 0:
        return TIcons::Get(TIcon::LogSent);
    case 1:
        return TIcons::Get(TIcon::LogReceived);
    default:
        return TIcons::Get(TIcon::LogError);
    }
}

} // namespace

TBrowserFrame::TBrowserFrame(int tag, TDataModule& dataModule, QWidget* parent)
    : QWidget(parent), dataModule_(dataModule), ftp_(std::make_unique<TNetFTP>()),
      log_(std::make_unique<TFrameLog>(*this)), pathBar_(new QLabel), infoPane_(new QListWidget),
      toolBar_(new QToolBar), views_(new TStyledListView), remoteList_(nullptr),
      queueList_(new QTreeWidget), progressPanel_(new QWidget), countPanel_(new QLabel("0/0")),
      progressGauge_(new QProgressBar), speedLabel_(new QLabel("0KB/S")),
      splitter_(new QSplitter(Qt::Vertical)), retryTimer_(new QTimer(this)),
      keepAliveTimer_(new QTimer(this)), infoScroll_(new QTimer(this)) {
    setObjectName(QStringLiteral("fr%1").arg(tag));
    setProperty("tag", tag);

    pathBar_->setObjectName(QStringLiteral("pathBar"));
    pathBar_->setFixedHeight(16);
    pathBar_->setStyleSheet(
        QStringLiteral("background: #1c48a8; color: white; font-weight: bold; padding-left: 4px;"));

    infoPane_->setObjectName(QStringLiteral("infoPane"));
    infoPane_->setSelectionMode(QAbstractItemView::SingleSelection);
    infoPane_->setIconSize(QSize(16, 16));
    infoPane_->setUniformItemSizes(true);
    infoMenu_ = new QMenu(this);
    infoMenu_->addAction(tr("Clear"), this, &TBrowserFrame::onInfoClearClick);
    infoMenu_->addAction(tr("Save to file..."), this, &TBrowserFrame::onInfoSaveClick);
    infoPane_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(infoPane_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        infoMenu_->popup(infoPane_->viewport()->mapToGlobal(pos));
    });

    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(infoPane_);
    splitter_->addWidget(buildRemoteArea());
    splitter_->addWidget(buildQueueArea());
    // The remote list takes what the window gains; the pane and the queue keep their heights.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setStretchFactor(2, 0);
    splitter_->setSizes({kDefaultInfoHeight, 300, kDefaultQueueHeight});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pathBar_);
    layout->addWidget(splitter_, 1);

    // Engine settings the frame fixes once: no read limit until a site sets one, small buffers.
    ftp_->ReadTimeout = 0;
    ftp_->RecvBufferSize = 2048;
    ftp_->SendBufferSize = 1024;
    ftp_->Intercept = log_.get();
    log_->SetActive(true);
    ftp_->OnConnected = [this](TNetTCPConnection*) { emit connectionChanged(true); };
    ftp_->OnDisconnected = [this](TNetTCPConnection*) {
        keepAliveTimer_->stop();
        emit connectionChanged(false);
    };
    ftp_->OnStatus = [this](TNetComponent*, TNetStatus status, const std::string&) {
        if (status == StatusDisconnected) onEngineDisconnected();
    };

    SetBrowseEnabled(false);
    retryTimer_->setInterval(settings_.retryDelayMs);
    keepAliveTimer_->setInterval(1000);
    connect(retryTimer_, &QTimer::timeout, this, &TBrowserFrame::onRetryTimer);
    connect(keepAliveTimer_, &QTimer::timeout, this, &TBrowserFrame::onKeepAliveTimer);
    infoScroll_->setSingleShot(true);
    infoScroll_->setInterval(100);
    connect(infoScroll_, &QTimer::timeout, this, &TBrowserFrame::onInfoScrollTimer);
    // The queue brings its menu, the Download button and the drop of local files.
    queue_ = std::make_unique<TTransferQueue>(*this, dataModule_);
    connect(queue_.get(), &TTransferQueue::progressShown, progressPanel_, &QWidget::setVisible);
    connect(queue_.get(), &TTransferQueue::progressChanged, this, &TBrowserFrame::ShowProgress);
    connect(queue_.get(), &TTransferQueue::countChanged, countPanel_, &QLabel::setText);
    connect(queue_.get(), &TTransferQueue::speedChanged, speedLabel_, &QLabel::setText);
    // The list's pop-up menu, its selection-governed commands and keys.
    TRemoteListMenu::Of(*this);
    // File operations, view and edit, export, find, filter and bookmarks.
    AttachRemoteTools(*this);
}

TBrowserFrame::~TBrowserFrame() {
    StopTimers();
    log_->SetActive(false);
    ftp_->OnConnected = nullptr;
    ftp_->OnDisconnected = nullptr;
    ftp_->OnStatus = nullptr;
    ftp_->OnWorkBegin = nullptr;
    ftp_->OnWork = nullptr;
    queue_.reset();
    DisconnectQuietly();
    ftp_->Intercept = nullptr;
    // The list's model outlives these members (it goes with the QWidget base), and hiding a
    // shown list still asks it for rows: leave it none to ask for.
    entries_.clear();
    remoteModel_->Reset();
}

QWidget* TBrowserFrame::buildRemoteArea() {
    auto* area = new QWidget;
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    toolBar_->setObjectName(QStringLiteral("browserToolBar"));
    toolBar_->setIconSize(QSize(20, 20));
    disconnectAction_ = toolBar_->addAction(TIcons::Get(TIcon::Disconnect), tr("Disconnect"));
    connect(disconnectAction_, &QAction::triggered, this, &TBrowserFrame::onDisconnectClick);
    // Nothing to abort before the first connect.
    abortAction_ = toolBar_->addAction(TIcons::Get(TIcon::Delete), tr("Abort operation"));
    abortAction_->setEnabled(false);
    connect(abortAction_, &QAction::triggered, this, &TBrowserFrame::onAbortClick);
    toolBar_->addSeparator();
    backAction_ = toolBar_->addAction(TIcons::Get(TIcon::Back), tr("Back"));
    connect(backAction_, &QAction::triggered, this, &TBrowserFrame::onBackClick);
    refreshAction_ = toolBar_->addAction(TIcons::Get(TIcon::Refresh), tr("Refresh"));
    connect(refreshAction_, &QAction::triggered, this, &TBrowserFrame::onRefreshClick);
    toolBar_->addSeparator();
    toolBar_->addWidget(views_->CreateStyleButton());
    connect(views_, &TStyledListView::styleButtonClicked, this, &TBrowserFrame::onViewStyleClick);
    connect(views_, &TStyledListView::styleItemPicked, this, &TBrowserFrame::onViewStyleItem);
    QAction* help = toolBar_->addAction(TIcons::Get(TIcon::Help), tr("Help"));
    connect(help, &QAction::triggered, this, &TBrowserFrame::onHelpClick);

    remoteModel_ = new TRemoteListModel(entries_, this);
    views_->setObjectName(QStringLiteral("remoteList"));
    views_->setModel(remoteModel_);
    remoteList_ = views_->reportView();
    remoteList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    views_->iconView()->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Icon styles measure every item; in batches a long folder shows at once and lays out the
    // rest between window messages.
    views_->iconView()->setLayoutMode(QListView::Batched);
    views_->iconView()->setBatchSize(500);
    remoteList_->setDragEnabled(true);
    // Names are edited in place only by the Rename command; a double-click enters a folder.
    remoteList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    views_->iconView()->setEditTriggers(QAbstractItemView::NoEditTriggers);
    remoteList_->header()->resizeSection(1, 100);
    remoteList_->header()->resizeSection(3, 120);
    remoteList_->header()->resizeSection(4, 100);
    remoteList_->header()->setSectionsClickable(true);
    remoteList_->header()->setSortIndicatorShown(true);
    remoteList_->header()->setSortIndicator(sortColumn_, Qt::AscendingOrder);
    connect(remoteList_->header(), &QHeaderView::sectionClicked, this,
            &TBrowserFrame::onColumnClick);
    connect(views_, &TStyledListView::doubleClicked, this, &TBrowserFrame::onRemoteDoubleClick);
    layout->addWidget(toolBar_);
    layout->addWidget(views_, 1);
    return area;
}

QWidget* TBrowserFrame::buildQueueArea() {
    auto* area = new QWidget;
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    queueList_->setObjectName(QStringLiteral("queueList"));
    queueList_->setRootIsDecorated(false);
    queueList_->setColumnCount(5);
    queueList_->setHeaderLabels(
        {QString(), tr("Name"), tr("Size (bytes)"), tr("Status"), tr("Path")});
    queueList_->header()->resizeSection(0, 20);
    queueList_->header()->resizeSection(2, 100);
    queueList_->header()->resizeSection(3, 112);

    progressPanel_->setObjectName(QStringLiteral("progressPanel"));
    auto* panel = new QHBoxLayout(progressPanel_);
    panel->setContentsMargins(4, 2, 4, 2);
    panel->addWidget(new QLabel(tr("Completed")));
    countPanel_->setObjectName(QStringLiteral("countPanel"));
    panel->addWidget(countPanel_);
    progressGauge_->setObjectName(QStringLiteral("progressGauge"));
    progressGauge_->setRange(0, 100);
    progressGauge_->setValue(0);
    progressGauge_->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: #2050c0; }"));
    panel->addWidget(progressGauge_, 1);
    panel->addWidget(new QLabel(tr("Speed:")));
    speedLabel_->setObjectName(QStringLiteral("speedLabel"));
    panel->addWidget(speedLabel_);
    progressPanel_->setVisible(false);

    layout->addWidget(queueList_, 1);
    layout->addWidget(progressPanel_);
    return area;
}

void TBrowserFrame::LogMessage(const QString& text, int icon) {
    IgnoreFailure("a line that cannot be shown is not worth stopping the session for", [&] {
        if (infoPane_->count() == kMaxInfoLines) infoPane_->clear();
        // Server text may carry control characters; the pane shows them, never acts on them.
        const QString shown =
            QString::fromStdString(EscapeControlText(text.toUtf8().toStdString()));
        auto* line = new QListWidgetItem(logIcon(icon), shown);
        line->setData(kIconRole, icon);
        infoPane_->addItem(line);
        if (!infoScroll_->isActive()) infoScroll_->start();
    });
}

void TBrowserFrame::onInfoScrollTimer() {
    infoPane_->scrollToBottom();
}

void TBrowserFrame::LogText(const QString& text, int icon) {
    QStringList pieces = text.split('\r');
    for (int i = 1; i < pieces.size(); ++i) {
        if (pieces[i].startsWith('\n')) pieces[i].remove(0, 1);
    }
    for (const QString& piece : pieces)
        LogMessage(piece, icon);
}

QStringList TBrowserFrame::infoLines() const {
    QStringList lines;
    for (int i = 0; i < infoPane_->count(); ++i)
        lines << infoPane_->item(i)->text();
    return lines;
}

int TBrowserFrame::infoIcon(int row) const {
    const QListWidgetItem* line = infoPane_->item(row);
    return line ? line->data(kIconRole).toInt() : -1;
}

int TBrowserFrame::infoPaneHeight() const {
    return splitter_->sizes().value(0);
}

void TBrowserFrame::SetInfoPaneHeight(int height) {
    QList<int> sizes = splitter_->sizes();
    const int delta = height - sizes[0];
    sizes[0] = height;
    sizes[1] = qMax(1, sizes[1] - delta);
    splitter_->setSizes(sizes);
}

int TBrowserFrame::queueListHeight() const {
    return splitter_->sizes().value(2);
}

void TBrowserFrame::SetQueueListHeight(int height) {
    QList<int> sizes = splitter_->sizes();
    const int delta = height - sizes[2];
    sizes[2] = height;
    sizes[1] = qMax(1, sizes[1] - delta);
    splitter_->setSizes(sizes);
}

void TBrowserFrame::SetViewStyleCode(int code) {
    views_->SetViewStyleCode(code);
}

int TBrowserFrame::viewStyleCode() const {
    return views_->viewStyleCode();
}

int TBrowserFrame::viewStyleStep() const {
    return views_->styleStep();
}

QAction* TBrowserFrame::viewStyleItem(int code) const {
    return views_->styleItem(code);
}

void TBrowserFrame::onViewStyleClick() {
    views_->StepStyle();
}

void TBrowserFrame::onViewStyleItem(int code) {
    SetViewStyleCode(code);
}

void TBrowserFrame::onHelpClick() {
    Desktop().ShowHelp(QStringLiteral("Newitem6"));
}

void TBrowserFrame::setToggleConnected(bool connected) {
    toggleConnected_ = connected;
    disconnectAction_->setIcon(TIcons::Get(connected ? TIcon::Connect : TIcon::Disconnect));
}

void TBrowserFrame::onDisconnectClick() {
    // While a failed connect waits for its retry the button still reads "Disconnect", and
    // that is what the user asks for: no more retries.
    if (toggleConnected_ || retryTimer_->isActive()) {
        DisconnectSession();
        disconnectAction_->setToolTip(tr("Connect"));
        disconnectAction_->setText(tr("Connect"));
        setToggleConnected(false);
        abortAction_->setEnabled(false);
        return;
    }
    setToggleConnected(true);
    disconnectAction_->setToolTip(tr("Disconnect"));
    disconnectAction_->setText(tr("Disconnect"));
    ConnectSite(false);
}

void TBrowserFrame::StopTimers() {
    ++timerEpoch_;
    retryTimer_->stop();
    keepAliveTimer_->stop();
}

void TBrowserFrame::DeleteTempFiles() {
    QStringList folders;
    for (const QString& file : tempFiles_) {
        QFile::remove(file);
        const QString folder = QFileInfo(file).path();
        if (!folders.contains(folder)) folders << folder;
    }
    // The copies live in a folder of the page's own; it goes once it is empty.
    for (const QString& folder : folders)
        QDir().rmdir(folder);
}

void TBrowserFrame::DisconnectQuietly() {
    IgnoreFailure("the connection may be gone already", [&] { ftp_->Disconnect(); });
    IgnoreFailure("the socket may be closed already", [&] { ftp_->CloseSocketQuietly(); });
}

void TBrowserFrame::ShowProgress(qint64 maximum, qint64 position) {
    // The gauge counts in int; past its range it counts in larger steps.
    const int64_t step = maximum > INT_MAX ? maximum / INT_MAX + 1 : 1;
    progressGauge_->setMaximum(static_cast<int>(std::max<int64_t>(maximum / step, 0)));
    progressGauge_->setValue(
        static_cast<int>(std::min<int64_t>(position, std::max<int64_t>(maximum, 0)) / step));
}

void TBrowserFrame::ClearSession() {
    entries_.clear();
    cache_.clear();
    queue_->Clear();
    infoPane_->clear();
    remoteModel_->Reset();
}

bool TBrowserFrame::Connected() const {
    bool connected = false;
    IgnoreFailure("a transport in an odd state counts as not connected",
                  [&] { connected = ftp_->Connected(); });
    return connected;
}

void TBrowserFrame::onInfoClearClick() {
    infoPane_->clear();
}

bool TBrowserFrame::onInfoSaveClick() {
    const QString name =
        Prompt().SaveFileName(this, tr("Save to file..."), QString(),
                              QStringLiteral("*.txt (*.txt)"), QStringLiteral("txt"));
    if (name.isEmpty()) return false;
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
    for (const QString& line : infoLines())
        file.write((line + '\n').toUtf8());
    return file.error() == QFileDevice::NoError;
}
