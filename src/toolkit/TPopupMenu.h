// Pop-up menus drawn inside the editor's own buffer (never a window of their own).
//
// TMenuItem: one entry with a `Tag`, a caption, a click handler, Enabled, Checked and a radio group
// (RadioItem with GroupIndex: checking one unchecks the other radio items of the same group among its
// siblings), or a separator (caption "-"). An item with items of its own is a sub-menu, which opens
// sideways. TPopupMenu holds the top-level items (`Items`, a root item that is never shown).
//
// TMenuLayer: the one open menu chain of a window (a menu and the sub-menus opened from it). The root
// container paints it on top of everything and the router gives it the mouse first while it is open.
// Placement: a menu opens with its top-left corner at the point, then shifts left and up to stay inside
// the layer's area; a menu taller than the area fills its height and scrolls (arrows at its top and bottom
// move it by one item per press). A sub-menu opens to the right of its parent with its first item level
// with the parent item, or to the left of the parent when there is no room on the right.
// Mouse: moving over an item highlights it (and opens its sub-menu, closing deeper ones); a release on an
// enabled item without sub-menu closes the chain and then runs its handler (an AutoCheck item is checked
// first, a radio item is checked, another one toggled); a disabled item or a separator does nothing; a
// press outside every open menu closes the chain without running anything.
// Items refer to their handlers only; a handler that captures an object must not outlive it. [gui]
#pragma once

#include "toolkit/TGlyphAtlas.h"
#include "toolkit/TPainter.h"
#include "toolkit/TRect.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct TMouseEvent;

// `caption` without its first "&" (the accelerator mark).
std::string StripAccelerator(std::string_view caption);

class TMenuItem {
public:
    TMenuItem() = default;
    TMenuItem(int tag, std::string caption) : Tag(tag), Caption(std::move(caption)) {}
    TMenuItem(const TMenuItem&) = delete;
    TMenuItem& operator=(const TMenuItem&) = delete;

    int Tag = 0;
    std::string Caption;
    std::function<void(TMenuItem& item)> OnClick;
    bool Enabled = true;
    bool RadioItem = false;
    int GroupIndex = 0;
    // Checked on a click (radio items) or toggled (others) before the handler runs.
    bool AutoCheck = false;

    bool Checked() const { return checked_; }
    // Checking a radio item unchecks the other radio items of its group among its siblings.
    void SetChecked(bool checked);
    bool IsSeparator() const { return Caption == "-"; }

    // Adds a child (making this item a sub-menu) and returns it.
    TMenuItem& Add(int tag, std::string caption);
    TMenuItem& AddSeparator() { return Add(0, "-"); }
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem& operator[](int index) const { return *items_[static_cast<std::size_t>(index)]; }
    TMenuItem* Parent() const { return parent_; }

private:
    std::vector<std::unique_ptr<TMenuItem>> items_;
    TMenuItem* parent_ = nullptr;
    bool checked_ = false;
};

class TPopupMenu {
public:
    TMenuItem Items;
    // Runs when the menu is opened, before it is placed: the place to enable and check items.
    std::function<void(TPopupMenu& menu)> OnPopup;
};

// How the layer draws menus.
struct TMenuStyle {
    const TGlyphAtlas* atlas = nullptr; // none: no captions drawn
    int itemHeight = 16;
    int separatorHeight = 7;
    int gutter = 16;   // room left of the captions for the check mark and right of them for the arrow
    int minWidth = 48; // of a menu, frame included
    TPixel background = Rgb(240, 240, 240);
    TPixel frame = Rgb(100, 100, 100);
    TPixel text = Rgb(0, 0, 0);
    TPixel disabledText = Rgb(150, 150, 150);
    TPixel highlight = Rgb(50, 100, 200);
    TPixel highlightText = Rgb(255, 255, 255);
};

class TMenuLayer {
public:
    static constexpr int kFrame = 1;

    TMenuStyle Style;

    // The area menus must stay inside, in window coordinates (the editor's whole window).
    void SetArea(const TRect& area) { area_ = area; }
    const TRect& Area() const { return area_; }

    // Closes whatever is open and opens `menu` with its top-left corner at window point (x, y).
    void Open(TPopupMenu& menu, int x, int y);
    void Close();
    bool IsOpen() const { return !levels_.empty(); }

    // The open menus, the first being the one opened by Open.
    int Depth() const { return static_cast<int>(levels_.size()); }
    TRect MenuRect(int level) const { return levels_[static_cast<std::size_t>(level)].rect; }
    // The item at `level` highlighted by the mouse, or null.
    TMenuItem* Highlighted(int level) const;
    // The window rectangle of item `index` of the menu at `level` (empty when scrolled out of view).
    TRect ItemRect(int level, int index) const;
    // Scrolling: whether the menu scrolls, and its first visible item.
    bool Scrolls(int level) const { return levels_[static_cast<std::size_t>(level)].scrolls; }
    int FirstVisible(int level) const { return levels_[static_cast<std::size_t>(level)].first; }

    void Paint(TPainter& painter) const;

    // Window coordinates. They do nothing while no menu is open.
    void MouseDown(const TMouseEvent& event);
    void MouseMove(const TMouseEvent& event);
    void MouseUp(const TMouseEvent& event);

    // Called with the union of the old and new rectangles whenever what the layer shows changes.
    std::function<void(const TRect&)> OnInvalidate;

private:
    struct TLevel {
        TMenuItem* items = nullptr; // the item whose children are shown
        TRect rect;
        int first = 0;
        bool scrolls = false;
        int highlighted = -1;
    };
    struct THit {
        int level = -1;
        int index = -1; // -1: in the menu, not on an item; -2: top scroll arrow; -3: bottom scroll arrow
    };

    int ItemHeight(const TMenuItem& item) const;
    int ContentHeight(const TMenuItem& items) const;
    int MenuWidth(const TMenuItem& items) const;
    TLevel Place(TMenuItem& items, int x, int y) const;
    void OpenSub(int level, int index);
    void TruncateTo(int depth);
    THit HitAt(int x, int y) const;
    void Activate(TMenuItem& item);
    void InvalidateAll();
    void PaintLevel(TPainter& painter, const TLevel& level) const;

    TRect area_;
    std::vector<TLevel> levels_;
};

} // namespace quillon
