// The message box: a modal panel with a caption, a message wrapped to the panel's width and a row of
// buttons drawn by the panel itself, centred under the text. Its result is the button chosen: mrOk,
// mrCancel, mrYes or mrNo.
//
// Buttons: OK | OK, Cancel | Yes, No | Yes, No, Cancel. The default button is the first one and the cancel
// button the last one (OK for a lone OK button); both can be changed. One button has the focus (a ring in
// the accent colour), at first the default one; the default button's frame is in the accent colour.
// Keys: Enter chooses the focused button, Escape the cancel button, Left and Right move the focus; their
// releases are used too, other keys are left to the host. Mouse: a left press on a button shows it pressed
// and gives it the focus; releasing it there chooses it; moving off shows it released and a release there
// chooses nothing.
// Size: the text's width (up to MaxTextWidth, or less in a small window) or the buttons' or the caption's if
// wider; the height fits every line. Lines are broken at blanks, a word wider than a line between letters,
// and at each '\n'. [gui]
#pragma once

#include "toolkit/TGlyphAtlas.h"
#include "toolkit/TModalLayer.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The button rows; mbYesCancel is Yes, Cancel (the cancel button being Cancel).
enum class TMsgButtons { mbOK, mbOKCancel, mbYesNo, mbYesNoCancel, mbYesCancel };

// The lines of `text` broken to at most `width` pixels in `atlas` (see TMessageBox).
std::vector<std::string> WrapText(const TGlyphAtlas& atlas, std::string_view text, int width);

class TMessageBox : public TModalPanel {
public:
    static constexpr int kMaxButtons = 3;
    static constexpr int kMaxTextWidth = 360;
    static constexpr int kMinTextWidth = 160;

    TMessageBox(std::string caption, std::string text, TMsgButtons buttons = TMsgButtons::mbOK);

    // Opens a message box on `layer`; `onClose` gets the result.
    static TMessageBox& Show(TModalLayer& layer, std::string caption, std::string text, TMsgButtons buttons,
                             TModalCallback onClose);

    const std::string& Text() const { return text_; }
    // The text as shown, one entry a line (set when the box opens).
    const std::vector<std::string>& Lines() const { return lines_; }

    int ButtonCount() const { return count_; }
    int ButtonResult(int index) const { return results_[static_cast<std::size_t>(index)]; }
    // Button `index` in window coordinates.
    TRect ButtonRect(int index) const;
    // The results of the default and the cancel button; setting one that the box lacks changes nothing.
    // Setting the default button gives it the focus.
    int DefaultResult() const { return results_[static_cast<std::size_t>(default_)]; }
    void SetDefaultResult(int result);
    int CancelResult() const { return results_[static_cast<std::size_t>(cancel_)]; }
    void SetCancelResult(int result);
    int FocusedButton() const { return focused_; }
    // The button shown pressed, or -1.
    int PressedButton() const { return pressedInside_ ? pressed_ : -1; }

    bool KeyDown(const TKeyEvent& event) override;
    void Arrange(const TRect& area) override;
    void MouseDown(const TMouseEvent& event) override;
    void MouseMove(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

protected:
    void PaintClient(TPainter& painter, const TRect& client) override;

private:
    int IndexOf(int result) const;
    int ButtonAt(int x, int y) const;
    void InvalidateButton(int index);
    void PaintButton(TPainter& painter, int index, const TRect& area) const;

    std::string text_;
    std::vector<std::string> lines_;
    std::array<int, kMaxButtons> results_{};
    std::array<TRect, kMaxButtons> buttons_{}; // in the panel's coordinates
    int count_ = 0;
    int default_ = 0;
    int cancel_ = 0;
    int focused_ = 0;
    int pressed_ = -1;
    bool pressedInside_ = false;
};

} // namespace quillon
