#pragma once
// The help window: the help book "Oxbrook.html" in a text browser, opened at a topic by its
// identifier (each topic is an anchor of that name) or at its contents (the top of the book).

#include <QWidget>

class QTextBrowser;

class THelpForm : public QWidget {
    Q_OBJECT
public:
    // Requires the full path of the help book; a missing book shows a one-line notice instead.
    explicit THelpForm(const QString& helpFile, QWidget* parent = nullptr);

    // Scrolls to the anchor `topic`; returns false (and shows the contents) when the book has none.
    bool ShowTopic(const QString& topic);
    // Scrolls to the top of the book.
    void ShowContents();

    // Returns the topic shown last, empty for the contents.
    const QString& currentTopic() const { return currentTopic_; }
    // Returns true when the book holds an anchor named `topic`.
    bool HasTopic(const QString& topic) const;
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    QString currentTopic_;
};
