#pragma once
// Remote bookmarks of a browser frame: the toolbar button "Bookmark" with its menu ("Add
// Bookmark", "Manage Bookmarks...", then one item per bookmarked folder), the records in the
// bookmark store, and the way to a bookmarked folder. Bookmarks belong to a site and a path
// together; a quick-connect page has no site and stores none.

#include <QObject>
#include <QStringList>

class QAction;
class QMenu;
class TBrowserFrame;

class TRemoteBookmarks : public QObject {
    Q_OBJECT
public:
    // Returns the frame's bookmarks, attaching them (button and menu) on first use.
    static TRemoteBookmarks& Of(TBrowserFrame& frame);

    // Fills the menu with the stored bookmarks of the page's site (none for an unknown site or
    // a quick-connect page).
    void FillMenu();
    // "Add Bookmark": stores the current folder for the site unless it is stored already, and
    // adds a menu item for it.
    void onAddClick();
    // Goes to the folder of a bookmark item.
    void NavigateBookmark(const QString& path);
    // "Manage Bookmarks...": the manager dialog on the site's bookmarks.
    void onManageClick();
    // Replaces the bookmark items of the menu by one item per path.
    void SetBookmarkItems(const QStringList& paths);
    // Returns the captions of the bookmark items, in menu order.
    QStringList menuPaths() const;
    // Returns the site id the bookmarks are kept under, 0 for none (quick connect, unknown site).
    int siteKey() const;

    QMenu* menu() const { return menu_; }
    QAction* button() const { return button_; }
    QAction* addItem() const { return addItem_; }
    QAction* manageItem() const { return manageItem_; }

private:
    explicit TRemoteBookmarks(TBrowserFrame& frame);
    void addBookmarkItem(const QString& path);

    TBrowserFrame& frame_;
    QMenu* menu_;
    QAction* button_ = nullptr;
    QAction* addItem_;
    QAction* manageItem_;
};
