#include "support/ScriptedPrompt.h"

namespace quillon::test {

void ScriptedPrompt::ShowMessage(const std::string& text) {
    messages.push_back(text);
}

platform::PromptAnswer ScriptedPrompt::Ask(const std::string& text, platform::PromptButtons buttons) {
    questions.push_back(text);
    questionButtons.push_back(buttons);
    if (answers.empty()) return platform::PromptAnswer::kCancel;
    const platform::PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedPrompt::AskSaveBankPath(const std::string& suggestedPath) {
    suggestedPaths.push_back(suggestedPath);
    if (savePaths.empty()) return std::nullopt;
    std::optional<std::string> path = savePaths.front();
    savePaths.pop_front();
    return path;
}

} // namespace quillon::test
