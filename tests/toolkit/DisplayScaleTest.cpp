// Drawing at display scale 2: the same controls, laid out and driven in logical pixels, put their image
// frames, text and shapes at twice the position and size in a buffer of twice the size.
#include "toolkit/TBADIBButton.h"
#include "toolkit/TBADIBKnob.h"
#include "toolkit/TDIBEnvelope.h"
#include "toolkit/TDIBLabel.h"

#include "ControlTestSupport.h"
#include "support/TestGlyphAtlas.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

namespace quillon {
namespace {

using test::FrameColour;
using test::kBackdrop;

constexpr TPixel kInk = Rgb(200, 10, 10);
constexpr TPixel kFill = Rgb(200, 180, 20);

// The test atlas baked again for scale 2: every glyph box, bearing, advance and metric doubled and each
// coverage byte repeated over 2 × 2 pixels.
class DoubledAtlas {
public:
    DoubledAtlas() : atlas_(test::TestGlyphAtlas()) {
        const TGlyphAtlas& small = test::TestGlyphAtlas();
        coverage_.resize(static_cast<std::size_t>(small.atlasWidth * small.atlasHeight * 4));
        for (int y = 0; y < 2 * small.atlasHeight; ++y)
            for (int x = 0; x < 2 * small.atlasWidth; ++x)
                coverage_[static_cast<std::size_t>(y * 2 * small.atlasWidth + x)] =
                    small.coverage[(y / 2) * small.atlasWidth + x / 2];
        atlas_.scale = 2;
        atlas_.coverage = coverage_.data();
        atlas_.atlasWidth *= 2;
        atlas_.atlasHeight *= 2;
        atlas_.ascent *= 2;
        atlas_.descent *= 2;
        for (TGlyph& g : atlas_.glyphs) {
            g = TGlyph{static_cast<std::uint16_t>(g.atlasX * 2), static_cast<std::uint16_t>(g.atlasY * 2),
                       static_cast<std::uint8_t>(g.width * 2),   static_cast<std::uint8_t>(g.height * 2),
                       static_cast<std::int8_t>(g.bearingX * 2), static_cast<std::int8_t>(g.bearingY * 2),
                       static_cast<std::uint8_t>(g.advance * 2)};
        }
    }
    const TGlyphAtlas& Atlas() const { return atlas_; }

private:
    template <typename T> static T Twice(T v) { return static_cast<T>(v * 2); }

    std::vector<std::uint8_t> coverage_;
    TGlyphAtlas atlas_;
};

// One window of controls built for `scale`: the images of that scale (strips of frames 16 × 16 logical
// pixels) and the font of that scale; the buffer holds 200·scale × 120·scale device pixels.
struct ScaledScene {
    explicit ScaledScene(int scale, const TGlyphAtlas& font) : scale(scale), buffer(200 * scale, 120 * scale) {
        root.SetDirtyRegion(&dirty);
        images.Add(test::MakeStrip(11, 16 * scale, 16 * scale), test::kKey, scale);
        images.Add(test::MakeStrip(TBADIBButton::kFrames, 16 * scale, 16 * scale), test::kKey, scale);
        for (TDIBControl* control : std::initializer_list<TDIBControl*>{&knob, &button, &envelope})
            control->SetDIBImageList(&images);
        knob.SetFrames(11);
        knob.SetIndexMain(0);
        knob.SetMax(1000);
        button.ButtonBehavior = TButtonBehavior::bbAction;
        button.SetIndexMain(1);
        label.SetFont({&font, kInk});
        label.SetAlignment(TTextAlign::Centre);
        label.SetCaption("Io-g");
        envelope.SetFillBrush(TBrush{kFill, true});
        envelope.SetFillOpacity(255);
        envelope.SetFillPen(TPen{kFill, 1.0f, false}); // the fill alone, so its coverage can be compared
        envelope.SetLinePen(TPen{kFill, 1.0f, false});
        envelope.AddPoint(0, 100);
        envelope.AddPoint(37, 13);
        envelope.AddPoint(100, 71);
        for (TDIBControl* control : std::initializer_list<TDIBControl*>{&knob, &button, &label, &envelope})
            root.Add(*control);
    }
    const TPixelBuffer& Paint() {
        buffer.Fill(kBackdrop);
        TPainter painter(buffer, scale);
        root.Paint(painter);
        return buffer;
    }

