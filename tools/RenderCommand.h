// `quillon render`: plays a Standard MIDI File through a VST 2 plug-in offline and writes a WAV file.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kRenderSynopsis = "render SONG.mid -o OUT.wav";
inline constexpr const char* kRenderSummary = "play a MIDI file through a plug-in offline into a WAV file";

// Runs the subcommand with the arguments that follow "render"; returns the exit code (0 or 1).
int RunRender(cli::TArgs args);

} // namespace quillon
