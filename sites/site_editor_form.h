#pragma once
// The site editor: a modal form that makes a new site or edits a stored one. It is created for
// each use; while it exists the global SiteEditorForm points to it, so the proxy and SOCKS entry
// dialogs and quick connect can reach it.

#include "ui/settings_host.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class TDataModule;
class TSiteListPage;
struct SiteRecord;

class TSiteEditorForm : public QDialog, public TEntryChoices {
    Q_OBJECT
public:
    // Builds the form in new mode with its defaults and fills "Proxy" and "Socks" from the store.
    // `siteList` (may be nullptr) is reloaded after a save.
    TSiteEditorForm(TDataModule& dataModule, TSiteListPage* siteList, QWidget* parent = nullptr);
    ~TSiteEditorForm() override;

    // Switches to edit mode on the site named `name` and copies its fields into the controls.
    // Returns false (and changes nothing) when there is no such site.
    bool LoadSite(const QString& name);
    // Returns true in edit mode.
    bool editMode() const { return editMode_; }
    const QString& formerName() const { return formerName_; }

    // Handlers.
    void onOkClick();
    void onCancelClick();
    void onHelpClick();
    void onViewPasswordClick();
    void onBrowseClick();
    void onProxyOptionClick();
    void onSocksOptionClick();
    void onCncClick();
    void onEncryptionChange(int index);

    // Proxy and SOCKS entries added while the form is open are appended to its lists.
    void AddProxyName(const QString& name);
    void AddSocksName(const QString& name);
    // TEntryChoices: the options dialog's entry changes, kept in step in the choice lists.
    void AddChoice(Kind kind, const QString& name) override;
    void RenameChoice(Kind kind, const QString& oldName, const QString& newName) override;
    void RemoveChoice(Kind kind, const QString& name) override;

    // The controls, named after their captions.
    QLineEdit* nameEdit;
    QTabWidget* pages;
    QLineEdit* addressEdit;
    QSpinBox* portSpin;
    QLineEdit* userNameEdit;
    QLineEdit* passwordEdit;
    QCheckBox* viewPasswordCheck;
    QPlainTextEdit* commentEdit;
    QLineEdit* localPathEdit;
    QToolButton* browseButton;
    QLineEdit* ftpPathEdit;
    QComboBox* proxyCombo;
    QPushButton* proxyOptionButton;
    QComboBox* socksCombo;
    QPushButton* socksOptionButton;
    QCheckBox* pasvCheck;
    QCheckBox* autoRefreshCheck;
    QSpinBox* timeoutSpin;
    QSpinBox* retriesSpin;
    QSpinBox* retryDelaySpin;
    QCheckBox* cncCheck;
    // The site's security record (a table of its own, by site id).
    QComboBox* encryptionCombo;
    QCheckBox* keepTimeCheck;
    QCheckBox* verifyCheck;
    QSpinBox* maxcSpin;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QPushButton* helpButton;

    // The placeholder e-mail address offered as the anonymous password.
    static const char* const kDefaultPassword;

private:
    QWidget* buildLoginPage();
    QWidget* buildAdvancePage();
    void fillChoiceLists();
    void fieldsFromRecord(const SiteRecord& site);
    SiteRecord recordFromFields() const;
    void refuse(const QString& text, QWidget* focus, bool showLoginPage);

    TDataModule& dataModule_;
    TSiteListPage* siteList_;
    QString formerName_;
    bool editMode_ = false;
    TEntryChoices* formerChoices_ = nullptr;
};

// The site editor while one exists, else nullptr.
extern TSiteEditorForm* SiteEditorForm;
