#include "toolkit/TModalLayer.h"

#include "toolkit/TPopupMenu.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace quillon {

namespace {

// True when `control` is `ancestor` or lies inside it.
bool IsInside(const TDIBControl& control, const TDIBControl& ancestor) {
    for (const TDIBControl* c = &control; c; c = c->Parent())
        if (c == &ancestor) return true;
    return false;
}

} // namespace

void FillRoundedRect(TPainter& painter, const TRect& area, int radius, TPixel colour, std::uint8_t opacity) {
    if (area.Empty()) return;
    const float r = static_cast<float>(std::clamp(radius, 0, std::min(area.Width(), area.Height()) / 2));
    constexpr std::size_t kSteps = 6; // segments per corner
    std::array<TPointF, 4 * (kSteps + 1)> points{};
    const std::array<TPointF, 4> centres{
        TPointF{static_cast<float>(area.right) - r, static_cast<float>(area.top) + r},
        TPointF{static_cast<float>(area.right) - r, static_cast<float>(area.bottom) - r},
        TPointF{static_cast<float>(area.left) + r, static_cast<float>(area.bottom) - r},
        TPointF{static_cast<float>(area.left) + r, static_cast<float>(area.top) + r}};
    std::size_t n = 0;
    for (std::size_t corner = 0; corner < centres.size(); ++corner) {
        // Clockwise on screen from the top of each corner's arc: -90°, 0°, 90°, 180°.
        const double start = (static_cast<double>(corner) - 1.0) * std::numbers::pi / 2.0;
        for (std::size_t k = 0; k <= kSteps; ++k) {
            const double angle = start + std::numbers::pi / 2.0 * static_cast<double>(k) / kSteps;
            points[n++] = TPointF{centres[corner].x + r * static_cast<float>(std::cos(angle)),
                                  centres[corner].y + r * static_cast<float>(std::sin(angle))};
        }
    }
    painter.FillPolygon(points, colour, opacity);
}

// TModalPanel -----------------------------------------------------------------------------------------------

TModalPanel::TModalPanel(std::string caption, int width, int height)
    : TDIBImageContainer(TRect::FromSize(0, 0, width, height)), caption_(std::move(caption)) {}

void TModalPanel::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    Invalidate();
}

void TModalPanel::Close(int result) {
    if (layer_) layer_->Finish(*this, result);
}

const TModalStyle& TModalPanel::Style() const {
    static const TModalStyle kDefault;
    return layer_ ? layer_->Style : kDefault;
}

TRect TModalPanel::ClientRect() const {
    return TRect{kFrame, std::min(Style().titleHeight, Height()), Width() - kFrame, Height() - kFrame};
}

void TModalPanel::Arrange(const TRect& area) {
    const int width = std::min(Width(), area.Width());
    const int height = std::min(Height(), area.Height());
    SetBounds(TRect::FromSize(area.left + (area.Width() - width) / 2, area.top + (area.Height() - height) / 2, width,
                              height));
}

void TModalPanel::PaintContent(TPainter& painter, const TRect& window) {
    const TModalStyle& style = Style();
    const TRect inner{window.left + kFrame, window.top + kFrame, window.right - kFrame, window.bottom - kFrame};
    FillRoundedRect(painter, window, style.radius, style.frame);
    FillRoundedRect(painter, inner, style.radius - kFrame, style.face);
    const TRect titleBar{window.left, window.top, window.right, window.top + style.titleHeight};
    painter.PushClip(titleBar);
    FillRoundedRect(painter, inner, style.radius - kFrame, style.title);
    painter.PopClip();
    painter.FillRect(TRect{inner.left, titleBar.bottom - 1, inner.right, titleBar.bottom}, style.frame);
    if (style.TitleAtlas() && !caption_.empty()) {
        const TGlyphAtlas& atlas = *style.TitleAtlas();
        const int baseline = window.top + (style.titleHeight - atlas.Ascent() - atlas.Descent()) / 2 + atlas.Ascent();
        painter.PushClip(TRect{inner.left + 4, titleBar.top, inner.right - 4, titleBar.bottom - 1});
        painter.DrawText(atlas, caption_, window.left + style.padding, baseline, style.titleText);
        painter.PopClip();
    }
    PaintClient(painter, ClientRect().Translated(window.left, window.top));
    TDIBImageContainer::PaintContent(painter, window);
}

// TModalLayer -----------------------------------------------------------------------------------------------

TModalLayer::TCallGuard::~TCallGuard() {
    if (--layer_.calls_ > 0) return;
    // Destroyed outside the vector: a panel's destructor must not find the list half cleared.
    std::vector<std::unique_ptr<TModalPanel>> closed;
    closed.swap(layer_.closed_);
}

TModalLayer::~TModalLayer() {
    for (TEntry& entry : stack_)
        Detach(*entry.panel);
}

