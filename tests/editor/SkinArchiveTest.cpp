// The skin archive as the editor meets it: the archives compiled into the plug-in decode against the skin
// table at both scales with usable fonts, an archive survives composing and parsing bit for bit, and
// damaged data is refused with TSkinArchiveError rather than read past its end.
#include "editor/SkinArchive.h"
#include "editor/EmbeddedSkin.h"
#include "editor/SkinTable.h"
#include "editor/TEditorSkin.h"

#include <gtest/gtest.h>

#include <string_view>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace quillon {
namespace {

bool FrameAllKey(const TPixelBuffer& pixels, int frame, int frameWidth, TPixel key) {
    for (int y = 0; y < pixels.Height(); ++y)
        for (int x = frame * frameWidth; x < (frame + 1) * frameWidth; ++x)
            if ((pixels.At(x, y) & kRgbMask) != key) return false;
    return true;
}

bool HasKeyPixel(const TPixelBuffer& pixels, TPixel key) {
    for (int y = 0; y < pixels.Height(); ++y)
        for (int x = 0; x < pixels.Width(); ++x)
            if ((pixels.At(x, y) & kRgbMask) == key) return true;
    return false;
}

class EmbeddedSkinTest : public ::testing::TestWithParam<int> {};

TEST_P(EmbeddedSkinTest, HoldsEveryImageAtTheTableSizeWithKeysWhereTheTableSays) {
    const int scale = GetParam();
    const TEditorSkin skin = TEditorSkin::Embedded(scale);
    EXPECT_EQ(skin.Scale(), scale);
    ASSERT_EQ(skin.Images().Count(), kSkinImageCount);
    for (int i = 0; i < kSkinImageCount; ++i) {
        const TSkinImage& expected = SkinImage(i);
        const TDIBImageEntry& image = *skin.Images().Image(i);
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(image.pixels.Width(), expected.width * scale);
        EXPECT_EQ(image.pixels.Height(), expected.height * scale);
        ASSERT_EQ(image.key.has_value(), expected.keyed);
        if (!expected.keyed) continue;
        EXPECT_EQ(*image.key, kSkinKeyColour);
        EXPECT_TRUE(HasKeyPixel(image.pixels, kSkinKeyColour)) << "a keyed image leaves nothing out";
        // The buttons' effect layer glows only when they are on; its off frames may show nothing.
        const bool offFramesMayBeEmpty = std::string_view(expected.name) == "St button fx";
        for (int frame = 0; frame < expected.frames; ++frame) {
            if (offFramesMayBeEmpty && (frame == 0 || frame == 3)) continue;
            EXPECT_FALSE(FrameAllKey(image.pixels, frame, expected.FrameWidth() * scale, kSkinKeyColour))
                << "frame " << frame << " is invisible";
        }
    }
    EXPECT_GT(skin.DecodedBytes(), 0u);
}

TEST_P(EmbeddedSkinTest, BakesEveryFontWithLettersDigitsAndLatin1) {
    const int scale = GetParam();
    const TEditorSkin skin = TEditorSkin::Embedded(scale);
    std::string wanted = "\xE9\xC9\xFC\xDF\xF1\xE0\xF6";
    for (char c = 'A'; c <= 'Z'; ++c)
        wanted += {c, static_cast<char>(c - 'A' + 'a')};
    for (char c = '0'; c <= '9'; ++c)
        wanted += c;
    for (const char* name : {"Sans 10", "Sans 11", "Sans Bold 11", "Narrow 10", "Pixel 8"}) {
        const TGlyphAtlas* font = skin.Font(name);
        ASSERT_NE(font, nullptr) << name;
        EXPECT_EQ(font->scale, scale) << name;
        EXPECT_GT(font->lineHeight, 0) << name;
        for (const char c : wanted) {
            const TGlyph& glyph = font->GlyphOf(c);
            EXPECT_TRUE(glyph.advance > 0 && glyph.width > 0 && glyph.height > 0)
                << name << " lacks the glyph 0x" << std::hex << (static_cast<unsigned>(c) & 0xFF);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, EmbeddedSkinTest, ::testing::Values(1, 2));

// An archive whose images use every row filter: a gradient, noise, and a keyed image with key runs.
TSkinArchive SampleArchive() {
    TSkinArchive archive;
    archive.scale = 2;
    TPixelBuffer smooth(37, 11);
    TPixelBuffer keyed(19, 23);
    std::uint32_t noise = 12345;
    for (int y = 0; y < smooth.Height(); ++y)
        for (int x = 0; x < smooth.Width(); ++x)
            smooth.At(x, y) = Rgb(static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 20), 90);
    for (int y = 0; y < keyed.Height(); ++y)
        for (int x = 0; x < keyed.Width(); ++x) {
            noise = noise * 1664525u + 1013904223u;
            keyed.At(x, y) = (x + y) % 5 == 0 ? kSkinKeyColour : (noise >> 8) & kRgbMask;
        }
    archive.images.push_back({3, std::move(smooth), std::nullopt});
    archive.images.push_back({17, std::move(keyed), kSkinKeyColour});

    TBakedFont font;
    font.name = "Sans 10";
    font.coverage.resize(16 * 9);
    for (std::size_t i = 0; i < font.coverage.size(); ++i)
        font.coverage[i] = static_cast<std::uint8_t>(i * 37 % 256);
    font.atlas = TGlyphAtlas{.pixelSize = 10,
                             .scale = 2,
                             .ascent = 18,
                             .descent = 5,
                             .lineHeight = 24,
                             .coverage = font.coverage.data(),
                             .atlasWidth = 16,
                             .atlasHeight = 9};
    font.atlas.glyphs[static_cast<unsigned char>('A')] = TGlyph{2, 1, 7, 8, -1, 8, 9};
    font.atlas.glyphs[0xE9] = TGlyph{9, 0, 6, 9, 0, 9, 7};
    archive.fonts.push_back(std::move(font));
    return archive;
}

TEST(SkinArchive, ComposingAndParsingKeepsEveryPixelGlyphAndCoverageByte) {
    const TSkinArchive original = SampleArchive();
    const TSkinArchive parsed = ParseSkinArchive(ComposeSkinArchive(original));
    EXPECT_EQ(parsed.scale, 2);
    ASSERT_EQ(parsed.images.size(), original.images.size());
    for (std::size_t i = 0; i < original.images.size(); ++i) {
        const TSkinArchiveImage& a = original.images[i];
        const TSkinArchiveImage& b = parsed.images[i];
        EXPECT_EQ(b.index, a.index);
        EXPECT_EQ(b.key, a.key);
        ASSERT_EQ(b.pixels.Width(), a.pixels.Width());
        ASSERT_EQ(b.pixels.Height(), a.pixels.Height());
        for (int y = 0; y < a.pixels.Height(); ++y)
            for (int x = 0; x < a.pixels.Width(); ++x)
                ASSERT_EQ(b.pixels.At(x, y) & kRgbMask, a.pixels.At(x, y)) << "image " << i << " at " << x << "," << y;
    }
    const TBakedFont* font = parsed.Font("Sans 10");
    ASSERT_NE(font, nullptr);
    const TGlyphAtlas& a = original.fonts[0].atlas;
    const TGlyphAtlas& b = font->atlas;
    EXPECT_EQ(font->coverage, original.fonts[0].coverage);
    EXPECT_EQ(b.coverage, font->coverage.data());
    EXPECT_EQ(std::tie(b.pixelSize, b.scale, b.ascent, b.descent, b.lineHeight, b.atlasWidth, b.atlasHeight),
              std::tie(a.pixelSize, a.scale, a.ascent, a.descent, a.lineHeight, a.atlasWidth, a.atlasHeight));
    for (std::size_t c = 0; c < 256; ++c)
        EXPECT_EQ(std::memcmp(&b.glyphs[c], &a.glyphs[c], sizeof(TGlyph)), 0) << "glyph " << c;
}

TEST(SkinArchive, RefusesDamagedData) {
    const std::vector<std::uint8_t> good = ComposeSkinArchive(SampleArchive());
    auto refused = [](const std::vector<std::uint8_t>& bytes) {
        try {
            ParseSkinArchive(bytes);
        } catch (const TSkinArchiveError&) {
            return true;
        }
        return false;
    };
    auto putU32 = [](std::vector<std::uint8_t> bytes, std::size_t at, std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            bytes[at + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(v >> (8 * b));
        return bytes;
    };
    ASSERT_FALSE(refused(good));

    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_TRUE(refused({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)}))
            << "cut to " << length << " bytes";

    std::vector<std::uint8_t> tag = good;
    tag[3] = 'X';
    EXPECT_TRUE(refused(tag)) << "wrong tag";
    EXPECT_TRUE(refused(putU32(good, 4, 2))) << "unknown version";

    // The first image's record starts after the 20-byte header: index, width, height, key, packed size.
    EXPECT_TRUE(refused(putU32(good, 24, 0x7FFFFFFF))) << "impossible width";
    EXPECT_TRUE(refused(putU32(putU32(good, 24, 16000), 28, 16000))) << "impossible area";
    EXPECT_TRUE(refused(putU32(good, 36, 0xFFFFFFF0))) << "packed size beyond the data";

    std::vector<std::uint8_t> stream = good;
    for (std::size_t at = 40; at < 48; ++at)
        stream[at] ^= 0xA5;
    EXPECT_TRUE(refused(stream)) << "corrupt zlib stream";
    std::vector<std::uint8_t> tail = good;
    tail.push_back(0);
    EXPECT_TRUE(refused(tail)) << "data after the end";
}

TEST(SkinArchive, TheEditorRefusesAnArchiveThatDoesNotMatchTheTable) {
    EXPECT_THROW(TEditorSkin::Decode(ComposeSkinArchive(SampleArchive())), TSkinArchiveError);
    EXPECT_THROW(TEditorSkin::Embedded(3), TSkinArchiveError);
    EXPECT_TRUE(EmbeddedSkinArchive(0).empty());
}

} // namespace
} // namespace quillon
