// The envelope editor: insertion order and anchoring, the three point-editing modes, adding a point after
// the drag distance and the MaxPoints limit, Ctrl-release snapping, right-click deletion, the line hit test,
// notifications only while enabled, and where the fill and the point images land.
#include "toolkit/TDIBEnvelope.h"

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

using test::FrameColour;
using test::TestWindow;

constexpr TPixel kFill = Rgb(200, 180, 20);

// An envelope at window (10, 5) of 108 × 108 with an 8 × 8 point image, so W' = H' = 100: one percent is
// one pixel and the half image width h is 4. Every notification is logged as "<kind><index>".
struct TDIBEnvelopeTest : ::testing::Test {
    TestWindow window;
    TDIBImageList images;
    TDIBEnvelope envelope{TRect::FromSize(10, 5, 108, 108)};
    std::vector<std::string> log;

    TDIBEnvelopeTest() {
        images.Add(test::MakeStrip(1, 8, 8), test::kKey);
        envelope.SetDIBImageList(&images);
        envelope.SetPointImage(0);
        auto logger = [this](const char* kind) {
            return [this, kind](TDIBControl&, TEnvelopePoint* point) {
                log.push_back(std::string(kind) + (point ? std::to_string(point->Index()) : "-"));
            };
        };
        envelope.OnPointAdded = logger("add");
        envelope.OnPointMoved = logger("move");
        envelope.OnPointRemoved = logger("remove");
        envelope.OnSelectedPointChanged = logger("select");
        window.root.Add(envelope);
    }

    // Window coordinates of a point's image centre.
    int CentreX(int index) const { return 10 + envelope.Point(index)->PixelX() + 4; }
    int CentreY(int index) const { return 5 + envelope.Point(index)->PixelY() + 4; }

    void CtrlUp(int x, int y) { window.router.MouseUp(TMouseEvent{x, y, TMouseButton::Left, false, true}); }
};

TEST_F(TDIBEnvelopeTest, SizesComeFromThePointImage) {
    EXPECT_EQ(envelope.DrawableWidth(), 100);
    EXPECT_EQ(envelope.DrawableHeight(), 100);
    EXPECT_EQ(envelope.HalfImageWidth(), 4);
    TDIBEnvelope bare{TRect::FromSize(0, 0, 50, 20)};
    EXPECT_EQ(bare.HalfImageWidth(), 8);
    EXPECT_EQ(bare.DrawableWidth(), 50);
    // As high as its image (the harmony time line): every new point has y 0.
    TDIBEnvelope line{TRect::FromSize(0, 0, 108, 8)};
    line.SetDIBImageList(&images);
    line.SetPointImage(0);
    EXPECT_EQ(line.AddPointAtPixel(50, 6)->StoredY(), 0.0L);
    EXPECT_EQ(line.AddPointAtPixel(50, 6)->PixelY(), 0);
}

TEST_F(TDIBEnvelopeTest, InsertionByEffectiveXKeepsEqualXInAddingOrder) {
    TEnvelopePoint* first = envelope.AddPoint(30, 20);
    // The first point's effective x is 0, so a point at 10 goes after it.
    TEnvelopePoint* ten = envelope.AddPoint(10, 40);
    TEnvelopePoint* five = envelope.AddPoint(5, 1);
    TEnvelopePoint* tenAgain = envelope.AddPoint(10, 70);
    TEnvelopePoint* clamped = envelope.AddPoint(150, -3);
    ASSERT_EQ(envelope.PointCount(), 5);
    EXPECT_EQ(envelope.Point(0), first);
    EXPECT_EQ(envelope.Point(1), five);
    EXPECT_EQ(envelope.Point(2), ten);
    EXPECT_EQ(envelope.Point(3), tenAgain);
    EXPECT_EQ(envelope.Point(4), clamped);
    EXPECT_EQ(first->X(), 0.0L);
    EXPECT_EQ(first->StoredX(), 30.0L);
    EXPECT_EQ(clamped->X(), 100.0L);
    EXPECT_EQ(clamped->Y(), 0.0L);
    // Each added point was selected as it came.
    EXPECT_EQ(envelope.SelectedPoint(), clamped);
    EXPECT_EQ(log, (std::vector<std::string>{"add0", "select0", "add1", "select1", "add1", "select1", "add3", "select3",
                                             "add4", "select4"}));
    EXPECT_EQ(envelope.IndexAfterPixel(7), 2);
    EXPECT_EQ(envelope.IndexAfterPixel(100), -1);
}

