// The program list: one row per program, its text the row number r + 1 as three digits, ". " and the
// program name (at most 24 characters, so the name starts at the sixth character), with in-place renaming
// through an EditBox.
//
// Renaming: a double click on a row deactivates the edit box, makes its OnReturn this list's commit,
// places it at the row's left + the list's left + EditOffsetLeft, the row's top + the list's top +
// EditOffsetTop in the list's parent, shows it in front of the other controls there, gives it the row's
// name and activates it. The commit (Enter in the edit box, or another edit box being activated) makes the
// edit text, cut to 24 characters, the row's name, hides and deactivates the edit box and fires OnChange.
// A single click on the list (also the first click of a double click) hides and deactivates the edit
// box, which abandons a rename.
//
// Mouse notifications: OnMouseDown after a press has been handled (the row selected, OnClick fired),
// OnMouseUp at the release. [gui]
#pragma once

#include "toolkit/TBAListBox.h"
#include "toolkit/THookEdit.h"

#include <string>
#include <string_view>

namespace quillon {

class TPatchListBox : public TBAListBox {
public:
    static constexpr int kNameLength = 24;

    explicit TPatchListBox(const TRect& bounds = TRect{});
    ~TPatchListBox() override;

    // The row text of row r with `name` (cut to kNameLength characters).
    static std::string RowText(int r, std::string_view name);

    // Empties the list and adds n rows, each with its number and an empty name.
    int Programs() const { return Count(); }
    void SetPrograms(int n);
    // Row r's name: its text without the first 5 characters, at most kNameLength characters.
    std::string ProgramName(int r) const;
    void SetProgramName(int r, std::string_view name);

    // The edit box used for renaming, or none. Not owned: it must outlive the list (or be replaced first),
    // since the list takes over its OnReturn.
    THookEdit* EditBox() const { return editBox_; }
    void SetEditBox(THookEdit* edit);
    int EditOffsetTop = 0;
    int EditOffsetLeft = 24;

    // The row being renamed, -1 for none.
    int EditingRow() const { return editingRow_; }
    // The row the last commit renamed (what OnChange reports), -1 before any.
    int CommittedRow() const { return committedRow_; }

    TNotifyEvent OnChange;
    TMouseNotifyEvent OnMouseDown;
    TMouseNotifyEvent OnMouseUp;

    void MouseDown(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;
    void MouseDoubleClick(const TMouseEvent& event) override;

private:
    void Commit();
    void CloseEditBox();

    THookEdit* editBox_ = nullptr;
    int editingRow_ = -1;
    int committedRow_ = -1;
};

} // namespace quillon
