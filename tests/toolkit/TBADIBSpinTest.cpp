// Spin boxes: the texts of the three kinds, arrow clicks that report even at the end of the range, the
// vertical drag, values set from code, and the arrow frame drawn per state.
#include "toolkit/TBADIBSpin.h"

#include "ControlTestSupport.h"
#include "support/TestGlyphAtlas.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon {
namespace {

using test::FrameColour;
using test::MakeStrip;
using test::TestWindow;

TEST(TBADIBSpin, TextsOfTheThreeKinds) {
    TBAMidiChSelector channel;
    EXPECT_EQ(channel.Text(), "All");
    channel.SetPosition(16);
    EXPECT_EQ(channel.Text(), "16");
    channel.SetPosition(40);
    EXPECT_EQ(channel.Position(), 16);

    TBADIBSpinNote note;
    EXPECT_EQ(note.Text(), "C-1");
    note.SetPosition(60);
    EXPECT_EQ(note.Text(), "C4");
    note.SetPosition(61);
    EXPECT_EQ(note.Text(), "C#4");
    note.SetPosition(127);
    EXPECT_EQ(note.Text(), "G9");
    note.SetPosition(128);
    EXPECT_EQ(note.Position(), 127);

    TBADIBSpin spin;
    spin.SetMin(-5);
    spin.SetPosition(-7);
    EXPECT_EQ(spin.Text(), "-5");
    spin.SetMax(-10); // crossed: Max is raised to Min
    EXPECT_EQ(spin.Max(), -5);
}

struct TBADIBSpinDrag : ::testing::Test {
    TestWindow window;
    TDIBImageList images;
    TBADIBSpin spin{TRect::FromSize(10, 10, 60, 20)};
    std::vector<int> reported;

    TBADIBSpinDrag() {
        images.Add(MakeStrip(3, 10, 20)); // arrows: 10 × 20 each
        spin.SetDIBImageList(&images);
        spin.SetArrows(0);
        spin.SetMax(20);
        spin.SetVerticalPixelsPerPosition(4);
        spin.OnChange = [this](TDIBControl&) { reported.push_back(spin.Position()); };
        window.root.Add(spin);
    }
};

TEST_F(TBADIBSpinDrag, ArrowClicksStepOnceAndReportEvenAtTheEndOfTheRange) {
    EXPECT_EQ(window.PaintAndRead(65, 25), FrameColour(0));
    window.Down(65, 12); // upper half of the arrows
    EXPECT_EQ(window.PaintAndRead(65, 25), FrameColour(1));
    window.Up(65, 12);
    EXPECT_EQ(window.PaintAndRead(65, 25), FrameColour(0));
    window.Down(65, 25); // lower half
    EXPECT_EQ(spin.ArrowState(), 2);
    window.Up(65, 25);
    spin.SetPosition(20); // from code: no report
    window.Down(65, 12);
    window.Up(65, 12);
    EXPECT_EQ(spin.Position(), 20);
    EXPECT_EQ(reported, (std::vector<int>{1, 0, 20}));
}

TEST_F(TBADIBSpinDrag, DraggingTheTextMovesOnePositionPerVerticalPixelsPerPosition) {
    window.Down(20, 20);
    window.Move(20, 18);   // 2 / 4 = 0.5: ties go to even, 0
    window.Move(20, 15);   // 5 / 4 = 1.25 → 1
    window.Move(20, 14);   // 6 / 4 = 1.5 → 2
    window.Move(20, 13);   // 7 / 4 = 1.75 → 2, unchanged
    window.Move(20, 10);   // 10 / 4 = 2.5 → 2, unchanged
    window.Move(20, -200); // clamped
    window.Up(20, -200);
    EXPECT_EQ(spin.ArrowState(), 0);
    EXPECT_EQ(reported, (std::vector<int>{1, 2, 20}));
}

TEST_F(TBADIBSpinDrag, TheTextIsDrawnLeftOfTheArrows) {
    const auto inkIn = [&](const TRect& area) {
        window.PaintAndRead(0, 0);
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (window.buffer.At(x, y) != test::kBackdrop && window.buffer.At(x, y) != FrameColour(0)) return true;
        return false;
    };
    // The test atlas has no digits; use a note spin whose text "C-1" has the glyph '-'.
    TBADIBSpinNote note{TRect::FromSize(10, 50, 60, 20)};
    note.Font = TDIBFont{&test::TestGlyphAtlas(), Rgb(255, 255, 255)};
    window.root.Add(note);
    EXPECT_TRUE(inkIn(TRect::FromSize(10, 50, 50, 20)));
    note.SetAlignment(TSpinAlignment::taRightJustify);
    EXPECT_TRUE(inkIn(TRect::FromSize(50, 50, 20, 20))); // no arrows: the text ends 3 pixels from the edge
    EXPECT_FALSE(inkIn(TRect::FromSize(10, 50, 20, 20)));
}

} // namespace
} // namespace quillon
