// Harmony text files (.qh): harmony frames as readable text, so that harmonies derived from recordings can
// live in the repository and be read by program descriptions.
//
//   # free comment lines (source, licence, how it was made)
//   loop START END              optional: a harmony loop, seconds of harmony time
//   frame TIME L1 L2 ... Ln     level bytes of harmonics 1..n (0 loudest, 0.5 dB steps, 255 silent);
//                               harmonics above n are silent, harmonic 0 is always silent
//   phases TIME P1 ... Pn       optional: phase bytes of the frame at TIME (default 128, a zero phase)
//
// Frames are sorted by time (at most 100, distinct times). Writing leaves out trailing silent harmonics and
// the phases line of a frame whose phases are all 128, so the same frames always give the same text.
#pragma once

#include "files/ProgramRecord.h"
#include "platform/Status.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

struct THarmonyTextFrame {
    float time = 0.0f;
    std::array<std::uint8_t, record::kHarmonicCount> levels{}; // harmonic 0 (always silent) … 250
    std::array<std::uint8_t, record::kHarmonicCount> phases{};

    // A frame with every harmonic silent and zero phases.
    static THarmonyTextFrame Silent(float time);
};

struct THarmonyText {
    std::vector<THarmonyTextFrame> frames;         // ascending times
    std::optional<std::pair<float, float>> loop;   // start, end
    std::vector<std::string> comments;             // without the leading '#'
};

// Reads the text of a harmony text file; `name` is used in the error ("NAME:LINE: ...").
std::optional<std::string> ParseHarmonyText(std::string_view text, const std::string& name, THarmonyText& harmony);
// Reads a harmony text file; the error names the file and line.
std::optional<std::string> ReadHarmonyText(const std::string& path, THarmonyText& harmony);

// The text of a harmony text file.
std::string FormatHarmonyText(const THarmonyText& harmony);
// Writes a harmony text file (replacing an existing one, atomically).
Status WriteHarmonyText(const std::string& path, const THarmonyText& harmony);

} // namespace quillon
