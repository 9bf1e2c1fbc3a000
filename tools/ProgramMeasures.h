// What `quillon bank --list --measure` measures of a program, played through the plug-in offline at
// 44.1 kHz: the level and manners of a C major chord (C4 E4 G4 at velocity 100, held 2 s, then released
// and rendered until silent, at most 15 s in all), and the cost of eight notes relative to the reference
// program (a plain sawtooth with chorus and reverb on).
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

struct TChordMeasures {
    double peakDb = 0.0;        // largest sample magnitude of either channel, dBFS
    double masLevelForMinus6 = 0.0; // MasLevel (display %) that would put the peak at -6 dBFS
    double dc = 0.0;            // the larger magnitude of the two channels' means over the held chord
    double onsetRatio = 0.0;    // peak of the first millisecond / peak of the whole
    double releaseRatio = 0.0;  // peak of the 10 ms after the note-off / peak of the 10 ms before it
    double releaseBefore = 0.0; // peak of the 10 ms before the note-off / peak of the whole
    double tailDb = 0.0;        // peak of the last 100 ms, dBFS
    double seconds = 0.0;       // length of the render

    // The thresholds the listing judges by (the factory test applies its own, alike).
    bool NoDc() const { return dc < 0.005; }
    bool OnsetClean() const { return onsetRatio <= 0.5; }
    bool ReleaseClean() const {
        const bool dropped = releaseBefore > 0.01 && releaseRatio < 0.3;
        const bool jumped = releaseRatio > 1.5 + 0.01 / std::max(releaseBefore, 1e-9);
        return !dropped && !jumped;
    }
    bool TailSilent() const { return tailDb < -90.0; }
};

// The chord measures of `record` (a program record) played through the plug-in at `pluginPath`.
std::optional<std::string> MeasureChord(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                        TChordMeasures& measures);

// Wall-clock seconds to render eight notes (48 52 55 60 64 67 71 72 at velocity 100) held for 4 s: the
// fastest of `runs` renders.
std::optional<std::string> EightNoteSeconds(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                            int runs, double& seconds);

// The reference program of the cost ratio: a fresh program with a sawtooth frame, chorus and reverb on.
std::vector<std::uint8_t> ReferenceProgram();

} // namespace quillon
