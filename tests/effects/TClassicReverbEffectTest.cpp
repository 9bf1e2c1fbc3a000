#include "effects/TClassicReverbEffect.h"
#include "support/SoundMeasures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(std::size_t n, float noiseAmplitude = 0.0f, unsigned seed = 1) : left(n), right(n) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> noise(-noiseAmplitude, noiseAmplitude);
        for (std::size_t i = 0; i < n; ++i) {
            left[i] = noise(random);
            right[i] = noise(random);
        }
    }
};

void ProcessAll(TClassicReverbEffect& reverb, Stereo& s) {
    const int n = static_cast<int>(s.left.size());
    for (int i = 0; i < n; i += 256)
        reverb.Process(s.left.data() + i, s.right.data() + i, std::min(256, n - i));
}

using test::Rms;

// Wet output of a 0.1 s Hann-shaped sine burst at hz: the tail level 0.6 … 0.7 s after the burst relative to
// the level 0.1 … 0.2 s after it, in dB.
double TailDecayDb(float highDamping, double hz) {
    TClassicReverbEffect reverb(kRate);
    reverb.SetDamping(0.0f);
    reverb.SetHighDamping(highDamping);
    reverb.SetMix(1.0f);
    Stereo s(static_cast<std::size_t>(kRate));
    for (std::size_t i = 0; i < 4410; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / 4410.0);
        s.left[i] = s.right[i] = static_cast<float>(hann * std::sin(2.0 * std::numbers::pi * hz * i / kRate));
    }
    ProcessAll(reverb, s);
    const double early = Rms(s.left, 8820, 4410) + Rms(s.right, 8820, 4410);
    const double late = Rms(s.left, 30870, 4410) + Rms(s.right, 30870, 4410);
    return 20.0 * std::log10(late / early);
}

TEST(TClassicReverbEffectTest, LineLengthsFollowTheRoomSize) {
    TClassicReverbEffect reverb(kRate); // 200 m² at creation
    EXPECT_EQ(reverb.LineLength(0), 1598);
    EXPECT_EQ(reverb.LineLength(15), 3060);
    EXPECT_EQ(reverb.LineLength(16), 153);
    EXPECT_EQ(reverb.LineLength(17), 192);
    EXPECT_EQ(reverb.LineLength(18), 243);

    // The buffers are allocated for 640 m², which uses one element less than allocated in every line.
    reverb.SetSize(640.0f);
    EXPECT_EQ(reverb.LineLength(0), 2859);
    for (int k = 0; k < TClassicReverbEffect::kLineCount; ++k)
        EXPECT_EQ(reverb.LineLength(k), reverb.AllocatedLength(k) - 1) << k;

    reverb.SetSize(5000.0f);
    EXPECT_EQ(reverb.Size(), 640.0f);
    for (float tiny : {0.01f, kNaN}) {
        reverb.SetSize(tiny);
        EXPECT_EQ(reverb.Size(), 0.625f);
    }

    reverb.SetSampleRate(88200.0f);
    EXPECT_NEAR(reverb.AllocatedLength(0), 2 * 2860, 2);
    for (float bad : {0.0f, -1.0f, kNaN, 1e9f}) {
        reverb.SetSampleRate(bad);
        EXPECT_EQ(reverb.SampleRate(), 88200.0f);
    }
    EXPECT_EQ(TClassicReverbEffect(kNaN).LineLength(0), 1598); // falls back to 44100 Hz
}

