#pragma once
// The category dialog ("New category" / "Edit category"): a category's name and description.
// "&OK" refuses a name another category has.

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TDataModule;

class TCategoryForm : public QDialog {
    Q_OBJECT
public:
    // New mode with an empty `formerName`; edit mode otherwise, filled from the category.
    TCategoryForm(TDataModule& dataModule, const QString& formerName, QWidget* parent = nullptr);

    // Stores the category and closes the dialog, or warns and stays open when the name is taken.
    void onOkClick();
    void onNameChange();

    bool editMode() const { return !formerName_.isEmpty(); }
    QLineEdit* nameEdit;
    QPlainTextEdit* descEdit;
    QPushButton* okButton;
    QPushButton* cancelButton;

private:
    TDataModule& dataModule_;
    QString formerName_;
};
