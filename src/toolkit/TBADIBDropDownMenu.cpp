#include "toolkit/TBADIBDropDownMenu.h"

#include <cmath>

namespace quillon {

namespace {

// Latin-1 capitals: a-z and the accented small letters (except the division sign and ÿ).
std::string ToCapitals(std::string text) {
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) c = static_cast<char>(u - 0x20);
    }
    return text;
}

} // namespace

void TBADIBDropDownMenu::SetIndexMain(int index) {
    indexMain_ = index;
    ImageChanged();
    Invalidate();
}

void TBADIBDropDownMenu::SetButton(int index) {
    button_ = index;
    Invalidate();
}

void TBADIBDropDownMenu::ImageChanged() {
    if (!AutoSize()) return;
    if (const TDIBImageEntry* background = ImageOf(indexMain_)) SetSize(background->Width(), background->Height());
}

int TBADIBDropDownMenu::ButtonWidth() const {
    const TDIBImageEntry* button = ImageOf(button_);
    return button ? button->Width() / 2 : 0;
}

void TBADIBDropDownMenu::SetMenuTag(int tag) {
    menuTag_ = tag;
    if (menu_ && ShowSelectedText) {
        for (int i = 0; i < menu_->Items.Count(); ++i) {
            if (menu_->Items[i].Tag != tag) continue;
            const std::string caption = StripAccelerator(menu_->Items[i].Caption);
            caption_ = AllCaps ? ToCapitals(caption) : caption;
            break;
        }
    }
    Invalidate();
}

void TBADIBDropDownMenu::SetCaption(const std::string& caption) {
    caption_ = caption;
    Invalidate();
}

void TBADIBDropDownMenu::SetAlignment(TSpinAlignment alignment) {
    alignment_ = alignment;
    Invalidate();
}

void TBADIBDropDownMenu::SetAlignInFreeSpace(bool align) {
    alignInFreeSpace_ = align;
    Invalidate();
}

void TBADIBDropDownMenu::SetYCorrection(int correction) {
    yCorrection_ = correction;
    Invalidate();
}

void TBADIBDropDownMenu::MouseDown(const TMouseEvent& event) {
    if (OnMouseDown) OnMouseDown(*this, event);
    if (event.button != TMouseButton::Left) return;
    pressed_ = true;
    Invalidate();
}

void TBADIBDropDownMenu::MouseUp(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    pressed_ = false;
    OpenMenu();
    Invalidate();
}

void TBADIBDropDownMenu::OpenMenu() {
    if (!menu_) return;
    if (OnChangeHandling == TOnChangeHandling::chLocal)
        for (int i = 0; i < menu_->Items.Count(); ++i)
            menu_->Items[i].OnClick = [this](TMenuItem& item) { Select(item); };
    TMenuLayer* layer = FindMenuLayer();
    if (!layer) return;
    const TRect window = WindowRect();
    layer->Open(*menu_, window.left, window.bottom);
}

void TBADIBDropDownMenu::Select(const TMenuItem& item) {
    SetMenuTag(item.Tag);
    if (OnChange && !Loading()) OnChange(*this);
}

void TBADIBDropDownMenu::PaintContent(TPainter& painter, const TRect& window) {
    if (const TDIBImageEntry* background = ImageOf(indexMain_))
        painter.DrawImage(background->pixels, background->Bounds(), window.left, window.top, Opacity(),
                          background->key);
    const int buttonWidth = ButtonWidth();
    if (const TDIBImageEntry* button = ImageOf(button_))
        painter.DrawImage(button->pixels, TRect::FromSize(pressed_ ? buttonWidth : 0, 0, buttonWidth, button->Height()),
                          window.left + Width() - buttonWidth, window.top, Opacity(), button->key);
    if (!Font.atlas) return;
    const int freeWidth = alignInFreeSpace_ ? Width() - buttonWidth : Width();
    const int textWidth = Font.atlas->TextWidth(caption_);
    int x = 3;
    if (alignment_ == TSpinAlignment::taRightJustify) x = freeWidth - textWidth - 3;
    if (alignment_ == TSpinAlignment::taCenter) x = (freeWidth - textWidth) / 2;
    const int top =
        static_cast<int>(std::nearbyint(static_cast<double>(Height() - Font.atlas->pixelSize) / 2.0)) + yCorrection_;
    painter.DrawText(*Font.atlas, caption_, window.left + x, window.top + top + Font.atlas->Ascent(), Font.colour,
                     Opacity());
}

} // namespace quillon
