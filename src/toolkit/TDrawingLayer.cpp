#include "toolkit/TDrawingLayer.h"

#include <algorithm>

namespace quillon {

void TDrawingLayer::Draw(TPainter& painter, const TRect& area, std::uint8_t opacity,
                         const std::function<void(TPainter&)>& draw) {
    const TRect visible = area.Intersection(painter.Clip()).Intersection(painter.Target().Bounds());
    if (visible.Empty() || opacity == 0) return;
    if (layer_.Width() != area.Width() || layer_.Height() != area.Height())
        layer_ = TPixelBuffer(area.Width(), area.Height());
    const TPixelBuffer& target = painter.Target();
    for (int y = visible.top; y < visible.bottom; ++y) {
        const TPixel* from = target.Row(y) + visible.left;
        std::copy(from, from + visible.Width(), layer_.Row(y - area.top) + (visible.left - area.left));
    }
    {
        TPainter layerPainter(layer_);
        layerPainter.PushClip(visible.Translated(-area.left, -area.top));
        draw(layerPainter);
        layerPainter.PopClip();
    }
    painter.DrawImage(layer_, visible.Translated(-area.left, -area.top), visible.left, visible.top, opacity);
}

} // namespace quillon
