#pragma once
// The "FTP Site" page: the list of stored sites headed by the "NewFTPSite" entry, the description
// of the selected site, the toolbar and the list's context menu. Every control event goes to a
// named handler; the record work goes through the data module.

#include <QWidget>

class QAbstractItemView;
class QAction;
class QMenu;
class QModelIndex;
class QPlainTextEdit;
class QStandardItem;
class QStandardItemModel;
class QToolBar;
class QToolButton;
class TDataModule;
class TSessionHost;
class TStyledListView;

class TSiteListPage : public QWidget {
    Q_OBJECT
public:
    // View style codes as the layout file stores them.
    enum ViewStyle { LargeIcon = 0, List = 1, SmallIcon = 2, Report = 3 };

    // Requires the data module and the window that opens sessions; both outlive the page.
    TSiteListPage(TDataModule& dataModule, TSessionHost& host, QWidget* parent = nullptr);
    ~TSiteListPage() override;

    // Clears the list, adds "NewFTPSite" and one item per `ftpsite` record in table order.
    void LoadSiteList();

    // Handlers of the toolbar, the context menu and the list.
    void onSelectionChange();
    void onListDoubleClick();
    void onConnectClick() { onListDoubleClick(); }
    void onConnectionClick();
    void onQuickConnectClick();
    void onNewClick();
    void onEditClick();
    void onDeleteClick();
    void onRenameClick();
    void onRefreshClick() { LoadSiteList(); }
    void onViewStyleClick();
    void onViewStyleItem(int code);
    void onHelpClick();

    // The rename command, run when in-place editing of a caption ends with `newName`. Returns
    // true when the site was renamed; otherwise the old caption is put back.
    bool RenameSite(const QString& oldName, const QString& newName);

    // Selects the item captioned `caption` (or clears the selection when there is none).
    void SelectSite(const QString& caption);
    // Returns the caption of the selected item, empty when nothing is selected.
    QString selectedCaption() const;
    // Returns true when the selected item is a stored site (not "NewFTPSite").
    bool siteSelected() const;

    // Returns the captions of the list's items in order, "NewFTPSite" first.
    QStringList captions() const;
    // Returns the cells of the item captioned `caption`: name, address, cdate, zdate.
    QStringList rowOf(const QString& caption) const;
    QString descriptionText() const;

    // Applies a stored view style code; unknown codes leave the style unchanged.
    void SetViewStyleCode(int code);
    int viewStyleCode() const;
    int siteViewCounter() const;

    // Returns the context menu as it would pop up now, or nullptr while "NewFTPSite" is selected.
    QMenu* contextMenuNow();

    QAction* editAction() const { return editAction_; }
    QAction* deleteAction() const { return deleteAction_; }
    QAction* connectionAction() const { return connectionAction_; }
    QAction* menuConnect() const { return menuConnect_; }
    QAction* menuEdit() const { return menuEdit_; }
    QAction* menuDelete() const { return menuDelete_; }
    QAction* menuRename() const { return menuRename_; }
    QAction* viewStyleItem(int code) const;

private:
    void buildToolBar();
    void buildMenu();
    void setSiteCommandsEnabled(bool enabled);
    void fillDescription(const QString& name);
    void onItemChanged(QStandardItem* item);
    void onContextMenuRequested(const QPoint& pos);
    QModelIndex selectedIndex() const;

    TDataModule& dataModule_;
    TSessionHost& host_;
    QStandardItemModel* model_;
    TStyledListView* views_;
    QPlainTextEdit* description_;
    QToolBar* toolBar_;
    QAction* editAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* connectionAction_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QAction* menuConnect_ = nullptr;
    QAction* menuEdit_ = nullptr;
    QAction* menuDelete_ = nullptr;
    QAction* menuRename_ = nullptr;
    bool loading_ = false;
};
