#include "effects/TClassicPhaserEffect.h"
#include "engine/TIIRFrequencyTable.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Steady-state gain of the phaser at hz, mixed half dry and half wet, with the sweep running at its fastest
// rate but depth 0 and no feedback.
double StillGain(float manual, double hz) {
    TClassicPhaserEffect phaser(kRate);
    phaser.SetRate(1.0f);
    phaser.SetDepth(0.0f);
    phaser.SetFeedback(0.0f);
    phaser.SetMix(0.5f);
    phaser.SetManual(manual);
    constexpr int kFrames = 8192, kSettle = 4096;
    std::vector<float> input(kFrames);
    for (int i = 0; i < kFrames; ++i)
        input[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(2.0 * kPi * hz * i / kRate));
    const Stereo out = Render(phaser, input);
    double c = 0.0, s = 0.0;
    for (int i = kSettle; i < kFrames; ++i) {
        c += out.left[static_cast<std::size_t>(i)] * std::cos(2.0 * kPi * hz * i / kRate);
        s += out.left[static_cast<std::size_t>(i)] * std::sin(2.0 * kPi * hz * i / kRate);
    }
    return 2.0 * std::hypot(c, s) / (kFrames - kSettle);
}

// Eight all-pass stages with their break at f0 (the manual position on the 50 Hz … 20 kHz scale) turn a
// sine at f0 by a whole number of turns, so the wet part adds to the dry one there; the highest notch lies
// where each stage turns by 15/16 of a half turn, tan(π·f/fs) = cot(π/16)·tan(π·f0/fs). With depth 0 both
// stay there however fast the LFO runs.
TEST(TClassicPhaserEffect, DepthZeroHoldsTheNotchesAtTheManualPosition) {
    for (const float manual : {0.5f, 0.7f}) {
        SCOPED_TRACE(manual);
        const double f0 = 50.0 * std::pow(400.0, static_cast<double>(manual)); // 1000 Hz, 3314 Hz
        const double notch = kRate / kPi * std::atan(std::tan(kPi * f0 / kRate) / std::tan(kPi / 16.0));
        EXPECT_GT(StillGain(manual, f0), 0.9);
        double deepest = 1.0, where = 0.0;
        for (double hz = 0.9 * notch; hz < 1.1 * notch; hz *= 1.004) {
            const double gain = StillGain(manual, hz);
            if (gain < deepest) {
                deepest = gain;
                where = hz;
            }
        }
        EXPECT_LT(deepest, 0.01);
        // The 500 Hz high-pass after the stages turns the phase a little more and moves the notch up by a
        // few per cent at 1000 Hz.
        EXPECT_NEAR(where / notch, 1.0, 0.06);
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

// Below 40 kHz the top of the 50 Hz … 20 kHz scale lies at or above half the rate, where a stage tuned there
// would be unstable; the sweep is held below it, so loud noise at full feedback stays bounded.
TEST(TClassicPhaserEffect, StagesStayStableWhereTheScaleReachesBeyondHalfTheRate) {
    for (const float rate : {8000.0f, 22050.0f, 32000.0f}) {
        for (const float manual : {0.0f, 1.0f}) {
            TClassicPhaserEffect phaser(rate);
            phaser.SetManual(manual);
            phaser.SetDepth(1.0f);
            phaser.SetRate(1.0f);
            phaser.SetFeedback(1.0f);
            phaser.SetMix(1.0f);
            const Stereo out = Render(phaser, Noise(static_cast<std::size_t>(rate) * 2, 5));
            float peak = 0.0f;
            for (std::size_t i = 0; i < out.left.size(); ++i)
                peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
            EXPECT_LT(peak, 100.0f) << rate << " Hz, manual " << manual; // NaN fails too
        }
    }
}

} // namespace
} // namespace quillon
