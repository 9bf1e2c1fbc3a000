// Normalised cutoff → bilinear-transform coefficient K = cot(π·f/fs), by table lookup with linear interpolation.
// Position 0 … 1 spans the minimum … maximum frequency exponentially. The synthesizer's filter uses 1000 entries
// from 20 Hz to 20 kHz; the phaser builds its own from 50 Hz. Frequencies above 0.49·fs (the top of the scale
// below a 40.8 kHz rate) are held at 0.49·fs, so that K stays positive and every filter built on it stable.
//
// Threads: Create/SetSampleRate allocate and run on the host thread while audio is stopped; Lookup is const and
// runs on the audio thread [audio].
#pragma once

#include <cstdint>
#include <vector>

namespace quillon {

class TIIRFrequencyTable {
public:
    // size: entries (at least 3; the last is a guard for interpolation); rates and frequencies in Hz.
    TIIRFrequencyTable(std::uint32_t size, float sampleRate, float maximumFrequency, float minimumFrequency);

    // Stores the rate and rebuilds the table.
    void SetSampleRate(float sampleRate);

    // K for position x (0 … 1, limited to that range; NaN counts as 0), linearly interpolated.
    float Lookup(float x) const;

    std::uint32_t Size() const { return size_; }
    float Entry(std::uint32_t i) const { return table_[i]; }
    float SampleRate() const { return sampleRate_; }
    float MinimumFrequency() const { return minimumFrequency_; }
    float MaximumFrequency() const { return maximumFrequency_; }

private:
    // Entry i holds cot(ω_i) with ω_0 = π·minimum/fs and ω_(i+1) = ω_i·r (rounded to float each step),
    // r = (maximum/minimum)^(1/(size − 2)); entry size − 2 is the maximum frequency. Entries with
    // ω_i ≥ 0.49·π hold cot(0.49·π).
    void Build();

    std::vector<float> table_;
    std::uint32_t size_;
    float sampleRate_;
    float minimumFrequency_;
    float maximumFrequency_;
};

} // namespace quillon
