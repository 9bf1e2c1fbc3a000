// Modal panels drawn inside the editor's own buffer: message boxes, the file browser and the like.
//
// TModalLayer: the stack of open panels of a window. The root container (SetModalLayer) paints it over its
// children: the panels below the top one, then a translucent dark veil over the whole area, then the top
// panel, so one veil dims the editor and every panel but the one in use. The menu layer paints above it,
// so a menu opened from inside a panel (a drop-down in the file browser) shows over the panel; opening a
// panel closes the open menu chain. Opening or closing a panel invalidates the whole area.
//
// Mouse: while a panel is open the router gives every event to the layer (after the menu layer, while a
// menu is open), which passes it to the top panel; there it reaches the panel's own controls the way the
// router reaches the editor's (press, capture, release). Events outside the top panel do nothing and the
// controls below never see them. A capture held below when a panel opens sees no more moves; the release
// of its button still reaches its holder, which so ends its drag, and nothing else. The same goes for a
// capture held in a panel that another panel covers. The editor hands the mouse wheel to the layer
// (MouseWheel), which gives it to the top panel.
//
// Keys: DispatchKey gives a key event to the top panel: first to its PreviewKey, then to the active edit box
// when it lies inside the top panel, else to the panel's KeyDown. Opening a panel deactivates an active edit box
// outside it. The editor calls DispatchKey before THookEdit::DispatchKey; keys the panel leaves go on to the host.
//
// Ownership and results: the layer owns its panels. Open takes a panel and the callback that gets its
// result; a panel ends itself with Close(result), which takes it off the stack, invalidates, and then calls
// the callback once, so the callback may open another panel. A closed panel is destroyed when the layer's
// event, key or clock call that closed it returns (so a panel may close itself from its own handlers), or
// when Close returns if it was called from elsewhere. CloseAll (the editor closing, or the layer's
// destruction) drops every panel without calling any callback: the objects those capture may already be
// gone. The layer must outlive its place in the root, and the root the layer's
// open panels. [gui]
#pragma once

#include "toolkit/TDIBControl.h"
#include "toolkit/TGlyphAtlas.h"
#include "toolkit/THookEdit.h"
#include "toolkit/TPainter.h"
#include "toolkit/TRect.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

class TModalLayer;

// Results of the toolkit's panels; other panels may return any other integer.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

using TModalCallback = std::function<void(int result)>;

// How panels are drawn; one style for every panel of a layer.
struct TModalStyle {
    const TGlyphAtlas* atlas = nullptr;      // none: no text drawn
    const TGlyphAtlas* titleAtlas = nullptr; // the captions'; none: `atlas`
    std::uint8_t veilOpacity = 140;
    TPixel veil = Rgb(0, 0, 0);
    int radius = 6;       // of the frame's corners
    int titleHeight = 22; // the title bar, frame included
    int padding = 12;     // around the panel's content
    TPixel frame = Rgb(24, 28, 36);
    TPixel face = Rgb(236, 238, 242);
    TPixel title = Rgb(52, 64, 86);
    TPixel titleText = Rgb(255, 255, 255);
    TPixel text = Rgb(20, 22, 28);
    // Buttons drawn by panels.
    int buttonHeight = 22;
    int buttonMinWidth = 72;
    int buttonGap = 8;
    TPixel button = Rgb(250, 250, 252);
    TPixel buttonPressed = Rgb(196, 204, 218);
    TPixel buttonFrame = Rgb(120, 128, 142);
    TPixel accent = Rgb(40, 110, 210); // the focused button's ring

    const TGlyphAtlas* TitleAtlas() const { return titleAtlas ? titleAtlas : atlas; }
};

// Fills `area` with its corners rounded by `radius` pixels (anti-aliased).
void FillRoundedRect(TPainter& painter, const TRect& area, int radius, TPixel colour, std::uint8_t opacity = 255);

// A panel: a container whose children are in its coordinates, drawn with a rounded frame and a title bar
// showing Caption. The layer places it (Arrange: centred in the layer's area) when it opens.
class TModalPanel : public TDIBImageContainer {
public:
    static constexpr int kFrame = 1;

    explicit TModalPanel(std::string caption = {}, int width = 240, int height = 120);

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

