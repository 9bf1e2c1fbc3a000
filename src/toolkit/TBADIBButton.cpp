#include "toolkit/TBADIBButton.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quillon {

TBADIBButton::TBADIBButton(const TRect& bounds)
    : TDIBControl(bounds), ActiveRight(bounds.Width()), ActiveBottom(bounds.Height()) {
    SetAutoSize(true);
    SetCursor(TCursor::Hand);
    blinkTimer_.OnTimer = [this] {
        blinkLit_ = !blinkLit_;
        Invalidate();
    };
}

void TBADIBButton::SetIndexMain(int index) {
    if (index == indexMain_) return;
    indexMain_ = index;
    ImageChanged();
    Invalidate();
}

void TBADIBButton::SetEffectLayer(int index) {
    if (index == effectLayer_) return;
    effectLayer_ = index;
    Invalidate();
}

void TBADIBButton::SetEffectOpacity(std::uint8_t opacity) {
    effectOpacity_ = opacity;
    Invalidate();
}

void TBADIBButton::SetFrameStack(TFrameStack stack) {
    frameStack_ = stack;
    ImageChanged();
    Invalidate();
}

void TBADIBButton::ImageChanged() {
    if (!AutoSize()) return;
    const TSize size = FrameSize(indexMain_, kFrames, frameStack_);
    if (size.width > 0 && size.height > 0) SetSize(size.width, size.height);
}

void TBADIBButton::SetGroup(int group) {
    if (group < 0) throw std::invalid_argument("Invalid group.");
    group_ = group;
    if (state_ != 0) TurnOffGroup();
}

void TBADIBButton::SetActive(bool active) {
    state_ = active ? 2 : 0;
    if (active && ButtonBehavior == TButtonBehavior::bbRadio) TurnOffGroup();
    Invalidate();
}

void TBADIBButton::SetValue(double x) {
    x = std::clamp(x, 0.0, 1.0);
    if (ButtonBehavior == TButtonBehavior::bbAction)
        state_ = static_cast<int>(std::nearbyint(x));
    else if (ButtonBehavior == TButtonBehavior::bbHold)
        state_ = static_cast<int>(std::nearbyint(2 * x));
    Invalidate();
}

void TBADIBButton::SetBlink(bool blink) {
    blink_ = blink;
    Invalidate();
}

void TBADIBButton::TurnOffGroup() {
    if (group_ == 0 || !Parent()) return;
    for (TDIBControl* sibling : Parent()->Children()) {
        auto* button = dynamic_cast<TBADIBButton*>(sibling);
        if (!button || button == this || button->group_ != group_) continue;
        button->state_ = 0;
        button->Invalidate();
    }
}

void TBADIBButton::Advance() {
    static constexpr int kNext[3][4] = {
        {1, 0, 1, 0}, // bbAction
        {1, 2, 3, 0}, // bbHold
        {1, 2, 1, 1}, // bbRadio
    };
    state_ = kNext[static_cast<int>(ButtonBehavior)][state_];
    if (ButtonBehavior == TButtonBehavior::bbRadio) TurnOffGroup();
    if (Active() && blink_) blinkTimer_.SetEnabled(true);
    Invalidate();
}

void TBADIBButton::Notify() {
    if (OnChange && !Loading()) OnChange(*this);
}

int TBADIBButton::FrameIndex() const {
    if (blink_ && !blinkLit_) {
        if (state_ == 1) return 3;
        if (state_ == 2) return 0;
    }
    return state_;
}

void TBADIBButton::PaintContent(TPainter& painter, const TRect& window) {
    const int frame = FrameIndex();
    DrawStripFrame(painter, window, effectLayer_, frame, kFrames, frameStack_, effectOpacity_);
    DrawStripFrame(painter, window, indexMain_, frame, kFrames, frameStack_, Opacity());
}

void TBADIBButton::MouseDown(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    if (event.x < ActiveLeft || event.x > ActiveRight || event.y < ActiveTop || event.y > ActiveBottom) return;
    if (state_ != 0 && state_ != 2) return;
    Advance();
    if (ButtonBehavior != TButtonBehavior::bbAction) Notify();
}

void TBADIBButton::MouseUp(const TMouseEvent& /*event*/) {
    if (state_ != 1 && state_ != 3) return;
    Advance();
    if (ButtonBehavior == TButtonBehavior::bbAction) Notify();
}

} // namespace quillon
