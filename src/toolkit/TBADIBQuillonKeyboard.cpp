#include "toolkit/TBADIBQuillonKeyboard.h"

namespace quillon {

namespace {

constexpr TKeyColour W = TKeyColour::White;
constexpr TKeyColour B = TKeyColour::Black;

// clang-format off
constexpr std::array<TKeyboardKey, TBADIBQuillonKeyboard::kKeys> kKeyTable{{
    {W, {0, 21, 12, 38}},    {W, {12, 16, 24, 38}},   {B, {19, 15, 27, 23}},   {W, {24, 12, 36, 38}},
    {B, {32, 11, 40, 23}},   {W, {36, 9, 48, 38}},    {B, {46, 7, 54, 23}},    {W, {48, 6, 60, 38}},
    {W, {60, 4, 72, 38}},    {B, {67, 3, 75, 23}},    {W, {72, 2, 84, 38}},    {B, {81, 1, 89, 23}},
    {W, {84, 0, 96, 38}},    {W, {96, 0, 108, 38}},   {B, {103, 0, 111, 23}},  {W, {108, 0, 120, 38}},
    {B, {116, 0, 124, 23}},  {W, {120, 0, 132, 38}},  {B, {130, 0, 138, 23}},  {W, {132, 0, 144, 38}},
    {W, {144, 0, 156, 38}},  {B, {151, 0, 159, 23}},  {W, {156, 0, 168, 38}},  {B, {165, 0, 173, 23}},
    {W, {168, 0, 180, 38}},  {W, {180, 1, 192, 38}},  {B, {187, 2, 195, 23}},  {W, {192, 2, 204, 38}},
    {B, {200, 3, 208, 23}},  {W, {204, 4, 216, 38}},  {B, {214, 5, 222, 23}},  {W, {216, 5, 228, 38}},
    {W, {228, 9, 240, 38}},  {B, {235, 9, 243, 23}},  {W, {240, 10, 252, 38}}, {B, {249, 12, 257, 23}},
    {W, {252, 13, 264, 38}}, {W, {264, 15, 276, 38}}, {B, {271, 16, 279, 23}}, {W, {276, 17, 288, 38}},
    {B, {284, 19, 292, 23}}, {W, {288, 20, 300, 38}}, {B, {298, 22, 306, 23}}, {W, {300, 22, 312, 38}},
    {W, {312, 24, 324, 38}}, {B, {319, 27, 327, 23}}, {W, {324, 27, 336, 38}}, {B, {333, 29, 341, 23}},
    {W, {336, 29, 348, 38}}, {W, {348, 31, 360, 38}}, {B, {355, 34, 363, 23}}, {W, {360, 34, 372, 38}},
}};
// clang-format on

} // namespace

TBADIBQuillonKeyboard::TBADIBQuillonKeyboard(const TRect& bounds) : TDIBControl(bounds) {
    SetAutoSize(true);
}

const std::array<TKeyboardKey, TBADIBQuillonKeyboard::kKeys>& TBADIBQuillonKeyboard::Keys() {
    return kKeyTable;
}

int TBADIBQuillonKeyboard::KeyAt(int x, int y) {
    int found = -1;
    for (int k = 0; k < kKeys; ++k) {
        const TKeyboardKey& key = kKeyTable[static_cast<std::size_t>(k)];
        if (!key.rect.Contains(x, y)) continue;
        if (key.colour == TKeyColour::Black || found < 0) found = k;
    }
    return found;
}

void TBADIBQuillonKeyboard::SetIndexMain(int index) {
    if (index == indexMain_) return;
    indexMain_ = index;
    ImageChanged();
    Invalidate();
}

void TBADIBQuillonKeyboard::ImageChanged() {
    const TSize half = FrameSize(indexMain_, 2, TFrameStack::fsHorizontal);
    if (half.width > 0 && half.height > 0) SetSize(half.width, half.height);
}

void TBADIBQuillonKeyboard::SetKeyPressed(int key) {
    if (key < -1 || key >= kKeys) key = -1;
    if (key == keyPressed_) return;
    keyPressed_ = key;
    Invalidate();
    if (OnChange && !Loading()) OnChange(*this);
}

void TBADIBQuillonKeyboard::MouseDown(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    pressing_ = true;
    const int key = KeyAt(event.x, event.y);
    if (key >= 0) SetKeyPressed(key);
}

void TBADIBQuillonKeyboard::MouseMove(const TMouseEvent& event) {
    if (!pressing_) return;
    const int key = KeyAt(event.x, event.y);
    if (key >= 0) SetKeyPressed(key);
}

void TBADIBQuillonKeyboard::MouseUp(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    pressing_ = false;
    SetKeyPressed(-1);
}

void TBADIBQuillonKeyboard::PaintContent(TPainter& painter, const TRect& window) {
    const TDIBImageEntry* image = ImageOf(indexMain_);
    if (!image) return;
    const int half = image->Width() / 2;
    const int height = image->Height();
    const std::uint8_t opacity = Opacity();
    painter.DrawImage(image->pixels, TRect{0, 0, half, height}, window.left - 1, window.top, opacity, image->key);
    if (keyPressed_ < 0) return;

    // Copies key k's rectangle (less its last column) from the half starting at sourceLeft.
    const auto copyKey = [&](int k, int sourceLeft) {
        const TRect& r = kKeyTable[static_cast<std::size_t>(k)].rect;
        if (r.Empty()) return;
        const TRect from = TRect::FromSize(r.left + sourceLeft, r.top, r.Width() - 1, r.Height());
        painter.DrawImage(image->pixels, from, window.left + r.left - 1, window.top + r.top, opacity, image->key);
    };
    copyKey(keyPressed_, half);
    if (kKeyTable[static_cast<std::size_t>(keyPressed_)].colour == TKeyColour::White) {
        if (keyPressed_ > 0) copyKey(keyPressed_ - 1, 0);
        if (keyPressed_ + 1 < kKeys) copyKey(keyPressed_ + 1, 0);
    }
}

} // namespace quillon
