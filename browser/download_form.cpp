// "Download...": the download dialog and the command that opens it.

#include "browser/download_form.h"

#include "browser/browser_frame.h"
#include "browser/recent_list.h"
#include "browser/transfer_queue.h"
#include "data/app_paths.h"
#include "data/data_module.h"
#include "data/wire_text.h"
#include "ui/desktop_service.h"
#include "ui/prompt_service.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

TDownloadForm::TDownloadForm(TTransferQueue& queue, std::vector<int> rows, QWidget* parent)
    : QDialog(parent), queue_(queue), rows_(std::move(rows)) {
    setWindowTitle(tr("Download"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint);
    auto* layout = new QVBoxLayout(this);
    auto* info = new QGroupBox(tr("info"));
    auto* grid = new QGridLayout(info);
    auto* icons = new QWidget;
    icons->setFixedSize(42, 42);
    fileIcon = new QLabel(icons);
    folderIcon = new QLabel(icons);
    nameLabel = new QLabel;
    nameLabel->setWordWrap(true);
    nameLabel->setMinimumHeight(2 * nameLabel->fontMetrics().height());
    sizeLabel = new QLabel;
    modifiedLabel = new QLabel;
    typeLabel = new QLabel;
    grid->addWidget(icons, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(nameLabel, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Size:")), 1, 1);
    grid->addWidget(sizeLabel, 1, 2);
    grid->addWidget(new QLabel(tr("Modified:")), 2, 1);
    grid->addWidget(modifiedLabel, 2, 2);
    grid->addWidget(new QLabel(tr("Type:")), 3, 1);
    grid->addWidget(typeLabel, 3, 2);
    layout->addWidget(info);

    auto* target = new QHBoxLayout;
    target->addWidget(new QLabel(tr("Download to :")));
    pathBox = new QComboBox;
    pathBox->setEditable(true);
    pathBox->setInsertPolicy(QComboBox::NoInsert);
    target->addWidget(pathBox, 1);
    browseButton = new QToolButton;
    browseButton->setText(QStringLiteral("..."));
    target->addWidget(browseButton);
    layout->addLayout(target);

    auto* buttons = new QHBoxLayout;
    clearHistoryButton = new QPushButton(tr("Clear history"));
    okButton = new QPushButton(tr("&OK"));
    cancelButton = new QPushButton(tr("&Cancel"));
    buttons->addWidget(clearHistoryButton);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    setFixedSize(341, 207);

    connect(pathBox, &QComboBox::editTextChanged, this, &TDownloadForm::onPathEdited);
    connect(browseButton, &QToolButton::clicked, this, &TDownloadForm::onBrowseClick);
    connect(clearHistoryButton, &QPushButton::clicked, this, &TDownloadForm::onClearHistoryClick);
    connect(okButton, &QPushButton::clicked, this, &TDownloadForm::onOkClick);
    connect(cancelButton, &QPushButton::clicked, this, &TDownloadForm::onCancelClick);

    const TBrowserFrame& frame = queue_.frame();
    const QPixmap file = Desktop().FileIcon(QString()).pixmap(32, 32);
    const QPixmap folder = Desktop().FolderIcon().pixmap(32, 32);
    if (rows_.size() == 1) {
        const rdatalist& e = frame.entries().at(static_cast<size_t>(rows_.front()));
        (e.isFolder ? folderIcon : fileIcon)->setPixmap(e.isFolder ? folder : file);
        (e.isFolder ? fileIcon : folderIcon)->hide();
        nameLabel->setText(e.name);
        sizeLabel->setText(e.isFolder ? QString() : e.sizeText);
        modifiedLabel->setText(e.modified);
        typeLabel->setText(frame.remoteRow(rows_.front()).value(2));
    } else {
        int folders = 0;
        for (int r : rows_)
            folders += frame.entries().at(static_cast<size_t>(r)).isFolder ? 1 : 0;
        const int files = static_cast<int>(rows_.size()) - folders;
        nameLabel->setText(QString::number(folders) + tr(" Folders , ") + QString::number(files) +
                           tr(" Files ."));
        fileIcon->setPixmap(file);
        folderIcon->setPixmap(folder);
        folderIcon->move(8, 8);
        folderIcon->raise();
    }
    pathBox->addItems(RecentList::Load(recentFile()));
    pathBox->setEditText(QString());
}

QString TDownloadForm::recentFile() const {
    return AppPaths::join(queue_.data().programFolder(), QStringLiteral("Downloads.dat"));
}

void TDownloadForm::onPathEdited(const QString& text) {
    // The local separator is the one character of the set a folder path needs here.
    if (Wire::containsAnyOf(text, Wire::folderPathForbidden(), QDir::separator())) {
        ShowError(this, tr("The following characters can not be contained in the name of "
                           "files: /\\*?\"<>|"));
    }
}

void TDownloadForm::onBrowseClick() {
    const QString chosen = Prompt().ChooseFolder(this, tr("Download to"), pathBox->currentText());
    if (!chosen.isEmpty()) pathBox->setEditText(chosen);
}

void TDownloadForm::onClearHistoryClick() {
    const QString text = pathBox->currentText();
    pathBox->clear();
    pathBox->setEditText(text);
    RecentList::Save(recentFile(), {});
}

bool TDownloadForm::CreateFolderPath(const QString& path) {
    const QString full = QDir::cleanPath(QDir(path).absolutePath());
    const QStringList parts = full.split('/', Qt::SkipEmptyParts);
    QString walked = full.startsWith('/') ? QStringLiteral("/") : QString();
    for (const QString& part : parts) {
        walked = walked.isEmpty() || walked.endsWith('/') ? walked + part : walked + '/' + part;
        if (!QFileInfo(walked).isDir()) QDir().mkdir(walked);
    }
    return QFileInfo(full).isDir();
}

void TDownloadForm::onOkClick() {
    const QString text = pathBox->currentText();
    if (text.isEmpty()) {
        ShowWarning(this, tr("Please enter the path with the files download to."));
        return;
    }
    TBrowserFrame& frame = queue_.frame();
    if (rows_.size() == 1) {
        const QString name = frame.entries().at(static_cast<size_t>(rows_.front())).name;
        if (Wire::containsAnyOf(name, Wire::fileNameForbidden()) || !Wire::IsPlainName(name)) {
            ShowError(this, tr("The following characters can not be contained in the name of "
                               "files: \\/:*?\"<>|"));
            return;
        }
    }
    if (!CreateFolderPath(text)) {
        ShowError(this,
                  tr("Can not create the folder %1, please check and enter again.").arg(text));
        return;
    }
    for (int r : rows_) {
        const rdatalist& e = frame.entries().at(static_cast<size_t>(r));
        // A listed name never leads the local path out of the chosen folder.
        if (!Wire::IsPlainName(e.name)) {
            queue_.SkipUnsafeName(e.name);
            continue;
        }
        const QString local = AppPaths::join(text, e.name);
        rupdown item;
        item.isDownload = 1;
        item.localPath = local;
        item.remoteFolder = QStringLiteral("0");
        item.size = e.size;
        item.name = e.name;
        item.isFolder = e.isFolder;
        item.remoteDate = e.modified;
        item.verifyRemote = false;
        chosen_.push_back(item);
    }
    if (pathBox->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        pathBox->addItem(text);
    QStringList entries;
    for (int i = 0; i < pathBox->count(); ++i)
        entries << pathBox->itemText(i);
    RecentList::Save(recentFile(), entries);
    accept();
}

void TDownloadForm::onCancelClick() {
    reject();
}

void TTransferQueue::onDownloadClick() {
    QItemSelectionModel* selection = frame_.remoteList()->selectionModel();
    if (!selection) return;
    std::vector<int> rows;
    for (const QModelIndex& index : selection->selectedRows())
        rows.push_back(index.row());
    if (rows.empty()) return;
    std::sort(rows.begin(), rows.end());
    std::vector<rupdown> chosen;
    {
        TDownloadForm form(*this, rows, &frame_);
        if (Prompt().ExecForm(&form) == QDialog::Accepted) chosen = form.chosen();
    }
    for (const rupdown& item : chosen) {
        if (!IsQueued(item.name, item.localPath, item.remoteFolder)) AddItem(item);
    }
    if (!items_.empty() && !busy_) RunSequence(false);
}
