#include "toolkit/THookEdit.h"

#include <algorithm>

namespace quillon {

THookEdit::THookEdit(const TRect& bounds) : TDIBControl(bounds) {}

THookEdit::~THookEdit() {
    if (activeEdit_ == this) activeEdit_ = nullptr;
}

void THookEdit::SetText(std::string text) {
    if (maxLength_ > 0 && static_cast<int>(text.size()) > maxLength_) text.resize(static_cast<std::size_t>(maxLength_));
    text_ = std::move(text);
    caret_ = static_cast<int>(text_.size());
    ClearSelection();
    Invalidate();
}

void THookEdit::SetMaxLength(int length) {
    maxLength_ = std::max(length, 0);
    SetText(text_);
}

void THookEdit::SetSelection(int start, int length) {
    const int size = static_cast<int>(text_.size());
    selStart_ = std::clamp(start, 0, size);
    selLength_ = std::clamp(length, 0, size - selStart_);
    caret_ = selStart_ + selLength_;
    Invalidate();
}

void THookEdit::Activate() {
    if (activeEdit_ == this) return;
    if (THookEdit* previous = activeEdit_) {
        previous->Deactivate();
        if (previous->OnReturn) {
            const TNotifyEvent handler = previous->OnReturn;
            handler(*previous);
        }
    }
    activeEdit_ = this;
    focused_ = true;
    original_ = text_;
    Invalidate();
}

void THookEdit::Deactivate() {
    if (activeEdit_ != this) return;
    activeEdit_ = nullptr;
    focused_ = false;
    Invalidate();
}

bool THookEdit::DispatchKey(const TKeyEvent& event) {
    THookEdit* edit = activeEdit_;
    if (!edit) return false;
    if (!edit->focused_) {
        edit->Deactivate();
        return false;
    }
    edit->HandleKey(event);
    return true;
}

void THookEdit::DeleteSelection() {
    if (selLength_ <= 0) return;
    text_.erase(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selLength_));
    caret_ = selStart_;
    ClearSelection();
}

void THookEdit::ReplaceSelection(const std::string& chars) {
    DeleteSelection();
    std::string insert = chars;
    if (maxLength_ > 0) {
        const int room = std::max(maxLength_ - static_cast<int>(text_.size()), 0);
        if (static_cast<int>(insert.size()) > room) insert.resize(static_cast<std::size_t>(room));
    }
    text_.insert(static_cast<std::size_t>(caret_), insert);
    caret_ += static_cast<int>(insert.size());
}

bool THookEdit::HandleKey(const TKeyEvent& event) {
    if (!event.down) return true;
    switch (event.key) {
    case TEditKey::Backspace:
        if (selLength_ > 0) {
            DeleteSelection();
        } else if (caret_ > 0) {
            text_.erase(static_cast<std::size_t>(caret_ - 1), 1);
            --caret_;
        }
        break;
    case TEditKey::Enter:
        if (OnReturn) {
            const TNotifyEvent handler = OnReturn;
            handler(*this);
        }
        return true;
    case TEditKey::Escape:
        text_ = original_;
        caret_ = std::min(caret_, static_cast<int>(text_.size()));
        ClearSelection();
        break;
    case TEditKey::Left:
        if (selLength_ > 0)
            caret_ = selStart_;
        else
            caret_ = std::max(caret_ - 1, 0);
        ClearSelection();
        break;
    case TEditKey::Right:
        if (selLength_ > 0)
            caret_ = selStart_ + selLength_;
        else
            caret_ = std::min(caret_ + 1, static_cast<int>(text_.size()));
        ClearSelection();
        break;
    case TEditKey::Delete:
        DeleteSelection();
        break;
    case TEditKey::Home:
    case TEditKey::End:
        caret_ = event.key == TEditKey::Home ? 0 : static_cast<int>(text_.size());
        ClearSelection();
        break;
    case TEditKey::Up:
    case TEditKey::Down:
        return true;
    case TEditKey::Other:
        if (event.chars.empty()) return true;
        ReplaceSelection(event.chars);
        break;
    }
    Invalidate();
    return true;
}

void THookEdit::MouseUp(const TMouseEvent& event) {
    if (event.button != TMouseButton::Left) return;
    if (event.x < 0 || event.y < 0 || event.x >= Width() || event.y >= Height()) return;
    Activate();
}

void THookEdit::PaintContent(TPainter& painter, const TRect& window) {
    painter.FillRect(window, Color, Opacity());
    if (!Font) return;
    const int baseline = window.top + (window.Height() - Font->Ascent() - Font->Descent()) / 2 + Font->Ascent();
    const std::string_view text = text_;
    const int x0 = window.left + 1;
    const auto penAt = [&](int index) { return x0 + Font->TextWidth(text.substr(0, static_cast<std::size_t>(index))); };
    painter.DrawText(*Font, text, x0, baseline, FontColor, Opacity());
    if (selLength_ > 0) {
        const TRect box{penAt(selStart_), window.top, penAt(selStart_ + selLength_), window.bottom};
        painter.FillRect(box, SelectionColor, Opacity());
        painter.DrawText(*Font, text.substr(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selLength_)),
                         box.left, baseline, SelectionFontColor, Opacity());
    }
    if (IsActive()) {
        const int x = penAt(caret_);
        painter.FillRect(TRect{x, baseline - Font->Ascent(), x + 1, baseline + Font->Descent()}, FontColor, Opacity());
    }
}

} // namespace quillon
