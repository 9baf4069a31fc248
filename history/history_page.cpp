#include "history/history_page.h"

#include "data/data_module.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"
#include "ui/window_pump.h"

#include <QFormLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Site nodes carry the site's id, transfer nodes the index of their record in the item list.
constexpr int kDataRole = Qt::UserRole;
const QString kUpload = QStringLiteral("Upload");
const QString kDownload = QStringLiteral("Download");

QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, TIcon icon) {
    auto* node = new QTreeWidgetItem(parent, {text});
    node->setIcon(0, TIcons::Get(icon));
    return node;
}

} // namespace

THistoryPage::THistoryPage(TDataModule& dataModule, TSessionHost& host, QWidget* parent)
    : QWidget(parent), dataModule_(dataModule), host_(host), toolBar_(new QToolBar),
      tree_(new QTreeWidget) {
    setObjectName(QStringLiteral("historyPage"));
    // The toolbar may be cut at the right: the page never holds the left pages wider than the
    // user made them.
    setMinimumWidth(120);
    buildToolBar();
    tree_->setObjectName(QStringLiteral("historyTree"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->setUniformRowHeights(true);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &THistoryPage::onSelectionChange);
    connect(tree_, &QWidget::customContextMenuRequested, this,
            &THistoryPage::onContextMenuRequested);

    menu_ = new QMenu(this);
    menuExecute_ = menu_->addAction(TIcons::Get(TIcon::Execute), tr("Execute"), this,
                                    &THistoryPage::onExecuteClick);
    menuDelete_ = menu_->addAction(TIcons::Get(TIcon::Delete), tr("Delete"), this,
                                   &THistoryPage::onDeleteClick);
    menuExecute_->setEnabled(false);
    menuDelete_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(toolBar_);
    layout->addWidget(tree_, 1);
    layout->addWidget(buildDetails());
}

THistoryPage::~THistoryPage() = default;

void THistoryPage::buildToolBar() {
    toolBar_->setIconSize(QSize(20, 20));
    toolBar_->addAction(TIcons::Get(TIcon::Refresh), tr("Show/Refresh hostorys"), this,
                        &THistoryPage::onRefreshClick);
    deleteAction_ = toolBar_->addAction(TIcons::Get(TIcon::Delete), tr("Delete"), this,
                                        &THistoryPage::onDeleteClick);
    executeAction_ = toolBar_->addAction(TIcons::Get(TIcon::Execute), tr("Execute"), this,
                                         &THistoryPage::onExecuteClick);
    clearAction_ = toolBar_->addAction(TIcons::Get(TIcon::LogError), tr("Clear historys"), this,
                                       &THistoryPage::onClearClick);
    toolBar_->addSeparator();
    expandAction_ = toolBar_->addAction(TIcons::Get(TIcon::Expand), tr("Expand"), this,
                                        &THistoryPage::onExpandClick);
    collapseAction_ = toolBar_->addAction(TIcons::Get(TIcon::Collapse), tr("Collapse"), this,
                                          &THistoryPage::onCollapseClick);
    toolBar_->addSeparator();
    toolBar_->addAction(TIcons::Get(TIcon::Help), tr("Help"), this, &THistoryPage::onHelpClick);
    for (QAction* a : {deleteAction_, executeAction_, clearAction_, expandAction_, collapseAction_})
        a->setEnabled(false);
}

QWidget* THistoryPage::buildDetails() {
    auto* panel = new QWidget;
    panel->setFixedHeight(120);
    auto* form = new QFormLayout(panel);
    form->setContentsMargins(4, 2, 4, 2);
    form->setVerticalSpacing(1);
    const QString captions[6] = {tr("Start at"), tr("Finished"), tr("Elapsed"),
                                 tr("Speed"),    tr("FTP path"), tr("Local path")};
    for (int i = 0; i < 6; ++i) {
        detail_[i] = new QLabel;
        detail_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The two paths may be long: they wrap over two lines.
        detail_[i]->setWordWrap(i >= 4);
        form->addRow(captions[i], detail_[i]);
    }
    return panel;
}

int THistoryPage::Level(const QTreeWidgetItem* node) {
    int level = 0;
    for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

const rhd* THistoryPage::RecordOf(const QTreeWidgetItem* node) const {
    if (!node || Level(node) != 3) return nullptr;
    const int index = node->data(0, kDataRole).toInt();
    return index >= 0 && index < static_cast<int>(items_.size()) ? &items_[index] : nullptr;
}

QStringList THistoryPage::details() const {
    QStringList out;
    for (const QLabel* label : detail_)
        out << label->text();
    return out;
}

void THistoryPage::BuildTree() {
    // Each table is read once and grouped here; a node never scans a table of its own. A long
    // history keeps the window painting and its timers running meanwhile, also while the old
    // tree goes: it is taken out of the view whole and deleted a day at a time.
    TLoopSlice slice;
    const QList<QTreeWidgetItem*> old = tree_->invisibleRootItem()->takeChildren();
    for (QTreeWidgetItem* site : old) {
        for (int i = 0; i < site->childCount(); ++i) {
            for (QTreeWidgetItem* day : site->child(i)->takeChildren()) {
                slice.Tick();
                delete day;
            }
        }
        delete site;
    }
    items_.clear();
    const TDataModule::Tick tick = [&slice] { slice.Tick(); };
    const std::vector<SiteRecord> sites = dataModule_.LoadSites();
    const std::vector<HistoryDay> days = dataModule_.LoadHistoryDays(tick);
    const std::vector<HistoryTransfer> transfers = dataModule_.LoadHistoryTransfers(tick);
    QHash<int, std::vector<const HistoryDay*>> daysOfSite;
    // Newest day first: the days are visited from the last record to the first.
    for (auto it = days.rbegin(); it != days.rend(); ++it) {
        slice.Tick();
        daysOfSite[it->id].push_back(&*it);
    }
    QHash<int, std::vector<const HistoryTransfer*>> transfersOfDay;
    for (const HistoryTransfer& t : transfers) {
        slice.Tick();
        transfersOfDay[t.id].push_back(&t);
    }
    items_.reserve(transfers.size());

    QList<QTreeWidgetItem*> siteNodes;
    for (const SiteRecord& site : sites) {
        auto* siteNode =
            new QTreeWidgetItem({site.name + QStringLiteral("  (") + site.address + ')'});
        siteNode->setIcon(0, TIcons::Get(TIcon::Site));
        siteNode->setData(0, kDataRole, site.id);
        QTreeWidgetItem* upload = addNode(siteNode, kUpload, TIcon::Upload);
        QTreeWidgetItem* download = addNode(siteNode, kDownload, TIcon::Download);
        for (const HistoryDay* day : daysOfSite.value(site.id)) {
            QTreeWidgetItem* dayNode =
                addNode(day->type == kUpload ? upload : download, day->date, TIcon::Day);
            for (const HistoryTransfer* t : transfersOfDay.value(day->key)) {
                slice.Tick();
                rhd r{t->type,   t->date,    t->date2, t->ftppath, t->lopath,   t->ftpfile,
                      t->lofile, t->usetime, t->speed, t->key,     t->isfolder, site.id};
                QTreeWidgetItem* node =
                    addNode(dayNode, t->lofile, t->isfolder ? TIcon::Folder : TIcon::File);
                node->setData(0, kDataRole, static_cast<int>(items_.size()));
                items_.push_back(std::move(r));
            }
        }
        siteNodes << siteNode;
    }
    tree_->addTopLevelItems(siteNodes);
}

void THistoryPage::onRefreshClick() {
    tree_->setUpdatesEnabled(false);
    BuildTree();
    tree_->setUpdatesEnabled(true);
    clearAction_->setEnabled(true);
    expandAction_->setEnabled(true);
    collapseAction_->setEnabled(true);
    onSelectionChange();
}

void THistoryPage::onClearClick() {
    dataModule_.ClearHistory();
    items_.clear();
    onRefreshClick();
}

void THistoryPage::onExpandClick() {
    tree_->setUpdatesEnabled(false);
    tree_->expandAll();
    tree_->setUpdatesEnabled(true);
}

void THistoryPage::onCollapseClick() {
    tree_->setUpdatesEnabled(false);
    tree_->collapseAll();
    tree_->setUpdatesEnabled(true);
    deleteAction_->setEnabled(false);
    executeAction_->setEnabled(false);
}

void THistoryPage::onHelpClick() {
    Desktop().ShowHelp(QStringLiteral("item23"));
}

void THistoryPage::onSelectionChange() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (node && !node->isSelected()) node = nullptr;
    const int level = node ? Level(node) : -1;
    deleteAction_->setEnabled(level == 2 || level == 3);
    const rhd* r = RecordOf(node);
    executeAction_->setEnabled(r != nullptr);
    const QString texts[6] = {r ? r->date : QString(),
                              r ? r->date2 : QString(),
                              r ? r->usetime + QStringLiteral("sec") : QString(),
                              r ? r->speed : QString(),
                              r ? r->ftppath : QString(),
                              r ? r->lopath : QString()};
    for (int i = 0; i < 6; ++i)
        detail_[i]->setText(texts[i]);
}

QMenu* THistoryPage::contextMenuNow() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (node && !node->isSelected()) node = nullptr;
    const int level = node ? Level(node) : -1;
    menuExecute_->setEnabled(level == 3);
    menuDelete_->setEnabled(level == 2 || level == 3);
    return menu_;
}

void THistoryPage::onContextMenuRequested(const QPoint& pos) {
    if (QTreeWidgetItem* at = tree_->itemAt(pos)) tree_->setCurrentItem(at);
    contextMenuNow()->popup(tree_->viewport()->mapToGlobal(pos));
}

void THistoryPage::onDeleteClick() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (!node || !node->isSelected()) return;
    const int level = Level(node);
    if (level == 3) {
        const rhd* r = RecordOf(node);
        if (r && dataModule_.DeleteHistoryTransfer(r->key)) delete node;
    } else if (level == 2) {
        std::vector<int> keys;
        for (int i = 0; i < node->childCount(); ++i)
            if (const rhd* r = RecordOf(node->child(i))) keys.push_back(r->key);
        QTreeWidgetItem* direction = node->parent();
        const int siteId = direction->parent()->data(0, kDataRole).toInt();
        TLoopSlice slice;
        dataModule_.DeleteHistoryDay(siteId, node->text(0), direction->text(0), keys,
                                     [&slice] { slice.Tick(); });
        delete node;
    }
    onSelectionChange();
}
