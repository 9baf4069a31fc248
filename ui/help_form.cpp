#include "ui/help_form.h"

#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

THelpForm::THelpForm(const QString& helpFile, QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
    setWindowTitle(tr("Oxbrook Help"));
    // The help window stays open only as long as the program: closing the main window ends it.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(720, 560);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setOpenLinks(true);
    if (QFileInfo::exists(helpFile)) {
        browser_->setSearchPaths({QFileInfo(helpFile).absolutePath()});
        browser_->setSource(QUrl::fromLocalFile(helpFile));
    } else {
        browser_->setPlainText(tr("The help book %1 was not found.").arg(helpFile));
    }
}

bool THelpForm::HasTopic(const QString& topic) const {
    const QTextDocument* doc = browser_->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(topic)) return true;
        }
    }
    return false;
}

bool THelpForm::ShowTopic(const QString& topic) {
    if (!HasTopic(topic)) {
        ShowContents();
        return false;
    }
    currentTopic_ = topic;
    browser_->scrollToAnchor(topic);
    return true;
}

void THelpForm::ShowContents() {
    currentTopic_.clear();
    browser_->verticalScrollBar()->setValue(0);
}
