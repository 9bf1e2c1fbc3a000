#include "toolkit/TDIBChart.h"

#include "toolkit/TPainter.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace quillon {

namespace {

// The marks of an axis: min, min + increment, ... up to max (with a little slack for rounding).
template <typename Visit> void ForEachMark(const TChartAxis& axis, Visit visit) {
    if (axis.increment <= 0.0 || axis.max < axis.min) return;
    const double slack = axis.increment * 1e-6;
    for (double v = axis.min; v <= axis.max + slack; v += axis.increment)
        visit(v);
}

} // namespace

void TDIBChart::MouseDown(const TMouseEvent& event) {
    pressed_ = event.button == TMouseButton::Left;
    if (OnMouseDown) OnMouseDown(*this, event);
}

void TDIBChart::MouseMove(const TMouseEvent& event) {
    if (OnMouseMove) OnMouseMove(*this, event);
}

void TDIBChart::MouseUp(const TMouseEvent& event) {
    const bool click = pressed_ && event.button == TMouseButton::Left && event.x >= 0 && event.y >= 0 &&
                       event.x < Width() && event.y < Height();
    pressed_ = false;
    if (OnMouseUp) OnMouseUp(*this, event);
    if (click && OnClick) OnClick(*this);
}

void TDIBBarChart::SetIndexMain(int index) {
    indexMain_ = index;
    Invalidate();
}

TRect TDIBBarChart::PlotArea() const {
    return plotSet_ ? plot_ : TRect{0, 0, Width(), Height()};
}

void TDIBBarChart::SetPlotArea(const TRect& area) {
    plot_ = area;
    plotSet_ = true;
    Invalidate();
}

void TDIBBarChart::SetLeftAxis(const TChartAxis& axis) {
    left_ = axis;
    Invalidate();
}

void TDIBBarChart::SetBottomAxis(const TChartAxis& axis) {
    bottom_ = axis;
    Invalidate();
}

void TDIBBarChart::SetBarOrigin(double origin) {
    origin_ = origin;
    Invalidate();
}

void TDIBBarChart::SetBarsPerPage(int bars) {
    barsPerPage_ = std::max(bars, 1);
    Invalidate();
}

int TDIBBarChart::AddBar(double value) {
    values_.push_back(value);
    Invalidate();
    return BarCount() - 1;
}

void TDIBBarChart::SetBar(int index, double value) {
    double& bar = values_[static_cast<std::size_t>(index)];
    if (bar == value) return;
    bar = value;
    Invalidate();
}

double TDIBBarChart::XToPixel(double x) const {
    const TRect plot = PlotArea();
    const double span = bottom_.max - bottom_.min;
    if (span <= 0.0) return plot.left;
    return plot.left + (x - bottom_.min) * plot.Width() / span;
}

double TDIBBarChart::YToPixel(double y) const {
    const TRect plot = PlotArea();
    const double span = left_.max - left_.min;
    if (span <= 0.0) return plot.bottom;
    return plot.bottom - (y - left_.min) * plot.Height() / span;
}

TRect TDIBBarChart::BarRect(int index) const {
    const double width = static_cast<double>(PlotArea().Width()) / barsPerPage_;
    const double centre = XToPixel(index);
    const double y0 = YToPixel(origin_);
    const double y1 = YToPixel(Bar(index));
    const auto left = static_cast<int>(std::lround(centre - width / 2));
    const auto right = static_cast<int>(std::lround(centre + width / 2));
    return TRect{left, static_cast<int>(std::lround(std::min(y0, y1))), std::max(right, left + 1),
                 static_cast<int>(std::lround(std::max(y0, y1)))};
}

void TDIBBarChart::PaintContent(TPainter& painter, const TRect& window) {
    if (const TDIBImageEntry* image = ImageOf(indexMain_))
        painter.DrawImage(image->pixels, image->Bounds(), window.left, window.top, Opacity(), image->key);
    const TRect plot = PlotArea().Translated(window.left, window.top);
    ForEachMark(left_, [&](double v) {
        const auto y = static_cast<int>(std::lround(YToPixel(v))) + window.top;
        painter.FillRect(TRect{plot.left, y, plot.right, y + 1}.Intersection(plot), GridColour, Opacity());
    });
    if (Font.atlas) {
        const TGlyphAtlas& atlas = *Font.atlas;
        const int baseline = plot.bottom + 1 + atlas.Ascent();
        ForEachMark(bottom_, [&](double v) {
            const std::string text = std::to_string(static_cast<long>(std::lround(v)));
            const int x = static_cast<int>(std::lround(XToPixel(v))) + window.left - atlas.TextWidth(text) / 2;
            painter.DrawText(atlas, text, x, baseline, Font.colour & kRgbMask, Opacity());
        });
    }
    painter.PushClip(plot);
    const auto first = static_cast<int>(std::max(0.0, std::floor(bottom_.min - 1)));
    const auto last = static_cast<int>(std::min<double>(BarCount() - 1, std::ceil(bottom_.max + 1)));
    for (int i = first; i <= last; ++i)
        painter.FillRect(BarRect(i).Translated(window.left, window.top), BarColour, Opacity());
    painter.PopClip();
}

void TDIBLineChart::SetRange(double xMin, double xMax, double yMin, double yMax) {
    xMin_ = xMin;
    xMax_ = xMax;
    yMin_ = yMin;
    yMax_ = yMax;
    Invalidate();
}

void TDIBLineChart::Clear() {
    points_.clear();
    Invalidate();
}

void TDIBLineChart::AddPoint(double x, double y) {
    points_.push_back({x, y});
    Invalidate();
}

void TDIBLineChart::PaintContent(TPainter& painter, const TRect& window) {
    if (points_.size() < 2 || xMax_ <= xMin_ || yMax_ <= yMin_) return;
    // Pixel centres: x = xMin at the first column's centre, x = xMax at the last one's.
    const double sx = (Width() - 1) / (xMax_ - xMin_);
    const double sy = (Height() - 1) / (yMax_ - yMin_);
    std::vector<TPointF> line;
    line.reserve(points_.size());
    for (const TPoint& p : points_)
        line.push_back({static_cast<float>(window.left + 0.5 + (p.x - xMin_) * sx),
                        static_cast<float>(window.top + 0.5 + (yMax_ - p.y) * sy)});
    painter.DrawPolyline(line, LineWidth, LineColour & kRgbMask, Opacity());
}

} // namespace quillon
