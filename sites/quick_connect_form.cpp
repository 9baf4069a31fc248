#include "sites/quick_connect_form.h"

#include "data/data_module.h"
#include "sites/site_editor_form.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

TQuickConnectForm* QuickConnectForm = nullptr;

TQuickConnectForm::TQuickConnectForm(TDataModule& dataModule, TSessionHost& host,
                                     TSiteListPage* siteList, QWidget* parent)
    : QDialog(parent), dataModule_(dataModule), host_(host), siteList_(siteList) {
    setObjectName(QStringLiteral("QuickConnectForm"));
    setWindowTitle(tr("Quick connect"));
    QuickConnectForm = this;

    serverCombo = new QComboBox;
    serverCombo->setEditable(true);
    serverCombo->setInsertPolicy(QComboBox::NoInsert);
    serverCombo->setMinimumWidth(200);
    saveSiteButton = new QToolButton;
    saveSiteButton->setIcon(TIcons::Get(TIcon::NewSite));
    saveSiteButton->setToolTip(tr("Save ftp site"));
    portSpin = new QSpinBox;
    portSpin->setRange(1, 65535);
    portSpin->setValue(21);
    userEdit = new QLineEdit;
    passwordEdit = new QLineEdit;
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    pasvCheck = new QCheckBox(tr("Use passive transfer(PASV)"));
    pasvCheck->setChecked(true);
    clearHistoryButton = new QPushButton(tr("Clear &history"));
    connectButton = new QPushButton(tr("C&onnect"));
    connectButton->setDefault(true);
    cancelButton = new QPushButton(tr("&Cancel"));

    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(serverCombo, 1);
    serverRow->addWidget(saveSiteButton);
    auto* form = new QFormLayout;
    form->addRow(tr("Ftp server"), serverRow);
    form->addRow(tr("Port"), portSpin);
    form->addRow(tr("Username"), userEdit);
    form->addRow(tr("Password"), passwordEdit);
    form->addRow(QString(), pasvCheck);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clearHistoryButton);
    buttons->addStretch(1);
    buttons->addWidget(connectButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(serverCombo, &QComboBox::currentTextChanged, this, &TQuickConnectForm::onServerChange);
    connect(saveSiteButton, &QToolButton::clicked, this, &TQuickConnectForm::onSaveSiteClick);
    connect(clearHistoryButton, &QPushButton::clicked, this,
            &TQuickConnectForm::onClearHistoryClick);
    connect(connectButton, &QPushButton::clicked, this, &TQuickConnectForm::onConnectClick);
    connect(cancelButton, &QPushButton::clicked, this, &TQuickConnectForm::onCancelClick);
}

TQuickConnectForm::~TQuickConnectForm() {
    if (QuickConnectForm == this) QuickConnectForm = nullptr;
}

void TQuickConnectForm::FormShow() {
    const QSignalBlocker block(serverCombo);
    for (const QuickServer& server : dataModule_.LoadQuickServers())
        serverCombo->addItem(server.ftp);
    serverCombo->setEditText(QString());
}

void TQuickConnectForm::onServerChange(const QString& text) {
    const std::optional<QuickServer> server = dataModule_.FindQuickServer(text);
    if (!server) return;
    userEdit->setText(server->user);
    passwordEdit->setText(server->pass);
    portSpin->setValue(server->port);
    pasvCheck->setChecked(server->pasv);
}

QuickConnectValues TQuickConnectForm::values() const {
    QuickConnectValues v;
    v.host = serverCombo->currentText();
    v.port = portSpin->value();
    v.username = userEdit->text();
    v.password = passwordEdit->text();
    v.passive = pasvCheck->isChecked();
    return v;
}

void TQuickConnectForm::onConnectClick() {
    if (connecting_) return;
    const QuickConnectValues typed = values();
    // The connect pumps window events while it waits; until it returns, nothing may close
    // this dialog or start a second connect from it.
    connecting_ = true;
    for (QWidget* button :
         {static_cast<QWidget*>(connectButton), static_cast<QWidget*>(cancelButton),
          static_cast<QWidget*>(clearHistoryButton), static_cast<QWidget*>(saveSiteButton)})
        button->setEnabled(false);
    try {
        host_.OpenQuickSession(typed);
    } catch (...) {
        connecting_ = false;
        throw;
    }
    connecting_ = false;
    QuickServer server;
    server.ftp = typed.host;
    server.port = typed.port;
    server.user = typed.username;
    server.pass = typed.password;
    server.pasv = typed.passive;
    dataModule_.RememberQuickServer(server);
    accept();
}

void TQuickConnectForm::onClearHistoryClick() {
    dataModule_.ClearQuickServers();
    const QSignalBlocker block(serverCombo);
    const QString typed = serverCombo->currentText();
    serverCombo->clear();
    serverCombo->setEditText(typed);
}

void TQuickConnectForm::onSaveSiteClick() {
    const QString server = serverCombo->currentText();
    if (server.isEmpty()) return;
    TSiteEditorForm editor(dataModule_, siteList_, this);
    editor.addressEdit->setText(server);
    editor.portSpin->setValue(portSpin->value());
    editor.userNameEdit->setText(userEdit->text());
    editor.passwordEdit->setText(passwordEdit->text());
    editor.pasvCheck->setChecked(pasvCheck->isChecked());
    // The password was typed masked; the new site keeps it masked.
    editor.viewPasswordCheck->setChecked(false);
    editor.onViewPasswordClick();
    editor.nameEdit->clear();
    Prompt().ExecForm(&editor);
}

void TQuickConnectForm::onCancelClick() {
    reject();
}

void TQuickConnectForm::reject() {
    if (connecting_) return;
    QDialog::reject();
}

void TQuickConnectForm::closeEvent(QCloseEvent* event) {
    if (connecting_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
