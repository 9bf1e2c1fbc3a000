// `quillon analyze`: turns a recording into the harmony of a new program file.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kAnalyzeSynopsis = "analyze IN.wav -o OUT.bpa";
inline constexpr const char* kAnalyzeSummary = "analyse a recording into the harmony of a new program file";

// Runs the subcommand with the arguments that follow "analyze"; returns the exit code (0 or 1).
int RunAnalyze(cli::TArgs args);

} // namespace quillon
