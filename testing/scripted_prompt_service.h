#pragma once
// The prompt service tests install: it shows nothing, records every message (kind and text) and
// every form it was asked to run, and answers from queues the test filled beforehand. A queued
// form action runs while the form counts as open, so a test can fill its fields and press its
// buttons through the form's own handlers.

#include "ui/prompt_service.h"

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>

class TScriptedPromptService : public TPromptService {
public:
    struct Shown {
        PromptKind kind;
        QString text;
    };
    using FormAction = std::function<void(QDialog&)>;

    // Installs itself as the prompt service; the destructor puts the former one back.
    TScriptedPromptService();
    ~TScriptedPromptService() override;
    TScriptedPromptService(const TScriptedPromptService&) = delete;
    TScriptedPromptService& operator=(const TScriptedPromptService&) = delete;

    // Queues the answer of the next message box; without one, Ok/Yes-less boxes answer Ok and
    // questions answer No (or Cancel), the safe choice.
    void QueueAnswer(PromptAnswer answer) { answers_.push_back(answer); }
    // Queues the index of the button pressed in the next choice box; without one the last
    // (cancel) button is pressed.
    void QueueChoice(int index) { choices_.push_back(index); }
    // Returns the captions of the last choice box shown.
    const QStringList& lastCaptions() const { return lastCaptions_; }
    // Queues the result of the next folder or file dialog (empty means cancelled).
    void QueuePath(const QString& path) { paths_.push_back(path); }
    // Queues the result of the next input box; `accepted` false means cancelled.
    void QueueInput(const QString& text, bool accepted = true) {
        inputs_.push_back({text, accepted});
    }
    // Queues what happens while the next form of ours is open; without one the form is rejected.
    void QueueFormAction(FormAction action) { formActions_.push_back(std::move(action)); }

    // Returns every message shown so far, oldest first.
    const QList<Shown>& messages() const { return messages_; }
    // Returns the window titles of the forms run so far, oldest first.
    const QStringList& formsRun() const { return formsRun_; }
    // Returns the starting folders passed to the folder dialogs, oldest first.
    const QStringList& folderStarts() const { return folderStarts_; }
    // Forgets the recorded messages, forms and folder starts.
    void ClearRecords();

    PromptAnswer Message(QWidget* parent, PromptKind kind, const QString& text,
                         PromptButtons buttons) override;
    int Choose(QWidget* parent, PromptKind kind, const QString& text,
               const QStringList& captions) override;
    bool InputText(QWidget* parent, const QString& caption, const QString& prompt,
                   QString& value) override;
    QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter, const QString& defaultSuffix) override;
    // Runs the next queued form action on `form` and returns the form's result afterwards.
    int ExecForm(QDialog* form) override;

private:
    QString nextPath();

    TPromptService* previous_;
    std::deque<PromptAnswer> answers_;
    std::deque<int> choices_;
    QStringList lastCaptions_;
    std::deque<QString> paths_;
    std::deque<std::pair<QString, bool>> inputs_;
    std::deque<FormAction> formActions_;
    QList<Shown> messages_;
    QStringList formsRun_;
    QStringList folderStarts_;
};
