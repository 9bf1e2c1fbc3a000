#include "support/TestGlyphAtlas.h"

#include <string_view>
#include <vector>

namespace quillon::test {

namespace {

struct ArtGlyph {
    char code;
    int bearingX;
    int bearingY;
    int advance;
    std::vector<std::string_view> rows; // '#' full ink, '+' half, '.' none
};

TGlyphAtlas Build() {
    static const std::vector<ArtGlyph> art = {
        {'I', 1, 7, 4, {"##", "##", "##", "##", "##", "##", "##"}},
        {'o', 0, 5, 5, {"+##+", "#..#", "#..#", "#..#", "+##+"}},
        {'g', 0, 4, 5, {"+###", "#..#", "+###", "...#", "...#", "#..#", "+##+"}},
        {'-', 0, 3, 4, {"###"}},
    };
    constexpr int kAtlasWidth = 32;
    constexpr int kAtlasHeight = 8;
    static std::vector<std::uint8_t> coverage(kAtlasWidth * kAtlasHeight, 0);
    TGlyphAtlas atlas;
    atlas.pixelSize = 10;
    atlas.scale = 1;
    atlas.ascent = 7;
    atlas.descent = 3;
    atlas.lineHeight = 11;
    atlas.atlasWidth = kAtlasWidth;
    atlas.atlasHeight = kAtlasHeight;
    int x = 0;
    for (const ArtGlyph& g : art) {
        TGlyph& glyph = atlas.glyphs[static_cast<unsigned char>(g.code)];
        glyph.atlasX = static_cast<std::uint16_t>(x);
        glyph.atlasY = 0;
        glyph.width = static_cast<std::uint8_t>(g.rows[0].size());
        glyph.height = static_cast<std::uint8_t>(g.rows.size());
        glyph.bearingX = static_cast<std::int8_t>(g.bearingX);
        glyph.bearingY = static_cast<std::int8_t>(g.bearingY);
        glyph.advance = static_cast<std::uint8_t>(g.advance);
        for (std::size_t r = 0; r < g.rows.size(); ++r) {
            for (std::size_t c = 0; c < g.rows[r].size(); ++c) {
                const char ink = g.rows[r][c];
                coverage[r * kAtlasWidth + static_cast<std::size_t>(x) + c] = ink == '#' ? 255 : ink == '+' ? 128 : 0;
            }
        }
        x += glyph.width + 1;
    }
    atlas.glyphs[' '].advance = 3;
    atlas.coverage = coverage.data();
    return atlas;
}

} // namespace

const TGlyphAtlas& TestGlyphAtlas() {
    static const TGlyphAtlas atlas = Build();
    return atlas;
}

} // namespace quillon::test
