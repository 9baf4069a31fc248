#pragma once
// The about box: the product's picture, its name, version and links on the "Info" page, and the
// release notes on the "Version history" page. It reads and writes no stored data.

#include <QDialog>
#include <QLabel>

class QPlainTextEdit;
class QPushButton;
class QTabWidget;

// A blue label with a hand cursor that reports a click.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    // The version line shown under the product name.
    static const char* const kVersionLine;
    // The release notes, newest first.
    static QString VersionHistory();

    explicit TAboutForm(QWidget* parent = nullptr);

    // Opens link `index` (0 homepage, 1 product page, 2 FAQ page, 3 support mail).
    void onLinkClick(int index);

    QTabWidget* pages;
    TLinkLabel* links[4];
    QPlainTextEdit* historyMemo;
    QPushButton* okButton;
};
