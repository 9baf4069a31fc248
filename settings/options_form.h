#pragma once
// The options dialog: six pages of application-wide settings ("Anti-Idle", "Transfer", "Proxy",
// "Socks", "Editors", "Temporary folder"). The lists are working copies of their tables until
// OK, except that ticks and the proxy and SOCKS entries are written at once. While it exists the
// global OptionsForm points to it, so the entry dialogs can update its lists.

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class TDataModule;
class TSettingsHost;
enum class CheckedList;

class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    // `host` (may be nullptr) reloads the browser pages' options after OK.
    TOptionsForm(TDataModule& dataModule, TSettingsHost* host, QWidget* parent = nullptr);
    ~TOptionsForm() override;

    // Makes a form, loads it, shows it modally on `page` through the prompt service.
    static void Execute(TDataModule& dataModule, TSettingsHost* host, int page, QWidget* parent);

    // Fills every control from the store, in the order: keep-alive commands, extensions,
    // proxies, SOCKS servers, the options record, editors.
    void LoadSettings();

    // Handlers.
    void onAddCommandClick();
    void onDeleteCommandClick();
    void onAddExtClick();
    void onDeleteExtClick();
    void onCommandChanged(QListWidgetItem* item);
    void onExtChanged(QListWidgetItem* item);
    void onProxyAddClick();
    void onProxyEditClick();
    void onProxyRemoveClick();
    void onSocksAddClick();
    void onSocksEditClick();
    void onSocksRemoveClick();
    void onEditorBrowseClick();
    void onEditorAddClick();
    void onEditorDeleteClick();
    void onTempBrowseClick();
    void onOkClick();
    void onCancelClick();
    void onHelpClick();

    // The entry dialogs' updates of the "Proxy" (socks false) or "Socks" list: a new row, or new
    // cells for the selected row.
    void AppendEntryRow(bool socks, const QStringList& cells);
    void SetSelectedEntryRow(bool socks, const QStringList& cells);

    // Returns the texts and ticks of a ticked list / the rows of a report list, for tests.
    static QStringList itemTexts(const QListWidget* list);
    static QStringList rowTexts(const QTreeWidget* list);

    // The help topic of the current page, empty where there is none.
    QString helpTopic() const;

    // The controls, named after their captions.
    QTabWidget* pages;
    QGroupBox* antiIdleGroup;
    QSpinBox* intervalSpin;
    QListWidget* commandList;
    QPushButton* addCommandButton;
    QPushButton* deleteCommandButton;
    QRadioButton* autoRadio;
    QRadioButton* asciiRadio;
    QRadioButton* binaryRadio;
    QListWidget* extList;
    QPushButton* addExtButton;
    QPushButton* deleteExtButton;
    QSpinBox* recvSpin;
    QSpinBox* sendSpin;
    QGroupBox* completeGroup;
    QRadioButton* noneRadio;
    QRadioButton* disconnectRadio;
    QRadioButton* quitRadio;
    QRadioButton* exitRadio;
    QCheckBox* appeCheck;
    QTreeWidget* proxyList;
    QPushButton* proxyAddButton;
    QPushButton* proxyEditButton;
    QPushButton* proxyRemoveButton;
    QTreeWidget* socksList;
    QPushButton* socksAddButton;
    QPushButton* socksEditButton;
    QPushButton* socksRemoveButton;
    QLineEdit* extensionEdit;
    QLineEdit* editorEdit;
    QToolButton* editorBrowseButton;
    QPushButton* editorAddButton;
    QTreeWidget* editorList;
    QPushButton* editorDeleteButton;
    QLineEdit* tempEdit;
    QToolButton* tempBrowseButton;
    QCheckBox* clearCheck;
    QPushButton* helpButton;
    QPushButton* okButton;
    QPushButton* cancelButton;

private:
    QWidget* buildAntiIdlePage();
    QWidget* buildTransferPage();
    QWidget* buildEntryPage(bool socks);
    QWidget* buildEditorsPage();
    QWidget* buildTempPage();
    void addChecked(QListWidget* list, const QString& caption);
    void writeTick(CheckedList which, QListWidgetItem* item);
    void fillChecked(QListWidget* list, CheckedList which);
    void saveChecked(QListWidget* list, CheckedList which);
    void editEntry(bool socks);
    void removeEntry(bool socks);

    TDataModule& dataModule_;
    TSettingsHost* host_;
    bool loading_ = false;
};

// The options dialog while one exists, else nullptr.
extern TOptionsForm* OptionsForm;
