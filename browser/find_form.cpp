#include "browser/find_form.h"

#include "browser/browser_frame.h"
#include "ui/recent_list.h"
#include "browser/remote_list_model.h"
#include "browser/transfer_queue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QString upperAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 32);
    }
    return out;
}

QComboBox* recentBox(const QString& file) {
    auto* box = new QComboBox;
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(RecentList::Load(file));
    box->setCurrentText(QString());
    return box;
}

// Appends `text` to the box's list unless it holds it exactly, and saves the list.
void remember(QComboBox* box, const QString& text, const QString& file) {
    if (box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) box->addItem(text);
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    RecentList::Save(file, items);
}

QHBoxLayout* buttonRow(QDialog* form, QPushButton* clear, QPushButton* act, QPushButton* close) {
    act->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, form, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(clear);
    row->addStretch();
    row->addWidget(act);
    row->addWidget(close);
    return row;
}

} // namespace

TFindForm::TFindForm(TBrowserFrame& frame, const QString& recentFile, QWidget* parent)
    : QDialog(parent), frame_(frame), recentFile_(recentFile), text_(recentBox(recentFile)),
      case_(new QCheckBox(tr("Case sensitive"))), whole_(new QCheckBox(tr("Whole words only"))) {
    setWindowTitle(tr("Find"));
    setWindowFlags(Qt::Tool);
    resize(299, 131);
    auto* options = new QGroupBox(tr("Options"));
    auto* optionRow = new QHBoxLayout(options);
    optionRow->addWidget(case_);
    optionRow->addWidget(whole_);
    auto* clear = new QPushButton(tr("Clear history"));
    auto* find = new QPushButton(tr("&Find"));
    connect(clear, &QPushButton::clicked, this, &TFindForm::onClearHistoryClick);
    connect(find, &QPushButton::clicked, this, &TFindForm::onFindClick);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("&Name to find"));
    label->setBuddy(text_);
    layout->addWidget(label);
    layout->addWidget(text_);
    layout->addWidget(options);
    layout->addLayout(buttonRow(this, clear, find, new QPushButton(tr("&Close"))));
}

QList<int> TFindForm::Matches(const QStringList& names, const QString& text, bool caseSensitive,
                              bool wholeName) {
    QList<int> rows;
    if (text.isEmpty()) return rows;
    const QString upper = upperAscii(text);
    for (int row = 0; row < names.size(); ++row) {
        const QString& name = names[row];
        bool match = false;
        if (wholeName)
            match = name == text;
        else if (caseSensitive)
            match = name.contains(text);
        else
            match = upperAscii(name).contains(upper);
        if (match) rows << row;
    }
    return rows;
}

void TFindForm::onFindClick() {
    const QString text = text_->currentText();
    QStringList names;
    names.reserve(static_cast<qsizetype>(frame_.entries().size()));
    for (const rdatalist& e : frame_.entries())
        names << e.name;
    const QList<int> rows = Matches(names, text, case_->isChecked(), whole_->isChecked());
    QTreeView* list = frame_.remoteList();
    QAbstractItemModel* model = list->model();
    // One selection of runs of rows: a folder of many thousands selects at once.
    QItemSelection selection;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        selection.select(model->index(rows[i], 0), model->index(rows[j], model->columnCount() - 1));
        i = j + 1;
    }
    list->selectionModel()->select(selection,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!rows.isEmpty())
        list->scrollTo(model->index(std::max(0, rows.first() - 1), 0),
                       QAbstractItemView::PositionAtTop);
    accept();
    remember(text_, text, recentFile_);
}

void TFindForm::onClearHistoryClick() {
    text_->clear();
    RecentList::Save(recentFile_, {});
}

TFilterForm::TFilterForm(TBrowserFrame& frame, const QString& recentFile, QWidget* parent)
    : QDialog(parent), frame_(frame), recentFile_(recentFile), pattern_(recentBox(recentFile)) {
    setWindowTitle(tr("Filter"));
    setWindowFlags(Qt::Tool);
    resize(283, 89);
    auto* clear = new QPushButton(tr("Clear history"));
    auto* ok = new QPushButton(tr("&OK"));
    connect(clear, &QPushButton::clicked, this, &TFilterForm::onClearHistoryClick);
    connect(ok, &QPushButton::clicked, this, &TFilterForm::onOkClick);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Filename extension")));
    layout->addWidget(pattern_);
    layout->addLayout(buttonRow(this, clear, ok, new QPushButton(tr("&Close"))));
}

void TFilterForm::onOkClick() {
    const QString pattern = pattern_->currentText();
    if (pattern != QLatin1String("*.*")) {
        // Only the shown entries change; the next listing brings every entry back.
        std::vector<rdatalist> entries = frame_.entries();
        std::erase_if(entries, [&](const rdatalist& e) {
            return !e.isFolder && !e.sizeText.isEmpty() &&
                   QLatin1Char('*') + TTransferQueue::ExtensionOf(e.name) != pattern;
        });
        frame_.SetEntries(std::move(entries));
        if (auto* model = qobject_cast<TRemoteListModel*>(frame_.remoteList()->model()))
            model->Reset();
    }
    remember(pattern_, pattern, recentFile_);
    accept();
}

void TFilterForm::onClearHistoryClick() {
    pattern_->clear();
    RecentList::Save(recentFile_, {});
}
