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
//   so every metric here is in device pixels already.
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
    int ascent = 0;     // pixels above the baseline that a line may use
    int descent = 0;    // pixels below it
    int lineHeight = 0; // baseline to baseline
    const std::uint8_t* coverage = nullptr;
    int atlasWidth = 0;
    int atlasHeight = 0;
    std::array<TGlyph, 256> glyphs{};

    const TGlyph& GlyphOf(char c) const { return glyphs[static_cast<unsigned char>(c)]; }
    // The pen movement of `latin1` from its start, in pixels.
    int TextWidth(std::string_view latin1) const;
    // The union of the ink boxes of `latin1` set with the pen at x on `baseline`; empty with no ink.
    TRect InkBox(std::string_view latin1, int x, int baseline) const;
    // The line box: from x over TextWidth, from baseline - ascent to baseline + descent.
    TRect LineBox(std::string_view latin1, int x, int baseline) const {
        return TRect{x, baseline - ascent, x + TextWidth(latin1), baseline + descent};
    }
};

// The font text is drawn in: a baked glyph atlas (none: no text) and a colour.
struct TDIBFont {
    const TGlyphAtlas* atlas = nullptr;
    TPixel colour = 0;
};

} // namespace quillon
