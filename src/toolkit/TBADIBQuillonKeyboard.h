// The playable keyboard of the global strip: 52 keys, key k playing MIDI note k + 40 (E2 to G6).
//
// The image `IndexMain` holds two pictures side by side, the keyboard at rest (left half) and with every
// key pressed (right half); the control takes the size of one half. Each key has a fixed rectangle in
// control pixels (right and bottom exclusive); the tops follow the picture's curved upper edge, and the
// three black keys of notes 85, 87 and 90 have a top at or below their bottom, so they have no area and
// can be neither pressed nor drawn pressed.
//
// Mouse: among the keys whose rectangle holds the point a black key wins over a white one. A left press
// presses the key under the mouse; moving while pressed presses each key the mouse slides onto (moving off
// every key keeps the last one); the left release sets KeyPressed to -1 wherever the mouse is.
//
// Drawing: the rest picture one pixel to the left (x = -1); a pressed key's rectangle is copied from the
// pressed half (its width less one pixel) to (left - 1, top). A pressed white key's two neighbours are then
// copied again from the rest picture, so the black keys lying over it are not shown pressed. [gui]
#pragma once

#include "toolkit/TDIBControl.h"

#include <array>

namespace quillon {

enum class TKeyColour { White, Black };

struct TKeyboardKey {
    TKeyColour colour;
    TRect rect;
};

class TBADIBQuillonKeyboard : public TDIBControl {
public:
    static constexpr int kKeys = 52;
    static constexpr int kFirstNote = 40;

    explicit TBADIBQuillonKeyboard(const TRect& bounds = TRect{});

    int IndexMain() const { return indexMain_; }
    void SetIndexMain(int index);

    // -1 = no key, else 0 … 51. Setting a new value repaints and fires OnChange (not while loading);
    // setting the same value does nothing. Values outside -1 … 51 become -1.
    int KeyPressed() const { return keyPressed_; }
    void SetKeyPressed(int key);
    // The MIDI note of the pressed key, -1 for none.
    int Note() const { return keyPressed_ < 0 ? -1 : keyPressed_ + kFirstNote; }

    TNotifyEvent OnChange;

    // The key table, indexed by key.
    static const std::array<TKeyboardKey, kKeys>& Keys();
    // The key at (x, y) in control coordinates (black over white), or -1.
    static int KeyAt(int x, int y);

    bool Pressing() const { return pressing_; }

    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    void ImageChanged() override;

private:
    int indexMain_ = -1;
    int keyPressed_ = -1;
    bool pressing_ = false;
};

} // namespace quillon
