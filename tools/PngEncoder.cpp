#include "PngEncoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <string>

namespace quillon {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::uint8_t kGrey = 0, kRgb = 2, kRgba = 6; // colour types
constexpr std::uint8_t kFilterNone = 0, kFilterSub = 1, kFilterUp = 2;

void AppendWord(std::vector<std::uint8_t>& out, std::uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(word >> shift));
}

// A chunk: length, type, data and the CRC-32 of type and data.
void AppendChunk(std::vector<std::uint8_t>& out, const char (&type)[5], std::span<const std::uint8_t> data) {
    if (data.size() > 0x7fffffffU) throw TPngError("PNG encoding failed: the image is too large");
    AppendWord(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
    AppendWord(out, static_cast<std::uint32_t>(crc));
}

// Each row is filtered with whichever of None, Sub and Up leaves the smallest sum of absolute (signed)
// bytes, the usual heuristic that keeps the deflated size near what larger encoders reach.
void AppendFilteredRow(std::vector<std::uint8_t>& raw, const std::vector<std::uint8_t>& row,
                       const std::vector<std::uint8_t>& above, int channels) {
    const std::size_t n = row.size();
    const auto cost = [](std::uint8_t byte) { return static_cast<unsigned>(std::abs(static_cast<std::int8_t>(byte))); };
    unsigned long none = 0, sub = 0, up = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto left = i >= static_cast<std::size_t>(channels) ? row[i - static_cast<std::size_t>(channels)] : 0;
        none += cost(row[i]);
        sub += cost(static_cast<std::uint8_t>(row[i] - left));
        up += cost(static_cast<std::uint8_t>(row[i] - above[i]));
    }
    const std::uint8_t filter = none <= sub && none <= up ? kFilterNone : sub <= up ? kFilterSub : kFilterUp;
    raw.push_back(filter);
    for (std::size_t i = 0; i < n; ++i) {
        const auto left = i >= static_cast<std::size_t>(channels) ? row[i - static_cast<std::size_t>(channels)] : 0;
        const std::uint8_t predicted = filter == kFilterSub ? left : filter == kFilterUp ? above[i] : 0;
        raw.push_back(static_cast<std::uint8_t>(row[i] - predicted));
    }
}

// Encodes `height` rows of `width` pixels of `channels` bytes each, which `fill` writes one at a time.
template <typename RowFiller> std::vector<std::uint8_t> Encode(int width, int height, int channels, RowFiller&& fill) {
    if (width <= 0 || height <= 0) throw TPngError("PNG encoding failed: the image is empty");
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
    std::vector<std::uint8_t> row(rowBytes), above(rowBytes, 0);
    for (int y = 0; y < height; ++y) {
        fill(y, row.data());
        AppendFilteredRow(raw, row, above, channels);
        row.swap(above);
    }
    if (raw.size() > std::numeric_limits<uLong>::max()) throw TPngError("PNG encoding failed: the image is too large");
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION) !=
        Z_OK)
        throw TPngError("PNG encoding failed: zlib could not compress the image");
    packed.resize(packedSize);

    std::vector<std::uint8_t> header;
    AppendWord(header, static_cast<std::uint32_t>(width));
    AppendWord(header, static_cast<std::uint32_t>(height));
    const std::uint8_t colourType = channels == 1 ? kGrey : channels == 3 ? kRgb : kRgba;
    header.insert(header.end(), {8, colourType, 0, 0, 0}); // depth, colour, deflate, adaptive filters, no interlace

    std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
    AppendChunk(out, "IHDR", header);
    AppendChunk(out, "IDAT", packed);
    AppendChunk(out, "IEND", {});
    return out;
}

} // namespace

std::vector<std::uint8_t> EncodePng(const TPixelBuffer& pixels, std::optional<TPixel> key) {
    const int channels = key ? 4 : 3;
    const TPixel keyRgb = key ? (*key & kRgbMask) : 0;
    return Encode(pixels.Width(), pixels.Height(), channels, [&](int y, std::uint8_t* out) {
        const TPixel* row = pixels.Row(y);
        for (int x = 0; x < pixels.Width(); ++x) {
            const TPixel p = row[x];
            *out++ = RedOf(p);
            *out++ = GreenOf(p);
            *out++ = BlueOf(p);
            if (key) *out++ = (p & kRgbMask) == keyRgb ? 0 : 255;
        }
    });
}

std::vector<std::uint8_t> EncodeGreyPng(std::span<const std::uint8_t> grey, int width, int height) {
    if (width < 0 || height < 0 || grey.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        throw TPngError("PNG encoding failed: the grey image is shorter than its size");
    return Encode(width, height, 1, [&](int y, std::uint8_t* out) {
        const auto from = grey.subspan(static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                                       static_cast<std::size_t>(width));
        std::copy(from.begin(), from.end(), out);
    });
}

} // namespace quillon
