#include "tasks/task_editor_form.h"

#include "data/data_module.h"
#include "ui/desktop_service.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"
#include "ui/window_pump.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

TTaskEditorForm::TTaskEditorForm(TDataModule& dataModule, bool create, const QString& type,
                                 QWidget* parent)
    : QDialog(parent), nameEdit(new QLineEdit), categoryBox(new QComboBox), siteBox(new QComboBox),
      pages(new QTabWidget), entryList(new QTreeWidget), editButton(new QPushButton(tr("&Edit"))),
      deleteButton(new QPushButton(tr("&Delete"))), descriptionEdit(new QPlainTextEdit),
      okButton(new QPushButton(tr("&OK"))), cancelButton(new QPushButton(tr("&Cancel"))),
      helpButton(new QPushButton(tr("&Help"))), dataModule_(dataModule), create_(create) {
    setObjectName(QStringLiteral("TaskEditorForm"));
    setWindowTitle(create ? tr("Create new task") : tr("Edit task"));
    resize(520, 420);
    auto* fields = new QFormLayout;
    fields->addRow(tr("Name"), nameEdit);
    fields->addRow(tr("Task category"), categoryBox);
    fields->addRow(tr("FTP server"), siteBox);

    entryList->setColumnCount(4);
    entryList->setHeaderLabels({QString(), tr("Name"), tr("Local path"), tr("Ftp path")});
    entryList->setRootIsDecorated(false);
    entryList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    entryList->setSelectionBehavior(QAbstractItemView::SelectRows);
    const int widths[4] = {18, 80, 120, 120};
    for (int c = 0; c < 4; ++c)
        entryList->header()->resizeSection(c, widths[c]);
    auto* entryPage = new QWidget;
    auto* entryLayout = new QHBoxLayout(entryPage);
    entryLayout->addWidget(entryList, 1);
    auto* rowButtons = new QVBoxLayout;
    rowButtons->addWidget(editButton);
    rowButtons->addWidget(deleteButton);
    rowButtons->addStretch(1);
    entryLayout->addLayout(rowButtons);
    editButton->setEnabled(false);
    deleteButton->setEnabled(false);
    descriptionEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pages->addTab(entryPage, type);
    // A download task stays with the site it was made on.
    siteBox->setEnabled(!IsDownloadType(type));
    pages->addTab(descriptionEdit, tr("Description"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {okButton, cancelButton, helpButton})
        buttons->addWidget(b);
    okButton->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(pages, 1);
    layout->addLayout(buttons);

    connect(nameEdit, &QLineEdit::textChanged, this, &TTaskEditorForm::onFieldChange);
    connect(categoryBox, &QComboBox::currentIndexChanged, this, &TTaskEditorForm::onFieldChange);
    connect(siteBox, &QComboBox::currentIndexChanged, this, &TTaskEditorForm::onFieldChange);
    connect(entryList, &QTreeWidget::itemSelectionChanged, this,
            &TTaskEditorForm::onSelectionChange);
    connect(entryList, &QTreeWidget::itemDoubleClicked, this, &TTaskEditorForm::onEditClick);
    connect(editButton, &QPushButton::clicked, this, &TTaskEditorForm::onEditClick);
    connect(deleteButton, &QPushButton::clicked, this, &TTaskEditorForm::onDeleteClick);
    connect(okButton, &QPushButton::clicked, this, &TTaskEditorForm::onOkClick);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpButton, &QPushButton::clicked, this, &TTaskEditorForm::onHelpClick);
}

bool TTaskEditorForm::isDownload() const {
    return IsDownloadType(pages->tabText(0));
}

void TTaskEditorForm::FillSites(const QStringList& sites, const QString& site) {
    siteBox->clear();
    for (const QString& name : sites)
        siteBox->addItem(TIcons::Get(TIcon::Site), name);
    const int index = siteBox->findText(site, Qt::MatchExactly | Qt::MatchCaseSensitive);
    siteBox->setCurrentIndex(index >= 0 ? index : (sites.isEmpty() ? -1 : 0));
}

void TTaskEditorForm::FillCategories(const QStringList& categories, const QString& category) {
    categoryBox->clear();
    for (const QString& name : categories)
        categoryBox->addItem(TIcons::Get(TIcon::Folder), name);
    const int index = categoryBox->findText(category, Qt::MatchExactly | Qt::MatchCaseSensitive);
    categoryBox->setCurrentIndex(index >= 0 ? index : (categories.isEmpty() ? -1 : 0));
}

void TTaskEditorForm::setRow(int row) {
    const rtaskupdown& e = entries_[static_cast<size_t>(row)];
    QTreeWidgetItem* item = entryList->topLevelItem(row);
    item->setIcon(0, TIcons::Get(e.isfolder ? TIcon::Folder : TIcon::File));
    item->setText(1, e.files);
    item->setText(2, e.local);
    item->setText(3, e.ftp);
}

