// The harmonic analyser on synthetic recordings: what it keeps of steady, changing, long and short sounds,
// and the harmonic amplitudes it measures.
#include "analysis/THarmonicAudioAnalyzer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;
constexpr double kTwoPi = 6.283185307179586;

std::vector<float> Sine(double frequency, double seconds, double amplitude = 0.5, double rate = kRate) {
    std::vector<float> x(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(amplitude * std::sin(kTwoPi * frequency * static_cast<double>(i) / rate));
    return x;
}

// A tone of `frequency` whose harmonics 2 … 8 get new random amplitudes every `segment` seconds (harmonic
// 1 stays the strongest, so that the pitch is never mistaken for an octave).
std::vector<float> ChangingTone(double frequency, double seconds, double segment, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> amplitude(0.05, 0.7);
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    std::vector<double> harmonics(8);
    double phase = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (i % static_cast<std::size_t>(segment * kRate) == 0)
            for (double& h : harmonics)
                h = amplitude(random);
        harmonics[0] = 1.0;
        phase += kTwoPi * frequency / kRate;
        double v = 0.0;
        for (std::size_t k = 0; k < harmonics.size(); ++k)
            v += harmonics[k] / static_cast<double>(k + 1) * std::sin(static_cast<double>(k + 1) * phase);
        x[i] = static_cast<float>(0.3 * v);
    }
    return x;
}

TEST(HarmonicAudioAnalyzer, LevelBytesAreHalfDecibelSteps) {
    EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(1.0f), 0);
    EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(0.5f), 12); // −6.02 dB
    EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(0.1f), 40); // −20 dB
    EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(2.0f), 0);  // limited
    EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(1e-6f), 240);
    EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(4e-7f), 255); // 255.9 limited
    EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(3.9e-7f), 255);
    EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(0.0f), 255);
}

TEST(HarmonicAudioAnalyzer, SteadySineGivesTwoPointsAtItsFrequencyWithHarmonicOneAtLevelTwelve) {
    for (const double frequency : {110.0, 440.0, 1234.5}) {
        std::vector<float> x = Sine(frequency, 2.0, 0.3);
        const std::vector<TAnalysisPoint> points = THarmonicAudioAnalyzer().Analyze(x, kRate);
        ASSERT_EQ(points.size(), 2u) << frequency << " Hz";
        EXPECT_EQ(points[0].time, 0.0);
        EXPECT_GT(points[1].time, 1.0);
        for (const TAnalysisPoint& point : points) {
            EXPECT_NEAR(point.fundamental, frequency, frequency * 1e-4) << frequency << " Hz";
            // Normalised to a peak of 1, the sine has harmonic 1 at amplitude 1/2.
            EXPECT_EQ(THarmonicAudioAnalyzer::LevelByte(point.amplitudes[1]), 12) << frequency << " Hz";
            for (int k = 2; k < 251; ++k)
                EXPECT_GE(THarmonicAudioAnalyzer::LevelByte(point.amplitudes[static_cast<std::size_t>(k)]), 150)
                    << "harmonic " << k << " of " << frequency << " Hz";
        }
    }
}

TEST(HarmonicAudioAnalyzer, TimesCountFromTheFirstPeriodAfterTheOnset) {
    std::vector<float> x(static_cast<std::size_t>(0.7 * kRate), 0.0f);
    const std::vector<float> tone = Sine(220.0, 1.5);
    x.insert(x.end(), tone.begin(), tone.end());
    const std::vector<TAnalysisPoint> points = THarmonicAudioAnalyzer().Analyze(x, kRate);
    ASSERT_GE(points.size(), 2u);
    EXPECT_EQ(points[0].time, 0.0);
    EXPECT_LT(points.back().time, 1.5);
    EXPECT_NEAR(points[0].fundamental, 220.0, 0.05);
}

TEST(HarmonicAudioAnalyzer, HarmonicsAboveHalfThePeriodAreSilent) {
    // A saw-like wave of period 20 samples (2205 Hz, harmonics 1 … 9): only harmonics up to round(20 / 2)
    // = 10 can be measured, every one above that is exactly 0.
    std::vector<float> x(static_cast<std::size_t>(kRate));
    for (std::size_t i = 0; i < x.size(); ++i)
        for (int k = 1; k <= 9; ++k)
            x[i] += static_cast<float>(std::sin(kTwoPi * k * static_cast<double>(i % 20) / 20.0) / k);
    const std::vector<TAnalysisPoint> points = THarmonicAudioAnalyzer().Analyze(x, kRate);
    ASSERT_FALSE(points.empty());
    for (const TAnalysisPoint& point : points) {
        EXPECT_NEAR(point.fundamental, 2205.0, 1.0);
        for (int k = 1; k <= 8; ++k)
            EXPECT_LT(THarmonicAudioAnalyzer::LevelByte(point.amplitudes[static_cast<std::size_t>(k)]), 80) << k;
        for (int k = 11; k < TAnalysisPoint::kHarmonics; ++k)
            ASSERT_EQ(point.amplitudes[static_cast<std::size_t>(k)], 0.0f) << "harmonic " << k;
    }
}

TEST(HarmonicAudioAnalyzer, KeepsAtMostOneHundredPoints) {
    std::vector<float> x = ChangingTone(196.0, 20.0, 0.05, 7);
    THarmonicAudioAnalyzer analyzer;
    analyzer.SetMode(1);
    const std::vector<TAnalysisPoint> points = analyzer.Analyze(x, kRate);
    EXPECT_EQ(points.size(), 100u); // the sound changes far more often than that
    for (std::size_t i = 1; i < points.size(); ++i)
        EXPECT_GT(points[i].time, points[i - 1].time);
}

TEST(HarmonicAudioAnalyzer, KeepsNothingLaterThanTwentySecondsAfterTheFirstPoint) {
    std::vector<float> x = ChangingTone(330.0, 32.0, 0.3, 11);
    THarmonicAudioAnalyzer analyzer;
    double reported = 0.0;
    analyzer.SetProgressHandler([&reported](double done) { reported = done; });
    const std::vector<TAnalysisPoint> points = analyzer.Analyze(x, kRate);
    ASSERT_GE(points.size(), 3u);
    ASSERT_LT(points.size(), 100u);
    EXPECT_LE(points.back().time, 20.0);
    EXPECT_GT(points.back().time, 17.0); // the sound changes up to the end: points reach the limit
    EXPECT_EQ(reported, 1.0);
}

TEST(HarmonicAudioAnalyzer, RecordingsThatEndTooSoonOrNeverSoundGiveNothing) {
    THarmonicAudioAnalyzer analyzer;
    std::vector<float> silence(44100, 0.0f);
    EXPECT_TRUE(analyzer.Analyze(silence, kRate).empty());
    std::vector<float> empty;
    EXPECT_TRUE(analyzer.Analyze(empty, kRate).empty());
    // The first period needs two 50 ms windows after the onset.
    std::vector<float> blip = Sine(440.0, 0.095);
    EXPECT_TRUE(analyzer.Analyze(blip, kRate).empty());
    std::vector<float> enough = Sine(440.0, 0.13);
    EXPECT_FALSE(analyzer.Analyze(enough, kRate).empty());
    std::vector<float> broken(1000, std::nanf(""));
    EXPECT_TRUE(analyzer.Analyze(broken, kRate).empty());
    std::vector<float> tone = Sine(440.0, 1.0);
    EXPECT_TRUE(analyzer.Analyze(tone, 0.0f).empty());
}

} // namespace
} // namespace quillon
