// The skin's bitmaps addressed by index: each entry is a TPixelBuffer with an optional transparent key
// colour (pixels of that colour are left out when the image is drawn). Controls refer to an entry by its
// index (an image link; -1 = none) and look it up when they draw, so replacing an entry takes effect at
// the next paint. The list owns its images and must outlive the controls that use it.
//
// An image is made for one display scale: its pixel buffer holds scale × scale pixels for each logical
// pixel. Controls lay themselves out with the logical size (Width(), Height(), Bounds()) and hand logical
// source rectangles to a painter of the same scale. [gui]
#pragma once

#include "toolkit/TPixelBuffer.h"

#include <optional>
#include <vector>

namespace quillon {

struct TDIBImageEntry {
    TPixelBuffer pixels;
    std::optional<TPixel> key; // none: the image is opaque
    int scale = 1;             // device pixels per logical pixel

    int Width() const { return pixels.Width() / scale; }
    int Height() const { return pixels.Height() / scale; }
    TRect Bounds() const { return TRect{0, 0, Width(), Height()}; }
};

class TDIBImageList {
public:
    // Appends an image made for display scale `scale` (1 or 2); returns its index.
    int Add(TPixelBuffer pixels, std::optional<TPixel> key = std::nullopt, int scale = 1);
    // Replaces the image at `index` (which must exist).
    void Replace(int index, TPixelBuffer pixels, std::optional<TPixel> key = std::nullopt, int scale = 1);
    int Count() const { return static_cast<int>(images_.size()); }
    // The image at `index`, or null for -1 and any other index outside the list.
    const TDIBImageEntry* Image(int index) const;

private:
    std::vector<TDIBImageEntry> images_;
};

} // namespace quillon
