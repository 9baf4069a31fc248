#include "testing/scripted_prompt_service.h"

#include <QDialog>

TScriptedPromptService::TScriptedPromptService() : previous_(SetPromptService(this)) {}

TScriptedPromptService::~TScriptedPromptService() {
    SetPromptService(previous_);
}

void TScriptedPromptService::ClearRecords() {
    messages_.clear();
    formsRun_.clear();
    folderStarts_.clear();
}

PromptAnswer TScriptedPromptService::Message(QWidget*, PromptKind kind, const QString& text,
                                             PromptButtons buttons) {
    messages_.append({kind, text});
    if (!answers_.empty()) {
        const PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    switch (buttons) {
    case PromptButtons::Ok:
        return PromptAnswer::Ok;
    case PromptButtons::YesNo:
        return PromptAnswer::No;
    default:
        return PromptAnswer::Cancel;
    }
}

int TScriptedPromptService::Choose(QWidget*, PromptKind kind, const QString& text,
                                   const QStringList& captions) {
    messages_.append({kind, text});
    lastCaptions_ = captions;
    const int cancel = static_cast<int>(captions.size()) - 1;
    if (choices_.empty()) return cancel;
    const int index = choices_.front();
    choices_.pop_front();
    return index >= 0 && index <= cancel ? index : cancel;
}

bool TScriptedPromptService::InputText(QWidget*, const QString&, const QString&, QString& value) {
    if (inputs_.empty()) return false;
    auto [text, accepted] = inputs_.front();
    inputs_.pop_front();
    if (accepted) value = text;
    return accepted;
}

QString TScriptedPromptService::nextPath() {
    if (paths_.empty()) return {};
    QString path = paths_.front();
    paths_.pop_front();
    return path;
}

QString TScriptedPromptService::ChooseFolder(QWidget*, const QString&, const QString& start) {
    folderStarts_.append(start);
    return nextPath();
}

QString TScriptedPromptService::OpenFileName(QWidget*, const QString&, const QString&,
                                             const QString&) {
    return nextPath();
}

QString TScriptedPromptService::SaveFileName(QWidget*, const QString&, const QString&,
                                             const QString&, const QString& defaultSuffix) {
    QString path = nextPath();
    if (!path.isEmpty() && !defaultSuffix.isEmpty() && !path.section('/', -1).contains('.'))
        path += '.' + defaultSuffix;
    return path;
}

int TScriptedPromptService::ExecForm(QDialog* form) {
    formsRun_.append(form->windowTitle());
    form->setResult(QDialog::Rejected);
    if (formActions_.empty()) return QDialog::Rejected;
    FormAction action = std::move(formActions_.front());
    formActions_.pop_front();
    action(*form);
    return form->result();
}
