// `quillon gui --screenshot OUT.png [--page N]`: a developer's picture of the editor. The synthesizer is
// created in-process with its default bank, the editor form is built without a window, refreshed as the
// editor shell does when it opens, and painted into a buffer that is written as a PNG file.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kGuiSynopsis = "gui --screenshot OUT.png [--page N]";
inline constexpr const char* kGuiSummary = "paint the editor without a window and write it as a PNG file";

int RunGui(cli::TArgs args);

} // namespace quillon