    // Ends the panel with `result` (see TModalLayer); does nothing when it is not open.
    void Close(int result);
    bool IsOpen() const { return layer_ != nullptr; }
    TModalLayer* Layer() const { return layer_; }
    // The layer's style (the default style while the panel is not open).
    const TModalStyle& Style() const;
    // The area for the content in the panel's coordinates: below the title bar, inside the frame.
    TRect ClientRect() const;

    // A key event for the panel; true when it was used. The default uses none.
    virtual bool KeyDown(const TKeyEvent& /*event*/) { return false; }
    // A key event for the panel before its active edit box sees it (a list's Up and Down beside a name
    // field); true when it was used. The default uses none.
    virtual bool PreviewKey(const TKeyEvent& /*event*/) { return false; }
    // Sizes and places the panel in `area` (the root's coordinates: its whole size) when it opens; the
    // default keeps the size (cut to the area) and centres it.
    virtual void Arrange(const TRect& area);

    // A turn of the mouse wheel by `steps` notches (positive: away from the user) at `event` (window
    // coordinates); true when it was used. The default uses none.
    virtual bool MouseWheel(const TMouseEvent& /*event*/, int /*steps*/) { return false; }

    // The panel's controls take the mouse through this router.
    TMouseRouter& Router() { return router_; }

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    // Draws the panel's own content over its face, before its children; `client` is ClientRect() in window
    // coordinates.
    virtual void PaintClient(TPainter& /*painter*/, const TRect& /*client*/) {}

private:
    friend class TModalLayer;

    std::string caption_;
    TModalLayer* layer_ = nullptr;
    TMouseRouter router_{*this};
};

class TModalLayer {
public:
    TModalLayer() = default;
    ~TModalLayer();
    TModalLayer(const TModalLayer&) = delete;
    TModalLayer& operator=(const TModalLayer&) = delete;

    TModalStyle Style;

    // The root whose whole area the layer covers; TDIBImageContainer::SetModalLayer sets it. Another root
    // drops the open panels (as CloseAll).
    void SetRoot(TDIBImageContainer* root);
    const TRect& Area() const { return area_; }

    // Puts `panel` on top, arranged in the area, and returns it (valid while it is open); `onClose` gets
    // its result.
    TModalPanel& Open(std::unique_ptr<TModalPanel> panel, TModalCallback onClose = {});
    // Drops every panel, calling no callback.
    void CloseAll();
    bool IsOpen() const { return !stack_.empty(); }
    int Count() const { return static_cast<int>(stack_.size()); }
    // The panel in use, or null.
    TModalPanel* Top() const { return stack_.empty() ? nullptr : stack_.back().panel.get(); }

    // Window coordinates; they do nothing while no panel is open.
    void MouseDown(const TMouseEvent& event);
    void MouseMove(const TMouseEvent& event);
    void MouseUp(const TMouseEvent& event);
    // Gives a turn of the mouse wheel to the top panel; true when it used it.
    bool MouseWheel(const TMouseEvent& event, int steps);
    // Gives the release to every panel whose controls hold a capture (the router does, while a menu takes
    // the mouse), so a drag in a panel ends with its button even when a menu opened meanwhile.
    void ReleaseCaptures(const TMouseEvent& event);
    // True when the top panel used the key event; false while no panel is open.
    bool DispatchKey(const TKeyEvent& event);
    void AdvanceClock(int milliseconds);
    // The cursor over the top panel.
    TCursor Cursor() const;

    void Paint(TPainter& painter) const;

    // Called with the area whenever what the layer shows changes as a whole (a panel opening or closing).
    std::function<void(const TRect&)> OnInvalidate;

private:
    friend class TModalPanel;
    struct TEntry {
        std::unique_ptr<TModalPanel> panel;
        TModalCallback onClose;
    };
    // Keeps panels closed during a call into panel code alive until the outermost call returns.
    class TCallGuard {
    public:
        explicit TCallGuard(TModalLayer& layer) : layer_(layer) { ++layer_.calls_; }
        ~TCallGuard();
        TCallGuard(const TCallGuard&) = delete;
        TCallGuard& operator=(const TCallGuard&) = delete;

    private:
        TModalLayer& layer_;
    };

    void Finish(TModalPanel& panel, int result);
    void Detach(TModalPanel& panel);
    void InvalidateAll() const;

    TDIBImageContainer* root_ = nullptr;
    TRect area_;
    std::vector<TEntry> stack_;
    std::vector<std::unique_ptr<TModalPanel>> closed_;
    int calls_ = 0;
};

} // namespace quillon
