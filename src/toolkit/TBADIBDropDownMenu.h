// A menu-backed selector: a caption with a drop-down button on the right that opens a pop-up menu below
// the control.
//
// Drawing: the background `IndexMain` (optional) at the top-left corner; the `Button` strip (two frames
// side by side: 0 idle, 1 pressed) at x = Width - button width; then `Caption` in `Font` with a transparent
// background. Free width = Width - button width with AlignInFreeSpace, else Width; left x = 3, right
// x = free width - text width - 3, centre x = (free width - text width) div 2; top y = round((Height -
// font height) / 2) (ties to even) + YCorrection. With AutoSize the control takes the size of its background.
//
// Mouse: a left press sets the pressed flag; the left release clears it and opens `Menu` in the window's
// menu layer at the control's bottom-left corner. With chLocal the handler of every top-level item is
// replaced by the drop-down's own (one menu may serve several drop-downs; the last one opened owns it),
// which sets MenuTag to the item's Tag and fires OnChange; with chExternal the items keep their handlers.
//
// MenuTag: setting it (by code or by a choice) stores it; with a Menu and ShowSelectedText the caption
// becomes that of the first top-level item with that Tag, without its first "&" and in capitals with
// AllCaps (no such item: the caption stays). Setting it from code never notifies. [gui]
#pragma once

#include "toolkit/TBADIBSpin.h"
#include "toolkit/TDIBControl.h"
#include "toolkit/TPopupMenu.h"

#include <string>

namespace quillon {

enum class TOnChangeHandling { chLocal, chExternal };

class TBADIBDropDownMenu : public TDIBControl {
public:
    explicit TBADIBDropDownMenu(const TRect& bounds = TRect{}) : TDIBControl(bounds) {}

    int IndexMain() const { return indexMain_; }
    void SetIndexMain(int index);
    int Button() const { return button_; }
    void SetButton(int index);

    int MenuTag() const { return menuTag_; }
    void SetMenuTag(int tag);
    TPopupMenu* Menu() const { return menu_; }
    // Stored only.
    void SetMenu(TPopupMenu* menu) { menu_ = menu; }

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    TSpinAlignment Alignment() const { return alignment_; }
    void SetAlignment(TSpinAlignment alignment);
    bool AlignInFreeSpace() const { return alignInFreeSpace_; }
    void SetAlignInFreeSpace(bool align);
    int YCorrection() const { return yCorrection_; }
    void SetYCorrection(int correction);

    bool ShowSelectedText = true;
    bool AllCaps = false;
    TOnChangeHandling OnChangeHandling = TOnChangeHandling::chLocal;
    TDIBFont Font;
    TNotifyEvent OnChange;
    TMouseNotifyEvent OnMouseDown;

    bool Pressed() const { return pressed_; }
    int ButtonWidth() const;

    void MouseDown(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    void ImageChanged() override;

private:
    void OpenMenu();
    void Select(const TMenuItem& item);

    int indexMain_ = -1;
    int button_ = -1;
    int menuTag_ = 0;
    TPopupMenu* menu_ = nullptr;
    std::string caption_;
    TSpinAlignment alignment_ = TSpinAlignment::taLeftJustify;
    bool alignInFreeSpace_ = true;
    int yCorrection_ = 0;
    bool pressed_ = false;
};

} // namespace quillon
