#include "toolkit/TGlyphAtlas.h"

namespace quillon {

int TGlyphAtlas::DeviceTextWidth(std::string_view latin1) const {
    int width = 0;
    for (const char c : latin1)
        width += GlyphOf(c).advance;
    return width;
}

TRect TGlyphAtlas::InkBox(std::string_view latin1, int x, int baseline) const {
    TRect box;
    int pen = x;
    for (const char c : latin1) {
        const TGlyph& g = GlyphOf(c);
        box = box.Union(TRect::FromSize(pen + g.bearingX, baseline - g.bearingY, g.width, g.height));
        pen += g.advance;
    }
    return box;
}

} // namespace quillon
