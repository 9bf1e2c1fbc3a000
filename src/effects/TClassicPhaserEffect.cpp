#include "effects/TClassicPhaserEffect.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr int kMaximumStages = 64;

// Smallest K = cot(π·f/fs) a stage is given: the value for f = 0.49·fs. The table already holds its entries
// there (20 kHz lies at or above half the rate below 40 kHz, where K would be 0 or negative and
// |B| = |(1 − K)/(1 + K)| ≥ 1, an unstable stage); the limit keeps the stages safe whatever table they get.
constexpr float kMinimumK = 0.0314263f; // tan(0.01·π)

} // namespace

TClassicPhaserEffect::TClassicPhaserEffect(float sampleRate)
    : TLfoModulatedEffect(sampleRate), table_(1000, sampleRate, 20000.0f, 50.0f) {
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
    if (!UsableSampleRate(rate)) return; // keep running at the previous rate
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

void TClassicPhaserEffect::Process(float* left, float* right, int n) {
    // All arithmetic is in 32-bit floats. The feedback runs through every stage and the high-pass from one
    // sample to the next, so the length of that chain of dependent operations sets the speed: both channels
    // run through their stages side by side, and settings and memories live in locals for the block.
    float* const stagesLeft = leftStages_.data();
    float* const stagesRight = rightStages_.data();
    const int stages = stageCount_;
    const float halfDepth = depth_ * 0.5f;
    const float loopGain = feedback_ * 0.98f;
    const float wet = wetGain_, dry = dryGain_;
    const float hpA1 = highPass_.a1, hpA2 = highPass_.a2, hpG = highPass_.g;
    float feedbackLeft = feedbackLeft_, feedbackRight = feedbackRight_;
    ButterworthMemory highPassLeft = highPassLeft_, highPassRight = highPassRight_;
    float aLeft = aLeft_, bLeft = bLeft_, aRight = aRight_, bRight = bRight_;

    for (int i = 0; i < n; ++i) {
        const float xL = left[i];
        const float xR = right[i];
        float uL = xL + feedbackLeft;
        float uR = xR + feedbackRight;

        const float m = lfo_.Advance(1) * halfDepth;

        // A = K/(K + 1), B = (1 − K)/(K + 1) with K = cot(π·f/fs) for the swept break frequency f.
        const float k = std::max(table_.Lookup(manual_ + m), kMinimumK);
        aLeft = k / (k + 1.0f);
        bLeft = (1.0f - k) / (k + 1.0f);
        if (spread_) {
            const float kRight = std::max(table_.Lookup(manual_ - m), kMinimumK);
            aRight = kRight / (kRight + 1.0f);
            bRight = (1.0f - kRight) / (kRight + 1.0f);
            rightSelector_ = 1;
        } else {
            rightSelector_ = 0;
        }
        const float aR = rightSelector_ != 0 ? aRight : aLeft;
        const float bR = rightSelector_ != 0 ? bRight : bLeft;

        // One all-pass −(B + z⁻¹)/(1 + B·z⁻¹) per stage; the memory holds the stage's recursive value t, and
        // u := ((t − o)·A − u·0.5)·2 is written as (t − o)·2A − u (scaling by 2 is exact).
        const float a2L = 2.0f * aLeft, a2R = 2.0f * aR;
        for (int j = 0; j < stages; ++j) {
            const float oL = stagesLeft[j];
            const float oR = stagesRight[j];
            const float tL = uL - oL * bLeft;
            const float tR = uR - oR * bR;
            stagesLeft[j] = tL;
            stagesRight[j] = tR;
            uL = (tL - oL) * a2L - uL;
            uR = (tR - oR) * a2R - uR;
        }

        // The 500 Hz Butterworth high-pass: w := u − a1·w1 − a2·w2; y := g·(w − 2·w1 + w2).
        const float wL = uL - hpA1 * highPassLeft.w1 - hpA2 * highPassLeft.w2;
        const float wR = uR - hpA1 * highPassRight.w1 - hpA2 * highPassRight.w2;
        const float yL = hpG * (wL - 2.0f * highPassLeft.w1 + highPassLeft.w2);
        const float yR = hpG * (wR - 2.0f * highPassRight.w1 + highPassRight.w2);
        highPassLeft.w2 = highPassLeft.w1;
        highPassLeft.w1 = wL;
        highPassRight.w2 = highPassRight.w1;
        highPassRight.w1 = wR;

        feedbackLeft = yL * loopGain;
        feedbackRight = yR * loopGain;

        left[i] = yL * wet + xL * dry;
        right[i] = yR * wet + xR * dry;
    }

    feedbackLeft_ = feedbackLeft;
    feedbackRight_ = feedbackRight;
    highPassLeft_ = highPassLeft;
    highPassRight_ = highPassRight;
    aLeft_ = aLeft;
    bLeft_ = bLeft;
    aRight_ = aRight;
    bRight_ = bRight;
}

} // namespace quillon
