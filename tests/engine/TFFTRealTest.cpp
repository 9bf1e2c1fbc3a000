#include "engine/TFFTReal.h"

#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

namespace quillon {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The transforms written out as plain double-precision sums, O(N²).
std::vector<double> DirectForward(const std::vector<float>& x) {
    const int n = static_cast<int>(x.size());
    std::vector<double> cosTable(n), sinTable(n);
    for (int i = 0; i < n; ++i) {
        cosTable[i] = std::cos(2.0 * kPi * i / n);
        sinTable[i] = std::sin(2.0 * kPi * i / n);
    }
    std::vector<double> f(n, 0.0);
    for (int k = 0; k <= n / 2; ++k) {
        double c = 0.0, s = 0.0;
        for (int t = 0; t < n; ++t) {
            const int i = static_cast<int>((static_cast<long long>(k) * t) % n);
            c += x[t] * cosTable[i];
            s += x[t] * sinTable[i];
        }
        f[k] = c;
        if (k > 0 && k < n / 2) f[n / 2 + k] = s;
    }
    return f;
}

std::vector<double> DirectInverse(const std::vector<float>& f) {
    const int n = static_cast<int>(f.size());
    std::vector<double> cosTable(n), sinTable(n);
    for (int i = 0; i < n; ++i) {
        cosTable[i] = std::cos(2.0 * kPi * i / n);
        sinTable[i] = std::sin(2.0 * kPi * i / n);
    }
    std::vector<double> x(n, 0.0);
    for (int t = 0; t < n; ++t) {
        double sum = f[0] + (n > 1 ? f[n / 2] * ((t % 2) ? -1.0 : 1.0) : 0.0);
        for (int k = 1; k < n / 2; ++k) {
            const int i = static_cast<int>((static_cast<long long>(k) * t) % n);
            sum += 2.0 * (f[k] * cosTable[i] + f[n / 2 + k] * sinTable[i]);
        }
        x[t] = sum;
    }
    return x;
}

std::vector<float> RandomSignal(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& e : v)
        e = dist(rng);
    return v;
}

// ‖actual − expected‖ / ‖expected‖ (Euclidean norms).
double RelativeError(const std::vector<float>& actual, const std::vector<double>& expected) {
    double err = 0.0, norm = 0.0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        err += (actual[i] - expected[i]) * (actual[i] - expected[i]);
        norm += expected[i] * expected[i];
    }
    return std::sqrt(err / norm);
}

// Single-precision rounding over log2 N butterfly levels stays well below this.
constexpr double kTolerance = 1e-6;

TEST(TFFTReal, SmallSizesFollowTheClosedForms) {
    float out[4];
    TFFTReal one(1);
    const float x1[1] = {3.5f};
    one.ForwardTransform(x1, out);
    EXPECT_EQ(out[0], 3.5f);
    one.InverseTransform(x1, out);
    EXPECT_EQ(out[0], 3.5f);

    TFFTReal two(2);
    const float x2[2] = {3.0f, 5.0f};
    two.ForwardTransform(x2, out);
    EXPECT_EQ(out[0], 8.0f);
    EXPECT_EQ(out[1], -2.0f);
    two.InverseTransform(x2, out);
    EXPECT_EQ(out[0], 8.0f);
    EXPECT_EQ(out[1], -2.0f);

    TFFTReal four(4);
    const float x4[4] = {1.0f, 2.0f, 4.0f, 8.0f};
    four.ForwardTransform(x4, out);
    EXPECT_EQ(out[0], 15.0f); // DC
    EXPECT_EQ(out[1], -3.0f); // cos part of bin 1: x0 − x2
    EXPECT_EQ(out[2], -5.0f); // Nyquist
    EXPECT_EQ(out[3], -6.0f); // sin part of bin 1: x1 − x3
    four.InverseTransform(x4, out);
    EXPECT_EQ(out[0], 1.0f + 4.0f + 2.0f * 2.0f);
    EXPECT_EQ(out[1], 1.0f - 4.0f + 2.0f * 8.0f);
    EXPECT_EQ(out[2], 1.0f + 4.0f - 2.0f * 2.0f);
    EXPECT_EQ(out[3], 1.0f - 4.0f - 2.0f * 8.0f);

    // N = 8: one sine cycle comes out in the sine slot of bin 1 as N/2; bin 3's cosine in its cosine slot.
    TFFTReal eight(8);
    float x8[8], f8[8];
    for (int n = 0; n < 8; ++n)
        x8[n] = static_cast<float>(std::sin(2.0 * kPi * n / 8) + 0.25 * std::cos(2.0 * kPi * 3 * n / 8));
    eight.ForwardTransform(x8, f8);
    const float expected[8] = {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 4.0f, 0.0f, 0.0f};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(f8[i], expected[i], 1e-6f) << "element " << i;
}

