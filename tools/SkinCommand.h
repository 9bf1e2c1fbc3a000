// `quillon skin --list`: the editor's skin images and how many controls and captions each page carries.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kSkinSynopsis = "skin --list";
inline constexpr const char* kSkinSummary = "list the editor's skin images and the controls of each page";

// Runs the subcommand with the arguments that follow "skin"; returns the exit code (0 or 1).
int RunSkin(cli::TArgs args);

} // namespace quillon
