#include "toolkit/TDIBControl.h"

#include "toolkit/THintLayer.h"
#include "toolkit/TModalLayer.h"
#include "toolkit/TPopupMenu.h"

#include <algorithm>

namespace quillon {

// TDIBControl -------------------------------------------------------------------------------------------------

TDIBControl::~TDIBControl() {
    if (parent_) parent_->Remove(*this);
}

void TDIBControl::SetBounds(const TRect& bounds) {
    if (bounds == bounds_) return;
    Invalidate();
    bounds_ = bounds;
    Invalidate();
}

TRect TDIBControl::WindowRect() const {
    TRect rect = bounds_;
    for (const TDIBControl* p = parent_; p; p = p->parent_)
        rect = rect.Translated(p->bounds_.left, p->bounds_.top);
    return rect;
}

void TDIBControl::SetDIBImageList(const TDIBImageList* images) {
    images_ = images;
    ImageChanged();
    Invalidate();
}

void TDIBControl::SetOpacity(std::uint8_t opacity) {
    if (opacity == opacity_) return;
    opacity_ = opacity;
    Invalidate();
}

void TDIBControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Invalidate();
}

void TDIBControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    // Invalidate while visible, so the area it leaves or takes is repainted either way.
    visible_ = true;
    Invalidate();
    visible_ = visible;
}

void TDIBControl::SetAutoSize(bool autoSize) {
    if (autoSize == autoSize_) return;
    autoSize_ = autoSize;
    if (autoSize_) ImageChanged();
}

TDirtyRegion* TDIBControl::FindDirtyRegion() const {
    const TDIBControl* root = this;
    while (root->parent_)
        root = root->parent_;
    const auto* container = dynamic_cast<const TDIBImageContainer*>(root);
    return container ? container->DirtyRegion() : nullptr;
}

TMenuLayer* TDIBControl::FindMenuLayer() const {
    const TDIBControl* root = this;
    while (root->parent_)
        root = root->parent_;
    const auto* container = dynamic_cast<const TDIBImageContainer*>(root);
    return container ? container->MenuLayer() : nullptr;
}

void TDIBControl::Invalidate() {
    if (!visible_) return;
    TDirtyRegion* region = FindDirtyRegion();
    if (!region) return;
    // Only the part inside every ancestor shows.
    TRect area = WindowRect();
    for (const TDIBControl* p = parent_; p; p = p->parent_)
        area = area.Intersection(p->WindowRect());
    if (!area.Empty()) region->Add(area);
}

void TDIBControl::Paint(TPainter& painter) {
    if (!visible_) return;
    const TRect window = WindowRect();
    painter.PushClip(window);
    if (!painter.Clip().Empty()) PaintContent(painter, window);
    painter.PopClip();
}

TDIBControl* TDIBControl::HitTest(int x, int y) {
    return visible_ && WindowRect().Contains(x, y) ? this : nullptr;
}

TDIBControl::TSize TDIBControl::FrameSize(int link, int frames, TFrameStack stack) const {
    const TDIBImageEntry* image = ImageOf(link);
    if (!image) return {};
    frames = std::max(frames, 1);
    if (stack == TFrameStack::fsHorizontal) return {image->Width() / frames, image->Height()};
    return {image->Width(), image->Height() / frames};
}

void TDIBControl::DrawStripFrame(TPainter& painter, const TRect& window, int link, int frame, int frames,
                                 TFrameStack stack, std::uint8_t opacity) const {
    const TDIBImageEntry* image = ImageOf(link);
    if (!image || opacity == 0) return;
    frames = std::max(frames, 1);
    frame = std::clamp(frame, 0, frames - 1);
    const TSize size = FrameSize(link, frames, stack);
    const TRect from = stack == TFrameStack::fsHorizontal
                           ? TRect::FromSize(frame * size.width, 0, size.width, size.height)
                           : TRect::FromSize(0, frame * size.height, size.width, size.height);
    painter.DrawImage(image->pixels, from, window.left, window.top, opacity, image->key);
}

// TDIBImageContainer ------------------------------------------------------------------------------------------

TDIBImageContainer::~TDIBImageContainer() {
    for (TDIBControl* child : children_)
        child->parent_ = nullptr;
}

