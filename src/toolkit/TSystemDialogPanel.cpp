#include "toolkit/TSystemDialogPanel.h"

#include "platform/ListFolder.h"
#include "toolkit/TMessageBox.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr const char* kNote = "The dialog is open in a window of its own.";
constexpr int kTextWidth = 260;

platform::SystemDialogRequest RequestOf(const TFileDialogOptions& options) {
    platform::SystemDialogRequest request;
    request.kind = options.mode == TFileDialogMode::Save     ? platform::SystemDialogKind::kSave
                   : options.mode == TFileDialogMode::Folder ? platform::SystemDialogKind::kFolder
                                                             : platform::SystemDialogKind::kOpen;
    request.title = options.title;
    const std::string& start = options.folder;
    request.folder = platform::IsAbsolutePath(start) && platform::IsExistingFolder(start)
                         ? start
                         : platform::SystemDialogDefaultFolder();
    const std::size_t bar = options.filter.find('|');
    request.filterName = options.filter.substr(0, bar);
    if (bar != std::string::npos) {
        std::string_view patterns = std::string_view(options.filter).substr(bar + 1);
        while (!patterns.empty()) {
            const std::size_t end = std::min(patterns.find(';'), patterns.size());
            if (end > 0) request.patterns.emplace_back(patterns.substr(0, end));
            patterns.remove_prefix(std::min(end + 1, patterns.size()));
        }
    }
    request.overwritePrompt = options.overwritePrompt;
    request.defaultExtension = options.defaultExtension;
    return request;
}

} // namespace

TSystemDialogPanel::TSystemDialogPanel(TFileDialogOptions options, std::unique_ptr<platform::SystemFileDialog> dialog)
    : TModalPanel(options.title), options_(std::move(options)), dialog_(std::move(dialog)) {}

TSystemDialogPanel::~TSystemDialogPanel() = default;

TModalCallback TSystemDialogPanel::Answer(TSystemDialogPanel* opened, TFileDialogCallback onOk,
                                          std::function<void()> onCancel, std::function<void()> onFailed) {
    return
        [opened, onOk = std::move(onOk), onCancel = std::move(onCancel), onFailed = std::move(onFailed)](int result) {
            if (result == mrOk) {
                // A copy: the panel that holds the name may go inside onOk.
                const std::string path = opened->FileName(); // NOLINT(performance-unnecessary-copy-initialization)
                if (onOk) onOk(path);
            } else if (result == kFailed) {
                if (onFailed) onFailed();
            } else if (onCancel) {
                onCancel();
            }
        };
}

TSystemDialogPanel* TSystemDialogPanel::Show(TModalLayer& layer, TFileDialogOptions options, TFileDialogCallback onOk,
                                             std::function<void()> onCancel, std::function<void()> onFailed) {
    std::unique_ptr<platform::SystemFileDialog> dialog = platform::SystemFileDialog::Start(RequestOf(options));
    if (!dialog) return nullptr;
    auto panel = std::make_unique<TSystemDialogPanel>(std::move(options), std::move(dialog));
    TSystemDialogPanel* opened = panel.get();
    layer.Open(std::move(panel), Answer(opened, std::move(onOk), std::move(onCancel), std::move(onFailed)));
    return opened;
}

bool TSystemDialogPanel::Run(TModalLayer& layer, TFileDialogOptions options, TFileDialogCallback onOk,
                             std::function<void()> onCancel, std::function<void()> onFailed) {
    if (!platform::SystemFileDialogIsModal())
        return Show(layer, std::move(options), std::move(onOk), std::move(onCancel), std::move(onFailed)) != nullptr;
    const platform::SystemDialogRequest request = RequestOf(options);
    auto panel = std::make_unique<TSystemDialogPanel>(std::move(options), nullptr);
    TSystemDialogPanel* opened = panel.get();
    const std::weak_ptr<int> alive = panel->alive_;
    layer.Open(std::move(panel), Answer(opened, std::move(onOk), std::move(onCancel), std::move(onFailed)));
    std::unique_ptr<platform::SystemFileDialog> dialog = platform::SystemFileDialog::Start(request);
    // The dialog's own message loop served the host meanwhile: the editor may have closed (dropping the panel
    // and its callbacks unanswered) or the panel been cancelled. Nothing here is used before this check.
    if (alive.expired() || !opened->IsOpen()) return true;
    if (!dialog) {
        opened->Close(kFailed);
        return true;
    }
    opened->dialog_ = std::move(dialog);
    opened->Conclude(opened->dialog_->Poll());
    return true;
}

