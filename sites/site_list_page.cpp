#include "sites/site_list_page.h"

#include "data/data_module.h"
#include "sites/site_editor_form.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"
#include "ui/session_host.h"
#include "ui/styled_list_view.h"
#include "sites/quick_connect_form.h"
#include "sites/site_editor_form.h"

#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStandardItemModel>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString kNewItem = QStringLiteral("NewFTPSite");
// The stored name behind an item's caption, so that a rename knows what it renames.
constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kIsSiteRole = Qt::UserRole + 2;

} // namespace

TSiteListPage::TSiteListPage(TDataModule& dataModule, TSessionHost& host, QWidget* parent)
    : QWidget(parent), dataModule_(dataModule), host_(host), model_(new QStandardItemModel(this)),
      views_(new TStyledListView), description_(new QPlainTextEdit), toolBar_(new QToolBar) {
    setObjectName(QStringLiteral("siteListPage"));
    model_->setHorizontalHeaderLabels(
        {tr("Name"), tr("FTP Address"), tr("Create date"), tr("Latest access")});

    views_->setObjectName(QStringLiteral("siteListView"));
    views_->setModel(model_);
    views_->selectionModel()->clear();
    views_->reportView()->setSelectionMode(QAbstractItemView::SingleSelection);
    views_->iconView()->setSelectionMode(QAbstractItemView::SingleSelection);
    views_->reportView()->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* descriptionArea = new QWidget;
    auto* descriptionLayout = new QVBoxLayout(descriptionArea);
    descriptionLayout->setContentsMargins(4, 4, 4, 4);
    auto* heading = new QLabel(tr("FTP site description"));
    heading->setStyleSheet(QStringLiteral("font-weight: bold; color: blue;"));
    description_->setObjectName(QStringLiteral("siteDescription"));
    description_->setReadOnly(true);
    description_->setFrameShape(QFrame::NoFrame);
    descriptionLayout->addWidget(heading);
    descriptionLayout->addWidget(description_, 1);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(views_);
    splitter->addWidget(descriptionArea);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({400, 189});

    buildToolBar();
    buildMenu();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(splitter, 1);

    connect(views_, &TStyledListView::contextMenuRequested, this,
            &TSiteListPage::onContextMenuRequested);
    connect(views_, &TStyledListView::doubleClicked, this, &TSiteListPage::onListDoubleClick);
    connect(views_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TSiteListPage::onSelectionChange);
    connect(model_, &QStandardItemModel::itemChanged, this, &TSiteListPage::onItemChanged);

    SetViewStyleCode(Report);
    setSiteCommandsEnabled(false);
}

TSiteListPage::~TSiteListPage() {
    // An in-place editor still open commits its text while the views are torn down; that is no
    // rename the user asked for.
    loading_ = true;
}

void TSiteListPage::buildToolBar() {
    toolBar_->setObjectName(QStringLiteral("siteToolBar"));
    toolBar_->setIconSize(QSize(20, 20));
    QAction* quick = toolBar_->addAction(TIcons::Get(TIcon::QuickConnect), tr("Quick connect"));
    connect(quick, &QAction::triggered, this, &TSiteListPage::onQuickConnectClick);
    toolBar_->addSeparator();
    editAction_ = toolBar_->addAction(TIcons::Get(TIcon::Edit), tr("Edit FTP site"));
    connect(editAction_, &QAction::triggered, this, &TSiteListPage::onEditClick);
    deleteAction_ = toolBar_->addAction(TIcons::Get(TIcon::Delete), tr("Delete"));
    connect(deleteAction_, &QAction::triggered, this, &TSiteListPage::onDeleteClick);
    connectionAction_ = toolBar_->addAction(TIcons::Get(TIcon::Connect), tr("Connection"));
    connect(connectionAction_, &QAction::triggered, this, &TSiteListPage::onConnectionClick);
    toolBar_->addSeparator();

    toolBar_->addWidget(views_->CreateStyleButton());
    connect(views_, &TStyledListView::styleButtonClicked, this, &TSiteListPage::onViewStyleClick);
    connect(views_, &TStyledListView::styleItemPicked, this, &TSiteListPage::onViewStyleItem);
    toolBar_->addSeparator();
    QAction* help = toolBar_->addAction(TIcons::Get(TIcon::Help), tr("Help"));
    connect(help, &QAction::triggered, this, &TSiteListPage::onHelpClick);
}

