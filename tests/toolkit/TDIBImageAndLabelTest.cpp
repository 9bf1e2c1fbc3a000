// Plain images (click areas) and text labels.
#include "toolkit/TDIBImage.h"
#include "toolkit/TDIBLabel.h"

#include "support/TestGlyphAtlas.h"
#include "toolkit/ControlTestSupport.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::kBackdrop;
using test::TestWindow;

TEST(TDIBImage, ClicksOnlyWhenPressAndReleaseAreBothInside) {
    TestWindow window;
    TDIBImage link(TRect::FromSize(10, 10, 30, 20));
    window.root.Add(link);
    int clicks = 0;
    link.OnClick = [&](TDIBControl&) { ++clicks; };
    window.Down(15, 15);
    window.Up(39, 29);
    EXPECT_EQ(clicks, 1);
    window.Down(15, 15);
    window.Up(60, 15); // dragged off before letting go
    EXPECT_EQ(clicks, 1);
    window.Down(15, 15, false, TMouseButton::Right);
    window.Up(15, 15, TMouseButton::Right);
    EXPECT_EQ(clicks, 1);
}

TEST(TDIBImage, DrawsItsImageWithTheKeyLeftOutAndSizesItselfToIt) {
    TestWindow window;
    TDIBImageList images;
    images.Add(test::MakeStrip(1, 8, 6), test::kKey);
    TDIBImage image(TRect::FromSize(20, 30, 1, 1));
    image.SetDIBImageList(&images);
    image.SetAutoSize(true);
    image.SetIndexMain(0);
    window.root.Add(image);
    EXPECT_EQ(image.Bounds(), TRect::FromSize(20, 30, 8, 6));
    EXPECT_EQ(window.PaintAndRead(20, 30), kBackdrop); // the key pixel
    EXPECT_EQ(window.PaintAndRead(27, 35), test::FrameColour(0));
    EXPECT_EQ(window.PaintAndRead(28, 35), kBackdrop);
}

TEST(TDIBLabel, PlacesItsInkByAlignmentInsideItself) {
    TestWindow window;
    constexpr TPixel kInk = Rgb(200, 10, 10);
    TDIBLabel label(TRect::FromSize(40, 20, 60, 14));
    label.SetFont({&test::TestGlyphAtlas(), kInk});
    label.SetCaption("I-I");
    window.root.Add(label);
    auto inkColumns = [&] {
        window.PaintAndRead(0, 0);
        int first = -1, last = -1;
        for (int x = 0; x < window.buffer.Width(); ++x)
            for (int y = 0; y < window.buffer.Height(); ++y)
                if (window.buffer.At(x, y) == kInk) {
                    EXPECT_TRUE(label.WindowRect().Contains(x, y)) << x << "," << y;
                    if (first < 0) first = x;
                    last = x;
                }
        return std::pair{first, last};
    };
    const int width = test::TestGlyphAtlas().TextWidth("I-I");
    const int leftInk = inkColumns().first;
    EXPECT_TRUE(leftInk >= 40 && leftInk <= 41) << leftInk; // the glyph's bearing
    label.SetAlignment(TTextAlign::Right);
    EXPECT_GE(inkColumns().first, 100 - width);
    label.SetAlignment(TTextAlign::Centre);
    const auto [first, last] = inkColumns();
    EXPECT_NEAR((first + last) / 2.0, 70, 2);
}

TEST(TDIBLabel, RepaintsOnlyOnAChangeAndFillsItsBackground) {
    TestWindow window;
    TDIBLabel label(TRect::FromSize(5, 5, 30, 14));
    window.root.Add(label);
    window.dirty.Take();
    label.SetCaption("");
    label.SetAlignment(TTextAlign::Left);
    EXPECT_TRUE(window.dirty.Empty());
    label.SetCaption("o");
    EXPECT_FALSE(window.dirty.Empty());
    label.SetBackground(Rgb(1, 100, 1));
    EXPECT_EQ(window.PaintAndRead(34, 18), Rgb(1, 100, 1));
    EXPECT_EQ(window.PaintAndRead(35, 18), kBackdrop);
}

} // namespace
} // namespace quillon
