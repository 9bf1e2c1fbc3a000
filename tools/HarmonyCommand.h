// `quillon harmony`: shows harmony files (.bha) and moves harmony frames between them and program files.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kHarmonySynopsis = "harmony show|export|import|text";
inline constexpr const char* kHarmonySummary =
    "show a harmony file, copy a frame between .bha and .bpa files, or write frames as text (.qh)";

// Runs the subcommand with the arguments that follow "harmony"; returns the exit code (0 or 1).
int RunHarmony(cli::TArgs args);

} // namespace quillon
