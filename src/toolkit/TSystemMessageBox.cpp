#include "toolkit/TSystemMessageBox.h"

#include "platform/SystemMessageBox.h"

#include <memory>
#include <utility>

namespace quillon {

namespace {

constexpr const char* kNote = "The message is shown in a window of its own.";
constexpr int kTextWidth = 260;

platform::SystemBoxButtons BoxButtons(TMsgButtons buttons) {
    switch (buttons) {
    case TMsgButtons::mbOK:
        return platform::SystemBoxButtons::kOk;
    case TMsgButtons::mbOKCancel:
        return platform::SystemBoxButtons::kOkCancel;
    case TMsgButtons::mbYesNo:
        return platform::SystemBoxButtons::kYesNo;
    case TMsgButtons::mbYesNoCancel:
        return platform::SystemBoxButtons::kYesNoCancel;
    case TMsgButtons::mbYesCancel:
        return platform::SystemBoxButtons::kYesCancel;
    }
    return platform::SystemBoxButtons::kOk;
}

int ResultOf(platform::SystemBoxAnswer answer) {
    switch (answer) {
    case platform::SystemBoxAnswer::kOk:
        return mrOk;
    case platform::SystemBoxAnswer::kYes:
        return mrYes;
    case platform::SystemBoxAnswer::kNo:
        return mrNo;
    case platform::SystemBoxAnswer::kCancel:
        return mrCancel;
    }
    return mrCancel;
}

} // namespace

TSystemMessageBox::TSystemMessageBox(std::string caption) : TModalPanel(std::move(caption)) {}

bool TSystemMessageBox::Available() {
    return platform::HasSystemMessageBox();
}

void TSystemMessageBox::Show(TModalLayer& layer, const std::string& caption, const std::string& text,
                             TMsgButtons buttons, TModalCallback onClose) {
    auto panel = std::make_unique<TSystemMessageBox>(caption);
    TSystemMessageBox* opened = panel.get();
    const std::weak_ptr<int> alive = panel->alive_;
    auto callback = std::make_shared<TModalCallback>(std::move(onClose));
    layer.Open(std::move(panel), [callback](int result) {
        if (*callback) (*callback)(result);
    });
    const std::optional<platform::SystemBoxAnswer> answer =
        platform::ShowSystemMessageBox(caption, text, BoxButtons(buttons));
    // The box's message loop served the host meanwhile: an editor closed by then dropped the panel and its
    // callback. Nothing here is used before this check.
    if (alive.expired() || !opened->IsOpen()) return;
    if (!answer) {
        TModalCallback fallback = std::exchange(*callback, nullptr);
        opened->Close(mrNone);
        TMessageBox::Show(layer, caption, text, buttons, std::move(fallback));
        return;
    }
    opened->Close(ResultOf(*answer));
}

void TSystemMessageBox::Arrange(const TRect& area) {
    const TModalStyle& style = Style();
    const int lineHeight = style.atlas ? style.atlas->LineHeight() : 12;
    lines_ = style.atlas ? WrapText(*style.atlas, kNote, kTextWidth) : std::vector<std::string>{};
    SetSize(kTextWidth + 2 * style.padding + 2 * kFrame,
            style.titleHeight + 2 * style.padding + static_cast<int>(lines_.size()) * lineHeight + kFrame);
    TModalPanel::Arrange(area);
}

bool TSystemMessageBox::KeyDown(const TKeyEvent& /*event*/) {
    return true; // the box has the keys; none reach the editor below
}

void TSystemMessageBox::PaintClient(TPainter& painter, const TRect& client) {
    const TModalStyle& style = Style();
    if (!style.atlas) return;
    int baseline = client.top + style.padding + style.atlas->Ascent();
    for (const std::string& line : lines_) {
        painter.DrawText(*style.atlas, line, client.left + style.padding, baseline, style.text);
        baseline += style.atlas->LineHeight();
    }
}

} // namespace quillon
