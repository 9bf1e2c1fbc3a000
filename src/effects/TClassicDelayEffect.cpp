#include "effects/TClassicDelayEffect.h"

#include "engine/CurveValue.h"
#include "engine/DisplayFormat.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr float kGuard = kDenormalGuard; // written instead of 0

// Nearest integer, ties to even (default rounding mode).
int RoundToInt(double x) {
    return static_cast<int>(std::nearbyint(x));
}

std::string Fraction(int numerator, int denominator) {
    return std::to_string(numerator) + " / " + std::to_string(denominator);
}

// Corner frequency the coefficients are computed for. A two-pole section designed at or above half the
// sample rate has a pole outside the unit circle and its output grows without bound (a 20 kHz high cut at
// 32 kHz would do that), and a corner of 0 Hz or NaN divides by zero; such corners are pulled into 1 Hz …
// 0.49·rate, which changes nothing inside the knobs' ranges at the usual rates.
double UsableCorner(double hz, double sampleRate) {
    if (!(hz >= 1.0)) return 1.0;
    return std::min(hz, 0.49 * sampleRate);
}

} // namespace

TClassicDelayEffect::TClassicDelayEffect(float sampleRate) : TSuperAudioEffect(sampleRate) {
    BuildTimeTable(1, 32, 2, 1);
    SetSampleRate(UsableSampleRate(sampleRate) ? sampleRate : 44100.0f);
    SetSync(true);
    SetFeedback(0.5f);
    SetPingPong(true);
    SetLevel(1.0f);
}

void TClassicDelayEffect::BuildTimeTable(int finestNumerator, int finestDenominator, int coarsestNumerator,
                                         int coarsestDenominator) {
    int n = coarsestNumerator;
    int d = coarsestDenominator;
    const double octaves =
        std::log((static_cast<double>(n) / d) / (static_cast<double>(finestNumerator) / finestDenominator)) /
        std::log(2.0);
    const int count = std::max(1, RoundToInt(octaves) * 3 + 1);
    ratios_.assign(static_cast<std::size_t>(count), 0.0);
    labels_.assign(static_cast<std::size_t>(count), std::string());

    auto store = [this](int index, double bars, std::string label) {
        ratios_[static_cast<std::size_t>(index)] = bars;
        labels_[static_cast<std::size_t>(index)] = Truncate(std::move(label), 10);
    };
    auto halve = [&n, &d] {
        if (n < 2)
            d *= 2;
        else
            n /= 2;
    };
    auto twice = [&n, &d] {
        if (d < 2)
            n *= 2;
        else
            d /= 2;
    };

    int index = count - 1;
    store(index--, static_cast<double>(n) / d, Fraction(n, d));
    while (index >= 0) {
        halve();
        store(index--, static_cast<double>(n) / d * 1.5, Fraction(n, d) + " D");
        if (index < 0) break;
        twice();
        store(index--, static_cast<double>(n) / d / 1.5, Fraction(n, d) + " T");
        if (index < 0) break;
        halve();
        store(index--, static_cast<double>(n) / d, Fraction(n, d));
    }
}

void TClassicDelayEffect::SetSampleRate(float rate) {
    if (!UsableSampleRate(rate)) return; // keep running at the previous rate
    TSuperAudioEffect::SetSampleRate(rate);
    const auto elements = static_cast<std::size_t>(RoundToInt(static_cast<double>(rate) * kMaximumTime));
    leftLine_.assign(elements, kGuard);
    rightLine_.assign(elements, kGuard);
    SetTime(timeKnob_);
    Reset();
    SetHighCut(highCutFrequency_);
    SetLowCut(lowCutFrequency_);
}

void TClassicDelayEffect::Reset() {
    position_ = 0;
    // The whole line, not only the current delay length: a longer time set later must not replay old audio.
    std::fill(leftLine_.begin(), leftLine_.end(), kGuard);
    std::fill(rightLine_.begin(), rightLine_.end(), kGuard);
    highCutLeft_.Reset();
    highCutRight_.Reset();
    lowCutLeft_.Reset();
    lowCutRight_.Reset();
}

