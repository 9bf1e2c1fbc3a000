// Anti-aliased polygons, lines and text, judged by what they must show: the coverage of a fill adds up to
// the polygon's area, pixels fully inside are solid, pixels outside are untouched, the winding rules
// differ where they should, clipping cuts exactly, and text ink stays inside the string's box.
#include "toolkit/TPainter.h"

#include "support/TestGlyphAtlas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quillon {
namespace {

constexpr TPixel kWhite = Rgb(255, 255, 255);

// Coverage of each pixel after drawing white on black: the blue channel over 255.
double CoverageAt(const TPixelBuffer& b, int x, int y) {
    return BlueOf(b.At(x, y)) / 255.0;
}

double CoverageSum(const TPixelBuffer& b) {
    double sum = 0.0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            sum += CoverageAt(b, x, y);
    return sum;
}

double ShoelaceArea(const std::vector<TPointF>& p) {
    double twice = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const TPointF& a = p[i];
        const TPointF& b = p[(i + 1) % p.size()];
        twice += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return std::fabs(twice) / 2.0;
}

// An envelope fill: the curve over the floor, closed along the bottom.
std::vector<TPointF> EnvelopeShape(float left, float top, float width, float height, int points) {
    std::vector<TPointF> shape;
    for (int i = 0; i < points; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(points - 1);
        const float level = 0.5f + 0.45f * std::sin(t * 17.0f) * std::cos(t * 5.0f);
        shape.push_back({left + t * width, top + height * (1.0f - level)});
    }
    shape.push_back({left + width, top + height});
    shape.push_back({left, top + height});
    return shape;
}

// Is the pixel square entirely inside the convex, counter-clockwise-or-clockwise polygon? (Tests all
// four corners against every edge.)
bool SquareInsideConvex(const std::vector<TPointF>& p, int x, int y) {
    double sign = 0.0;
    for (int corner = 0; corner < 4; ++corner) {
        const double cx = x + (corner & 1);
        const double cy = y + (corner >> 1);
        for (std::size_t i = 0; i < p.size(); ++i) {
            const TPointF& a = p[i];
            const TPointF& b = p[(i + 1) % p.size()];
            const double cross = (b.x - a.x) * (cy - a.y) - (b.y - a.y) * (cx - a.x);
            if (sign == 0.0) sign = cross;
            if (cross * sign < 0.0) return false;
        }
    }
    return true;
}

TEST(TPainterPolygonTest, CoverageAddsUpToTheAreaSolidInsideUntouchedOutside) {
    const std::vector<std::vector<TPointF>> shapes = {
        {{10.3f, 5.7f}, {90.1f, 20.2f}, {40.6f, 70.9f}},                                 // triangle
        {{20.0f, 10.0f}, {80.0f, 10.0f}, {80.0f, 60.0f}, {20.0f, 60.0f}},                // pixel-aligned square
        {{50.5f, 3.25f}, {95.0f, 40.0f}, {60.0f, 75.5f}, {12.0f, 50.0f}, {8.0f, 20.0f}}, // convex pentagon
    };
    for (const auto& shape : shapes) {
        TPixelBuffer target(100, 80, 0);
        TPainter painter(target);
        painter.FillPolygon(shape, kWhite);
        EXPECT_NEAR(CoverageSum(target), ShoelaceArea(shape), 0.5) << shape.size() << " points";
        float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
        for (const TPointF& p : shape) {
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        for (int y = 0; y < 80; ++y) {
            for (int x = 0; x < 100; ++x) {
                if (SquareInsideConvex(shape, x, y)) {
                    ASSERT_EQ(target.At(x, y), kWhite) << x << "," << y;
                }
                const bool outsideBox = x + 1 <= minX || x >= maxX || y + 1 <= minY || y >= maxY;
                if (outsideBox) {
                    ASSERT_EQ(target.At(x, y), 0u) << x << "," << y;
                }
            }
        }
    }
    // The envelope shape (not convex): the area still adds up, at any opacity proportionally.
    const std::vector<TPointF> envelope = EnvelopeShape(2.5f, 4.0f, 95.0f, 70.0f, 100);
    TPixelBuffer target(100, 80, 0);
    TPainter painter(target);
    painter.FillPolygon(envelope, kWhite, 128);
    EXPECT_NEAR(CoverageSum(target), ShoelaceArea(envelope) * 128.0 / 255.0, 0.01 * ShoelaceArea(envelope));
}

TEST(TPainterPolygonTest, WindingRulesDecideOverlapsAndHoles) {
    // A square with a smaller square inside, both wound the same way: non-zero fills all, even-odd
    // leaves the inner square empty. Wound against the outer one, the inner square is a hole for both.
    const std::vector<TPointF> sameWay = {{10, 10}, {50, 10}, {50, 50}, {10, 50}, {10, 10},
                                          {20, 20}, {40, 20}, {40, 40}, {20, 40}, {20, 20}};
    const std::vector<TPointF> againstWay = {{10, 10}, {50, 10}, {50, 50}, {10, 50}, {10, 10},
                                             {20, 20}, {20, 40}, {40, 40}, {40, 20}, {20, 20}};
    struct Case {
        const std::vector<TPointF>* shape;
        TFillRule rule;
        bool holeFilled;
    };
    for (const Case& c : {Case{&sameWay, TFillRule::NonZero, true}, Case{&sameWay, TFillRule::EvenOdd, false},
                          Case{&againstWay, TFillRule::NonZero, false}, Case{&againstWay, TFillRule::EvenOdd, false}}) {
        TPixelBuffer target(60, 60, 0);
        TPainter painter(target);
        painter.FillPolygon(*c.shape, kWhite, 255, c.rule);
        EXPECT_EQ(target.At(30, 30), c.holeFilled ? kWhite : 0u);
        EXPECT_EQ(target.At(15, 30), kWhite);
        EXPECT_EQ(target.At(5, 30), 0u);
        EXPECT_NEAR(CoverageSum(target), c.holeFilled ? 1600.0 : 1200.0, 0.5);
    }
}

TEST(TPainterPolygonTest, ClippingCutsExactlyWhereverTheShapeStarts) {
    // A shape reaching far left and right of the clip still fills the clip's part of it, and nothing
    // outside the clip is touched.
    const std::vector<TPointF> wide = {{-500.0f, 12.5f}, {900.0f, 12.5f}, {900.0f, 30.25f}, {-500.0f, 30.25f}};
    const std::vector<TPointF> triangle = {{-50.0f, 0.0f}, {70.0f, 40.0f}, {-50.0f, 40.0f}};
    TPixelBuffer target(60, 40, 0);
    TPainter painter(target);
    painter.PushClip(TRect{10, 10, 50, 35});
    painter.FillPolygon(wide, kWhite);
    painter.PopClip();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const bool inClip = x >= 10 && x < 50 && y >= 10 && y < 35;
            double expected = 0.0;
            if (inClip && y >= 13 && y < 30) expected = 1.0;
            if (inClip && y == 12) expected = 0.5;
            if (inClip && y == 30) expected = 0.25;
            ASSERT_NEAR(CoverageAt(target, x, y), expected, 1.0 / 255) << x << "," << y;
        }

    // Cut by the buffer edge only: the visible area is the triangle's part over x >= 0, y 0..40.
    TPixelBuffer second(60, 40, 0);
    TPainter secondPainter(second);
    secondPainter.FillPolygon(triangle, kWhite);
    // Below the hypotenuse y = (x + 50) / 3 over 0 <= x < 60: 40 × 60 less the integral of the line.
    const double visible = 40.0 * 60.0 - (60.0 * 60.0 / 2.0 + 50.0 * 60.0) / 3.0;
    EXPECT_NEAR(CoverageSum(second), visible, 1.0);
    EXPECT_EQ(second.At(0, 39), kWhite);
}

TEST(TPainterLineTest, LinesCoverTheirAreaAndJoinsAreDrawnOnce) {
    // A 1-pixel line along row 10's pixel centres fills exactly that row between its ends.
    TPixelBuffer target(40, 30, 0);
    TPainter painter(target);
    painter.DrawLine({2.0f, 10.5f}, {12.0f, 10.5f}, 1.0f, kWhite);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(target.At(x, y), (y == 10 && x >= 2 && x < 12) ? kWhite : 0u) << x << "," << y;

    // A diagonal 3-pixel line: its coverage is length × width.
    TPixelBuffer diagonal(40, 40, 0);
    TPainter diagonalPainter(diagonal);
    diagonalPainter.DrawLine({5.0f, 5.0f}, {35.0f, 25.0f}, 3.0f, kWhite);
    EXPECT_NEAR(CoverageSum(diagonal), std::hypot(30.0, 20.0) * 3.0, 0.5);

    // A translucent zig-zag: overlapping segment ends are not painted twice, so no pixel is brighter
    // than the opacity allows, and the joins leave no gap at the vertices.
    TPixelBuffer zig(60, 40, 0);
    TPainter zigPainter(zig);
    const TPointF points[] = {{5, 35}, {20, 5}, {35, 35}, {50, 5}};
    zigPainter.DrawPolyline(points, 4.0f, kWhite, 100);
    int maxBlue = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            maxBlue = std::max<int>(maxBlue, BlueOf(zig.At(x, y)));
    EXPECT_LE(maxBlue, 100);
    EXPECT_GE(maxBlue, 99);
    EXPECT_GE(BlueOf(zig.At(20, 5)), 99);
    EXPECT_GE(BlueOf(zig.At(35, 35)), 99);
}

TEST(TPainterTextTest, InkStaysInTheStringsBoxAndIsClipped) {
    const TGlyphAtlas& atlas = test::TestGlyphAtlas();
    const std::string_view text = "Io g-\xE9I"; // \xE9 is not in the atlas and is skipped
    TPixelBuffer target(80, 30, 0);
    TPainter painter(target);
    const int end = painter.DrawText(atlas, text, 5, 15, kWhite);
    EXPECT_EQ(end, 5 + atlas.TextWidth(text));
    EXPECT_EQ(atlas.TextWidth(text), 4 + 5 + 3 + 5 + 4 + 0 + 4);
    const TRect ink = atlas.InkBox(text, 5, 15);
    EXPECT_EQ(ink, (TRect{6, 8, 29, 18})); // 'I' from y 8 (7 above the baseline) to 'g' 3 rows below it
    EXPECT_TRUE(atlas.LineBox(text, 5, 15).Contains(ink));
    int inkPixels = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x)
            if (target.At(x, y) != 0u) {
                ++inkPixels;
                ASSERT_TRUE(ink.Contains(x, y)) << x << "," << y;
            }
    EXPECT_EQ(inkPixels, 14 + 14 + 18 + 3 + 14);
    EXPECT_EQ(target.At(6, 8), kWhite);            // 'I', full ink
    EXPECT_NEAR(BlueOf(target.At(9, 10)), 128, 1); // 'o', half-covered corner (its box starts at 9, 10)

    // Clipped to the middle of the 'I': only its columns within the clip are drawn.
    TPixelBuffer clipped(20, 20, 0);
    TPainter clipPainter(clipped);
    clipPainter.PushClip(TRect{0, 10, 20, 12});
    clipPainter.DrawText(atlas, "I", 0, 15, Rgb(10, 20, 30));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(clipped.At(x, y), ((x == 1 || x == 2) && (y == 10 || y == 11)) ? Rgb(10, 20, 30) : 0u);
}

} // namespace
} // namespace quillon
