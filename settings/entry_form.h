#pragma once
// The two small dialogs that add or edit one stored entry: the proxy entry dialog
// (TProxyEntryForm, "Add Proxy"/"Edit Proxy") and the SOCKS entry dialog (TSocksEntryForm,
// "Add Socks"/"Edit Socks"). Both write the store at once on OK and keep the options dialog's
// list and the open site editor's choice list in step.

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TDataModule;
struct ProxyRecord;
struct SocksRecord;

class TEntryForm : public QDialog {
    Q_OBJECT
public:
    // True when the caption is not the add caption: the form then holds the former name.
    bool editMode() const;
    const QString& formerName() const { return formerName_; }

    // Handlers.
    void onOkClick();
    void onCancelClick();

    // The controls, named after their captions ("Proxy Server"/"Host", "Proxy Port"/"Port",
    // "Proxy Type"/"Socks Version", the "Login" group with "Username" and "Password").
    QLineEdit* nameEdit;
    QLineEdit* hostEdit;
    QSpinBox* portSpin;
    QComboBox* typeCombo;
    QGroupBox* loginGroup;
    QLineEdit* userEdit;
    QLineEdit* passwordEdit;
    QPushButton* okButton;
    QPushButton* cancelButton;

protected:
    enum Kind { Proxy, Socks };
    TEntryForm(Kind kind, TDataModule& dataModule, const QString& caption, QWidget* parent);

    void setFormerName(const QString& name) { formerName_ = name; }
    TDataModule& dataModule_;

private:
    bool nameTaken(const QString& name);
    // Writes the entry (append, or update of the former name); false when the former entry is
    // gone and nothing was written.
    bool store();
    QStringList rowCells() const;
    void refuse(const QString& text, QWidget* focus);

    Kind kind_;
    QString formerName_;
};

class TProxyEntryForm : public TEntryForm {
    Q_OBJECT
public:
    // The proxy types in list order; a record's `type` is the position in this list.
    static const QStringList& Types();
    TProxyEntryForm(TDataModule& dataModule, const QString& caption, QWidget* parent = nullptr);
    // Fills the controls from `proxy` and remembers its name as the former name.
    void LoadRecord(const ProxyRecord& proxy);
    ProxyRecord record() const;
};

class TSocksEntryForm : public TEntryForm {
    Q_OBJECT
public:
    // The SOCKS versions in list order; a record's `sv` is the position in this list.
    static const QStringList& Versions();
    TSocksEntryForm(TDataModule& dataModule, const QString& caption, QWidget* parent = nullptr);
    void LoadRecord(const SocksRecord& socks);
    SocksRecord record() const;
};
