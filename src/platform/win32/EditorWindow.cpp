// The editor's window on Windows is not there yet: the plug-in is built without an editor
// (EditorWindowsAvailable() is false, so it never announces one), and a window asked for anyway is
// refused as if there were no display.
#include "platform/IEditorWindow.h"

namespace quillon::platform {

bool EditorWindowsAvailable() {
    return false;
}

std::unique_ptr<IEditorWindow> CreateEditorWindow(NativeWindow, int, int, EditorWindowError* error) {
    if (error) *error = EditorWindowError::kNoDisplay;
    return nullptr;
}

int PreferredDisplayScale() {
    return 1;
}

} // namespace quillon::platform
