// The skinned-control base and what holds controls together: TDIBControl (position, size, opacity,
// visibility, invalidation, painting and mouse handling of one control), TDIBImageContainer (draws an image
// and clips and paints its children), TDIBTimer (a repeating timer driven by a clock the caller advances)
// and TMouseRouter (delivers the window's mouse events to the control under the mouse, with capture).
//
// Coordinates: a control's Bounds() are relative to its parent (a container); WindowRect() is the same
// rectangle in window coordinates, the coordinates of the painter's buffer and of the router's events.
// Controls receive mouse events in their own coordinates (0, 0 = their top-left corner).
//
// Ownership: a container refers to its children and does not own them; a child must outlive its place in
// the container (Remove it first) and must not be destroyed while the router holds it (Forget it first).
// The root container may be given a TDirtyRegion that collects the rectangles of invalidated controls.
// GUI thread only [gui].
#pragma once

#include "toolkit/TDIBImageList.h"
#include "toolkit/TDirtyRegion.h"
#include "toolkit/TPainter.h"
#include "toolkit/TRect.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

class TDIBControl;
class TDIBImageContainer;
class TMenuLayer;
class TModalLayer;
class THintLayer;

enum class TMouseButton { Left, Right, Middle };
enum class TCursor { Arrow, Hand };
// How frames of a strip are laid out: side by side or stacked.
enum class TFrameStack { fsHorizontal, fsVertical };

struct TMouseEvent {
    int x = 0;
    int y = 0;
    TMouseButton button = TMouseButton::Left; // for moves: ignored
    bool shift = false;
    bool ctrl = false;
};

// A notification with the control that raised it.
using TNotifyEvent = std::function<void(TDIBControl& sender)>;
// A mouse notification with the event in the control's coordinates.
using TMouseNotifyEvent = std::function<void(TDIBControl& sender, const TMouseEvent& event)>;

class TDIBControl {
public:
    explicit TDIBControl(const TRect& bounds = TRect{}) : bounds_(bounds) {}
    virtual ~TDIBControl();
    TDIBControl(const TDIBControl&) = delete;
    TDIBControl& operator=(const TDIBControl&) = delete;

    // Place and size, relative to the parent. Changing them invalidates the old and the new rectangle.
    const TRect& Bounds() const { return bounds_; }
    void SetBounds(const TRect& bounds);
    void SetSize(int width, int height) { SetBounds(TRect::FromSize(bounds_.left, bounds_.top, width, height)); }
    int Width() const { return bounds_.Width(); }
    int Height() const { return bounds_.Height(); }
    TRect WindowRect() const;

    TDIBImageContainer* Parent() const { return parent_; }

    const TDIBImageList* DIBImageList() const { return images_; }
    void SetDIBImageList(const TDIBImageList* images);
    // The image of `link` in the image list, or null.
    const TDIBImageEntry* ImageOf(int link) const { return images_ ? images_->Image(link) : nullptr; }

    std::uint8_t Opacity() const { return opacity_; }
    void SetOpacity(std::uint8_t opacity);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    // The cursor shown while the mouse is over the control (or while it holds the capture).
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor) { cursor_ = cursor; }
    // The short text shown near the mouse when it rests on the control (none when empty).
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint) { hint_ = std::move(hint); }

    // The loading state: while a control is being set up from a layout description, notifications and
    // range consistency checks are skipped.
    void BeginLoading() { loading_ = true; }
    void EndLoading() { loading_ = false; }
    bool Loading() const { return loading_; }

    // Adds the control's window rectangle to the root's dirty region (if it has one).
    void Invalidate();

    // The menu layer of the root container, or null.
    TMenuLayer* FindMenuLayer() const;

    // Draws the control (if visible) in window coordinates, clipped to its window rectangle.
    void Paint(TPainter& painter);

    // The control's mouse handling, in its own coordinates; the router calls these.
    virtual void MouseDown(const TMouseEvent& /*event*/) {}
    virtual void MouseMove(const TMouseEvent& /*event*/) {}
    virtual void MouseUp(const TMouseEvent& /*event*/) {}

    // Advances the control's timers by `milliseconds`; containers pass it on to their children.
    virtual void AdvanceClock(int /*milliseconds*/) {}

    // The control that takes a mouse event at window point (x, y): the deepest visible control there.
    virtual TDIBControl* HitTest(int x, int y);

protected:
    // Draws the control's content; `window` is its window rectangle, the clip is already narrowed to it.
    virtual void PaintContent(TPainter& painter, const TRect& window) = 0;
    // Called when the image list or AutoSize changes; controls that size themselves from an image do it here.
    virtual void ImageChanged() {}

    // Draws frame `frame` of `frames` of the strip `link` at the control's top-left corner.
    void DrawStripFrame(TPainter& painter, const TRect& window, int link, int frame, int frames, TFrameStack stack,
                        std::uint8_t opacity) const;
    // The size of one frame of `frames` of the strip `link`; {0, 0} without the image.
    struct TSize {
        int width = 0;
        int height = 0;
    };
    TSize FrameSize(int link, int frames, TFrameStack stack) const;

