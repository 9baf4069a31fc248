#pragma once
// "Find": selects the remote-list rows whose names match a text; and "Filter": hides every file
// whose extension is not the one given, until the next listing. Each dialog keeps the texts used
// before in its recent-list file ("Find.dat", "Filter.dat").

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class TBrowserFrame;

class TFindForm : public QDialog {
    Q_OBJECT
public:
    // Works on `frame`'s remote list; loads the recent texts from `recentFile`.
    TFindForm(TBrowserFrame& frame, const QString& recentFile, QWidget* parent = nullptr);

    // Returns the rows of `names` that match `text`: with `wholeName` only an exact, case-
    // sensitive equal; otherwise `text` inside the name, with the letters a to z compared
    // without case unless `caseSensitive`. An empty text matches nothing.
    static QList<int> Matches(const QStringList& names, const QString& text, bool caseSensitive,
                              bool wholeName);

    // Selects the matching rows, scrolls to them, closes, and keeps the text in the recent list.
    void onFindClick();
    // Empties the recent list and its file.
    void onClearHistoryClick();

    QComboBox* textBox() const { return text_; }
    QCheckBox* caseBox() const { return case_; }
    QCheckBox* wholeBox() const { return whole_; }

private:
    TBrowserFrame& frame_;
    QString recentFile_;
    QComboBox* text_;
    QCheckBox* case_;
    QCheckBox* whole_;
};

class TFilterForm : public QDialog {
    Q_OBJECT
public:
    // Works on `frame`'s entries; loads the recent patterns from `recentFile`.
    TFilterForm(TBrowserFrame& frame, const QString& recentFile, QWidget* parent = nullptr);

    // Unless the pattern is "*.*", removes from the shown entries every file whose "*" and
    // extension differ from it; keeps the pattern in the recent list and closes.
    void onOkClick();
    void onClearHistoryClick();

    QComboBox* patternBox() const { return pattern_; }

private:
    TBrowserFrame& frame_;
    QString recentFile_;
    QComboBox* pattern_;
};
