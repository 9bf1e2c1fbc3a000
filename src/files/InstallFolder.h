// The installation folder: where the plug-in's data lies. Its "Data" sub-folder holds the MIDI assignment
// files (factory.bma, shipped; custom.bma, written by MIDI learn); example programs and banks lie beside.
//
// `cmake --install` records the folder as the "InstallFolder" setting. Without that setting (a library
// copied by hand, an installation for every user without a recorded setting) the folder is found beside
// the library: "<library folder>/Quillon" (the per-user layout, ~/.vst/Quillon), or
// "<library folder>/../../share/Quillon" (a prefix layout, <prefix>/lib/vst and <prefix>/share/Quillon),
// whichever holds a "Data" folder; the first when neither does. [gui]
#pragma once

#include "platform/ISettingsStore.h"

#include <string>

namespace quillon {

// The "InstallFolder" setting when it holds a path, otherwise the folder found beside the library; empty
// when neither is known.
std::string FindInstallFolder(const platform::ISettingsStore& settings);
// The installation folder that belongs to a library lying in `libraryFolder`, as described above; empty
// when the library folder is unknown (empty).
std::string InstallFolderBeside(const std::string& libraryFolder);

} // namespace quillon
