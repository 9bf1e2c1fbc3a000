#include "toolkit/TBAListBox.h"

#include <algorithm>

namespace quillon {

void TBAListBox::Clear() {
    items_.clear();
    topIndex_ = 0;
    itemIndex_ = -1;
    Invalidate();
}

int TBAListBox::AddItem(std::string text) {
    items_.push_back(std::move(text));
    Invalidate();
    return Count() - 1;
}

const std::string& TBAListBox::Item(int i) const {
    static const std::string none;
    return i >= 0 && i < Count() ? items_[static_cast<std::size_t>(i)] : none;
}

void TBAListBox::SetItem(int i, std::string text) {
    if (i < 0 || i >= Count()) return;
    items_[static_cast<std::size_t>(i)] = std::move(text);
    Invalidate();
}

void TBAListBox::SetItemHeight(int height) {
    itemHeight_ = std::max(height, 1);
    Invalidate();
}

void TBAListBox::SetColumns(int columns) {
    columns_ = std::max(columns, 1);
    Invalidate();
}

int TBAListBox::RowsPerColumn() const {
    if (columns_ == 1) return std::max(Count(), 1);
    return std::max(Height() / itemHeight_, 1);
}

int TBAListBox::VisibleRows() const {
    if (columns_ == 1) return (Height() + itemHeight_ - 1) / itemHeight_;
    return RowsPerColumn() * columns_;
}

void TBAListBox::SetTopIndex(int index) {
    const int top = std::clamp(index, 0, std::max(Count() - 1, 0));
    if (top == topIndex_) return;
    topIndex_ = top;
    Invalidate();
}

void TBAListBox::SetItemIndex(int index) {
    if (index < -1 || index >= Count()) index = -1;
    if (index == itemIndex_) return;
    itemIndex_ = index;
    Invalidate();
}

TRect TBAListBox::ItemRect(int i) const {
    const int visible = i - topIndex_;
    if (columns_ == 1) return TRect::FromSize(0, visible * itemHeight_, Width(), itemHeight_);
    // Rows above the top one stay above the first column, rows past the last column below the last one.
    const int rows = RowsPerColumn();
    const int column = visible < 0 ? 0 : std::min(visible / rows, columns_ - 1);
    const int width = Width() / columns_;
    return TRect::FromSize(column * width, (visible - column * rows) * itemHeight_, width, itemHeight_);
}

int TBAListBox::ItemAt(int x, int y) const {
    if (x < 0 || x >= Width() || y < 0 || y >= Height()) return -1;
    const int column = x / std::max(Width() / columns_, 1);
    const int row = y / itemHeight_;
    if (column >= columns_ || (columns_ > 1 && row >= RowsPerColumn())) return -1;
    const int i = topIndex_ + column * RowsPerColumn() + row;
    return i < Count() ? i : -1;
}

void TBAListBox::MouseDown(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    const int i = ItemAt(event.x, event.y);
    if (i >= 0) SetItemIndex(i);
    if (OnClick) OnClick(*this);
}

void TBAListBox::DrawRow(TPainter& painter, const TRect& window, int i) const {
    const TRect row = ItemRect(i).Translated(window.left, window.top);
    const bool selected = i == itemIndex_;
    const TPixel fill = selected ? LineColorSelected : (i % 2 != 0 ? LineColorOdd : LineColorEven);
    painter.FillRect(row, fill, Opacity());
    if (!Font) return;
    const int baseline = row.top + (row.Height() - Font->Ascent() - Font->Descent()) / 2 + Font->Ascent();
    painter.PushClip(TRect{row.left, window.top, row.right, window.bottom}); // a long text stops at its column
    painter.DrawText(*Font, Item(i), row.left + 1, baseline, selected ? FontSelectedColor : FontColor, Opacity());
    painter.PopClip();
}

void TBAListBox::DrawItem(TPainter& painter, const TRect& window, int i) {
    DrawRow(painter, window, i);
    if (lastDrawn_ >= 0 && lastDrawn_ < Count() && lastDrawn_ != i) DrawRow(painter, window, lastDrawn_);
    lastDrawn_ = i;
}

void TBAListBox::PaintContent(TPainter& painter, const TRect& window) {
    painter.FillRect(window, Color, Opacity());
    const int visible = VisibleRows();
    for (int i = topIndex_; i < Count() && i < topIndex_ + visible; ++i)
        DrawItem(painter, window, i);
}

} // namespace quillon
