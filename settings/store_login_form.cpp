#include "settings/store_login_form.h"

#include "store/session.h"
#include "ui/prompt_service.h"

#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TStoreLoginForm::TStoreLoginForm(const QString& fileName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("StoreLoginForm"));
    setWindowTitle(tr("Database Login"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    databaseEdit = new QLineEdit(fileName);
    databaseEdit->setReadOnly(true);
    passwordEdit = new QLineEdit;
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    okButton = new QPushButton(tr("&OK"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(tr("&Cancel"));

    auto* panel = new QFrame;
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    auto* fields = new QFormLayout(panel);
    fields->addRow(tr("Database:"), databaseEdit);
    fields->addRow(tr("Password:"), passwordEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    // Wide enough to show a whole path to the store file.
    setMinimumWidth(360);
    passwordEdit->setFocus();

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void InstallStoreLogin() {
    store::TStoreSession::Default().SetOnLogin(
        [](const std::string& fileName, std::string& password) {
            TStoreLoginForm form(QString::fromStdString(fileName));
            if (Prompt().ExecForm(&form) != QDialog::Accepted) return false;
            password = form.passwordEdit->text().toStdString();
            // Tried first from now on; a wrong one costs one failed check and nothing else.
            store::TStoreSession::Default().AddPassword(password);
            return true;
        });
}

void RemoveStoreLogin() {
    store::TStoreSession::Default().SetOnLogin({});
}
