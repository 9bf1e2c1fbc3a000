// The skin as it is stored in the plug-in: every image of the skin table and the baked fonts, drawn for one
// display scale, in one little-endian archive. The build-time art generator composes it; the editor parses
// it when it opens.
//
// Layout (all integers little-endian)
//   header   "QSKN", u32 version (1), u32 scale, u32 image count, u32 font count
//   image    u32 index, u32 width, u32 height, u32 key (0x00RRGGBB, or 0xFFFFFFFF for an opaque image),
//            u32 packed size, then a zlib stream of `height` filtered rows
//   font     u32 name length, the name (ASCII), i32 pixel size, ascent, descent, line height, u32 atlas
//            width, atlas height, 256 glyph records (u16 x, u16 y, u8 width, u8 height, i8 bearing x,
//            i8 bearing y, u8 advance), u32 packed size, then a zlib stream of the filtered coverage rows
// A filtered row is one filter byte and the row's bytes (image pixels as B, G, R; coverage as one byte per
// pixel), each byte replaced by its difference from a prediction made of its left, upper and upper-left
// neighbours, as PNG does (0 none, 1 left, 2 up, 3 average, 4 Paeth). Smooth art compresses several
// times better so.
//
// Parsing refuses anything malformed (a wrong tag or version, sizes beyond the archive or beyond sane
// limits, a bad zlib stream or filter byte) with TSkinArchiveError and never reads outside the data. [any]
#pragma once

#include "toolkit/TGlyphAtlas.h"
#include "toolkit/TPixelBuffer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {

class TSkinArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TSkinArchiveImage {
    int index = 0;
    TPixelBuffer pixels;
    std::optional<TPixel> key;
};

// A baked font: the atlas refers to `coverage`, which the font owns. Fonts move but do not copy, so the
// reference stays valid.
struct TBakedFont {
    std::string name; // the face and size, for example "Sans 10"
    TGlyphAtlas atlas;
    std::vector<std::uint8_t> coverage;

    TBakedFont() = default;
    TBakedFont(TBakedFont&&) = default;
    TBakedFont& operator=(TBakedFont&&) = default;
    TBakedFont(const TBakedFont&) = delete;
    TBakedFont& operator=(const TBakedFont&) = delete;
    ~TBakedFont() = default;
};

struct TSkinArchive {
    int scale = 1;
    std::vector<TSkinArchiveImage> images;
    std::vector<TBakedFont> fonts;

    // The font of that name, or null.
    const TBakedFont* Font(std::string_view name) const;
};

// The archive's bytes. Images are compressed at zlib level 9 after filtering.
std::vector<std::uint8_t> ComposeSkinArchive(const TSkinArchive& archive);
// Throws TSkinArchiveError.
TSkinArchive ParseSkinArchive(std::span<const std::uint8_t> data);

} // namespace quillon