void TDIBImageContainer::SetIndexMain(int index) {
    if (index == indexMain_) return;
    indexMain_ = index;
    ImageChanged();
    Invalidate();
}

void TDIBImageContainer::ImageChanged() {
    if (!AutoSize()) return;
    const TSize size = FrameSize(indexMain_, 1, TFrameStack::fsHorizontal);
    if (size.width > 0) SetSize(size.width, size.height);
}

void TDIBImageContainer::Add(TDIBControl& child) {
    if (child.parent_ == this) return;
    if (child.parent_) child.parent_->Remove(child);
    children_.push_back(&child);
    child.parent_ = this;
    child.Invalidate();
}

void TDIBImageContainer::Remove(TDIBControl& child) {
    const auto found = std::find(children_.begin(), children_.end(), &child);
    if (found == children_.end()) return;
    child.Invalidate();
    children_.erase(found);
    child.parent_ = nullptr;
}

void TDIBImageContainer::AdvanceClock(int milliseconds) {
    for (TDIBControl* child : children_)
        child->AdvanceClock(milliseconds);
    if (modalLayer_) modalLayer_->AdvanceClock(milliseconds);
    if (hintLayer_) hintLayer_->AdvanceClock(milliseconds);
}

void TDIBImageContainer::MouseDown(const TMouseEvent& event) {
    if (OnMouseDown && Enabled()) OnMouseDown(*this, event);
}

void TDIBImageContainer::MouseMove(const TMouseEvent& event) {
    if (OnMouseMove && Enabled()) OnMouseMove(*this, event);
}

void TDIBImageContainer::MouseUp(const TMouseEvent& event) {
    if (OnMouseUp && Enabled()) OnMouseUp(*this, event);
}

TDIBControl* TDIBImageContainer::HitTest(int x, int y) {
    if (!Visible() || !WindowRect().Contains(x, y)) return nullptr;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        if (TDIBControl* hit = (*it)->HitTest(x, y)) return hit;
    return this;
}

void TDIBImageContainer::PaintContent(TPainter& painter, const TRect& window) {
    if (const TDIBImageEntry* image = ImageOf(indexMain_))
        painter.DrawImage(image->pixels, image->Bounds(), window.left, window.top, Opacity(), image->key);
    for (TDIBControl* child : children_)
        child->Paint(painter);
    if (modalLayer_) modalLayer_->Paint(painter);
    if (menuLayer_) menuLayer_->Paint(painter);
    if (hintLayer_) hintLayer_->Paint(painter);
}

void TDIBImageContainer::SetMenuLayer(TMenuLayer* layer) {
    if (menuLayer_) menuLayer_->OnInvalidate = nullptr;
    menuLayer_ = layer;
    if (!layer) return;
    layer->SetArea(WindowRect());
    layer->OnInvalidate = [this](const TRect& area) {
        if (dirty_) dirty_->Add(area.Intersection(WindowRect()));
    };
}

void TDIBImageContainer::SetModalLayer(TModalLayer* layer) {
    if (modalLayer_) {
        modalLayer_->OnInvalidate = nullptr;
        modalLayer_->SetRoot(nullptr);
    }
    modalLayer_ = layer;
    if (!layer) return;
    layer->SetRoot(this);
    layer->OnInvalidate = [this](const TRect& area) {
        if (dirty_) dirty_->Add(area.Intersection(WindowRect()));
    };
}

void TDIBImageContainer::SetHintLayer(THintLayer* layer) {
    if (hintLayer_) hintLayer_->OnInvalidate = nullptr;
    hintLayer_ = layer;
    if (!layer) return;
    layer->SetArea(WindowRect());
    layer->OnInvalidate = [this](const TRect& area) {
        if (dirty_) dirty_->Add(area.Intersection(WindowRect()));
    };
}

// TDIBTimer ---------------------------------------------------------------------------------------------------

void TDIBTimer::SetEnabled(bool enabled) {
    if (enabled && !enabled_) elapsed_ = 0;
    enabled_ = enabled;
}

void TDIBTimer::Advance(int milliseconds) {
    if (!enabled_ || milliseconds <= 0) return;
    elapsed_ += milliseconds;
    while (enabled_ && elapsed_ >= interval_) {
        elapsed_ -= interval_;
        if (OnTimer) OnTimer();
    }
}

