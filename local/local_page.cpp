#include "local/local_page.h"

#include "local/local_list_model.h"
#include "ui/bookmark_manager_form.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"
#include "ui/recent_list.h"
#include "ui/session_host.h"
#include "ui/styled_list_view.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

TLocalPage::TLocalPage(TSessionHost& host, const QString& programFolder, QWidget* parent)
    : QWidget(parent), host_(host), programFolder_(programFolder), toolBar_(new QToolBar),
      drives_(new QComboBox), model_(new TLocalListModel(this)), views_(new TStyledListView) {
    setObjectName(QStringLiteral("localPage"));
    // The toolbar may be cut at the right: the page never holds the left pages wider than the
    // user made them.
    setMinimumWidth(120);
    views_->setModel(model_);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(views_->reportView()),
                                    static_cast<QAbstractItemView*>(views_->iconView())}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setDragEnabled(true);
        view->setAcceptDrops(true);
        view->setDropIndicatorShown(true);
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->setEditTriggers(QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::SelectedClicked);
        view->viewport()->installEventFilter(this);
    }
    views_->reportView()->header()->resizeSection(0, 160);
    connect(views_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TLocalPage::onSelectionChange);
    connect(views_, &TStyledListView::doubleClicked, this, &TLocalPage::onListDoubleClick);
    connect(views_, &TStyledListView::styleButtonClicked, this, &TLocalPage::onViewStyleClick);
    connect(views_, &TStyledListView::styleItemPicked, this, &TLocalPage::onViewStyleItem);
    buildToolBar();
    fillDrives();
    connect(drives_, &QComboBox::activated, this, &TLocalPage::onDriveChosen);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(toolBar_);
    layout->addWidget(drives_);
    layout->addWidget(views_, 1);
    LoadBookmarks();
    SetRoot(TLocalListModel::kVirtualRoot);
}

TLocalPage::~TLocalPage() = default;

void TLocalPage::buildToolBar() {
    toolBar_->setIconSize(QSize(20, 20));
    toolBar_->addAction(TIcons::Get(TIcon::Back), QString(), this, &TLocalPage::onUpClick);
    toolBar_->addSeparator();
    bookmarkMenu_ = new QMenu(this);
    QAction* add =
        bookmarkMenu_->addAction(tr("Add Bookmark"), this, &TLocalPage::onAddBookmarkClick);
    bookmarkMenu_->setDefaultAction(add);
    manageAction_ = bookmarkMenu_->addAction(tr("Manage Bookmarks..."), this,
                                             &TLocalPage::onManageBookmarksClick);
    bookmarkMenu_->addSeparator();
    fixedBookmarkItems_ = bookmarkMenu_->actions().size();
    auto* bookmarkButton = new QToolButton;
    bookmarkButton->setIcon(TIcons::Get(TIcon::Bookmark));
    bookmarkButton->setToolTip(tr("Add bookmark"));
    bookmarkButton->setMenu(bookmarkMenu_);
    bookmarkButton->setPopupMode(QToolButton::MenuButtonPopup);
    connect(bookmarkButton, &QToolButton::clicked, this, &TLocalPage::onAddBookmarkClick);
    toolBar_->addWidget(bookmarkButton);
    toolBar_->addSeparator();
    addTaskAction_ = toolBar_->addAction(TIcons::Get(TIcon::Task), tr("Add task"), this,
                                         &TLocalPage::onAddTaskClick);
    uploadAction_ = toolBar_->addAction(TIcons::Get(TIcon::Upload), tr("Upload"), this,
                                        &TLocalPage::onUploadClick);
    uploadAction_->setEnabled(false);
    toolBar_->addSeparator();
    toolBar_->addWidget(views_->CreateStyleButton());
    toolBar_->addAction(TIcons::Get(TIcon::Help), tr("Help"), this, &TLocalPage::onHelpClick);
}

void TLocalPage::fillDrives() {
    drives_->clear();
    drives_->addItem(TIcons::Get(TIcon::Site), tr("Desktop"), TLocalListModel::kVirtualRoot);
    for (const QString& folder : TLocalListModel::VirtualRootFolders())
        drives_->addItem(TIcons::Get(TIcon::Folder), folder, folder);
}

QString TLocalPage::root() const {
    return model_->root();
}

void TLocalPage::SetRoot(const QString& path) {
    const bool folder = path != TLocalListModel::kVirtualRoot && QFileInfo(path).isDir();
    model_->Load(folder ? QDir::cleanPath(QFileInfo(path).absoluteFilePath())
                        : TLocalListModel::kVirtualRoot);
    // The drive list shows the volume (or the home folder) the root lies in.
    const QString shown = model_->root();
    int drive = 0;
    int longest = -1;
    for (int i = 1; i < drives_->count(); ++i) {
        const QString volume = drives_->itemData(i).toString();
        const bool inside =
            shown == volume || shown.startsWith(volume.endsWith('/') ? volume : volume + '/');
        if (inside && volume.size() > longest) {
            drive = i;
            longest = volume.size();
        }
    }
    drives_->setCurrentIndex(drive);
}

