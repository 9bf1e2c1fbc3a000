#include "effects/TClassicDelayEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
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

// In blocks of the render loop's size.
void ProcessAll(TClassicDelayEffect& delay, Stereo& s) {
    const int n = static_cast<int>(s.left.size());
    for (int i = 0; i < n; i += 256)
        delay.Process(s.left.data() + i, s.right.data() + i, std::min(256, n - i));
}

// |Σ x[k]·e^(−jωk)| over one window: the transfer magnitude at hz of a response that dies out within it.
double Magnitude(const std::vector<float>& x, int begin, int count, double hz) {
    std::complex<double> sum = 0.0;
    for (int k = 0; k < count; ++k)
        sum += static_cast<double>(x[static_cast<std::size_t>(begin + k)]) *
               std::polar(1.0, -2.0 * std::numbers::pi * hz * k / kRate);
    return std::abs(sum);
}

double Energy(const std::vector<float>& x, int begin, int count) {
    double e = 0.0;
    for (int k = begin; k < begin + count; ++k)
        e += static_cast<double>(x[static_cast<std::size_t>(k)]) * x[static_cast<std::size_t>(k)];
    return e;
}

// Wet only, free time.
void MakeWet(TClassicDelayEffect& delay, bool pingPong, float feedback, float knob) {
    delay.SetSync(false);
    delay.SetTime(knob);
    delay.SetPingPong(pingPong);
    delay.SetFeedback(feedback);
    delay.SetMix(1.0f);
}

TEST(TClassicDelayEffectTest, TimeTableHoldsNineteenNoteLengthsWithTheirLabels) {
    const TClassicDelayEffect delay(kRate);
    const char* const labels[] = {"1 / 32",  "1 / 16 T", "1 / 32 D", "1 / 16",  "1 / 8 T", "1 / 16 D", "1 / 8",
                                  "1 / 4 T", "1 / 8 D",  "1 / 4",    "1 / 2 T", "1 / 4 D", "1 / 2",    "1 / 1 T",
                                  "1 / 2 D", "1 / 1",    "2 / 1 T",  "1 / 1 D", "2 / 1"};
    ASSERT_EQ(delay.RatioCount(), 19);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(delay.TimeLabel(static_cast<float>(i) / 18.0f), labels[i]) << i;
    EXPECT_DOUBLE_EQ(delay.Ratio(1), 1.0 / 24);
    EXPECT_DOUBLE_EQ(delay.Ratio(2), 3.0 / 64);
    EXPECT_DOUBLE_EQ(delay.Ratio(16), 4.0 / 3);
    for (int i = 1; i < 19; ++i)
        EXPECT_LT(delay.Ratio(i - 1), delay.Ratio(i));
    // Out-of-range and NaN knobs select the ends of the table instead of reading past it.
    EXPECT_EQ(delay.TimeLabel(-3.0f), "1 / 32");
    EXPECT_EQ(delay.TimeLabel(7.0f), "2 / 1");
    EXPECT_EQ(delay.TimeLabel(kNaN), "1 / 32");
}

TEST(TClassicDelayEffectTest, TimeKnobGivesFreeOrTempoLockedLengths) {
    TClassicDelayEffect delay(kRate); // sync on, 120 bpm, knob 0.5 at creation
    EXPECT_EQ(delay.LineLength(), 220500);
    EXPECT_EQ(delay.DelayLength(), 22050); // 1/4 bar
    delay.SetTime(1.0f);
    EXPECT_EQ(delay.DelayLength(), 176400); // 2 bars = 4 s
    delay.SetTime(0.0f);
    EXPECT_EQ(delay.DelayLength(), 2756); // 1/32 bar = 0.0625 s = 2756.25 samples
    delay.SetTime(1.0f);
    delay.SetTempo(40.0f); // 2 bars would be 12 s
    EXPECT_EQ(delay.DelayLength(), 220500);
    for (float tempo : {0.0f, kNaN}) {
        delay.SetTempo(tempo);
        EXPECT_GE(delay.DelayLength(), 1);
        EXPECT_LE(delay.DelayLength(), delay.LineLength());
    }

    delay.SetTempo(120.0f);
    delay.SetSync(false);
    delay.SetTime(0.5f);
    EXPECT_EQ(delay.DelayLength(), 22050); // 0.05·100^0.5 s
    delay.SetTime(0.0f);
    EXPECT_EQ(delay.DelayLength(), 2205);
    delay.SetTime(1.0f);
    EXPECT_EQ(delay.DelayLength(), 220500);
    // A tempo change without sync changes nothing now and is remembered for when sync comes on.
    delay.SetTime(0.5f);
    delay.SetTempo(60.0f);
    EXPECT_EQ(delay.DelayLength(), 22050);
    delay.SetSync(true);
    EXPECT_EQ(delay.DelayLength(), 44100); // 1/4 bar at 60 bpm = 1 s
}

TEST(TClassicDelayEffectTest, SampleRateResizesLinesAndIgnoresUnusableRates) {
    TClassicDelayEffect delay(kRate);
    delay.SetSampleRate(48000.0f);
    EXPECT_EQ(delay.LineLength(), 240000);
    EXPECT_EQ(delay.DelayLength(), 24000);
    for (float bad : {0.0f, -44100.0f, kNaN, 1e9f}) {
        delay.SetSampleRate(bad);
        EXPECT_EQ(delay.SampleRate(), 48000.0f);
        EXPECT_EQ(delay.LineLength(), 240000);
    }
    const TClassicDelayEffect fromZero(0.0f);
    EXPECT_EQ(fromZero.SampleRate(), 44100.0f);
    EXPECT_EQ(fromZero.LineLength(), 220500);
}