// TMouseRouter ------------------------------------------------------------------------------------------------

TDIBControl* TMouseRouter::Target(int x, int y) const {
    TDIBControl* hit = root_.HitTest(x, y);
    return hit && hit->Enabled() ? hit : nullptr;
}

TMouseEvent TMouseRouter::ToLocal(const TDIBControl& control, const TMouseEvent& windowEvent) {
    const TRect window = control.WindowRect();
    TMouseEvent local = windowEvent;
    local.x -= window.left;
    local.y -= window.top;
    return local;
}

bool TMouseRouter::MenuOpen() const {
    const TMenuLayer* layer = root_.MenuLayer();
    return layer && layer->IsOpen();
}

bool TMouseRouter::ModalOpen() const {
    const TModalLayer* layer = root_.ModalLayer();
    return layer && layer->IsOpen();
}

void TMouseRouter::EndCapture(const TMouseEvent& windowEvent) {
    if (TDIBControl* holder = captured_; holder && windowEvent.button == capturedButton_) {
        captured_ = nullptr;
        holder->MouseUp(ToLocal(*holder, windowEvent));
    }
}

void TMouseRouter::MouseDown(const TMouseEvent& windowEvent) {
    if (THintLayer* hints = root_.HintLayer()) hints->Hide();
    if (MenuOpen()) {
        root_.MenuLayer()->MouseDown(windowEvent);
        return;
    }
    if (ModalOpen()) {
        root_.ModalLayer()->MouseDown(windowEvent);
        return;
    }
    // A second button pressed during a drag goes to the control that holds the capture.
    TDIBControl* target = captured_ ? captured_ : Target(windowEvent.x, windowEvent.y);
    hovered_ = target;
    if (!target) return;
    if (!captured_) capturedButton_ = windowEvent.button;
    captured_ = target;
    target->MouseDown(ToLocal(*target, windowEvent));
}

void TMouseRouter::MouseMove(const TMouseEvent& windowEvent) {
    if (THintLayer* hints = root_.HintLayer(); hints && (MenuOpen() || ModalOpen())) hints->Hide();
    if (MenuOpen()) {
        root_.MenuLayer()->MouseMove(windowEvent);
        return;
    }
    if (ModalOpen()) {
        root_.ModalLayer()->MouseMove(windowEvent);
        return;
    }
    if (captured_) {
        captured_->MouseMove(ToLocal(*captured_, windowEvent));
        return;
    }
    hovered_ = Target(windowEvent.x, windowEvent.y);
    if (THintLayer* hints = root_.HintLayer()) hints->Hover(hovered_, windowEvent.x, windowEvent.y);
    if (hovered_) hovered_->MouseMove(ToLocal(*hovered_, windowEvent));
}

void TMouseRouter::MouseUp(const TMouseEvent& windowEvent) {
    if (MenuOpen()) {
        EndCapture(windowEvent);
        if (ModalOpen()) root_.ModalLayer()->ReleaseCaptures(windowEvent);
        if (MenuOpen()) root_.MenuLayer()->MouseUp(windowEvent);
        return;
    }
    if (ModalOpen()) {
        EndCapture(windowEvent);
        if (ModalOpen()) root_.ModalLayer()->MouseUp(windowEvent);
        return;
    }
    TDIBControl* target = captured_ ? captured_ : Target(windowEvent.x, windowEvent.y);
    if (captured_ && windowEvent.button == capturedButton_) captured_ = nullptr;
    if (target) target->MouseUp(ToLocal(*target, windowEvent));
    hovered_ = Target(windowEvent.x, windowEvent.y);
}

TCursor TMouseRouter::Cursor() const {
    if (captured_) return captured_->Cursor();
    if (ModalOpen()) return root_.ModalLayer()->Cursor();
    return hovered_ ? hovered_->Cursor() : TCursor::Arrow;
}

void TMouseRouter::Forget(const TDIBControl& control) {
    if (captured_ == &control) captured_ = nullptr;
    if (hovered_ == &control) hovered_ = nullptr;
}

} // namespace quillon
