#include "toolkit/TDIBImageList.h"

#include <algorithm>

namespace quillon {

int TDIBImageList::Add(TPixelBuffer pixels, std::optional<TPixel> key, int scale) {
    images_.push_back(TDIBImageEntry{std::move(pixels), key, std::max(scale, 1)});
    return Count() - 1;
}

void TDIBImageList::Replace(int index, TPixelBuffer pixels, std::optional<TPixel> key, int scale) {
    images_.at(static_cast<std::size_t>(index)) = TDIBImageEntry{std::move(pixels), key, std::max(scale, 1)};
}

const TDIBImageEntry* TDIBImageList::Image(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return &images_[static_cast<std::size_t>(index)];
}

} // namespace quillon
