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

// On Windows the module-definition file (Quillon.def) chooses the exports and gives QuillonLegacyMain its
// exported name; elsewhere the symbols are made visible here and the version script keeps only them.
#if defined(_WIN32)
#define QUILLON_ENTRY
#define QUILLON_LEGACY_NAME
#else
#define QUILLON_ENTRY __attribute__((visibility("default")))
// The assembler name keeps the C++ compiler from treating it as a program's main function.
#define QUILLON_LEGACY_NAME __asm__("main")
#endif

extern "C" {

QUILLON_ENTRY vst2::AEffect* VSTPluginMain(vst2::audioMasterCallback host) {
    return CreateInstance(host);
}

// The same entry under its historical name, main.
QUILLON_ENTRY vst2::AEffect* QuillonLegacyMain(vst2::audioMasterCallback host) QUILLON_LEGACY_NAME;
vst2::AEffect* QuillonLegacyMain(vst2::audioMasterCallback host) {
    return CreateInstance(host);
}
}
