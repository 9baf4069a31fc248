#pragma once
// "View" and "Edit" of a remote file through a local copy: the copy is downloaded into a folder
// of the page's own inside the temporary folder, opened with the user's program or the editor
// configured for its extension, and after "Edit" offered for upload over the remote file. The
// copies are listed in the frame's `tempFiles`, which the main window deletes with the page.

#include <QObject>
#include <QString>
#include <cstdint>

class TBrowserFrame;

class TViewEdit : public QObject {
    Q_OBJECT
public:
    // Returns the frame's view and edit commands, attaching them on first use.
    static TViewEdit& Of(TBrowserFrame& frame);

    // Transfers one file outside the queue with the queue's progress panel. Does nothing and
    // returns false while the page is busy with the queue or another command. Returns false
    // when the transfer failed (logged; the list is refreshed).
    bool TransferOne(const QString& remotePath, const QString& localPath, bool upload,
                     int64_t size);
    // "View": downloads the selected file and opens the copy.
    void onViewClick();
    // "Edit": downloads the selected file, opens the copy in the editor for its extension and
    // asks whether to upload it back.
    void onEditClick();
    // Returns the page's own folder for local copies, making it on first use; empty when it
    // cannot be made.
    QString CopyFolder();

private:
    explicit TViewEdit(TBrowserFrame& frame);
    // Downloads the selected file into the copy folder; returns the copy's path and sets
    // `remotePath`, or returns an empty path when nothing was downloaded.
    QString fetchSelected(QString& remotePath);
    void openCopy(const QString& localPath);

    TBrowserFrame& frame_;
    QString copyFolder_;
};
