#include "plugin/PluginInstance.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TEditorFrame.h"
#include "platform/IEditorWindow.h"
#include "plugin/TVSTEditor.h"

#include <memory>

namespace quillon {

TCustomVSTMidiPlugin* CreatePluginInstance(vst2::audioMasterCallback host) {
    // glibc's allocator and the C++ runtime are thread-safe already; nothing to switch on here.
    if (!host || host(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr; // a host that reports no VST version is refused
    TVSTEditor::SetFormFactory(CreateEditorFrame);
    try {
        auto plugin = std::make_unique<TCustomVSTMidiPlugin>(host);
        // Without editor windows on this platform the plug-in has no editor (effFlagsHasEditor stays clear).
        if (platform::EditorWindowsAvailable()) plugin->setEditor(std::make_unique<TVSTEditor>(*plugin));
        return plugin.release();
    } catch (...) {
        return nullptr;
    }
}

} // namespace quillon
