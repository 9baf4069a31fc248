#include "tasks/task_page.h"

#include "data/data_module.h"
#include "tasks/category_form.h"
#include "tasks/task_editor_form.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"
#include "ui/session_host.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Category nodes carry the category's id, task nodes the index of their record.
constexpr int kDataRole = Qt::UserRole;

} // namespace

TTaskPage::TTaskPage(TDataModule& dataModule, TSessionHost& host, QWidget* parent)
    : QWidget(parent), dataModule_(dataModule), host_(host), toolBar_(new QToolBar),
      tree_(new QTreeWidget), description_(new QPlainTextEdit) {
    setObjectName(QStringLiteral("tasksPage"));
    // The toolbar may be cut at the right: the page never holds the left pages wider than the
    // user made them.
    setMinimumWidth(120);
    buildToolBar();
    tree_->setObjectName(QStringLiteral("taskTree"));
    tree_->setHeaderHidden(true);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &TTaskPage::onSelectionChange);
    connect(tree_, &QWidget::customContextMenuRequested, this, &TTaskPage::onContextMenuRequested);
    description_->setReadOnly(true);
    description_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    description_->setMaximumHeight(110);

    menu_ = new QMenu(this);
    menuEdit_ =
        menu_->addAction(TIcons::Get(TIcon::Edit), tr("Edit"), this, &TTaskPage::onEditClick);
    menuDelete_ =
        menu_->addAction(TIcons::Get(TIcon::Delete), tr("Delete"), this, &TTaskPage::onDeleteClick);
    menuExecute_ = menu_->addAction(TIcons::Get(TIcon::Execute), tr("Execute"), this,
                                    &TTaskPage::onExecuteClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(toolBar_);
    layout->addWidget(tree_, 1);
    layout->addWidget(new QLabel(tr("Description")));
    layout->addWidget(description_);
}

TTaskPage::~TTaskPage() = default;

void TTaskPage::buildToolBar() {
    toolBar_->setIconSize(QSize(20, 20));
    toolBar_->addAction(TIcons::Get(TIcon::Refresh), tr("Refresh"), this,
                        &TTaskPage::onRefreshClick);
    toolBar_->addAction(TIcons::Get(TIcon::Folder), tr("New category"), this,
                        &TTaskPage::onNewCategoryClick);
    toolBar_->addAction(TIcons::Get(TIcon::Edit), tr("Edit"), this, &TTaskPage::onEditClick);
    deleteAction_ = toolBar_->addAction(TIcons::Get(TIcon::Delete), tr("Delete"), this,
                                        &TTaskPage::onDeleteClick);
    executeAction_ = toolBar_->addAction(TIcons::Get(TIcon::Execute), tr("Execute"), this,
                                         &TTaskPage::onExecuteClick);
    deleteAction_->setEnabled(false);
    executeAction_->setEnabled(false);
    toolBar_->addSeparator();
    toolBar_->addAction(TIcons::Get(TIcon::Expand), tr("Expand"), this, &TTaskPage::onExpandClick);
    toolBar_->addAction(TIcons::Get(TIcon::Collapse), tr("Collapse"), this,
                        &TTaskPage::onCollapseClick);
    toolBar_->addSeparator();
    toolBar_->addAction(TIcons::Get(TIcon::Help), tr("Help"), this, &TTaskPage::onHelpClick);
}

void TTaskPage::LoadTaskTree() {
    tree_->clear();
    items_.clear();
    const std::vector<TaskCategory> categories = dataModule_.LoadCategories();
    const std::vector<TaskRecord> tasks = dataModule_.LoadTasks();
    for (const TaskCategory& category : categories) {
        auto* node = new QTreeWidgetItem(tree_, {category.name});
        node->setIcon(0, TIcons::Get(TIcon::Folder));
        node->setData(0, kDataRole, category.id);
        for (const TaskRecord& task : tasks) {
            if (task.taskid != category.id) continue;
            auto* child = new QTreeWidgetItem(node, {task.name});
            child->setIcon(
                0, TIcons::Get(IsDownloadType(task.type) ? TIcon::Download : TIcon::Upload));
            child->setData(0, kDataRole, static_cast<int>(items_.size()));
            items_.push_back({category.id, task.id, task.name, task.ftp, task.type, task.common});
        }
    }
    tree_->expandAll();
    onSelectionChange();
}

QTreeWidgetItem* TTaskPage::selectedNode() const {
    QTreeWidgetItem* node = tree_->currentItem();
    return node && node->isSelected() ? node : nullptr;
}

const rtask* TTaskPage::RecordOf(const QTreeWidgetItem* node) const {
    if (!node || !node->parent()) return nullptr;
    const int index = node->data(0, kDataRole).toInt();
    return index >= 0 && index < static_cast<int>(items_.size()) ? &items_[index] : nullptr;
}

bool TTaskPage::SelectNode(const QString& category, const QString& task) {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = tree_->topLevelItem(i);
        if (node->text(0) != category) continue;
        if (task.isEmpty()) {
            tree_->setCurrentItem(node);
            return true;
        }
        for (int j = 0; j < node->childCount(); ++j) {
            if (node->child(j)->text(0) == task) {
                tree_->setCurrentItem(node->child(j));
                return true;
            }
        }
    }
    return false;
}

