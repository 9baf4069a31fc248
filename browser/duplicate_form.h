#pragma once
// The dialog "Duplicate file found": both sides of a transfer whose target exists, and the
// choices Overwrite, Skip, Rename, Resume (downloads only), their "all" forms and Cancel.

#include <QDialog>

class QLabel;
class QPushButton;
class TTransferQueue;
struct rtmpinfo;
enum class TDuplicateAnswer;

// The answer of the dialog: what to do, whether for every further target of the run, the new
// name (Rename) and where a resumed download continues (Resume).
struct TDuplicateChoice {
    TDuplicateAnswer answer{};
    bool forAll = false;
    QString newName;
    int64_t resumeOffset = 0;
    int64_t remainingBytes = 0;
};

// One side of the dialog: icon, name, size, modified time and type.
struct TDuplicateBlock {
    QLabel* icon = nullptr;
    QLabel* name = nullptr;
    QLabel* size = nullptr;
    QLabel* modified = nullptr;
    QLabel* type = nullptr;
};

class TDuplicateForm : public QDialog {
    Q_OBJECT
public:
    // Dialog results beyond Accepted (Rename) and Rejected (Cancel).
    enum Result { Retry = 4, Ignore = 5, Yes = 6, No = 7 };

    // Builds the dialog for `info` on behalf of `queue`, which outlives it.
    TDuplicateForm(TTransferQueue& queue, const rtmpinfo& info, bool isFolder, bool isDownload,
                   QWidget* parent = nullptr);
    // The answer given by the dialog result `result`.
    TDuplicateChoice Choice(int result) const;

    // Button handlers.
    void onOverwriteClick();
    void onOverwriteAllClick();
    void onSkipClick();
    void onSkipAllClick();
    void onRenameClick();
    void onResumeClick();
    void onCancelClick();

    QLabel* firstHeading;
    QLabel* secondHeading;
    TDuplicateBlock first;
    TDuplicateBlock second;
    QPushButton* overwriteButton;
    QPushButton* skipButton;
    QPushButton* renameButton;
    QPushButton* resumeButton;
    QPushButton* overwriteAllButton;
    QPushButton* skipAllButton;
    QPushButton* cancelButton;
    QPushButton* helpButton;

private:
    TTransferQueue& queue_;
    QString infoName_;
    bool forAll_ = false;
    QString newName_;
    int64_t resumeOffset_ = 0;
    int64_t remainingBytes_ = 0;
};
