// A rectangle of 32-bit pixels in memory, owned or viewed, with a row stride.
//
// Pixel format: one 32-bit word per pixel, 0x00RRGGBB in the machine's (little-endian) byte order, so the
// bytes in memory are B, G, R, X. That is the layout of a 32-bit Win32 DIB (BI_RGB) and of a ZPixmap for
// a 24-bit TrueColor X11 visual (xcb_put_image with depth 24 and 32 bits per pixel), so a buffer goes to
// the screen without conversion. The X byte is padding: everything the toolkit makes holds 0 there,
// everything it reads ignores it (key colours compare the low 24 bits only). There is no per-pixel alpha;
// blending uses an opacity given with each drawing operation.
//
// An owning buffer holds its pixels; a view refers to pixels owned elsewhere (a window's image, a part of
// another buffer) and must not outlive them. Buffers move but do not copy. [gui]
#pragma once

#include "toolkit/TRect.h"

#include <cstdint>
#include <vector>

namespace quillon {

using TPixel = std::uint32_t;

constexpr TPixel Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return (static_cast<TPixel>(r) << 16) | (static_cast<TPixel>(g) << 8) | static_cast<TPixel>(b);
}
constexpr std::uint8_t RedOf(TPixel p) {
    return static_cast<std::uint8_t>(p >> 16);
}
constexpr std::uint8_t GreenOf(TPixel p) {
    return static_cast<std::uint8_t>(p >> 8);
}
constexpr std::uint8_t BlueOf(TPixel p) {
    return static_cast<std::uint8_t>(p);
}
constexpr TPixel kRgbMask = 0x00FFFFFFu;

class TPixelBuffer {
public:
    // An empty buffer (0 × 0).
    TPixelBuffer() = default;
    // An owning buffer of width × height pixels (each >= 0), all set to `fill`; the stride is the width.
    TPixelBuffer(int width, int height, TPixel fill = 0);
    // A view of pixels owned elsewhere; `stride` is the distance between rows in pixels (>= width).
    static TPixelBuffer View(TPixel* pixels, int width, int height, int stride);

    TPixelBuffer(TPixelBuffer&& other) noexcept;
    TPixelBuffer& operator=(TPixelBuffer&& other) noexcept;
    TPixelBuffer(const TPixelBuffer&) = delete;
    TPixelBuffer& operator=(const TPixelBuffer&) = delete;
    ~TPixelBuffer() = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; } // pixels from one row to the next
    bool OwnsPixels() const { return !storage_.empty(); }
    TRect Bounds() const { return TRect{0, 0, width_, height_}; }

    TPixel* Row(int y) { return pixels_ + static_cast<std::ptrdiff_t>(y) * stride_; }
    const TPixel* Row(int y) const { return pixels_ + static_cast<std::ptrdiff_t>(y) * stride_; }
    // x, y must lie inside the buffer.
    TPixel& At(int x, int y) { return Row(y)[x]; }
    TPixel At(int x, int y) const { return Row(y)[x]; }

    // A view of the part of this buffer in `area` (clipped to the bounds; empty when outside). Pixel
    // (0, 0) of the view is pixel (area.left, area.top) of this buffer.
    TPixelBuffer SubView(const TRect& area);

    // Sets every pixel of `area` (clipped to the bounds) to `value`.
    void Fill(const TRect& area, TPixel value);
    void Fill(TPixel value) { Fill(Bounds(), value); }

private:
    std::vector<TPixel> storage_; // empty for a view
    TPixel* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
};

} // namespace quillon
