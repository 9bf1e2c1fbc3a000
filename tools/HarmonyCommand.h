// `quillon harmony`: shows harmony files (.bha) and moves harmony frames between them and program files.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kHarmonySynopsis = "harmony VERB ...";
inline constexpr const char* kHarmonySummary = "show, export, import (.bha frames) or text (.qh) harmonies";

// Runs the subcommand with the arguments that follow "harmony"; returns the exit code (0 or 1).
int RunHarmony(cli::TArgs args);

} // namespace quillon