// Wet output after a 0.2 s noise burst: how fast the tail falls, in dB a second, between the windows
// 0.05 … 0.15 s and 0.35 … 0.45 s after the burst.
double TailFallDbPerSecond(float area, float damping) {
    TClassicReverbEffect reverb(kRate);
    reverb.SetSize(area);
    reverb.SetDamping(damping);
    reverb.SetMix(1.0f);
    Stereo s(static_cast<std::size_t>(0.7 * kRate));
    const Stereo burst(8820, 1.0f, 11);
    std::copy(burst.left.begin(), burst.left.end(), s.left.begin());
    std::copy(burst.right.begin(), burst.right.end(), s.right.begin());
    ProcessAll(reverb, s);
    const double early = Rms(s.left, 11025, 4410) + Rms(s.right, 11025, 4410);
    const double late = Rms(s.left, 24255, 4410) + Rms(s.right, 24255, 4410);
    return 20.0 * std::log10(early / late) / 0.3;
}

// Steady wet level of a sine at `hz` through a reverb with the low cut at `lowCut` Hz (fast-decaying room, so
// that 0.5 s reaches the steady state).
double SteadyWetLevel(double hz, float lowCut) {
    TClassicReverbEffect reverb(kRate);
    reverb.SetDamping(1.0f);
    reverb.SetLowCut(lowCut);
    reverb.SetMix(1.0f);
    Stereo s(static_cast<std::size_t>(kRate));
    for (std::size_t i = 0; i < s.left.size(); ++i)
        s.left[i] = s.right[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * i / kRate));
    ProcessAll(reverb, s);
    return Rms(s.left, 22050) + Rms(s.right, 22050);
}

TEST(TClassicReverbEffectTest, SizeAndDampingSetHowLongTheTailLasts) {
    // The lines grow with the square root of the area: a 640 m² room loses the same share per pass as a
    // 50 m² room, but passes less often.
    const double small = TailFallDbPerSecond(50.0f, 0.5f), large = TailFallDbPerSecond(640.0f, 0.5f);
    EXPECT_GT(large, 5.0);
    EXPECT_GT(small, 2.5 * large);
    // Damping lowers the feedback: the tail falls faster with every step.
    const double none = TailFallDbPerSecond(200.0f, 0.0f), half = TailFallDbPerSecond(200.0f, 0.5f),
                 full = TailFallDbPerSecond(200.0f, 1.0f);
    EXPECT_LT(none, 30.0);
    EXPECT_GT(half, 3.0 * none);
    EXPECT_GT(full, 1.5 * half);
}

TEST(TClassicReverbEffectTest, LowCutRemovesOnlyTheLowsAndLevelScalesTheOutput) {
    // A one-pole high-pass at 500 Hz: 60 Hz falls to about 0.12 of its level, 5 kHz keeps 0.995.
    EXPECT_LT(SteadyWetLevel(60.0, 500.0f) / SteadyWetLevel(60.0, 20.0f), 0.15);
    EXPECT_NEAR(SteadyWetLevel(5000.0, 500.0f) / SteadyWetLevel(5000.0, 20.0f), 1.0, 0.02);

    // The level scales dry and wet parts alike, so the whole output follows it.
    Stereo out[2] = {Stereo(30000, 0.5f, 12), Stereo(30000, 0.5f, 12)};
    for (int way = 0; way < 2; ++way) {
        TClassicReverbEffect reverb(kRate);
        reverb.SetMix(0.4f);
        reverb.SetLevel(way == 0 ? 1.0f : 0.25f);
        ProcessAll(reverb, out[way]);
    }
    for (std::size_t i = 0; i < out[0].left.size(); i += 97) {
        ASSERT_NEAR(out[1].left[i], 0.25f * out[0].left[i], 1e-5f) << i;
        ASSERT_NEAR(out[1].right[i], 0.25f * out[0].right[i], 1e-5f) << i;
    }
    EXPECT_GT(Rms(out[0].left), 0.05);
}

