#include "browser/properties_form.h"

#include "ui/desktop_service.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

// Two icons, the folder's drawn 8 pixels right of and below the file's, for several entries.
QPixmap pairedIcon() {
    QPixmap both(40, 40);
    both.fill(Qt::transparent);
    QPainter paint(&both);
    paint.drawPixmap(0, 0, Desktop().FileIcon(QStringLiteral("file")).pixmap(32, 32));
    paint.drawPixmap(8, 8, Desktop().FolderIcon().pixmap(32, 32));
    return both;
}

} // namespace

TPropertiesForm::TPropertiesForm(const std::vector<rdatalist>& entries, QWidget* parent)
    : QDialog(parent), modeField_(new QLineEdit(QStringLiteral("777"))),
      recursiveBox_(new QCheckBox(tr("Apply changes to all subfolders and files ."))),
      nameLabel_(new QLabel), ownerLabel_(new QLabel), groupLabel_(new QLabel) {
    setWindowTitle(tr("Properties"));
    resize(294, 308);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* icon = new QLabel;
    nameLabel_->setWordWrap(true);
    auto* head = new QHBoxLayout;
    head->addWidget(icon);
    head->addWidget(nameLabel_, 1);
    auto* who = new QGridLayout;
    who->addWidget(new QLabel(tr("Owner :")), 0, 0);
    who->addWidget(ownerLabel_, 0, 1);
    who->addWidget(new QLabel(tr("Group :")), 1, 0);
    who->addWidget(groupLabel_, 1, 1);
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);

    auto* groups = new QHBoxLayout;
    const char* const groupNames[] = {"Owner", "Group", "Other"};
    const char* const rightNames[] = {"Read", "Write", "Execute"};
    for (int g = 0; g < 3; ++g) {
        auto* box = new QGroupBox(tr(groupNames[g]));
        auto* column = new QVBoxLayout(box);
        for (int r = 0; r < 3; ++r) {
            boxes_[g * 3 + r] = new QCheckBox(tr(rightNames[r]));
            column->addWidget(boxes_[g * 3 + r]);
            connect(boxes_[g * 3 + r], &QCheckBox::clicked, this, &TPropertiesForm::onBoxClick);
        }
        groups->addWidget(box);
    }
    modeField_->setAlignment(Qt::AlignRight);
    modeField_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-7]{1,4}")), this));

    auto* ok = new QPushButton(tr("&OK"));
    auto* cancel = new QPushButton(tr("&Cancel"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TPropertiesForm::onOkClick);
    connect(cancel, &QPushButton::clicked, this, &TPropertiesForm::onCancelClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    // A fixed border, as wide as the texts of the platform's font need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(head);
    layout->addLayout(who);
    layout->addWidget(line);
    layout->addWidget(new QLabel(tr("Permissions")));
    layout->addLayout(groups);
    layout->addWidget(modeField_);
    layout->addWidget(recursiveBox_);
    layout->addWidget(new QLabel(tr("* Not all servers support permission changes .")));
    layout->addLayout(buttons);

    if (entries.size() == 1) {
        const rdatalist& e = entries.front();
        icon->setPixmap(
            (e.isFolder ? Desktop().FolderIcon() : Desktop().FileIcon(e.name)).pixmap(32, 32));
        nameLabel_->setText(e.name);
        ownerLabel_->setText(e.owner);
        groupLabel_->setText(e.group);
        // The owner's letters follow the "d" or "-" of the entry kind.
        checkFrom(Owner, e.ownerRights.mid(1));
        checkFrom(Group, e.groupRights);
        checkFrom(Other, e.otherRights);
    } else {
        int folders = 0;
        for (const rdatalist& e : entries)
            folders += e.isFolder ? 1 : 0;
        const int files = static_cast<int>(entries.size()) - folders;
        icon->setPixmap(pairedIcon());
        nameLabel_->setText(QString::number(folders) + tr(" Folders , ") + QString::number(files) +
                            tr(" Files ."));
        for (int g = 0; g < 3; ++g) {
            box(g, Read)->setChecked(true);
            box(g, Write)->setChecked(true);
        }
    }
    onBoxClick();
    ok->setFocus();
}

void TPropertiesForm::checkFrom(int group, const QString& letters) {
    const QString upper = letters.toUpper();
    box(group, Read)->setChecked(upper.mid(0, 1) == QLatin1String("R"));
    box(group, Write)->setChecked(upper.mid(1, 1) == QLatin1String("W"));
    box(group, Execute)->setChecked(upper.mid(2, 1) == QLatin1String("X"));
}

void TPropertiesForm::showEvent(QShowEvent* event) {
    onBoxClick();
    QDialog::showEvent(event);
}

void TPropertiesForm::onBoxClick() {
    int value = 0;
    for (int g = 0; g < 3; ++g) {
        const int digit = (box(g, Read)->isChecked() ? 4 : 0) +
                          (box(g, Write)->isChecked() ? 2 : 0) +
                          (box(g, Execute)->isChecked() ? 1 : 0);
        value = value * 10 + digit;
    }
    modeField_->setText(QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0')));
}

int TPropertiesForm::mode() const {
    return modeField_->text().toInt();
}

bool TPropertiesForm::recursive() const {
    return recursiveBox_->isChecked();
}

void TPropertiesForm::onOkClick() {
    if (modeField_->text().isEmpty()) return;
    accept();
}

void TPropertiesForm::onCancelClick() {
    reject();
}
