// The editor's user prompt: while the editor is open the plug-in's messages and questions become message
// boxes on the form's modal layer, and the bank save path comes from the form's save-bank dialog.
//
// Queue: messages, questions and save dialogs wait in the order they arrive and show one at a time; the
// next opens when the one shown closes. A question is answered when its box closes, from the form's event
// call that closed it (so later than Ask returns; the system's modal boxes and dialogs, where the form uses
// them, answer before it returns); the answer may ask the next question at once. Message boxes are
// captioned "Quillon"; message texts break lines with "\r", shown as line breaks.
//
// Detach (the form closing): what waits or shows is dropped unanswered, so those commands end there and no
// callback refers to the form again. A detached prompt writes messages to stderr and answers questions at
// once with the safe answer, as StderrPrompt does.
//
// GUI thread only; never blocks. [gui]
#pragma once

#include "editor/TPluginGUI.h"
#include "platform/IUserPrompt.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace quillon {

class TEditorPrompt : public platform::IUserPrompt {
public:
    static constexpr const char* kCaption = "Quillon";
    // Opens a file dialog of a kind: the form's ShowFileDialog unless replaced.
    using TShowFileDialog =
        std::function<void(TFileDialogKind kind, TPathCallback onOk, std::function<void()> onCancel)>;

    explicit TEditorPrompt(TPluginGUI& form);

    void ShowMessage(const std::string& text) override;
    void Ask(const std::string& text, platform::PromptButtons buttons, platform::TPromptAnswer answer) override;
    void AskSaveBankPath(const std::string& suggestedPath, platform::TPathAnswer answer) override;

    // Drops everything waiting, unanswered; from now on the prompt works without the form.
    void Detach();
    bool Attached() const { return form_ != nullptr; }
    // The messages and questions not yet closed, the one shown included.
    int Waiting() const { return static_cast<int>(queue_.size()) + (showing_ ? 1 : 0); }
    void SetFileDialog(TShowFileDialog show) { showFileDialog_ = std::move(show); }

private:
    struct TItem {
        std::string text{};
        std::optional<platform::PromptButtons> buttons{}; // a question; none: a message (or the save dialog)
        bool savePath = false;
        platform::TPromptAnswer answer{};
        platform::TPathAnswer pathAnswer{};
    };
    void Push(TItem item);
    void ShowNext();
    // The one shown has closed: the next one may show.
    void Closed();

    TPluginGUI* form_;
    TShowFileDialog showFileDialog_;
    std::deque<TItem> queue_;
    bool showing_ = false;
    platform::StderrPrompt detached_;
};

} // namespace quillon
