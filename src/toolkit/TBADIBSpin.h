// Spin boxes: a number (or a name for it) with up and down arrows on the right. TBACustomDIBSpin holds the
// behaviour; TBADIBSpin shows the position as a decimal in a range set per instance, TBAMidiChSelector
// a MIDI channel ("All" below 1, else 1 … 16) and TBADIBSpinNote a note name (C-1 … G9 for 0 … 127).
//
// Drawing: the background `IndexMain` (optional) over the whole control; the `Arrows` strip (three frames
// side by side: idle, up pressed, down pressed) at x = Width - arrow width; then the text in `Font`, left of
// the arrows: left x = TextOffsetX + 3; right x = Width + TextOffsetX - arrow width - text width - 3;
// centre x = (Width - arrow width - text width) div 2 + TextOffsetX; top y = (Height - font height - 1)
// div 2 + TextOffsetY. With AutoSize the spin takes the size of its background.
//
// Mouse: a left press left of the arrows starts a vertical drag (Position := round((anchor y - y) /
// VerticalPixelsPerPosition + anchor position) rounded with ties to even, clamped, OnChange only when it
// differs from the position
// last reported); a left press on the upper half of the arrows steps up one, on the lower half down one,
// and OnChange fires even when the range kept the position. The release ends the drag and lifts the
// arrows. Setting Position from code never notifies. [gui]
#pragma once

#include "toolkit/TDIBControl.h"
#include "toolkit/TGlyphAtlas.h"

#include <string>

namespace quillon {

enum class TSpinAlignment { taLeftJustify, taRightJustify, taCenter };

class TBACustomDIBSpin : public TDIBControl {
public:
    int IndexMain() const { return indexMain_; }
    void SetIndexMain(int index);
    int Arrows() const { return arrows_; }
    void SetArrows(int index);

    // Clamped to the range; updates the text and repaints; never notifies.
    int Position() const { return position_; }
    void SetPosition(int position);
    int VerticalPixelsPerPosition() const { return pixelsPerPosition_; }
    // Values <= 0 become 1.
    void SetVerticalPixelsPerPosition(int pixels) { pixelsPerPosition_ = pixels > 0 ? pixels : 1; }
    TSpinAlignment Alignment() const { return alignment_; }
    void SetAlignment(TSpinAlignment alignment);

    int TextOffsetX = 0;
    int TextOffsetY = 0;
    TDIBFont Font;
    TNotifyEvent OnChange;
    TMouseNotifyEvent OnMouseUp;

    // The text shown for the current position.
    const std::string& Text() const { return text_; }
    // 0 idle, 1 up pressed, 2 down pressed.
    int ArrowState() const { return arrowState_; }
    int ArrowWidth() const;

    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

protected:
    TBACustomDIBSpin(const TRect& bounds, int min, int max);
    // The text for `position`.
    virtual std::string PositionText(int position) const = 0;
    void PaintContent(TPainter& painter, const TRect& window) override;
    void ImageChanged() override;
    void UpdateText();

    int min_;
    int max_;
    int position_ = 0;

private:
    int indexMain_ = -1;
    int arrows_ = -1;
    int pixelsPerPosition_ = 2;
    TSpinAlignment alignment_ = TSpinAlignment::taLeftJustify;
    std::string text_;
    int arrowState_ = 0;
    bool dragging_ = false;
    int anchorY_ = 0;
    int anchorPosition_ = 0;
    int lastReported_ = 0;
};

class TBADIBSpin : public TBACustomDIBSpin {
public:
    explicit TBADIBSpin(const TRect& bounds = TRect{}) : TBACustomDIBSpin(bounds, 0, 100) { UpdateText(); }
    int Min() const { return min_; }
    int Max() const { return max_; }
    // Outside the loading state the position is pulled into the range, then Max is raised to Min (or Min
    // lowered to Max) if they crossed.
    void SetMax(int max);
    void SetMin(int min);

protected:
    std::string PositionText(int position) const override { return std::to_string(position); }
};

class TBAMidiChSelector : public TBACustomDIBSpin {
public:
    explicit TBAMidiChSelector(const TRect& bounds = TRect{}) : TBACustomDIBSpin(bounds, 0, 16) { UpdateText(); }

protected:
    std::string PositionText(int position) const override {
        return position < 1 ? std::string("All") : std::to_string(position);
    }
};

class TBADIBSpinNote : public TBACustomDIBSpin {
public:
    explicit TBADIBSpinNote(const TRect& bounds = TRect{}) : TBACustomDIBSpin(bounds, 0, 127) { UpdateText(); }
    // "C-1" for 0, "C4" for 60, "G9" for 127.
    static std::string NoteName(int note);

protected:
    std::string PositionText(int position) const override { return NoteName(position); }
};

} // namespace quillon
