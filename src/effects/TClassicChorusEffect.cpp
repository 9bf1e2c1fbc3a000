#include "effects/TClassicChorusEffect.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr int kMaximumLineLength = 1 << 24; // line samples; far beyond 0.1 s at any usual rate

// Smallest power of two, from 1 on, that is at least `samples` (held below kMaximumLineLength).
int LineLengthFor(double samples) {
    int length = 1;
    while (length < kMaximumLineLength && length < samples)
        length *= 2;
    return length;
}

} // namespace

TClassicChorusEffect::TClassicChorusEffect(float maximumDelay, float sampleRate)
    : TSuperAudioEffect(sampleRate), lfo_(5.0f, 0.1f, sampleRate), maximumDelay_(maximumDelay) {
    lfo_.BuildTempoRatios(4, 1, 8, 1); // 16 note lengths from 4 bars down to 1/8 bar
    ApplySampleRate(sampleRate);
    SetLevel(1.0f);
    SetFeedback(0.0f);
    SetSync(false);
    SetRate(0.3f);
    SetWaveform(1);
}

void TClassicChorusEffect::SetSampleRate(float rate) {
    ApplySampleRate(rate);
}

void TClassicChorusEffect::ApplySampleRate(float rate) {
    TSuperAudioEffect::SetSampleRate(rate);
    // The line holds twice the maximum delay at twice the sample rate (base delay plus full swing).
    const int length = LineLengthFor(std::nearbyint(static_cast<double>(maximumDelay_) * rate * 2.0 * 2.0));
    leftLine_.assign(static_cast<std::size_t>(length), kDenormalGuard);
    rightLine_.assign(static_cast<std::size_t>(length), kDenormalGuard);
    lineMask_ = length - 1;
    writeIndex_ = 0;
    SetDelay(delay_);
    UpdateFilters();
    lfo_.SetSampleRate(rate);
    Reset();
}

void TClassicChorusEffect::UpdateFilters() {
    // The input low-pass runs at twice the sample rate, hence the quarter in place of the half.
    lowPass_ = ButterworthLowPass(ButterworthAngle(lowPassCutoff_, sampleRate_, 0.25));
    highPass_ = ButterworthHighPass(ButterworthAngle(highPassCutoff_, sampleRate_, 0.5));
}

void TClassicChorusEffect::Reset() {
    lowPassLeft_.Reset();
    lowPassRight_.Reset();
    highPassLeft_.Reset();
    highPassRight_.Reset();
    std::fill(leftLine_.begin(), leftLine_.end(), kDenormalGuard);
    std::fill(rightLine_.begin(), rightLine_.end(), kDenormalGuard);
}

void TClassicChorusEffect::SetDelay(float seconds) {
    delay_ = seconds;
    baseDelay_ = static_cast<float>(std::nearbyint(static_cast<double>(seconds) * sampleRate_ * 2.0));
    SetDepth(depth_);
}

void TClassicChorusEffect::SetDepth(float depth) {
    depth_ = depth;
    swing_ = static_cast<float>(std::nearbyint(static_cast<double>(baseDelay_) * depth));
}

void TClassicChorusEffect::SetFeedback(float feedback) {
    feedback_ = feedback;
}

void TClassicChorusEffect::SetMix(float mix) {
    mix_ = mix;
    dryGain_ = (1.0f - mix) * level_;
    wetGain_ = mix * level_;
}

void TClassicChorusEffect::SetLevel(float level) {
    level_ = level;
    SetMix(mix_);
}

void TClassicChorusEffect::SetRate(float knob) {
    rateKnob_ = knob;
    lfo_.SetRateA(knob);
}

void TClassicChorusEffect::SetSync(bool on) {
    sync_ = on;
    lfo_.SetTempoSync(on);
}

void TClassicChorusEffect::SetWaveform(int waveform) {
    waveform_ = waveform;
    lfo_.SetWaveform(waveform);
}

void TClassicChorusEffect::SetSpread(bool on) {
    spread_ = on;
}

void TClassicChorusEffect::SetTempo(double bpm) {
    lfo_.SetTempo(bpm);
}

void TClassicChorusEffect::SyncToHost(double samplePosition) {
    lfo_.SyncToHost(samplePosition);
}

std::string TClassicChorusEffect::RateLabel(float knob) const {
    return lfo_.RateLabel(knob);
}

void TClassicChorusEffect::Process(float* left, float* right, int n) {
    const int mask = lineMask_;
    const float maximumReach = static_cast<float>(mask);

    // Read position for a delay of d line samples: whole part h and fraction t; the two line samples
    // i1 (h back) and i2 (one further back) are mixed linearly.
    struct Tap {
        int i1, i2;
        float t;
    };
    const auto tapFor = [&](float d) {
        if (!(d >= 0.0f)) // a negative or undefined delay reads the newest sample
            d = 0.0f;
        if (d > maximumReach) d = maximumReach;
        const int h = static_cast<int>(d);
        Tap tap;
        tap.t = d - static_cast<float>(h);
        tap.i1 = (writeIndex_ - h) & mask;
        tap.i2 = (tap.i1 - 1) & mask;
        return tap;
    };
    const auto read = [](const std::vector<float>& line, const Tap& tap) {
        return static_cast<float>((1.0 - tap.t) * line[static_cast<std::size_t>(tap.i1)] +
                                  static_cast<double>(tap.t) * line[static_cast<std::size_t>(tap.i2)]);
    };

    for (int i = 0; i < n; ++i) {
        const float xL = left[i];
        const float xR = right[i];
        const float uL = xL + feedbackLeft_;
        const float uR = xR + feedbackRight_;

        // Two line samples per input sample; both receive the same input through the 10 kHz low-pass.
        for (int step = 0; step < 2; ++step) {
            writeIndex_ = (writeIndex_ + 1) & mask;
            leftLine_[static_cast<std::size_t>(writeIndex_)] = ButterworthLowPassStep(lowPass_, lowPassLeft_, uL);
            rightLine_[static_cast<std::size_t>(writeIndex_)] = ButterworthLowPassStep(lowPass_, lowPassRight_, uR);
        }

        const float m = static_cast<float>(static_cast<double>(lfo_.Advance(1)) * swing_);

        const Tap tapLeft = tapFor(static_cast<float>(static_cast<double>(baseDelay_) + m));
        const float yL = ButterworthHighPassStep(highPass_, highPassLeft_, read(leftLine_, tapLeft));
        feedbackLeft_ = static_cast<float>(static_cast<double>(feedback_) * yL);
        left[i] = static_cast<float>(static_cast<double>(dryGain_) * xL + static_cast<double>(wetGain_) * yL);

        const Tap tapRight = spread_ ? tapFor(static_cast<float>(static_cast<double>(baseDelay_) - m)) : tapLeft;
        const float yR = ButterworthHighPassStep(highPass_, highPassRight_, read(rightLine_, tapRight));
        feedbackRight_ = static_cast<float>(static_cast<double>(feedback_) * yR);
        right[i] = static_cast<float>(static_cast<double>(dryGain_) * xR + static_cast<double>(wetGain_) * yR);
    }
}

} // namespace quillon
