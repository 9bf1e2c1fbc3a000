#include "toolkit/TDIBEnvelope.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

long double Clamp100(long double value) {
    return std::clamp(value, 0.0L, 100.0L);
}

int RoundToInt(long double value) {
    return static_cast<int>(std::nearbyint(value));
}

// A pixel coordinate as a percentage of `extent` (0 when the extent is 0).
long double PixelToPercent(int pixel, int extent) {
    return extent > 0 ? static_cast<long double>(pixel) * 100.0L / extent : 0.0L;
}

} // namespace

// TEnvelopePoint ------------------------------------------------------------------------------------------------

int TEnvelopePoint::Index() const {
    const auto& points = envelope_.points_;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (points[i].get() == this) return static_cast<int>(i);
    return -1;
}

bool TEnvelopePoint::Anchored() const {
    const int index = Index();
    const TEnvelopeAnchors anchors = envelope_.anchorPoints_;
    if (index == 0 && (anchors == TEnvelopeAnchors::eaFirst || anchors == TEnvelopeAnchors::eaBoth)) return true;
    return index >= 0 && index == envelope_.PointCount() - 1 &&
           (anchors == TEnvelopeAnchors::eaLast || anchors == TEnvelopeAnchors::eaBoth);
}

long double TEnvelopePoint::X() const {
    const int index = Index();
    if (index == 0) return 0.0L;
    const TAnchorPosition last = envelope_.lastAnchorPos_;
    // Not the first point, so an anchored one is the anchored last point.
    if (Anchored() && (last == TAnchorPosition::apSide || last == TAnchorPosition::apBoth)) return 100.0L;
    return x_;
}

long double TEnvelopePoint::Y() const {
    const int index = Index();
    const TEnvelopeAnchors anchors = envelope_.anchorPoints_;
    const bool anchoredFirst =
        index == 0 && (anchors == TEnvelopeAnchors::eaFirst || anchors == TEnvelopeAnchors::eaBoth);
    const bool anchoredLast = index >= 0 && index == envelope_.PointCount() - 1 &&
                              (anchors == TEnvelopeAnchors::eaLast || anchors == TEnvelopeAnchors::eaBoth);
    auto onOrigin = [](TAnchorPosition position) {
        return position == TAnchorPosition::apYOrigin || position == TAnchorPosition::apBoth;
    };
    if ((anchoredFirst && onOrigin(envelope_.firstAnchorPos_)) || (anchoredLast && onOrigin(envelope_.lastAnchorPos_)))
        return envelope_.yOrigin_;
    return y_;
}

void TEnvelopePoint::SetX(long double x) {
    x = Clamp100(x);
    const int index = Index();
    if (index > 0) x = std::max(x, envelope_.points_[static_cast<std::size_t>(index - 1)]->X());
    if (index >= 0 && index + 1 < envelope_.PointCount())
        x = std::min(x, envelope_.points_[static_cast<std::size_t>(index) + 1]->X());
    x_ = x;
    envelope_.Invalidate();
    envelope_.Notify(envelope_.OnPointMoved, this);
}

void TEnvelopePoint::SetY(long double y) {
    y_ = Clamp100(y);
    envelope_.Invalidate();
    envelope_.Notify(envelope_.OnPointMoved, this);
}

int TEnvelopePoint::PixelX() const {
    return RoundToInt(X() * envelope_.DrawableWidth() / 100.0L);
}

int TEnvelopePoint::PixelY() const {
    return RoundToInt(Y() * envelope_.DrawableHeight() / 100.0L);
}

void TEnvelopePoint::SetPixelX(int px) {
    const int extent = envelope_.DrawableWidth();
    SetX(PixelToPercent(std::clamp(px, 0, std::max(extent, 0)), extent));
}

void TEnvelopePoint::SetPixelY(int py) {
    const int extent = envelope_.DrawableHeight();
    SetY(PixelToPercent(std::clamp(py, 0, std::max(extent, 0)), extent));
}

TRect TEnvelopePoint::Rect() const {
    return TRect::FromSize(PixelX(), PixelY(), envelope_.imageWidth_, envelope_.imageHeight_);
}

