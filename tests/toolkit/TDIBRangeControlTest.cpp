// The range bar: clamping to Min..Max and to the other handle, notifications on every set outside the
// loading state, Max and Min changes, the drawing of the handles and the fill, and dragging the handles.
#include "toolkit/TDIBRangeControl.h"

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {
namespace {

using test::TestWindow;

constexpr TPixel kLeftColour = Rgb(10, 200, 10);
constexpr TPixel kRightColour = Rgb(10, 10, 200);
constexpr TPixel kFill = Rgb(250, 250, 0);

// A bar at window (20, 40), 120 × 20, with 10 × 8 handles: the track is 100 pixels, so with Max 100 one
// position is one pixel. Notifications are logged as "L<pos>" and "R<pos>".
struct TDIBRangeControlTest : ::testing::Test {
    TestWindow window;
    TDIBImageList images;
    TDIBRangeControl range{TRect::FromSize(20, 40, 120, 20)};
    std::vector<std::string> log;

    TDIBRangeControlTest() {
        images.Add(TPixelBuffer(10, 8, kLeftColour));
        images.Add(TPixelBuffer(10, 8, kRightColour));
        range.SetDIBImageList(&images);
        range.SetLeftHandle(0);
        range.SetRightHandle(1);
        range.SetHandleOpacity(255);
        range.SetFillOpacity(255);
        range.SetFillPen(TPen{Rgb(0, 0, 0), 1.0f, false});
        range.SetFillBrush(TBrush{kFill, true});
        // std::string(1, c) + ...: GCC 12 warns falsely (-Wrestrict) at -O3 on a literal + a temporary string.
        range.OnLeftChange = [this](TDIBControl&) {
            log.push_back(std::string(1, 'L') + std::to_string(range.LeftPos()));
        };
        range.OnRightChange = [this](TDIBControl&) {
            log.push_back(std::string(1, 'R') + std::to_string(range.RightPos()));
        };
        window.root.Add(range);
    }
};

TEST_F(TDIBRangeControlTest, PositionsAreClampedAndEverySetNotifies) {
    range.SetLeftPos(-5);
    range.SetRightPos(150);
    range.SetLeftPos(0); // unchanged, still reported
    range.SetRightPos(60);
    EXPECT_EQ(log, (std::vector<std::string>{"L0", "R100", "L0", "R60"}));
    // Left past right stops at right; right below left stops at left.
    range.SetLeftPos(80);
    EXPECT_EQ(range.LeftPos(), 60);
    range.SetLeftPos(30);
    range.SetRightPos(10);
    EXPECT_EQ(range.RightPos(), 30);
    EXPECT_LE(range.LeftPos(), range.RightPos());
    // In the loading state nothing is reported.
    log.clear();
    range.BeginLoading();
    range.SetLeftPos(5);
    range.SetRightPos(90);
    range.EndLoading();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(range.LeftPos(), 5);
    EXPECT_EQ(range.RightPos(), 90);
}

TEST_F(TDIBRangeControlTest, MaxAndMinPullThePositionsAndRejectAnEmptyRange) {
    range.SetLeftPos(40);
    range.SetRightPos(90);
    range.SetMax(50);
    EXPECT_EQ(range.LeftPos(), 40);
    EXPECT_EQ(range.RightPos(), 50);
    range.SetMin(45);
    EXPECT_EQ(range.LeftPos(), 45);
    EXPECT_EQ(range.RightPos(), 50);
    EXPECT_THROW(range.SetMax(45), std::invalid_argument);
    EXPECT_THROW(range.SetMin(50), std::invalid_argument);
    EXPECT_EQ(range.Max(), 50);
    EXPECT_EQ(range.Min(), 45);
    range.SetRightPos(1000);
    EXPECT_EQ(range.RightPos(), 50);
    // While loading the order of Min and Max does not matter.
    range.BeginLoading();
    EXPECT_NO_THROW(range.SetMax(10));
    range.EndLoading();
}

TEST_F(TDIBRangeControlTest, HandlesAndFillAreDrawnAtTheirPositions) {
    range.SetLeftPos(30);
    range.SetRightPos(70);
    // haBottom: handles at y = 20 - 8 = 12; left at x 30, right at 70 + 10 = 80.
    EXPECT_EQ(window.PaintAndRead(20 + 30, 40 + 12), kLeftColour);
    EXPECT_EQ(window.PaintAndRead(20 + 39, 40 + 19), kLeftColour);
    EXPECT_EQ(window.PaintAndRead(20 + 80, 40 + 12), kRightColour);
    EXPECT_EQ(range.LeftHandleRect(), TRect::FromSize(30, 12, 10, 8));
    EXPECT_EQ(range.RightHandleRect(), TRect::FromSize(80, 12, 10, 8));
    // The fill runs from the left handle's right edge to the right handle's left edge, full height.
    EXPECT_EQ(window.PaintAndRead(20 + 40, 40), kFill);
    EXPECT_EQ(window.PaintAndRead(20 + 79, 40 + 19), kFill);
    EXPECT_EQ(window.PaintAndRead(20 + 29, 40 + 5), test::kBackdrop);
    EXPECT_EQ(window.PaintAndRead(20 + 90, 40 + 5), test::kBackdrop);
    range.SetHandleAlign(THandleAlign::haTop);
    EXPECT_EQ(window.PaintAndRead(20 + 30, 40), kLeftColour);
    EXPECT_EQ(window.PaintAndRead(20 + 30, 40 + 12), test::kBackdrop);
    // Without both handle images nothing is drawn.
    range.SetRightHandle(-1);
    EXPECT_EQ(window.PaintAndRead(20 + 50, 40 + 5), test::kBackdrop);
}

// Channels within ±1 of the exact mix.
void ExpectMix(TPixel actual, TPixel under, TPixel over, int opacity) {
    auto mix = [opacity](int a, int b) { return a + (b - a) * opacity / 255.0; };
    EXPECT_NEAR(RedOf(actual), mix(RedOf(under), RedOf(over)), 1.01);
    EXPECT_NEAR(GreenOf(actual), mix(GreenOf(under), GreenOf(over)), 1.01);
    EXPECT_NEAR(BlueOf(actual), mix(BlueOf(under), BlueOf(over)), 1.01);
}

TEST_F(TDIBRangeControlTest, FillAndOutlineShareOneLayerAtTheFillOpacity) {
    constexpr TPixel kPen = Rgb(200, 0, 100);
    range.SetLeftPos(30);
    range.SetRightPos(70);
    range.SetFillOpacity(128);
    range.SetFillPen(TPen{kPen, 1.0f, true});
    // The outline replaces the fill on the layer, so its pixels are a single mix with the backdrop.
    ExpectMix(window.PaintAndRead(20 + 40, 40 + 5), test::kBackdrop, kPen, 128);
    ExpectMix(window.PaintAndRead(20 + 60, 40), test::kBackdrop, kPen, 128);
    ExpectMix(window.PaintAndRead(20 + 60, 40 + 10), test::kBackdrop, kFill, 128);
    // The handles are drawn at HandleOpacity.
    range.SetHandleOpacity(0);
    EXPECT_EQ(window.PaintAndRead(20 + 35, 40 + 15), test::kBackdrop);
}

TEST_F(TDIBRangeControlTest, DraggingAHandleCentresItOnTheCursor) {
    range.SetLeftPos(30);
    range.SetRightPos(70);
    window.PaintAndRead(0, 0);
    log.clear();
    window.Down(20 + 35, 40 + 15);
    EXPECT_EQ(range.Dragging(), TDIBRangeControl::TDragHandle::Left);
    window.Move(20 + 55, 40 + 15); // (55 - 5) × 100 / 100
    EXPECT_EQ(range.LeftPos(), 50);
    window.Move(20 + 115, 40 + 15); // stops at the right handle
    EXPECT_EQ(range.LeftPos(), 70);
    window.Up(20 + 115, 40 + 15);
    EXPECT_EQ(range.Dragging(), TDIBRangeControl::TDragHandle::None);
    EXPECT_EQ(log, (std::vector<std::string>{"L50", "L70"}));

    window.PaintAndRead(0, 0);
    log.clear();
    window.Down(20 + 85, 40 + 15); // the right handle, now at 80 .. 89
    EXPECT_EQ(range.Dragging(), TDIBRangeControl::TDragHandle::Right);
    window.Move(20 + 105, 40 + 15); // (105 - 10 - 5) = 90
    EXPECT_EQ(range.RightPos(), 90);
    window.Move(20 + 500, 40 + 15);
    EXPECT_EQ(range.RightPos(), 100);
    window.Up(20 + 500, 40 + 15);
    EXPECT_EQ(log, (std::vector<std::string>{"R90", "R100"}));
    // A press between the handles drags nothing.
    window.PaintAndRead(0, 0);
    window.Down(20 + 85, 40 + 5);
    EXPECT_EQ(range.Dragging(), TDIBRangeControl::TDragHandle::None);
    window.Up(20 + 85, 40 + 5);
}

} // namespace
} // namespace quillon
