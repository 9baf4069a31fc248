#pragma once
// "Manage Bookmarks": two pages, "Local" (the local page's folder bookmarks, "bookmark.dat") and
// "FTP" (the remote folders bookmarked for one site), each a list with a "&Delete" button. What
// "&OK" does is the caller's: it is handed the lists and says whether the dialog may close.

#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QTabWidget;
class QTreeWidget;

class TBookmarkManagerForm : public QDialog {
    Q_OBJECT
public:
    // Decides on "&OK": returns true when the dialog may close.
    using OkHandler = std::function<bool(TBookmarkManagerForm&)>;

    // Shows `serverName` on the "FTP" page; `localFile` is loaded into the "Local" page, which
    // is shown only with `showLocal` (the dialog then opens on it).
    TBookmarkManagerForm(const QString& serverName, const QString& localFile, bool showLocal,
                         QWidget* parent = nullptr);

    void SetFtpPaths(const QStringList& paths);
    QStringList ftpPaths() const;
    QStringList localPaths() const;
    // True while the "Local" page is shown.
    bool localShown() const { return showLocal_; }
    QString serverName() const;
    void SetOkHandler(OkHandler handler) { okHandler_ = std::move(handler); }

    // "&Delete" of a page: removes that list's selected row, if any.
    void onDeleteFtpClick();
    void onDeleteLocalClick();
    // "&OK": with the "Local" page, saves "bookmark.dat" and closes; otherwise asks the handler.
    void onOkClick();

    QTreeWidget* ftpList() const { return ftpList_; }
    QTreeWidget* localList() const { return localList_; }
    QTabWidget* pages() const { return pages_; }

private:
    static QStringList paths(const QTreeWidget* list);
    static void fill(QTreeWidget* list, const QStringList& paths);

    QString localFile_;
    bool showLocal_;
    QLabel* server_;
    QTabWidget* pages_;
    QTreeWidget* ftpList_;
    QTreeWidget* localList_;
    OkHandler okHandler_;
};
