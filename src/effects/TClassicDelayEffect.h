// Stereo echo of 0.05 … 5 seconds: the time is set on an exponential knob or locked to the host tempo in
// note lengths (1/32 bar … 2 bars, with dotted and triplet steps), the echoes pass a two-pole Butterworth
// high-cut (low-pass) and low-cut (high-pass), and are fed back either into their own channel or, in
// ping-pong mode, crosswise so that successive echoes alternate left, right, left ...
//
// Both delay lines hold 5 seconds at the current rate and are allocated only in SetSampleRate. Lines and
// filter memories are filled with 1e-20 instead of 0 so that the recirculating signal never turns denormal.
//
// Threads: SetSampleRate runs on the host thread while audio is stopped (it allocates); Process, Reset,
// SetTempo and the other setters run on the audio thread [audio]. TimeLabel is [any]: the editor calls it
// while audio runs, and it reads only the ratio table, which is fixed at construction.
#pragma once

#include "effects/ButterworthSection.h"
#include "effects/TSuperAudioEffect.h"

#include <string>
#include <vector>

namespace quillon {

class TClassicDelayEffect : public TSuperAudioEffect {
public:
    static constexpr double kMinimumTime = 0.05; // seconds
    static constexpr double kMaximumTime = 5.0;  // seconds, also the line capacity
    // The synthesizer's range of rates: others (and NaN) are ignored by SetSampleRate; the constructor falls
    // back to 44100.
    static constexpr float kMinimumSampleRate = quillon::kMinimumSampleRate;
    static constexpr float kMaximumSampleRate = quillon::kMaximumSampleRate;

    explicit TClassicDelayEffect(float sampleRate);

    // Re-sizes both lines to round(rate × 5) elements, recomputes the delay length and the filters, clears.
    void SetSampleRate(float rate) override;
    // [audio] In place; n < 1 does nothing.
    void Process(float* left, float* right, int n) override;
    // [audio] Position to 0, lines and filter memories to 1e-20.
    void Reset() override;

    // [audio] Time knob 0..1: free 0.05·100^knob seconds, or under sync the tempo ratio at round(knob·18).
    void SetTime(float knob);
    // [audio] Tempo sync on/off; recomputes the delay length.
    void SetSync(bool on);
    // [audio] Host tempo in beats per minute; remembered even while sync is off.
    void SetTempo(float bpm);
    // [audio] Share of the filtered echo fed back, 0..1.
    void SetFeedback(float feedback);
    // [audio] Ping-pong: both inputs enter the left line and each line feeds the other.
    void SetPingPong(bool on);
    // [audio] Corner of the echo low-pass, Hz.
    void SetHighCut(float hz);
    // [audio] Corner of the echo high-pass, Hz.
    void SetLowCut(float hz);
    // [audio] Wet share 0..1 (the plug-in uses 0..0.5); dry := (1 − mix)·level, wet := mix·level.
    void SetMix(float mix);
    // [audio] Overall level of dry and wet parts.
    void SetLevel(float level);

    // [any] Note-length label ("1 / 32" … "2 / 1", "1 / 8 D", "1 / 4 T") of the ratio the knob selects under
    // sync: entry round(18·knob), clamped into the table; NaN selects entry 0.
    std::string TimeLabel(float knob) const;

    int RatioCount() const { return static_cast<int>(ratios_.size()); }
    double Ratio(int index) const { return ratios_[static_cast<std::size_t>(index)]; } // bars
    int DelayLength() const { return delayLength_; }                                   // samples
    int LineLength() const { return static_cast<int>(leftLine_.size()); }              // samples
    float TimeKnob() const { return timeKnob_; }
    bool Sync() const { return sync_; }
    bool PingPong() const { return pingPong_; }
    float Tempo() const { return tempo_; } // beats per minute
    float Feedback() const { return feedback_; }
    float HighCut() const { return highCutFrequency_; } // Hz
    float LowCut() const { return lowCutFrequency_; }   // Hz
    float DryGain() const { return dryGain_; }
    float WetGain() const { return wetGain_; }

private:
    // Builds the note-length table from the finest (p/q bars) to the coarsest (n/d bars) entry, ascending,
    // three entries per octave: dotted, triplet and plain. Runs once, in the constructor.
    void BuildTimeTable(int finestNumerator, int finestDenominator, int coarsestNumerator, int coarsestDenominator);
    void UpdateGains();

    std::vector<double> ratios_;      // note lengths in bars, ascending
    std::vector<std::string> labels_; // one per ratio, at most 10 characters
    float dryGain_ = 0.0f, wetGain_ = 0.0f;
    int delayLength_ = 1; // samples, 1 … line length
    int position_ = 0;    // 0 … delay length − 1
    std::vector<float> leftLine_, rightLine_;
    float timeKnob_ = 0.5f;
    bool sync_ = true;
    bool pingPong_ = true;
    float feedback_ = 0.5f;
    float lowCutFrequency_ = 100.0f;   // Hz
    float highCutFrequency_ = 5000.0f; // Hz
    float mix_ = 0.5f;
    float level_ = 1.0f;
    float tempo_ = 120.0f; // beats per minute

    // High cut: Butterworth low-pass; low cut: Butterworth high-pass. One memory pair per channel.
    ButterworthMemory highCutLeft_, highCutRight_;
    ButterworthCoefficients highCut_;
    ButterworthMemory lowCutLeft_, lowCutRight_;
    ButterworthCoefficients lowCut_;
};

} // namespace quillon
