#pragma once
// The remote list's file operations: make a folder, delete entries (folders with everything in
// them), rename in place, move by a typed destination or by dropping rows on a folder, and
// change permissions with the properties dialog, optionally down a whole tree. All work on the
// frame's current folder and the remote list's selection; the listing cache is kept true.

#include <QObject>
#include <QSet>
#include <QStringList>

class QAction;
class QPoint;
class TBrowserFrame;
class TRemoteWalk;
struct rdatalist;

class TRemoteOperations : public QObject {
    Q_OBJECT
public:
    // Returns the frame's operations, attaching them on first use; they live with the frame.
    static TRemoteOperations& Of(TBrowserFrame& frame);

    // "Make new directory": asks the name and makes the folder.
    void onMakeDirectoryClick();
    // Makes folder `name` in the current folder and lists it again. An empty name does nothing;
    // a name the name check refuses shows only its message. Returns false after showing "Can not
    // create folder." for a failure.
    bool MakeFolder(const QString& name);

    // "Delete": asks, then deletes the selected rows, folders with their whole trees.
    void onDeleteClick();
    // Deletes `names` (entries of the current folder) without asking; returns the names that
    // are gone. Failures are logged and end the command.
    QStringList DeleteEntries(const QStringList& names);

    // "Rename": starts the in-place edit of the selected row's name.
    void onRenameClick();
    // The end of the in-place edit of row `row` with text `text`.
    void onNameEdited(int row, const QString& text);
    // Renames `oldName` of the current folder to `newName` on the server and in the lists.
    // Raises the engine's errors.
    void RenameEntry(const QString& oldName, const QString& newName);

    // "Move": asks the destination folder and moves the selected rows there.
    void onMoveClick();
    // Moves the selected rows into folder entry `folderName` of the current folder (a drop of
    // this list's own rows on that folder).
    void DropOnFolder(const QString& folderName);
    // A drop of rows dragged from `source` at `viewportPos` of the list: moves the selection
    // onto the folder entry there, only when the rows come from this list itself. Returns true
    // when the drop was this list's own.
    bool DropRows(const QObject* source, const QPoint& viewportPos);
    // Sends RNFR source+name and RNTO destination+name, accepting any replies.
    void MoveEntry(const QString& name, QString destinationFolder, const QString& sourceFolder);

    // "Properties": the permission dialog, then the mode change of the selection.
    void onPropertiesClick();
    // Sends "SITE CHMOD mode name" for each of `names` (entries of the current folder); with
    // `recursive`, a folder's whole tree is changed first, children before their folder.
    void ChangeMode(const QStringList& names, int mode, bool recursive);

    // The frame's numeric mode chosen last in the properties dialog.
    int chmodMode = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TRemoteOperations(TBrowserFrame& frame);
    QStringList selectedNames() const;
    const rdatalist* entryNamed(const QString& name) const;
    bool ensureConnected();
    void deleteTree(TRemoteWalk& walk, const QString& path, int depth);
    void chmodTree(TRemoteWalk& walk, const QString& path, int depth);
    void dropCachedTrees(const QSet<QString>& gone);
    void refresh();

    TBrowserFrame& frame_;
};
