#include "support/PngImage.h"

#include <zlib.h>

#include <cstdlib>

namespace quillon::test {

namespace {

std::uint32_t Word(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

} // namespace

std::optional<TPngImage> DecodePng(std::span<const std::uint8_t> bytes, std::string& error) {
    constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) {
        error = "no PNG signature";
        return std::nullopt;
    }
    TPngImage image;
    std::vector<std::uint8_t> packed;
    for (std::size_t at = 8; at < bytes.size();) {
        if (at + 12 > bytes.size()) {
            error = "truncated chunk";
            return std::nullopt;
        }
        const std::uint32_t length = Word(bytes, at);
        if (at + 12 + length > bytes.size()) {
            error = "chunk beyond the end";
            return std::nullopt;
        }
        const std::string type(bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                               bytes.begin() + static_cast<std::ptrdiff_t>(at) + 8);
        const auto crc = static_cast<std::uint32_t>(crc32(0, bytes.data() + at + 4, length + 4));
        if (crc != Word(bytes, at + 8 + length)) {
            error = "bad CRC in " + type;
            return std::nullopt;
        }
        const auto data = bytes.subspan(at + 8, length);
        if (type == "IHDR" && length == 13) {
            image.width = Word(data, 0);
            image.height = Word(data, 4);
            image.colourType = data[9];
            image.channels = data[9] == 0 ? 1 : data[9] == 2 ? 3 : data[9] == 6 ? 4 : 0;
            if (data[8] != 8 || image.channels == 0 || data[12] != 0) {
                error = "not an 8-bit grey, RGB or RGBA image without interlace";
                return std::nullopt;
            }
        }
        if (type == "IDAT") packed.insert(packed.end(), data.begin(), data.end());
        image.chunks.push_back(type);
        at += 12 + length;
    }
    const std::size_t stride = std::size_t{image.width} * static_cast<std::size_t>(image.channels);
    std::vector<std::uint8_t> raw((stride + 1) * image.height);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (image.chunks.empty() || image.chunks.front() != "IHDR" ||
        uncompress(raw.data(), &rawSize, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
        rawSize != raw.size()) {
        error = "the image data does not inflate to the image's size";
        return std::nullopt;
    }
    image.samples.resize(stride * image.height);
    const auto n = static_cast<std::size_t>(image.channels);
    for (std::size_t y = 0; y < image.height; ++y) {
        const std::uint8_t filter = raw[y * (stride + 1)];
        const std::uint8_t* in = raw.data() + y * (stride + 1) + 1;
        std::uint8_t* out = image.samples.data() + y * stride;
        const std::uint8_t* above = y > 0 ? out - stride : nullptr;
        for (std::size_t i = 0; i < stride; ++i) {
            const int a = i >= n ? out[i - n] : 0, b = above ? above[i] : 0, c = above && i >= n ? above[i - n] : 0;
            const int predicted = filter == 1   ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                  : filter == 4 ? Paeth(a, b, c)
                                                : 0;
            if (filter > 4) {
                error = "unknown row filter";
                return std::nullopt;
            }
            out[i] = static_cast<std::uint8_t>(in[i] + predicted);
        }
    }
    return image;
}

} // namespace quillon::test
