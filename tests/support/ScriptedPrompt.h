// A user prompt for tests: records every message and question and gives the answers queued beforehand.
// A question with no answer queued gets Cancel (and a save dialog no path), the safe answers.
#pragma once

#include "platform/IUserPrompt.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillon::test {

class ScriptedPrompt : public platform::IUserPrompt {
public:
    void ShowMessage(const std::string& text) override;
    platform::PromptAnswer Ask(const std::string& text, platform::PromptButtons buttons) override;
    std::optional<std::string> AskSaveBankPath(const std::string& suggestedPath) override;

    // Scripted answers, taken from the front.
    std::deque<platform::PromptAnswer> answers;
    std::deque<std::optional<std::string>> savePaths;

    // What the code under test showed and asked, in order.
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<platform::PromptButtons> questionButtons;
    std::vector<std::string> suggestedPaths;
};

} // namespace quillon::test