// TDIBEnvelope --------------------------------------------------------------------------------------------------

TDIBEnvelope::TDIBEnvelope(const TRect& bounds) : TDIBControl(bounds) {}

// The remaining points go with the envelope, without notifications: the owner may be gone already.
TDIBEnvelope::~TDIBEnvelope() {
    selected_ = nullptr;
    while (!points_.empty())
        points_.pop_back();
}

void TDIBEnvelope::Notify(const TPointEvent& event, TEnvelopePoint* point) {
    if (event && Enabled()) event(*this, point);
}

void TDIBEnvelope::SetPointImage(int link) {
    pointImage_ = link;
    ImageChanged();
    Invalidate();
}

void TDIBEnvelope::ImageChanged() {
    const TDIBImageEntry* image = ImageOf(pointImage_);
    imageWidth_ = image ? image->Width() : 0;
    imageHeight_ = image ? image->Height() : 0;
    halfWidth_ = image ? imageWidth_ / 2 : 8;
}

void TDIBEnvelope::SetYOrigin(int percent) {
    yOrigin_ = percent;
    Invalidate();
}

void TDIBEnvelope::SetFillOpacity(std::uint8_t opacity) {
    fillOpacity_ = opacity;
    Invalidate();
}

void TDIBEnvelope::SetPointOpacity(std::uint8_t opacity) {
    pointOpacity_ = opacity;
    Invalidate();
}

void TDIBEnvelope::SetSelectedPointOpacity(std::uint8_t opacity) {
    selectedPointOpacity_ = opacity;
    Invalidate();
}

void TDIBEnvelope::SetLinePen(const TPen& pen) {
    linePen_ = pen;
    Invalidate();
}

void TDIBEnvelope::SetFillPen(const TPen& pen) {
    fillPen_ = pen;
    Invalidate();
}

void TDIBEnvelope::SetFillBrush(const TBrush& brush) {
    fillBrush_ = brush;
    Invalidate();
}

void TDIBEnvelope::SetAnchorPoints(TEnvelopeAnchors anchors) {
    anchorPoints_ = anchors;
    Invalidate();
}

void TDIBEnvelope::SetFirstAnchorPos(TAnchorPosition position) {
    firstAnchorPos_ = position;
    Invalidate();
}

void TDIBEnvelope::SetLastAnchorPos(TAnchorPosition position) {
    lastAnchorPos_ = position;
    Invalidate();
}

TEnvelopePoint* TDIBEnvelope::AddPoint(long double x, long double y) {
    x = Clamp100(x);
    y = Clamp100(y);
    auto at = std::find_if(points_.begin(), points_.end(), [x](const auto& point) { return point->X() > x; });
    TEnvelopePoint* point = points_.insert(at, std::unique_ptr<TEnvelopePoint>(new TEnvelopePoint(*this, x, y)))->get();
    Notify(OnPointAdded, point);
    SetSelectedPoint(point);
    Invalidate();
    return point;
}

TEnvelopePoint* TDIBEnvelope::AddPointAtPixel(int px, int py) {
    return AddPoint(PixelToPercent(px, DrawableWidth()), PixelToPercent(py, DrawableHeight()));
}

TEnvelopePoint* TDIBEnvelope::Point(int index) const {
    if (index < 0 || index >= PointCount()) return nullptr;
    return points_[static_cast<std::size_t>(index)].get();
}

TEnvelopePoint* TDIBEnvelope::PointAt(int px, int py) const {
    for (auto it = points_.rbegin(); it != points_.rend(); ++it)
        if ((*it)->Rect().Contains(px, py)) return it->get();
    return nullptr;
}

int TDIBEnvelope::IndexAfterPixel(int px) const {
    const long double x = PixelToPercent(px, DrawableWidth());
    for (int i = 0; i < PointCount(); ++i)
        if (points_[static_cast<std::size_t>(i)]->X() > x) return i;
    return -1;
}

