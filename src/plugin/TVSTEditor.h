// The editor shell: answers the host's questions about the plug-in window, creates the form when the
// host opens the editor, destroys it on close, and brings it up to date in the host's idle call.
//
// Refreshes are requested from any thread by raising the plug-in's refresh level (1 parameter values,
// 2 all controls, 3 everything); the redraw itself happens only in idle, on the GUI thread.
//
// Display scale (1 = 800 × 556, 2 = 1600 × 1112 device pixels), from the first source that applies:
//   1. the host's scale message: effVendorSpecific with index 'PreS' or 'AeCs' and the factor as a float
//      in opt ('AeCs' may carry it in value instead); 1.5 and more is 2, less is 1;
//   2. the settings value "EditorZoom": "200" or "2" is 2, "100" or "1" is 1;
//   3. the display's preferred scale (X11: Xft.dpi, Windows: the dpi of the host's window; 144 and more is 2).
// Messages and questions: while the editor is open the form's prompt is the plug-in's, so they show in the
// editor (messages kept for the editor at its first idle); closing puts the plug-in's previous prompt back
// and drops what the editor had not answered.
//
// Idle runs from the host's effEditIdle and, where the window asks for it (the timer of the Windows window),
// from the window itself. Either may come while the other is running (a modal loop inside an event handler
// dispatches the timer): a nested idle does nothing, and a close from inside it leaves the form alive until
// the outer idle is done with it.
//
// The scale is settled when the host asks for the rectangle or opens the editor and kept while it is
// open. A host message while open resizes the editor and tells the host (audioMasterSizeWindow) when the
// host can do "sizeWindow"; otherwise the new scale applies at the next open.
#pragma once

#include "editor/IEditorForm.h"
#include "host/AEffEditor.h"

#include <atomic>
#include <memory>

namespace quillon {

class TVSTMidiPlugin;

class TVSTEditor : public AEffEditor {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 556;

    explicit TVSTEditor(TVSTMidiPlugin& plugin);
    ~TVSTEditor() override;

    bool getRect(vst2::ERect** rect) override;                             // [gui]
    bool open(void* parentWindow) override;                                // [gui]
    void close() override;                                                 // [gui]
    bool isOpen() const override;                                          // [any]
    void idle() override;                                                  // [gui]
    bool onKeyDown(int character, int virtualKey, int modifiers) override; // [gui]
    bool onKeyUp(int character, int virtualKey, int modifiers) override;   // [gui]
    vst2::VstIntPtr vendorSpecific(vst2::VstInt32 index, vst2::VstIntPtr value, void* ptr,
                                   float opt) override; // [gui]

    // The display scale the editor has (while open) or will have at the next open. [gui]
    int Scale();
    // Takes a scale the host asked for (a factor; 1.5 and more is 2) as the first source. [gui]
    void SetHostScale(float factor);

    // Raises the plug-in's pending refresh to at least `level` (0..3). [any]
    void RequestRefresh(int level);
    int PendingRefreshLevel() const;

    // The factory that makes the editor window; without one the editor opens with no window of its own.
    static void SetFormFactory(EditorFormFactory factory);

private:
    void Refresh(int level);
    // Makes the form's prompt the plug-in's (keeping the one it replaces), or puts that one back.
    void InstallPrompt();
    void RestorePrompt();
    // The scale from the settings, then from the display (not the host's).
    int PreferredScale() const;

    TVSTMidiPlugin& plugin_;
    bool idling_ = false;                  // idle() is running: a call from inside it returns at once
    std::unique_ptr<IEditorForm> retired_; // a form closed from inside idle(), destroyed when idle() ends
    int hostScale_ = 0;                    // 0: the host has not said
    int scale_ = 0;                        // the scale settled for this (or the next) open; 0: not yet
    vst2::ERect rect_{0, 0, 0, 0};
    std::unique_ptr<IEditorForm> form_;
    std::shared_ptr<platform::IUserPrompt> previousPrompt_; // while the form's is installed
};

} // namespace quillon