TEST_F(TDIBEnvelopeTest, AnchoredEndsTakeTheirPositionsAndCannotBeDeleted) {
    envelope.SetAnchorPoints(TEnvelopeAnchors::eaBoth);
    envelope.SetFirstAnchorPos(TAnchorPosition::apYOrigin);
    envelope.SetLastAnchorPos(TAnchorPosition::apBoth);
    envelope.SetYOrigin(50);
    TEnvelopePoint* first = envelope.AddPoint(20, 10);
    TEnvelopePoint* last = envelope.AddPoint(60, 10);
    // The anchored last point's effective x is 100, so a later point at 80 still goes before it.
    TEnvelopePoint* middle = envelope.AddPoint(80, 10);
    EXPECT_EQ(middle->Index(), 1);
    EXPECT_EQ(last->Index(), 2);
    EXPECT_TRUE(first->Anchored());
    EXPECT_FALSE(middle->Anchored());
    EXPECT_TRUE(last->Anchored());
    EXPECT_EQ(first->Y(), 50.0L);
    EXPECT_EQ(middle->Y(), 10.0L);
    EXPECT_EQ(last->X(), 100.0L);
    EXPECT_EQ(last->Y(), 50.0L);
    envelope.SetSelectedPoint(last);
    envelope.DeleteSelectedPoint();
    envelope.SetSelectedPoint(first);
    envelope.DeleteSelectedPoint();
    EXPECT_EQ(envelope.PointCount(), 3);
    envelope.SetSelectedPoint(middle);
    envelope.DeleteSelectedPoint();
    EXPECT_EQ(envelope.PointCount(), 2);
    EXPECT_EQ(envelope.SelectedPoint(), nullptr);
    // With eaFirst the first point keeps x 0 while its level is dragged.
    envelope.SetAnchorPoints(TEnvelopeAnchors::eaFirst);
    envelope.SetFirstAnchorPos(TAnchorPosition::apSide);
    window.Down(CentreX(0), CentreY(0));
    window.Move(CentreX(0) + 30, 5 + 70 + 4);
    window.Up(CentreX(0) + 30, 5 + 70 + 4);
    EXPECT_EQ(first->X(), 0.0L);
    EXPECT_EQ(first->Y(), 70.0L);
}

TEST_F(TDIBEnvelopeTest, MoveStopsAtTheNeighbourAndDragPushesThePointsToTheRight) {
    envelope.AddPoint(0, 50);
    envelope.AddPoint(40, 50);
    envelope.AddPoint(60, 50);
    envelope.AddPoint(80, 50);
    // peMove: dragging point 1 far right stops at point 2's x; y follows my - h.
    window.Down(CentreX(1), CentreY(1));
    window.Move(10 + 90 + 4, 5 + 30 + 4);
    EXPECT_EQ(envelope.Point(1)->X(), 60.0L);
    EXPECT_EQ(envelope.Point(1)->Y(), 30.0L);
    window.Up(10 + 90 + 4, 5 + 30 + 4);
    envelope.Point(1)->SetX(40);

    envelope.PointEditing = TPointEditing::peDrag;
    window.Down(CentreX(1), CentreY(1));
    window.Move(CentreX(1) + 15, CentreY(1)); // delta +15: points 1..3 move with it, the last piles up at 100
    EXPECT_EQ(envelope.Point(1)->X(), 55.0L);
    EXPECT_EQ(envelope.Point(2)->X(), 75.0L);
    EXPECT_EQ(envelope.Point(3)->X(), 95.0L);
    window.Move(CentreX(1) + 10, CentreY(1));
    EXPECT_EQ(envelope.Point(3)->X(), 100.0L);
    EXPECT_EQ(envelope.Point(2)->X(), 85.0L);
    // Left by 70: the point stops at its left neighbour (0) after moving 65; the others follow by 65.
    window.Move(CentreX(1) - 70, CentreY(1));
    EXPECT_EQ(envelope.Point(1)->X(), 0.0L);
    EXPECT_EQ(envelope.Point(2)->X(), 20.0L);
    EXPECT_EQ(envelope.Point(3)->X(), 35.0L);
    window.Up(CentreX(1), CentreY(1));
}

