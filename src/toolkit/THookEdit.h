// The in-place name editor: a single-line edit box that, while active, captures every key event of the GUI
// thread, so a host never sees the keys typed into it. The platform translates each key event (the key and,
// for keys that produce characters, the one or two characters it produces with the current keyboard state
// and layout) and hands it to THookEdit::DispatchKey, which gives it to the active edit box; when that
// returns false the event goes on to the host as usual.
//
// At most one edit box in the process is active. Activating one (a left release inside it, or a call to
// Activate) deactivates the active one and fires that one's OnReturn, so starting a second rename commits
// the first. While active, every key event is consumed; releases have no effect; presses:
//   Backspace  deletes the selection, else the character before the caret (none at 0), caret moving back
//   Enter      fires OnReturn
//   Escape     restores the text from before editing (editing goes on)
//   Left/Right with a selection the caret goes to its start/end, else one character back/forward
//   Home/End   the caret goes to the start/end of the text
//   Up/Down    nothing (panels that hold an edit box use them first)
//   Delete     deletes the selection (nothing without one)
//   any other  puts its characters in place of the selection at the caret; the caret moves behind them
// If the edit box has lost the focus, the next key event ends the capture instead and is passed on.
// Deactivating (by the caller, on destruction, or when the focus was lost) ends the capture and keeps the
// text. MaxLength (0 = none) limits the text: typed characters beyond it are dropped. [gui]
#pragma once

#include "toolkit/TDIBControl.h"
#include "toolkit/TGlyphAtlas.h"

#include <string>

namespace quillon {

enum class TEditKey { Backspace, Enter, Escape, Left, Right, Delete, Up, Down, Home, End, Other };

struct TKeyEvent {
    TEditKey key = TEditKey::Other;
    bool down = true;  // false: a key release
    std::string chars; // for TEditKey::Other: the characters the key produces (Latin-1), often none
};

class THookEdit : public TDIBControl {
public:
    explicit THookEdit(const TRect& bounds = TRect{});
    ~THookEdit() override;

    // Setting the text from code puts the caret at its end with no selection (and cuts it to MaxLength).
    const std::string& Text() const { return text_; }
    void SetText(std::string text);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length);

    int CaretPos() const { return caret_; }
    int SelStart() const { return selLength_ > 0 ? selStart_ : caret_; }
    int SelLength() const { return selLength_; }
    // Selects `length` characters from `start` (both cut to the text); the caret goes to the selection's end.
    void SetSelection(int start, int length);

    // Starts capturing the keyboard (committing another active edit box first) and takes the focus.
    void Activate();
    // Ends the capture; the text stays.
    void Deactivate();
    bool IsActive() const { return activeEdit_ == this; }
    static THookEdit* ActiveEdit() { return activeEdit_; }

    bool Focused() const { return focused_; }
    // The focus went elsewhere: the next key event ends the capture and is not consumed.
    void KillFocus() { focused_ = false; }

    // Hands a key event of the GUI thread to the active edit box; true when it was consumed.
    static bool DispatchKey(const TKeyEvent& event);

    TNotifyEvent OnReturn;

    // Drawing: the background, then the text one pixel right of the left edge, the selection inverted
    // and, while active, a one-pixel caret.
    const TGlyphAtlas* Font = nullptr;
    TPixel Color = Rgb(255, 255, 255);
    TPixel FontColor = Rgb(0, 0, 0);
    TPixel SelectionColor = Rgb(0, 120, 215);
    TPixel SelectionFontColor = Rgb(255, 255, 255);

    void MouseUp(const TMouseEvent& event) override;

protected:
    void PaintContent(TPainter& painter, const TRect& window) override;

private:
    bool HandleKey(const TKeyEvent& event);
    void ReplaceSelection(const std::string& chars);
    void DeleteSelection();
    void ClearSelection() { selLength_ = 0; }

    inline static THookEdit* activeEdit_ = nullptr; // the process-wide active edit box

    std::string text_;
    std::string original_;
    int maxLength_ = 0;
    int caret_ = 0;
    int selStart_ = 0;
    int selLength_ = 0;
    bool focused_ = false;
};

} // namespace quillon
