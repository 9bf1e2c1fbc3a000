#include "support/ScriptedPrompt.h"

#include <utility>

namespace quillon::test {

void ScriptedPrompt::ShowMessage(const std::string& text) {
    messages.push_back(text);
}

void ScriptedPrompt::AnswerQuestion(const platform::TPromptAnswer& answer) {
    platform::PromptAnswer chosen = platform::PromptAnswer::kCancel;
    if (!answers.empty()) {
        chosen = answers.front();
        answers.pop_front();
    }
    if (answer) answer(chosen);
}

void ScriptedPrompt::AnswerPath(const platform::TPathAnswer& answer) {
    std::optional<std::string> path;
    if (!savePaths.empty()) {
        path = savePaths.front();
        savePaths.pop_front();
    }
    if (answer) answer(std::move(path));
}

void ScriptedPrompt::Ask(const std::string& text, platform::PromptButtons buttons, platform::TPromptAnswer answer) {
    questions.push_back(text);
    questionButtons.push_back(buttons);
    if (holdAnswers)
        held_.emplace_back([this, answer = std::move(answer)] { AnswerQuestion(answer); });
    else
        AnswerQuestion(answer);
}

void ScriptedPrompt::AskSaveBankPath(const std::string& suggestedPath, platform::TPathAnswer answer) {
    suggestedPaths.push_back(suggestedPath);
    if (holdAnswers)
        held_.emplace_back([this, answer = std::move(answer)] { AnswerPath(answer); });
    else
        AnswerPath(answer);
}

bool ScriptedPrompt::AnswerHeld() {
    if (held_.empty()) return false;
    const std::function<void()> next = std::move(held_.front());
    held_.pop_front();
    next();
    return true;
}

} // namespace quillon::test
