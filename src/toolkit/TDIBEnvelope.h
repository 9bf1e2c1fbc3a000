// The breakpoint editor: an ordered list of points (TEnvelopePoint) drawn as a filled curve with a small
// image on each point, edited with the mouse. Points live in percent coordinates (0..100) of the drawable
// area W' = Width - image width, H' = Height - image height; a point's pixel position is
// (round(x × W' / 100), round(y × H' / 100)) and its image covers px .. px + image width (right exclusive).
//
// Anchoring: the first point is anchored with `AnchorPoints` eaFirst or eaBoth, the last with eaLast or
// eaBoth. The first point's effective x is always 0; an anchored last point with `LastAnchorPos` apSide or
// apBoth has x 100; an anchored end point whose anchor position is apYOrigin or apBoth has y `YOrigin`.
// Anchored points cannot be deleted.
//
// Insertion: a new point goes before the first point whose effective x is greater than its x, else at the
// end, so points with equal x keep the order they were added in.
//
// Mouse: a press with no button held before selects the point under the cursor (or none); a left press
// with nothing selected and fewer than `MaxPoints` points arms adding, and the first move farther than
// `DragDistanceBeforeAddPoint` pixels in x or y adds a point there and drags it. Dragging sets the point's
// pixel y to my - h and, by `PointEditing`: peMove moves the point alone (between its neighbours); peDrag
// moves the points to its right with it; peStretch does the same and scales every earlier point's x by
// new x / old x. h is half the point image's width (8 without an image) for both axes. A left release with
// Ctrl puts the selected point on the zero line (y = `YOrigin`); a right release on the selected point
// deletes it (`DeletePointOnRightClick`). Adding by code is not limited by `MaxPoints`.
//
// Notifications (`OnPointAdded`, `OnPointMoved`, `OnPointRemoved`, `OnSelectedPointChanged`,
// `OnPaintBackground`) fire only while the control is enabled, whether the change comes from the mouse or
// from code; an owner fills the points with the control disabled so that nothing echoes back.
//
// Drawing: the fill polygon (the two ends on the zero line, then the point centres) with `FillBrush` and
// `FillPen` at `FillOpacity`, the line through the centres with `LinePen`, then each point's image at its
// pixel position (`SelectedPointOpacity` for the selected point, `PointOpacity` for the others). The fill
// and its outline are drawn on one transparent layer blended at `FillOpacity`. GUI thread only [gui].
#pragma once

#include "toolkit/TDIBControl.h"
#include "toolkit/TDrawingLayer.h"
#include "toolkit/TPenBrush.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quillon {

class TDIBEnvelope;

enum class TPointEditing { peMove, peDrag, peStretch };
enum class TEnvelopeAnchors { eaFirst, eaLast, eaBoth, eaNone };
enum class TAnchorPosition { apSide, apYOrigin, apBoth, apNone };

// One point of an envelope; created and freed through its envelope, which owns it.
class TEnvelopePoint {
public:
    TEnvelopePoint(const TEnvelopePoint&) = delete;
    TEnvelopePoint& operator=(const TEnvelopePoint&) = delete;

    TDIBEnvelope& Envelope() const { return envelope_; }
    int Index() const;
    bool Anchored() const;

    // The stored coordinates, in percent.
    long double StoredX() const { return x_; }
    long double StoredY() const { return y_; }
    // The coordinates after anchoring, in percent.
    long double X() const;
    long double Y() const;
    // Clamped to 0..100, x also between its neighbours' effective x; repaint and fire OnPointMoved.
    void SetX(long double x);
    void SetY(long double y);

    // Pixel position of the image's top-left corner, in control coordinates.
    int PixelX() const;
    int PixelY() const;
    // Clamped to 0..W' (0..H'), converted to percent and set as above.
    void SetPixelX(int px);
    void SetPixelY(int py);
    // (px, py) to (px + image width, py + image height).
    TRect Rect() const;

private:
    friend class TDIBEnvelope;
    TEnvelopePoint(TDIBEnvelope& envelope, long double x, long double y) : envelope_(envelope), x_(x), y_(y) {}

    TDIBEnvelope& envelope_;
    long double x_;
    long double y_;
};

class TDIBEnvelope : public TDIBControl {
public:
    using TPointEvent = std::function<void(TDIBControl& sender, TEnvelopePoint* point)>;
    using TPaintEvent = std::function<void(TDIBControl& sender, TPainter& painter, const TRect& window)>;

    explicit TDIBEnvelope(const TRect& bounds = TRect{});
    ~TDIBEnvelope() override;

    TPointEditing PointEditing = TPointEditing::peMove;

    int PointImage() const { return pointImage_; }
    void SetPointImage(int link);

