// What the editor shell needs of the editor window: the operations it calls when the host opens, idles
// and closes the editor. The window itself lives in the editor subsystem; the shell only knows this
// interface and a factory that makes one. All calls run on the host's GUI thread [gui].
#pragma once

#include "platform/IUserPrompt.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace quillon {

class TVSTMidiPlugin;

class IEditorForm {
public:
    virtual ~IEditorForm() = default;
    // The 124 parameter values of the current program (0..1).
    virtual void SetParameterValues(const float* values, int count) = 0;
    virtual void updateStandardControls() = 0; // parameter values changed
    virtual void updateAllControls() = 0;      // every control may have changed
    virtual void updateAll() = 0;              // everything, program names included
    virtual void initNonAutomatedControls() = 0;
    // Opacity 0..255 of the preset-loading indicator.
    virtual void SetPresetLoadingIndicator(std::uint8_t opacity) = 0;

    // The window's share of the host's idle call, around the refresh: PollInput takes what the user did
    // since the last call and moves the timers on; Present draws what changed and shows it. A form
    // without a window of its own does nothing here.
    virtual void PollInput() {}
    virtual void Present() {}
    // The shell's whole idle (what effEditIdle runs), for windows that need to run it by themselves
    // (IEditorWindow::SetIdleCallback: a timer on Windows). It may come while the shell is busy with a
    // call of its own (a modal loop inside it), so the shell's idle must then do nothing.
    virtual void SetIdleCallback(const std::function<void()>& /*idle*/) {}
    // A key the host forwards (effEditKeyDown, effEditKeyUp: the character, the VST 2 virtual key and the
    // modifier bits); true when the editor used it, false to leave it to the host.
    virtual bool HostKey(int /*character*/, int /*virtualKey*/, int /*modifiers*/, bool /*down*/) { return false; }
    // Draws the editor at display scale `scale` (1 or 2) from now on and resizes its window to the scaled
    // size; the form's state may be rebuilt, so the shell refreshes everything afterwards. False when
    // the form cannot change its scale while it exists.
    virtual bool SetScale(int /*scale*/) { return false; }
    // The prompt that shows the plug-in's messages and questions in the editor, or none; the shell puts it
    // in the plug-in while the editor is open (again after SetScale, which may make a new one).
    virtual std::shared_ptr<platform::IUserPrompt> UserPrompt() { return nullptr; }
};

// Creates the form at display scale `scale` (1 or 2) as a child of the host's window, placed at (0, 0);
// null when no window can be made.
using EditorFormFactory = std::unique_ptr<IEditorForm> (*)(void* parentWindow, TVSTMidiPlugin& plugin, int scale);

} // namespace quillon
