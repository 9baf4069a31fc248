#pragma once
// The program's prompt service: real Qt message boxes and dialogs.

#include "ui/prompt_service.h"

class TQtPromptService : public TPromptService {
public:
    // Shows a QMessageBox titled with the application's name.
    PromptAnswer Message(QWidget* parent, PromptKind kind, const QString& text,
                         PromptButtons buttons) override;
    // Shows a QMessageBox with the captions as its buttons.
    int Choose(QWidget* parent, PromptKind kind, const QString& text,
               const QStringList& captions) override;
    // Shows a QInputDialog.
    bool InputText(QWidget* parent, const QString& caption, const QString& prompt,
                   QString& value) override;
    // Shows a QFileDialog for folders.
    QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start) override;
    // Shows a QFileDialog for an existing file.
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter) override;
    // Shows a QFileDialog for saving.
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter, const QString& defaultSuffix) override;
    // Calls the form's exec().
    int ExecForm(QDialog* form) override;
};
