// The harmonic analyser on recordings that trip a naive period follower: an onset that is not yet the
// note (a noisy or clicking attack, a bow that takes a while to catch the string), a single period out of
// line with the ones around it, harmonics far weaker than the strongest one, also while the note swells, and
// partials that make a period an octave away repeat the waveform nearly as well.
#include "analysis/THarmonicAudioAnalyzer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 6.283185307179586;

// Amplitudes of harmonics 1 … n (index 0 unused) of a bright tone: 1/k, harmonic 1 the strongest.
std::vector<double> BrightHarmonics(int count) {
    std::vector<double> a(static_cast<std::size_t>(count) + 1, 0.0);
    for (int k = 1; k <= count; ++k)
        a[static_cast<std::size_t>(k)] = 1.0 / k;
    return a;
}

// A steady tone of `frequency` with the given harmonic amplitudes (phases spread so that the peaks do not
// pile up), `envelope(t)` its gain at t seconds.
template <typename Envelope>
std::vector<float> Tone(double frequency, const std::vector<double>& harmonics, double seconds, Envelope envelope) {
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double v = 0.0;
        for (std::size_t k = 1; k < harmonics.size(); ++k)
            v += harmonics[k] *
                 std::sin(kTwoPi * frequency * static_cast<double>(k) * t + 0.7 * static_cast<double>(k * k));
        x[i] = static_cast<float>(0.1 * envelope(t) * v);
    }
    return x;
}

double Cents(double frequency, double reference) {
    return 1200.0 * std::log2(frequency / reference);
}

// Every point within a quarter tone of `frequency`, at least two of them, the last well into the note.
void ExpectFollowsPitch(const std::vector<TAnalysisPoint>& points, double frequency, double seconds) {
    ASSERT_GE(points.size(), 2u);
    for (const TAnalysisPoint& point : points)
        EXPECT_LT(std::fabs(Cents(point.fundamental, frequency)), 50.0)
            << point.fundamental << " Hz at " << point.time << " s";
    EXPECT_GT(points.back().time, seconds / 2.0);
}

TEST(HarmonicAnalysisOnsets, AnAttackThatIsNotYetTheNoteDoesNotSetThePitch) {
    const std::vector<double> harmonics = BrightHarmonics(30);
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 1.0);
    // Breathy starts (noise) and clicks (a 9 kHz ring decaying in 10 ms, as a valve or a key makes it).
    struct Case {
        std::string name;
        double frequency, seconds, noiseLevel, clickLevel;
    };
    const std::vector<Case> cases = {{"noise before 65.4 Hz", 65.41, 0.06, 0.05, 0.0},
                                     {"click before 65.4 Hz", 65.41, 0.04, 0.0, 0.3},
                                     {"click before 261.6 Hz", 261.63, 0.04, 0.0, 0.3},
                                     {"noise and click before 523.3 Hz", 523.25, 0.05, 0.08, 0.2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> x(static_cast<std::size_t>(c.seconds * kRate));
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            x[i] = static_cast<float>(c.noiseLevel * noise(random) +
                                      c.clickLevel * std::exp(-t / 0.01) * std::sin(kTwoPi * 9000.0 * t));
        }
        const std::vector<float> note = Tone(c.frequency, harmonics, 2.0, [](double) { return 1.0; });
        x.insert(x.end(), note.begin(), note.end());
        for (const int mode : {1, 2, 3}) {
            THarmonicAudioAnalyzer analyzer;
            analyzer.SetMode(mode);
            ExpectFollowsPitch(analyzer.Analyze(x, static_cast<float>(kRate)), c.frequency, 2.0);
        }
    }
}

TEST(HarmonicAnalysisOnsets, ABowedNoteWhosePeriodicityBuildsUpSlowlyIsAnalysed) {
    // Bow noise that fades as the string's 130.8 Hz and 261.6 Hz tones swell in over 0.3 s.
    for (const double frequency : {130.81, 261.63}) {
        SCOPED_TRACE(frequency);
        std::mt19937 random(9);
        std::normal_distribution<double> noise(0.0, 1.0);
        std::vector<float> x = Tone(frequency, BrightHarmonics(20), 2.0,
                                    [](double t) { return std::min(1.0, t / 0.3) * std::min(1.0, t / 0.3); });
        double lowpassed = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            lowpassed += 0.3 * (noise(random) - lowpassed);
            x[i] += static_cast<float>(0.04 * std::max(0.0, 1.0 - t / 0.35) * lowpassed);
        }
        THarmonicAudioAnalyzer analyzer;
        ExpectFollowsPitch(analyzer.Analyze(x, static_cast<float>(kRate)), frequency, 2.0);
    }
}

TEST(HarmonicAnalysisStrays, ALoneOddPeriodInASteadyNoteIsNotKept) {
    // A steady 262.8 Hz note with, every 0.25 s, one louder period played at 296.2 Hz: the loudest period
    // of its search window, out of tune with the periods on both sides of it.
    const double frequency = 262.8, odd = 296.2;
    const std::vector<double> harmonics = BrightHarmonics(12);
    std::vector<float> x;
    double t = 0.0;
    while (t < 2.0) {
        const bool stray = std::fmod(t, 0.25) < 1.0 / frequency && t > 0.1;
        const double f = stray ? odd : frequency;
        const auto length = static_cast<std::size_t>(std::lround(kRate / f));
        for (std::size_t i = 0; i < length; ++i) {
            const double local = kTwoPi * static_cast<double>(i) / static_cast<double>(length);
            double v = 0.0;
            for (std::size_t k = 1; k < harmonics.size(); ++k)
                v += harmonics[k] * std::sin(static_cast<double>(k) * local);
            x.push_back(static_cast<float>((stray ? 0.2 : 0.1) * v));
        }
        t += static_cast<double>(length) / kRate;
    }
    const double steady = kRate / std::lround(kRate / frequency);
    for (const int mode : {1, 2, 3}) {
        SCOPED_TRACE(mode);
        THarmonicAudioAnalyzer analyzer;
        analyzer.SetMode(mode);
        ExpectFollowsPitch(analyzer.Analyze(x, static_cast<float>(kRate)), steady, 2.0);
    }
}