// The layout the wavetable builder relies on: bin 5 with (A·sin φ, A·cos φ) makes 2A·sin(θ + φ); the DC
// and Nyquist slots carry no factor 2.
TEST(TFFTReal, InverseOf4096PointsMakesTheDefinedSinusoids) {
    constexpr int n = 4096;
    TFFTReal fft(n);
    std::vector<float> f(n, 0.0f), x(n);
    const double amplitude = 0.3, phase = 0.7;
    f[5] = static_cast<float>(amplitude * std::sin(phase));
    f[n / 2 + 5] = static_cast<float>(amplitude * std::cos(phase));
    fft.InverseTransform(f.data(), x.data());
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(x[i], 2.0 * amplitude * std::sin(2.0 * kPi * 5 * i / n + phase), 1e-6) << "sample " << i;

    std::fill(f.begin(), f.end(), 0.0f);
    f[0] = 0.8f;
    fft.InverseTransform(f.data(), x.data());
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(x[i], 0.8f, 1e-6) << "sample " << i;

    std::fill(f.begin(), f.end(), 0.0f);
    f[n / 2] = 0.6f;
    fft.InverseTransform(f.data(), x.data());
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(x[i], (i % 2) ? -0.6f : 0.6f, 1e-6) << "sample " << i;
}

// The fast transforms against the direct sums, N = 8 … 4096 (scalar passes below 32 points, four-lane
// passes above): random signals and random spectra, several per instance so that nothing carries over
// from one call to the next.
TEST(TFFTReal, MatchesTheDirectTransformsForAllSizes) {
    for (int n = 8; n <= 4096; n *= 2) {
        SCOPED_TRACE(testing::Message() << "N = " << n);
        TFFTReal fft(n);
        std::vector<float> out(n);
        for (unsigned seed = 0; seed < 2; ++seed) {
            const std::vector<float> signal = RandomSignal(n, 100u * seed + n);
            fft.ForwardTransform(signal.data(), out.data());
            EXPECT_LT(RelativeError(out, DirectForward(signal)), kTolerance);

            const std::vector<float> spectrum = RandomSignal(n, 100u * seed + n + 50u);
            fft.InverseTransform(spectrum.data(), out.data());
            EXPECT_LT(RelativeError(out, DirectInverse(spectrum)), kTolerance);
        }
    }
}

// A wavetable-like spectrum: harmonics 1 … 250 with falling levels and scattered phases, the rest empty.
TEST(TFFTReal, InverseOfABandLimitedSpectrumMatchesTheDirectSum) {
    constexpr int n = 4096;
    TFFTReal fft(n);
    std::vector<float> f(n, 0.0f), x(n);
    for (int k = 1; k <= 250; ++k) {
        const double level = 1.0 / k, phase = 0.37 * k * k;
        f[k] = static_cast<float>(level * std::sin(phase));
        f[n / 2 + k] = static_cast<float>(level * std::cos(phase));
    }
    fft.InverseTransform(f.data(), x.data());
    const std::vector<double> expected = DirectInverse(f);
    EXPECT_LT(RelativeError(x, expected), kTolerance);
    double worst = 0.0;
    for (int i = 0; i < n; ++i)
        worst = std::max(worst, std::abs(x[i] - expected[i]));
    EXPECT_LT(worst, 1e-5); // peak level is a few units
}

TEST(TFFTReal, RoundTripRestoresTheSignalAndLeavesInputsAlone) {
    for (int n : {1, 2, 4, 8, 64, 1024, 4096}) {
        SCOPED_TRACE(testing::Message() << "N = " << n);
        TFFTReal fft(n);
        const std::vector<float> signal = RandomSignal(n, 7u + n);
        std::vector<float> input = signal, spectrum(n), back(n);
        fft.ForwardTransform(input.data(), spectrum.data());
        EXPECT_EQ(input, signal);
        const std::vector<float> spectrumCopy = spectrum;
        fft.InverseTransform(spectrum.data(), back.data());
        EXPECT_EQ(spectrum, spectrumCopy);
        fft.ScaleByInverseLength(back.data());
        for (int i = 0; i < n; ++i)
            ASSERT_NEAR(back[i], signal[i], 2e-6) << "sample " << i;
    }
}

TEST(TFFTReal, RejectsLengthsThatAreNotPowersOfTwo) {
    for (int n : {0, -4, 3, 12, 4095, (1 << 20) + 1, 1 << 21})
        EXPECT_THROW(TFFTReal{n}, std::invalid_argument) << "N = " << n;
    EXPECT_NO_THROW(TFFTReal{1 << 20});
}

TEST(TFFTReal, TransformsAllocateNothing) {
    constexpr int n = 4096;
    TFFTReal fft(n);
    std::vector<float> a = RandomSignal(n, 3), b(n);
    test::ScopedAllocationCounter counter;
    fft.ForwardTransform(a.data(), b.data());
    fft.InverseTransform(b.data(), a.data());
    fft.ScaleByInverseLength(a.data());
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
} // namespace quillon