TEST_F(TDIBEnvelopeTest, StretchScalesTheEarlierPointsByTheMovedPointsFactor) {
    envelope.PointEditing = TPointEditing::peStretch;
    envelope.AddPoint(0, 50);
    envelope.AddPoint(20, 50);
    envelope.AddPoint(40, 50);
    envelope.AddPoint(50, 50);
    envelope.AddPoint(70, 50);
    window.Down(CentreX(3), CentreY(3));
    log.clear();
    window.Move(CentreX(3) + 5, CentreY(3)); // 50 → 55: 10 % of its x
    // y of the dragged point, the shift from the right end, then the scaling from the nearest point down.
    EXPECT_EQ(log, (std::vector<std::string>{"move3", "move4", "move3", "move2", "move1", "move0"}));
    EXPECT_EQ(envelope.Point(3)->X(), 55.0L);
    EXPECT_EQ(envelope.Point(4)->X(), 75.0L); // later points are shifted, not scaled
    EXPECT_NEAR(static_cast<double>(envelope.Point(2)->X()), 44.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(envelope.Point(1)->X()), 22.0, 1e-9);
    EXPECT_EQ(envelope.Point(0)->X(), 0.0L);
    // Back left to 44 (factor 0.8): the earlier points scale again, first to last.
    log.clear();
    window.Move(CentreX(3) - 11, CentreY(3));
    EXPECT_EQ(log, (std::vector<std::string>{"move3", "move3", "move4", "move0", "move1", "move2"}));
    EXPECT_EQ(envelope.Point(3)->X(), 44.0L);
    EXPECT_NEAR(static_cast<double>(envelope.Point(2)->X()), 35.2, 1e-9);
    EXPECT_NEAR(static_cast<double>(envelope.Point(1)->X()), 17.6, 1e-9);
    window.Up(CentreX(3), CentreY(3));
}

TEST_F(TDIBEnvelopeTest, CtrlReleaseSnapsToTheMiddleLineOfABipolarEnvelope) {
    envelope.SetYOrigin(50);
    envelope.AddPoint(0, 50);
    envelope.AddPoint(40, 20);
    window.Down(CentreX(1), CentreY(1));
    window.Move(CentreX(1), CentreY(1) + 10);
    EXPECT_EQ(envelope.Point(1)->Y(), 30.0L);
    CtrlUp(CentreX(1), CentreY(1));
    EXPECT_EQ(envelope.Point(1)->Y(), 50.0L);
    EXPECT_EQ(envelope.Point(1)->PixelY(), 50);
    // A release without Ctrl leaves the point where it is.
    window.Down(CentreX(1), CentreY(1));
    window.Move(CentreX(1), CentreY(1) - 25);
    window.Up(CentreX(1), CentreY(1));
    EXPECT_EQ(envelope.Point(1)->Y(), 25.0L);
}

