// Table-driven low-frequency oscillator: ten waveforms, a free rate on an exponential knob scale or a
// rate locked to the host tempo in note lengths, optional sample-and-hold clocked by a second phase
// accumulator, and a stepped random mode. The synthesizer owns two (0.02 … 20 Hz); the chorus and the
// phaser each own one (0.1 … 5 Hz).
//
// Threads: everything runs on the audio thread (or on the host thread while audio is stopped), except
// RateLabel and TableValue, which the GUI may call at any time [any]: they read only the tempo-ratio
// table, which is fixed once BuildTempoRatios has run at construction, and the wave table.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

class TLowFrequencyOscillator {
public:
    static constexpr int kTableSize = 4096;
    static constexpr int kWaveformCount = 10;

    // Rates in Hz; sample rate in Hz.
    TLowFrequencyOscillator(float maximumRate, float minimumRate, float sampleRate);

    // Builds the note-length table from numerator/denominator bars down to finestNumerator/finestDenominator,
    // with dotted and triplet entries between the plain ones (descending, in bars). Call once, at construction.
    void BuildTempoRatios(int numerator, int denominator, int finestDenominator, int finestNumerator);

    // Hz; a rate outside the synthesizer's range (UsableSampleRate) is ignored.
    void SetSampleRate(float sampleRate);
    float SampleRate() const { return sampleRate_; }
    void SetTempo(double bpm);
    void SetTempoSync(bool on);
    void SetSampleAndHold(bool on);
    void SetRateA(float knob);      // 0..1, drives the waveform
    void SetRateB(float knob);      // 0..1, drives the sample-and-hold clock
    void SetWaveform(int waveform); // 1..10 (others held in range); unchanged waveform keeps the table
    void NextWaveform();
    int Waveform() const { return waveform_; }

    // Re-phases both accumulators to the host's sample position while tempo sync is on.
    void SyncToHost(double samplePosition);

    // Advances by a block of n samples and returns the value for the block (random and sample-and-hold aware).
    float NextValue(int n);
    // Advances phase A by n samples and returns the interpolated table value (the effects' form).
    float Advance(int n);
    // Table entry at round(x·4096); entry 0 outside the table.
    float TableValue(float x) const;

    // Label of the tempo ratio that knob (0..1) selects under tempo sync, e.g. "2 / 1 D".
    std::string RateLabel(float knob) const;

    int RatioCount() const { return static_cast<int>(ratios_.size()); }
    double Ratio(int i) const { return ratios_[static_cast<std::size_t>(i)]; }
    float RateA() const { return rateA_; }
    float RateB() const { return rateB_; }
    std::uint32_t IncrementA() const { return incrementA_; }
    std::uint32_t IncrementB() const { return incrementB_; }
    double Tempo() const { return tempo_; }

private:
    // Rate in Hz for a knob value under the current sync setting.
    float RateFromKnob(float knob) const;
    void UpdateRateA();
    void UpdateRateB();
    float NextRandom(); // uniform in [-1, 1)
    // Linear interpolation of the table at phase A (the top 12 bits pick the entry, the low 20 the fraction).
    float Interpolate() const;
    void BuildTable(int waveform);

    std::vector<double> ratios_;      // note lengths in bars, descending
    std::vector<std::string> labels_; // one per ratio, at most 10 characters
    float sampleRate_;
    float knobA_ = 0.0f, knobB_ = 0.0f;
    float rateA_ = 0.0f, rateB_ = 0.0f; // Hz
    float output_ = 1e-20f;
    float heldOutput_ = 1e-20f;
    std::uint32_t incrementA_ = 0, phaseA_ = 0, incrementB_ = 0, phaseB_ = 0;
    // Written by SetWaveform [audio], read by TableValue [any]: relaxed atomics keep the GUI's reads race-free
    // at the cost of nothing on the audio path (plain loads and stores on the usual targets).
    std::array<std::atomic<float>, kTableSize> table_{};
    bool randomMode_ = false;
    int waveform_ = 0;
    bool tempoSync_ = false;
    bool sampleAndHold_ = false;
    float minimumRate_, maximumRate_;
    double tempo_ = 120.0;
    std::int32_t lastSyncPhaseA_ = 0, lastSyncPhaseB_ = 0;
    std::uint32_t randomState_; // generator state for the random waveform and random mode
};

} // namespace quillon
