// The rotary knob: shows one frame of its image strip for its position and is turned by dragging the mouse
// up (increase) or down (decrease).
//
// Drawing: frame round((Frames - 1) / (Max - Min) × (Position - Min)) of `IndexMain`, with `EffectLayer`
// drawn first with the same frame at `EffectOpacity`. When the main image changes the knob takes the size
// of one frame.
//
// Dragging: a left press inside the sensitive area (the control less CutLeft, CutTop, CutRight, CutBottom;
// edges included) anchors the mouse y and the position. Each move computes, with range = Max - Min and
// dy = anchor y - y: with Shift (fine) p = range × dy / Fine + anchor position; without (coarse)
// p0 = range × dy / Coarse + anchor position, then p = round(p0 / range × CoarseQuant) × range / CoarseQuant,
// so coarse positions fall on steps of range / CoarseQuant. When Shift changes between moves the anchor
// is re-taken first, so the knob never jumps. Position := round(p), clamped; OnChange fires only when that
// differs from the last position it reported. Setting Position from code never fires OnChange.
// Every round() here rounds to nearest with ties to even (the default floating-point rounding mode). [gui]
#pragma once

#include "toolkit/TDIBControl.h"

#include <cstdint>

namespace quillon {

class TBADIBKnob : public TDIBControl {
public:
    explicit TBADIBKnob(const TRect& bounds = TRect{});

    int IndexMain() const { return indexMain_; }
    void SetIndexMain(int index);
    int EffectLayer() const { return effectLayer_; }
    void SetEffectLayer(int index);
    std::uint8_t EffectOpacity() const { return effectOpacity_; }
    void SetEffectOpacity(std::uint8_t opacity);

    // Clamped to Min..Max; repaints only when it changes; never notifies.
    int Position() const { return position_; }
    void SetPosition(int position);
    // Outside the loading state the position is pulled into the new range, and a Min >= Max is repaired:
    // setting Max makes Max = Min + 1, setting Min makes Min = Max - 1.
    int Max() const { return max_; }
    void SetMax(int max);
    int Min() const { return min_; }
    void SetMin(int min);

    // Pixels of vertical travel for the whole range (values <= 0 become 1).
    int Coarse() const { return coarse_; }
    void SetCoarse(int pixels);
    int Fine() const { return fine_; }
    void SetFine(int pixels);
    // Steps the range is quantised to in coarse mode (values <= 0 become 1).
    int CoarseQuant() const { return coarseQuant_; }
    void SetCoarseQuant(int steps);
    // Frames in the strip (values <= 0 become 1).
    int Frames() const { return frames_; }
    void SetFrames(int frames);
    TFrameStack FrameStack() const { return frameStack_; }
    void SetFrameStack(TFrameStack stack);

    // Insets of the mouse-sensitive area from each edge.
    int CutLeft = 0;
    int CutTop = 0;
    int CutRight = 0;
    int CutBottom = 0;

    TNotifyEvent OnChange;
    TMouseNotifyEvent OnMouseDown;
    TMouseNotifyEvent OnMouseUp;

    // The frame shown for the current position.
    int FrameIndex() const;
    bool Dragging() const { return dragging_; }

    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    void ImageChanged() override;

private:
    int indexMain_ = -1;
    int effectLayer_ = -1;
    std::uint8_t effectOpacity_ = 0;
    int position_ = 0;
    int max_ = 100;
    int min_ = 0;
    int coarse_ = 200;
    int coarseQuant_ = 200;
    int fine_ = 1000;
    int frames_ = 10;
    TFrameStack frameStack_ = TFrameStack::fsHorizontal;

    bool dragging_ = false;
    int anchorY_ = 0;
    int anchorPosition_ = 0;
    bool lastFine_ = false;
    int lastReported_ = 0;
};

} // namespace quillon