void TDIBEnvelope::SetSelectedPoint(TEnvelopePoint* point) {
    if (point == selected_) return;
    selected_ = point;
    Notify(OnSelectedPointChanged, point);
    Invalidate();
}

void TDIBEnvelope::DeleteSelectedPoint() {
    if (selected_ && !selected_->Anchored()) FreePoint(selected_);
}

void TDIBEnvelope::FreePoint(TEnvelopePoint* point) {
    if (!point || point->Index() < 0) return;
    Notify(OnPointRemoved, point);
    if (point == selected_) SetSelectedPoint(nullptr);
    points_.erase(points_.begin() + point->Index());
    Invalidate();
}

void TDIBEnvelope::DeleteAllPoints() {
    SetSelectedPoint(nullptr);
    while (!points_.empty())
        FreePoint(points_.back().get());
}

bool TDIBEnvelope::OnLine(int mx, int my) const {
    if (PointCount() < 2) return false;
    const long double cx = PixelToPercent(mx - halfWidth_, DrawableWidth());
    const long double cy = PixelToPercent(my - halfWidth_, DrawableHeight());
    const int g = IndexAfterPixel(mx);
    if (g <= 0) return false;
    const TEnvelopePoint& p1 = *points_[static_cast<std::size_t>(g - 1)];
    const TEnvelopePoint& p2 = *points_[static_cast<std::size_t>(g)];
    const long double x1 = p1.X(), y1 = p1.Y(), x2 = p2.X(), y2 = p2.Y();
    const long double length = std::hypot(x2 - x1, y2 - y1);
    if (length == 0.0L) return false;
    const long double r = ((cx - x1) * (x2 - x1) + (cy - y1) * (y2 - y1)) / (length * length);
    if (!(r > 0.0L && r < 1.0L)) return false;
    const long double distance = std::fabs((x2 - x1) * (y1 - cy) - (y2 - y1) * (x1 - cx)) / length;
    return distance <= LineHitTestRadius;
}

void TDIBEnvelope::MouseDown(const TMouseEvent& event) {
    if (OnMouseDown) OnMouseDown(*this, event);
    if (buttons_ == 0) SetSelectedPoint(PointAt(event.x, event.y));
    buttons_ |= ButtonBit(event.button);
    if (event.button == TMouseButton::Left && !selected_ && PointCount() < MaxPoints) {
        addPending_ = true;
        pressX_ = event.x;
        pressY_ = event.y;
    }
}

// Moves the selected point by `delta` pixels and the points to its right with it.
void TDIBEnvelope::ShiftFromSelected(int delta) {
    const int index = selected_->Index();
    if (delta > 0) {
        for (int i = PointCount() - 1; i >= index; --i) {
            TEnvelopePoint& point = *points_[static_cast<std::size_t>(i)];
            point.SetPixelX(point.PixelX() + delta);
        }
        return;
    }
    const int before = selected_->PixelX();
    selected_->SetPixelX(before + delta);
    const int moved = selected_->PixelX() - before;
    for (int i = index + 1; i < PointCount(); ++i) {
        TEnvelopePoint& point = *points_[static_cast<std::size_t>(i)];
        point.SetPixelX(point.PixelX() + moved);
    }
}

