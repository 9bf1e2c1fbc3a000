// A transparent drawing layer: shapes are drawn on it at full strength and the layer is then blended onto
// the target at one opacity, so overlapping shapes on the layer (a fill and its outline) do not add up.
// The layer starts as a copy of the target's pixels under it; pixels the drawing leaves alone blend back
// unchanged. The layer buffer is kept between uses. GUI thread only [gui].
#pragma once

#include "toolkit/TPainter.h"
#include "toolkit/TPixelBuffer.h"
#include "toolkit/TRect.h"

#include <cstdint>
#include <functional>

namespace quillon {

class TDrawingLayer {
public:
    // Calls `draw` with a painter on a layer covering `area` of `painter`'s target (cut to its clip); the
    // layer's pixel (0, 0) is the target's (area.left, area.top). Then blends the layer at `opacity`.
    void Draw(TPainter& painter, const TRect& area, std::uint8_t opacity, const std::function<void(TPainter&)>& draw);

private:
    TPixelBuffer layer_;
};

} // namespace quillon
