#include "engine/TIFFTNoiseGenerator.h"

#include "engine/TFFTReal.h"
#include "support/AllocationCounter.h"
#include "support/SoundMeasures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <optional>
#include <thread>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;

std::vector<float> Render(TIFFTNoiseGenerator& noise, int n) {
    std::vector<float> v(static_cast<std::size_t>(n));
    noise.Render(v.data(), n);
    return v;
}

using test::Rms;

// The gain the preset table gives for bin j: log-frequency interpolation of the levels, then cubed.
double ExpectedGain(double hz, double f0, int l0, double f1, int l1) {
    const double t = std::log(hz / f0) / std::log(f1 / f0);
    const double b = (255.0 - ((1.0 - t) * l0 + t * l1)) / 255.0;
    return b * b * b;
}

// Averaged power spectrum (Hann window, 1024 points), in dB, of the noise.
std::vector<double> PowerSpectrumDb(const std::vector<float>& signal) {
    const int n = 1024;
    TFFTReal fft(n);
    std::vector<double> power(n / 2, 0.0);
    std::vector<float> frame(n), spectrum(n);
    for (std::size_t start = 0; start + n <= signal.size(); start += n / 2) {
        for (int i = 0; i < n; ++i)
            frame[static_cast<std::size_t>(i)] =
                signal[start + static_cast<std::size_t>(i)] *
                static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n));
        fft.ForwardTransform(frame.data(), spectrum.data());
        for (int k = 1; k < n / 2; ++k)
            power[static_cast<std::size_t>(k)] +=
                double(spectrum[static_cast<std::size_t>(k)]) * spectrum[static_cast<std::size_t>(k)] +
                double(spectrum[static_cast<std::size_t>(n / 2 + k)]) * spectrum[static_cast<std::size_t>(n / 2 + k)];
    }
    std::vector<double> db(n / 2, -300.0);
    for (int k = 2; k < n / 2 - 1; ++k) // three neighbouring bins together, for a steadier estimate
        db[static_cast<std::size_t>(k)] =
            10.0 * std::log10((power[static_cast<std::size_t>(k - 1)] + power[static_cast<std::size_t>(k)] +
                               power[static_cast<std::size_t>(k + 1)]) /
                                  3.0 +
                              1e-30);
    return db;
}

TEST(NoiseGenerator, PresetsInstallTheirBreakpoints) {
    TIFFTNoiseGenerator noise(kRate);
    EXPECT_EQ(noise.BreakpointCount(), 0);
    const int counts[] = {0, 1, 12, 11, 16, 8};
    for (int type = 0; type <= 5; ++type) {
        noise.SetNoiseType(type);
        EXPECT_EQ(noise.BreakpointCount(), counts[type]) << type;
    }
    noise.SetNoiseType(4);
    EXPECT_EQ(noise.BreakpointFrequency(5), 500.0f);
    EXPECT_EQ(noise.BreakpointLevel(5), 0);
    EXPECT_EQ(noise.BreakpointLevel(15), 255);
    for (int type : {6, 32, -1}) {
        noise.SetNoiseType(type);
        EXPECT_EQ(noise.BreakpointCount(), 0) << type;
    }
}

TEST(NoiseGenerator, PresetGainsFollowTheLevelCurve) {
    TIFFTNoiseGenerator noise(kRate);
    noise.SetNoiseType(1);
    Render(noise, 1);
    for (int j = 0; j < TIFFTNoiseGenerator::kBinCount; ++j)
        ASSERT_EQ(noise.Gain(j), 1.0f) << j;

    // Pink: bin 30 (1291.99 Hz) between 1280 Hz (128) and 2560 Hz (141) has level ≈ 128.2, gain ≈ 0.123.
    noise.SetNoiseType(2);
    Render(noise, 1024);
    EXPECT_NEAR(noise.Gain(30), ExpectedGain(44100.0 * 30 / 1024, 1280, 128, 2560, 141), 1e-5);
    EXPECT_NEAR(noise.Gain(30), 0.123, 1e-3);
    EXPECT_EQ(noise.Gain(0), 1.0f); // below the first breakpoint: its level
    EXPECT_NEAR(noise.Gain(511), ExpectedGain(44100.0 * 511 / 1024, 20480, 175, 40960, 183), 1e-5);

    // Breath 1: silent at DC, nearly full just below its 1 kHz peak.
    noise.SetNoiseType(3);
    Render(noise, 1024);
    EXPECT_EQ(noise.Gain(0), 0.0f);
    EXPECT_NEAR(noise.Gain(23), ExpectedGain(44100.0 * 23 / 1024, 400, 136, 1000, 0), 1e-5);

    EXPECT_EQ(noise.Gain(-1), 0.0f);
    EXPECT_EQ(noise.Gain(512), 0.0f);
}