TEST(TClassicDelayEffectTest, PingPongImpulseAlternatesChannelsScaledByFeedbackAndFilters) {
    const float feedback = 0.6f;
    TClassicDelayEffect delay(kRate);
    MakeWet(delay, true, feedback, 0.5f); // 0.5 s: long enough for the 20 Hz section to ring out
    delay.SetHighCut(2000.0f);
    delay.SetLowCut(20.0f);
    const int length = delay.DelayLength();
    ASSERT_EQ(length, 22050);
    Stereo s(static_cast<std::size_t>(6 * length));
    s.left[0] = 1.0f;
    ProcessAll(delay, s);

    EXPECT_LT(Energy(s.left, 0, length) + Energy(s.right, 0, length), 1e-30);
    // Echo k sounds on the left for odd k, on the right for even k, starting exactly k delay lengths after
    // the impulse; it has passed the feedback k − 1 times and both sections k times (0.707 at each corner).
    double expected = 1.0;
    for (int k = 1; k <= 5; ++k) {
        const std::vector<float>& on = k % 2 == 1 ? s.left : s.right;
        const std::vector<float>& off = k % 2 == 1 ? s.right : s.left;
        const auto start = static_cast<std::size_t>(k * length);
        expected *= (k == 1 ? 1.0 : feedback) * 0.707;
        EXPECT_NEAR(Magnitude(on, k * length, length, 2000.0), expected, expected * 0.005) << "echo " << k;
        EXPECT_NEAR(Magnitude(on, k * length, length, 20.0), expected, expected * 0.005) << "echo " << k;
        EXPECT_GT(std::fabs(on[start]), 1e4f * std::fabs(on[start - 1])) << "echo " << k;
        EXPECT_LT(Energy(off, k * length, length), 1e-12 * expected * expected) << "echo " << k;
    }
}

TEST(TClassicDelayEffectTest, NormalModeKeepsEachChannelOnItsOwnSide) {
    TClassicDelayEffect delay(kRate);
    MakeWet(delay, false, 0.5f, 0.0f); // echoes every 2205 samples
    Stereo s(4 * 2205);
    s.right[0] = 1.0f;
    ProcessAll(delay, s);
    EXPECT_LT(Energy(s.left, 0, 4 * 2205), 1e-30);
    const double first = Magnitude(s.right, 2205, 2205, 1000.0);
    EXPECT_NEAR(first, 1.0, 0.01); // 1 kHz lies well inside 100 Hz … 5 kHz
    EXPECT_NEAR(Magnitude(s.right, 2 * 2205, 2205, 1000.0) / first, 0.5, 0.01);
}

TEST(TClassicDelayEffectTest, ShorterTimeWrapsARunningPositionAtOnce) {
    TClassicDelayEffect delay(kRate);
    MakeWet(delay, false, 0.0f, 1.0f);
    Stereo warmUp(100000);
    ProcessAll(delay, warmUp); // the position is now far beyond 2205
    delay.SetTime(0.0f);
    Stereo s(3000);
    s.left[0] = 1.0f;
    ProcessAll(delay, s);
    EXPECT_LT(Energy(s.left, 0, 2205), 1e-30);
    EXPECT_GT(std::fabs(s.left[2205]), 0.01f);
}

TEST(TClassicDelayEffectTest, MixZeroPassesInputAndSilenceStaysSilent) {
    TClassicDelayEffect delay(kRate);
    delay.SetFeedback(0.9f);
    Stereo warmUp(44100, 1.0f, 7);
    ProcessAll(delay, warmUp); // fills the lines with echoes
    delay.SetMix(0.0f);
    const Stereo in(44100, 1.0f, 8);
    Stereo out = in;
    ProcessAll(delay, out);
    EXPECT_EQ(out.left, in.left);
    EXPECT_EQ(out.right, in.right);

    delay.SetMix(0.5f);
    delay.Reset();
    Stereo silence(2 * 44100);
    ProcessAll(delay, silence);
    EXPECT_LT(Energy(silence.left, 0, 2 * 44100) + Energy(silence.right, 0, 2 * 44100), 1e-30);
}

TEST(TClassicDelayEffectTest, LoudInputAtFullFeedbackStaysFinite) {
    // 32 kHz puts the 20 kHz high cut above half the rate, where an unguarded section diverges.
    for (float rate : {44100.0f, 32000.0f}) {
        for (bool pingPong : {false, true}) {
            TClassicDelayEffect delay(rate);
            MakeWet(delay, pingPong, 1.0f, 0.0f);
            delay.SetHighCut(20000.0f);
            delay.SetLowCut(20.0f);
            Stereo s(static_cast<std::size_t>(3 * rate), 1e6f);
            ProcessAll(delay, s);
            for (std::size_t i = 0; i < s.left.size(); ++i) {
                ASSERT_TRUE(std::isfinite(s.left[i]) && std::isfinite(s.right[i]))
                    << rate << " Hz, ping-pong " << pingPong << ", sample " << i;
            }
        }
    }
}

} // namespace
} // namespace quillon
