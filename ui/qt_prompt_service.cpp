#include "ui/qt_prompt_service.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::StandardButtons toButtons(PromptButtons buttons) {
    switch (buttons) {
    case PromptButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case PromptButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon toIcon(PromptKind kind) {
    switch (kind) {
    case PromptKind::Warning:
        return QMessageBox::Warning;
    case PromptKind::Error:
        return QMessageBox::Critical;
    case PromptKind::Confirmation:
        return QMessageBox::Question;
    case PromptKind::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

int TQtPromptService::Choose(QWidget* parent, PromptKind kind, const QString& text,
                             const QStringList& captions) {
    QMessageBox box(toIcon(kind), QApplication::applicationDisplayName(), text,
                    QMessageBox::NoButton, parent);
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < captions.size(); ++i)
        buttons << box.addButton(captions[i], i + 1 == captions.size() ? QMessageBox::RejectRole
                                                                       : QMessageBox::AcceptRole);
    if (!buttons.isEmpty()) box.setEscapeButton(buttons.back());
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(box.clickedButton()));
    return index < 0 ? static_cast<int>(captions.size()) - 1 : index;
}

PromptAnswer TQtPromptService::Message(QWidget* parent, PromptKind kind, const QString& text,
                                       PromptButtons buttons) {
    QMessageBox box(toIcon(kind), QApplication::applicationDisplayName(), text, toButtons(buttons),
                    parent);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return PromptAnswer::Ok;
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    default:
        break;
    }
    return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Cancel;
}

bool TQtPromptService::InputText(QWidget* parent, const QString& caption, const QString& prompt,
                                 QString& value) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = text;
    return ok;
}

QString TQtPromptService::ChooseFolder(QWidget* parent, const QString& caption,
                                       const QString& start) {
    return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(parent, caption, start));
}

QString TQtPromptService::OpenFileName(QWidget* parent, const QString& caption,
                                       const QString& folder, const QString& filter) {
    return QDir::toNativeSeparators(QFileDialog::getOpenFileName(parent, caption, folder, filter));
}

QString TQtPromptService::SaveFileName(QWidget* parent, const QString& caption,
                                       const QString& folder, const QString& filter,
                                       const QString& defaultSuffix) {
    QFileDialog dialog(parent, caption, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

int TQtPromptService::ExecForm(QDialog* form) {
    return form->exec();
}
