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
    : TLfoModulatedEffect(sampleRate), maximumDelay_(maximumDelay) {
    ApplySampleRate(sampleRate);
    SetLevel(1.0f);
    SetFeedback(0.0f);
    SetSync(false);
    SetRate(0.3f);
    SetWaveform(1);
}

void TClassicChorusEffect::SetSampleRate(float rate) {
    if (!UsableSampleRate(rate)) return; // keep running at the previous rate
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
    // The input low-pass runs at twice the sample rate, hence the quarter in place of the half. Its corner is
    // held at most at 0.46·rate, the share 10 kHz has at 22.05 kHz: above that the section no longer keeps
    // the images of the doubled write out of the feedback loop (which then grows without bound at feedback 1
    // and 11.025 kHz), and at 8 kHz 10 kHz would lie beyond half the doubled rate, where the section itself
    // is unstable. Rates from 22.05 kHz up are not affected.
    const double corner = std::min(static_cast<double>(lowPassCutoff_), 0.46 * sampleRate_);
    lowPass_ = ButterworthLowPass(ButterworthAngle(corner, sampleRate_, 0.25));
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

void TClassicChorusEffect::Process(float* left, float* right, int n) {
    const int mask = lineMask_;
    const float maximumReach = static_cast<float>(mask);
    int writeIndex = writeIndex_;

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
        tap.i1 = (writeIndex - h) & mask;
        tap.i2 = (tap.i1 - 1) & mask;
        return tap;
    };
    const auto read = [](const float* line, const Tap& tap) {
        return static_cast<float>((1.0 - tap.t) * line[tap.i1] + static_cast<double>(tap.t) * line[tap.i2]);
    };

    // Settings, memories and the write index live in locals for the block: the line writes are float
    // stores, which the compiler must otherwise assume to change the float members.
    float* const leftLine = leftLine_.data();
    float* const rightLine = rightLine_.data();
    const ButterworthCoefficients lowPass = lowPass_, highPass = highPass_;
    ButterworthMemory lowPassLeft = lowPassLeft_, lowPassRight = lowPassRight_;
    ButterworthMemory highPassLeft = highPassLeft_, highPassRight = highPassRight_;
    float feedbackLeft = feedbackLeft_, feedbackRight = feedbackRight_;
    const double feedback = feedback_, dry = dryGain_, wet = wetGain_;
    const double swing = swing_, baseDelay = baseDelay_;
    const bool spread = spread_;

    for (int i = 0; i < n; ++i) {
        const float xL = left[i];
        const float xR = right[i];
        const float uL = xL + feedbackLeft;
        const float uR = xR + feedbackRight;

        // Two line samples per input sample; both receive the same input through the 10 kHz low-pass.
        for (int step = 0; step < 2; ++step) {
            writeIndex = (writeIndex + 1) & mask;
            leftLine[writeIndex] = ButterworthLowPassStep(lowPass, lowPassLeft, uL);
            rightLine[writeIndex] = ButterworthLowPassStep(lowPass, lowPassRight, uR);
        }

        const float m = static_cast<float>(static_cast<double>(lfo_.Advance(1)) * swing);

        const Tap tapLeft = tapFor(static_cast<float>(baseDelay + m));
        const float yL = ButterworthHighPassStep(highPass, highPassLeft, read(leftLine, tapLeft));
        feedbackLeft = static_cast<float>(feedback * yL);
        left[i] = static_cast<float>(dry * xL + wet * yL);

        const Tap tapRight = spread ? tapFor(static_cast<float>(baseDelay - m)) : tapLeft;
        const float yR = ButterworthHighPassStep(highPass, highPassRight, read(rightLine, tapRight));
        feedbackRight = static_cast<float>(feedback * yR);
        right[i] = static_cast<float>(dry * xR + wet * yR);
    }

    writeIndex_ = writeIndex;
    lowPassLeft_ = lowPassLeft;
    lowPassRight_ = lowPassRight;
    highPassLeft_ = highPassLeft;
    highPassRight_ = highPassRight;
    feedbackLeft_ = feedbackLeft;
    feedbackRight_ = feedbackRight;
}

} // namespace quillon
