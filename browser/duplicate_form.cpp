// The duplicate question of the transfer queue and its dialog.

#include "browser/duplicate_form.h"

#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"
#include "data/app_paths.h"
#include "data/wire_text.h"
#include "ui/desktop_service.h"
#include "ui/prompt_service.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

TDuplicateBlock buildBlock(QGridLayout* grid, int top) {
    TDuplicateBlock b{new QLabel, new QLabel, new QLabel, new QLabel, new QLabel};
    QFont large = b.name->font();
    large.setPointSizeF(large.pointSizeF() * 1.25);
    b.name->setFont(large);
    grid->addWidget(b.icon, top, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(b.name, top, 1, 1, 2);
    const char* captions[] = {"Size:", "Modified:", "Type:"};
    QLabel* values[] = {b.size, b.modified, b.type};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(QObject::tr(captions[i])), top + 1 + i, 1);
        grid->addWidget(values[i], top + 1 + i, 2);
    }
    return b;
}

QFrame* separator() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QString lastComponent(const QString& path) {
    const int cut = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    return path.mid(cut + 1);
}

} // namespace

TDuplicateForm::TDuplicateForm(TTransferQueue& queue, const rtmpinfo& info, bool isFolder,
                               bool isDownload, QWidget* parent)
    : QDialog(parent), queue_(queue), infoName_(info.name) {
    setWindowTitle(tr("Duplicate file found"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint);
    auto* layout = new QVBoxLayout(this);
    firstHeading = new QLabel(tr("Local file"));
    layout->addWidget(firstHeading);
    auto* firstGrid = new QGridLayout;
    first = buildBlock(firstGrid, 0);
    layout->addLayout(firstGrid);
    layout->addWidget(separator());
    secondHeading = new QLabel(tr("Remote file"));
    layout->addWidget(secondHeading);
    auto* secondGrid = new QGridLayout;
    second = buildBlock(secondGrid, 0);
    layout->addLayout(secondGrid);
    layout->addWidget(separator());

    auto* row1 = new QHBoxLayout;
    overwriteButton = new QPushButton(tr("Overwrite"));
    skipButton = new QPushButton(tr("Skip"));
    renameButton = new QPushButton(tr("Rename"));
    resumeButton = new QPushButton(tr("Resume"));
    resumeButton->setEnabled(false);
    for (QPushButton* b : {overwriteButton, skipButton, renameButton, resumeButton})
        row1->addWidget(b);
    auto* row2 = new QHBoxLayout;
    overwriteAllButton = new QPushButton(tr("Overwrite all"));
    skipAllButton = new QPushButton(tr("Skip all"));
    cancelButton = new QPushButton(tr("&Cancel"));
    helpButton = new QPushButton(tr("&Help"));
    for (QPushButton* b : {overwriteAllButton, skipAllButton, cancelButton, helpButton})
        row2->addWidget(b);
    layout->addLayout(row1);
    layout->addLayout(row2);
    connect(overwriteButton, &QPushButton::clicked, this, &TDuplicateForm::onOverwriteClick);
    connect(overwriteAllButton, &QPushButton::clicked, this, &TDuplicateForm::onOverwriteAllClick);
    connect(skipButton, &QPushButton::clicked, this, &TDuplicateForm::onSkipClick);
    connect(skipAllButton, &QPushButton::clicked, this, &TDuplicateForm::onSkipAllClick);
    connect(renameButton, &QPushButton::clicked, this, &TDuplicateForm::onRenameClick);
    connect(resumeButton, &QPushButton::clicked, this, &TDuplicateForm::onResumeClick);
    connect(cancelButton, &QPushButton::clicked, this, &TDuplicateForm::onCancelClick);

    const QIcon icon = isFolder ? Desktop().FolderIcon() : Desktop().FileIcon(info.name);
    for (TDuplicateBlock* b : {&first, &second})
        b->icon->setPixmap(icon.pixmap(32, 32));
    const QString type = isFolder ? tr("Folder") : Desktop().TypeName(lastComponent(info.name));
    const QFileInfo local(info.name);
    const int64_t localSize = local.exists() ? local.size() : 0;
    const QString localTime =
        local.exists() ? local.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                       : QString();
    const QString name = lastComponent(info.name);
    for (TDuplicateBlock* b : {&first, &second}) {
        b->name->setText(name);
        b->type->setText(type);
    }
    if (isDownload) {
        firstHeading->setText(tr("Remote file"));
        secondHeading->setText(tr("Local file"));
        first.size->setText(QString::number(info.size));
        first.modified->setText(info.modified);
        second.size->setText(QString::number(localSize));
        second.modified->setText(localTime);
        if (!isFolder && localSize < info.size) {
            remainingBytes_ = info.size - localSize;
            resumeOffset_ = localSize;
            resumeButton->setEnabled(true);
        }
    } else {
        second.size->setText(QString::number(info.size));
        second.modified->setText(info.modified);
        first.size->setText(QString::number(info.otherSize));
        first.modified->setText(localTime);
    }
    setFixedSize(sizeHint());
}

void TDuplicateForm::onOverwriteClick() {
    done(Yes);
}

void TDuplicateForm::onOverwriteAllClick() {
    forAll_ = true;
    done(Yes);
}

void TDuplicateForm::onSkipClick() {
    done(No);
}

void TDuplicateForm::onSkipAllClick() {
    forAll_ = true;
    done(No);
}

void TDuplicateForm::onResumeClick() {
    done(Retry);
}

void TDuplicateForm::onCancelClick() {
    done(Rejected);
}

void TDuplicateForm::onRenameClick() {
    QString name = first.name->text();
    // A cancelled box gives back its default, which is checked like a typed name.
    if (!Prompt().InputText(this, tr("New name"), tr("Enter a new filename"), name))
        name = first.name->text();
    bool taken = false;
    if (firstHeading->text() != tr("Local file")) {
        taken = QFileInfo(AppPaths::join(QFileInfo(infoName_).path(), name)).isDir();
    } else {
        rtmpinfo probe;
        taken = queue_.FindRemoteEntry(name, probe, true) >= 0;
    }
    if (taken) {
        ShowWarning(this, tr("The name %1 was existed, please re-enter.").arg(name));
        return;
    }
    if (!queue_.ValidateName(name)) return;
    // "." and ".." pass the character check but would lead out of the target folder.
    if (!Wire::IsPlainName(name)) {
        ShowError(this, tr("The name %1 is not a valid file name.").arg(name));
        return;
    }
    newName_ = name;
    done(Accepted);
}

TDuplicateChoice TDuplicateForm::Choice(int result) const {
    TDuplicateChoice choice;
    choice.answer = TDuplicateAnswer::Cancel;
    switch (result) {
    case QDialog::Accepted:
        choice.answer = TDuplicateAnswer::Rename;
        choice.newName = newName_;
        break;
    case Retry:
        choice.answer = TDuplicateAnswer::Resume;
        choice.resumeOffset = resumeOffset_;
        choice.remainingBytes = remainingBytes_;
        break;
    case Ignore:
        choice.answer = TDuplicateAnswer::Append;
        break;
    case Yes:
        choice.answer = TDuplicateAnswer::Overwrite;
        choice.forAll = forAll_;
        break;
    case No:
        choice.answer = TDuplicateAnswer::Skip;
        choice.forAll = forAll_;
        break;
    default:
        break;
    }
    return choice;
}

TDuplicateAnswer TTransferQueue::ResolveDuplicate(const rtmpinfo& info, bool isFolder,
                                                  bool isDownload) {
    resumeOffset_ = 0;
    if (!askOnConflict_) return conflictAnswer_;
    TDuplicateForm form(*this, info, isFolder, isDownload, &frame_);
    const TDuplicateChoice choice = form.Choice(Prompt().ExecForm(&form));
    if (choice.forAll) {
        askOnConflict_ = false;
        conflictAnswer_ = choice.answer;
    }
    if (choice.answer == TDuplicateAnswer::Rename) newName_ = choice.newName;
    if (choice.answer == TDuplicateAnswer::Resume) {
        resumeOffset_ = choice.resumeOffset;
        remainingBytes_ = choice.remainingBytes;
    }
    return choice.answer;
}

bool TTransferQueue::ValidateName(const QString& name) {
    bool valid = true;
    if (Wire::containsAnyOf(name, Wire::fileNameForbidden())) {
        ShowError(&frame_, tr("The following characters can not be contained in the name of "
                              "files: \\/:*?\"<>|"));
        valid = false;
    }
    for (int i = 0; i < frame_.remoteRowCount(); ++i) {
        if (frame_.remoteRow(i).value(0) == name) {
            ShowError(&frame_, tr("The name %1 was existed, please re-enter.").arg(name));
            valid = false;
            break;
        }
    }
    return valid;
}