TEST_F(TDIBEnvelopeTest, RightClickDeletesTheSelectedPointUnderTheCursor) {
    envelope.SetAnchorPoints(TEnvelopeAnchors::eaFirst);
    envelope.AddPoint(0, 50);
    envelope.AddPoint(30, 50);
    envelope.AddPoint(60, 50);
    log.clear();
    // Pressed on point 1, released off it: nothing is deleted.
    window.Down(CentreX(1), CentreY(1), false, TMouseButton::Right);
    window.Up(CentreX(1) + 20, CentreY(1), TMouseButton::Right);
    EXPECT_EQ(envelope.PointCount(), 3);
    window.Down(CentreX(1), CentreY(1), false, TMouseButton::Right);
    window.Up(CentreX(1), CentreY(1), TMouseButton::Right);
    ASSERT_EQ(envelope.PointCount(), 2);
    EXPECT_EQ(envelope.Point(1)->X(), 60.0L);
    // Removed while still in the list (index 1), then deselected.
    EXPECT_EQ(log, (std::vector<std::string>{"select1", "remove1", "select-"}));
    // The anchored first point stays.
    window.Down(CentreX(0), CentreY(0), false, TMouseButton::Right);
    window.Up(CentreX(0), CentreY(0), TMouseButton::Right);
    EXPECT_EQ(envelope.PointCount(), 2);
    // Switched off: nothing is deleted.
    envelope.DeletePointOnRightClick = false;
    window.Down(CentreX(1), CentreY(1), false, TMouseButton::Right);
    window.Up(CentreX(1), CentreY(1), TMouseButton::Right);
    EXPECT_EQ(envelope.PointCount(), 2);
}

TEST_F(TDIBEnvelopeTest, APointIsAddedBeyondTheDragDistanceAndOnlyBelowMaxPoints) {
    envelope.AddPoint(0, 100);
    envelope.SetSelectedPoint(nullptr);
    window.Down(10 + 50, 5 + 50);
    window.Move(10 + 53, 5 + 47); // 3 pixels each way: not beyond the distance
    EXPECT_EQ(envelope.PointCount(), 1);
    window.Move(10 + 54, 5 + 50);
    ASSERT_EQ(envelope.PointCount(), 2);
    EXPECT_EQ(envelope.Point(1)->StoredX(), 54.0L);
    EXPECT_EQ(envelope.Point(1)->StoredY(), 50.0L);
    EXPECT_EQ(envelope.SelectedPoint(), envelope.Point(1));
    // The button is still down: the next move drags the new point (pixel = mouse - h).
    window.Move(10 + 70, 5 + 30);
    EXPECT_EQ(envelope.Point(1)->X(), 66.0L);
    EXPECT_EQ(envelope.Point(1)->Y(), 26.0L);
    window.Up(10 + 70, 5 + 30);

    envelope.MaxPoints = 2;
    window.Down(10 + 20, 5 + 90);
    window.Move(10 + 40, 5 + 90);
    window.Up(10 + 40, 5 + 90);
    EXPECT_EQ(envelope.PointCount(), 2);
    // Code is not limited.
    envelope.AddPoint(80, 80);
    EXPECT_EQ(envelope.PointCount(), 3);
    // A click that does not move adds nothing even with distance 0.
    envelope.MaxPoints = 10;
    envelope.DragDistanceBeforeAddPoint = 0;
    window.Down(10 + 20, 5 + 90);
    window.Up(10 + 20, 5 + 90);
    EXPECT_EQ(envelope.PointCount(), 3);
}

TEST_F(TDIBEnvelopeTest, NotificationsOnlyWhileEnabled) {
    envelope.SetEnabled(false);
    TEnvelopePoint* a = envelope.AddPoint(0, 10);
    TEnvelopePoint* b = envelope.AddPoint(50, 10);
    b->SetX(60);
    a->SetY(40);
    envelope.SetSelectedPoint(b);
    envelope.DeleteSelectedPoint();
    envelope.DeleteAllPoints();
    EXPECT_EQ(envelope.PointCount(), 0);
    EXPECT_TRUE(log.empty());
    envelope.SetEnabled(true);
    envelope.AddPoint(0, 10);
    envelope.Point(0)->SetY(20);
    envelope.DeleteAllPoints();
    EXPECT_EQ(log, (std::vector<std::string>{"add0", "select0", "move0", "select-", "remove0"}));
}

