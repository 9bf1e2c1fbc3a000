// Hints: when they show, where, and when they go.
#include "toolkit/THintLayer.h"

#include "support/TestGlyphAtlas.h"
#include "toolkit/ControlTestSupport.h"
#include "toolkit/TDIBImage.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct HintTest : ::testing::Test {
    test::TestWindow window{200, 120};
    THintLayer hints;
    TDIBImage loop{TRect::FromSize(10, 10, 40, 20)};
    TDIBImage plain{TRect::FromSize(60, 10, 40, 20)};
    TDIBImage edge{TRect::FromSize(170, 100, 30, 20)};
    HintTest() {
        hints.Style.atlas = &test::TestGlyphAtlas();
        window.root.SetHintLayer(&hints);
        for (TDIBImage* c : {&loop, &plain, &edge})
            window.root.Add(*c);
        loop.SetHint("Loop");
        edge.SetHint("Time Stretch");
    }
};

TEST_F(HintTest, ShowsAfterTheMouseRestsAndStaysWhileItMovesOnTheControl) {
    window.Move(20, 15);
    window.root.AdvanceClock(599);
    EXPECT_FALSE(hints.Showing());
    window.Move(30, 20); // still on the same control: the wait goes on
    window.root.AdvanceClock(1);
    ASSERT_TRUE(hints.Showing());
    EXPECT_EQ(hints.Text(), "Loop");
    EXPECT_GE(hints.Box().top, 15); // below the mouse where it first rested
    window.dirty.Take();
    window.Move(70, 15); // onto a control without a hint
    EXPECT_FALSE(hints.Showing());
    EXPECT_FALSE(window.dirty.Empty());
    window.root.AdvanceClock(5000);
    EXPECT_FALSE(hints.Showing());
}

TEST_F(HintTest, GoesOnAPressAndAfterItsTimeAndStaysInsideTheWindow) {
    window.Move(20, 15);
    window.root.AdvanceClock(700);
    window.Down(20, 15);
    EXPECT_FALSE(hints.Showing());
    window.Up(20, 15);
    window.root.AdvanceClock(10000);
    EXPECT_FALSE(hints.Showing()); // not again until the mouse comes back

    window.Move(190, 110);
    window.root.AdvanceClock(600);
    ASSERT_TRUE(hints.Showing());
    EXPECT_TRUE(window.root.WindowRect().Contains(hints.Box())) << hints.Box().left << "," << hints.Box().top;
    EXPECT_NE(window.PaintAndRead(hints.Box().left, hints.Box().top), test::kBackdrop);
    window.root.AdvanceClock(6000);
    EXPECT_FALSE(hints.Showing());
}

} // namespace
} // namespace quillon
