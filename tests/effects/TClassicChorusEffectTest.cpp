#include "effects/TClassicChorusEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;

std::vector<float> Noise(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> v(n);
    for (float& x : v)
        x = uniform(generator);
    return v;
}

// Index of the largest magnitude.
std::size_t Peak(const std::vector<float>& v) {
    return static_cast<std::size_t>(
        std::max_element(v.begin(), v.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }) - v.begin());
}

TEST(TClassicChorusEffect, DelayLineGeometry) {
    TClassicChorusEffect chorus(0.1f, kRate);
    EXPECT_EQ(chorus.LineLength(), 32768); // 0.1 s · 44100 · 2 · 2 = 17640 → next power of two
    EXPECT_FLOAT_EQ(chorus.DryGain(), 0.5f);
    EXPECT_FLOAT_EQ(chorus.WetGain(), 0.5f);

    chorus.SetDelay(0.0005f);
    chorus.SetDepth(1.0f);
    EXPECT_EQ(chorus.BaseDelay(), 44.0f); // line samples, two per input sample
    EXPECT_EQ(chorus.Swing(), 44.0f);     // sweeps 0 … 88 line samples back
    chorus.SetDelay(0.05f);
    EXPECT_EQ(chorus.BaseDelay(), 4410.0f);
    EXPECT_EQ(chorus.Swing(), 4410.0f); // reaches 8820, inside the line

    // A new rate keeps the settings in seconds.
    chorus.SetDelay(0.0005f);
    chorus.SetSampleRate(96000.0f);
    EXPECT_EQ(chorus.BaseDelay(), 96.0f);
    EXPECT_EQ(chorus.Swing(), 96.0f);
    EXPECT_EQ(chorus.LineLength(), 65536);

    EXPECT_EQ(chorus.RateLabel(1.0f / 15.0f), "2 / 1 D"); // the effects' 16 note lengths
    EXPECT_EQ(chorus.RateLabel(1.0f), "1 / 8");
}

TEST(TClassicChorusEffect, FixedDelayAtDepthZero) {
    TClassicChorusEffect chorus(0.1f, kRate);
    chorus.SetDelay(0.01f); // 441 samples
    chorus.SetDepth(0.0f);
    chorus.SetMix(1.0f); // wet only
    std::vector<float> left(4096, 0.0f), right(4096, 0.0f);
    left[100] = right[100] = 1.0f;
    chorus.Process(left.data(), right.data(), 4096);
    EXPECT_NEAR(static_cast<double>(Peak(left)), 100.0 + 441.0, 1.0);
    EXPECT_EQ(Peak(left), Peak(right));
    for (std::size_t i = 0; i < 500; ++i)
        ASSERT_LT(std::fabs(left[i]), 1e-3f) << i; // nothing before the delay

    // Feedback returns the echo once more one delay later.
    TClassicChorusEffect echo(0.1f, kRate);
    echo.SetDelay(0.01f);
    echo.SetDepth(0.0f);
    echo.SetMix(1.0f);
    echo.SetFeedback(0.5f);
    std::vector<float> l2(4096, 0.0f), r2(4096, 0.0f);
    l2[100] = r2[100] = 1.0f;
    echo.Process(l2.data(), r2.data(), 4096);
    std::vector<float> tail(l2.begin() + 700, l2.end());
    EXPECT_NEAR(static_cast<double>(Peak(tail) + 700), 100.0 + 882.0, 2.0);
    EXPECT_NEAR(std::fabs(tail[Peak(tail)]), 0.5f * std::fabs(l2[Peak(l2)]), 0.1f);
}

TEST(TClassicChorusEffect, SpreadDecidesWhetherTheChannelsDiffer) {
    const std::vector<float> input = Noise(8192, 1);
    for (const bool spread : {false, true}) {
        TClassicChorusEffect chorus(0.1f, kRate);
        chorus.SetSpread(spread);
        chorus.SetDepth(0.8f);
        chorus.SetRate(1.0f);
        chorus.SetFeedback(0.5f);
        std::vector<float> left = input, right = input;
        chorus.Process(left.data(), right.data(), 8192);
        if (spread)
            EXPECT_NE(left, right);
        else
            EXPECT_EQ(left, right);
    }
}

TEST(TClassicChorusEffect, MixZeroPassesTheInput) {
    TClassicChorusEffect chorus(0.1f, kRate);
    chorus.SetMix(0.0f);
    chorus.SetFeedback(0.9f);
    const std::vector<float> input = Noise(4096, 2);
    std::vector<float> left = input, right = input;
    chorus.Process(left.data(), right.data(), 4096);
    EXPECT_EQ(left, input);
    EXPECT_EQ(right, input);
}

TEST(TClassicChorusEffect, ResetSilencesTheLine) {
    TClassicChorusEffect chorus(0.1f, kRate);
    chorus.SetMix(1.0f);
    std::vector<float> left = Noise(4096, 3), right = Noise(4096, 4);
    chorus.Process(left.data(), right.data(), 4096);
    chorus.Reset();
    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
    chorus.Process(left.data(), right.data(), 4096);
    for (std::size_t i = 0; i < 4096; ++i)
        ASSERT_LT(std::fabs(left[i]) + std::fabs(right[i]), 1e-6f) << i;
}

TEST(TClassicChorusEffect, ExtremeSettingsStayFinite) {
    TClassicChorusEffect chorus(0.1f, kRate);
    chorus.SetMix(1.0f);
    std::vector<float> left = Noise(2048, 5), right = Noise(2048, 6);
    for (const float depth : {3.0f, -2.0f, std::numeric_limits<float>::quiet_NaN()}) {
        chorus.SetDelay(0.5f); // beyond the line
        chorus.SetDepth(depth);
        chorus.Process(left.data(), right.data(), 2048);
    }
    chorus.SetDepth(1.0f);
    chorus.SetDelay(0.05f);
    chorus.Process(left.data(), right.data(), 2048);
    for (std::size_t i = 0; i < 2048; ++i)
        ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << i;
}

// At low rates the 10 kHz input low-pass is held at 0.46·rate: at 8 kHz 10 kHz would lie beyond half the
// doubled rate, and at 11.025 kHz full feedback would grow without bound.
TEST(TClassicChorusEffect, LowRatesStayBoundedAtFullFeedback) {
    for (const float rate : {8000.0f, 11025.0f, 16000.0f}) {
        for (const float delay : {0.0005f, 0.002f, 0.01f}) {
            TClassicChorusEffect chorus(0.1f, rate);
            chorus.SetDelay(delay);
            chorus.SetDepth(0.0f);
            chorus.SetFeedback(1.0f);
            chorus.SetMix(1.0f);
            const auto n = static_cast<std::size_t>(rate) * 10;
            std::vector<float> left = Noise(n, 7), right = Noise(n, 8);
            chorus.Process(left.data(), right.data(), static_cast<int>(n));
            float peak = 0.0f;
            for (std::size_t i = 0; i < n; ++i)
                peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
            EXPECT_LT(peak, 100.0f) << rate << " Hz, " << delay << " s"; // NaN fails too
        }
    }
}

} // namespace
} // namespace quillon
