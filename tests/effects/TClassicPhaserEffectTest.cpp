#include "effects/TClassicPhaserEffect.h"
#include "engine/TIIRFrequencyTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;
constexpr double kPi = 3.141592653589793;

std::vector<float> Noise(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> v(n);
    for (float& x : v)
        x = uniform(generator);
    return v;
}

double Cot(double frequency, double rate) {
    return 1.0 / std::tan(kPi * frequency / rate);
}

struct Stereo {
    std::vector<float> left, right;
};

Stereo Render(TClassicPhaserEffect& phaser, const std::vector<float>& input) {
    Stereo out{input, input};
    phaser.Process(out.left.data(), out.right.data(), static_cast<int>(input.size()));
    return out;
}

TEST(TIIRFrequencyTable, LooksUpCotangentsAndClampsItsRange) {
    TIIRFrequencyTable table(1000, kRate, 20000.0f, 50.0f);
    EXPECT_NEAR(table.Lookup(0.0f), Cot(50.0, kRate), 1e-4 * Cot(50.0, kRate));
    EXPECT_NEAR(table.Lookup(0.5f), Cot(1000.0, kRate), 1e-4 * Cot(1000.0, kRate)); // geometric middle
    EXPECT_NEAR(table.Lookup(1.0f), Cot(20000.0, kRate), 1e-3);
    EXPECT_EQ(table.Lookup(1.0f), table.Entry(998));    // the last entry is only a guard
    EXPECT_EQ(table.Lookup(1.7f), table.Lookup(1.0f));  // held at 20 kHz
    EXPECT_EQ(table.Lookup(-0.3f), table.Lookup(0.0f)); // held at 50 Hz
    EXPECT_EQ(table.Lookup(std::numeric_limits<float>::quiet_NaN()), table.Lookup(0.0f));
    // Between entries the lookup interpolates linearly.
    const float half = 0.5f / 998.0f;
    EXPECT_NEAR(table.Lookup(half), 0.5f * (table.Entry(0) + table.Entry(1)), 1e-3f);

    table.SetSampleRate(48000.0f);
    EXPECT_NEAR(table.Lookup(0.0f), Cot(50.0, 48000.0), 1e-4 * Cot(50.0, 48000.0));

    TIIRFrequencyTable filterTable(1000, kRate, 20000.0f, 20.0f); // the synthesizer's filter range
    EXPECT_NEAR(filterTable.Lookup(0.0f), Cot(20.0, kRate), 1e-4 * Cot(20.0, kRate));
}

TEST(TClassicPhaserEffect, MixZeroPassesTheInput) {
    TClassicPhaserEffect phaser(kRate);
    phaser.SetMix(0.0f);
    EXPECT_EQ(phaser.DryGain(), 1.0f);
    EXPECT_EQ(phaser.WetGain(), 0.0f);
    EXPECT_EQ(phaser.RateLabel(1.0f), "1 / 8"); // the effects' 16 note lengths
    const std::vector<float> input = Noise(4096, 1);
    const Stereo out = Render(phaser, input);
    EXPECT_EQ(out.left, input);
    EXPECT_EQ(out.right, input);
}

// With depth 0 the notches stand still: the effect is time-invariant, so a delayed input gives the same output
// delayed. With a sweep it is not.
TEST(TClassicPhaserEffect, DepthZeroIsStatic) {
    const std::vector<float> burst = Noise(2048, 2);
    constexpr std::size_t kShift = 3000;
    for (const float depth : {0.0f, 1.0f}) {
        std::vector<float> early(8192, 0.0f), late(8192, 0.0f);
        std::copy(burst.begin(), burst.end(), early.begin());
        std::copy(burst.begin(), burst.end(), late.begin() + kShift);
        TClassicPhaserEffect a(kRate), b(kRate);
        for (TClassicPhaserEffect* p : {&a, &b}) {
            p->SetDepth(depth);
            p->SetRate(1.0f);
            p->SetMix(1.0f);
        }
        const Stereo outEarly = Render(a, early);
        const Stereo outLate = Render(b, late);
        double worst = 0.0;
        for (std::size_t i = 0; i + kShift < 8192; ++i)
            worst = std::max(worst, static_cast<double>(std::fabs(outEarly.left[i] - outLate.left[i + kShift])));
        if (depth == 0.0f)
            EXPECT_LT(worst, 1e-5);
        else
            EXPECT_GT(worst, 1e-2);
    }
}

TEST(TClassicPhaserEffect, SpreadMirrorsTheSweepOfTheRightChannel) {
    const std::vector<float> input = Noise(8192, 3);
    struct Case {
        bool spread;
        float depth;
        bool identical;
    };
    for (const Case c : {Case{false, 1.0f, true}, Case{true, 0.0f, true}, Case{true, 1.0f, false}}) {
        TClassicPhaserEffect phaser(kRate);
        phaser.SetSpread(c.spread);
        phaser.SetDepth(c.depth);
        phaser.SetRate(1.0f);
        const Stereo out = Render(phaser, input);
        EXPECT_EQ(out.left == out.right, c.identical) << c.spread << " " << c.depth;
    }
}

// The triangle LFO starts rising from 0, so for its first half cycle (5 s at 0.1 Hz) the excursion is positive.
TEST(TClassicPhaserEffect, SweepIsHeldAtTheEndsOfTheScale) {
    const std::vector<float> input = Noise(8192, 4);
    const auto run = [&](float manual, float depth) {
        TClassicPhaserEffect phaser(kRate);
        phaser.SetRate(0.0f);
        phaser.SetManual(manual);
        phaser.SetDepth(depth);
        return Render(phaser, input);
    };
    // Manual 1 plus a positive excursion stays at 20 kHz on the left ...
    EXPECT_EQ(run(1.0f, 1.0f).left, run(1.0f, 0.0f).left);
    // ... and manual 0 minus it (the mirrored right channel) stays at 50 Hz.
    EXPECT_EQ(run(0.0f, 1.0f).right, run(0.0f, 0.0f).right);
    // Inside the scale the sweep is heard.
    EXPECT_NE(run(0.5f, 1.0f).left, run(0.5f, 0.0f).left);
}

TEST(TClassicPhaserEffect, FullFeedbackDecays) {
    TClassicPhaserEffect phaser(kRate);
    phaser.SetFeedback(1.0f);
    phaser.SetMix(1.0f);
    phaser.SetDepth(1.0f);
    std::vector<float> left(88200, 0.0f), right(88200, 0.0f);
    left[0] = right[0] = 1.0f;
    phaser.Process(left.data(), right.data(), 88200);
    for (float v : left)
        ASSERT_TRUE(std::isfinite(v));
    for (std::size_t i = 80000; i < 88200; ++i)
        ASSERT_LT(std::fabs(left[i]), 1e-4f) << i;
}

} // namespace
} // namespace quillon
