#include "toolkit/THintLayer.h"

#include "toolkit/TDIBControl.h"
#include "toolkit/TPainter.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr int kCursorHeight = 20; // the box starts below the arrow cursor

} // namespace

void THintLayer::Hover(const TDIBControl* control, int x, int y) {
    if (control && control->Hint().empty()) control = nullptr;
    if (control == control_) return; // resting on, or moving within, the same control
    Hide();
    control_ = control;
    text_ = control ? control->Hint() : std::string{};
    x_ = x;
    y_ = y;
    elapsed_ = 0;
}

void THintLayer::Hide() {
    if (showing_ && OnInvalidate) OnInvalidate(box_);
    showing_ = false;
    control_ = nullptr;
    elapsed_ = 0;
}

void THintLayer::AdvanceClock(int milliseconds) {
    if (!control_ || milliseconds <= 0) return;
    elapsed_ += milliseconds;
    if (!showing_ && elapsed_ >= Style.delay) Show();
    if (showing_ && elapsed_ >= Style.delay + Style.duration) {
        const TDIBControl* stay = control_;
        Hide();
        control_ = stay; // not again until the mouse leaves the control
        elapsed_ = Style.delay + Style.duration;
    }
}

void THintLayer::Show() {
    if (!Style.atlas || text_.empty()) return;
    const TGlyphAtlas& atlas = *Style.atlas;
    const int width = atlas.TextWidth(text_) + 2 * Style.padding + 2;
    const int height = atlas.Ascent() + atlas.Descent() + 2 * Style.padding;
    int left = x_;
    int top = y_ + kCursorHeight;
    if (!area_.Empty()) {
        left = std::clamp(left, area_.left, std::max(area_.left, area_.right - width));
        if (top + height > area_.bottom) top = y_ - height - 2; // above the mouse instead
        top = std::max(top, area_.top);
    }
    box_ = TRect::FromSize(left, top, width, height);
    showing_ = true;
    if (OnInvalidate) OnInvalidate(box_);
}

void THintLayer::Paint(TPainter& painter) const {
    if (!showing_ || !Style.atlas) return;
    painter.FillRect(box_, Style.border);
    painter.FillRect(TRect{box_.left + 1, box_.top + 1, box_.right - 1, box_.bottom - 1}, Style.background);
    painter.DrawText(*Style.atlas, text_, box_.left + 1 + Style.padding,
                     box_.top + Style.padding + Style.atlas->Ascent(), Style.text);
}

} // namespace quillon