TEST(TClassicReverbEffectTest, MixZeroPassesInputAndSilenceAfterResetIsExact) {
    TClassicReverbEffect reverb(kRate);
    Stereo warmUp(20000, 1.0f, 3);
    ProcessAll(reverb, warmUp);
    reverb.SetMix(0.0f);
    const Stereo in(20000, 1.0f, 4);
    Stereo out = in;
    ProcessAll(reverb, out);
    EXPECT_EQ(out.left, in.left);
    EXPECT_EQ(out.right, in.right);

    reverb.SetMix(0.5f);
    reverb.Reset();
    Stereo silence(44100);
    ProcessAll(reverb, silence);
    EXPECT_EQ(silence.left, std::vector<float>(44100, 0.0f));
    EXPECT_EQ(silence.right, std::vector<float>(44100, 0.0f));
}

TEST(TClassicReverbEffectTest, FirstReflectionIsAClickAfterTheShortestLine) {
    TClassicReverbEffect reverb(kRate);
    reverb.SetHighDamping(0.0f);
    reverb.SetLowCut(20.0f);
    reverb.SetMix(1.0f);
    Stereo s(2000);
    s.left[0] = 1.0f;
    ProcessAll(reverb, s);
    const auto first = static_cast<std::size_t>(reverb.LineLength(0)); // 1598 samples
    EXPECT_EQ(Rms(s.left, 0, first) + Rms(s.right, 0, first), 0.0);
    // The impulse leaves the three diffusers inverted at 0.6³, enters every line at once and returns first
    // from line 0, weighted by its taps (0.1985 left, 0.1792 right), the output gain and the 20 Hz low cut.
    const double lowCutGain = 1.0 / (1.0 + std::tan(std::numbers::pi * 20.0 / kRate));
    const double expected = -0.216 * reverb.OutputGain() * lowCutGain;
    EXPECT_NEAR(s.left[first], expected * 0.1985, 1e-6);
    EXPECT_NEAR(s.right[first], expected * 0.1792, 1e-6);
    // Nearly nothing follows until line 1 returns.
    const auto second = static_cast<std::size_t>(reverb.LineLength(1));
    EXPECT_LT(Rms(s.left, first + 1, second - first - 1), 0.01 * std::fabs(s.left[first]));
    EXPECT_LT(Rms(s.right, first + 1, second - first - 1), 0.01 * std::fabs(s.right[first]));
    EXPECT_GT(std::fabs(s.left[second]), 0.1f * std::fabs(s.left[first]));
}

TEST(TClassicReverbEffectTest, TailIsStereoAndDiesAway) {
    TClassicReverbEffect reverb(kRate);
    reverb.SetDamping(1.0f); // feedback gain 0.4
    reverb.SetMix(1.0f);
    Stereo s(3 * 44100);
    s.left[0] = 1.0f; // a source on one side still gives two different outputs
    ProcessAll(reverb, s);
    const double early = Rms(s.left, 0, 8820);
    EXPECT_GT(early, 1e-4);
    EXPECT_GT(Rms(s.right, 0, 8820), 1e-4);
    double difference = 0.0;
    for (std::size_t i = 0; i < 8820; ++i)
        difference += std::fabs(s.left[i] - s.right[i]);
    EXPECT_GT(difference, 0.1);
    EXPECT_LT(Rms(s.left, 2 * 44100, 44100), 1e-6 * early);
}

TEST(TClassicReverbEffectTest, HighDampingShortensOnlyTheHighTail) {
    // Without high damping the network loses the same share at every frequency: at feedback 0.98 a 9 kHz and
    // a 700 Hz tail both fall by only a few dB in 0.5 s (give or take the beating of the modes).
    const double lowUndamped = TailDecayDb(0.0f, 700.0);
    const double highUndamped = TailDecayDb(0.0f, 9000.0);
    EXPECT_NEAR(highUndamped, lowUndamped, 3.0);
    EXPECT_GT(lowUndamped, -5.0);
    EXPECT_GT(highUndamped, -5.0);
    // Full high damping removes 0.6 of the part above 2 kHz on every pass: the 9 kHz tail is gone, the
    // 700 Hz tail survives.
    const double highDamped = TailDecayDb(1.0f, 9000.0);
    EXPECT_LT(highDamped, highUndamped - 40.0);
    EXPECT_GT(TailDecayDb(1.0f, 700.0), highDamped + 40.0);
}

