// The skin's bitmaps addressed by index: each entry is a TPixelBuffer with an optional transparent key
// colour (pixels of that colour are left out when the image is drawn). Controls refer to an entry by its
// index (an image link; -1 = none) and look it up when they draw, so replacing an entry takes effect at
// the next paint. The list owns its images and must outlive the controls that use it. [gui]
#pragma once

#include "toolkit/TPixelBuffer.h"

#include <optional>
#include <vector>

namespace quillon {

struct TDIBImageEntry {
    TPixelBuffer pixels;
    std::optional<TPixel> key; // none: the image is opaque
};

class TDIBImageList {
public:
    // Appends an image; returns its index.
    int Add(TPixelBuffer pixels, std::optional<TPixel> key = std::nullopt);
    // Replaces the image at `index` (which must exist).
    void Replace(int index, TPixelBuffer pixels, std::optional<TPixel> key = std::nullopt);
    int Count() const { return static_cast<int>(images_.size()); }
    // The image at `index`, or null for -1 and any other index outside the list.
    const TDIBImageEntry* Image(int index) const;

private:
    std::vector<TDIBImageEntry> images_;
};

} // namespace quillon
