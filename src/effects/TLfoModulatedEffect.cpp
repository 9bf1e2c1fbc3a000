#include "effects/TLfoModulatedEffect.h"

namespace quillon {

TLfoModulatedEffect::TLfoModulatedEffect(float sampleRate)
    : TSuperAudioEffect(sampleRate), lfo_(5.0f, 0.1f, sampleRate) {
    lfo_.BuildTempoRatios(4, 1, 8, 1); // 16 note lengths from 4 bars down to 1/8 bar
}

void TLfoModulatedEffect::SetFeedback(float feedback) {
    feedback_ = feedback;
}

void TLfoModulatedEffect::SetMix(float mix) {
    mix_ = mix;
    dryGain_ = (1.0f - mix) * level_;
    wetGain_ = mix * level_;
}

void TLfoModulatedEffect::SetLevel(float level) {
    level_ = level;
    SetMix(mix_);
}

void TLfoModulatedEffect::SetRate(float knob) {
    lfo_.SetRateA(knob);
}

void TLfoModulatedEffect::SetSync(bool on) {
    lfo_.SetTempoSync(on);
}

void TLfoModulatedEffect::SetWaveform(int waveform) {
    lfo_.SetWaveform(waveform);
}

void TLfoModulatedEffect::SetSpread(bool on) {
    spread_ = on;
}

void TLfoModulatedEffect::SetTempo(double bpm) {
    lfo_.SetTempo(bpm);
}

void TLfoModulatedEffect::SyncToHost(double samplePosition) {
    lfo_.SyncToHost(samplePosition);
}

std::string TLfoModulatedEffect::RateLabel(float knob) const {
    return lfo_.RateLabel(knob);
}

} // namespace quillon
