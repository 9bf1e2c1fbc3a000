#include "PngEncoder.h"

#include <png.h>

#include <algorithm>
#include <string>

namespace quillon {

namespace {

// libpng reports errors through a callback that must not return. It is thrown through libpng's C frames,
// which the unwind tables of the x86-64 and AArch64 ABIs cover; our own state is freed by destructors, which
// a longjmp would skip.
[[noreturn]] void OnPngError(png_structp /*png*/, png_const_charp message) {
    throw TPngError(std::string("PNG encoding failed: ") + message);
}

void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp /*png*/) {}

// Owns libpng's write state for one image.
class TPngWriteState {
public:
    TPngWriteState() {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        if (png_) info_ = png_create_info_struct(png_);
        if (!png_ || !info_) {
            png_destroy_write_struct(&png_, nullptr);
            throw TPngError("PNG encoding failed: out of memory");
        }
    }
    ~TPngWriteState() { png_destroy_write_struct(&png_, &info_); }
    TPngWriteState(const TPngWriteState&) = delete;
    TPngWriteState& operator=(const TPngWriteState&) = delete;

    // Encodes `height` rows of `width` pixels of `channels` bytes each, which `row` fills one at a time.
    template <typename RowFiller>
    std::vector<std::uint8_t> Encode(int width, int height, int channels, RowFiller&& row) {
        if (width <= 0 || height <= 0) throw TPngError("PNG encoding failed: the image is empty");
        std::vector<std::uint8_t> out;
        png_set_write_fn(png_, &out, AppendBytes, FlushNothing);
        const int colourType = channels == 1   ? PNG_COLOR_TYPE_GRAY
                               : channels == 3 ? PNG_COLOR_TYPE_RGB
                                               : PNG_COLOR_TYPE_RGBA;
        png_set_IHDR(png_, info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colourType,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png_, info_);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * static_cast<std::size_t>(channels));
        for (int y = 0; y < height; ++y) {
            row(y, bytes.data());
            png_write_row(png_, bytes.data());
        }
        png_write_end(png_, nullptr);
        return out;
    }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

} // namespace

std::vector<std::uint8_t> EncodePng(const TPixelBuffer& pixels, std::optional<TPixel> key) {
    const int channels = key ? 4 : 3;
    const TPixel keyRgb = key ? (*key & kRgbMask) : 0;
    TPngWriteState state;
    return state.Encode(pixels.Width(), pixels.Height(), channels, [&](int y, std::uint8_t* out) {
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
    TPngWriteState state;
    return state.Encode(width, height, 1, [&](int y, std::uint8_t* out) {
        const auto from = grey.subspan(static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                                       static_cast<std::size_t>(width));
        std::copy(from.begin(), from.end(), out);
    });
}

} // namespace quillon
