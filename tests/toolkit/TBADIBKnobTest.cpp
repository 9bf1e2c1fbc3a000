// The knob: the frame drawn for a position, coarse and fine drags with the anchor re-taken when Shift
// changes, coarse quantisation, OnChange only for a changed position and never for values set from code,
// and the capture that keeps a drag going outside the knob.
#include "toolkit/TBADIBKnob.h"

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon {
namespace {

using test::FrameColour;
using test::MakeStrip;
using test::TestWindow;

// A knob set up as the editor's big knobs are: Max 1000, Coarse 100, Fine 1000, CoarseQuant 200, at
// window position (20, 30), 20 × 20 from an 11-frame strip.
struct TBADIBKnobTest : ::testing::Test {
    TestWindow window;
    TDIBImageList images;
    TBADIBKnob knob{TRect::FromSize(20, 30, 5, 5)};
    std::vector<int> reported;

    TBADIBKnobTest() {
        images.Add(MakeStrip(11, 20, 20), test::kKey);
        knob.SetDIBImageList(&images);
        knob.SetFrames(11);
        knob.SetIndexMain(0);
        knob.SetMax(1000);
        knob.SetCoarse(100);
        knob.SetFine(1000);
        knob.SetCoarseQuant(200);
        knob.OnChange = [this](TDIBControl&) { reported.push_back(knob.Position()); };
        window.root.Add(knob);
    }
};

TEST_F(TBADIBKnobTest, TakesTheSizeOfOneFrameAndDrawsTheFrameForItsPosition) {
    EXPECT_EQ(knob.Bounds(), TRect::FromSize(20, 30, 20, 20));
    // A pixel inside the knob (not the key corner) shows the frame's colour.
    EXPECT_EQ(window.PaintAndRead(25, 35), FrameColour(0));
    knob.SetPosition(500);
    EXPECT_EQ(window.PaintAndRead(25, 35), FrameColour(5));
    knob.SetPosition(1000);
    EXPECT_EQ(window.PaintAndRead(25, 35), FrameColour(10));
    knob.SetPosition(340); // 10 / 1000 × 340 = 3.4 → frame 3
    EXPECT_EQ(window.PaintAndRead(25, 35), FrameColour(3));
    // Ties round to even: with 3 frames, position 250 is frame 0.5 → 0 and 750 frame 1.5 → 2.
    knob.SetFrames(3);
    knob.SetPosition(250);
    EXPECT_EQ(knob.FrameIndex(), 0);
    knob.SetPosition(750);
    EXPECT_EQ(knob.FrameIndex(), 2);
    knob.SetFrames(11);
    // The key-coloured corner is left out: the backdrop shows through.
    EXPECT_EQ(window.PaintAndRead(20, 30), test::kBackdrop);
    // Nothing is drawn outside the knob.
    EXPECT_EQ(window.PaintAndRead(40, 35), test::kBackdrop);
}

TEST_F(TBADIBKnobTest, StackedFramesAndTheEffectLayerUnderTheMainStrip) {
    images.Add(MakeStrip(11, 20, 20, TFrameStack::fsVertical), test::kKey);
    images.Add(TPixelBuffer(20, 20 * 11, Rgb(9, 9, 9)));
    knob.SetFrameStack(TFrameStack::fsVertical);
    knob.SetIndexMain(1);
    knob.SetEffectLayer(2);
    knob.SetEffectOpacity(255);
    knob.SetPosition(700);
    EXPECT_EQ(knob.Bounds(), TRect::FromSize(20, 30, 20, 20));
    EXPECT_EQ(window.PaintAndRead(30, 40), FrameColour(7));
    // Where the main strip is transparent the effect layer shows.
    EXPECT_EQ(window.PaintAndRead(20, 30), Rgb(9, 9, 9));
}

TEST_F(TBADIBKnobTest, CoarseDragMovesTenUnitsPerPixelAndFineOneWithTheAnchorRetakenOnShift) {
    knob.SetPosition(500);
    window.Down(30, 40);
    window.Move(30, 30); // 10 pixels up, coarse: +100
    EXPECT_EQ(knob.Position(), 600);
    window.Move(30, 30, true); // Shift pressed: the anchor is re-taken here, no jump
    EXPECT_EQ(knob.Position(), 600);
    window.Move(30, 20, true); // 10 pixels fine: +10
    EXPECT_EQ(knob.Position(), 610);
    window.Move(30, 25, true); // 5 down fine: -5
    EXPECT_EQ(knob.Position(), 605);
    window.Move(30, 24); // Shift released: re-anchored at 605 and y 24, so no movement yet
    EXPECT_EQ(knob.Position(), 605);
    window.Move(30, 23); // one pixel coarse from 605: p0 = 615 → snapped to a multiple of 5
    EXPECT_EQ(knob.Position(), 615);
    window.Move(30, -400); // far above the window: clamped to Max
    EXPECT_EQ(knob.Position(), 1000);
    window.Up(30, -400);
    EXPECT_FALSE(knob.Dragging());
    EXPECT_EQ(reported, (std::vector<int>{600, 610, 605, 615, 1000}));
}

TEST_F(TBADIBKnobTest, CoarseQuantisationAndNoNotificationWithoutAChange) {
    knob.SetCoarse(300); // one pixel is 3.33 units, the steps are 5
    window.Down(30, 40);
    window.Move(30, 39);
    EXPECT_EQ(knob.Position(), 5); // 3.33 → step 1 of 200
    window.Move(30, 38);
    EXPECT_EQ(knob.Position(), 5); // 6.67 → still step 1
    window.Move(30, 37);
    EXPECT_EQ(knob.Position(), 10); // 10 → step 2
    window.Move(40, 37);            // sideways: nothing changes
    window.Up(30, 37);
    EXPECT_EQ(reported, (std::vector<int>{5, 10}));
}

TEST_F(TBADIBKnobTest, DraggingBackToTheStartReportsTheStartAgain) {
    window.Down(30, 40);
    window.Move(30, 38);
    window.Move(30, 40);
    window.Up(30, 40);
    EXPECT_EQ(reported, (std::vector<int>{20, 0}));

    // After a value set from code, the first step reports it even without movement: it differs from the
    // position last reported.
    reported.clear();
    knob.SetPosition(300);
    window.Down(30, 40);
    window.Move(30, 40);
    window.Up(30, 40);
    EXPECT_EQ(reported, (std::vector<int>{300}));
}

TEST_F(TBADIBKnobTest, ValuesSetFromCodeNeverNotifyAndKeepTheRangeConsistent) {
    knob.SetPosition(1200);
    EXPECT_EQ(knob.Position(), 1000);
    knob.SetMax(400); // pulls the position in
    EXPECT_EQ(knob.Position(), 400);
    knob.SetMin(500); // Min >= Max: Min becomes Max - 1
    EXPECT_EQ(knob.Min(), 399);
    EXPECT_EQ(knob.Position(), 400);
    knob.SetMax(100); // Max <= Min: Max becomes Min + 1
    EXPECT_EQ(knob.Max(), 400);
    knob.SetFrames(0);
    knob.SetCoarse(-3);
    knob.SetFine(0);
    EXPECT_EQ(knob.Frames(), 1);
    EXPECT_EQ(knob.Coarse(), 1);
    EXPECT_EQ(knob.Fine(), 1);
    EXPECT_TRUE(reported.empty());

    // In the loading state the range is taken as given.
    knob.BeginLoading();
    knob.SetMin(0);
    knob.SetMax(0);
    knob.EndLoading();
    EXPECT_EQ(knob.Max(), 0);
}

TEST_F(TBADIBKnobTest, APressOutsideTheSensitiveAreaOrWithAnotherButtonDoesNotDrag) {
    knob.CutTop = 5;
    knob.CutRight = 4;
    window.Down(30, 33); // y 3 < CutTop
    window.Move(30, 0);
    window.Up(30, 0);
    window.Down(37, 40); // x 17 > 20 - CutRight
    window.Move(37, 0);
    window.Up(37, 0);
    window.Down(30, 40, false, TMouseButton::Right);
    window.Move(30, 0);
    window.Up(30, 0, TMouseButton::Right);
    EXPECT_EQ(knob.Position(), 0);
    window.Down(36, 35); // on the edges of the area: inside
    window.Move(36, 34);
    EXPECT_EQ(knob.Position(), 10);
}

TEST_F(TBADIBKnobTest, TheCaptureKeepsADragGoingOutsideTheKnobUntilTheRelease) {
    TBADIBKnob other{TRect::FromSize(100, 30, 20, 20)};
    window.root.Add(other);
    window.Down(30, 40);
    EXPECT_EQ(window.router.Captured(), &knob);
    EXPECT_EQ(window.router.Cursor(), TCursor::Hand);
    window.Move(110, 35); // over the other knob, 5 up
    EXPECT_EQ(knob.Position(), 50);
    EXPECT_FALSE(other.Dragging());
    window.Up(150, 100); // released far away: the knob still gets it
    EXPECT_FALSE(knob.Dragging());
    EXPECT_EQ(window.router.Captured(), nullptr);
    window.Move(30, 10); // no drag any more
    EXPECT_EQ(knob.Position(), 50);
    EXPECT_EQ(window.router.Cursor(), TCursor::Arrow); // over the bare window
}

} // namespace
} // namespace quillon
