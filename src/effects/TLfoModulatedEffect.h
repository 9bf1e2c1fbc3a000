// Base of the effects that an LFO sweeps (chorus, phaser): the LFO with its rate, sync, waveform and tempo,
// and the settings both keep alike: depth, spread, feedback and the dry/wet mix at an overall level, with the
// feedback memories of the two channels. What the LFO sweeps, and how depth acts on it, is the effect's own.
//
// Threads: the constructor allocates (host thread, audio stopped); the setters run on the audio thread
// [audio]; RateLabel reads only the LFO's fixed note-length labels [any].
#pragma once

#include <string>

#include "effects/ButterworthSection.h"
#include "effects/TSuperAudioEffect.h"
#include "engine/TLowFrequencyOscillator.h"

namespace quillon {

class TLfoModulatedEffect : public TSuperAudioEffect {
public:
    void SetFeedback(float feedback); // 0 … 1
    void SetMix(float mix);           // 0 … 1 (the parameter reaches 0.5): wet share
    void SetLevel(float level);       // overall gain of dry and wet, 1.0
    void SetRate(float knob);         // 0 … 1 → 0.1 … 5 Hz, or a note length under sync
    void SetSync(bool on);
    void SetWaveform(int waveform); // LFO waveform 1 … 10
    void SetSpread(bool on);        // the right channel's sweep mirrors the left's
    void SetTempo(double bpm);
    void SyncToHost(double samplePosition);

    // Note length for a rate knob under sync, e.g. "1 / 4 D" [any].
    std::string RateLabel(float knob) const;

    float DryGain() const { return dryGain_; }
    float WetGain() const { return wetGain_; }

protected:
    // The LFO runs from 0.1 to 5 Hz, or over 16 note lengths from 4 bars down to 1/8 bar under sync.
    explicit TLfoModulatedEffect(float sampleRate);

    float dryGain_ = 0.5f, wetGain_ = 0.5f;
    float feedbackLeft_ = kDenormalGuard, feedbackRight_ = kDenormalGuard;
    TLowFrequencyOscillator lfo_;
    float depth_ = 0.2f;
    bool spread_ = true;
    float feedback_ = 0.0f;
    float mix_ = 0.5f;
    float level_ = 1.0f;
};

} // namespace quillon
