#include "toolkit/TDrawingLayer.h"

#include <algorithm>

namespace quillon {

void TDrawingLayer::Draw(TPainter& painter, const TRect& area, std::uint8_t opacity,
                         const std::function<void(TPainter&)>& draw) {
    const TRect visible = area.Intersection(painter.Clip()).Intersection(painter.Bounds());
    if (visible.Empty() || opacity == 0) return;
    // The layer is at the target's scale; its device pixels line up with the target's.
    const int scale = painter.Scale();
    if (layer_.Width() != area.Width() * scale || layer_.Height() != area.Height() * scale)
        layer_ = TPixelBuffer(area.Width() * scale, area.Height() * scale);
    const TPixelBuffer& target = painter.Target();
    const TRect device = painter.ToDevice(visible);
    const TRect origin = painter.ToDevice(area);
    for (int y = device.top; y < device.bottom; ++y) {
        const TPixel* from = target.Row(y) + device.left;
        std::copy(from, from + device.Width(), layer_.Row(y - origin.top) + (device.left - origin.left));
    }
    {
        TPainter layerPainter(layer_, scale);
        layerPainter.PushClip(visible.Translated(-area.left, -area.top));
        draw(layerPainter);
        layerPainter.PopClip();
    }
    painter.DrawImage(layer_, visible.Translated(-area.left, -area.top), visible.left, visible.top, opacity);
}

} // namespace quillon
