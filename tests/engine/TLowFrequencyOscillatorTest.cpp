#include "engine/TLowFrequencyOscillator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;
constexpr double kTwoTo32 = 4294967296.0;

// The synthesizer's LFO: 0.02 … 20 Hz, note lengths from 4 bars down to 1/32 bar.
class SynthLfo : public ::testing::Test {
protected:
    SynthLfo() : lfo(20.0f, 0.02f, kRate) { lfo.BuildTempoRatios(4, 1, 32, 1); }
    TLowFrequencyOscillator lfo;
};

std::vector<float> Table(const TLowFrequencyOscillator& lfo) {
    std::vector<float> t;
    for (int i = 0; i < TLowFrequencyOscillator::kTableSize; ++i)
        t.push_back(lfo.TableValue(static_cast<float>(i) / 4096.0f));
    return t;
}

TEST_F(SynthLfo, FreeRateFollowsTheExponentialKnobScale) {
    lfo.SetRateA(0.0f);
    EXPECT_NEAR(lfo.RateA(), 0.02, 1e-7);
    lfo.SetRateA(0.5f);
    EXPECT_NEAR(lfo.RateA(), 0.632456, 1e-5); // geometric mean of 0.02 and 20
    lfo.SetRateA(1.0f);
    EXPECT_NEAR(lfo.RateA(), 20.0, 1e-5);

    // 20 Hz really gives 20 cycles a second: count the rising zero crossings of the sine.
    lfo.SetWaveform(1);
    int crossings = 0;
    float previous = lfo.Advance(0);
    for (int i = 0; i < 44100; ++i) {
        const float v = lfo.Advance(1);
        crossings += (previous < 0.0f && v >= 0.0f) ? 1 : 0;
        previous = v;
    }
    EXPECT_EQ(crossings, 20);
}

TEST_F(SynthLfo, SyncedRatesFollowNoteLengthsAndTempo) {
    lfo.SetTempo(120.0);
    lfo.SetTempoSync(true);
    lfo.SetRateA(1.0f); // 1/32 bar at 0.5 bar/s
    EXPECT_NEAR(lfo.RateA(), 16.0, 1e-5);
    lfo.SetRateA(0.0f); // 4 bars
    EXPECT_NEAR(lfo.RateA(), 0.125, 1e-7);
    lfo.SetRateB(1.0f);
    lfo.SetTempo(60.0); // follows the tempo while synced
    EXPECT_NEAR(lfo.RateA(), 0.0625, 1e-7);
    EXPECT_NEAR(lfo.RateB(), 8.0, 1e-5);

    lfo.SetTempoSync(false);
    EXPECT_NEAR(lfo.RateA(), 0.02, 1e-7);
    lfo.SetTempo(240.0); // stored while free, used once sync is back on
    EXPECT_NEAR(lfo.RateA(), 0.02, 1e-7);
    lfo.SetTempoSync(true);
    EXPECT_NEAR(lfo.RateB(), 32.0, 1e-5);
}

