// The one range of sample rates the synthesizer runs at, in Hz. The plug-in refuses any other rate a host
// passes, and every engine object and effect ignores one in SetSampleRate and keeps its previous rate, so
// that all parts always run at the same rate. Below 8 kHz nothing musical is left of the 20 Hz … 20 kHz
// scales; 768 kHz bounds what the rate-sized lines hold (the delay's two 5 s lines: 2 × 3.84 M samples).
//
// Threads: [any]; constants only.
#pragma once

namespace quillon {

inline constexpr float kMinimumSampleRate = 8000.0f;
inline constexpr float kMaximumSampleRate = 768000.0f;

// kMinimumSampleRate ≤ rate ≤ kMaximumSampleRate; false for NaN.
constexpr bool UsableSampleRate(float rate) {
    return rate >= kMinimumSampleRate && rate <= kMaximumSampleRate;
}

} // namespace quillon