void TModalLayer::SetRoot(TDIBImageContainer* root) {
    if (root != root_) CloseAll();
    root_ = root;
    area_ = root ? root->WindowRect() : TRect{};
}

void TModalLayer::InvalidateAll() const {
    if (OnInvalidate && !area_.Empty()) OnInvalidate(area_);
}

TModalPanel& TModalLayer::Open(std::unique_ptr<TModalPanel> panel, TModalCallback onClose) {
    TModalPanel& opened = *panel;
    if (root_ && root_->MenuLayer()) root_->MenuLayer()->Close();
    opened.parent_ = root_;
    opened.layer_ = this;
    opened.Arrange(TRect::FromSize(0, 0, area_.Width(), area_.Height()));
    stack_.push_back(TEntry{std::move(panel), std::move(onClose)});
    if (THookEdit* edit = THookEdit::ActiveEdit(); edit && !IsInside(*edit, opened)) edit->Deactivate();
    InvalidateAll();
    return opened;
}

void TModalLayer::Detach(TModalPanel& panel) {
    if (THookEdit* edit = THookEdit::ActiveEdit(); edit && IsInside(*edit, panel)) edit->Deactivate();
    panel.parent_ = nullptr;
    panel.layer_ = nullptr;
}

void TModalLayer::Finish(TModalPanel& panel, int result) {
    const auto found = std::find_if(stack_.begin(), stack_.end(),
                                    [&panel](const TEntry& entry) { return entry.panel.get() == &panel; });
    if (found == stack_.end()) return;
    const TCallGuard guard(*this); // the panel lives on until after the callback
    TEntry entry = std::move(*found);
    stack_.erase(found);
    InvalidateAll();
    Detach(*entry.panel);
    closed_.push_back(std::move(entry.panel));
    if (entry.onClose) entry.onClose(result);
}

void TModalLayer::CloseAll() {
    if (stack_.empty()) return;
    const TCallGuard guard(*this);
    InvalidateAll();
    while (!stack_.empty()) {
        std::unique_ptr<TModalPanel> panel = std::move(stack_.back().panel);
        stack_.pop_back();
        Detach(*panel);
        closed_.push_back(std::move(panel));
    }
}

void TModalLayer::MouseDown(const TMouseEvent& event) {
    if (stack_.empty()) return;
    const TCallGuard guard(*this);
    Top()->router_.MouseDown(event);
}

void TModalLayer::MouseMove(const TMouseEvent& event) {
    if (stack_.empty()) return;
    const TCallGuard guard(*this);
    Top()->router_.MouseMove(event);
}

bool TModalLayer::MouseWheel(const TMouseEvent& event, int steps) {
    if (stack_.empty()) return false;
    const TCallGuard guard(*this);
    return Top()->MouseWheel(event, steps);
}

void TModalLayer::ReleaseCaptures(const TMouseEvent& event) {
    const TCallGuard guard(*this);
    // By index: a release may close panels.
    for (std::size_t i = 0; i < stack_.size(); ++i)
        if (TMouseRouter& router = stack_[i].panel->router_; router.Captured()) router.MouseUp(event);
}

void TModalLayer::MouseUp(const TMouseEvent& event) {
    if (stack_.empty()) return;
    const TCallGuard guard(*this);
    TModalPanel* top = Top();
    for (std::size_t i = 0; i < stack_.size() && stack_[i].panel.get() != top; ++i)
        if (TMouseRouter& router = stack_[i].panel->router_; router.Captured()) router.MouseUp(event);
    if (top->IsOpen()) top->router_.MouseUp(event);
}

bool TModalLayer::DispatchKey(const TKeyEvent& event) {
    if (stack_.empty()) return false;
    const TCallGuard guard(*this);
    TModalPanel& top = *Top();
    if (top.PreviewKey(event)) return true;
    if (const THookEdit* edit = THookEdit::ActiveEdit(); edit && IsInside(*edit, top))
        return THookEdit::DispatchKey(event);
    return top.KeyDown(event);
}

void TModalLayer::AdvanceClock(int milliseconds) {
    if (stack_.empty()) return;
    const TCallGuard guard(*this);
    for (std::size_t i = 0; i < stack_.size(); ++i)
        stack_[i].panel->AdvanceClock(milliseconds);
}

TCursor TModalLayer::Cursor() const {
    return stack_.empty() ? TCursor::Arrow : stack_.back().panel->router_.Cursor();
}

void TModalLayer::Paint(TPainter& painter) const {
    if (stack_.empty()) return;
    painter.PushClip(area_);
    for (std::size_t i = 0; i + 1 < stack_.size(); ++i)
        stack_[i].panel->Paint(painter);
    painter.FillRect(area_, Style.veil, Style.veilOpacity);
    TModalPanel& top = *stack_.back().panel;
    if (top.Visible()) FillRoundedRect(painter, top.WindowRect().Translated(2, 3), Style.radius, Style.veil, 90);
    top.Paint(painter);
    painter.PopClip();
}

} // namespace quillon
