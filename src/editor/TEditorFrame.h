// The editor in its window: the form (TPluginGUI) drawn into a pixel buffer and shown in a child window of
// the host's, driven entirely from the host's idle calls.
//
// Each idle: PollInput drains the window's events without waiting (mouse and keys to the form, exposures
// to a full repaint, the window's loss to a quiet end) and advances the form's timers by the time the
// monotonic clock moved since the last idle, so blinking keeps its pace whether the host idles every 5 or
// every 66 ms; the shell then carries out the pending refresh; Present repaints the dirty rectangles once
// and hands them to the window. A call made while another one is running (a host that idles from inside
// a callback of ours) returns at once.
//
// Windows whose system wants the editor to keep running between the host's idle calls (a timer of the window
// on Windows) call the shell's idle themselves, through SetIdleCallback.
//
// The window is made in the constructor; when the host has not created its parent yet, it is tried again
// at each idle. Without a display the form still exists (and takes refreshes) but shows nothing.
//
// Double clicks: a left press within 500 ms of the previous one and at most 4 pixels from it is also a double
// click (the form's MouseDoubleClick, after the press); the time is taken when the idle call handles the
// press, so it is exact to one idle interval.
//
// Keys: the window takes the keyboard while an in-place name editor is active or a panel (message box, file
// dialog) is open, and gives it back when the edit ends and the last panel closed; when the user takes the
// keyboard elsewhere while a panel is open, only a click into the editor takes it back. Keys that reach the
// window go to the editor; keys the host forwards (HostKey) are used only while the window does not have the
// keyboard itself, so no key arrives twice. Keys the editor does not use go back to the host.
//
// Display scale (1 or 2, chosen at construction, changed with SetScale): the form draws into a buffer of
// 800·scale × 556·scale device pixels from the skin of that scale and the window has that size; mouse
// positions from the window are divided by the scale before they reach the form, and the form's dirty
// rectangles are multiplied by it before they are presented.
//
// Teardown (destructor): ends editing and closes menus and panels, stops the timers, then closes the window
// (which waits for the display only for its own outstanding puts). [gui]
#pragma once

#include "editor/IEditorForm.h"
#include "platform/IEditorWindow.h"
#include "toolkit/TPixelBuffer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace quillon {

class TPluginGUI;
class TCustomVSTMidiPlugin;
class TVSTMidiPlugin;
struct TKeyEvent;

class TEditorFrame : public IEditorForm {
public:
    TEditorFrame(platform::NativeWindow parent, TCustomVSTMidiPlugin& plugin, int scale = 1);
    ~TEditorFrame() override;
    TEditorFrame(const TEditorFrame&) = delete;
    TEditorFrame& operator=(const TEditorFrame&) = delete;

    // IEditorForm
    void SetParameterValues(const float* values, int count) override;
    void updateStandardControls() override;
    void updateAllControls() override;
    void updateAll() override;
    void initNonAutomatedControls() override;
    void SetPresetLoadingIndicator(std::uint8_t opacity) override;
    void PollInput() override;
    void Present() override;
    // Kept for the window, which gets it now and whenever it is made again.
    void SetIdleCallback(const std::function<void()>& idle) override;
    bool HostKey(int character, int virtualKey, int modifiers, bool down) override;
    // Builds the form anew for `scale` and resizes the window to match; the shell refreshes it afterwards.
    bool SetScale(int scale) override;
    // The form's prompt (a new one after SetScale).
    std::shared_ptr<platform::IUserPrompt> UserPrompt() override;

    int Scale() const { return scale_; }

    TPluginGUI& Form() { return *form_; }
    // True while the window exists.
    bool HasWindow() const { return window_ != nullptr; }

private:
    void TryOpenWindow();
    // Ends editing and closes menus and panels of the form, and hands back the keyboard.
    void EndInteraction();
    void Handle(const platform::WindowEvent& event);
    bool DispatchKey(const TKeyEvent& event);
    void FollowKeyboardFocus();

    platform::NativeWindow parent_;
    TCustomVSTMidiPlugin& plugin_;
    int scale_ = 1;
    std::unique_ptr<TPluginGUI> form_;
    std::unique_ptr<platform::IEditorWindow> window_;
    bool windowGone_ = false; // no display, or the window (or its parent) was destroyed
    TPixelBuffer buffer_;
    std::vector<platform::WindowEvent> events_;
    std::function<void()> idle_;
    std::chrono::steady_clock::time_point lastTick_;
    // The last left press, which a second one soon after and close by makes a double click.
    std::chrono::steady_clock::time_point lastPress_;
    int lastPressX_ = -1000, lastPressY_ = -1000;
    bool busy_ = false;
    bool windowHasFocus_ = false;
    bool holdingFocus_ = false;       // we took the keyboard for a name editor or a panel
    bool panelFocusDeclined_ = false; // the keyboard went elsewhere while a panel was open
    int cursor_ = -1;                 // the cursor last set on the window
};

// The factory for the editor shell: the form at display scale `scale` in a child window of `parentWindow`
// (an X11 window id, an HWND); null when the form cannot be made.
std::unique_ptr<IEditorForm> CreateEditorFrame(void* parentWindow, TVSTMidiPlugin& plugin, int scale);

} // namespace quillon