void TClassicDelayEffect::SetTime(float knob) {
    if (std::isnan(knob)) knob = 0.0f;
    knob = std::clamp(knob, 0.0f, 1.0f);
    timeKnob_ = knob;

    double seconds;
    if (sync_) {
        const int last = RatioCount() - 1;
        const int index = std::clamp(RoundToInt(static_cast<double>(knob) * last), 0, last);
        seconds = ratios_[static_cast<std::size_t>(index)] * 240.0 / tempo_; // a bar is four beats
    } else {
        seconds = CurveValue(kCurveExponential, knob, kMaximumTime, kMinimumTime);
    }
    if (!(seconds >= kMinimumTime)) // also a NaN from a NaN tempo
        seconds = kMinimumTime;
    seconds = std::min(seconds, kMaximumTime);

    // The lines are not cleared; the position wraps at the new length from the next sample on.
    delayLength_ = std::clamp(RoundToInt(static_cast<double>(sampleRate_) * seconds), 1, std::max(1, LineLength()));
}

void TClassicDelayEffect::SetSync(bool on) {
    sync_ = on;
    SetTime(timeKnob_);
}

void TClassicDelayEffect::SetTempo(float bpm) {
    if (sync_ && bpm != tempo_) {
        tempo_ = bpm;
        SetTime(timeKnob_);
    } else {
        tempo_ = bpm;
    }
}

void TClassicDelayEffect::SetFeedback(float feedback) {
    feedback_ = feedback;
}

void TClassicDelayEffect::SetPingPong(bool on) {
    pingPong_ = on;
}

void TClassicDelayEffect::SetHighCut(float hz) {
    highCutFrequency_ = hz;
    highCut_ = ButterworthLowPass(ButterworthAngle(UsableCorner(hz, sampleRate_), sampleRate_));
}

void TClassicDelayEffect::SetLowCut(float hz) {
    lowCutFrequency_ = hz;
    lowCut_ = ButterworthHighPass(ButterworthAngle(UsableCorner(hz, sampleRate_), sampleRate_));
}

void TClassicDelayEffect::SetMix(float mix) {
    mix_ = mix;
    UpdateGains();
}

void TClassicDelayEffect::SetLevel(float level) {
    level_ = level;
    UpdateGains();
}

void TClassicDelayEffect::UpdateGains() {
    dryGain_ = (1.0f - mix_) * level_;
    wetGain_ = mix_ * level_;
}

std::string TClassicDelayEffect::TimeLabel(float knob) const {
    const int last = RatioCount() - 1;
    int index = 0;
    if (!std::isnan(knob)) {
        const double scaled = std::clamp(static_cast<double>(knob) * last, 0.0, static_cast<double>(last));
        index = RoundToInt(scaled);
    }
    return labels_[static_cast<std::size_t>(index)];
}

void TClassicDelayEffect::Process(float* left, float* right, int n) {
    if (leftLine_.empty()) return;
    const int length = std::clamp(delayLength_, 1, LineLength());
    float* const leftLine = leftLine_.data();
    float* const rightLine = rightLine_.data();
    for (int i = 0; i < n; ++i) {
        // The line slot at the position holds the sample written one delay length ago; a position left
        // beyond a shortened length wraps here.
        if (++position_ >= length) position_ = 0;
        const float xL = left[i];
        const float xR = right[i];
        const float yL = ButterworthHighPassStep(lowCut_, lowCutLeft_,
                                                 ButterworthLowPassStep(highCut_, highCutLeft_, leftLine[position_]));
        const float yR = ButterworthHighPassStep(lowCut_, lowCutRight_,
                                                 ButterworthLowPassStep(highCut_, highCutRight_, rightLine[position_]));
        // Each expression is evaluated in double and rounded where it is stored, like the filter steps.
        const double feedback = feedback_;
        if (pingPong_) {
            leftLine[position_] = static_cast<float>(static_cast<double>(xL) + xR + feedback * yR);
            rightLine[position_] = static_cast<float>(feedback * yL + kGuard);
        } else {
            leftLine[position_] = static_cast<float>(feedback * yL + xL);
            rightLine[position_] = static_cast<float>(feedback * yR + xR);
        }
        left[i] = static_cast<float>(static_cast<double>(dryGain_) * xL + static_cast<double>(wetGain_) * yL);
        right[i] = static_cast<float>(static_cast<double>(dryGain_) * xR + static_cast<double>(wetGain_) * yR);
    }
}

} // namespace quillon
