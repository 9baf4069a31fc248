#pragma once
// The "&Tasks" page: the categories and their tasks as a tree, the description of the selected
// node, and the commands that create, edit, delete and run them. It also fills the task editor
// for the local page's and a browser page's "Add task".

#include "tasks/task_records.h"

#include <QWidget>
#include <vector>

class QAction;
class QMenu;
class QPlainTextEdit;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TDataModule;
class TSessionHost;
class TTaskEditorForm;
struct TRemoteEntry;

class TTaskPage : public QWidget {
    Q_OBJECT
public:
    // Requires the data module and the window hosting the browser pages; both outlive the page.
    TTaskPage(TDataModule& dataModule, TSessionHost& host, QWidget* parent = nullptr);
    ~TTaskPage() override;

    // Loads the tree again from `task` and `taskd` and expands it.
    void LoadTaskTree();

    // Handlers.
    void onRefreshClick() { LoadTaskTree(); }
    void onNewCategoryClick();
    void onEditClick();
    void onDeleteClick();
    void onExecuteClick();
    void onExpandClick();
    void onCollapseClick();
    void onHelpClick();
    void onSelectionChange();
    QMenu* contextMenuNow();

    // "Add task" of the local page: an upload task of the existing items among `paths`.
    void AddUploadTask(const QStringList& paths);
    // "Add task" of a browser page: a download task of `selection` in `remoteFolder` of the site
    // `site`, into `localFolder`.
    void AddDownloadTask(const QString& site, const QString& remoteFolder,
                         const QString& localFolder, const std::vector<TRemoteEntry>& selection);

    // Returns the record behind a task node, or null for a category node.
    const rtask* RecordOf(const QTreeWidgetItem* node) const;
    // Selects the node of the category `category` or, with `task`, that task's node in it.
    bool SelectNode(const QString& category, const QString& task = QString());

    QTreeWidget* tree() const { return tree_; }
    QString descriptionText() const;
    QAction* deleteAction() const { return deleteAction_; }
    QAction* executeAction() const { return executeAction_; }

private:
    void buildToolBar();
    QStringList categoryNames() const;
    QStringList siteNames() const;
    void editTask(QTreeWidgetItem* node);
    void editCategory(QTreeWidgetItem* node);
    void runEditor(TTaskEditorForm& editor);
    void runUploads(const rtask& task);
    void runDownloads(const rtask& task);
    QTreeWidgetItem* selectedNode() const;
    void onContextMenuRequested(const QPoint& pos);

    TDataModule& dataModule_;
    TSessionHost& host_;
    QToolBar* toolBar_;
    QTreeWidget* tree_;
    QPlainTextEdit* description_;
    QAction* deleteAction_ = nullptr;
    QAction* executeAction_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* menuEdit_ = nullptr;
    QAction* menuDelete_ = nullptr;
    QAction* menuExecute_ = nullptr;
    // The task item list: the records behind the task nodes.
    std::vector<rtask> items_;
};