TEST_F(TDIBEnvelopeTest, LineHitTestWithinTheRadiusBetweenTheEnds) {
    envelope.AddPoint(0, 100);
    EXPECT_FALSE(envelope.OnLine(50, 50)); // one point: no line
    envelope.AddPoint(100, 0);
    // Control coordinates; the cursor percent is (m - h): on the diagonal where mx - 4 + my - 4 = 100.
    EXPECT_TRUE(envelope.OnLine(54, 54));
    EXPECT_TRUE(envelope.OnLine(55, 55));  // about 1.4 % off
    EXPECT_FALSE(envelope.OnLine(57, 57)); // about 4.2 % off
    EXPECT_TRUE(envelope.OnLine(52, 54));
    // Hovering without a button shows the hand on the line, the arrow off it.
    window.Move(10 + 54, 5 + 54);
    EXPECT_EQ(window.router.Cursor(), TCursor::Hand);
    window.Move(10 + 20, 5 + 20);
    EXPECT_EQ(window.router.Cursor(), TCursor::Arrow);
}

TEST_F(TDIBEnvelopeTest, ThePointImageLandsAtItsPixelPositionOverTheFill) {
    envelope.SetLinePen(TPen{Rgb(0, 0, 0), 1.0f, false});
    envelope.SetFillPen(TPen{Rgb(0, 0, 0), 1.0f, false});
    envelope.SetFillBrush(TBrush{kFill, true});
    envelope.SetFillOpacity(255);
    envelope.SetPointOpacity(255);
    envelope.AddPoint(0, 20);
    envelope.AddPoint(30, 40);
    envelope.AddPoint(100, 20);
    // Point 1 at pixel (30, 40): its image covers window (40 .. 47, 45 .. 52), corner keyed out.
    EXPECT_EQ(window.PaintAndRead(10 + 31, 5 + 41), FrameColour(0));
    EXPECT_EQ(window.PaintAndRead(10 + 37, 5 + 47), FrameColour(0));
    EXPECT_NE(window.PaintAndRead(10 + 30, 5 + 40), FrameColour(0)); // the key corner
    EXPECT_NE(window.PaintAndRead(10 + 38, 5 + 44), FrameColour(0));
    // Inside the polygon (below the curve, above the bottom origin line at 104): the fill colour.
    EXPECT_EQ(window.PaintAndRead(10 + 60, 5 + 80), kFill);
    EXPECT_EQ(window.PaintAndRead(10 + 15, 5 + 100), kFill);
    // Above the curve and outside the control: the backdrop.
    EXPECT_EQ(window.PaintAndRead(10 + 60, 5 + 10), test::kBackdrop);
    EXPECT_EQ(window.PaintAndRead(5, 60), test::kBackdrop);
    // A bipolar envelope fills between the curve and the middle line only.
    envelope.SetYOrigin(50);
    EXPECT_EQ(window.PaintAndRead(10 + 60, 5 + 40), kFill);
    EXPECT_EQ(window.PaintAndRead(10 + 60, 5 + 80), test::kBackdrop);
    // At FillOpacity 128 the fill is half the brush over the backdrop (within ±1 per channel).
    envelope.SetFillOpacity(128);
    const TPixel half = window.PaintAndRead(10 + 60, 5 + 40);
    EXPECT_NEAR(GreenOf(half), (GreenOf(test::kBackdrop) + GreenOf(kFill)) / 2.0, 1.51);
    EXPECT_NEAR(RedOf(half), (RedOf(test::kBackdrop) + RedOf(kFill)) / 2.0, 1.51);
    // Without points nothing but the background is drawn.
    envelope.DeleteAllPoints();
    EXPECT_EQ(window.PaintAndRead(10 + 60, 5 + 40), test::kBackdrop);
}

} // namespace
} // namespace quillon