void TDIBEnvelope::MouseMove(const TMouseEvent& event) {
    TCursor cursor = TCursor::Arrow;
    const bool leftHeld = (buttons_ & ButtonBit(TMouseButton::Left)) != 0;
    const int h = halfWidth_;
    if (selected_ && leftHeld) {
        selected_->SetPixelY(event.y - h);
        const bool anchored = selected_->Anchored();
        if (!anchored && PointEditing == TPointEditing::peDrag) {
            ShiftFromSelected((event.x - h) - selected_->PixelX());
        } else if (!anchored && PointEditing == TPointEditing::peStretch) {
            // The tiny addend only keeps the division defined when the point sits at 0.
            const long double old = selected_->StoredX() + 4e-4000L;
            ShiftFromSelected((event.x - h) - selected_->PixelX());
            const long double factor = selected_->StoredX() / old;
            const int index = selected_->Index();
            auto scale = [this, factor](int i) {
                TEnvelopePoint& point = *points_[static_cast<std::size_t>(i)];
                point.SetX(point.StoredX() * factor);
            };
            if (factor > 1.0L) {
                for (int i = index - 1; i >= 0; --i)
                    scale(i);
            } else {
                for (int i = 0; i < index; ++i)
                    scale(i);
            }
        } else {
            selected_->SetPixelX(event.x - h);
        }
    }
    if (addPending_) {
        cursor = TCursor::Hand;
        const int distance = DragDistanceBeforeAddPoint;
        if (std::abs(event.x - pressX_) > distance || std::abs(event.y - pressY_) > distance) {
            addPending_ = false;
            AddPointAtPixel(event.x, event.y);
        }
    }
    if (buttons_ == 0 && (OnLine(event.x, event.y) || PointAt(event.x, event.y))) cursor = TCursor::Hand;
    SetCursor(cursor);
}

void TDIBEnvelope::MouseUp(const TMouseEvent& event) {
    if (event.button == TMouseButton::Left) {
        addPending_ = false;
        if (event.ctrl && selected_) selected_->SetY(yOrigin_);
    } else if (event.button == TMouseButton::Right) {
        if (DeletePointOnRightClick && selected_ && PointAt(event.x, event.y) == selected_ && !selected_->Anchored())
            FreePoint(selected_);
    }
    buttons_ &= ~ButtonBit(event.button);
    if (OnMouseUp) OnMouseUp(*this, event);
    if (OnClick && Enabled() && event.button == TMouseButton::Left) OnClick(*this);
}

void TDIBEnvelope::PaintContent(TPainter& painter, const TRect& window) {
    if (OnPaintBackground && Enabled()) OnPaintBackground(*this, painter, window);
    if (points_.empty()) return;

    const int halfWidth = imageWidth_ / 2; // whole pixels: the image's centre pixel
    const int halfHeight = imageHeight_ / 2;
    const auto halfW = static_cast<float>(halfWidth);
    const auto halfH = static_cast<float>(halfHeight);
    std::vector<TPointF> centres;
    centres.reserve(points_.size());
    for (const auto& point : points_)
        centres.push_back(TPointF{static_cast<float>(window.left + point->PixelX()) + halfW,
                                  static_cast<float>(window.top + point->PixelY()) + halfH});

    // The fill polygon is drawn on a layer in control coordinates.
    const float originY =
        static_cast<float>(RoundToInt(static_cast<long double>(DrawableHeight()) / 100.0L * yOrigin_)) + halfH;
    std::vector<TPointF> polygon;
    polygon.reserve(centres.size() + 3);
    const auto local = [&window](TPointF p) {
        return TPointF{p.x - static_cast<float>(window.left), p.y - static_cast<float>(window.top)};
    };
    polygon.push_back(TPointF{local(centres.back()).x, originY});
    polygon.push_back(TPointF{local(centres.front()).x, originY});
    for (const TPointF& centre : centres)
        polygon.push_back(local(centre));
    if (fillBrush_.solid || fillPen_.visible) {
        fillLayer_.Draw(painter, window, fillOpacity_, [this, &polygon](TPainter& layer) {
            if (fillBrush_.solid) layer.FillPolygon(polygon, fillBrush_.colour);
            if (fillPen_.visible) {
                polygon.push_back(polygon.front());
                layer.DrawPolyline(polygon, fillPen_.width, fillPen_.colour);
            }
        });
    }

    if (linePen_.visible && centres.size() >= 2) painter.DrawPolyline(centres, linePen_.width, linePen_.colour);

    const TDIBImageEntry* image = ImageOf(pointImage_);
    if (!image) return;
    for (const auto& point : points_) {
        const std::uint8_t opacity = point.get() == selected_ ? selectedPointOpacity_ : pointOpacity_;
        painter.DrawImage(image->pixels, image->Bounds(), window.left + point->PixelX(), window.top + point->PixelY(),
                          opacity, image->key);
    }
}

} // namespace quillon
