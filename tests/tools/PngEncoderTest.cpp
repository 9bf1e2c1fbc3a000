// The tool's PNG writer read back by an independent decoder: valid chunks, and exactly the pixels given.
#include "PngEncoder.h"

#include "support/PngImage.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

test::TPngImage Decoded(const std::vector<std::uint8_t>& bytes) {
    std::string error;
    const auto image = test::DecodePng(bytes, error);
    EXPECT_TRUE(image.has_value()) << error;
    return image.value_or(test::TPngImage{});
}

// A picture with flat areas, gradients and noise, so that every row filter has its chance.
TPixelBuffer Picture(int width, int height) {
    TPixelBuffer buffer(width, height);
    std::uint32_t noise = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245U + 12345U;
            buffer.At(x, y) = y < height / 3       ? 0x336699U
                              : y < 2 * height / 3 ? static_cast<TPixel>((x * 3) << 16 | (y * 2) << 8 | (x ^ y))
                                                   : (noise >> 8) & 0xffffffU;
        }
    return buffer;
}

TEST(PngEncoder, WritesRgbKeyedRgbaAndGreyImagesThatDecodeToTheSamePixels) {
    const TPixelBuffer picture = Picture(67, 45);
    const test::TPngImage rgb = Decoded(EncodePng(picture));
    EXPECT_EQ(rgb.chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    ASSERT_EQ(rgb.width, 67u);
    ASSERT_EQ(rgb.height, 45u);
    ASSERT_EQ(rgb.colourType, 2);
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 67; ++x) {
            const std::uint8_t* p = &rgb.samples[(static_cast<std::size_t>(y) * 67 + x) * 3];
            ASSERT_EQ(static_cast<TPixel>(p[0] << 16 | p[1] << 8 | p[2]), picture.At(x, y) & kRgbMask) << x << "," << y;
        }

    // The key colour (whatever the top byte) becomes transparent, everything else opaque.
    TPixelBuffer keyed(3, 2, 0xff00ff);
    keyed.At(1, 0) = 0x010203;
    keyed.At(2, 1) = 0x7fff00ff;
    const test::TPngImage rgba = Decoded(EncodePng(keyed, TPixel{0xff00ff}));
    ASSERT_EQ(rgba.colourType, 6);
    const std::vector<std::uint8_t> expected = {255, 0, 255, 0, 1,   2, 3,   255, 255, 0, 255, 0,
                                                255, 0, 255, 0, 255, 0, 255, 0,   255, 0, 255, 0};
    EXPECT_EQ(rgba.samples, expected);

    const std::vector<std::uint8_t> grey = {0, 10, 20, 30, 40, 50, 60, 70, 255, 254, 0, 1};
    const test::TPngImage greyImage = Decoded(EncodeGreyPng(grey, 4, 3));
    EXPECT_EQ(greyImage.colourType, 0);
    EXPECT_EQ(greyImage.samples, grey);
}

TEST(PngEncoder, RefusesEmptyAndShortImages) {
    EXPECT_THROW(EncodePng(TPixelBuffer(0, 5)), TPngError);
    EXPECT_THROW(EncodeGreyPng({}, 0, 0), TPngError);
    const std::vector<std::uint8_t> grey(11, 0);
    EXPECT_THROW(EncodeGreyPng(grey, 4, 3), TPngError);
}

} // namespace
} // namespace quillon
