#include "toolkit/TPixelBuffer.h"

#include <algorithm>
#include <utility>

namespace quillon {

TPixelBuffer::TPixelBuffer(int width, int height, TPixel fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), stride_(std::max(width, 0)) {
    storage_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill);
    pixels_ = storage_.data();
}

TPixelBuffer TPixelBuffer::View(TPixel* pixels, int width, int height, int stride) {
    TPixelBuffer view;
    view.pixels_ = pixels;
    view.width_ = std::max(width, 0);
    view.height_ = std::max(height, 0);
    view.stride_ = std::max(stride, view.width_);
    return view;
}

TPixelBuffer::TPixelBuffer(TPixelBuffer&& other) noexcept
    : storage_(std::move(other.storage_)), pixels_(std::exchange(other.pixels_, nullptr)),
      width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0)),
      stride_(std::exchange(other.stride_, 0)) {}

TPixelBuffer& TPixelBuffer::operator=(TPixelBuffer&& other) noexcept {
    if (this != &other) {
        storage_ = std::move(other.storage_); // a moved vector keeps its block, so pixels_ stays valid
        pixels_ = std::exchange(other.pixels_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        stride_ = std::exchange(other.stride_, 0);
    }
    return *this;
}

TPixelBuffer TPixelBuffer::SubView(const TRect& area) {
    const TRect part = area.Intersection(Bounds());
    if (part.Empty()) return View(pixels_, 0, 0, stride_);
    return View(Row(part.top) + part.left, part.Width(), part.Height(), stride_);
}

void TPixelBuffer::Fill(const TRect& area, TPixel value) {
    const TRect part = area.Intersection(Bounds());
    if (part.Empty()) return;
    for (int y = part.top; y < part.bottom; ++y)
        std::fill_n(Row(y) + part.left, part.Width(), value);
}

} // namespace quillon
