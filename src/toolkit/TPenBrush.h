// The pen and brush of the vector-drawing controls (TDIBEnvelope, TDIBRangeControl): plain values that the
// controls copy when they are set. A pen that is not visible draws nothing (a clear pen); a brush that is
// not solid fills nothing (a clear brush). [any]
#pragma once

#include "toolkit/TPixelBuffer.h"

namespace quillon {

struct TPen {
    TPixel colour = Rgb(0, 0, 0);
    float width = 1.0f;
    bool visible = true;

    friend constexpr bool operator==(const TPen&, const TPen&) = default;
};

struct TBrush {
    TPixel colour = Rgb(255, 255, 255);
    bool solid = true;

    friend constexpr bool operator==(const TBrush&, const TBrush&) = default;
};

} // namespace quillon
