#include "ui/prompt_service.h"

#include <cassert>

namespace {
TPromptService* installedPrompt = nullptr;
}

TPromptService& Prompt() {
    assert(installedPrompt && "no prompt service installed");
    return *installedPrompt;
}

TPromptService* SetPromptService(TPromptService* service) {
    TPromptService* previous = installedPrompt;
    installedPrompt = service;
    return previous;
}

void ShowWarning(QWidget* parent, const QString& text) {
    Prompt().Message(parent, PromptKind::Warning, text);
}

void ShowError(QWidget* parent, const QString& text) {
    Prompt().Message(parent, PromptKind::Error, text);
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return Prompt().Message(parent, PromptKind::Confirmation, text, PromptButtons::YesNo) ==
           PromptAnswer::Yes;
}
