#include "settings/entry_form.h"

#include "data/data_module.h"
#include "settings/options_form.h"
#include "ui/prompt_service.h"
#include "ui/settings_host.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TEntryForm::TEntryForm(Kind kind, TDataModule& dataModule, const QString& caption, QWidget* parent)
    : QDialog(parent), dataModule_(dataModule), kind_(kind) {
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                   Qt::WindowTitleHint);
    nameEdit = new QLineEdit;
    hostEdit = new QLineEdit;
    portSpin = new QSpinBox;
    portSpin->setRange(1, 65535);
    portSpin->setAlignment(Qt::AlignRight);
    typeCombo = new QComboBox;
    loginGroup = new QGroupBox(tr("Login"));
    // Unticked, the group disables (and greys) the credentials; ticking enables them.
    loginGroup->setCheckable(true);
    loginGroup->setChecked(false);
    userEdit = new QLineEdit;
    passwordEdit = new QLineEdit;
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    okButton = new QPushButton(tr("&OK"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(tr("&Cancel"));

    const bool socks = kind == Socks;
    auto* top = new QFormLayout;
    top->addRow(tr("Name"), nameEdit);
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    top->addRow(line);
    top->addRow(socks ? tr("Host") : tr("Proxy Server"), hostEdit);
    top->addRow(socks ? tr("Port") : tr("Proxy Port"), portSpin);
    top->addRow(socks ? tr("Socks Version") : tr("Proxy Type"), typeCombo);
    auto* login = new QFormLayout(loginGroup);
    login->addRow(tr("Username"), userEdit);
    login->addRow(tr("Password"), passwordEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(loginGroup);
    layout->addLayout(buttons);
    setFixedWidth(320);

    nameEdit->setFocus();
    connect(okButton, &QPushButton::clicked, this, &TEntryForm::onOkClick);
    connect(cancelButton, &QPushButton::clicked, this, &TEntryForm::onCancelClick);
}

bool TEntryForm::editMode() const {
    return windowTitle() != (kind_ == Socks ? tr("Add Socks") : tr("Add Proxy"));
}

bool TEntryForm::nameTaken(const QString& name) {
    return kind_ == Socks ? dataModule_.FindSocks(name).has_value()
                          : dataModule_.FindProxy(name).has_value();
}

void TEntryForm::refuse(const QString& text, QWidget* focus) {
    ShowWarning(this, text);
    focus->setFocus();
}

QStringList TEntryForm::rowCells() const {
    return {nameEdit->text(), hostEdit->text(), typeCombo->currentText()};
}

bool TEntryForm::store() {
    if (kind_ == Socks) {
        const SocksRecord socks = static_cast<const TSocksEntryForm*>(this)->record();
        if (!editMode()) {
            dataModule_.AppendSocks(socks);
            return true;
        }
        return dataModule_.UpdateSocks(formerName_, socks);
    }
    const ProxyRecord proxy = static_cast<const TProxyEntryForm*>(this)->record();
    if (!editMode()) {
        dataModule_.AppendProxy(proxy);
        return true;
    }
    return dataModule_.UpdateProxy(formerName_, proxy);
}

void TEntryForm::onOkClick() {
    const QString name = nameEdit->text();
    if (name.isEmpty()) return refuse(tr("Please enter the name."), nameEdit);
    if (hostEdit->text().isEmpty())
        return refuse(kind_ == Socks ? tr("Please enter the host.")
                                     : tr("Please enter the address of proxy."),
                      hostEdit);
    const bool renamed = !editMode() || name != formerName_;
    if (renamed && nameTaken(name))
        return refuse(tr("The name %1 was existed, please re-enter.").arg(name), nameEdit);
    const bool socks = kind_ == Socks;
    const TEntryChoices::Kind choice = socks ? TEntryChoices::Socks : TEntryChoices::Proxy;
    if (store()) {
        if (!editMode()) {
            if (OptionsForm) OptionsForm->AppendEntryRow(socks, rowCells());
            if (TEntryChoices* choices = OpenEntryChoices()) choices->AddChoice(choice, name);
        } else {
            if (OptionsForm) OptionsForm->SetSelectedEntryRow(socks, rowCells());
            if (TEntryChoices* choices = OpenEntryChoices())
                choices->RenameChoice(choice, formerName_, name);
        }
    }
    accept();
}

void TEntryForm::onCancelClick() {
    reject();
}

const QStringList& TProxyEntryForm::Types() {
    static const QStringList types = {QStringLiteral("None"),     QStringLiteral("UserSite"),
                                      QStringLiteral("Site"),     QStringLiteral("Open"),
                                      QStringLiteral("UserPass"), QStringLiteral("Transparent")};
    return types;
}

TProxyEntryForm::TProxyEntryForm(TDataModule& dataModule, const QString& caption, QWidget* parent)
    : TEntryForm(Proxy, dataModule, caption, parent) {
    setObjectName(QStringLiteral("ProxyEntryForm"));
    typeCombo->addItems(Types());
    typeCombo->setCurrentIndex(-1);
    // An FTP proxy listens where an FTP server does unless told otherwise.
    portSpin->setValue(21);
}

void TProxyEntryForm::LoadRecord(const ProxyRecord& proxy) {
    setFormerName(proxy.name);
    nameEdit->setText(proxy.name);
    hostEdit->setText(proxy.server);
    portSpin->setValue(proxy.port);
    loginGroup->setChecked(proxy.login);
    userEdit->setText(proxy.username);
    passwordEdit->setText(proxy.password);
    typeCombo->setCurrentIndex(proxy.type >= 0 && proxy.type < typeCombo->count() ? proxy.type
                                                                                  : -1);
}

ProxyRecord TProxyEntryForm::record() const {
    ProxyRecord proxy;
    proxy.name = nameEdit->text();
    proxy.server = hostEdit->text();
    proxy.port = portSpin->value();
    proxy.login = loginGroup->isChecked();
    proxy.username = userEdit->text();
    proxy.password = passwordEdit->text();
    proxy.type = typeCombo->currentIndex();
    proxy.typeName = typeCombo->currentText();
    return proxy;
}

const QStringList& TSocksEntryForm::Versions() {
    static const QStringList versions = {QStringLiteral("NoSocks"), QStringLiteral("Socks4"),
                                         QStringLiteral("Socks4A"), QStringLiteral("Socks5")};
    return versions;
}

TSocksEntryForm::TSocksEntryForm(TDataModule& dataModule, const QString& caption, QWidget* parent)
    : TEntryForm(Socks, dataModule, caption, parent) {
    setObjectName(QStringLiteral("SocksEntryForm"));
    typeCombo->addItems(Versions());
    typeCombo->setCurrentIndex(0);
    portSpin->setValue(1080);
}

void TSocksEntryForm::LoadRecord(const SocksRecord& socks) {
    setFormerName(socks.name);
    nameEdit->setText(socks.name);
    hostEdit->setText(socks.host);
    portSpin->setValue(socks.port);
    loginGroup->setChecked(socks.login);
    userEdit->setText(socks.user);
    passwordEdit->setText(socks.pass);
    typeCombo->setCurrentIndex(socks.sv >= 0 && socks.sv < typeCombo->count() ? socks.sv : 0);
}

SocksRecord TSocksEntryForm::record() const {
    SocksRecord socks;
    socks.name = nameEdit->text();
    socks.host = hostEdit->text();
    socks.port = portSpin->value();
    socks.login = loginGroup->isChecked();
    socks.user = userEdit->text();
    socks.pass = passwordEdit->text();
    socks.sv = typeCombo->currentIndex();
    socks.svname = typeCombo->currentText();
    return socks;
}
