// The tool's PNG writer read back by an independent decoder: valid chunks, and exactly the pixels given.
#include "PngEncoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace quillon {
namespace {

// The colour type and the unfiltered samples of 8-bit PNG bytes; colour type -1 when the chunks are not valid.
std::pair<int, std::vector<std::uint8_t>> Decode(const std::vector<std::uint8_t>& png) {
    const auto word = [&](std::size_t at) {
        return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 | std::uint32_t{png[at + 2]} << 8 |
               png[at + 3];
    };
    std::uint32_t width = 0, height = 0, channels = 0;
    int colour = -1;
    std::vector<std::uint8_t> packed;
    std::string types;
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + word(at)) {
        const std::uint32_t length = word(at);
        if (at + 12 + length > png.size() || crc32(0, &png[at + 4], length + 4) != word(at + 8 + length))
            return {-1, {}};
        types.append(reinterpret_cast<const char*>(&png[at + 4]), 4);
        if (types == "IHDR") {
            width = word(at + 8), height = word(at + 12), colour = png[at + 17];
            channels = colour == 0 ? 1 : colour == 2 ? 3 : 4;
        }
        if (types.ends_with("IDAT")) packed.insert(packed.end(), &png[at + 8], &png[at + 8] + length);
    }
    if (png[0] != 0x89 || types != "IHDRIDATIEND") return {-1, {}};
    const std::size_t stride = std::size_t{width} * channels;
    std::vector<std::uint8_t> raw((stride + 1) * height), out(stride * height);
    uLongf size = raw.size();
    if (uncompress(raw.data(), &size, packed.data(), packed.size()) != Z_OK || size != raw.size()) return {-1, {}};
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t i = 0; i < stride; ++i) {
            const int a = i >= channels ? out[y * stride + i - channels] : 0, b = y > 0 ? out[(y - 1) * stride + i] : 0;
            const int c = y > 0 && i >= channels ? out[(y - 1) * stride + i - channels] : 0, p = a + b - c;
            const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c) ? a
                              : std::abs(p - b) <= std::abs(p - c)                                     ? b
                                                                                                       : c;
            const int predictors[] = {0, a, b, (a + b) / 2, paeth};
            out[y * stride + i] =
                static_cast<std::uint8_t>(raw[y * (stride + 1) + 1 + i] + predictors[raw[y * (stride + 1)]]);
        }
    return {colour, out};
}

TEST(PngEncoder, WritesRgbKeyedRgbaAndGreyImagesThatDecodeToTheSamePixels) {
    // Flat areas, gradients and noise, so that every row filter has its chance.
    TPixelBuffer picture(67, 45);
    std::uint32_t noise = 12345;
    std::vector<std::uint8_t> expected;
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 67; ++x) {
            noise = noise * 1103515245U + 12345U;
            const TPixel p = y < 15   ? 0x336699U
                             : y < 30 ? TPixel(x * 3 << 16 | y * 2 << 8 | (x ^ y))
                                      : noise >> 8 & 0xffffffU;
            picture.At(x, y) = p | 0x5a000000U; // the top byte is not part of the colour
            expected.insert(expected.end(), {RedOf(p), GreenOf(p), BlueOf(p)});
        }
    EXPECT_EQ(Decode(EncodePng(picture)), std::make_pair(2, expected));

    // The key colour (whatever the top byte) becomes transparent, everything else opaque.
    TPixelBuffer keyed(3, 1, 0xff00ff);
    keyed.At(1, 0) = 0x010203;
    keyed.At(2, 0) = 0x7fff00ff;
    EXPECT_EQ(Decode(EncodePng(keyed, TPixel{0xff00ff})),
              std::make_pair(6, std::vector<std::uint8_t>{255, 0, 255, 0, 1, 2, 3, 255, 255, 0, 255, 0}));

    const std::vector<std::uint8_t> grey = {0, 10, 20, 30, 40, 50, 60, 70, 255, 254, 0, 1};
    EXPECT_EQ(Decode(EncodeGreyPng(grey, 4, 3)), std::make_pair(0, grey));
    EXPECT_THROW(EncodePng(TPixelBuffer(0, 5)), TPngError);
    EXPECT_THROW(EncodeGreyPng(grey, 4, 4), TPngError) << "shorter than its size";
}

} // namespace
} // namespace quillon