    int YOrigin() const { return yOrigin_; }
    void SetYOrigin(int percent);
    std::uint8_t FillOpacity() const { return fillOpacity_; }
    void SetFillOpacity(std::uint8_t opacity);
    std::uint8_t PointOpacity() const { return pointOpacity_; }
    void SetPointOpacity(std::uint8_t opacity);
    std::uint8_t SelectedPointOpacity() const { return selectedPointOpacity_; }
    void SetSelectedPointOpacity(std::uint8_t opacity);
    const TPen& LinePen() const { return linePen_; }
    void SetLinePen(const TPen& pen);
    const TPen& FillPen() const { return fillPen_; }
    void SetFillPen(const TPen& pen);
    const TBrush& FillBrush() const { return fillBrush_; }
    void SetFillBrush(const TBrush& brush);

    bool DeletePointOnRightClick = true;
    std::uint8_t LineHitTestRadius = 2;
    std::uint8_t DragDistanceBeforeAddPoint = 3;
    TEnvelopeAnchors AnchorPoints() const { return anchorPoints_; }
    void SetAnchorPoints(TEnvelopeAnchors anchors);
    TAnchorPosition FirstAnchorPos() const { return firstAnchorPos_; }
    void SetFirstAnchorPos(TAnchorPosition position);
    TAnchorPosition LastAnchorPos() const { return lastAnchorPos_; }
    void SetLastAnchorPos(TAnchorPosition position);
    int MaxPoints = 1000;

    TPaintEvent OnPaintBackground;
    TPointEvent OnPointAdded;
    TPointEvent OnPointMoved;
    TPointEvent OnPointRemoved;
    TPointEvent OnSelectedPointChanged;
    // Raised on every press and release; OnClick after a left release while enabled.
    TMouseNotifyEvent OnMouseDown;
    TMouseNotifyEvent OnMouseUp;
    TNotifyEvent OnClick;

    // Points ------------------------------------------------------------------------------------------------

    // Inserts a point at (x, y) percent (each clamped to 0..100) in x order and selects it.
    TEnvelopePoint* AddPoint(long double x, long double y);
    // The same at a pixel position: x = px × 100 / W', y = py × 100 / H' (0 when W' or H' is 0).
    TEnvelopePoint* AddPointAtPixel(int px, int py);
    int PointCount() const { return static_cast<int>(points_.size()); }
    TEnvelopePoint* Point(int index) const;
    // The topmost point whose rectangle contains (px, py), or null.
    TEnvelopePoint* PointAt(int px, int py) const;
    // The index of the first point whose effective x exceeds px × 100 / W', or -1.
    int IndexAfterPixel(int px) const;

    TEnvelopePoint* SelectedPoint() const { return selected_; }
    void SetSelectedPoint(TEnvelopePoint* point);
    // Deletes the selected point unless there is none or it is anchored.
    void DeleteSelectedPoint();
    // Fires OnPointRemoved (the point still in the list), drops the selection if it was selected, frees it.
    void FreePoint(TEnvelopePoint* point);
    void DeleteAllPoints();

    // Whether (mx, my) is within LineHitTestRadius percent of the line between the two points around it.
    bool OnLine(int mx, int my) const;

    // Drawable area and the sizes taken from the point image.
    int DrawableWidth() const { return Width() - imageWidth_; }
    int DrawableHeight() const { return Height() - imageHeight_; }
    int HalfImageWidth() const { return halfWidth_; }
    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }

    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;
    void ImageChanged() override;

private:
    friend class TEnvelopePoint;
    void Notify(const TPointEvent& event, TEnvelopePoint* point);
    void ShiftFromSelected(int delta);
    static unsigned ButtonBit(TMouseButton button) { return 1u << static_cast<unsigned>(button); }

    std::vector<std::unique_ptr<TEnvelopePoint>> points_;
    TDrawingLayer fillLayer_;
    TEnvelopePoint* selected_ = nullptr;
    unsigned buttons_ = 0;
    bool addPending_ = false;
    int pressX_ = 0;
    int pressY_ = 0;

    int pointImage_ = -1;
    int halfWidth_ = 8;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    int yOrigin_ = 100;
    std::uint8_t fillOpacity_ = 100;
    std::uint8_t pointOpacity_ = 100;
    std::uint8_t selectedPointOpacity_ = 255;
    TPen linePen_{Rgb(0, 0, 0), 1.0f, true};
    TPen fillPen_{Rgb(255, 0, 0), 1.0f, true};
    TBrush fillBrush_{Rgb(255, 255, 0), true};
    TEnvelopeAnchors anchorPoints_ = TEnvelopeAnchors::eaNone;
    TAnchorPosition firstAnchorPos_ = TAnchorPosition::apSide;
    TAnchorPosition lastAnchorPos_ = TAnchorPosition::apNone;
};

} // namespace quillon