TRect TSystemDialogPanel::CancelButtonRect() const {
    const TRect window = WindowRect();
    return cancel_.Translated(window.left, window.top);
}

void TSystemDialogPanel::Arrange(const TRect& area) {
    const TModalStyle& style = Style();
    const int lineHeight = style.atlas ? style.atlas->LineHeight() : 12;
    lines_ = style.atlas ? WrapText(*style.atlas, kNote, kTextWidth) : std::vector<std::string>{};
    const int width = kTextWidth + 2 * style.padding + 2 * kFrame;
    const int height = style.titleHeight + style.padding + static_cast<int>(lines_.size()) * lineHeight +
                       style.padding + style.buttonHeight + style.padding + kFrame;
    SetSize(width, height);
    cancel_ = TRect::FromSize((width - style.buttonMinWidth) / 2, height - kFrame - style.padding - style.buttonHeight,
                              style.buttonMinWidth, style.buttonHeight);
    TModalPanel::Arrange(area);
}

void TSystemDialogPanel::AdvanceClock(int milliseconds) {
    TModalPanel::AdvanceClock(milliseconds);
    sincePoll_ += std::max(milliseconds, 0);
    if (!dialog_ || asking_ || sincePoll_ < kPollMs) return;
    sincePoll_ = 0;
    Conclude(dialog_->Poll());
}

void TSystemDialogPanel::Conclude(platform::SystemDialogState state) {
    switch (state) {
    case platform::SystemDialogState::kRunning:
        return;
    case platform::SystemDialogState::kConfirmed:
        Answered();
        return;
    case platform::SystemDialogState::kCancelled:
        Close(mrCancel);
        return;
    case platform::SystemDialogState::kFailed:
        Close(kFailed);
        return;
    }
}

void TSystemDialogPanel::Answered() {
    std::string path = dialog_->Path();
    if (options_.mode != TFileDialogMode::Save || options_.defaultExtension.empty()) {
        Finish(path);
        return;
    }
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) {
        Finish(path); // the desktop's dialog asked about this very name itself
        return;
    }
    path += "." + options_.defaultExtension;
    if (!options_.overwritePrompt || !platform::IsExistingFile(path)) {
        Finish(path);
        return;
    }
    asking_ = true;
    TMessageBox& question =
        TMessageBox::Show(*Layer(), options_.title,
                          "\"" + path.substr(path.rfind('/') + 1) + "\" already exists.\nDo you want to replace it?",
                          TMsgButtons::mbYesNo, [this, alive = std::weak_ptr<int>(alive_), path](int result) {
                              if (alive.expired()) return;
                              if (result == mrYes)
                                  Finish(path);
                              else
                                  Close(mrCancel);
                          });
    question.SetDefaultResult(mrNo);
}

void TSystemDialogPanel::Finish(const std::string& path) {
    fileName_ = path;
    Close(mrOk);
}

bool TSystemDialogPanel::KeyDown(const TKeyEvent& event) {
    if (event.key != TEditKey::Escape) return false;
    if (event.down) Close(mrCancel);
    return true;
}

void TSystemDialogPanel::MouseDown(const TMouseEvent& event) {
    pressed_ = event.button == TMouseButton::Left && cancel_.Contains(event.x, event.y);
    if (pressed_) Invalidate();
}

void TSystemDialogPanel::MouseUp(const TMouseEvent& event) {
    if (!pressed_ || event.button != TMouseButton::Left) return;
    pressed_ = false;
    Invalidate();
    if (cancel_.Contains(event.x, event.y)) Close(mrCancel);
}

void TSystemDialogPanel::PaintClient(TPainter& painter, const TRect& client) {
    const TModalStyle& style = Style();
    const TRect button = CancelButtonRect();
    FillRoundedRect(painter, button, 4, style.buttonFrame);
    FillRoundedRect(painter, TRect{button.left + 1, button.top + 1, button.right - 1, button.bottom - 1}, 3,
                    pressed_ ? style.buttonPressed : style.button);
    if (!style.atlas) return;
    const TGlyphAtlas& atlas = *style.atlas;
    int baseline = client.top + style.padding + atlas.Ascent();
    for (const std::string& line : lines_) {
        painter.DrawText(atlas, line, client.left + style.padding, baseline, style.text);
        baseline += atlas.LineHeight();
    }
    const int textBaseline = button.top + (button.Height() - atlas.Ascent() - atlas.Descent()) / 2 + atlas.Ascent();
    painter.DrawText(atlas, "Cancel", button.left + (button.Width() - atlas.TextWidth("Cancel")) / 2, textBaseline,
                     style.text);
}

} // namespace quillon