void TTaskEditorForm::AddEntry(const rtaskupdown& entry) {
    entries_.push_back(entry);
    entryList->addTopLevelItem(new QTreeWidgetItem);
    setRow(static_cast<int>(entries_.size()) - 1);
}

std::vector<int> TTaskEditorForm::selectedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < entryList->topLevelItemCount(); ++i)
        if (entryList->topLevelItem(i)->isSelected()) rows.push_back(i);
    return rows;
}

void TTaskEditorForm::onFieldChange() {
    okButton->setEnabled(!nameEdit->text().isEmpty() && categoryBox->currentIndex() >= 0 &&
                         siteBox->currentIndex() >= 0);
}

void TTaskEditorForm::onSelectionChange() {
    const bool any = !selectedRows().empty();
    editButton->setEnabled(any);
    deleteButton->setEnabled(any);
}

void TTaskEditorForm::onDeleteClick() {
    const std::vector<int> rows = selectedRows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        entries_.erase(entries_.begin() + *it);
        delete entryList->takeTopLevelItem(*it);
    }
    if (!rows.empty()) okButton->setEnabled(!entries_.empty());
    onSelectionChange();
}

void TTaskEditorForm::onEditClick() {
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    TEntryPathForm form(*this, entries_[static_cast<size_t>(rows.front())]);
    Prompt().ExecForm(&form);
}

void TTaskEditorForm::ApplyEntryPath(const QString& local, const QString& ftp) {
    for (int row : selectedRows()) {
        rtaskupdown& e = entries_[static_cast<size_t>(row)];
        if (isDownload())
            e.local = local;
        else
            e.ftp = ftp;
        setRow(row);
    }
}

void TTaskEditorForm::onOkClick() {
    // A task needs its name, its category and its site; one without them could not be run.
    if (nameEdit->text().isEmpty() || categoryBox->currentIndex() < 0 ||
        siteBox->currentIndex() < 0)
        return;
    TaskRecord task;
    task.id = create_ ? 0 : taskId;
    const auto category = dataModule_.FindCategory(categoryBox->currentText());
    task.taskid = category ? category->id : 0;
    task.name = nameEdit->text();
    task.ftp = siteBox->currentText();
    task.type = pages->tabText(0);
    task.common = descriptionEdit->toPlainText();
    std::vector<TaskEntry> rows;
    for (const rtaskupdown& e : entries_)
        rows.push_back({0, e.files, e.local, e.ftp, e.isfolder});
    TLoopSlice slice;
    taskId = dataModule_.SaveTask(task, rows, [&slice] { slice.Tick(); });
    if (onSaved) onSaved();
    accept();
}

void TTaskEditorForm::onHelpClick() {
    Desktop().ShowHelp(isDownload() ? QStringLiteral("newitem12") : QStringLiteral("newitem22"));
}

TEntryPathForm::TEntryPathForm(TTaskEditorForm& editor, const rtaskupdown& first)
    : QDialog(&editor), localEdit(new QLineEdit), browseButton(new QPushButton),
      ftpEdit(new QLineEdit(QStringLiteral("/"))), applyButton(new QPushButton(tr("&Apply"))),
      cancelButton(new QPushButton(tr("&Cancel"))), editor_(editor) {
    setObjectName(QStringLiteral("EntryPathForm"));
    setWindowTitle(tr("Edit"));
    setMinimumWidth(420);
    browseButton->setIcon(TIcons::Get(TIcon::Browse));
    auto* localRow = new QHBoxLayout;
    localRow->addWidget(localEdit, 1);
    localRow->addWidget(browseButton);
    auto* form = new QFormLayout;
    form->addRow(tr("Local :"), localRow);
    form->addRow(tr("Ftp path"), ftpEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(applyButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    if (editor.isDownload()) {
        localEdit->setText(first.local);
        ftpEdit->setText(first.ftp);
        ftpEdit->setEnabled(false);
    } else {
        localEdit->setText(first.local + first.files);
        localEdit->setEnabled(false);
        browseButton->setEnabled(false);
        ftpEdit->setText(first.ftp);
    }
    connect(ftpEdit, &QLineEdit::textChanged, this, &TEntryPathForm::onFtpChange);
    connect(browseButton, &QPushButton::clicked, this, &TEntryPathForm::onBrowseClick);
    connect(applyButton, &QPushButton::clicked, this, &TEntryPathForm::onApplyClick);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    onFtpChange();
}

void TEntryPathForm::onFtpChange() {
    applyButton->setEnabled(!ftpEdit->text().isEmpty());
}

void TEntryPathForm::onBrowseClick() {
    const QString folder = Prompt().ChooseFolder(this, tr("Local :"), localEdit->text());
    if (folder.isEmpty()) return;
    QString local = QDir::toNativeSeparators(folder);
    if (!local.endsWith(QDir::separator())) local += QDir::separator();
    localEdit->setText(local);
}

void TEntryPathForm::onApplyClick() {
    if (ftpEdit->text().isEmpty()) return;
    editor_.ApplyEntryPath(localEdit->text(), ftpEdit->text());
    accept();
}
