// `quillon fidelity`: how closely an analysed and re-rendered note matches its recording.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kFidelitySynopsis = "fidelity NOTE.wav|DIR...";
inline constexpr const char* kFidelitySummary = "measure how closely analysed notes re-render their recordings";

// Runs the subcommand with the arguments that follow "fidelity"; returns the exit code (0 or 1).
int RunFidelity(cli::TArgs args);

} // namespace quillon
