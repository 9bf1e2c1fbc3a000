// How the system tells the user something or asks a question: message boxes and confirmations in the
// editor, stderr and safe answers where there is no window, scripted answers in tests. [gui]
#pragma once

#include <optional>
#include <string>

namespace quillon::platform {

enum class PromptButtons { kYesCancel, kYesNoCancel, kOkCancel };
enum class PromptAnswer { kYes, kNo, kOk, kCancel };

class IUserPrompt {
public:
    virtual ~IUserPrompt() = default;
    // Shows a message with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // Asks a question; the answer is one of the buttons offered.
    virtual PromptAnswer Ask(const std::string& text, PromptButtons buttons) = 0;
    // Asks for a path to save a bank file to; empty when the user cancels.
    virtual std::optional<std::string> AskSaveBankPath(const std::string& suggestedPath) = 0;
};

// Writes messages and questions to stderr and takes the safe answer: Cancel where offered (so nothing is
// overwritten or lost), and no path for save dialogs.
class StderrPrompt : public IUserPrompt {
public:
    void ShowMessage(const std::string& text) override;
    PromptAnswer Ask(const std::string& text, PromptButtons buttons) override;
    std::optional<std::string> AskSaveBankPath(const std::string& suggestedPath) override;
};

} // namespace quillon::platform
