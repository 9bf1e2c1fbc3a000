// Stereo chorus. Each channel is low-passed at 10 kHz and written at twice the sample rate (two line samples per
// input sample) into a circular delay line, read back with linear interpolation at a delay that a sine LFO sweeps
// by ± depth around the base delay, high-passed at 500 Hz, fed back into the input and mixed with the dry signal.
// With spread on, the right channel's delay moves opposite to the left's.
//
// Threads: the constructor and SetSampleRate allocate (host thread, audio stopped); Process, Reset and the
// setters run on the audio thread [audio]; RateLabel reads only the LFO's fixed note-length labels [any].
#pragma once

#include <string>
#include <vector>

#include "effects/ButterworthSection.h"
#include "effects/TSuperAudioEffect.h"
#include "engine/TLowFrequencyOscillator.h"

namespace quillon {

class TClassicChorusEffect : public TSuperAudioEffect {
public:
    // maximumDelay: the longest delay in seconds the line must hold (the plug-in passes 0.1); rate in Hz.
    TClassicChorusEffect(float maximumDelay, float sampleRate);

    void SetSampleRate(float rate) override;
    void Process(float* left, float* right, int n) override;
    // Clears the lines and filter memories; the feedback memories and the write position stay.
    void Reset() override;

    void SetDelay(float seconds);     // base delay, 0.0005 … 0.05 s from the parameter
    void SetDepth(float depth);       // 0 … 1, the sweep as a share of the base delay
    void SetFeedback(float feedback); // 0 … 1
    void SetMix(float mix);           // 0 … 1 (the parameter reaches 0.5): wet share
    void SetLevel(float level);       // overall gain of dry and wet, 1.0
    void SetRate(float knob);         // 0 … 1 → 0.1 … 5 Hz, or a note length under sync
    void SetSync(bool on);
    void SetWaveform(int waveform); // LFO waveform 1 … 10, sine by default
    void SetSpread(bool on);        // right delay moves opposite to the left
    void SetTempo(double bpm);
    void SyncToHost(double samplePosition);

    // Note length for a rate knob under sync, e.g. "1 / 4 D" [any].
    std::string RateLabel(float knob) const;

    float BaseDelay() const { return baseDelay_; } // line samples (two per input sample)
    float Swing() const { return swing_; }         // line samples
    int LineLength() const { return lineMask_ + 1; }
    float DryGain() const { return dryGain_; }
    float WetGain() const { return wetGain_; }

private:
    void ApplySampleRate(float rate);
    void UpdateFilters();

    float dryGain_ = 0.5f, wetGain_ = 0.5f;
    float feedbackLeft_ = kDenormalGuard, feedbackRight_ = kDenormalGuard;
    TLowFrequencyOscillator lfo_;
    float baseDelay_ = 0.0f; // line samples: round(delay·rate·2)
    float swing_ = 0.0f;     // line samples: round(base delay·depth)
    int lineMask_ = 0;
    int writeIndex_ = 0;
    std::vector<float> leftLine_, rightLine_;
    int waveform_ = 1;
    float delay_ = 0.015f; // seconds
    float rateKnob_ = 0.3f;
    bool sync_ = false;
    float depth_ = 0.2f;
    bool spread_ = true;
    float feedback_ = 0.0f;
    float highPassCutoff_ = 500.0f;  // Hz, on the output
    float lowPassCutoff_ = 10000.0f; // Hz, on the input
    float mix_ = 0.5f;
    float level_ = 1.0f;
    float maximumDelay_; // seconds
    ButterworthMemory lowPassLeft_, lowPassRight_;
    ButterworthCoefficients lowPass_;
    ButterworthMemory highPassLeft_, highPassRight_;
    ButterworthCoefficients highPass_;
};

} // namespace quillon
