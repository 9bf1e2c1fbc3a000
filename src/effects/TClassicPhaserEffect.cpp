#include "effects/TClassicPhaserEffect.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr int kMaximumStages = 64;

} // namespace

TClassicPhaserEffect::TClassicPhaserEffect(float sampleRate)
    : TSuperAudioEffect(sampleRate), table_(1000, sampleRate, 20000.0f, 50.0f), lfo_(5.0f, 0.1f, sampleRate) {
    lfo_.BuildTempoRatios(4, 1, 8, 1); // 16 note lengths from 4 bars down to 1/8 bar
    ApplySampleRate(sampleRate);
    SetStages(8);
    SetManual(0.5f);
    SetRate(0.5f);
    SetSync(false);
    SetDepth(0.2f);
    SetFeedback(0.8f);
    SetMix(0.5f);
    SetLevel(1.0f);
    SetWaveform(2);
}

void TClassicPhaserEffect::SetSampleRate(float rate) {
    ApplySampleRate(rate);
}

void TClassicPhaserEffect::ApplySampleRate(float rate) {
    TSuperAudioEffect::SetSampleRate(rate);
    lfo_.SetSampleRate(rate);
    table_.SetSampleRate(rate);
    highPass_ = ButterworthHighPass(ButterworthAngle(highPassCutoff_, rate, 0.5));
}

void TClassicPhaserEffect::SetStages(int count) {
    stageCount_ = std::clamp(count, 0, kMaximumStages);
    leftStages_.assign(static_cast<std::size_t>(stageCount_), kDenormalGuard);
    rightStages_.assign(static_cast<std::size_t>(stageCount_), kDenormalGuard);
    Reset();
}

void TClassicPhaserEffect::Reset() {
    std::fill(leftStages_.begin(), leftStages_.end(), kDenormalGuard);
    std::fill(rightStages_.begin(), rightStages_.end(), kDenormalGuard);
    highPassLeft_.Reset();
    highPassRight_.Reset();
}

void TClassicPhaserEffect::SetManual(float position) {
    manual_ = position;
}

void TClassicPhaserEffect::SetDepth(float depth) {
    depth_ = depth;
}

void TClassicPhaserEffect::SetFeedback(float feedback) {
    feedback_ = feedback;
}

void TClassicPhaserEffect::SetMix(float mix) {
    mix_ = mix;
    dryGain_ = (1.0f - mix) * level_;
    wetGain_ = mix * level_;
}

void TClassicPhaserEffect::SetLevel(float level) {
    level_ = level;
    SetMix(mix_);
}

void TClassicPhaserEffect::SetRate(float knob) {
    rateKnob_ = knob;
    lfo_.SetRateA(knob);
}

void TClassicPhaserEffect::SetSync(bool on) {
    sync_ = on;
    lfo_.SetTempoSync(on);
}

void TClassicPhaserEffect::SetWaveform(int waveform) {
    waveform_ = waveform;
    lfo_.SetWaveform(waveform);
}

void TClassicPhaserEffect::SetSpread(bool on) {
    spread_ = on;
}

void TClassicPhaserEffect::SetTempo(double bpm) {
    lfo_.SetTempo(bpm);
}

void TClassicPhaserEffect::SyncToHost(double samplePosition) {
    lfo_.SyncToHost(samplePosition);
}

std::string TClassicPhaserEffect::RateLabel(float knob) const {
    return lfo_.RateLabel(knob);
}

void TClassicPhaserEffect::Process(float* left, float* right, int n) {
    // One all-pass −(B + z⁻¹)/(1 + B·z⁻¹) per stage; memory holds the stage's recursive value t.
    const auto allPass = [](std::vector<float>& memory, int stages, float u, float a, float b) {
        for (int j = 0; j < stages; ++j) {
            const float o = memory[static_cast<std::size_t>(j)];
            const float t = static_cast<float>(u - static_cast<double>(o) * b);
            memory[static_cast<std::size_t>(j)] = t;
            u = static_cast<float>((static_cast<double>(t) - o) * a - u * 0.5) * 2.0f;
        }
        return u;
    };
    const int stages = stageCount_;

    for (int i = 0; i < n; ++i) {
        const float xL = left[i];
        const float xR = right[i];
        float uL = xL + feedbackLeft_;
        float uR = xR + feedbackRight_;

        const float m = static_cast<float>(static_cast<double>(lfo_.Advance(1)) * depth_ * 0.5);

        const float k = table_.Lookup(manual_ + m);
        aLeft_ = static_cast<float>(static_cast<double>(k) / (k + 1.0));
        bLeft_ = static_cast<float>((1.0 - k) / (k + 1.0));
        if (spread_) {
            const float kRight = table_.Lookup(manual_ - m);
            aRight_ = static_cast<float>(static_cast<double>(kRight) / (kRight + 1.0));
            bRight_ = static_cast<float>((1.0 - kRight) / (kRight + 1.0));
            rightSelector_ = 1;
        } else {
            rightSelector_ = 0;
        }
        const float aRight = rightSelector_ != 0 ? aRight_ : aLeft_;
        const float bRight = rightSelector_ != 0 ? bRight_ : bLeft_;

        uL = allPass(leftStages_, stages, uL, aLeft_, bLeft_);
        uR = allPass(rightStages_, stages, uR, aRight, bRight);

        const float yL = ButterworthHighPassStep(highPass_, highPassLeft_, uL);
        const float yR = ButterworthHighPassStep(highPass_, highPassRight_, uR);

        feedbackLeft_ = static_cast<float>(static_cast<double>(yL) * feedback_ * 0.98);
        feedbackRight_ = static_cast<float>(static_cast<double>(yR) * feedback_ * 0.98);

        left[i] = static_cast<float>(static_cast<double>(yL) * wetGain_ + static_cast<double>(xL) * dryGain_);
        right[i] = static_cast<float>(static_cast<double>(yR) * wetGain_ + static_cast<double>(xR) * dryGain_);
    }
}

} // namespace quillon
