#pragma once
// Every modal question the program asks goes through one prompt service: message boxes, input
// boxes, folder and file dialogs, and the modal run of our own forms. The program installs the
// Qt implementation; tests install a scripted one, so no test ever waits on a real dialog.

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

enum class PromptKind { Information, Warning, Error, Confirmation };
enum class PromptButtons { Ok, YesNo, YesNoCancel, OkCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class TPromptService {
public:
    virtual ~TPromptService() = default;

    // Shows `text` in a modal box of `kind` with `buttons`; returns the button pressed (Cancel or
    // No when the box was closed without one).
    virtual PromptAnswer Message(QWidget* parent, PromptKind kind, const QString& text,
                                 PromptButtons buttons = PromptButtons::Ok) = 0;
    // Shows `text` in a modal box of `kind` with one button per caption, the last one the
    // cancel button; returns the index of the button pressed, the last one when the box was
    // closed without one.
    virtual int Choose(QWidget* parent, PromptKind kind, const QString& text,
                       const QStringList& captions) = 0;
    // Asks for one line of text; returns false when the user cancelled, else sets `value`.
    virtual bool InputText(QWidget* parent, const QString& caption, const QString& prompt,
                           QString& value) = 0;
    // Asks for a folder starting in `start`; returns the chosen folder, empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start) = 0;
    // Asks for an existing file; returns its path, empty when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    // Asks for a file to write; returns its path (with `defaultSuffix` added when the user typed
    // none), empty when cancelled.
    virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter, const QString& defaultSuffix) = 0;
    // Runs one of our own forms modally; returns its result code (QDialog::Accepted/Rejected).
    virtual int ExecForm(QDialog* form) = 0;
};

// Returns the installed service; requires that one was installed with SetPromptService.
TPromptService& Prompt();
// Installs `service` (not owned) and returns the one it replaces; nullptr uninstalls.
TPromptService* SetPromptService(TPromptService* service);

// Shorthands for the three box kinds the program uses.
void ShowWarning(QWidget* parent, const QString& text);
void ShowError(QWidget* parent, const QString& text);
// Returns true when the user answered Yes.
bool AskYesNo(QWidget* parent, const QString& text);
