// PNG encoding for the tool's review output (`quillon skin --out`, `--gallery`, `quillon gui --screenshot`),
// written with zlib alone (the CRCs and the deflate stream) on every platform; the plug-in never writes images.
#pragma once

#include "toolkit/TPixelBuffer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace quillon {

class TPngError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The PNG bytes of `pixels`: 8-bit RGB, or with a key 8-bit RGBA in which the pixels of the key colour
// (low 24 bits) are fully transparent and every other pixel is opaque. Throws TPngError.
std::vector<std::uint8_t> EncodePng(const TPixelBuffer& pixels, std::optional<TPixel> key = std::nullopt);
// The PNG bytes of an 8-bit grey image of width × height bytes, row by row. Throws TPngError.
std::vector<std::uint8_t> EncodeGreyPng(std::span<const std::uint8_t> grey, int width, int height);

} // namespace quillon
