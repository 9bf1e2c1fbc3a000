// Two-pole Butterworth sections shared by the chorus, the phaser and the delay.
//
// For a cutoff f at an effective rate F the angle is θ = f·6.283185308·0.5/F (the chorus's input filter, which
// runs at twice the sample rate, uses 0.25); c = cot θ, r = c/0.707, e = 1 + r + c². The coefficients are
// computed in double and stored as float; 6.283185308 and 0.707 are the constants of the design, not 2π and
// 1/√2 to full precision. Signal values are 32-bit floats; each per-sample expression is evaluated in double and
// rounded to float where it is stored.
#pragma once

#include <cmath>

namespace quillon {

// The denormal guard: delay lines and filter memories start at this instead of 0.
inline constexpr float kDenormalGuard = 1e-20f;

// The stored angle constant of the effects.
inline constexpr double kEffectTwoPi = 6.283185308;

struct ButterworthCoefficients {
    float a1 = 0.0f; // (2 − 2c²)/e
    float a2 = 0.0f; // (1 − r + c²)/e
    float g = 1.0f;  // 1/e for the low-pass, c²/e for the high-pass
};

// The two state words of one channel's section (the last two values of the recursive part w).
struct ButterworthMemory {
    float w1 = kDenormalGuard;
    float w2 = kDenormalGuard;
    void Reset() { w1 = w2 = kDenormalGuard; }
};

// θ in radians, normally 0 < θ < π/2.
inline ButterworthCoefficients ButterworthLowPass(double theta) {
    const double c = std::cos(theta) / std::sin(theta);
    const double r = c / 0.707;
    const double e = 1.0 + r + c * c;
    return {static_cast<float>((2.0 - 2.0 * c * c) / e), static_cast<float>((1.0 - r + c * c) / e),
            static_cast<float>(1.0 / e)};
}

inline ButterworthCoefficients ButterworthHighPass(double theta) {
    const double c = std::cos(theta) / std::sin(theta);
    const double r = c / 0.707;
    const double e = 1.0 + r + c * c;
    return {static_cast<float>((2.0 - 2.0 * c * c) / e), static_cast<float>((1.0 - r + c * c) / e),
            static_cast<float>(c * c / e)};
}

// θ for cutoff Hz at sample rate Hz: cutoff·6.283185308·share/rate, share 0.5 (or 0.25 at twice the rate).
inline double ButterworthAngle(double cutoff, double sampleRate, double share = 0.5) {
    return cutoff * kEffectTwoPi * share / sampleRate;
}

// One low-pass step: w := x − a1·w1 − a2·w2; y := g·(w + 2·w1 + w2); then w2 := w1, w1 := w.
inline float ButterworthLowPassStep(const ButterworthCoefficients& k, ButterworthMemory& m, float x) {
    const double w1 = m.w1, w2 = m.w2;
    const float w = static_cast<float>(x - k.a1 * w1 - k.a2 * w2);
    const float y = static_cast<float>(k.g * (w + 2.0 * w1 + w2));
    m.w2 = m.w1;
    m.w1 = w;
    return y;
}

// One high-pass step: w := x − a1·w1 − a2·w2; y := g·(w − 2·w1 + w2); then w2 := w1, w1 := w.
inline float ButterworthHighPassStep(const ButterworthCoefficients& k, ButterworthMemory& m, float x) {
    const double w1 = m.w1, w2 = m.w2;
    const float w = static_cast<float>(x - k.a1 * w1 - k.a2 * w2);
    const float y = static_cast<float>(k.g * (w - 2.0 * w1 + w2));
    m.w2 = m.w1;
    m.w1 = w;
    return y;
}

} // namespace quillon