// After a noise burst stops, the energy in successive windows (0.1 s, at least twice the longest network line,
// so that every line has been read at least once per window) falls strictly from one window to the next, down
// to 100 dB below the first, for every damping above 0 and at the smallest, the middle and the largest room.
TEST(TClassicReverbEffectTest, TailEnergyFallsInEveryWindowWhileDampingIsAboveZero) {
    for (const float area : {10.0f, 200.0f, 640.0f}) {
        for (const float damping : {0.1f, 0.5f, 1.0f}) {
            SCOPED_TRACE(testing::Message() << area << " m², damping " << damping);
            TClassicReverbEffect reverb(kRate);
            reverb.SetSize(area);
            reverb.SetDamping(damping);
            reverb.SetMix(1.0f);
            const auto window = static_cast<std::size_t>(std::max(4410, 2 * reverb.LineLength(15)));
            Stereo burst(static_cast<std::size_t>(kRate / 2), 1.0f, 9);
            ProcessAll(reverb, burst);

            Stereo tail(window);
            ProcessAll(reverb, tail);
            const auto energy = [&] {
                const double l = Rms(tail.left, 0, window), r = Rms(tail.right, 0, window);
                return l * l + r * r;
            };
            const double first = energy();
            ASSERT_GT(first, 1e-6);
            double previous = first;
            int windows = 1;
            while (previous > 1e-10 * first) { // 100 dB
                tail = Stereo(window);
                ProcessAll(reverb, tail);
                const double level = energy();
                ASSERT_LT(level, previous) << "window " << windows;
                previous = level;
                ++windows;
            }
        }
    }
}

TEST(TClassicReverbEffectTest, LoudInputAndSizeChangesDuringPlaybackStayFinite) {
    TClassicReverbEffect reverb(kRate);
    reverb.SetDamping(0.0f);
    reverb.SetHighDamping(0.0f);
    reverb.SetMix(0.5f);
    unsigned seed = 5;
    for (float size : {640.0f, 10.0f, 0.625f, 300.0f, 640.0f, 1.0f}) {
        reverb.SetSize(size); // shrinking leaves positions beyond the new lengths: they must wrap
        Stereo s(22050, 1e6f, seed++);
        ProcessAll(reverb, s);
        for (std::size_t i = 0; i < s.left.size(); ++i)
            ASSERT_TRUE(std::isfinite(s.left[i]) && std::isfinite(s.right[i])) << size << " m², sample " << i;
    }
}

// Samples go through the network four at a time where a block allows it and one at a time otherwise: any
// block lengths, including one sample per call, give the same output bit for bit, also across size changes.
TEST(TClassicReverbEffectTest, BlockLengthsDoNotChangeTheOutput) {
    Stereo out[2] = {Stereo(30000, 0.5f, 9), Stereo(30000, 0.5f, 9)};
    for (int way = 0; way < 2; ++way) {
        TClassicReverbEffect reverb(kRate);
        reverb.SetHighDamping(0.5f);
        reverb.SetMix(0.7f);
        for (int i = 0, call = 0; i < 30000; ++call) {
            if (i == 10000) reverb.SetSize(10.0f); // shrinks
            if (i == 20000) reverb.SetSize(300.0f);
            const int next = i < 10000 ? 10000 : i < 20000 ? 20000 : 30000;
            const int n = way == 0 ? 1 : std::min(call % 3 == 0 ? 256 : 1 + (call * 7) % 37, next - i);
            reverb.Process(out[way].left.data() + i, out[way].right.data() + i, n);
            i += n;
        }
    }
    ASSERT_EQ(out[1].left, out[0].left);
    ASSERT_EQ(out[1].right, out[0].right);
}

} // namespace
} // namespace quillon
