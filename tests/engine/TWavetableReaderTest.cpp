#include "engine/TWavetableReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr int kLength = 4096;

// Every supported vector kernel against the plain reader: two random tables (with the guard points), random
// phases (some about to wrap), steps up to a quarter cycle, 1 … 40 oscillators (past one batch of 32) and
// blocks of 0 … 70 samples, so that whole groups, tails and blocks shorter than a group all occur.
class ReaderKernels : public ::testing::TestWithParam<TWavetableReader::Kernel> {
protected:
    void SetUp() override {
        if (!TWavetableReader::Supported(GetParam())) GTEST_SKIP() << "kernel not supported here";
        std::uniform_real_distribution<float> level(-1.0f, 1.0f);
        for (auto& v : tables)
            v = level(random);
        plain.SetKernel(TWavetableReader::kPlain);
        vector.SetKernel(GetParam());
        ASSERT_EQ(vector.ActiveKernel(), GetParam());
    }

    const float* Table(int i) const { return tables.data() + 1 + i * (kLength + 3); }

    std::mt19937 random{12345};
    std::vector<float> tables = std::vector<float>(2 * (kLength + 3));
    TWavetableReader plain, vector;
};

TEST_P(ReaderKernels, GiveThePlainReadersSamplesBitForBit) {
    std::uniform_int_distribution<std::uint32_t> phase, step(0u, 1u << 30);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int trial = 0; trial < 400; ++trial) {
        const int count = 1 + trial % 40;
        const int n = (trial * 13) % 71;
        std::vector<std::uint32_t> phases(static_cast<std::size_t>(count)), steps(phases.size());
        std::vector<float> gains(phases.size()), a(71), b(71), t(71);
        for (int i = 0; i < count; ++i) {
            phases[i] = trial % 3 == 0 ? 0xFFFFFFFFu - step(random) % 4096u : phase(random);
            steps[i] = step(random);
            gains[i] = unit(random);
        }
        for (int s = 0; s < 71; ++s) {
            a[s] = unit(random);
            b[s] = 1.0f - a[s];
            t[s] = 0.001f * static_cast<float>(s + trial);
        }
        auto plainPhases = phases;
        std::vector<float> expected(71, 0.25f), got(71, 0.25f);
        if (trial % 2 == 0) {
            plain.ReadUnison(Table(0), plainPhases.data(), steps.data(), gains.data(), count, expected.data(), n);
            vector.ReadUnison(Table(0), phases.data(), steps.data(), gains.data(), count, got.data(), n);
        } else {
            plain.ReadBlendUnison(Table(0), Table(1), a.data(), b.data(), plainPhases.data(), steps.data(),
                                  gains.data(), count, expected.data(), n);
            vector.ReadBlendUnison(Table(0), Table(1), a.data(), b.data(), phases.data(), steps.data(), gains.data(),
                                   count, got.data(), n);
        }
        ASSERT_EQ(phases, plainPhases) << "trial " << trial;
        ASSERT_EQ(got, expected) << "trial " << trial << ", " << count << " oscillators, " << n << " samples";

        // The one-oscillator forms and the crossfade weights.
        std::uint32_t p1 = phases[0], p2 = phases[0];
        plain.ReadBlend(Table(0), Table(1), a.data(), b.data(), p1, steps[0], gains[0], expected.data(), n);
        vector.ReadBlend(Table(0), Table(1), a.data(), b.data(), p2, steps[0], gains[0], got.data(), n);
        plain.Read(Table(1), p1, steps[0], gains[0], expected.data(), n);
        vector.Read(Table(1), p2, steps[0], gains[0], got.data(), n);
        ASSERT_EQ(p1, p2);
        ASSERT_EQ(got, expected) << "trial " << trial;
        std::vector<float> wa(71), wb(71), va(71), vb(71);
        const float segment = 0.001f * static_cast<float>(trial % 50 + 10);
        plain.Weights(t.data(), n, segment, 0.02f + 1e-10f, wa.data(), wb.data());
        vector.Weights(t.data(), n, segment, 0.02f + 1e-10f, va.data(), vb.data());
        ASSERT_EQ(va, wa);
        ASSERT_EQ(vb, wb);
    }
}

INSTANTIATE_TEST_SUITE_P(All, ReaderKernels, ::testing::Values(TWavetableReader::kSse2, TWavetableReader::kAvx2),
                         [](const auto& info) { return info.param == TWavetableReader::kSse2 ? "Sse2" : "Avx2"; });

// The one-off timing picks a kernel the processor has, once per process; every reader starts with it, and
// an unsupported kernel falls back to the plain reader.
TEST(ReaderKernelChoice, StartsWithTheFastestSupportedKernel) {
    const auto fastest = TWavetableReader::FastestKernel();
    EXPECT_TRUE(TWavetableReader::Supported(fastest));
    EXPECT_EQ(TWavetableReader::FastestKernel(), fastest);
    TWavetableReader reader;
    EXPECT_EQ(reader.ActiveKernel(), fastest);
    reader.SetVector(false);
    EXPECT_EQ(reader.ActiveKernel(), TWavetableReader::kPlain);
    reader.SetKernel(static_cast<TWavetableReader::Kernel>(TWavetableReader::kKernelCount));
    EXPECT_EQ(reader.ActiveKernel(), TWavetableReader::kPlain);
    EXPECT_TRUE(TWavetableReader::Supported(TWavetableReader::kPlain));
}

} // namespace
} // namespace quillon