private:
    friend class TDIBImageContainer;
    friend class TModalLayer; // links its panels to the root without making them children
    TDirtyRegion* FindDirtyRegion() const;

    TRect bounds_;
    TDIBImageContainer* parent_ = nullptr;
    const TDIBImageList* images_ = nullptr;
    std::uint8_t opacity_ = 255;
    bool enabled_ = true;
    bool visible_ = true;
    bool autoSize_ = false;
    bool loading_ = false;
    int tag_ = 0;
    TCursor cursor_ = TCursor::Arrow;
    std::string hint_;
};

// Draws its image (IndexMain, at its top-left corner, at its opacity) and then its children, clipped to
// its rectangle, in the order they were added (the last added is on top and is hit first). The mouse
// events that reach the container itself (on its background, where no child takes them) go to
// OnMouseDown, OnMouseMove and OnMouseUp while it is enabled.
class TDIBImageContainer : public TDIBControl {
public:
    explicit TDIBImageContainer(const TRect& bounds = TRect{}) : TDIBControl(bounds) {}
    ~TDIBImageContainer() override;

    TMouseNotifyEvent OnMouseDown;
    TMouseNotifyEvent OnMouseMove;
    TMouseNotifyEvent OnMouseUp;
    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

    int IndexMain() const { return indexMain_; }
    void SetIndexMain(int index);

    // Adds `child` (removing it from its previous container) and invalidates it.
    void Add(TDIBControl& child);
    void Remove(TDIBControl& child);
    const std::vector<TDIBControl*>& Children() const { return children_; }

    // The rectangles of invalidated controls go here; only the root's region is used.
    void SetDirtyRegion(TDirtyRegion* region) { dirty_ = region; }
    TDirtyRegion* DirtyRegion() const { return dirty_; }

    // The root's menu layer: painted on top of the children and given the mouse first while a menu is open.
    // Setting it makes its area the container's window rectangle and sends its changes to the dirty region.
    // The layer must outlive its place here.
    void SetMenuLayer(TMenuLayer* layer);
    TMenuLayer* MenuLayer() const { return menuLayer_; }
    // The root's modal layer: painted over the children and under the menu layer, given the mouse while a
    // panel is open (after the menu layer) and the clock. Setting it makes the layer cover the container's
    // window rectangle and sends its changes to the dirty region. The layer must outlive its place here.
    void SetModalLayer(TModalLayer* layer);
    TModalLayer* ModalLayer() const { return modalLayer_; }
    // The root's hint layer, painted above everything; like the menu layer it must outlive its place here.
    void SetHintLayer(THintLayer* layer);
    THintLayer* HintLayer() const { return hintLayer_; }

    void AdvanceClock(int milliseconds) override;
    TDIBControl* HitTest(int x, int y) override;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    void ImageChanged() override;

private:
    std::vector<TDIBControl*> children_;
    TDirtyRegion* dirty_ = nullptr;
    TMenuLayer* menuLayer_ = nullptr;
    TModalLayer* modalLayer_ = nullptr;
    THintLayer* hintLayer_ = nullptr;
    int indexMain_ = -1;
};

// A repeating timer: while enabled, fires OnTimer once per elapsed Interval of the clock that Advance moves.
class TDIBTimer {
public:
    explicit TDIBTimer(int intervalMs) : interval_(intervalMs > 0 ? intervalMs : 1) {}
    bool Enabled() const { return enabled_; }
    // Starting a stopped timer begins a fresh interval; starting a running one changes nothing.
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }
    void Advance(int milliseconds);
    std::function<void()> OnTimer;

private:
    int interval_;
    int elapsed_ = 0;
    bool enabled_ = false;
};

// Delivers the window's mouse events (window coordinates) to controls. A press goes to the enabled control
// under the mouse, which then holds the capture: every move and release goes to it, wherever the mouse is,
// until the button that took the capture is released. Without a capture, moves and releases go to the
// control under the mouse. While the root's menu layer has a menu open, every event goes to the layer
// instead (a release still ends a capture and reaches the control that held it first, and then the captures
// held in modal panels). Else, while the root's modal layer has a panel open, every event goes to that
// layer in the same way.
class TMouseRouter {
public:
    explicit TMouseRouter(TDIBImageContainer& root) : root_(root) {}

    void MouseDown(const TMouseEvent& windowEvent);
    void MouseMove(const TMouseEvent& windowEvent);
    void MouseUp(const TMouseEvent& windowEvent);

    TDIBControl* Captured() const { return captured_; }
    // The cursor the platform should show: the capturing control's, else that of the control under the
    // mouse at the last event, else the arrow.
    TCursor Cursor() const;
    // Drops every reference to `control` (call before destroying a control that may hold the capture).
    void Forget(const TDIBControl& control);

private:
    bool MenuOpen() const;
    bool ModalOpen() const;
    // A release of the capture's button while a layer takes the mouse: the holder gets it, ending its drag.
    void EndCapture(const TMouseEvent& windowEvent);
    TDIBControl* Target(int x, int y) const;
    static TMouseEvent ToLocal(const TDIBControl& control, const TMouseEvent& windowEvent);

    TDIBImageContainer& root_;
    TDIBControl* captured_ = nullptr;
    TMouseButton capturedButton_ = TMouseButton::Left; // the release of this button ends the capture
    TDIBControl* hovered_ = nullptr;
};

} // namespace quillon
