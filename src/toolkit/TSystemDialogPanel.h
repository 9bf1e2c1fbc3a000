// The desktop's own file or folder dialog (platform::SystemFileDialog) standing in for TFileDialog: while it
// runs in a window of its own, this panel lies over the editor with a short note and a Cancel button, so the
// editor takes no input meanwhile; the layer's clock polls the dialog (every kPollMs), never waiting for it.
//
// Results: mrOk with FileName() the chosen path (a save adds the default extension to a name without one and,
// with OverwritePrompt, asks before replacing a file that name leads to, over the panel); mrCancel when the
// user cancels the dialog or presses Cancel or Escape here (which closes the dialog); kFailed when the dialog
// could not run (no display, a broken tool), so the caller may show its own. The panel's destruction (the
// editor closing) kills a dialog still open.
//
// Where the system's dialogs are modal (Windows), Run opens the panel and then runs the dialog to its end
// before it returns; the answer goes to the callbacks at once. Since the dialog's message loop serves the
// host meanwhile, an editor closed by then drops the panel and its callbacks unanswered. [gui]
#pragma once

#include "platform/SystemFileDialog.h"
#include "toolkit/TFileDialog.h"
#include "toolkit/TModalLayer.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

class TSystemDialogPanel : public TModalPanel {
public:
    static constexpr int kFailed = 100;
    static constexpr int kPollMs = 50;

    TSystemDialogPanel(TFileDialogOptions options, std::unique_ptr<platform::SystemFileDialog> dialog);
    ~TSystemDialogPanel() override;

    // Starts the desktop's dialog for `options` and opens the panel; null (and nothing opened) when no
    // dialog could be started. `onFailed` runs when the dialog ended without an answer.
    static TSystemDialogPanel* Show(TModalLayer& layer, TFileDialogOptions options, TFileDialogCallback onOk,
                                    std::function<void()> onCancel, std::function<void()> onFailed);
    // Show where the system's dialogs run beside the editor; where they are modal, the dialog shown to its
    // end over the panel. False (and nothing opened) when no dialog could be started.
    static bool Run(TModalLayer& layer, TFileDialogOptions options, TFileDialogCallback onOk,
                    std::function<void()> onCancel, std::function<void()> onFailed);

    const std::string& FileName() const { return fileName_; }
    platform::SystemFileDialog& Dialog() { return *dialog_; }
    TRect CancelButtonRect() const;

    void AdvanceClock(int milliseconds) override;
    bool KeyDown(const TKeyEvent& event) override;
    void Arrange(const TRect& area) override;
    void MouseDown(const TMouseEvent& event) override;
    void MouseUp(const TMouseEvent& event) override;

protected:
    void PaintClient(TPainter& painter, const TRect& client) override;

private:
    static TModalCallback Answer(TSystemDialogPanel* opened, TFileDialogCallback onOk, std::function<void()> onCancel,
                                 std::function<void()> onFailed);
    void Conclude(platform::SystemDialogState state);
    void Answered();
    void Finish(const std::string& path);

    TFileDialogOptions options_;
    std::unique_ptr<platform::SystemFileDialog> dialog_;
    std::string fileName_;
    std::vector<std::string> lines_;
    TRect cancel_;
    int sincePoll_ = 0;
    bool pressed_ = false;
    bool asking_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace quillon
