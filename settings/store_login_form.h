#pragma once
// The "Database Login" dialog: asks for the password of an encrypted store file. The program
// installs it as the table store's login prompt with InstallStoreLogin.

#include <QDialog>

class QLineEdit;
class QPushButton;

class TStoreLoginForm : public QDialog {
    Q_OBJECT
public:
    // Shows `fileName` read-only; the focus starts in the masked password field.
    explicit TStoreLoginForm(const QString& fileName, QWidget* parent = nullptr);

    QLineEdit* databaseEdit;
    QLineEdit* passwordEdit;
    QPushButton* okButton;
    QPushButton* cancelButton;
};

// Makes the default store session ask through TStoreLoginForm (run by the prompt service). A
// password that was typed is kept for the rest of the run, so the same file is not asked for
// again each time one of its tables opens.
void InstallStoreLogin();
// Removes the prompt again.
void RemoveStoreLogin();
