#include "toolkit/TPatchListBox.h"

#include <algorithm>
#include <cstdio>

namespace quillon {

namespace {
constexpr std::size_t kNumberLength = 5; // "001. "
} // namespace

TPatchListBox::TPatchListBox(const TRect& bounds) : TBAListBox(bounds) {
    SetPrograms(64);
}

TPatchListBox::~TPatchListBox() {
    if (editBox_) editBox_->OnReturn = nullptr;
}

std::string TPatchListBox::RowText(int r, std::string_view name) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d. ", r + 1);
    std::string text = number;
    text += name.substr(0, kNameLength);
    return text;
}

void TPatchListBox::SetPrograms(int n) {
    Clear();
    for (int r = 0; r < n; ++r)
        AddItem(RowText(r, {}));
}

std::string TPatchListBox::ProgramName(int r) const {
    const std::string& text = Item(r);
    if (text.size() <= kNumberLength) return {};
    return text.substr(kNumberLength, kNameLength);
}

void TPatchListBox::SetProgramName(int r, std::string_view name) {
    if (r < 0 || r >= Count()) return;
    SetItem(r, RowText(r, name));
}

void TPatchListBox::SetEditBox(THookEdit* edit) {
    if (edit == editBox_) return;
    CloseEditBox();
    if (editBox_) editBox_->OnReturn = nullptr;
    editBox_ = edit;
}

void TPatchListBox::CloseEditBox() {
    editingRow_ = -1;
    if (!editBox_) return;
    editBox_->SetVisible(false);
    editBox_->Deactivate();
}

void TPatchListBox::Commit() {
    if (!editBox_) return;
    const int row = editingRow_;
    const std::string text = editBox_->Text();
    CloseEditBox();
    if (row < 0) return;
    SetProgramName(row, std::string_view(text).substr(0, kNameLength));
    committedRow_ = row;
    if (OnChange && !Loading()) OnChange(*this);
}

void TPatchListBox::MouseDown(const TMouseEvent& event) {
    TBAListBox::MouseDown(event);
    if (event.button == TMouseButton::Left) CloseEditBox();
    if (OnMouseDown) OnMouseDown(*this, event);
}

void TPatchListBox::MouseUp(const TMouseEvent& event) {
    TBAListBox::MouseUp(event);
    if (OnMouseUp) OnMouseUp(*this, event);
}

void TPatchListBox::MouseDoubleClick(const TMouseEvent& event) {
    if (!editBox_ || event.button != TMouseButton::Left) return;
    const int row = ItemAt(event.x, event.y);
    if (row < 0) return;
    editBox_->Deactivate();
    editBox_->OnReturn = [this](TDIBControl&) { Commit(); };
    const TRect rect = ItemRect(row);
    const int x = rect.left + Bounds().left + EditOffsetLeft;
    const int y = rect.top + Bounds().top + EditOffsetTop;
    editBox_->SetBounds(TRect::FromSize(x, y, editBox_->Width(), editBox_->Height()));
    if (Parent()) { // the last added is in front
        Parent()->Remove(*editBox_);
        Parent()->Add(*editBox_);
    }
    editBox_->SetVisible(true);
    editingRow_ = row;
    editBox_->SetText(ProgramName(row));
    editBox_->Activate();
}

} // namespace quillon
