#pragma once
// The "&Local File" page: the local list with its root choice (the volumes) and up button, the
// local bookmarks kept in "bookmark.dat", "Add task", "Upload" to the active browser page, the
// view styles, and drops of remote entries, which become downloads into the folder dropped on.
// The local list's root and the active browser page's local folder follow each other.

#include <QWidget>
#include <functional>

class QAction;
class QComboBox;
class QItemSelectionModel;
class QMenu;
class QToolBar;
class QToolButton;
class TLocalListModel;
class TSessionHost;
class TStyledListView;

class TLocalPage : public QWidget {
    Q_OBJECT
public:
    // Requires the window hosting the browser pages (it outlives the page) and the program's
    // folder, where "bookmark.dat" lies. Loads the bookmark menu; the root starts at the virtual
    // root.
    TLocalPage(TSessionHost& host, const QString& programFolder, QWidget* parent = nullptr);
    ~TLocalPage() override;

    // What "Add task" calls with the selected items' paths; set by the window.
    std::function<void(const QStringList& paths)> onAddTask;

    // The root of the local list; TLocalListModel::kVirtualRoot for the virtual root.
    QString root() const;
    // Shows `path` as the root; a path that is no folder shows the virtual root instead.
    void SetRoot(const QString& path);
    // Lists the root again, keeping the selection where the same paths remain.
    void RefreshList();

    // Handlers of the toolbar, the bookmark menu and the list.
    void onUpClick();
    void onAddBookmarkClick();
    // "Manage Bookmarks...": the manager on its "Local" page; "&OK" rebuilds the menu.
    void onManageBookmarksClick();
    void onBookmarkItem(const QString& path);
    void onAddTaskClick();
    void onUploadClick();
    void onViewStyleClick();
    void onViewStyleItem(int code);
    void onHelpClick();
    void onDriveChosen(int index);
    void onSelectionChange();
    void onListDoubleClick();
    // A drop of the active browser page's selected remote entries at `row` of the list (-1: on
    // no item): downloads them into that folder.
    void DropRemoteEntries(int row);

    // Loads the bookmark menu from "bookmark.dat"; saves it (returns false when the file could
    // not be written, leaving the old one).
    void LoadBookmarks();
    // Replaces the bookmark items (the fixed items stay) with one item per path.
    void SetBookmarkItems(const QStringList& paths);
    bool SaveBookmarks();
    // The bookmark items' captions, in menu order.
    QStringList bookmarks() const;

    // Selects the rows whose paths are `paths` (nothing else).
    void SelectPaths(const QStringList& paths);
    // Returns the paths of the selected rows, in list order.
    QStringList selectedPaths() const;

    void SetUploadEnabled(bool enabled);
    QAction* uploadAction() const { return uploadAction_; }
    QAction* addTaskAction() const { return addTaskAction_; }
    QMenu* bookmarkMenu() const { return bookmarkMenu_; }
    QComboBox* driveList() const { return drives_; }
    TStyledListView* views() const { return views_; }
    TLocalListModel* model() const { return model_; }
    int viewStyleCode() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar();
    void fillDrives();
    void addBookmarkItem(const QString& path);
    QString bookmarkFile() const;

    TSessionHost& host_;
    QString programFolder_;
    QToolBar* toolBar_;
    QComboBox* drives_;
    TLocalListModel* model_;
    TStyledListView* views_;
    QMenu* bookmarkMenu_ = nullptr;
    QAction* manageAction_ = nullptr;
    QAction* addTaskAction_ = nullptr;
    QAction* uploadAction_ = nullptr;
    int fixedBookmarkItems_ = 0;
};