void TSiteListPage::buildMenu() {
    contextMenu_ = new QMenu(this);
    menuConnect_ = contextMenu_->addAction(tr("Connect"), this, &TSiteListPage::onConnectClick);
    contextMenu_->setDefaultAction(menuConnect_);
    contextMenu_->addSeparator();
    contextMenu_->addAction(tr("New "), this, &TSiteListPage::onNewClick);
    menuEdit_ = contextMenu_->addAction(tr("Edit"), this, &TSiteListPage::onEditClick);
    menuDelete_ = contextMenu_->addAction(tr("Delete"), this, &TSiteListPage::onDeleteClick);
    contextMenu_->addSeparator();
    menuRename_ = contextMenu_->addAction(tr("Rename"), this, &TSiteListPage::onRenameClick);
    contextMenu_->addSeparator();
    QAction* refresh = contextMenu_->addAction(tr("Refresh"), this, &TSiteListPage::onRefreshClick);
    for (QAction* item : {menuConnect_, menuEdit_, menuDelete_, menuRename_})
        item->setVisible(false);
    // The keys act while the focus is on this page; a hidden item (no site selected) takes its
    // key with it, so Del never reaches "NewFTPSite".
    const std::pair<QAction*, QKeySequence> keys[] = {{menuDelete_, QKeySequence(Qt::Key_Delete)},
                                                      {menuRename_, QKeySequence(Qt::Key_F2)},
                                                      {refresh, QKeySequence(Qt::Key_F5)}};
    for (const auto& [item, key] : keys) {
        item->setShortcut(key);
        item->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(item);
    }
}

QAction* TSiteListPage::viewStyleItem(int code) const {
    return views_->styleItem(code);
}

void TSiteListPage::LoadSiteList() {
    loading_ = true;
    model_->removeRows(0, model_->rowCount());
    auto* newItem = new QStandardItem(TIcons::Get(TIcon::NewSite), kNewItem);
    newItem->setEditable(false);
    newItem->setData(false, kIsSiteRole);
    model_->appendRow({newItem, new QStandardItem, new QStandardItem, new QStandardItem});
    for (const SiteRecord& site : dataModule_.LoadSites()) {
        auto* item = new QStandardItem(TIcons::Get(TIcon::Site), site.name);
        item->setData(site.name, kNameRole);
        item->setData(true, kIsSiteRole);
        QList<QStandardItem*> row{item, new QStandardItem(site.address),
                                  new QStandardItem(site.cdate), new QStandardItem(site.zdate)};
        for (int i = 1; i < row.size(); ++i)
            row[i]->setEditable(false);
        model_->appendRow(row);
    }
    loading_ = false;
    onSelectionChange();
}

QModelIndex TSiteListPage::selectedIndex() const {
    // Asked by item, not by full row: whichever style made the selection, its first column names
    // the site.
    const QModelIndexList items = views_->selectionModel()->selectedIndexes();
    return items.isEmpty() ? QModelIndex() : items.first().siblingAtColumn(0);
}

QString TSiteListPage::selectedCaption() const {
    const QModelIndex index = selectedIndex();
    return index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
}

bool TSiteListPage::siteSelected() const {
    const QModelIndex index = selectedIndex();
    return index.isValid() && index.data(kIsSiteRole).toBool();
}

void TSiteListPage::SelectSite(const QString& caption) {
    QItemSelectionModel* selection = views_->selectionModel();
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (model_->item(row, 0)->text() == caption) {
            const QModelIndex index = model_->index(row, 0);
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
            return;
        }
    }
    selection->clearSelection();
}

QStringList TSiteListPage::captions() const {
    QStringList out;
    for (int row = 0; row < model_->rowCount(); ++row)
        out << model_->item(row, 0)->text();
    return out;
}

QStringList TSiteListPage::rowOf(const QString& caption) const {
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (model_->item(row, 0)->text() != caption) continue;
        QStringList cells;
        for (int column = 0; column < model_->columnCount(); ++column)
            cells << model_->item(row, column)->text();
        return cells;
    }
    return {};
}

QString TSiteListPage::descriptionText() const {
    return description_->toPlainText();
}

void TSiteListPage::setSiteCommandsEnabled(bool enabled) {
    for (QAction* action : {editAction_, deleteAction_, connectionAction_})
        action->setEnabled(enabled);
}

void TSiteListPage::onSelectionChange() {
    const bool site = siteSelected();
    for (QAction* item : {menuConnect_, menuEdit_, menuDelete_, menuRename_})
        item->setVisible(site);
    setSiteCommandsEnabled(site);
    description_->clear();
    if (site) fillDescription(selectedCaption());
}

