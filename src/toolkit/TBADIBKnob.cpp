#include "toolkit/TBADIBKnob.h"

#include <algorithm>
#include <cmath>

namespace quillon {

TBADIBKnob::TBADIBKnob(const TRect& bounds) : TDIBControl(bounds) {
    SetCursor(TCursor::Hand);
}

void TBADIBKnob::SetIndexMain(int index) {
    if (index == indexMain_) return;
    indexMain_ = index;
    ImageChanged();
    Invalidate();
}

void TBADIBKnob::SetEffectLayer(int index) {
    if (index == effectLayer_) return;
    effectLayer_ = index;
    Invalidate();
}

void TBADIBKnob::SetEffectOpacity(std::uint8_t opacity) {
    effectOpacity_ = opacity;
    Invalidate();
}

void TBADIBKnob::SetPosition(int position) {
    position = std::clamp(position, std::min(min_, max_), std::max(min_, max_));
    if (position == position_) return;
    position_ = position;
    Invalidate();
}

void TBADIBKnob::SetMax(int max) {
    max_ = max;
    if (Loading()) return;
    if (min_ >= max_) max_ = min_ + 1;
    SetPosition(position_);
    Invalidate();
}

void TBADIBKnob::SetMin(int min) {
    min_ = min;
    if (Loading()) return;
    if (min_ >= max_) min_ = max_ - 1;
    SetPosition(position_);
    Invalidate();
}

void TBADIBKnob::SetCoarse(int pixels) {
    coarse_ = std::max(pixels, 1);
    Invalidate();
}

void TBADIBKnob::SetFine(int pixels) {
    fine_ = std::max(pixels, 1);
    Invalidate();
}

void TBADIBKnob::SetCoarseQuant(int steps) {
    coarseQuant_ = std::max(steps, 1);
}

void TBADIBKnob::SetFrames(int frames) {
    frames_ = std::max(frames, 1);
    Invalidate();
}

void TBADIBKnob::SetFrameStack(TFrameStack stack) {
    frameStack_ = stack;
    Invalidate();
}

void TBADIBKnob::ImageChanged() {
    const TSize size = FrameSize(indexMain_, frames_, frameStack_);
    if (size.width > 0 && size.height > 0) SetSize(size.width, size.height);
}

int TBADIBKnob::FrameIndex() const {
    const int range = max_ - min_;
    if (range <= 0) return 0;
    const double index = static_cast<double>(frames_ - 1) / range * (position_ - min_);
    return std::clamp(static_cast<int>(std::nearbyint(index)), 0, frames_ - 1);
}

void TBADIBKnob::PaintContent(TPainter& painter, const TRect& window) {
    const int frame = FrameIndex();
    DrawStripFrame(painter, window, effectLayer_, frame, frames_, frameStack_, effectOpacity_);
    DrawStripFrame(painter, window, indexMain_, frame, frames_, frameStack_, Opacity());
}

void TBADIBKnob::MouseDown(const TMouseEvent& event) {
    if (OnMouseDown) OnMouseDown(*this, event);
    if (event.button != TMouseButton::Left) return;
    const bool inside =
        event.x >= CutLeft && event.x <= Width() - CutRight && event.y >= CutTop && event.y <= Height() - CutBottom;
    if (!inside) return;
    dragging_ = true;
    anchorY_ = event.y;
    anchorPosition_ = position_;
    lastFine_ = event.shift;
}

void TBADIBKnob::MouseMove(const TMouseEvent& event) {
    if (!dragging_) return;
    const bool fine = event.shift;
    if (fine != lastFine_) {
        anchorY_ = event.y;
        anchorPosition_ = position_;
        lastFine_ = fine;
    }
    const double range = static_cast<double>(max_) - min_;
    const double dy = static_cast<double>(anchorY_) - event.y;
    // The anchor counts from Min, so coarse steps fall on Min + k × range / CoarseQuant.
    const double anchor = static_cast<double>(anchorPosition_) - min_;
    double p = 0.0;
    if (fine) {
        p = range * dy / fine_ + anchor;
    } else {
        const auto p0 = static_cast<float>(range * dy / coarse_ + anchor);
        const double q = range > 0 ? std::nearbyint(p0 / range * coarseQuant_) : 0.0;
        p = q * range / coarseQuant_;
    }
    const double clamped = std::clamp(std::nearbyint(p) + min_, static_cast<double>(min_), static_cast<double>(max_));
    SetPosition(static_cast<int>(clamped));
    if (position_ != lastReported_) {
        lastReported_ = position_;
        if (OnChange && !Loading()) OnChange(*this);
    }
}

void TBADIBKnob::MouseUp(const TMouseEvent& event) {
    if (dragging_) {
        dragging_ = false;
        Invalidate();
    }
    if (OnMouseUp) OnMouseUp(*this, event);
}

} // namespace quillon
