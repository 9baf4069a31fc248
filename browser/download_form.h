#pragma once
// The dialog "Download": what is about to be downloaded, and the local folder to put it in,
// with the folders used before from "Downloads.dat".

#include "ui/transfer_item.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class TTransferQueue;

class TDownloadForm : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog for remote-list rows `rows` (in list order, at least one) of the
    // queue's frame; loads the recent list. `queue` outlives the dialog.
    TDownloadForm(TTransferQueue& queue, std::vector<int> rows, QWidget* parent = nullptr);

    // Control handlers.
    void onPathEdited(const QString& text);
    void onBrowseClick();
    void onClearHistoryClick();
    void onOkClick();
    void onCancelClick();

    // Creates every missing level of `path` below its root, one at a time. Returns false when
    // the folder does not exist afterwards.
    static bool CreateFolderPath(const QString& path);
    // Returns the full path of "Downloads.dat" in the program's folder.
    QString recentFile() const;
    // The downloads chosen by OK, one item per selected row that may be downloaded, in list
    // order; the queue adds those it does not hold already.
    const std::vector<rupdown>& chosen() const { return chosen_; }

    QLabel* fileIcon;
    QLabel* folderIcon;
    QLabel* nameLabel;
    QLabel* sizeLabel;
    QLabel* modifiedLabel;
    QLabel* typeLabel;
    QComboBox* pathBox;
    QToolButton* browseButton;
    QPushButton* clearHistoryButton;
    QPushButton* okButton;
    QPushButton* cancelButton;

private:
    TTransferQueue& queue_;
    std::vector<int> rows_;
    std::vector<rupdown> chosen_;
};
