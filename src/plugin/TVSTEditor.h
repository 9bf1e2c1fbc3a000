// The editor shell: answers the host's questions about the plug-in window, creates the form when the
// host opens the editor, destroys it on close, and brings it up to date in the host's idle call.
//
// Refreshes are requested from any thread by raising the plug-in's refresh level (1 parameter values,
// 2 all controls, 3 everything); the redraw itself happens only in idle, on the GUI thread.
#pragma once

#include "editor/IEditorForm.h"
#include "host/AEffEditor.h"

#include <atomic>

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

    // Raises the plug-in's pending refresh to at least `level` (0..3). [any]
    void RequestRefresh(int level);
    int PendingRefreshLevel() const;

    // The factory that makes the editor window; without one the editor opens with no window of its own.
    static void SetFormFactory(EditorFormFactory factory);

private:
    void Refresh(int level);

    TVSTMidiPlugin& plugin_;
    vst2::ERect rect_{0, 0, 0, 0};
    std::unique_ptr<IEditorForm> form_;
};

} // namespace quillon
