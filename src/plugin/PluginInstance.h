// Makes one plug-in instance as a host receives it: the synthesizer with its editor shell attached.
// The synthesizer (core) knows nothing of the shell; this module joins the two.
#pragma once

#include "host/vst2.h"

namespace quillon {

class TCustomVSTMidiPlugin;

// A new instance for `host`, owned by its effect record from then on (effClose frees it); null when the
// host reports no VST version or construction fails. [gui]
TCustomVSTMidiPlugin* CreatePluginInstance(vst2::audioMasterCallback host);

} // namespace quillon
