// Blending of 0x00RRGGBB pixels (TPixelBuffer's format) at a weight of 0..256, two channels per multiply.
// Results are within ±1 of the exact dst + (src - dst) × opacity / 255 per channel. [any]
#pragma once

#include "toolkit/TPixelBuffer.h"

#include <cstdint>

namespace quillon {

// Maps an opacity 0..255 onto a weight 0..256 (255 → 256, so full opacity copies exactly).
constexpr unsigned OpacityToWeight(std::uint8_t opacity) {
    return opacity + (opacity >> 7);
}

// dst × (256 - weight) + src × weight, over 256 and rounded, per channel; the X byte of the result is 0.
constexpr TPixel BlendPixel(TPixel dst, TPixel src, unsigned weight) {
    const unsigned inverse = 256 - weight;
    const TPixel redBlue = ((src & 0xFF00FFu) * weight + (dst & 0xFF00FFu) * inverse + 0x800080u) >> 8;
    const TPixel green = ((src & 0x00FF00u) * weight + (dst & 0x00FF00u) * inverse + 0x008000u) >> 8;
    return (redBlue & 0xFF00FFu) | (green & 0x00FF00u);
}

} // namespace quillon
