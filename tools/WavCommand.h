// `quillon wav`: shows what Quillon reads from a WAV file, and can write the decoded samples out.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kWavSynopsis = "wav IN.wav [--raw OUT.f32]";
inline constexpr const char* kWavSummary = "show what Quillon reads from a WAV file";

// Runs the subcommand with the arguments that follow "wav"; returns the exit code (0 or 1).
int RunWav(cli::TArgs args);

} // namespace quillon
