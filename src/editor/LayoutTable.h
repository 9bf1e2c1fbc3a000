// The editor form's layout as data: every control of every page with its class, parent, rectangle, image,
// parameter and settings, in the order the form creates them (later ones lie on top of earlier ones), and
// the captions, section frames and button legends the page backgrounds print. The form builds itself from it and the
// skin's art generator places its captions from it, so the two cannot drift apart.
#pragma once

#include "toolkit/TBADIBButton.h"
#include "toolkit/TRect.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class TControlClass {
    TDIBImageContainer, // image container: draws its image centred and clips its children
    TDIBContainer,      // container without an image that clips its children
    TImage,             // plain clickable area without an image of the skin
    TDIBImage,          // plain image of the skin
    TLabel,             // text label
    TBADIBKnob,
    TBADIBButton,
    TBADIBSpin,
    TBAMidiChSelector,
    TBADIBSpinNote,
    TBADIBDropDownMenu,
    TDIBEnvelope,
    TBADIBQuillonKeyboard,
    TDIBRangeControl,
    TBAListBox,
    TPatchListBox,
    THookEdit,
    TChart,          // bar chart (harmony inspector) or line chart (LFO scope)
    TBarSeries,      // the inspector's bars
    TFastLineSeries, // a scope's line
};

const char* ClassName(TControlClass kind);

enum class TDropDownKind {
    None,
    Value,        // chLocal, shows the selected item, text in the space left of the button
    Command,      // chExternal: the items keep their own handlers, the caption stays
    EnvelopeEdit, // chLocal, the caption stays "EDIT"
    Mode,         // chLocal, shows the selected item
};

// A rectangle as the layout gives it: position and size in pixels (the toolkit's TRect keeps edges).
struct TLayoutRect {
    int x = 0, y = 0, w = 0, h = 0;
    constexpr TRect ToRect() const { return TRect::FromSize(x, y, w, h); }
    constexpr int Right() const { return x + w; }
    constexpr int Bottom() const { return y + h; }
    // True when `inner`, given relative to this rectangle's origin, lies inside it.
    constexpr bool Contains(const TLayoutRect& inner) const {
        return inner.x >= 0 && inner.y >= 0 && inner.Right() <= w && inner.Bottom() <= h;
    }
    // True when the two rectangles (of the same parent) share a pixel.
    constexpr bool Intersects(const TLayoutRect& other) const {
        return x < other.Right() && other.x < Right() && y < other.Bottom() && other.y < Bottom();
    }
};

// The settings a control kind needs beyond its rectangle and image; fields a kind does not use keep their
// defaults.
struct TControlSettings {
    // Knobs and numeric spins.
    int min = 0, max = 0;
    int coarse = 0, fine = 0;
    int pixelsPerStep = 0; // spins: `VerticalPixelsPerPosition`
    // Buttons.
    std::optional<TButtonBehavior> behavior{}; // the toolkit's behaviour; none for other kinds
    int group = 0;
    int tag2 = 0;
    bool blink = false;
    const char* hint = nullptr;
    int effectLayer = -1; // image drawn under the main one
    int effectOpacity = 0;
    TLayoutRect active{}; // where the mouse acts; empty = the whole face
    // Drop-downs.
    TDropDownKind dropDown = TDropDownKind::None;
    const char* menu = nullptr;
    const char* caption = nullptr;
    // A free number the form gives the control besides a parameter: the page number of a page selector,
    // the envelope number (1 amplifier, 2 filter, 3 pitch, 4 LFO 1, 5 LFO 2), the bank half of a list.
    int tag = 0;
    // Envelopes and range bars.
    int yOrigin = 0; // envelopes: 100 origin at the bottom, 50 bipolar
    int leftHandle = -1, rightHandle = -1;
    int rangeMax = 0;
    // Event handlers, as "Event=Handler" pairs separated by spaces.
    const char* handlers = nullptr;
};

struct TControlLayout {
    const char* id;
    TControlClass kind;
    const char* parent; // null for `PrimaryContainer`
    TLayoutRect rect;   // relative to the parent
    int image;          // skin image index, −1 for none
    int parameter;      // the `Tag` of a parameter control or its value label, −1 for none
    TControlSettings settings;
};

// Text printed on a page's background, placed from the controls.
struct TCaption {
    std::string text;
    const char* page;
    const char* control; // the control it names
    TLayoutRect rect;    // relative to the page
};

// A framed group of controls printed on a page: a frame line around its controls, their value labels,
// captions and legends, with the title set into the top line.
struct TSection {
    const char* page;
    const char* title;
    TLayoutRect rect;      // the frame, relative to the page
    TLayoutRect titleRect; // where the title interrupts the top line (it reaches above the frame)
};

// Text printed beside a control that has no caption: the choices of the radio groups, the MIDI buttons.
struct TLegend {
    const char* page;
    const char* control;
    const char* text;
    TLayoutRect rect; // relative to the page, right of the control, centred on its active area
};

inline constexpr const char* kPrimaryContainer = "PrimaryContainer";
inline constexpr int kPageCount = 6;
// The page containers by page number (the `Tag` of their selector buttons).
extern const char* const kPageIds[kPageCount];

// Every control of the form, parents before their children.
std::span<const TControlLayout> LayoutControls();
// The control of that id, or null.
const TControlLayout* FindControl(std::string_view id);
// The controls lying on a page (or on `PrimaryContainer`), directly or nested, in creation order.
std::vector<const TControlLayout*> ControlsOf(std::string_view page);
bool IsPage(std::string_view id);
// True for a container without an image: a window in which its larger contents scroll.
bool IsWindow(const TControlLayout& control);
// True for the scrolled contents of a window and everything they hold.
bool InsideWindow(const TControlLayout& control);
// The page container (or `PrimaryContainer`) a control lies on.
const char* PageOf(const TControlLayout& control);
// The control's rectangle relative to its page.
TLayoutRect RectOnPage(const TControlLayout& control);
// The captions a page background prints (or the chassis, for `PrimaryContainer`): the name of the
// parameter of each control that edits one, except the buttons named by a hint, 2 pixels under the
// control where there is room, else above, right or left of it, never over a control or another caption.
std::vector<TCaption> CaptionsOf(std::string_view page);
// The framed sections of a page, each around the controls it groups (with their value labels, captions and
// legends) plus a margin; the sections of one column share their left and right edges.
std::span<const TSection> SectionsOf(std::string_view page);
// The legends printed on a page (or on the chassis, for `PrimaryContainer`).
std::vector<TLegend> LegendsOf(std::string_view page);

} // namespace quillon