void TSiteListPage::fillDescription(const QString& name) {
    const std::optional<SiteRecord> site = dataModule_.FindSite(name);
    if (!site) return;
    const QStringList heading{
        tr("FTP address : ") + site->address,
        tr("Port : ") + QString::number(site->port),
        tr("Create date : ") + site->cdate,
        tr("Latest date : ") + site->zdate,
        tr("Default ftp path : ") + site->defaultpath,
        tr("Comment : "),
    };
    description_->setPlainText(heading.join('\n') + '\n' + site->comment);
}

QMenu* TSiteListPage::contextMenuNow() {
    const QModelIndex index = selectedIndex();
    if (index.isValid() && !index.data(kIsSiteRole).toBool()) return nullptr;
    return contextMenu_;
}

void TSiteListPage::onContextMenuRequested(const QPoint& pos) {
    QMenu* menu = contextMenuNow();
    if (menu) menu->popup(views_->activeView()->viewport()->mapToGlobal(pos));
}

void TSiteListPage::onListDoubleClick() {
    const QModelIndex index = selectedIndex();
    if (!index.isValid()) return;
    if (!index.data(kIsSiteRole).toBool()) {
        TSiteEditorForm editor(dataModule_, this, this);
        Prompt().ExecForm(&editor);
        LoadSiteList();
        return;
    }
    host_.OpenSession(selectedCaption(), false);
}

void TSiteListPage::onConnectionClick() {
    if (siteSelected()) host_.OpenSession(selectedCaption(), false);
}

void TSiteListPage::onQuickConnectClick() {
    TQuickConnectForm form(dataModule_, host_, this, this);
    form.FormShow();
    Prompt().ExecForm(&form);
}

void TSiteListPage::onNewClick() {
    TSiteEditorForm editor(dataModule_, this, this);
    Prompt().ExecForm(&editor);
}

void TSiteListPage::onEditClick() {
    if (!siteSelected()) return;
    TSiteEditorForm editor(dataModule_, this, this);
    const QString name = selectedCaption();
    if (!editor.LoadSite(name)) return;
    Prompt().ExecForm(&editor);
    // Saving reloads the list; the site edited stays the one selected and described.
    if (captions().contains(name)) SelectSite(name);
}

void TSiteListPage::onDeleteClick() {
    if (!siteSelected()) return;
    const QString name = selectedCaption();
    if (!AskYesNo(this, tr("Are you sure to delete <%1>?").arg(name))) return;
    dataModule_.DeleteSite(name);
    LoadSiteList();
}

void TSiteListPage::onRenameClick() {
    const QModelIndex index = selectedIndex();
    if (index.isValid() && index.data(kIsSiteRole).toBool()) views_->activeView()->edit(index);
}

void TSiteListPage::onItemChanged(QStandardItem* item) {
    if (loading_ || item->column() != 0 || !item->data(kIsSiteRole).toBool()) return;
    const QString oldName = item->data(kNameRole).toString();
    if (item->text() != oldName) RenameSite(oldName, item->text());
}

bool TSiteListPage::RenameSite(const QString& oldName, const QString& newName) {
    if (!selectedIndex().isValid()) return false;
    QStandardItem* item = nullptr;
    for (int row = 0; row < model_->rowCount() && !item; ++row) {
        QStandardItem* candidate = model_->item(row, 0);
        if (candidate->data(kIsSiteRole).toBool() && candidate->data(kNameRole) == oldName)
            item = candidate;
    }
    auto putBack = [this, item, &oldName] {
        if (!item) return;
        loading_ = true;
        item->setText(oldName);
        loading_ = false;
    };
    // An empty name would make a site that no command can find again by its caption.
    if (newName.isEmpty()) {
        ShowWarning(this, tr("Please enter name."));
        putBack();
        return false;
    }
    if (newName != oldName && dataModule_.SiteExists(newName)) {
        ShowWarning(this, tr("The name %1 was existed, please re-enter.").arg(newName));
        putBack();
        return false;
    }
    if (!dataModule_.RenameSite(oldName, newName)) {
        putBack();
        return false;
    }
    if (item) {
        loading_ = true;
        item->setText(newName);
        item->setData(newName, kNameRole);
        loading_ = false;
    }
    host_.RenameSessionPages(oldName, newName);
    return true;
}

void TSiteListPage::SetViewStyleCode(int code) {
    views_->SetViewStyleCode(code);
}

int TSiteListPage::viewStyleCode() const {
    return views_->viewStyleCode();
}

void TSiteListPage::onViewStyleClick() {
    views_->StepStyle();
}

void TSiteListPage::onViewStyleItem(int code) {
    SetViewStyleCode(code);
}

void TSiteListPage::onHelpClick() {
    Desktop().ShowHelp(QStringLiteral("Newitem"));
}

int TSiteListPage::siteViewCounter() const {
    return views_->styleStep();
}
