// Where the plug-in's own library lies. [any]
#pragma once

#include <string>

namespace quillon::platform {

// The absolute folder of the shared library (or program) this code is linked into, as it was loaded: a
// library reached through a symbolic link to the file gives the link's folder. Empty when it cannot be
// found out.
std::string ModuleFolder();

} // namespace quillon::platform
