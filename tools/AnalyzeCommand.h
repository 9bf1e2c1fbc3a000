// `quillon analyze`: turns a recording into the harmony of a new program file.
#pragma once

#include "CommandLine.h"
#include "analysis/THarmonicAudioAnalyzer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

inline constexpr const char* kAnalyzeSynopsis = "analyze IN.wav -o OUT.bpa";
inline constexpr const char* kAnalyzeSummary = "analyse a recording into the harmony of a new program file";

// Runs the subcommand with the arguments that follow "analyze"; returns the exit code (0 or 1).
int RunAnalyze(cli::TArgs args);

// The program record `quillon analyze` writes for the analyser's points: a fresh program named `name`
// (at most 24 characters) whose harmony frames are the points, their levels as LevelByte gives them and
// every phase at zero; every other setting at its default.
std::vector<std::uint8_t> AnalysisProgram(const std::vector<TAnalysisPoint>& points, const std::string& name);

} // namespace quillon