TEST(HarmonicAnalysisLevels, WeakHarmonicsBesideStrongOnesKeepTheirLevels) {
    // Strong harmonics up to 11 kHz (1/k), with harmonics 5, 9 and 14 set 45, 55 and 65 dB below
    // harmonic 1. Periods of 337.1, 168.6 and 97.3 samples: none a whole number of samples.
    for (const double frequency : {130.81, 261.63, 453.2}) {
        SCOPED_TRACE(frequency);
        const int count = static_cast<int>(11000.0 / frequency);
        std::vector<double> harmonics = BrightHarmonics(count);
        const std::vector<std::pair<std::size_t, double>> weak = {{5, -45.0}, {9, -55.0}, {14, -65.0}};
        for (const auto& [k, db] : weak)
            harmonics[k] = std::pow(10.0, db / 20.0);
        std::vector<float> x = Tone(frequency, harmonics, 1.0, [](double) { return 1.0; });
        const std::vector<TAnalysisPoint> points = THarmonicAudioAnalyzer().Analyze(x, static_cast<float>(kRate));
        ASSERT_FALSE(points.empty());
        for (const TAnalysisPoint& point : points) {
            const double reference = point.amplitudes[1];
            auto relative = [&](std::size_t k) { return 20.0 * std::log10(point.amplitudes[k] / reference); };
            for (const auto& [k, db] : weak)
                EXPECT_NEAR(relative(k), db, 1.0) << "harmonic " << k << " at " << point.time << " s";
            for (const std::size_t k : {2u, 3u, 7u, 10u})
                EXPECT_NEAR(relative(k), 20.0 * std::log10(1.0 / static_cast<double>(k)), 0.5) << "harmonic " << k;
        }
    }
}

TEST(HarmonicAnalysisLevels, ANoteSwellingOutOfSilenceKeepsItsWeakHarmonicsWeak) {
    // The first kept period lies in the swell: its level grows from one end to the other, so it does not
    // repeat, and measured on its own it spreads the strong harmonics over the weak ones.
    std::vector<double> harmonics = BrightHarmonics(20);
    const std::vector<std::pair<std::size_t, double>> weak = {{6, -50.0}, {11, -55.0}, {17, -60.0}};
    for (const auto& [k, db] : weak)
        harmonics[k] = std::pow(10.0, db / 20.0);
    for (const double swell : {0.03, 0.1}) {
        SCOPED_TRACE(swell);
        std::vector<float> x = Tone(220.0, harmonics, 1.0, [swell](double t) { return std::min(1.0, t / swell); });
        const std::vector<TAnalysisPoint> points = THarmonicAudioAnalyzer().Analyze(x, static_cast<float>(kRate));
        ASSERT_FALSE(points.empty());
        const TAnalysisPoint& first = points.front();
        for (const auto& [k, db] : weak)
            EXPECT_NEAR(20.0 * std::log10(first.amplitudes[k] / first.amplitudes[1]), db, 3.0) << "harmonic " << k;
    }
}

TEST(HarmonicAnalysisOctaves, ThePeriodIsTheWaveformsOwnNotAnOctaveAway) {
    // Partials by half harmonics of the note: element 2k is harmonic k, the odd elements lie an octave
    // below (a sub-octave rank and its series). The pitch is the note's unless such a partial comes within
    // 12 dB of the strongest, as it does in an organ's 16-foot rank: then the waveform repeats only every
    // second period of the note, and its pitch lies an octave below.
    struct Case {
        std::string name;
        double frequency;
        std::vector<double> halves;
        double expected;
    };
    const std::vector<Case> cases = {
        {"weak fundamental, strong upper harmonics, faint sub-octave",
         65.41,
         {0, 0.01, 0.18, 0, 0.7, 0, 0.6, 0, 0.6, 0, 0.7, 0, 0.4, 0, 0.05, 0, 0.05, 0, 0.3, 0, 1.0},
         65.41},
        {"second harmonic 3 dB over the fundamental",
         98.0,
         {0, 0, 0.7, 0, 1.0, 0, 0.18, 0, 0.7, 0, 0, 0, 0.45, 0, 0, 0, 0.2},
         98.0},
        {"sub-octave rank as strong as the fundamental",
         246.94,
         {0, 1.0, 0.56, 0.28, 0.25, 0.08, 0.35, 0, 1.0, 0, 0.1, 0, 0.28},
         123.47}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<float> x = Tone(c.frequency / 2.0, c.halves, 2.0, [](double) { return 1.0; });
        for (const int mode : {1, 2, 3}) {
            THarmonicAudioAnalyzer analyzer;
            analyzer.SetMode(mode);
            std::vector<float> copy = x; // the analyser normalises it
            ExpectFollowsPitch(analyzer.Analyze(copy, static_cast<float>(kRate)), c.expected, 2.0);
        }
    }
}

} // namespace
} // namespace quillon