TEST(NoiseGenerator, SameTypeKeepsBreakpointsAndGainsAndRateWaitsForAChange) {
    TIFFTNoiseGenerator noise(kRate);
    noise.SetNoiseType(2);
    Render(noise, 1024);
    const float pinkGain = noise.Gain(30);
    ASSERT_TRUE(noise.InsertBreakpoint(12, 0, 60000.0f));
    noise.SetNoiseType(2);
    EXPECT_EQ(noise.BreakpointCount(), 13);

    // A new rate changes the gains only with the next breakpoint change.
    TIFFTNoiseGenerator other(kRate);
    other.SetNoiseType(2);
    Render(other, 1024);
    other.SetSampleRate(22050.0f);
    Render(other, 1024);
    EXPECT_EQ(other.Gain(30), pinkGain);
    other.SetNoiseType(3);
    Render(other, 1);
    other.SetNoiseType(2);
    Render(other, 1024);
    EXPECT_NEAR(other.Gain(30), ExpectedGain(22050.0 * 30 / 1024, 640, 112, 1280, 128), 1e-5);
}

TEST(NoiseGenerator, WhiteNoiseIsTheRandomSourceItself) {
    TIFFTNoiseGenerator noise(kRate);
    noise.SetRandomSeed(1); // the statistics below are of this seed's noise
    noise.SetNoiseType(1);
    const std::vector<float> out = Render(noise, 1 << 16);
    // The first half frame crossfades the near-silent initial frames; then the frames overlap exactly, so
    // the output is the uniform source: RMS 1/√3, never beyond ±1.
    for (std::size_t i = 0; i < 512; ++i)
        ASSERT_LT(std::fabs(out[i]), 1e-5f) << i;
    EXPECT_GT(std::fabs(out[600]), 1e-5f);
    EXPECT_NEAR(Rms(out, 512), 1.0 / std::sqrt(3.0), 0.01);
    for (std::size_t i = 512; i < out.size(); ++i)
        ASSERT_LE(std::fabs(out[i]), 1.0f + 1e-5f);

    // Flat spectrum: every band within 1.5 dB of the 1 kHz band.
    const std::vector<double> db = PowerSpectrumDb(out);
    for (int k : {4, 30, 100, 300, 500})
        EXPECT_NEAR(db[static_cast<std::size_t>(k)], db[23], 1.5) << k;
}

// Every generator (every instance of the plug-in, every load) makes its own noise; a fixed seed makes the
// same noise again.
TEST(NoiseGenerator, EachInstanceMakesItsOwnNoiseAndASeedRepeatsIt) {
    const auto noise = [](std::optional<std::uint32_t> seed) {
        TIFFTNoiseGenerator generator(kRate);
        if (seed) generator.SetRandomSeed(*seed);
        generator.SetNoiseType(1);
        return Render(generator, 4096);
    };
    EXPECT_NE(noise(std::nullopt), noise(std::nullopt));
    EXPECT_EQ(noise(5), noise(5));
    EXPECT_NE(noise(5), noise(6));
    EXPECT_NE(noise(0), noise(5)); // 0, which xorshift cannot use, still seeds
}

