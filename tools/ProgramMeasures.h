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
    double peakDb = 0.0;            // largest sample magnitude of either channel, dBFS
    double masLevelForMinus6 = 0.0; // MasLevel, as displayed and as `set` takes it, for a -6 dBFS peak
    double dc = 0.0;                // the larger magnitude of the two channels' means over the held chord
    double onsetRatio = 0.0;        // peak of the first millisecond / peak of the whole
    // The note-off: the level (RMS) of the 5 ms after it over that of the 20 ms before it, and the range
    // the same ratio spans while the chord is held (every 5 ms from 0.5 s on): a click stands out of it.
    double releaseRatio = 0.0;
    double heldLow = 0.0, heldHigh = 0.0;
    double releaseBefore = 0.0; // level of the 20 ms before the note-off / peak of the whole
    double tailDb = 0.0;        // peak of the last 100 ms, dBFS
    double seconds = 0.0;       // length of the render

    // The thresholds the listing judges by (the factory test applies its own, alike).
    bool NoDc() const { return dc < 0.01; }
    bool OnsetClean() const { return onsetRatio <= 0.5; }
    bool ReleaseClean() const {
        return releaseBefore < 1e-3 || (releaseRatio >= 0.5 * heldLow && releaseRatio <= 1.5 * heldHigh);
    }
    bool TailSilent() const { return tailDb < -90.0; }
};

// The chord measures of `record` (a program record) played through the plug-in at `pluginPath`.
std::optional<std::string> MeasureChord(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                        TChordMeasures& measures);

// CPU seconds of the process to render eight notes (48 52 55 60 64 67 71 72 at velocity 100) held for 4 s: the
// fastest of `runs` renders.
std::optional<std::string> EightNoteSeconds(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                            int runs, double& seconds);

// The cost of `record` relative to `reference`: renders of the two alternate `runs` times each (so that a
// busy machine slows both alike), and the fastest of each counts.
std::optional<std::string> CostRatio(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                     std::span<const std::uint8_t> reference, int runs, double& ratio);

// The reference program of the cost ratio: a fresh program with a sawtooth frame, chorus and reverb on.
std::vector<std::uint8_t> ReferenceProgram();

} // namespace quillon
