#include "toolkit/TDIBLabel.h"

#include "toolkit/TPainter.h"

namespace quillon {

void TDIBLabel::SetCaption(std::string latin1) {
    if (latin1 == caption_) return;
    caption_ = std::move(latin1);
    Invalidate();
}

void TDIBLabel::SetFont(const TDIBFont& font) {
    if (font.atlas == font_.atlas && font.colour == font_.colour) return;
    font_ = font;
    Invalidate();
}

void TDIBLabel::SetAlignment(TTextAlign alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    Invalidate();
}

void TDIBLabel::SetBackground(std::optional<TPixel> background) {
    if (background == background_) return;
    background_ = background;
    Invalidate();
}

int TDIBLabel::TextLeft() const {
    if (!font_.atlas) return 0;
    const int width = font_.atlas->TextWidth(caption_);
    switch (alignment_) {
    case TTextAlign::Left:
        return 0;
    case TTextAlign::Centre:
        return (Width() - width) / 2;
    case TTextAlign::Right:
        return Width() - width;
    }
    return 0;
}

int TDIBLabel::Baseline() const {
    if (!font_.atlas) return 0;
    return (Height() - (font_.atlas->Ascent() + font_.atlas->Descent())) / 2 + font_.atlas->Ascent();
}

void TDIBLabel::PaintContent(TPainter& painter, const TRect& window) {
    if (background_) painter.FillRect(window, *background_, Opacity());
    if (font_.atlas && !caption_.empty())
        painter.DrawText(*font_.atlas, caption_, window.left + TextLeft(), window.top + Baseline(),
                         font_.colour & kRgbMask, Opacity());
}

} // namespace quillon
