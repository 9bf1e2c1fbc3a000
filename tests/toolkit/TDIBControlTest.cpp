// The control base, containers and the mouse router: nested positions, clipping of children, invalidation in
// window coordinates, hit testing with visibility and Enabled, and the image list.
#include "toolkit/TDIBControl.h"

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon {
namespace {

using test::TestWindow;

// Fills itself with a colour and records the events it gets.
class Probe : public TDIBControl {
public:
    Probe(const TRect& bounds, TPixel colour) : TDIBControl(bounds), colour_(colour) {}
    std::vector<TMouseEvent> downs, moves, ups;
    void MouseDown(const TMouseEvent& e) override { downs.push_back(e); }
    void MouseMove(const TMouseEvent& e) override { moves.push_back(e); }
    void MouseUp(const TMouseEvent& e) override { ups.push_back(e); }

protected:
    void PaintContent(TPainter& painter, const TRect& window) override { painter.FillRect(window, colour_, Opacity()); }

private:
    TPixel colour_;
};

TEST(TDIBControl, ChildrenArePlacedInTheirParentAndClippedToIt) {
    TestWindow window;
    TDIBImageList images;
    images.Add(TPixelBuffer(40, 30, Rgb(50, 50, 50)));
    TDIBImageContainer panel{TRect::FromSize(20, 10, 40, 30)};
    panel.SetDIBImageList(&images);
    panel.SetIndexMain(0);
    Probe child{TRect::FromSize(30, 5, 20, 10), Rgb(200, 0, 0)}; // sticks out 10 pixels on the right
    window.root.Add(panel);
    panel.Add(child);
    EXPECT_EQ(child.WindowRect(), TRect::FromSize(50, 15, 20, 10));
    EXPECT_EQ(window.PaintAndRead(25, 12), Rgb(50, 50, 50)); // the panel's image
    EXPECT_EQ(window.PaintAndRead(55, 20), Rgb(200, 0, 0));  // the child inside the panel
    EXPECT_EQ(window.PaintAndRead(65, 20), test::kBackdrop); // the part outside the panel is cut off

    // Invalidation: the child's rectangle in window coordinates, cut to the panel.
    window.dirty.Take();
    child.SetOpacity(128);
    const auto list = window.dirty.Take();
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(list.rects[0], TRect::FromSize(50, 15, 10, 10));

    // Hidden: not drawn, and its old place is repainted.
    child.SetVisible(false);
    EXPECT_EQ(window.dirty.Take().Bounds(), TRect::FromSize(50, 15, 10, 10));
    EXPECT_EQ(window.PaintAndRead(55, 20), Rgb(50, 50, 50));
}

TEST(TDIBControl, TheRouterDeliversEventsInControlCoordinatesToVisibleEnabledControls) {
    TestWindow window;
    TDIBImageContainer panel{TRect::FromSize(20, 10, 100, 60)};
    Probe below{TRect::FromSize(10, 10, 30, 30), 0};
    Probe above{TRect::FromSize(20, 20, 30, 30), 0}; // added last: on top
    window.root.Add(panel);
    panel.Add(below);
    panel.Add(above);

    window.router.MouseDown(TMouseEvent{45, 35, TMouseButton::Left, true, true});
    ASSERT_EQ(above.downs.size(), 1u);
    EXPECT_EQ(above.downs[0].x, 5); // 45 - 20 - 20
    EXPECT_EQ(above.downs[0].y, 5);
    EXPECT_TRUE(above.downs[0].shift);
    EXPECT_TRUE(above.downs[0].ctrl);
    window.Up(45, 35);
    EXPECT_TRUE(below.downs.empty());

    above.SetVisible(false); // now the one below is hit
    window.Down(45, 35);
    window.Up(45, 35);
    EXPECT_EQ(below.downs.size(), 1u);

    below.SetEnabled(false); // disabled: takes no events, and nothing else gets them either
    window.Down(45, 35);
    window.Move(46, 35);
    window.Up(45, 35);
    EXPECT_EQ(below.downs.size(), 1u);
    EXPECT_TRUE(panel.Children().size() == 2);

    // A right press during a left drag goes to the capturing control and does not end the capture.
    above.SetVisible(true);
    window.Down(45, 35);
    window.Down(5, 5, false, TMouseButton::Right);
    window.Up(5, 5, TMouseButton::Right);
    EXPECT_EQ(window.router.Captured(), &above);
    window.Move(0, 0);
    EXPECT_EQ(above.moves.back().x, -40);
    window.Up(0, 0);
    EXPECT_EQ(window.router.Captured(), nullptr);
    EXPECT_EQ(above.ups.size(), 3u);
}

TEST(TDIBControl, ImageListLooksUpByIndexAndNoneIsMinusOne) {
    TDIBImageList images;
    EXPECT_EQ(images.Add(TPixelBuffer(2, 2), test::kKey), 0);
    EXPECT_EQ(images.Add(TPixelBuffer(3, 3)), 1);
    ASSERT_NE(images.Image(0), nullptr);
    EXPECT_EQ(images.Image(0)->key, test::kKey);
    EXPECT_FALSE(images.Image(1)->key.has_value());
    EXPECT_EQ(images.Image(-1), nullptr);
    EXPECT_EQ(images.Image(2), nullptr);
}

} // namespace
} // namespace quillon
