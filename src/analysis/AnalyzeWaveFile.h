// The whole audio import short of the program: a WAV file read as floats and its first channel run
// through the harmonic analyser. It touches nothing shared, so a caller may run it on a thread of its own
// and hand the result to the plug-in afterwards (TCustomVSTMidiPlugin::ApplyAudioAnalysis). [any]
#pragma once

#include "analysis/THarmonicAudioAnalyzer.h"
#include "platform/Status.h"

#include <atomic>
#include <string>
#include <vector>

namespace quillon {

struct TWaveAnalysis {
    Status read;                        // the reader's outcome; its message is for the user
    std::vector<TAnalysisPoint> points; // the analyser's points, none when nothing was found or it stopped
    bool stopped = false;               // the stop flag ended the work early
};

// Reads the file at `path` and analyses its first channel in `mode` (1 dynamic, 2 medium, 3 soft; others
// medium). `stop`, when given, may be set by another thread: the work then ends at the next analysis step
// (reading is not interrupted) and the result has `stopped` set and no points. A recording too long to be
// held in memory yields no points.
TWaveAnalysis AnalyzeWaveFile(const std::string& path, int mode, const std::atomic<bool>* stop = nullptr);

} // namespace quillon
