#include "SkinArt.h"

#include "Theme.h"

#include <string>

namespace quillon::skingen {

void DrawSkinImage(const TSkinImage& image, TArtCanvas& canvas) {
    if (DrawControlArt(image, canvas) || DrawPageArt(image, canvas)) return;
    DrawPlaceholder(image, canvas);
}

void DrawPlaceholder(const TSkinImage& image, TArtCanvas& canvas) {
    const int w = image.FrameWidth();
    for (int f = 0; f < image.frames; ++f) {
        canvas.RoundedRect(f * w + 0.5, 0.5, w - 1, image.height - 1, 3);
        canvas.SetColour(theme::kPanelShade.Shade(-0.1 * (f % 4)));
        cairo_fill_preserve(canvas.Cr());
        canvas.SetColour(theme::kSectionFrame);
        cairo_set_line_width(canvas.Cr(), 1);
        cairo_stroke(canvas.Cr());
    }
    if (image.height >= 12)
        canvas.Text(std::to_string(image.index), 2, std::min(image.height - 2, 11), TFace::Narrow, 9, theme::kInk);
}

} // namespace quillon::skingen
