// Bar and line charts: where bars, grid lines and the line land.
#include "toolkit/TDIBChart.h"

#include "toolkit/ControlTestSupport.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::kBackdrop;
using test::TestWindow;

constexpr TPixel kBar = Rgb(10, 200, 10);
constexpr TPixel kGrid = Rgb(10, 10, 200);

// The inspector's geometry: a 100 × 60 plot 10 pixels in, bottom axis 0 … 10, left axis -90 … 0.
struct BarChartTest : ::testing::Test {
    TestWindow window{200, 100};
    TDIBBarChart chart{TRect::FromSize(0, 0, 130, 80)};
    BarChartTest() {
        window.root.Add(chart);
        chart.SetPlotArea(TRect::FromSize(10, 4, 100, 60));
        chart.SetLeftAxis({-90, 0, 30});
        chart.SetBottomAxis({0, 10, 2});
        chart.SetBarOrigin(-100);
        chart.SetBarsPerPage(11);
        chart.BarColour = kBar;
        chart.GridColour = kGrid;
        for (int i = 0; i <= 20; ++i)
            chart.AddBar(-90);
    }
};

TEST_F(BarChartTest, BarsStandOnTheirAxisPositionsAndStayInsideThePlot) {
    chart.SetBar(5, -45);                         // half way up the left axis
    EXPECT_EQ(window.PaintAndRead(60, 40), kBar); // centre of bar 5: x = 10 + 5 × 10, y = 4 + 30 + a little
    EXPECT_NE(window.PaintAndRead(60, 30), kBar); // above the value
    EXPECT_EQ(window.PaintAndRead(64, 40), kBar); // 100 / 11 ≈ 9 pixels wide
    EXPECT_NE(window.PaintAndRead(66, 40), kBar);
    chart.SetBar(15, 0); // beyond the bottom axis: not drawn outside the plot
    chart.SetBar(10, 20);
    window.PaintAndRead(0, 0);
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 100; ++y)
            if (window.buffer.At(x, y) == kBar) {
                ASSERT_TRUE(TRect::FromSize(10, 4, 100, 60).Contains(x, y)) << x << "," << y;
            }
    // The bar at the right edge is cut by the plot, and reaches its top when above the axis.
    EXPECT_EQ(window.PaintAndRead(108, 4), kBar);
}

TEST_F(BarChartTest, GridLinesMarkTheLeftAxisIncrementsUnderTheBars) {
    // -90, -60, -30, 0 at y = 64, 44, 24, 4 (the bottom edge of the plot lies just outside it).
    EXPECT_EQ(window.PaintAndRead(30, 44), kGrid);
    EXPECT_EQ(window.PaintAndRead(30, 24), kGrid);
    EXPECT_EQ(window.PaintAndRead(30, 4), kGrid);
    EXPECT_EQ(window.PaintAndRead(30, 34), kBackdrop);
    chart.SetBar(2, 0);
    EXPECT_EQ(window.PaintAndRead(30, 44), kBar);
}

TEST(TDIBLineChart, DrawsItsLineAcrossTheControlAndClicks) {
    TestWindow window;
    TDIBLineChart scope(TRect::FromSize(20, 20, 37, 19));
    window.root.Add(scope);
    scope.LineColour = kBar;
    scope.SetRange(0, 73, -1, 1);
    scope.AddPoint(0, 1);
    scope.AddPoint(73, 1); // along the top row
    window.PaintAndRead(0, 0);
    EXPECT_GT(GreenOf(window.buffer.At(38, 20)), 100);
    EXPECT_EQ(window.buffer.At(38, 30), kBackdrop);
    int clicks = 0;
    scope.OnClick = [&](TDIBControl&) { ++clicks; };
    window.Down(30, 30);
    window.Up(31, 31);
    EXPECT_EQ(clicks, 1);
}

} // namespace
} // namespace quillon
