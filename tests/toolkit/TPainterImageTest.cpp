// Image blits, rectangles and clipping: a frame lands at its pixel position, key-coloured pixels are left
// out, opacity mixes within ±1 per channel, and nothing outside the clip or the buffer changes.
#include "toolkit/TPainter.h"

#include "support/AllocationCounter.h"
#include "support/TestGlyphAtlas.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quillon {
namespace {

constexpr TPixel kBackground = Rgb(20, 40, 60);
constexpr TPixel kKey = Rgb(255, 0, 255);

// A strip of `frames` frames of w × h; frame k's pixel (x, y) holds Rgb(k, x, y), except the top-left
// corner pixel of every frame, which is the key colour.
TPixelBuffer MakeStrip(int frames, int w, int h) {
    TPixelBuffer strip(frames * w, h);
    for (int k = 0; k < frames; ++k)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                strip.At(k * w + x, y) = (x == 0 && y == 0)
                                             ? kKey
                                             : Rgb(static_cast<std::uint8_t>(10 + k), static_cast<std::uint8_t>(x),
                                                   static_cast<std::uint8_t>(y));
    return strip;
}

bool WithinOne(TPixel actual, TPixel expected) {
    return std::abs(RedOf(actual) - RedOf(expected)) <= 1 && std::abs(GreenOf(actual) - GreenOf(expected)) <= 1 &&
           std::abs(BlueOf(actual) - BlueOf(expected)) <= 1;
}

// The exact mix of dst and src at opacity/255, rounded.
TPixel Mix(TPixel dst, TPixel src, int opacity) {
    const auto channel = [&](int d, int s) {
        return static_cast<std::uint8_t>((d * (255 - opacity) + s * opacity + 127) / 255);
    };
    return Rgb(channel(RedOf(dst), RedOf(src)), channel(GreenOf(dst), GreenOf(src)), channel(BlueOf(dst), BlueOf(src)));
}

TEST(TPainterImageTest, FrameLandsAtItsPositionWithKeyPixelsLeftOut) {
    const TPixelBuffer strip = MakeStrip(5, 8, 6);
    TPixelBuffer target(40, 30, kBackground);
    TPainter painter(target);
    painter.DrawFrame(strip, 3, 5, 12, 7, 255, kKey);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const int fx = x - 12;
            const int fy = y - 7;
            const bool inFrame = fx >= 0 && fx < 8 && fy >= 0 && fy < 6;
            const TPixel expected = !inFrame || (fx == 0 && fy == 0)
                                        ? kBackground
                                        : Rgb(13, static_cast<std::uint8_t>(fx), static_cast<std::uint8_t>(fy));
            ASSERT_EQ(target.At(x, y), expected) << x << "," << y;
        }
    }
    // Out-of-range frame numbers draw the nearest frame; without a key the key pixel is copied too.
    painter.DrawFrame(strip, 9, 5, 0, 0);
    EXPECT_EQ(target.At(1, 1), Rgb(14, 1, 1));
    EXPECT_EQ(target.At(0, 0), kKey);
    EXPECT_EQ(TPainter::FrameRect(strip, -2, 5), (TRect{0, 0, 8, 6}));
}

TEST(TPainterImageTest, OpacityMixesWithinOneAndZeroOpacityDrawsNothing) {
    const TPixelBuffer strip = MakeStrip(1, 16, 16);
    for (const int opacity : {1, 64, 127, 128, 200, 254}) {
        TPixelBuffer target(16, 16, Rgb(200, 100, 250));
        TPainter painter(target);
        painter.DrawImage(strip, strip.Bounds(), 0, 0, static_cast<std::uint8_t>(opacity), kKey);
        EXPECT_EQ(target.At(0, 0), Rgb(200, 100, 250)) << "key pixel, opacity " << opacity;
        for (int y = 0; y < 16; ++y)
            for (int x = (y == 0 ? 1 : 0); x < 16; ++x)
                ASSERT_TRUE(WithinOne(target.At(x, y), Mix(Rgb(200, 100, 250), strip.At(x, y), opacity)))
                    << "opacity " << opacity << " at " << x << "," << y << ": " << std::hex << target.At(x, y);
    }
    TPixelBuffer target(16, 16, kBackground);
    TPainter painter(target);
    painter.DrawImage(strip, strip.Bounds(), 0, 0, 0);
    painter.FillRect(target.Bounds(), Rgb(1, 2, 3), 0);
    EXPECT_EQ(target.At(5, 5), kBackground);
}

TEST(TPainterImageTest, ClipAndBufferEdgesLeaveOutsidePixelsUntouched) {
    const TPixelBuffer strip = MakeStrip(1, 10, 10);
    TPixelBuffer target(30, 20, kBackground);
    TPainter painter(target);
    painter.PushClip(TRect{5, 4, 25, 15});
    painter.PushClip(TRect{0, 0, 12, 30}); // nested: the clip is now {5, 4, 12, 15}
    EXPECT_EQ(painter.Clip(), (TRect{5, 4, 12, 15}));
    painter.DrawImage(strip, strip.Bounds(), 0, 0);
    painter.FillRect(TRect{0, 12, 30, 20}, Rgb(1, 1, 1));
    painter.PopClip();
    EXPECT_EQ(painter.Clip(), (TRect{5, 4, 25, 15}));
    painter.StrokeRect(TRect{20, 5, 40, 30}, Rgb(2, 2, 2), 2);
    painter.PopClip();
    painter.PopClip(); // one pop too many is harmless
    EXPECT_EQ(painter.Clip(), target.Bounds());
    // Partly off the buffer at the top-left: the visible part is the image's lower right.
    painter.DrawImage(strip, TRect{2, 2, 10, 10}, -4, 16);

    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            TPixel expected = kBackground;
            const bool inner = x >= 5 && x < 12 && y >= 4 && y < 15;
            if (inner && y >= 12) expected = Rgb(1, 1, 1);
            if (inner && y < 10 && x < 10) expected = strip.At(x, y); // the image is 10 × 10
            // The outline's left band (x 20, 21) and top band (y 5, 6), cut to {5, 4, 25, 15}.
            if (x >= 20 && x < 25 && y >= 5 && y < 15 && (x < 22 || y < 7)) expected = Rgb(2, 2, 2);
            if (x < 4 && y >= 16) expected = strip.At(x + 6, y - 16 + 2);
            ASSERT_EQ(target.At(x, y), expected) << x << "," << y;
        }
    }
}

TEST(TPainterImageTest, DrawingAllocatesNothing) {
    const TPixelBuffer strip = MakeStrip(4, 20, 20);
    TPixelBuffer target(200, 100, kBackground);
    TPainter painter(target);
    const TPointF envelope[] = {{0, 100}, {10, 20}, {60, 50}, {120, 30}, {199, 100}};
    const TGlyphAtlas& atlas = test::TestGlyphAtlas(); // built on first use
    const test::ScopedAllocationCounter counter;
    painter.PushClip(TRect{10, 10, 190, 90});
    painter.DrawFrame(strip, 2, 4, 30, 30, 180, kKey);
    painter.FillRect(TRect{0, 0, 50, 50}, Rgb(1, 2, 3), 100);
    painter.FillPolygon(envelope, Rgb(90, 200, 90), 128);
    painter.DrawPolyline(envelope, 2.0f, Rgb(255, 255, 255));
    painter.DrawText(atlas, "Io-go", 20, 60, Rgb(0, 0, 0));
    painter.PopClip();
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
} // namespace quillon
