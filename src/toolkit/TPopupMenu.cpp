#include "toolkit/TPopupMenu.h"

#include "toolkit/TDIBControl.h"

#include <algorithm>
#include <array>

namespace quillon {

std::string StripAccelerator(std::string_view caption) {
    std::string result(caption);
    if (const auto amp = result.find('&'); amp != std::string::npos) result.erase(amp, 1);
    return result;
}

void TMenuItem::SetChecked(bool checked) {
    checked_ = checked;
    if (!checked || !RadioItem || !parent_) return;
    for (const auto& sibling : parent_->items_)
        if (sibling.get() != this && sibling->RadioItem && sibling->GroupIndex == GroupIndex) sibling->checked_ = false;
}

TMenuItem& TMenuItem::Add(int tag, std::string caption) {
    items_.push_back(std::make_unique<TMenuItem>(tag, std::move(caption)));
    items_.back()->parent_ = this;
    return *items_.back();
}

// Layout ----------------------------------------------------------------------------------------------------

int TMenuLayer::ItemHeight(const TMenuItem& item) const {
    return item.IsSeparator() ? Style.separatorHeight : Style.itemHeight;
}

int TMenuLayer::ContentHeight(const TMenuItem& items) const {
    int height = 0;
    for (int i = 0; i < items.Count(); ++i)
        height += ItemHeight(items[i]);
    return height;
}

int TMenuLayer::MenuWidth(const TMenuItem& items) const {
    int widest = 0;
    if (Style.atlas)
        for (int i = 0; i < items.Count(); ++i)
            if (!items[i].IsSeparator())
                widest = std::max(widest, Style.atlas->TextWidth(StripAccelerator(items[i].Caption)));
    return std::max(Style.minWidth, widest + 2 * Style.gutter + 2 * kFrame);
}

TMenuLayer::TLevel TMenuLayer::Place(TMenuItem& items, int x, int y) const {
    TLevel level;
    level.items = &items;
    const int width = MenuWidth(items);
    int height = ContentHeight(items) + 2 * kFrame;
    int top = y;
    if (height > area_.Height()) {
        height = area_.Height();
        level.scrolls = true;
        top = area_.top;
    } else if (top + height > area_.bottom) {
        top = area_.bottom - height;
    }
    top = std::max(top, area_.top);
    int left = x;
    if (left + width > area_.right) left = area_.right - width;
    left = std::max(left, area_.left);
    level.rect = TRect::FromSize(left, top, width, height);
    return level;
}

TRect TMenuLayer::ItemRect(int levelIndex, int index) const {
    const TLevel& level = levels_[static_cast<std::size_t>(levelIndex)];
    const int arrow = level.scrolls ? Style.itemHeight : 0;
    const int contentBottom = level.rect.bottom - kFrame - arrow;
    int y = level.rect.top + kFrame + arrow;
    for (int i = level.first; i < level.items->Count(); ++i) {
        const int h = ItemHeight((*level.items)[i]);
        if (y + h > contentBottom) break;
        if (i == index) return TRect{level.rect.left + kFrame, y, level.rect.right - kFrame, y + h};
        y += h;
    }
    return TRect{};
}

TMenuItem* TMenuLayer::Highlighted(int level) const {
    const TLevel& l = levels_[static_cast<std::size_t>(level)];
    return l.highlighted >= 0 ? &(*l.items)[l.highlighted] : nullptr;
}

// Opening and closing ---------------------------------------------------------------------------------------

void TMenuLayer::InvalidateAll() {
    if (!OnInvalidate) return;
    TRect all;
    for (const TLevel& level : levels_)
        all = all.Union(level.rect);
    if (!all.Empty()) OnInvalidate(all);
}

void TMenuLayer::Open(TPopupMenu& menu, int x, int y) {
    Close();
    if (menu.OnPopup) menu.OnPopup(menu);
    levels_.push_back(Place(menu.Items, x, y));
    InvalidateAll();
}

void TMenuLayer::Close() {
    InvalidateAll();
    levels_.clear();
}

void TMenuLayer::TruncateTo(int depth) {
    if (Depth() <= depth) return;
    InvalidateAll();
    levels_.resize(static_cast<std::size_t>(depth));
}

void TMenuLayer::OpenSub(int levelIndex, int index) {
    TruncateTo(levelIndex + 1);
    TMenuItem& item = (*levels_[static_cast<std::size_t>(levelIndex)].items)[index];
    const TRect parent = levels_[static_cast<std::size_t>(levelIndex)].rect;
    const TRect row = ItemRect(levelIndex, index);
    int x = parent.right;
    if (x + MenuWidth(item) > area_.right) x = parent.left - MenuWidth(item);
    levels_.push_back(Place(item, x, row.top - kFrame));
    InvalidateAll();
}

// Mouse -----------------------------------------------------------------------------------------------------

TMenuLayer::THit TMenuLayer::HitAt(int x, int y) const {
    for (int l = Depth() - 1; l >= 0; --l) {
        const TLevel& level = levels_[static_cast<std::size_t>(l)];
        if (!level.rect.Contains(x, y)) continue;
        if (level.scrolls && y < level.rect.top + kFrame + Style.itemHeight) return THit{l, -2};
        if (level.scrolls && y >= level.rect.bottom - kFrame - Style.itemHeight) return THit{l, -3};
        for (int i = level.first; i < level.items->Count(); ++i)
            if (ItemRect(l, i).Contains(x, y)) return THit{l, i};
        return THit{l, -1};
    }
    return THit{};
}

void TMenuLayer::MouseMove(const TMouseEvent& event) {
    if (!IsOpen()) return;
    const THit hit = HitAt(event.x, event.y);
    if (hit.level < 0) return;
    TLevel& level = levels_[static_cast<std::size_t>(hit.level)];
    if (hit.index < 0) {
        if (hit.level == Depth() - 1 && level.highlighted != -1) {
            level.highlighted = -1;
            InvalidateAll();
        }
        return;
    }
    TMenuItem& item = (*level.items)[hit.index];
    const bool subOpen = hit.level + 1 < Depth() && levels_[static_cast<std::size_t>(hit.level) + 1].items == &item;
    if (!subOpen) TruncateTo(hit.level + 1);
    const int highlighted = item.IsSeparator() ? -1 : hit.index;
    if (level.highlighted != highlighted) {
        level.highlighted = highlighted;
        InvalidateAll();
    }
    if (!subOpen && item.Enabled && item.Count() > 0) OpenSub(hit.level, hit.index);
}

void TMenuLayer::MouseDown(const TMouseEvent& event) {
    if (!IsOpen()) return;
    const THit hit = HitAt(event.x, event.y);
    if (hit.level < 0) {
        Close();
        return;
    }
    TLevel& level = levels_[static_cast<std::size_t>(hit.level)];
    if (hit.index == -2 && level.first > 0) {
        TruncateTo(hit.level + 1);
        --level.first;
        InvalidateAll();
    } else if (hit.index == -3) {
        // Scroll on while the last item is not yet shown.
        const int last = level.items->Count() - 1;
        if (last >= 0 && ItemRect(hit.level, last).Empty()) {
            TruncateTo(hit.level + 1);
            ++level.first;
            InvalidateAll();
        }
    }
}

void TMenuLayer::MouseUp(const TMouseEvent& event) {
    if (!IsOpen()) return;
    const THit hit = HitAt(event.x, event.y);
    if (hit.level < 0 || hit.index < 0) return;
    TMenuItem& item = (*levels_[static_cast<std::size_t>(hit.level)].items)[hit.index];
    if (!item.Enabled || item.IsSeparator()) return;
    if (item.Count() > 0) {
        const bool subOpen = hit.level + 1 < Depth() && levels_[static_cast<std::size_t>(hit.level) + 1].items == &item;
        if (!subOpen) OpenSub(hit.level, hit.index);
        return;
    }
    Activate(item);
}

void TMenuLayer::Activate(TMenuItem& item) {
    Close();
    if (item.AutoCheck) item.SetChecked(item.RadioItem ? true : !item.Checked());
    // A copy: the handler may replace the item's handler (a drop-down re-opening the menu, for one).
    if (const auto handler = item.OnClick) handler(item);
}

// Drawing ---------------------------------------------------------------------------------------------------

void TMenuLayer::Paint(TPainter& painter) const {
    for (const TLevel& level : levels_)
        PaintLevel(painter, level);
}

void TMenuLayer::PaintLevel(TPainter& painter, const TLevel& level) const {
    const TRect& r = level.rect;
    painter.PushClip(r);
    painter.FillRect(r, Style.background);
    painter.StrokeRect(r, Style.frame, kFrame);
    const int levelIndex = static_cast<int>(&level - levels_.data());
    if (level.scrolls) {
        const float cx = static_cast<float>(r.left + r.right) / 2.0F;
        const float top = static_cast<float>(r.top + kFrame);
        const float bottom = static_cast<float>(r.bottom - kFrame);
        const float h = static_cast<float>(Style.itemHeight);
        const std::array<TPointF, 3> up{TPointF{cx - 4, top + h * 0.7F}, TPointF{cx + 4, top + h * 0.7F},
                                        TPointF{cx, top + h * 0.3F}};
        const std::array<TPointF, 3> down{TPointF{cx - 4, bottom - h * 0.7F}, TPointF{cx + 4, bottom - h * 0.7F},
                                          TPointF{cx, bottom - h * 0.3F}};
        painter.FillPolygon(up, Style.text);
        painter.FillPolygon(down, Style.text);
    }
    for (int i = level.first; i < level.items->Count(); ++i) {
        const TRect row = ItemRect(levelIndex, i);
        if (row.Empty()) break;
        const TMenuItem& item = (*level.items)[i];
        if (item.IsSeparator()) {
            painter.FillRect(
                TRect{row.left + 2, (row.top + row.bottom) / 2, row.right - 2, (row.top + row.bottom) / 2 + 1},
                Style.frame);
            continue;
        }
        const bool lit = i == level.highlighted && item.Enabled;
        if (lit) painter.FillRect(row, Style.highlight);
        const TPixel colour = !item.Enabled ? Style.disabledText : lit ? Style.highlightText : Style.text;
        const int cy = (row.top + row.bottom) / 2;
        const int mx = row.left + Style.gutter / 2;
        if (item.Checked()) {
            if (item.RadioItem) {
                painter.FillRect(TRect{mx - 2, cy - 2, mx + 2, cy + 2}, colour);
            } else {
                const std::array<TPointF, 3> tick{TPointF{static_cast<float>(mx - 4), static_cast<float>(cy)},
                                                  TPointF{static_cast<float>(mx - 1), static_cast<float>(cy + 3)},
                                                  TPointF{static_cast<float>(mx + 4), static_cast<float>(cy - 4)}};
                painter.DrawPolyline(tick, 1.5F, colour);
            }
        }
        if (item.Count() > 0) {
            const int arrowX = row.right - Style.gutter / 2; // the gutter's middle pixel
            const auto ax = static_cast<float>(arrowX);
            const float ay = static_cast<float>(cy);
            const std::array<TPointF, 3> arrow{TPointF{ax - 2, ay - 4}, TPointF{ax - 2, ay + 4}, TPointF{ax + 2, ay}};
            painter.FillPolygon(arrow, colour);
        }
        if (Style.atlas) {
            const TGlyphAtlas& atlas = *Style.atlas;
            const int baseline = row.top + (row.Height() - atlas.Ascent() - atlas.Descent()) / 2 + atlas.Ascent();
            painter.DrawText(atlas, StripAccelerator(item.Caption), row.left + Style.gutter, baseline, colour);
        }
    }
    painter.PopClip();
}

} // namespace quillon
