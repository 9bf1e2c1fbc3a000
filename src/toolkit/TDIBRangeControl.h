// The two-handle range bar (a loop range): a left and a right handle image over a track, with the part
// between them filled. Invariant: Min <= LeftPos <= RightPos <= Max.
//
// Setting LeftPos clamps it to Min..Max and then to at most RightPos; setting RightPos clamps it to
// Min..Max and then to at least LeftPos. Both repaint and fire their notification (OnLeftChange,
// OnRightChange) every time they are set outside the loading state, from the mouse or from code, also when
// the value did not change. Setting Max not greater than Min (or Min not less than Max) outside the loading
// state throws std::invalid_argument and changes nothing; otherwise the positions are pulled into the range
// without notifications.
//
// Drawing, with T = Width - left handle width - right handle width and R = Max - Min: the left handle at
// x = round(T / R × LeftPos), the right one at round(T / R × RightPos) + left handle width, both at
// HandleOpacity, at the top (haTop) or the bottom (haBottom); then the rectangle between them, full height,
// with FillBrush and FillPen on a transparent layer blended at FillOpacity. Nothing is drawn without both
// handle images. The handle rectangles of the last drawing are where a left press starts a drag (the left
// handle first). Dragging: LeftPos := round((x - left width / 2) × R / T) and
// RightPos := round((x - left width - right width / 2) × R / T), so the handle's centre follows the cursor.
// Every round() rounds to nearest with ties to even. Only the handles take the mouse: a point elsewhere on
// the bar hits what lies under it (HitTest), so a press there reaches the control below or the container.
// GUI thread only [gui].
#pragma once

#include "toolkit/TDIBControl.h"
#include "toolkit/TDrawingLayer.h"
#include "toolkit/TPenBrush.h"

#include <cstdint>

namespace quillon {

enum class THandleAlign { haTop, haBottom };

class TDIBRangeControl : public TDIBControl {
public:
    explicit TDIBRangeControl(const TRect& bounds = TRect{});

    int LeftHandle() const { return leftHandle_; }
    void SetLeftHandle(int link);
    int RightHandle() const { return rightHandle_; }
    void SetRightHandle(int link);
    std::uint8_t FillOpacity() const { return fillOpacity_; }
    void SetFillOpacity(std::uint8_t opacity);
    std::uint8_t HandleOpacity() const { return handleOpacity_; }
    void SetHandleOpacity(std::uint8_t opacity);
    THandleAlign HandleAlign() const { return handleAlign_; }
    void SetHandleAlign(THandleAlign align);
    const TPen& FillPen() const { return fillPen_; }
    void SetFillPen(const TPen& pen);
    const TBrush& FillBrush() const { return fillBrush_; }
    void SetFillBrush(const TBrush& brush);

    int Max() const { return max_; }
    void SetMax(int max);
    int Min() const { return min_; }
    void SetMin(int min);
    int LeftPos() const { return leftPos_; }
    void SetLeftPos(int position);
    int RightPos() const { return rightPos_; }
    void SetRightPos(int position);

    TNotifyEvent OnLeftChange;
    TNotifyEvent OnRightChange;

    enum class TDragHandle { None, Left, Right };
    TDragHandle Dragging() const { return dragging_; }
    // The handle rectangles of the last drawing, in control coordinates.
    const TRect& LeftHandleRect() const { return leftRect_; }
    const TRect& RightHandleRect() const { return rightRect_; }

    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;
    // This control while (x, y) is on one of its handles (or a handle is being dragged), else null.
    TDIBControl* HitTest(int x, int y) override;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;

private:
    int HandleWidth(int link) const;

    int leftHandle_ = -1;
    int rightHandle_ = -1;
    std::uint8_t fillOpacity_ = 100;
    std::uint8_t handleOpacity_ = 200;
    THandleAlign handleAlign_ = THandleAlign::haBottom;
    TPen fillPen_{Rgb(255, 0, 0), 1.0f, true};
    TBrush fillBrush_{Rgb(255, 255, 0), true};
    int max_ = 100;
    int min_ = 0;
    int leftPos_ = 0;
    int rightPos_ = 100;

    TDrawingLayer fillLayer_;
    TDragHandle dragging_ = TDragHandle::None;
    TRect leftRect_;
    TRect rightRect_;
};

} // namespace quillon
