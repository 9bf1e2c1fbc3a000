#include "effects/ButterworthSection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace quillon {
namespace {

// Steady-state amplitude of a sine of the given frequency through one section.
template <typename Step> double Gain(const ButterworthCoefficients& k, double frequency, double rate, Step step) {
    ButterworthMemory memory;
    double peak = 0.0;
    for (int i = 0; i < 48000; ++i) {
        const float x = static_cast<float>(std::sin(2.0 * 3.141592653589793 * frequency * i / rate));
        const float y = step(k, memory, x);
        if (i >= 24000) peak = std::max(peak, static_cast<double>(std::fabs(y)));
    }
    return peak;
}

TEST(ButterworthSection, LowAndHighPassHaveButterworthResponses) {
    const double rate = 44100.0;
    const ButterworthCoefficients low = ButterworthLowPass(ButterworthAngle(1000.0, rate));
    EXPECT_NEAR(Gain(low, 50.0, rate, ButterworthLowPassStep), 1.0, 0.01);
    EXPECT_NEAR(Gain(low, 1000.0, rate, ButterworthLowPassStep), 0.7071, 0.01);     // −3 dB at the cutoff
    EXPECT_NEAR(Gain(low, 4000.0, rate, ButterworthLowPassStep), 1.0 / 16.0, 0.01); // 12 dB per octave

    const ButterworthCoefficients high = ButterworthHighPass(ButterworthAngle(500.0, rate));
    EXPECT_LT(Gain(high, 30.0, rate, ButterworthHighPassStep), 0.01);
    EXPECT_NEAR(Gain(high, 500.0, rate, ButterworthHighPassStep), 0.7071, 0.01);
    EXPECT_NEAR(Gain(high, 8000.0, rate, ButterworthHighPassStep), 1.0, 0.01);

    // At twice the rate the quarter share puts the cutoff at the same frequency.
    const ButterworthCoefficients doubled = ButterworthLowPass(ButterworthAngle(1000.0, rate, 0.25));
    EXPECT_NEAR(Gain(doubled, 1000.0, 2.0 * rate, ButterworthLowPassStep), 0.7071, 0.01);
}

} // namespace
} // namespace quillon
