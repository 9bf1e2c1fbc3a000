#include "FontBaker.h"

#include "TArtCanvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>
#include <string>

namespace quillon::skingen {

namespace {

struct TFreeType {
    FT_Library library = nullptr;
    TFreeType() {
        if (FT_Init_FreeType(&library) != 0) throw std::runtime_error("FreeType did not start");
    }
    ~TFreeType() { FT_Done_FreeType(library); }
    TFreeType(const TFreeType&) = delete;
    TFreeType& operator=(const TFreeType&) = delete;
};

struct TGlyphBitmap {
    int width = 0, height = 0, left = 0, top = 0, advance = 0;
    std::vector<std::uint8_t> coverage;
};

// The glyph of `code` rendered into 8-bit coverage, enlarged `enlarge` times pixel by pixel.
TGlyphBitmap Render(FT_Face face, unsigned code, bool bitmapFont, int enlarge) {
    TGlyphBitmap glyph;
    const FT_UInt index = FT_Get_Char_Index(face, code);
    if (index == 0) return glyph;
    const FT_Int32 flags = bitmapFont ? FT_LOAD_RENDER | FT_LOAD_TARGET_MONO : FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT;
    if (FT_Load_Glyph(face, index, flags) != 0) return glyph;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.width = static_cast<int>(bitmap.width) * enlarge;
    glyph.height = static_cast<int>(bitmap.rows) * enlarge;
    glyph.left = slot->bitmap_left * enlarge;
    glyph.top = slot->bitmap_top * enlarge;
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6) * enlarge;
    glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * glyph.height, 0);
    for (int y = 0; y < glyph.height; ++y)
        for (int x = 0; x < glyph.width; ++x) {
            const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y / enlarge) * bitmap.pitch;
            const int sx = x / enlarge;
            const std::uint8_t value =
                bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[sx >> 3] >> (7 - (sx & 7))) & 1 ? 255 : 0) : row[sx];
            glyph.coverage[static_cast<std::size_t>(y) * glyph.width + x] = value;
        }
    if (code == ' ') glyph.width = glyph.height = 0; // a blank: advance only
    return glyph;
}

TBakedFont Bake(const TFreeType& freeType, const std::string& name, const char* path, int pixelSize, int scale,
                bool bitmapFont) {
    FT_Face face = nullptr;
    if (FT_New_Face(freeType.library, path, 0, &face) != 0)
        throw std::runtime_error(std::string("cannot open the font ") + path);
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    int enlarge = 1;
    if (bitmapFont) {
        if (face->num_fixed_sizes < 1 || FT_Select_Size(face, 0) != 0)
            throw std::runtime_error(std::string("no bitmap size in ") + path);
        enlarge = scale;
    } else {
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize * scale));
    }

    TBakedFont font;
    font.name = name;
    TGlyphAtlas& atlas = font.atlas;
    atlas.pixelSize = pixelSize;
    atlas.scale = scale;
    const FT_Size_Metrics& metrics = face->size->metrics;
    atlas.ascent = static_cast<int>((metrics.ascender + 63) >> 6) * enlarge;
    atlas.descent = static_cast<int>((-metrics.descender + 63) >> 6) * enlarge;
    atlas.lineHeight = std::max(static_cast<int>((metrics.height + 63) >> 6) * enlarge, atlas.ascent + atlas.descent);

    std::vector<TGlyphBitmap> glyphs(256);
    for (unsigned code = 32; code < 256; ++code)
        if (code < 127 || code >= 160) glyphs[code] = Render(face, code, bitmapFont, enlarge);
    FT_Done_Face(face);

    // Shelf packing, one pixel apart, into an atlas 256 pixels wide per scale.
    const int atlasWidth = 256 * scale;
    int x = 0, y = 0, shelf = 0;
    for (unsigned code = 0; code < 256; ++code) {
        const TGlyphBitmap& g = glyphs[code];
        TGlyph& out = atlas.glyphs[code];
        out.advance = static_cast<std::uint8_t>(std::clamp(g.advance, 0, 255));
        out.bearingX = static_cast<std::int8_t>(std::clamp(g.left, -128, 127));
        out.bearingY = static_cast<std::int8_t>(std::clamp(g.top, -128, 127));
        if (g.width == 0 || g.height == 0) continue;
        if (x + g.width > atlasWidth) {
            x = 0;
            y += shelf + 1;
            shelf = 0;
        }
        out.atlasX = static_cast<std::uint16_t>(x);
        out.atlasY = static_cast<std::uint16_t>(y);
        out.width = static_cast<std::uint8_t>(g.width);
        out.height = static_cast<std::uint8_t>(g.height);
        x += g.width + 1;
        shelf = std::max(shelf, g.height);
    }
    atlas.atlasWidth = atlasWidth;
    atlas.atlasHeight = y + shelf;
    font.coverage.assign(static_cast<std::size_t>(atlas.atlasWidth) * atlas.atlasHeight, 0);
    for (unsigned code = 0; code < 256; ++code) {
        const TGlyphBitmap& g = glyphs[code];
        const TGlyph& out = atlas.glyphs[code];
        for (int row = 0; row < out.height; ++row)
            std::copy_n(g.coverage.begin() + static_cast<std::ptrdiff_t>(row) * g.width, out.width,
                        font.coverage.begin() + static_cast<std::ptrdiff_t>(out.atlasY + row) * atlas.atlasWidth +
                            out.atlasX);
    }
    atlas.coverage = font.coverage.data();
    return font;
}

} // namespace

std::vector<TBakedFont> BakeEditorFonts(int scale) {
    const TFreeType freeType;
    std::vector<TBakedFont> fonts;
    fonts.push_back(Bake(freeType, "Sans 10", FontPath(TFace::Sans), 10, scale, false));
    fonts.push_back(Bake(freeType, "Sans 11", FontPath(TFace::Sans), 11, scale, false));
    fonts.push_back(Bake(freeType, "Sans Bold 11", FontPath(TFace::SansBold), 11, scale, false));
    fonts.push_back(Bake(freeType, "Narrow 10", FontPath(TFace::Narrow), 10, scale, false));
    fonts.push_back(Bake(freeType, "Pixel 8", QUILLON_FONT_PIXEL, 8, scale, true));
    return fonts;
}

} // namespace quillon::skingen
