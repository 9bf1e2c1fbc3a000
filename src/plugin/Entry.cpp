// The library's two exported entry points. Hosts look for VSTPluginMain (or the older name main), call it
// with their callback and receive the effect record of a new plug-in instance.
#include "core/TCustomVSTMidiPlugin.h"
#include "host/vst2.h"
#include "plugin/PluginInstance.h"

namespace {

vst2::AEffect* CreateInstance(vst2::audioMasterCallback host) {
    quillon::TCustomVSTMidiPlugin* plugin = quillon::CreatePluginInstance(host);
    return plugin ? plugin->getAeffect() : nullptr;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(vst2::audioMasterCallback host) {
    return CreateInstance(host);
}

// The same entry under its historical name. The assembler name keeps the C++ compiler from treating it
// as a program's main function.
__attribute__((visibility("default"))) vst2::AEffect* QuillonLegacyMain(vst2::audioMasterCallback host) __asm__("main");
vst2::AEffect* QuillonLegacyMain(vst2::audioMasterCallback host) {
    return CreateInstance(host);
}
}
