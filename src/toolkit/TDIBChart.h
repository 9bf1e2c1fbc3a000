// Charts with fixed axes, drawn into the editor's buffer.
//
// TDIBBarChart: one bar series over a plot rectangle (`PlotArea`, in control coordinates). Bar i stands at
// x = i on the bottom axis (BottomMin … BottomMax across the plot's width): centred at plot left + (i -
// BottomMin) × width / (BottomMax - BottomMin), BarWidth = width / BarsPerPage wide, from BarOrigin to its
// value on the left axis (LeftMin … LeftMax from the plot's bottom to its top), clipped to the plot. Under
// the bars: the background image (`IndexMain`) and a grid line at every LeftIncrement from LeftMin; below
// the plot, a label at every BottomIncrement from BottomMin in `Font`. Bars are added once and changed
// afterwards; setting axes, values or the origin repaints.
//
// TDIBLineChart: a line through points (x, y) over the whole control, x from XMin to XMax left to right,
// y from YMin to YMax bottom to top, anti-aliased, clipped to the control; no axes, frame or background.
//
// Both pass their mouse events on through OnMouseDown/OnMouseMove/OnMouseUp (control coordinates); a left
// press and release inside fire OnClick. [gui]
#pragma once

#include "toolkit/TDIBControl.h"
#include "toolkit/TGlyphAtlas.h"

#include <vector>

namespace quillon {

struct TChartAxis {
    double min = 0.0;
    double max = 1.0;
    double increment = 0.0; // 0: no grid or labels
};

class TDIBChart : public TDIBControl {
public:
    using TDIBControl::TDIBControl;

    TMouseNotifyEvent OnMouseDown;
    TMouseNotifyEvent OnMouseMove;
    TMouseNotifyEvent OnMouseUp;
    TNotifyEvent OnClick;

    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

private:
    bool pressed_ = false;
};

class TDIBBarChart : public TDIBChart {
public:
    using TDIBChart::TDIBChart;

    int IndexMain() const { return indexMain_; }
    void SetIndexMain(int index);
    // The plot inside the control; the whole control until set.
    TRect PlotArea() const;
    void SetPlotArea(const TRect& area);

    const TChartAxis& LeftAxis() const { return left_; }
    void SetLeftAxis(const TChartAxis& axis);
    const TChartAxis& BottomAxis() const { return bottom_; }
    void SetBottomAxis(const TChartAxis& axis);
    double BarOrigin() const { return origin_; }
    void SetBarOrigin(double origin);
    int BarsPerPage() const { return barsPerPage_; }
    void SetBarsPerPage(int bars);

    // Appends a bar at the next x; returns its index.
    int AddBar(double value);
    int BarCount() const { return static_cast<int>(values_.size()); }
    double Bar(int index) const { return values_[static_cast<std::size_t>(index)]; }
    // Index must exist.
    void SetBar(int index, double value);

    TPixel BarColour = Rgb(80, 32, 136);
    TPixel GridColour = Rgb(143, 139, 126);
    TDIBFont Font;

    // The bar's rectangle in control coordinates (before clipping to the plot).
    TRect BarRect(int index) const;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;

private:
    double XToPixel(double x) const;
    double YToPixel(double y) const;

    int indexMain_ = -1;
    TRect plot_{};
    bool plotSet_ = false;
    TChartAxis left_{};
    TChartAxis bottom_{};
    double origin_ = 0.0;
    int barsPerPage_ = 1;
    std::vector<double> values_;
};

class TDIBLineChart : public TDIBChart {
public:
    using TDIBChart::TDIBChart;

    void SetRange(double xMin, double xMax, double yMin, double yMax);
    void Clear();
    void AddPoint(double x, double y);
    int PointCount() const { return static_cast<int>(points_.size()); }

    TPixel LineColour = Rgb(80, 32, 136);
    float LineWidth = 1.0f;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;

private:
    struct TPoint {
        double x, y;
    };
    std::vector<TPoint> points_;
    double xMin_ = 0.0, xMax_ = 1.0, yMin_ = -1.0, yMax_ = 1.0;
};

} // namespace quillon
