#include "toolkit/TDIBRangeControl.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quillon {

TDIBRangeControl::TDIBRangeControl(const TRect& bounds) : TDIBControl(bounds) {}

void TDIBRangeControl::SetLeftHandle(int link) {
    leftHandle_ = link;
    Invalidate();
}

void TDIBRangeControl::SetRightHandle(int link) {
    rightHandle_ = link;
    Invalidate();
}

void TDIBRangeControl::SetFillOpacity(std::uint8_t opacity) {
    fillOpacity_ = opacity;
    Invalidate();
}

void TDIBRangeControl::SetHandleOpacity(std::uint8_t opacity) {
    handleOpacity_ = opacity;
    Invalidate();
}

void TDIBRangeControl::SetHandleAlign(THandleAlign align) {
    handleAlign_ = align;
    Invalidate();
}

void TDIBRangeControl::SetFillPen(const TPen& pen) {
    fillPen_ = pen;
    Invalidate();
}

void TDIBRangeControl::SetFillBrush(const TBrush& brush) {
    fillBrush_ = brush;
    Invalidate();
}

void TDIBRangeControl::SetMax(int max) {
    if (!Loading() && max <= min_) throw std::invalid_argument("Max must be greater than min");
    max_ = max;
    leftPos_ = std::min(leftPos_, max_);
    rightPos_ = std::min(rightPos_, max_);
    Invalidate();
}

void TDIBRangeControl::SetMin(int min) {
    if (!Loading() && min >= max_) throw std::invalid_argument("Min must be less than max");
    min_ = min;
    leftPos_ = std::max(leftPos_, min_);
    rightPos_ = std::max(rightPos_, min_);
    Invalidate();
}

void TDIBRangeControl::SetLeftPos(int position) {
    position = std::clamp(position, std::min(min_, max_), std::max(min_, max_));
    leftPos_ = std::min(position, rightPos_);
    Invalidate();
    if (OnLeftChange && !Loading()) OnLeftChange(*this);
}

void TDIBRangeControl::SetRightPos(int position) {
    position = std::clamp(position, std::min(min_, max_), std::max(min_, max_));
    rightPos_ = std::max(position, leftPos_);
    Invalidate();
    if (OnRightChange && !Loading()) OnRightChange(*this);
}

int TDIBRangeControl::HandleWidth(int link) const {
    const TDIBImageEntry* image = ImageOf(link);
    return image ? image->Width() : 0;
}

void TDIBRangeControl::PaintContent(TPainter& painter, const TRect& window) {
    const TDIBImageEntry* left = ImageOf(leftHandle_);
    const TDIBImageEntry* right = ImageOf(rightHandle_);
    if (!left || !right) return;
    const int leftWidth = left->Width();
    const int rightWidth = right->Width();
    const double track = Width() - leftWidth - rightWidth;
    const double range = static_cast<double>(max_) - min_;
    const double scale = range != 0.0 ? track / range : 0.0;
    const int leftX = static_cast<int>(std::nearbyint(scale * leftPos_));
    const int rightX = static_cast<int>(std::nearbyint(scale * rightPos_)) + leftWidth;
    const bool top = handleAlign_ == THandleAlign::haTop;
    const int leftY = top ? 0 : Height() - left->Height();
    const int rightY = top ? 0 : Height() - right->Height();
    leftRect_ = TRect::FromSize(leftX, leftY, leftWidth, left->Height());
    rightRect_ = TRect::FromSize(rightX, rightY, rightWidth, right->Height());
    painter.DrawImage(left->pixels, left->Bounds(), window.left + leftX, window.top + leftY, handleOpacity_, left->key);
    painter.DrawImage(right->pixels, right->Bounds(), window.left + rightX, window.top + rightY, handleOpacity_,
                      right->key);

    const TRect fill{leftX + leftWidth, 0, rightX, Height()};
    if (fill.Empty() || (!fillBrush_.solid && !fillPen_.visible)) return;
    fillLayer_.Draw(painter, window, fillOpacity_, [this, &fill](TPainter& layer) {
        if (fillBrush_.solid) layer.FillRect(fill, fillBrush_.colour);
        if (fillPen_.visible) {
            const int width = std::max(1, static_cast<int>(std::nearbyint(fillPen_.width)));
            layer.StrokeRect(fill, fillPen_.colour, width);
        }
    });
}

void TDIBRangeControl::MouseDown(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    if (leftRect_.Contains(event.x, event.y))
        dragging_ = TDragHandle::Left;
    else if (rightRect_.Contains(event.x, event.y))
        dragging_ = TDragHandle::Right;
}

void TDIBRangeControl::MouseMove(const TMouseEvent& event) {
    const bool overHandle = leftRect_.Contains(event.x, event.y) || rightRect_.Contains(event.x, event.y);
    SetCursor(overHandle ? TCursor::Hand : TCursor::Arrow);
    if (dragging_ == TDragHandle::None) return;
    const double leftWidth = HandleWidth(leftHandle_);
    const double rightWidth = HandleWidth(rightHandle_);
    const double track = Width() - leftWidth - rightWidth;
    if (track <= 0.0) return;
    const double range = static_cast<double>(max_) - min_;
    if (dragging_ == TDragHandle::Left)
        SetLeftPos(static_cast<int>(std::nearbyint((event.x - leftWidth / 2.0) * range / track)));
    else
        SetRightPos(static_cast<int>(std::nearbyint((event.x - leftWidth - rightWidth / 2.0) * range / track)));
}

TDIBControl* TDIBRangeControl::HitTest(int x, int y) {
    if (TDIBControl::HitTest(x, y) == nullptr) return nullptr;
    const TRect window = WindowRect();
    const int localX = x - window.left;
    const int localY = y - window.top;
    const bool onHandle = leftRect_.Contains(localX, localY) || rightRect_.Contains(localX, localY);
    return onHandle || dragging_ != TDragHandle::None ? this : nullptr;
}

void TDIBRangeControl::MouseUp(const TMouseEvent& /*event*/) {
    dragging_ = TDragHandle::None;
}

} // namespace quillon
