#include "browser/remote_bookmarks.h"

#include "ui/bookmark_manager_form.h"
#include "browser/browser_frame.h"
#include "browser/remote_walk.h"
#include "data/app_paths.h"
#include "data/data_module.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

TRemoteBookmarks& TRemoteBookmarks::Of(TBrowserFrame& frame) {
    if (auto* made = frame.findChild<TRemoteBookmarks*>(QString(), Qt::FindDirectChildrenOnly))
        return *made;
    return *new TRemoteBookmarks(frame);
}

TRemoteBookmarks::TRemoteBookmarks(TBrowserFrame& frame)
    : QObject(&frame), frame_(frame), menu_(new QMenu(&frame)) {
    menu_->setObjectName(QStringLiteral("remoteBookmarkMenu"));
    addItem_ = menu_->addAction(tr("Add Bookmark"), this, &TRemoteBookmarks::onAddClick);
    manageItem_ =
        menu_->addAction(tr("Manage Bookmarks..."), this, &TRemoteBookmarks::onManageClick);
    menu_->setDefaultAction(addItem_);
    menu_->addSeparator();
    if (QToolBar* bar = frame.toolBar()) {
        button_ = new QAction(TIcons::Get(TIcon::Folder), tr("Bookmark"), this);
        button_->setMenu(menu_);
        bar->addAction(button_);
        if (auto* tool = qobject_cast<QToolButton*>(bar->widgetForAction(button_)))
            tool->setPopupMode(QToolButton::MenuButtonPopup);
        connect(button_, &QAction::triggered, this, &TRemoteBookmarks::onAddClick);
        frame.AddBrowseAction(button_);
    }
}

int TRemoteBookmarks::siteKey() const {
    if (!frame_.settings().quickValues.host.isEmpty()) return 0;
    if (frame_.settings().siteId != 0) return frame_.settings().siteId;
    const std::optional<SiteRecord> site = frame_.dataModule().FindSite(frame_.settings().siteName);
    return site ? site->id : 0;
}

void TRemoteBookmarks::addBookmarkItem(const QString& path) {
    QAction* item = menu_->addAction(TIcons::Get(TIcon::Folder), path);
    item->setIconVisibleInMenu(true);
    connect(item, &QAction::triggered, this, [this, path] { NavigateBookmark(path); });
}

void TRemoteBookmarks::SetBookmarkItems(const QStringList& paths) {
    const QList<QAction*> items = menu_->actions();
    // The two commands and the separator stay.
    for (qsizetype i = 3; i < items.size(); ++i) {
        menu_->removeAction(items[i]);
        delete items[i];
    }
    for (const QString& path : paths)
        addBookmarkItem(path);
}

QStringList TRemoteBookmarks::menuPaths() const {
    QStringList paths;
    const QList<QAction*> items = menu_->actions();
    for (qsizetype i = 3; i < items.size(); ++i)
        paths << items[i]->text();
    return paths;
}

void TRemoteBookmarks::FillMenu() {
    QStringList paths;
    try {
        const int site = siteKey();
        if (site != 0) paths = frame_.dataModule().LoadBookmarks(site);
    } catch (const std::exception& e) {
        frame_.LogMessage(Wire::fromWire(e.what()), 2);
    }
    SetBookmarkItems(paths);
}

void TRemoteBookmarks::onAddClick() {
    if (!frame_.browseEnabled() || frame_.currentPath().isEmpty()) return;
    const QString path = frame_.currentPath();
    try {
        const int site = siteKey();
        if (site != 0) frame_.dataModule().AddBookmark(site, path);
    } catch (const std::exception& e) {
        frame_.LogMessage(Wire::fromWire(e.what()), 2);
        return;
    }
    addBookmarkItem(path);
}

void TRemoteBookmarks::NavigateBookmark(const QString& path) {
    if (!frame_.browseEnabled()) return;
    if (!frame_.Connected()) {
        frame_.ConnectSite(false);
        return;
    }
    frame_.SetBrowseEnabled(false);
    // A bookmark of a folder that is gone fails at the change of folder; the list stays as it
    // was and browsing goes on.
    RunLogged(frame_, [&] {
        if (frame_.settings().autoRefresh) {
            frame_.ListFolder(path);
        } else {
            frame_.ftp().ChangeDirectory(Wire::toWire(path));
            frame_.SetCurrentPath(Wire::fromWire(frame_.ftp().CurrentDirectory()));
            frame_.ShowCachedFolder(frame_.currentPath());
        }
    });
    frame_.SetBrowseEnabled(frame_.Connected());
    frame_.pathBar()->setText(frame_.currentPath());
    frame_.SelectRemoteRow(-1);
}

void TRemoteBookmarks::onManageClick() {
    const QString localFile =
        AppPaths(frame_.dataModule().programFolder()).file(QStringLiteral("bookmark.dat"));
    TBookmarkManagerForm form(frame_.settings().siteName, localFile, false, &frame_);
    int site = 0;
    try {
        site = siteKey();
        if (site != 0) form.SetFtpPaths(frame_.dataModule().LoadBookmarks(site));
    } catch (const std::exception& e) {
        frame_.LogMessage(Wire::fromWire(e.what()), 2);
        return;
    }
    form.SetOkHandler([this, site](TBookmarkManagerForm& shown) {
        // A page without a site (quick connect) has nowhere to keep bookmarks.
        if (site == 0) return false;
        try {
            frame_.dataModule().ReplaceBookmarks(site, shown.ftpPaths());
        } catch (const std::exception& e) {
            frame_.LogMessage(Wire::fromWire(e.what()), 2);
            return false;
        }
        SetBookmarkItems(shown.ftpPaths());
        return true;
    });
    Prompt().ExecForm(&form);
}