TEST_F(SynthLfo, TempoRatiosAndLabels) {
    const double bars[] = {4,       3,        8.0 / 3, 2,        1.5,      4.0 / 3, 1,       0.75,
                           2.0 / 3, 0.5,      0.375,   1.0 / 3,  0.25,     0.1875,  1.0 / 6, 0.125,
                           0.09375, 1.0 / 12, 0.0625,  0.046875, 1.0 / 24, 0.03125};
    ASSERT_EQ(lfo.RatioCount(), 22);
    for (int i = 0; i < 22; ++i)
        EXPECT_NEAR(lfo.Ratio(i), bars[i], 1e-12) << i;

    EXPECT_EQ(lfo.RateLabel(0.0f), "4 / 1");
    EXPECT_EQ(lfo.RateLabel(1.0f / 21.0f), "2 / 1 D");
    EXPECT_EQ(lfo.RateLabel(2.0f / 21.0f), "4 / 1 T");
    EXPECT_EQ(lfo.RateLabel(8.0f / 21.0f), "1 / 1 T");
    EXPECT_EQ(lfo.RateLabel(19.0f / 21.0f), "1 / 32 D");
    EXPECT_EQ(lfo.RateLabel(1.0f), "1 / 32");
    // Knob values outside 0 … 1 (or undefined) are held at the ends of the table.
    EXPECT_EQ(lfo.RateLabel(7.0f), "1 / 32");
    EXPECT_EQ(lfo.RateLabel(-3.0f), "4 / 1");
    EXPECT_EQ(lfo.RateLabel(std::numeric_limits<float>::quiet_NaN()), "4 / 1");

    // The effects' table: 16 lengths from 4 bars down to 1/8 bar.
    TLowFrequencyOscillator effectLfo(5.0f, 0.1f, kRate);
    effectLfo.BuildTempoRatios(4, 1, 8, 1);
    ASSERT_EQ(effectLfo.RatioCount(), 16);
    EXPECT_DOUBLE_EQ(effectLfo.Ratio(15), 0.125);
    EXPECT_EQ(effectLfo.RateLabel(1.0f), "1 / 8");
    EXPECT_EQ(effectLfo.RateLabel(14.0f / 15.0f), "1 / 4 T");
}

