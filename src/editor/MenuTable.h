// The editor's fourteen pop-up menus as data: each menu's items in order with their `Tag`, caption, click
// handler and flags, and the handler that runs when the menu opens. The form turns them into TPopupMenu
// objects with BuildMenu and binds the handler names to its commands.
#pragma once

#include "toolkit/TPopupMenu.h"

#include <functional>
#include <memory>
#include <span>
#include <string_view>

namespace quillon {

struct TMenuItemLayout {
    const char* id;
    int tag;
    const char* caption;    // "-" for a separator
    const char* onClick;    // handler name, null for none
    bool subItem = false;   // belongs to the sub-menu of the last top-level item before it
    bool radio = false;     // radio item of `group`
    int group = 0;          // GroupIndex
    bool checked = false;   // checked from the start
    bool autoCheck = false; // toggles its check mark on a click
};

struct TMenuLayout {
    const char* id;
    const char* onPopup; // handler name run when the menu opens, null for none
    std::span<const TMenuItemLayout> items;
};

// Every menu, in the order the form creates them.
std::span<const TMenuLayout> LayoutMenus();
// The menu of that id, or null.
const TMenuLayout* FindMenu(std::string_view id);

// Returns the click handler for an item that names one (or none to leave it without).
using TMenuHandlerBinder = std::function<std::function<void(TMenuItem&)>(const TMenuItemLayout& item)>;

// A pop-up menu with the items of `layout`; `bind` gives the handlers of the items that name one.
std::unique_ptr<TPopupMenu> BuildMenu(const TMenuLayout& layout, const TMenuHandlerBinder& bind);

} // namespace quillon
