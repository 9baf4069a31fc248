#include "sites/site_editor_form.h"

#include "data/data_module.h"
#include "sites/site_list_page.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

TSiteEditorForm* SiteEditorForm = nullptr;

const char* const TSiteEditorForm::kDefaultPassword = "guest@example.com";

namespace {

const QString kNone = QStringLiteral("None");

QSpinBox* makeSpin(int minimum, int maximum, int value) {
    auto* spin = new QSpinBox;
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

QWidget* withUnit(QSpinBox* spin, const QString& unit) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(spin);
    layout->addWidget(new QLabel(unit));
    layout->addStretch(1);
    return box;
}

QString now() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

void chooseText(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    combo->setCurrentIndex(index >= 0 ? index : 0);
}

} // namespace

TSiteEditorForm::TSiteEditorForm(TDataModule& dataModule, TSiteListPage* siteList, QWidget* parent)
    : QDialog(parent), dataModule_(dataModule), siteList_(siteList) {
    setObjectName(QStringLiteral("SiteEditorForm"));
    setWindowTitle(tr("New FTP Site"));
    SiteEditorForm = this;
    formerChoices_ = SetOpenEntryChoices(this);

    nameEdit = new QLineEdit;
    auto* nameRow = new QFormLayout;
    nameRow->addRow(tr("Name"), nameEdit);

    pages = new QTabWidget;
    pages->addTab(buildLoginPage(), tr("Login Information"));
    pages->addTab(buildAdvancePage(), tr("Advance Option"));

    okButton = new QPushButton(tr("&OK"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(tr("&Cancel"));
    helpButton = new QPushButton(tr("&Help"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    buttons->addWidget(helpButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(pages, 1);
    layout->addLayout(buttons);

    connect(okButton, &QPushButton::clicked, this, &TSiteEditorForm::onOkClick);
    connect(cancelButton, &QPushButton::clicked, this, &TSiteEditorForm::onCancelClick);
    connect(helpButton, &QPushButton::clicked, this, &TSiteEditorForm::onHelpClick);
    connect(viewPasswordCheck, &QCheckBox::clicked, this, &TSiteEditorForm::onViewPasswordClick);
    connect(browseButton, &QToolButton::clicked, this, &TSiteEditorForm::onBrowseClick);
    connect(proxyOptionButton, &QPushButton::clicked, this, &TSiteEditorForm::onProxyOptionClick);
    connect(socksOptionButton, &QPushButton::clicked, this, &TSiteEditorForm::onSocksOptionClick);
    connect(cncCheck, &QCheckBox::clicked, this, &TSiteEditorForm::onCncClick);

    fillChoiceLists();
    onViewPasswordClick();
    onCncClick();
}

TSiteEditorForm::~TSiteEditorForm() {
    if (SiteEditorForm == this) SiteEditorForm = nullptr;
    if (OpenEntryChoices() == this) SetOpenEntryChoices(formerChoices_);
}

QWidget* TSiteEditorForm::buildLoginPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    addressEdit = new QLineEdit;
    portSpin = makeSpin(1, 65535, 21);
    userNameEdit = new QLineEdit(QStringLiteral("anonymous"));
    passwordEdit = new QLineEdit(QString::fromLatin1(kDefaultPassword));
    // Masked text shows as "*" characters whatever the style would draw.
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    viewPasswordCheck = new QCheckBox(tr("View Password"));
    viewPasswordCheck->setChecked(true);
    commentEdit = new QPlainTextEdit;
    localPathEdit = new QLineEdit;
    browseButton = new QToolButton;
    browseButton->setIcon(TIcons::Get(TIcon::Browse));
    browseButton->setToolTip(tr("Browse"));
    ftpPathEdit = new QLineEdit;

    auto* localRow = new QWidget;
    auto* localLayout = new QHBoxLayout(localRow);
    localLayout->setContentsMargins(0, 0, 0, 0);
    localLayout->addWidget(localPathEdit, 1);
    localLayout->addWidget(browseButton);

    form->addRow(tr("FTP Address"), addressEdit);
    form->addRow(tr("Port"), portSpin);
    form->addRow(tr("UserName"), userNameEdit);
    form->addRow(tr("PassWord"), passwordEdit);
    form->addRow(QString(), viewPasswordCheck);
    form->addRow(tr("Comment"), commentEdit);
    form->addRow(tr("Default local path"), localRow);
    form->addRow(tr("Default FTP path"), ftpPathEdit);
    return page;
}

QWidget* TSiteEditorForm::buildAdvancePage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    proxyCombo = new QComboBox;
    proxyOptionButton = new QPushButton(tr("Option..."));
    socksCombo = new QComboBox;
    socksOptionButton = new QPushButton(tr("Option..."));
    pasvCheck = new QCheckBox(tr("Use passive transffer(PASV)"));
    pasvCheck->setChecked(true);
    autoRefreshCheck = new QCheckBox(tr("Auto-refresh"));
    timeoutSpin = makeSpin(0, 99999, 30);
    retriesSpin = makeSpin(INT_MIN, INT_MAX, 20);
    retryDelaySpin = makeSpin(1, 9999, 10);
    encryptionCombo = new QComboBox;
    encryptionCombo->addItems(
        {tr("None"), tr("TLS if available"), tr("Explicit TLS"), tr("Implicit TLS")});
    keepTimeCheck = new QCheckBox(tr("Keep file times"));
    verifyCheck = new QCheckBox(tr("Verify transfers"));
    verifyCheck->setChecked(true);
    connect(encryptionCombo, &QComboBox::currentIndexChanged, this,
            &TSiteEditorForm::onEncryptionChange);
    cncCheck = new QCheckBox(tr("Create new connection when uploading/downloading"));
    maxcSpin = makeSpin(1, 10, 1);

    auto choiceRow = [](QComboBox* combo, QPushButton* button) {
        auto* row = new QWidget;
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(combo, 1);
        layout->addWidget(button);
        return row;
    };
    form->addRow(tr("Proxy"), choiceRow(proxyCombo, proxyOptionButton));
    form->addRow(tr("Socks"), choiceRow(socksCombo, socksOptionButton));
    form->addRow(QString(), pasvCheck);
    form->addRow(QString(), autoRefreshCheck);
    form->addRow(tr("Timeout"), withUnit(timeoutSpin, tr("second")));
    form->addRow(tr("Number of retries"), retriesSpin);
    form->addRow(tr("Retry Delay"), withUnit(retryDelaySpin, tr("second")));
    form->addRow(tr("Encryption"), encryptionCombo);
    form->addRow(QString(), keepTimeCheck);
    form->addRow(QString(), verifyCheck);
    // Stored with the site but not offered: the program runs one transfer at a time.
    form->addRow(QString(), cncCheck);
    form->addRow(tr("Max simultaneous jobs"), maxcSpin);
    cncCheck->setVisible(false);
    maxcSpin->setVisible(false);
    form->labelForField(maxcSpin)->setVisible(false);
    return page;
}

void TSiteEditorForm::fillChoiceLists() {
    proxyCombo->clear();
    proxyCombo->addItem(kNone);
    proxyCombo->addItems(dataModule_.ProxyNames());
    socksCombo->clear();
    socksCombo->addItem(kNone);
    socksCombo->addItems(dataModule_.SocksNames());
}

void TSiteEditorForm::AddProxyName(const QString& name) {
    proxyCombo->addItem(name);
}

void TSiteEditorForm::AddSocksName(const QString& name) {
    socksCombo->addItem(name);
}

void TSiteEditorForm::AddChoice(Kind kind, const QString& name) {
    (kind == Proxy ? proxyCombo : socksCombo)->addItem(name);
}

void TSiteEditorForm::RenameChoice(Kind kind, const QString& oldName, const QString& newName) {
    QComboBox* combo = kind == Proxy ? proxyCombo : socksCombo;
    const int index = combo->findText(oldName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) combo->setItemText(index, newName);
}

void TSiteEditorForm::RemoveChoice(Kind kind, const QString& name) {
    QComboBox* combo = kind == Proxy ? proxyCombo : socksCombo;
    for (int i = combo->count() - 1; i >= 0; --i) {
        if (combo->itemText(i) == name) {
            combo->removeItem(i);
            return;
        }
    }
}

bool TSiteEditorForm::LoadSite(const QString& name) {
    const std::optional<SiteRecord> site = dataModule_.FindSite(name);
    if (!site) return false;
    editMode_ = true;
    formerName_ = name;
    setWindowTitle(tr("Edit FTP Site"));
    fieldsFromRecord(*site);
    const SiteSecurityRecord security = dataModule_.ReadSiteSecurity(site->id);
    // Set without the port follow-up: the stored port is what the user chose.
    const QSignalBlocker quiet(encryptionCombo);
    encryptionCombo->setCurrentIndex(std::clamp(security.encryption, 0, 3));
    keepTimeCheck->setChecked(security.keeptime);
    verifyCheck->setChecked(security.verify);
    return true;
}

void TSiteEditorForm::fieldsFromRecord(const SiteRecord& site) {
    nameEdit->setText(site.name);
    addressEdit->setText(site.address);
    portSpin->setValue(site.port);
    userNameEdit->setText(site.username);
    passwordEdit->setText(site.password);
    viewPasswordCheck->setChecked(site.vp);
    commentEdit->setPlainText(site.comment);
    localPathEdit->setText(site.localpath);
    ftpPathEdit->setText(site.defaultpath);
    chooseText(proxyCombo, site.proxy);
    chooseText(socksCombo, site.socks);
    pasvCheck->setChecked(site.pasv);
    autoRefreshCheck->setChecked(site.autorefresh);
    timeoutSpin->setValue(site.timeout);
    retriesSpin->setValue(site.nor);
    retryDelaySpin->setValue(site.rd);
    cncCheck->setChecked(site.cnc);
    maxcSpin->setValue(site.maxc);
    onViewPasswordClick();
    onCncClick();
}

SiteRecord TSiteEditorForm::recordFromFields() const {
    SiteRecord site;
    site.name = nameEdit->text();
    site.address = addressEdit->text();
    site.port = portSpin->value();
    site.username = userNameEdit->text();
    site.password = passwordEdit->text();
    site.vp = viewPasswordCheck->isChecked();
    site.comment = commentEdit->toPlainText();
    site.localpath = localPathEdit->text();
    site.defaultpath = ftpPathEdit->text();
    site.proxy = proxyCombo->currentText().isEmpty() ? kNone : proxyCombo->currentText();
    site.socks = socksCombo->currentText().isEmpty() ? kNone : socksCombo->currentText();
    site.pasv = pasvCheck->isChecked();
    site.autorefresh = autoRefreshCheck->isChecked();
    site.timeout = timeoutSpin->value();
    site.nor = retriesSpin->value();
    site.rd = retryDelaySpin->value();
    site.cnc = cncCheck->isChecked();
    site.maxc = maxcSpin->value();
    site.cdate = site.zdate = now();
    return site;
}

void TSiteEditorForm::refuse(const QString& text, QWidget* focus, bool showLoginPage) {
    ShowWarning(this, text);
    if (showLoginPage) pages->setCurrentIndex(0);
    focus->setFocus();
}

void TSiteEditorForm::onOkClick() {
    if (nameEdit->text().isEmpty()) return refuse(tr("Please enter name."), nameEdit, true);
    if (addressEdit->text().isEmpty())
        return refuse(tr("Please enter the address of the FTP site."), addressEdit, true);
    const QString name = nameEdit->text();
    const bool nameTaken = (!editMode_ || name != formerName_) && dataModule_.SiteExists(name);
    if (nameTaken)
        return refuse(tr("The name %1 was existed, please re-enter.").arg(name), nameEdit, false);
    const SiteRecord site = recordFromFields();
    if (editMode_)
        dataModule_.UpdateSite(formerName_, site);
    else
        dataModule_.AppendSite(site);
    if (const std::optional<SiteRecord> stored = dataModule_.FindSite(name)) {
        dataModule_.WriteSiteSecurity({stored->id, encryptionCombo->currentIndex(),
                                       keepTimeCheck->isChecked(), verifyCheck->isChecked()});
    }
    if (siteList_) siteList_->LoadSiteList();
    accept();
}

void TSiteEditorForm::onCancelClick() {
    reject();
}

void TSiteEditorForm::onHelpClick() {
    Desktop().ShowHelp(QStringLiteral("Overview"));
}

void TSiteEditorForm::onViewPasswordClick() {
    passwordEdit->setEchoMode(viewPasswordCheck->isChecked() ? QLineEdit::Normal
                                                             : QLineEdit::Password);
}

void TSiteEditorForm::onBrowseClick() {
    const QString folder =
        Prompt().ChooseFolder(this, tr("Default local path"), localPathEdit->text());
    if (!folder.isEmpty()) localPathEdit->setText(folder);
}

void TSiteEditorForm::onProxyOptionClick() {
    if (TSettingsHost* host = SettingsHost()) host->ShowOptions(TSettingsHost::ProxyPage);
}

void TSiteEditorForm::onSocksOptionClick() {
    if (TSettingsHost* host = SettingsHost()) host->ShowOptions(TSettingsHost::SocksPage);
}

void TSiteEditorForm::onCncClick() {
    maxcSpin->setEnabled(cncCheck->isChecked());
}

void TSiteEditorForm::onEncryptionChange(int index) {
    // Implicit TLS has its own well-known port; the plain one is swapped for it and back.
    if (index == 3 && portSpin->value() == 21) portSpin->setValue(990);
    if (index != 3 && portSpin->value() == 990) portSpin->setValue(21);
}