TEST(NoiseGenerator, PinkFallsThreeDecibelsPerOctave) {
    TIFFTNoiseGenerator noise(kRate);
    noise.SetRandomSeed(1); // the statistics below are of this seed's noise
    noise.SetNoiseType(2);
    const std::vector<float> out = Render(noise, 1 << 18);
    const std::vector<double> db = PowerSpectrumDb(out);
    // Each band stands where the gain curve puts it relative to the 344 Hz band.
    const auto gain = [&](int k) { return noise.Gain(k); };
    for (int k : {15, 30, 60, 119, 238, 400})
        EXPECT_NEAR(db[static_cast<std::size_t>(k)] - db[8], 20.0 * std::log10(gain(k) / gain(8)), 1.5) << k;
    const double octaves = std::log2(238.0 / 8.0);
    EXPECT_NEAR((db[238] - db[8]) / octaves, -3.0, 0.5);

    // Level: the source's RMS times the RMS of the gains over the bins, within a dB (the crossfade of two
    // differently filtered frames costs a little).
    double sum = 0.0;
    for (int k = 0; k < 512; ++k)
        sum += double(gain(k)) * gain(k);
    const double expected = std::sqrt(sum / 512.0) / std::sqrt(3.0);
    EXPECT_NEAR(20.0 * std::log10(Rms(out, 1024) / expected), 0.0, 1.0);
}

TEST(NoiseGenerator, BreathHasItsPeakNearOneKilohertz) {
    TIFFTNoiseGenerator noise(kRate);
    noise.SetRandomSeed(1); // the statistics below are of this seed's noise
    noise.SetNoiseType(3);
    const std::vector<double> db = PowerSpectrumDb(Render(noise, 1 << 17));
    const std::size_t peak = static_cast<std::size_t>(std::max_element(db.begin() + 2, db.end() - 2) - db.begin());
    EXPECT_NEAR(static_cast<double>(peak) * 44100.0 / 1024.0, 1000.0, 100.0);
    EXPECT_GT(db[23] - db[3], 15.0);   // 1 kHz against 65 Hz (gain curve: 29 dB; frame edges spread some)
    EXPECT_GT(db[23] - db[372], 30.0); // against 16 kHz
}

TEST(NoiseGenerator, OffIsSilentAndBadCallsAreIgnoredWithoutAllocation) {
    TIFFTNoiseGenerator noise(kRate);
    std::vector<float> out(4096, 1.0f);
    test::ScopedAllocationCounter allocations;
    noise.Render(out.data(), 4096);
    for (float s : out)
        ASSERT_LE(std::fabs(s), 1e-10f);
    noise.Render(nullptr, 16);
    noise.Render(out.data(), 0);
    noise.Render(out.data(), -3);
    noise.SetNoiseType(4); // installing a preset on the audio thread allocates nothing either
    noise.Render(out.data(), 4096);
    EXPECT_EQ(allocations.Count(), 0u);
    EXPECT_GT(Rms(out), 0.01);

    EXPECT_FALSE(noise.InsertBreakpoint(-1, 0, 100.0f));
    EXPECT_FALSE(noise.InsertBreakpoint(17, 0, 100.0f));
    EXPECT_FALSE(noise.DeleteBreakpoint(16));
    EXPECT_FALSE(noise.DeleteBreakpoint(-1));
    EXPECT_EQ(noise.BreakpointFrequency(99), 0.0f);
    EXPECT_EQ(noise.BreakpointLevel(-1), 0);
    EXPECT_TRUE(noise.DeleteBreakpoint(0));
    EXPECT_EQ(noise.BreakpointFrequency(0), 40.0f);
    noise.DeleteAllBreakpoints();
    for (int i = 0; i < TIFFTNoiseGenerator::kMaxBreakpoints; ++i)
        ASSERT_TRUE(noise.InsertBreakpoint(i, 0, 20.0f + i));
    EXPECT_FALSE(noise.InsertBreakpoint(0, 0, 10.0f));
}

// The program picks noise types from another thread while the audio thread renders: the type is handed
// over without a data race (ThreadSanitizer) and the audio thread allocates nothing.
TEST(NoiseGeneratorConcurrency, TypeChangesWhileAudioRenders) {
    TIFFTNoiseGenerator noise(kRate);
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> allocations{0};
    std::thread audio([&] {
        test::ScopedAllocationCounter counter;
        float buffer[16];
        while (!stop.load(std::memory_order_relaxed))
            noise.Render(buffer, 16);
        allocations = counter.Count();
    });
    for (int i = 0; i < 5000; ++i) {
        noise.SetNoiseType(i % 6);
        if (i % 500 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop = true;
    audio.join();
    EXPECT_EQ(allocations.load(), 0u);
}

} // namespace
} // namespace quillon
