#pragma once
// The task editor ("Create new task" / "Edit task"): a task's name, category, site, entries and
// description. Its callers fill it before it is shown (the task tree, the local page, a browser
// page). "&OK" stores the task with its entries, replacing the former ones.

#include "tasks/task_records.h"

#include <QDialog>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class TDataModule;

class TTaskEditorForm : public QDialog {
    Q_OBJECT
public:
    // Requires the data module, which outlives the dialog. `type` is "Upload" or "Download".
    TTaskEditorForm(TDataModule& dataModule, bool create, const QString& type,
                    QWidget* parent = nullptr);

    // Fills "FTP server" with `sites` choosing `site` (the first when empty or absent), and
    // "Task category" with `categories` choosing `category` likewise.
    void FillSites(const QStringList& sites, const QString& site);
    void FillCategories(const QStringList& categories, const QString& category);
    // Appends an entry with its row.
    void AddEntry(const rtaskupdown& entry);

    // Handlers.
    void onFieldChange();
    void onSelectionChange();
    void onDeleteClick();
    void onEditClick();
    void onOkClick();
    void onHelpClick();
    // Applies the entry path dialog's texts to every selected row.
    void ApplyEntryPath(const QString& local, const QString& ftp);

    bool isDownload() const;
    bool createMode() const { return create_; }
    // The task being edited (edit mode).
    int taskId = 0;
    // Called after the task was stored, before the dialog closes (the task tree reloads).
    std::function<void()> onSaved;
    const std::vector<rtaskupdown>& entries() const { return entries_; }
    // The selected rows, top to bottom.
    std::vector<int> selectedRows() const;

    QLineEdit* nameEdit;
    QComboBox* categoryBox;
    QComboBox* siteBox;
    QTabWidget* pages;
    QTreeWidget* entryList;
    QPushButton* editButton;
    QPushButton* deleteButton;
    QPlainTextEdit* descriptionEdit;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QPushButton* helpButton;

private:
    void setRow(int row);

    TDataModule& dataModule_;
    bool create_;
    std::vector<rtaskupdown> entries_;
};

// The entry path dialog ("Edit"): the local folder and the remote folder of the selected task
// entries; an upload task changes only the remote folder, a download task only the local one.
class TEntryPathForm : public QDialog {
    Q_OBJECT
public:
    TEntryPathForm(TTaskEditorForm& editor, const rtaskupdown& first);

    void onApplyClick();
    void onBrowseClick();
    void onFtpChange();

    QLineEdit* localEdit;
    QPushButton* browseButton;
    QLineEdit* ftpEdit;
    QPushButton* applyButton;
    QPushButton* cancelButton;

private:
    TTaskEditorForm& editor_;
};
