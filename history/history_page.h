#pragma once
// The "&History" page: every finished transfer the browser pages recorded, as a tree of site,
// direction, day and transfer, the details of one transfer, deleting days and transfers,
// emptying the history, and running a recorded transfer again on its site's browser page.

#include <QWidget>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TDataModule;
class TSessionHost;

// The record behind a transfer node: a copy of its `hdital` record taken when the tree was built,
// with the key of that record and the id of its site.
struct rhd {
    QString type;
    QString date;
    QString date2;
    QString ftppath;
    QString lopath;
    QString ftpfile;
    QString lofile;
    QString usetime;
    QString speed;
    int key = 0;
    bool isfolder = false;
    int siteId = 0;
};

class THistoryPage : public QWidget {
    Q_OBJECT
public:
    // Requires the data module and the window that hosts the browser pages; both outlive the page.
    THistoryPage(TDataModule& dataModule, TSessionHost& host, QWidget* parent = nullptr);
    ~THistoryPage() override;

    // Toolbar and menu handlers.
    void onRefreshClick();
    void onDeleteClick();
    void onExecuteClick();
    void onClearClick();
    void onExpandClick();
    void onCollapseClick();
    void onHelpClick();
    void onSelectionChange();
    // Returns the context menu with its items enabled for the selected node.
    QMenu* contextMenuNow();

    // Returns the depth of `node` (0 a site, 1 a direction, 2 a day, 3 a transfer).
    static int Level(const QTreeWidgetItem* node);
    // Returns the record behind a transfer node, or null for any other node.
    const rhd* RecordOf(const QTreeWidgetItem* node) const;
    // The history item list: every record the tree was built with since it was last cleared.
    const std::vector<rhd>& items() const { return items_; }

    QTreeWidget* tree() const { return tree_; }
    // The six texts of the details panel, top to bottom.
    QStringList details() const;
    QAction* deleteAction() const { return deleteAction_; }
    QAction* executeAction() const { return executeAction_; }
    QAction* clearAction() const { return clearAction_; }
    QAction* expandAction() const { return expandAction_; }
    QAction* collapseAction() const { return collapseAction_; }
    QAction* menuExecute() const { return menuExecute_; }
    QAction* menuDelete() const { return menuDelete_; }

private:
    void buildToolBar();
    QWidget* buildDetails();
    void BuildTree();
    void rerunUpload(const rhd& job);
    void rerunDownload(const rhd& job);
    void onContextMenuRequested(const QPoint& pos);

    TDataModule& dataModule_;
    TSessionHost& host_;
    QToolBar* toolBar_;
    QTreeWidget* tree_;
    QLabel* detail_[6] = {};
    QAction* deleteAction_ = nullptr;
    QAction* executeAction_ = nullptr;
    QAction* clearAction_ = nullptr;
    QAction* expandAction_ = nullptr;
    QAction* collapseAction_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* menuExecute_ = nullptr;
    QAction* menuDelete_ = nullptr;
    std::vector<rhd> items_;
};