QString TTaskPage::descriptionText() const {
    return description_->toPlainText();
}

void TTaskPage::onSelectionChange() {
    QTreeWidgetItem* node = selectedNode();
    deleteAction_->setEnabled(node != nullptr);
    const rtask* task = RecordOf(node);
    executeAction_->setEnabled(task != nullptr);
    if (task) {
        description_->setPlainText(task->common);
    } else if (node) {
        const auto category = dataModule_.FindCategory(node->text(0));
        description_->setPlainText(category ? category->desc : QString());
    } else {
        description_->clear();
    }
}

QMenu* TTaskPage::contextMenuNow() {
    QTreeWidgetItem* node = selectedNode();
    menuEdit_->setEnabled(node != nullptr);
    menuDelete_->setEnabled(node != nullptr);
    menuExecute_->setEnabled(RecordOf(node) != nullptr);
    return menu_;
}

void TTaskPage::onContextMenuRequested(const QPoint& pos) {
    if (QTreeWidgetItem* at = tree_->itemAt(pos)) tree_->setCurrentItem(at);
    contextMenuNow()->popup(tree_->viewport()->mapToGlobal(pos));
}

void TTaskPage::onExpandClick() {
    tree_->expandAll();
}

void TTaskPage::onCollapseClick() {
    tree_->collapseAll();
}

void TTaskPage::onHelpClick() {
    Desktop().ShowHelp(QStringLiteral("item25"));
}

void TTaskPage::onNewCategoryClick() {
    TCategoryForm form(dataModule_, QString(), this);
    if (Prompt().ExecForm(&form) != QDialog::Accepted) return;
    auto* node = new QTreeWidgetItem(tree_, {form.nameEdit->text()});
    node->setIcon(0, TIcons::Get(TIcon::Folder));
    if (const auto category = dataModule_.FindCategory(form.nameEdit->text()))
        node->setData(0, kDataRole, category->id);
}

void TTaskPage::editCategory(QTreeWidgetItem* node) {
    TCategoryForm form(dataModule_, node->text(0), this);
    if (Prompt().ExecForm(&form) != QDialog::Accepted) return;
    node->setText(0, form.nameEdit->text());
    onSelectionChange();
}

void TTaskPage::onEditClick() {
    QTreeWidgetItem* node = selectedNode();
    if (!node) return;
    if (node->parent())
        editTask(node);
    else
        editCategory(node);
}

void TTaskPage::onDeleteClick() {
    QTreeWidgetItem* node = selectedNode();
    if (!node) return;
    if (const rtask* task = RecordOf(node)) {
        dataModule_.DeleteTask(task->taskId);
    } else {
        dataModule_.DeleteCategory(node->text(0));
        for (int i = 0; i < node->childCount(); ++i)
            if (const rtask* child = RecordOf(node->child(i)))
                dataModule_.DeleteTask(child->taskId);
    }
    delete node;
    onSelectionChange();
}

QStringList TTaskPage::categoryNames() const {
    QStringList names;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
        names << tree_->topLevelItem(i)->text(0);
    return names;
}

QStringList TTaskPage::siteNames() const {
    QStringList names;
    for (const SiteRecord& site : dataModule_.LoadSites())
        names << site.name;
    return names;
}

void TTaskPage::runEditor(TTaskEditorForm& editor) {
    editor.onSaved = [this] { LoadTaskTree(); };
    editor.onFieldChange();
    Prompt().ExecForm(&editor);
}

void TTaskPage::editTask(QTreeWidgetItem* node) {
    const rtask task = *RecordOf(node);
    TTaskEditorForm editor(dataModule_, false, task.type, this);
    editor.taskId = task.taskId;
    editor.descriptionEdit->setPlainText(task.common);
    editor.FillSites(siteNames(), task.ftp);
    editor.FillCategories(categoryNames(), node->parent()->text(0));
    editor.nameEdit->setText(task.name);
    for (const TaskEntry& e : dataModule_.LoadTaskEntries(task.taskId))
        editor.AddEntry({e.isfolder, e.files, e.local, e.ftp});
    runEditor(editor);
}

void TTaskPage::AddUploadTask(const QStringList& paths) {
    if (paths.isEmpty()) return;
    TTaskEditorForm editor(dataModule_, true, QStringLiteral("Upload"), this);
    editor.FillSites(siteNames(), QString());
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.isDir() && !info.isFile()) continue;
        QString folder = QDir::toNativeSeparators(info.absolutePath());
        if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
        editor.AddEntry({info.isDir(), info.fileName(), folder, QStringLiteral("/")});
    }
    editor.FillCategories(categoryNames(), QString());
    runEditor(editor);
}

void TTaskPage::AddDownloadTask(const QString& site, const QString& remoteFolder,
                                const QString& localFolder,
                                const std::vector<TRemoteEntry>& selection) {
    if (selection.empty()) return;
    TTaskEditorForm editor(dataModule_, true, QStringLiteral("Download"), this);
    editor.FillSites(siteNames(), site);
    QString local = QDir::toNativeSeparators(localFolder);
    if (!local.endsWith(QDir::separator())) local += QDir::separator();
    for (const TRemoteEntry& e : selection)
        editor.AddEntry({e.isFolder, e.name, local, remoteFolder});
    editor.FillCategories(categoryNames(), QString());
    runEditor(editor);
}
