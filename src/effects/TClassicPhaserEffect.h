// Stereo phaser. Each channel runs through a chain of first-order all-pass stages (eight by default) whose break
// frequency a triangle LFO sweeps by ± depth/2 around the manual position on an exponential 50 Hz … 20 kHz scale,
// then through a 500 Hz high-pass, with 0.98·feedback of the output returned to the input. With spread on, the
// right channel's sweep mirrors the left's around the manual position. Process computes in 32-bit floats
// throughout.
//
// Threads: the constructor, SetSampleRate and SetStages allocate (host thread, audio stopped); Process, Reset and
// the other setters run on the audio thread [audio]; RateLabel reads only the LFO's fixed labels [any].
#pragma once

#include <string>
#include <vector>

#include "effects/ButterworthSection.h"
#include "effects/TSuperAudioEffect.h"
#include "engine/TIIRFrequencyTable.h"
#include "engine/TLowFrequencyOscillator.h"

namespace quillon {

class TClassicPhaserEffect : public TSuperAudioEffect {
public:
    explicit TClassicPhaserEffect(float sampleRate);

    // Re-rates the LFO, the frequency table and the high-pass; stage and filter memories stay.
    void SetSampleRate(float rate) override;
    void Process(float* left, float* right, int n) override;
    // Clears the stage and high-pass memories; settings stay.
    void Reset() override;

    void SetStages(int count);        // all-pass stages per channel (at least 0), then Reset
    void SetManual(float position);   // 0 … 1 on the 50 Hz … 20 kHz scale
    void SetDepth(float depth);       // 0 … 1; the sweep spans ± depth/2 around the manual position
    void SetFeedback(float feedback); // 0 … 1, scaled by 0.98 in the loop
    void SetMix(float mix);           // 0 … 1 (the parameter reaches 0.5): wet share
    void SetLevel(float level);       // overall gain of dry and wet, 1.0
    void SetRate(float knob);         // 0 … 1 → 0.1 … 5 Hz, or a note length under sync
    void SetSync(bool on);
    void SetWaveform(int waveform); // LFO waveform 1 … 10, triangle by default
    void SetSpread(bool on);
    void SetTempo(double bpm);
    void SyncToHost(double samplePosition);

    // Note length for a rate knob under sync, e.g. "1 / 8" [any].
    std::string RateLabel(float knob) const;

    int Stages() const { return stageCount_; }
    float DryGain() const { return dryGain_; }
    float WetGain() const { return wetGain_; }
    const TIIRFrequencyTable& FrequencyTable() const { return table_; }

private:
    void ApplySampleRate(float rate);

    TIIRFrequencyTable table_; // 1000 entries, 50 Hz … 20 kHz
    float dryGain_ = 0.5f, wetGain_ = 0.5f;
    float feedbackLeft_ = kDenormalGuard, feedbackRight_ = kDenormalGuard;
    TLowFrequencyOscillator lfo_;
    std::vector<float> leftStages_, rightStages_;
    // All-pass coefficients of the current sample: A = K/(K + 1), B = (1 − K)/(K + 1), K = cot(π·f/fs).
    float aLeft_ = 0.0f, aRight_ = 0.0f, bLeft_ = 0.0f, bRight_ = 0.0f;
    int rightSelector_ = 1; // 1: the right channel uses its own coefficients (spread on)
    ButterworthMemory highPassLeft_, highPassRight_;
    ButterworthCoefficients highPass_;
    int stageCount_ = 8;
    float manual_ = 0.5f;
    float rateKnob_ = 0.5f;
    bool sync_ = false;
    float depth_ = 0.2f;
    bool spread_ = true;
    float feedback_ = 0.8f;
    float highPassCutoff_ = 500.0f; // Hz
    float mix_ = 0.5f;
    float level_ = 1.0f;
    int waveform_ = 2;
};

} // namespace quillon
