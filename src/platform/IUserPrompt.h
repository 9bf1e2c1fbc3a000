// How the system tells the user something or asks a question: message boxes and confirmations in the
// editor, stderr and safe answers where there is no window, scripted answers in tests. [gui]
//
// Questions are answered through callbacks, so that an editor can ask without blocking the GUI thread:
//   - ShowMessage is fire-and-forget; it returns at once, the message may be shown later.
//   - Ask and AskSaveBankPath call their callback exactly once with the answer: at once, before they return
//     (a prompt without a window, a scripted prompt), or later on the GUI thread (the editor, at one of its
//     idle or event calls). A question that is dropped unanswered (the editor closed) never calls back: the
//     command that asked just ends there, having changed nothing since it asked.
//   - A callback may ask the next question or show a message from inside itself.
// Everything runs on the GUI thread. The callbacks may outlive the caller's stack frame, so they capture
// only what outlives the prompt's owner (the plug-in, never the editor form).
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillon::platform {

enum class PromptButtons { kYesCancel, kYesNoCancel, kOkCancel };
enum class PromptAnswer { kYes, kNo, kOk, kCancel };

// Gets the button chosen, one of those offered.
using TPromptAnswer = std::function<void(PromptAnswer answer)>;
// Gets the path chosen, or nothing when the user cancelled.
using TPathAnswer = std::function<void(std::optional<std::string> path)>;

class IUserPrompt {
public:
    virtual ~IUserPrompt() = default;
    // Shows a message with an OK button. Line breaks are written "\r".
    virtual void ShowMessage(const std::string& text) = 0;
    // Asks a question with `buttons`; `answer` gets the button chosen (see above).
    virtual void Ask(const std::string& text, PromptButtons buttons, TPromptAnswer answer) = 0;
    // Asks for a path to save a bank file to, starting at `suggestedPath`; `answer` gets the path, or nothing
    // when the user cancels.
    virtual void AskSaveBankPath(const std::string& suggestedPath, TPathAnswer answer) = 0;
};

// Writes messages and questions to stderr and answers at once with the safe answer: Cancel where offered
// (so nothing is overwritten or lost), and no path for save dialogs. Never blocks.
class StderrPrompt : public IUserPrompt {
public:
    void ShowMessage(const std::string& text) override;
    void Ask(const std::string& text, PromptButtons buttons, TPromptAnswer answer) override;
    void AskSaveBankPath(const std::string& suggestedPath, TPathAnswer answer) override;
};

} // namespace quillon::platform