TEST_F(SynthLfo, WaveformTables) {
    EXPECT_EQ(Table(lfo), std::vector<float>(4096, 0.0f)); // no waveform yet

    lfo.SetWaveform(2);
    EXPECT_FLOAT_EQ(lfo.TableValue(0.25f), 1.0f);
    EXPECT_FLOAT_EQ(lfo.TableValue(0.75f), -1.0f);

    lfo.SetWaveform(3);
    const std::vector<float> square = Table(lfo);
    EXPECT_EQ(square[0], 0.0f);
    EXPECT_EQ(square[2048], 0.0f);
    EXPECT_EQ(square[1], 1.0f);
    EXPECT_EQ(square[2049], -1.0f);

    lfo.SetWaveform(4);
    EXPECT_EQ(lfo.TableValue(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(lfo.TableValue(1.0f / 4096.0f), -2046.5f / 2047.5f);
    EXPECT_FLOAT_EQ(lfo.TableValue(4095.0f / 4096.0f), 1.0f);

    for (int w = 6; w <= 9; ++w) { // curved triangles: −1 → +1 over the first half, back over the second
        lfo.SetWaveform(w);
        const std::vector<float> t = Table(lfo);
        EXPECT_FLOAT_EQ(t[0], -1.0f) << w;
        EXPECT_FLOAT_EQ(t[2048], 1.0f) << w;
        EXPECT_NEAR(t[4095], -1.0f, 0.01f) << w;
        EXPECT_GT(t[1024], 0.0f) << w; // bowed towards the top: past zero at the quarter
        for (int i = 1; i < 2048; ++i)
            ASSERT_GT(t[i], t[i - 1]) << w << " " << i;
    }

    // Outside the table (index 4096 and beyond, negative, undefined) the first entry answers.
    lfo.SetWaveform(1);
    EXPECT_EQ(lfo.TableValue(1.0f), lfo.TableValue(0.0f));
    EXPECT_EQ(lfo.TableValue(-0.2f), lfo.TableValue(0.0f));
    EXPECT_EQ(lfo.TableValue(std::numeric_limits<float>::quiet_NaN()), lfo.TableValue(0.0f));

    lfo.SetWaveform(10);
    lfo.NextWaveform();
    EXPECT_EQ(lfo.Waveform(), 1);
    lfo.SetWaveform(25); // the parameter reaches 32; there is no waveform beyond the tenth
    EXPECT_EQ(lfo.Waveform(), 10);
}

TEST_F(SynthLfo, RandomStepsAreKeptUntilTheWaveformChanges) {
    lfo.SetWaveform(10);
    const std::vector<float> steps = Table(lfo);
    for (int run = 0; run < 8; ++run)
        for (int i = 0; i < 512; ++i) {
            const float v = steps[static_cast<std::size_t>(run * 512 + i)];
            ASSERT_EQ(v, steps[static_cast<std::size_t>(run * 512)]);
            ASSERT_GE(v, -1.0f);
            ASSERT_LT(v, 1.0f);
        }
    EXPECT_NE(steps[0], steps[512]);

    lfo.SetWaveform(10); // unchanged: same steps
    EXPECT_EQ(Table(lfo), steps);
    lfo.SetWaveform(1);
    lfo.SetWaveform(10); // rebuilt: new steps
    EXPECT_NE(Table(lfo), steps);
}

TEST_F(SynthLfo, NextValueInterpolatesTheTableAtTheAdvancedPhase) {
    lfo.SetWaveform(1);
    lfo.SetRateA(0.77f);
    std::uint32_t phase = 0;
    for (int block = 0; block < 2000; ++block) {
        const int n = 1 + block % 16;
        phase += static_cast<std::uint32_t>(n) * lfo.IncrementA();
        const float v = lfo.NextValue(n);
        ASSERT_NEAR(v, std::sin(6.283185307179586 * phase / kTwoTo32), 2e-6) << block;
    }
}

TEST_F(SynthLfo, RandomModeDrawsOneValuePerCycle) {
    lfo.SetWaveform(10);
    lfo.SetRateA(1.0f); // 20 Hz: 20 wraps in a second
    int changes = 0;
    float previous = lfo.NextValue(16);
    for (int i = 0; i < 44100 / 16; ++i) {
        const float v = lfo.NextValue(16);
        ASSERT_GE(v, -1.0f);
        ASSERT_LT(v, 1.0f);
        changes += v != previous ? 1 : 0;
        previous = v;
    }
    EXPECT_GE(changes, 19);
    EXPECT_LE(changes, 20);
}

TEST_F(SynthLfo, SampleAndHoldChangesOncePerCycleOfItsClock) {
    lfo.SetWaveform(1);
    lfo.SetRateA(0.9f);
    lfo.SetRateB(0.9f);
    lfo.SetSampleAndHold(true);
    const double cycles = lfo.RateB(); // per second
    int changes = 0;
    float previous = lfo.NextValue(1);
    for (int i = 0; i < 44100; ++i) {
        const float v = lfo.NextValue(1);
        changes += v != previous ? 1 : 0;
        previous = v;
    }
    EXPECT_NEAR(changes, cycles, 1.0);
    EXPECT_GT(changes, 5);
}

TEST_F(SynthLfo, SyncToHostRephasesOnlyWhenThePositionMoves) {
    lfo.SetWaveform(2);
    lfo.SetTempoSync(true);
    lfo.SetRateA(1.0f); // 16 Hz at 120 bpm

    TLowFrequencyOscillator reference(20.0f, 0.02f, kRate);
    reference.BuildTempoRatios(4, 1, 32, 1);
    reference.SetWaveform(2);
    reference.SetTempoSync(true);
    reference.SetRateA(1.0f);
    reference.Advance(12345);

    lfo.SyncToHost(12345.0);
    EXPECT_NEAR(lfo.Advance(0), reference.Advance(0), 1e-5);

    // A host that stands still must not pull the running phase back.
    lfo.Advance(100);
    reference.Advance(100);
    lfo.SyncToHost(12345.0);
    EXPECT_NEAR(lfo.Advance(0), reference.Advance(0), 1e-5);

    // Without sync the host position is ignored.
    lfo.SetTempoSync(false);
    const float before = lfo.Advance(0);
    lfo.SyncToHost(999999.0);
    EXPECT_EQ(lfo.Advance(0), before);
}

} // namespace
} // namespace quillon
