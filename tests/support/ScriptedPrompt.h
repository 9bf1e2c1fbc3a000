// A user prompt for tests: records every message and question and gives the answers queued beforehand.
// A question with no answer queued gets Cancel (and a save dialog no path), the safe answers.
//
// Answers come at once, inside Ask, unless `holdAnswers` is set: then each question waits, as it does in the
// editor, until the test calls AnswerHeld (which gives the oldest waiting question its scripted answer) or
// DropHeld (the editor closed: no answer ever comes).
#pragma once

#include "platform/IUserPrompt.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon::test {

class ScriptedPrompt : public platform::IUserPrompt {
public:
    void ShowMessage(const std::string& text) override;
    void Ask(const std::string& text, platform::PromptButtons buttons, platform::TPromptAnswer answer) override;
    void AskSaveBankPath(const std::string& suggestedPath, platform::TPathAnswer answer) override;

    // Scripted answers, taken from the front.
    std::deque<platform::PromptAnswer> answers;
    std::deque<std::optional<std::string>> savePaths;

    // What the code under test showed and asked, in order.
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<platform::PromptButtons> questionButtons;
    std::vector<std::string> suggestedPaths;

    // Questions wait for AnswerHeld instead of being answered at once.
    bool holdAnswers = false;
    std::size_t Held() const { return held_.size(); }
    // Answers the oldest waiting question (its answer may ask the next one); false when none waits.
    bool AnswerHeld();
    // Forgets the waiting questions without answering them.
    void DropHeld() { held_.clear(); }

private:
    void AnswerQuestion(const platform::TPromptAnswer& answer);
    void AnswerPath(const platform::TPathAnswer& answer);

    std::deque<std::function<void()>> held_;
};

} // namespace quillon::test
