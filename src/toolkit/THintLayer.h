// Hints: the short text a control carries (`Hint`, for example "Loop" or "Time Stretch") shown in a small
// box near the mouse once the mouse has rested on the control for `delay` milliseconds. The box stays while
// the mouse is over the same control, for at most `duration` milliseconds, and goes at once on a press,
// when the mouse leaves the control, or when a menu or modal panel opens. It is placed below and right of
// the mouse and shifted to stay inside the layer's area.
//
// The root container paints the layer above everything else; the mouse router reports where the mouse rests
// (Hover) and every press (Hide); the clock comes through the root's AdvanceClock. [gui]
#pragma once

#include "toolkit/TGlyphAtlas.h"
#include "toolkit/TRect.h"

#include <functional>
#include <string>

namespace quillon {

class TDIBControl;
class TPainter;

struct THintStyle {
    const TGlyphAtlas* atlas = nullptr; // none: no hints shown
    TPixel text = Rgb(20, 20, 24);
    TPixel background = Rgb(250, 248, 232);
    TPixel border = Rgb(110, 108, 100);
    int padding = 3;
    int delay = 600;     // ms of rest before the hint shows
    int duration = 6000; // ms it stays at most
};

class THintLayer {
public:
    THintStyle Style;

    // The area hints must stay inside (the editor's window), in window coordinates.
    void SetArea(const TRect& area) { area_ = area; }

    // The mouse is at window point (x, y) over `control` (null: over none that takes the mouse).
    void Hover(const TDIBControl* control, int x, int y);
    void Hide();
    void AdvanceClock(int milliseconds);

    bool Showing() const { return showing_; }
    const std::string& Text() const { return text_; }
    // The box, in window coordinates (empty while hidden).
    TRect Box() const { return showing_ ? box_ : TRect{}; }

    void Paint(TPainter& painter) const;

    // Called with the box's rectangle whenever it appears or goes.
    std::function<void(const TRect&)> OnInvalidate;

private:
    void Show();

    TRect area_{};
    const TDIBControl* control_ = nullptr;
    std::string text_;
    int x_ = 0, y_ = 0;
    int elapsed_ = 0;
    bool showing_ = false;
    TRect box_{};
};

} // namespace quillon