void TLocalPage::RefreshList() {
    const QStringList selected = selectedPaths();
    SetRoot(root());
    SelectPaths(selected);
}

void TLocalPage::onUpClick() {
    const QString current = root();
    if (current == TLocalListModel::kVirtualRoot) return;
    QDir dir(current);
    // Above the file system's root lies the virtual root.
    if (!dir.cdUp() || QDir::cleanPath(dir.absolutePath()) == current) {
        SetRoot(TLocalListModel::kVirtualRoot);
        return;
    }
    SetRoot(dir.absolutePath());
    host_.SetActiveLocalPath(root());
}

void TLocalPage::onDriveChosen(int index) {
    SetRoot(drives_->itemData(index).toString());
    if (root() != TLocalListModel::kVirtualRoot) host_.SetActiveLocalPath(root());
}

void TLocalPage::onSelectionChange() {
    const QStringList paths = selectedPaths();
    if (paths.isEmpty() || !QFileInfo(paths.first()).isDir() || !host_.HasActiveSession()) return;
    host_.SetActiveLocalPath(paths.first());
}

void TLocalPage::onListDoubleClick() {
    const QStringList paths = selectedPaths();
    if (paths.isEmpty()) return;
    if (QFileInfo(paths.first()).isDir()) {
        SetRoot(paths.first());
        host_.SetActiveLocalPath(root());
    } else {
        Desktop().OpenFile(paths.first());
    }
}

QStringList TLocalPage::selectedPaths() const {
    QModelIndexList rows = views_->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList paths;
    for (const QModelIndex& index : rows)
        paths << model_->entries()[static_cast<size_t>(index.row())].path;
    return paths;
}

void TLocalPage::SelectPaths(const QStringList& paths) {
    QItemSelectionModel* selection = views_->selectionModel();
    selection->clearSelection();
    for (const QString& path : paths) {
        const int row = model_->RowOfPath(path);
        if (row < 0) continue;
        selection->select(model_->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
    }
}

void TLocalPage::onAddTaskClick() {
    const QStringList paths = selectedPaths();
    if (!paths.isEmpty() && onAddTask) onAddTask(paths);
}

void TLocalPage::SetUploadEnabled(bool enabled) {
    uploadAction_->setEnabled(enabled);
}

int TLocalPage::viewStyleCode() const {
    return views_->viewStyleCode();
}

void TLocalPage::onViewStyleClick() {
    views_->StepStyle();
}

void TLocalPage::onViewStyleItem(int code) {
    views_->SetViewStyleCode(code);
}

void TLocalPage::onHelpClick() {
    Desktop().ShowHelp(QStringLiteral("Newitem20"));
}

QString TLocalPage::bookmarkFile() const {
    return QDir(programFolder_).filePath(QStringLiteral("bookmark.dat"));
}

void TLocalPage::addBookmarkItem(const QString& path) {
    QAction* item = bookmarkMenu_->addAction(TIcons::Get(TIcon::Folder), path);
    connect(item, &QAction::triggered, this, [this, path] { onBookmarkItem(path); });
}

void TLocalPage::LoadBookmarks() {
    for (const QString& path : RecentList::Load(bookmarkFile()))
        addBookmarkItem(path);
}

bool TLocalPage::SaveBookmarks() {
    return RecentList::Save(bookmarkFile(), bookmarks());
}

QStringList TLocalPage::bookmarks() const {
    QStringList out;
    const QList<QAction*> items = bookmarkMenu_->actions();
    for (int i = fixedBookmarkItems_; i < items.size(); ++i)
        out << items[i]->text();
    return out;
}

void TLocalPage::onAddBookmarkClick() {
    const QString current = root();
    if (current == TLocalListModel::kVirtualRoot || !QFileInfo(current).isDir()) return;
    if (!bookmarks().contains(current)) addBookmarkItem(current);
    SaveBookmarks();
}

void TLocalPage::onManageBookmarksClick() {
    // The manager saves "bookmark.dat" itself on "&OK"; the menu then shows what it kept.
    TBookmarkManagerForm form(QString(), bookmarkFile(), true, this);
    if (Prompt().ExecForm(&form) != QDialog::Accepted) return;
    SetBookmarkItems(form.localPaths());
}

void TLocalPage::SetBookmarkItems(const QStringList& paths) {
    const QList<QAction*> items = bookmarkMenu_->actions();
    for (qsizetype i = fixedBookmarkItems_; i < items.size(); ++i) {
        bookmarkMenu_->removeAction(items[i]);
        delete items[i];
    }
    for (const QString& path : paths)
        addBookmarkItem(path);
}

void TLocalPage::onBookmarkItem(const QString& path) {
    SetRoot(path);
}
