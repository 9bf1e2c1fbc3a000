#include "toolkit/TDIBImage.h"

#include "toolkit/TPainter.h"

namespace quillon {

void TDIBImage::SetIndexMain(int index) {
    if (index == indexMain_) return;
    indexMain_ = index;
    ImageChanged();
    Invalidate();
}

void TDIBImage::ImageChanged() {
    if (!AutoSize()) return;
    if (const TDIBImageEntry* image = ImageOf(indexMain_)) SetSize(image->Width(), image->Height());
}

void TDIBImage::MouseDown(const TMouseEvent& event) {
    pressed_ = event.button == TMouseButton::Left;
}

void TDIBImage::MouseUp(const TMouseEvent& event) {
    const bool click = pressed_ && event.button == TMouseButton::Left && event.x >= 0 && event.y >= 0 &&
                       event.x < Width() && event.y < Height();
    pressed_ = false;
    if (click && OnClick) OnClick(*this);
}

void TDIBImage::PaintContent(TPainter& painter, const TRect& window) {
    if (const TDIBImageEntry* image = ImageOf(indexMain_))
        painter.DrawImage(image->pixels, image->Bounds(), window.left, window.top, Opacity(), image->key);
}

} // namespace quillon
