#include "editor/TEditorPrompt.h"

#include <utility>

namespace quillon {

using platform::PromptAnswer;
using platform::PromptButtons;

namespace {

std::string ForBox(std::string text) {
    for (char& c : text)
        if (c == '\r') c = '\n';
    return text;
}

TMsgButtons BoxButtons(PromptButtons buttons) {
    switch (buttons) {
    case PromptButtons::kYesCancel:
        return TMsgButtons::mbYesCancel;
    case PromptButtons::kYesNoCancel:
        return TMsgButtons::mbYesNoCancel;
    case PromptButtons::kOkCancel:
        break;
    }
    return TMsgButtons::mbOKCancel;
}

PromptAnswer AnswerOf(int result) {
    switch (result) {
    case mrYes:
        return PromptAnswer::kYes;
    case mrNo:
        return PromptAnswer::kNo;
    case mrOk:
        return PromptAnswer::kOk;
    default:
        return PromptAnswer::kCancel;
    }
}

} // namespace

TEditorPrompt::TEditorPrompt(TPluginGUI& form)
    : form_(&form), showFileDialog_([&form](TFileDialogKind kind, TPathCallback onOk, std::function<void()> onCancel) {
          form.ShowFileDialog(kind, std::move(onOk), std::move(onCancel));
      }) {}

void TEditorPrompt::ShowMessage(const std::string& text) {
    if (!form_) return detached_.ShowMessage(text);
    Push(TItem{.text = text});
}

void TEditorPrompt::Ask(const std::string& text, PromptButtons buttons, platform::TPromptAnswer answer) {
    if (!form_) return detached_.Ask(text, buttons, std::move(answer));
    Push(TItem{.text = text, .buttons = buttons, .answer = std::move(answer)});
}

void TEditorPrompt::AskSaveBankPath(const std::string& suggestedPath, platform::TPathAnswer answer) {
    if (!form_) return detached_.AskSaveBankPath(suggestedPath, std::move(answer));
    // The dialog starts in the bank folder, as every bank dialog does.
    Push(TItem{.savePath = true, .pathAnswer = std::move(answer)});
}

void TEditorPrompt::Detach() {
    form_ = nullptr;
    queue_.clear();
    showing_ = false;
    showFileDialog_ = nullptr;
}

void TEditorPrompt::Push(TItem item) {
    queue_.push_back(std::move(item));
    ShowNext();
}

void TEditorPrompt::Closed() {
    showing_ = false;
    ShowNext();
}

void TEditorPrompt::ShowNext() {
    if (showing_ || queue_.empty() || !form_) return;
    TItem item = std::move(queue_.front());
    queue_.pop_front();
    showing_ = true;
    // The callbacks run while the form lives (its modal layer drops them unanswered when it closes), and the
    // form outlives this prompt's attachment.
    if (item.savePath) {
        auto answer = std::make_shared<platform::TPathAnswer>(std::move(item.pathAnswer));
        showFileDialog_(
            TFileDialogKind::SaveProgramBank,
            [this, answer](const std::string& path) {
                if (*answer) (*answer)(path);
                Closed();
            },
            [this, answer] {
                if (*answer) (*answer)(std::nullopt);
                Closed();
            });
        return;
    }
    if (!item.buttons) {
        form_->ShowMessage(kCaption, ForBox(item.text), TMsgButtons::mbOK, [this](int) { Closed(); });
        return;
    }
    form_->ShowMessage(kCaption, ForBox(item.text), BoxButtons(*item.buttons),
                       [this, answer = std::move(item.answer)](int result) {
                           if (answer) answer(AnswerOf(result));
                           Closed();
                       });
}

} // namespace quillon
