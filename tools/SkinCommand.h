// `quillon skin`: the editor's skin images and how many controls and captions each page carries (--list),
// every embedded image and font atlas as PNG files for review (--out) and a sheet of every control drawn
// with the skin (--gallery).
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kSkinSynopsis = "skin --list|--out|--gallery";
inline constexpr const char* kSkinSummary = "list, export or preview the editor's skin";

// Runs the subcommand with the arguments that follow "skin"; returns the exit code (0 or 1).
int RunSkin(cli::TArgs args);

} // namespace quillon
