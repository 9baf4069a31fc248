#pragma once
// The quick connect dialog: opens a session to a typed server without storing a site, remembers
// every server it connected to in `quickftp`, and can turn the typed values into a new site
// through the site editor. While it exists the global QuickConnectForm points to it.

#include "ui/session_host.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class TDataModule;
class TSiteListPage;

class TQuickConnectForm : public QDialog {
    Q_OBJECT
public:
    // `siteList` (may be nullptr) is reloaded when "Save ftp site" stores a site.
    TQuickConnectForm(TDataModule& dataModule, TSessionHost& host, TSiteListPage* siteList,
                      QWidget* parent = nullptr);
    ~TQuickConnectForm() override;

    // Fills "Ftp server" with every remembered server in table order.
    void FormShow();

    // Handlers.
    void onServerChange(const QString& text);
    void onConnectClick();
    void onClearHistoryClick();
    void onSaveSiteClick();
    void onCancelClick();

    // The values typed now.
    QuickConnectValues values() const;
    // True while "C&onnect" is connecting; the dialog cannot be closed then.
    bool connecting() const { return connecting_; }

    void reject() override;

    QComboBox* serverCombo;
    QToolButton* saveSiteButton;
    QSpinBox* portSpin;
    QLineEdit* userEdit;
    QLineEdit* passwordEdit;
    QCheckBox* pasvCheck;
    QPushButton* clearHistoryButton;
    QPushButton* connectButton;
    QPushButton* cancelButton;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TDataModule& dataModule_;
    TSessionHost& host_;
    TSiteListPage* siteList_;
    bool connecting_ = false;
};

// The quick connect dialog while one exists, else nullptr.
extern TQuickConnectForm* QuickConnectForm;
