// A baked font: the 8-bit coverage of every Latin-1 glyph of one font at one pixel size and display scale,
// packed into a single atlas image, with the metrics needed to set a line of text.
//
// Format
// - coverage: atlasWidth × atlasHeight bytes, row by row (stride = atlasWidth), 0 = no ink, 255 = full.
// - glyphs: indexed by the Latin-1 code (0 … 255). A glyph's box is width × height pixels at (atlasX,
//   atlasY) in the atlas; it is drawn with its left edge bearingX pixels right of the pen and its top
//   edge bearingY pixels above the baseline; the pen then moves right by `advance`. A code the font
//   lacks has advance 0 and an empty box and is skipped; a blank (space) has an advance and an empty box.
// - pixelSize is the nominal size at scale 1; scale is the display scale the atlas was baked for (1, 2),
//   so every field here is in device pixels already. Layout works in logical pixels: Ascent(), Descent(),
//   LineHeight() and TextWidth() give the device metrics divided by the scale, rounded up, so a box made
//   from them holds the ink at every scale and text is placed the same way at 1 and at 2.
// Atlases are plain data, made by the build-time font generator (or by hand in tests) and never changed
// while in use; the struct refers to its coverage bytes and does not own them. [any]
#pragma once

#include "toolkit/TPixelBuffer.h"
#include "toolkit/TRect.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace quillon {

struct TGlyph {
    std::uint16_t atlasX = 0;
    std::uint16_t atlasY = 0;
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::int8_t bearingX = 0;
    std::int8_t bearingY = 0;
    std::uint8_t advance = 0;
};

struct TGlyphAtlas {
    int pixelSize = 0;
    int scale = 1;
    int ascent = 0;     // device pixels above the baseline that a line may use
    int descent = 0;    // device pixels below it
    int lineHeight = 0; // baseline to baseline, device pixels
    const std::uint8_t* coverage = nullptr;
    int atlasWidth = 0;
    int atlasHeight = 0;
    std::array<TGlyph, 256> glyphs{};

    const TGlyph& GlyphOf(char c) const { return glyphs[static_cast<unsigned char>(c)]; }

    // Logical metrics.
    int Logical(int device) const { return scale > 1 ? (device + scale - 1) / scale : device; }
    int Ascent() const { return Logical(ascent); }
    int Descent() const { return Logical(descent); }
    int LineHeight() const { return Logical(lineHeight); }
    // The pen movement of `latin1` from its start, in logical pixels.
    int TextWidth(std::string_view latin1) const { return Logical(DeviceTextWidth(latin1)); }
    // The same in device pixels.
    int DeviceTextWidth(std::string_view latin1) const;
    // The union of the ink boxes of `latin1` set with the pen at x on `baseline`, all in device pixels;
    // empty with no ink.
    TRect InkBox(std::string_view latin1, int x, int baseline) const;
    // The logical line box: from x over TextWidth, from baseline - Ascent() to baseline + Descent().
    TRect LineBox(std::string_view latin1, int x, int baseline) const {
        return TRect{x, baseline - Ascent(), x + TextWidth(latin1), baseline + Descent()};
    }
};

// The font text is drawn in: a baked glyph atlas (none: no text) and a colour.
struct TDIBFont {
    const TGlyphAtlas* atlas = nullptr;
    TPixel colour = 0;
};

} // namespace quillon
