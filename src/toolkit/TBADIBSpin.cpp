#include "toolkit/TBADIBSpin.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quillon {

TBACustomDIBSpin::TBACustomDIBSpin(const TRect& bounds, int min, int max) : TDIBControl(bounds), min_(min), max_(max) {}

void TBACustomDIBSpin::SetIndexMain(int index) {
    if (index == indexMain_) return;
    indexMain_ = index;
    ImageChanged();
    Invalidate();
}

void TBACustomDIBSpin::SetArrows(int index) {
    if (index == arrows_) return;
    arrows_ = index;
    Invalidate();
}

void TBACustomDIBSpin::SetPosition(int position) {
    position_ = std::clamp(position, std::min(min_, max_), std::max(min_, max_));
    UpdateText();
    Invalidate();
}

void TBACustomDIBSpin::SetAlignment(TSpinAlignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    Invalidate();
}

void TBACustomDIBSpin::UpdateText() {
    text_ = PositionText(position_);
}

int TBACustomDIBSpin::ArrowWidth() const {
    const TDIBImageEntry* arrows = ImageOf(arrows_);
    return arrows ? arrows->Width() / 3 : 0;
}

void TBACustomDIBSpin::ImageChanged() {
    if (!AutoSize()) return;
    if (const TDIBImageEntry* background = ImageOf(indexMain_)) SetSize(background->Width(), background->Height());
}

void TBACustomDIBSpin::PaintContent(TPainter& painter, const TRect& window) {
    if (const TDIBImageEntry* background = ImageOf(indexMain_))
        painter.DrawImage(background->pixels, background->Bounds(), window.left, window.top, Opacity(),
                          background->key);
    const int arrowWidth = ArrowWidth();
    if (const TDIBImageEntry* arrows = ImageOf(arrows_))
        painter.DrawImage(arrows->pixels, TRect::FromSize(arrowState_ * arrowWidth, 0, arrowWidth, arrows->Height()),
                          window.left + Width() - arrowWidth, window.top, Opacity(), arrows->key);
    if (!Font.atlas) return;
    const int textWidth = Font.atlas->TextWidth(text_);
    int x = 0;
    switch (alignment_) {
    case TSpinAlignment::taLeftJustify:
        x = TextOffsetX + 3;
        break;
    case TSpinAlignment::taRightJustify:
        x = Width() + TextOffsetX - arrowWidth - textWidth - 3;
        break;
    case TSpinAlignment::taCenter:
        x = (Width() - arrowWidth - textWidth) / 2 + TextOffsetX;
        break;
    }
    const int top = (Height() - Font.atlas->pixelSize - 1) / 2 + TextOffsetY;
    painter.PushClip(TRect::FromSize(window.left, window.top, Width() - arrowWidth, Height()));
    painter.DrawText(*Font.atlas, text_, window.left + x, window.top + top + Font.atlas->Ascent(), Font.colour,
                     Opacity());
    painter.PopClip();
}

void TBACustomDIBSpin::MouseDown(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    if (event.x < Width() - ArrowWidth()) {
        dragging_ = true;
        anchorY_ = event.y;
        anchorPosition_ = position_;
        return;
    }
    if (event.y < Height() / 2) {
        arrowState_ = 1;
        SetPosition(position_ + 1);
    } else {
        arrowState_ = 2;
        SetPosition(position_ - 1);
    }
    Invalidate();
    if (OnChange && !Loading()) OnChange(*this);
}

void TBACustomDIBSpin::MouseMove(const TMouseEvent& event) {
    if (!dragging_) return;
    const double p = static_cast<double>(anchorY_ - event.y) / pixelsPerPosition_ + anchorPosition_;
    const double clamped = std::clamp(std::nearbyint(p), static_cast<double>(std::min(min_, max_)),
                                      static_cast<double>(std::max(min_, max_)));
    SetPosition(static_cast<int>(clamped));
    if (position_ != lastReported_) {
        lastReported_ = position_;
        if (OnChange && !Loading()) OnChange(*this);
    }
}

void TBACustomDIBSpin::MouseUp(const TMouseEvent& event) {
    dragging_ = false;
    arrowState_ = 0;
    Invalidate();
    if (OnMouseUp) OnMouseUp(*this, event);
}

void TBADIBSpin::SetMax(int max) {
    max_ = max;
    if (Loading()) return;
    SetPosition(position_);
    if (max_ < min_) max_ = min_;
}

void TBADIBSpin::SetMin(int min) {
    min_ = min;
    if (Loading()) return;
    SetPosition(position_);
    if (min_ > max_) min_ = max_;
}

std::string TBADIBSpinNote::NoteName(int note) {
    static constexpr std::array<const char*, 12> kNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                           "F#", "G",  "G#", "A",  "A#", "B"};
    const int octave = note / 12 - 1;
    return std::string(kNames[static_cast<std::size_t>(((note % 12) + 12) % 12)]) + std::to_string(octave);
}

} // namespace quillon