    int scale;
    TDirtyRegion dirty;
    TDIBImageContainer root{TRect::FromSize(0, 0, 200, 120)};
    TMouseRouter router{root};
    TPixelBuffer buffer;
    TDIBImageList images;
    TBADIBKnob knob{TRect::FromSize(20, 30, 5, 5)};
    TBADIBButton button{TRect::FromSize(50, 30, 16, 16)};
    TDIBLabel label{TRect::FromSize(80, 10, 50, 14)};
    TDIBEnvelope envelope{TRect::FromSize(90, 40, 100, 60)};
};

// True when every device pixel of `area` (logical, scaled here) has `colour`, except the key-coloured
// corner pixel of the frame, where the backdrop shows.
bool FrameShown(const TPixelBuffer& buffer, int scale, const TRect& area, TPixel colour) {
    for (int y = area.top * scale; y < area.bottom * scale; ++y)
        for (int x = area.left * scale; x < area.right * scale; ++x) {
            const bool corner = x == area.left * scale && y == area.top * scale;
            if (buffer.At(x, y) != (corner ? kBackdrop : colour)) return false;
        }
    return buffer.At(area.left * scale - 1, area.top * scale) == kBackdrop &&
           buffer.At(area.right * scale, area.bottom * scale - 1) == kBackdrop;
}

// The device pixels with ink inside the logical rectangle `area`.
std::set<std::pair<int, int>> InkOf(const TPixelBuffer& buffer, int scale, const TRect& area) {
    std::set<std::pair<int, int>> ink;
    for (int y = area.top * scale; y < area.bottom * scale; ++y)
        for (int x = area.left * scale; x < area.right * scale; ++x)
            if (buffer.At(x, y) != kBackdrop) ink.emplace(x, y);
    return ink;
}

TEST(DisplayScale, ImageFramesLandAtTwiceThePositionAndSizeWhileInputStaysLogical) {
    const DoubledAtlas doubled;
    ScaledScene scene(2, doubled.Atlas());
    EXPECT_EQ(scene.knob.Bounds(), TRect::FromSize(20, 30, 16, 16)) << "sized from the logical frame";
    scene.knob.SetPosition(500);
    EXPECT_TRUE(FrameShown(scene.Paint(), 2, scene.knob.Bounds(), FrameColour(5)));
    // A press in logical pixels shows the pressed frame over the doubled rectangle.
    scene.router.MouseDown(TMouseEvent{58, 38});
    EXPECT_EQ(scene.button.State(), 1);
    EXPECT_TRUE(FrameShown(scene.Paint(), 2, scene.button.Bounds(), FrameColour(1)));
    scene.router.MouseUp(TMouseEvent{58, 38});
    EXPECT_TRUE(FrameShown(scene.Paint(), 2, scene.button.Bounds(), FrameColour(0)));
}

// Text from an atlas baked at twice the size covers exactly the doubled pixels of the text at scale 1 (the
// layout uses the same logical metrics); the fill's coverage is exact by area, so each 2 × 2 block of it at
// scale 2 averages to the pixel at scale 1, while its slopes are drawn with device pixels.
TEST(DisplayScale, TextAndShapesAreSetAtDeviceResolutionOverTheDoubledArea) {
    const DoubledAtlas doubled;
    EXPECT_EQ(doubled.Atlas().TextWidth("Io-g"), test::TestGlyphAtlas().TextWidth("Io-g"));
    EXPECT_EQ(doubled.Atlas().Ascent(), test::TestGlyphAtlas().Ascent());
    ScaledScene small(1, test::TestGlyphAtlas());
    ScaledScene large(2, doubled.Atlas());
    const TPixelBuffer& one = small.Paint();
    const TPixelBuffer& two = large.Paint();
    std::set<std::pair<int, int>> doubledInk;
    for (const auto& [x, y] : InkOf(one, 1, small.label.WindowRect()))
        for (int d = 0; d < 4; ++d)
            doubledInk.emplace(2 * x + d % 2, 2 * y + d / 2);
    EXPECT_FALSE(doubledInk.empty());
    EXPECT_EQ(InkOf(two, 2, large.label.WindowRect()), doubledInk);

    const TRect area = small.envelope.WindowRect();
    int mixedBlocks = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            int green = 0;
            for (int d = 0; d < 4; ++d)
                green += GreenOf(two.At(2 * x + d % 2, 2 * y + d / 2));
            ASSERT_LE(std::abs(green / 4 - GreenOf(one.At(x, y))), 2) << x << "," << y;
            mixedBlocks += two.At(2 * x, 2 * y) != two.At(2 * x + 1, 2 * y + 1) ? 1 : 0;
        }
    EXPECT_GT(mixedBlocks, 60) << "the slopes are not doubled logical pixels";
}

} // namespace
} // namespace quillon
