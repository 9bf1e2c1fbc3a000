// Reads back the PNG files the tool writes: checks the signature and every chunk's CRC, inflates the image
// data and undoes the row filters, for comparing pixels with what was encoded.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon::test {

struct TPngImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int colourType = -1;               // 0 grey, 2 RGB, 6 RGBA
    int channels = 0;                  // bytes per pixel
    std::vector<std::string> chunks;   // chunk types in file order
    std::vector<std::uint8_t> samples; // rows top to bottom, unfiltered
};

// The image of 8-bit PNG bytes (no interlace); nullopt with the reason in `error` when they are not valid.
std::optional<TPngImage> DecodePng(std::span<const std::uint8_t> bytes, std::string& error);

} // namespace quillon::test
