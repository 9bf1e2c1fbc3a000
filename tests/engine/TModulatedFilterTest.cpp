#include "engine/TModulatedFilter.h"

#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

namespace quillon {
namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 16;

TModulatedFilter MakeFilter() {
    return TModulatedFilter(8, kRate, 20000.0f, 20.0f, 1000);
}

// Control value of a cutoff frequency on the 20 Hz … 20 kHz scale.
float ControlOf(double hz) {
    return static_cast<float>(std::log(hz / 20.0) / std::log(1000.0));
}

// The recurrences of the twelve types written out plainly, one named delay per memory, for a sample-by-
// sample comparison with the filter's routines.
class ReferenceFilter {
public:
    ReferenceFilter(int type, float resonance, float dry) : type_(type), dry_(dry) {
        fb_ = -0.13f - 3.87f * resonance;
        gain_ = 1.0f / (1.0f - fb_);
        band_ = 4.0f / (fb_ + 4.01f) * gain_;
        q_ = 1.0f / (1.414f - 1.364f * resonance);
        qq_ = q_ * q_;
    }

    float Step(float x, float k) {
        const float k2 = k * k;
        switch (type_) {
        case 1: {
            const float a = 1.0f / (k + 1.0f), c = (1.0f - k) * a;
            const float y = a * (x + x1_) - c * y1_;
            x1_ = x, y1_ = y;
            return x * dry_ + y;
        }
        case 2:
        case 3: {
            const float q = type_ == 2 ? qq_ : q_;
            const float d = 1.0f / (k2 + k / q + 1.0f), c1 = 2.0f - 2.0f * k2, c2 = k2 + 1.0f - k / q;
            const float u = (x + 2.0f * x1_ + x2_ - c1 * y1_ - c2 * y2_) * d;
            Shift(x, u);
            if (type_ == 2) return x * dry_ + u * gain_;
            const float y = (u + 2.0f * u1_ + u2_ - c1 * z1_ - c2 * z2_) * d;
            ShiftSecond(u, y);
            return x * dry_ + y * gain_;
        }
        case 4: {
            const float a = 1.0f / (k + 1.0f), d = a * (1.0f - k), f = 1.0f - d;
            const float g = 1.0f / (1.0f - a * a * a * a * fb_);
            const float y = (a * (a * (a * (a * (x + m1_) + f * m2_) + f * m3_) + f * m4_) - d * m5_) * g;
            const float t = x + y * fb_;
            const float o1 = a * (m1_ + t) - d * m2_;
            const float o2 = a * (m2_ + o1) - d * m3_;
            const float o3 = a * (m3_ + o2) - d * m4_;
            m1_ = t, m2_ = o1, m3_ = o2, m4_ = o3, m5_ = y;
            return x * dry_ + y;
        }
        case 5: {
            const float b = k / (k + 1.0f), c = (1.0f - k) / (k + 1.0f);
            const float y = (x - x1_) * b - y1_ * c;
            x1_ = x, y1_ = y;
            return x * dry_ + y;
        }
        case 6:
        case 7: {
            const float q = type_ == 6 ? qq_ : q_;
            const float bb = k / q + 1.0f + k2;
            const float e = k2 / bb, f = (2.0f - 2.0f * k2) / bb, g = (k2 + 1.0f - k / q) / bb;
            const float u = (x - 2.0f * x1_ + x2_) * e - y1_ * f - y2_ * g;
            Shift(x, u);
            if (type_ == 6) return x * dry_ + u * gain_;
            const float y = e * (u - 2.0f * u1_ + u2_) - f * z1_ - g * z2_;
            ShiftSecond(u, y);
            return x * dry_ + y * gain_;
        }
        case 8: {
            const float b = k / (k + 1.0f), q = (1.0f - k) / (k + 1.0f), e = q + 1.0f;
            const float g = 1.0f / (1.0f - b * b * b * b * fb_);
            const float y = (b * (b * (b * (b * (x - m1_) - e * m2_) - e * m3_) - e * m4_) - q * m5_) * g;
            const float t = x + y * fb_;
            const float o1 = b * (t - m1_) - q * m2_;
            const float o2 = b * (o1 - m2_) - q * m3_;
            const float o3 = b * (o2 - m3_) - q * m4_;
            m1_ = t, m2_ = o1, m3_ = o2, m4_ = o3, m5_ = y;
            return x * dry_ + y;
        }
        default: { // 9 … 12
            const float q = (type_ == 9 || type_ == 11) ? qq_ : q_;
            const float bb = 1.0f / (k / q + 1.0f + k2);
            const float e = (k / q) * bb, f = (2.0f - 2.0f * k2) * bb, g = (k2 + 1.0f - k / q) * bb;
            const float h = (k2 + 1.0f) * bb;
            const bool notch = type_ >= 11;
            const float u = notch ? (x + x2_) * h + (x1_ - y1_) * f - y2_ * g : (x - x2_) * e - y1_ * f - y2_ * g;
            Shift(x, u);
            const float outGain = notch ? 1.0f : band_;
            if (type_ == 9 || type_ == 11) return x * dry_ + u * outGain;
            const float y = notch ? h * (u2_ + u) + f * (u1_ - z1_) - g * z2_ : e * (u - u2_) - f * z1_ - g * z2_;
            ShiftSecond(u, y);
            return x * dry_ + y * outGain;
        }
        }
    }

private:
    void Shift(float x, float y) { x2_ = x1_, x1_ = x, y2_ = y1_, y1_ = y; }
    void ShiftSecond(float u, float y) { u2_ = u1_, u1_ = u, z2_ = z1_, z1_ = y; }

    int type_;
    float dry_, fb_, gain_, band_, q_, qq_;
    float x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;          // stage 1
    float u1_ = 0, u2_ = 0, z1_ = 0, z2_ = 0;          // stage 2: its inputs (stage-1 outputs) and outputs
    float m1_ = 0, m2_ = 0, m3_ = 0, m4_ = 0, m5_ = 0; // feedback cascades
};

std::vector<float> Noise(int n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(static_cast<std::size_t>(n));
    for (float& s : v)
        s = d(random);
    return v;
}

TEST(IIRFrequencyTable, CoversTwentyHertzToTwentyKilohertz) {
    TModulatedFilter filter = MakeFilter();
    const TIIRFrequencyTable& table = filter.FrequencyTable();
    EXPECT_EQ(filter.TableSize(), 1000);
    const auto cot = [](double hz, double fs) { return 1.0 / std::tan(std::numbers::pi * hz / fs); };
    EXPECT_NEAR(table.Lookup(0.0f), cot(20.0, kRate), 1e-5 * cot(20.0, kRate));
    EXPECT_NEAR(table.Lookup(1.0f), cot(20000.0, kRate), 1e-3 * cot(20000.0, kRate));
    EXPECT_NEAR(table.Lookup(ControlOf(1000.0)), cot(1000.0, kRate), 1e-4 * cot(1000.0, kRate));
    EXPECT_EQ(table.Lookup(-0.5f), table.Lookup(0.0f));
    EXPECT_EQ(table.Lookup(3.0f), table.Lookup(1.0f));
    EXPECT_EQ(table.Lookup(std::nanf("")), table.Lookup(0.0f));

    filter.SetSampleRate(48000.0f);
    EXPECT_EQ(filter.SampleRate(), 48000.0f);
    EXPECT_NEAR(table.Lookup(0.0f), cot(20.0, 48000.0), 1e-5 * cot(20.0, 48000.0));
}

// Key tracking, the filter envelope and the LFOs take the control value to 1 (20 kHz), which lies beyond
// Nyquist below 40 kHz: the table holds K there at the value for 0.49·fs, positive and falling with x.
TEST(IIRFrequencyTable, StopsShortOfNyquistAtLowRates) {
    const float nearNyquist = static_cast<float>(1.0 / std::tan(0.49 * std::numbers::pi));
    for (const float rate : {8000.0f, 22050.0f, 32000.0f, 44100.0f, 192000.0f}) {
        SCOPED_TRACE(rate);
        const TIIRFrequencyTable table(1000, rate, 20000.0f, 20.0f);
        for (std::uint32_t i = 1; i < table.Size(); ++i) {
            ASSERT_GE(table.Entry(i), nearNyquist) << i;
            ASSERT_LE(table.Entry(i), table.Entry(i - 1)) << i;
        }
        if (rate < 40000.0f) {
            EXPECT_FLOAT_EQ(table.Lookup(1.0f), nearNyquist);
        }
    }
}

// Full resonance, a loud noise input and the cutoff swept up to the top of the scale and held there.
TEST(ModulatedFilter, EveryTypeStaysBoundedAtEveryRateAndCutoff) {
    for (const float rate : {22050.0f, 32000.0f, 44100.0f, 192000.0f}) {
        for (int type = 1; type <= TModulatedFilter::kTypeCount; ++type) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, type " << type);
            TModulatedFilter filter(1, rate, 20000.0f, 20.0f, 1000);
            filter.SetType(type);
            filter.SetResonance(1.0f);
            std::mt19937 random(7);
            std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
            float block[kBlock];
            float peak = 0.0f;
            for (int b = 0; b < 8000; ++b) {
                for (float& x : block)
                    x = noise(random);
                filter.Process(0, block, kBlock, std::min(1.0f, static_cast<float>(b) / 6000.0f));
                for (float y : block)
                    peak = std::isfinite(y) ? std::max(peak, std::fabs(y)) : INFINITY;
            }
            EXPECT_LT(peak, 1000.0f);
        }
    }
}

TEST(ModulatedFilter, CreationValuesAndResonance) {
    TModulatedFilter filter = MakeFilter();
    EXPECT_EQ(filter.Type(), 0);
    EXPECT_EQ(filter.Gain(), 1.0f);
    EXPECT_EQ(filter.BandGain(), 0.0f);
    EXPECT_EQ(filter.QSquared(), 0.5f);
    EXPECT_EQ(filter.Q(), 0.707f);
    EXPECT_EQ(filter.Feedback(), 0.0f);
    EXPECT_EQ(filter.DryGain(), 0.0f);

    filter.SetResonance(0.0f);
    EXPECT_FLOAT_EQ(filter.Feedback(), -0.13f);
    EXPECT_FLOAT_EQ(filter.Gain(), 1.0f / 1.13f);
    EXPECT_NEAR(filter.Q(), 0.70721, 1e-5);
    EXPECT_NEAR(filter.QSquared(), 0.70721 * 0.70721, 1e-5);
    EXPECT_NEAR(filter.BandGain(), 4.0 / 3.88 / 1.13, 1e-5);
    filter.SetResonance(1.0f);
    EXPECT_FLOAT_EQ(filter.Feedback(), -4.0f);
    EXPECT_NEAR(filter.Q(), 20.0, 1e-3);
}

// Every type against its written-out recurrence, sample by sample, with a cutoff that changes every block,
// a velocity offset, some dry signal and two resonances.
TEST(ModulatedFilter, TwelveTypesFollowTheirRecurrences) {
    const std::vector<float> input = Noise(40 * kBlock, 3);
    for (int type = 1; type <= 12; ++type) {
        for (float resonance : {0.0f, 0.5f}) {
            TModulatedFilter filter = MakeFilter();
            filter.SetType(type);
            filter.SetResonance(resonance);
            filter.SetDryGain(0.25f);
            filter.SetCutoffOffset(5, 0.05f);
            ReferenceFilter reference(type, resonance, 0.25f);
            std::vector<float> buffer = input;
            for (int block = 0; block < 40; ++block) {
                const float x = 0.1f + 0.02f * static_cast<float>(block);
                float* b = buffer.data() + block * kBlock;
                filter.Process(5, b, kBlock, x);
                const float k = filter.FrequencyTable().Lookup(x + 0.05f);
                for (int i = 0; i < kBlock; ++i) {
                    const float expected = reference.Step(input[static_cast<std::size_t>(block * kBlock + i)], k);
                    ASSERT_NEAR(b[i], expected, 1e-5f * (1.0f + std::fabs(expected)))
                        << "type " << type << " resonance " << resonance << " block " << block << " sample " << i;
                }
            }
        }
    }
}

// Gain of a sine of `hz` through the filter at cutoff `cutoffHz`, after the filter has settled.
float SineGain(int type, float resonance, double cutoffHz, double hz) {
    TModulatedFilter filter = MakeFilter();
    filter.SetType(type);
    filter.SetResonance(resonance);
    const int n = 16384;
    std::vector<float> buffer(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        buffer[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * i / kRate));
    for (int i = 0; i < n; i += kBlock)
        filter.Process(0, buffer.data() + i, kBlock, ControlOf(cutoffHz));
    double sum = 0.0;
    for (int i = n / 2; i < n; ++i)
        sum += double(buffer[static_cast<std::size_t>(i)]) * buffer[static_cast<std::size_t>(i)];
    return static_cast<float>(std::sqrt(sum / (n / 2)) * std::numbers::sqrt2);
}

// The responses the types are named after, at a 1 kHz cutoff and resonance 0 (output gain 1/1.13 for
// the biquad and feedback types).
TEST(ModulatedFilter, TypesPassAndStopWhereTheirNamesSay) {
    const float g = 1.0f / 1.13f;
    // Low-pass: 100 Hz passes, 10 kHz falls by 6, 12, 24 dB per octave.
    EXPECT_NEAR(SineGain(1, 0, 1000, 100), 1.0f, 0.01f);
    EXPECT_NEAR(SineGain(1, 0, 1000, 1000), std::sqrt(0.5f), 0.01f);
    EXPECT_LT(SineGain(1, 0, 1000, 10000), 0.12f);
    EXPECT_NEAR(SineGain(2, 0, 1000, 100), g, 0.01f);
    EXPECT_LT(SineGain(2, 0, 1000, 10000), 0.015f);
    EXPECT_NEAR(SineGain(3, 0, 1000, 100), g, 0.01f);
    EXPECT_LT(SineGain(3, 0, 1000, 10000), 2e-4f);
    EXPECT_NEAR(SineGain(4, 0, 1000, 100), g, 0.01f);
    EXPECT_LT(SineGain(4, 0, 1000, 10000), 2e-4f);
    // High-pass: the mirror image.
    EXPECT_NEAR(SineGain(5, 0, 1000, 10000), 1.0f, 0.02f);
    EXPECT_LT(SineGain(5, 0, 1000, 100), 0.12f);
    EXPECT_NEAR(SineGain(6, 0, 1000, 10000), g, 0.02f);
    EXPECT_LT(SineGain(6, 0, 1000, 100), 0.015f);
    EXPECT_NEAR(SineGain(7, 0, 1000, 10000), g, 0.02f);
    EXPECT_LT(SineGain(7, 0, 1000, 100), 2e-4f);
    EXPECT_NEAR(SineGain(8, 0, 1000, 10000), g, 0.02f);
    EXPECT_LT(SineGain(8, 0, 1000, 100), 2e-4f);
    // Band-pass: the cutoff passes, a decade away on both sides is well below.
    for (int type : {9, 10}) {
        const float peak = SineGain(type, 0, 1000, 1000);
        EXPECT_GT(peak, 0.85f) << type;
        EXPECT_LT(SineGain(type, 0, 1000, 100), 0.3f * peak) << type;
        EXPECT_LT(SineGain(type, 0, 1000, 10000), 0.3f * peak) << type;
    }
    // Notch: the cutoff vanishes, a decade away passes.
    for (int type : {11, 12}) {
        EXPECT_LT(SineGain(type, 0, 1000, 1000), 0.01f) << type;
        EXPECT_GT(SineGain(type, 0, 1000, 100), 0.85f) << type;
        EXPECT_GT(SineGain(type, 0, 1000, 10000), 0.85f) << type;
    }
}

TEST(ModulatedFilter, ResonanceRaisesAPeakAtTheCutoff) {
    for (int type : {2, 4, 6, 8}) {
        const double pass = (type == 2 || type == 4) ? 100.0 : 10000.0;
        const float flat = SineGain(type, 0.0f, 1000, 1000) / SineGain(type, 0.0f, 1000, pass);
        const float peaked = SineGain(type, 0.8f, 1000, 1000) / SineGain(type, 0.8f, 1000, pass);
        EXPECT_LT(flat, 1.0f) << type;
        EXPECT_GT(peaked, 2.0f) << type;
    }
}

TEST(ModulatedFilter, OtherTypesLeaveTheSignalUnchanged) {
    const std::vector<float> input = Noise(kBlock, 9);
    for (int type : {0, 13, 32, -4}) {
        TModulatedFilter filter = MakeFilter();
        filter.SetDryGain(0.5f);
        filter.SetType(type);
        std::vector<float> buffer = input;
        filter.Process(0, buffer.data(), kBlock, 0.5f);
        EXPECT_EQ(buffer, input) << type;
    }
}

TEST(ModulatedFilter, TypeChangesClearTheVoicesAndTheSameTypeKeepsThem) {
    const std::vector<float> first = Noise(kBlock, 1), second = Noise(kBlock, 2);
    const auto run = [&](bool afterFirst, int interimType) {
        TModulatedFilter filter = MakeFilter();
        filter.SetType(2);
        std::vector<float> a = first, b = second;
        if (afterFirst) filter.Process(0, a.data(), kBlock, 0.3f);
        if (interimType != 0) filter.SetType(interimType);
        filter.SetType(2);
        filter.Process(0, b.data(), kBlock, 0.3f);
        return b;
    };
    const std::vector<float> continued = run(true, 0), fresh = run(false, 0);
    ASSERT_NE(continued, fresh);
    EXPECT_EQ(run(true, 2), continued); // SetType(2) twice: the memories stay
    EXPECT_EQ(run(true, 3), fresh);     // through type 3 and back: cleared
}

TEST(ModulatedFilter, VoicesOffsetsAndResets) {
    const std::vector<float> input = Noise(4 * kBlock, 4);
    TModulatedFilter a = MakeFilter(), b = MakeFilter();
    a.SetType(6);
    b.SetType(6);
    // An offset of 0.1 at x = 0.4 is the cutoff of x = 0.5; voices keep separate memories.
    a.SetCutoffOffset(2, 0.1f);
    std::vector<float> va = input, vb = input, other = input;
    a.Process(2, va.data(), 2 * kBlock, 0.4f);
    a.Process(3, other.data(), 2 * kBlock, 0.9f);
    a.Process(2, va.data() + 2 * kBlock, 2 * kBlock, 0.4f);
    b.Process(0, vb.data(), 4 * kBlock, 0.5f);
    EXPECT_EQ(va, vb);
    EXPECT_EQ(a.CutoffOffset(2), 0.1f);

    // ResetVoice clears the memories and the offset; SetVoiceCount clears every voice.
    a.ResetVoice(2);
    EXPECT_EQ(a.CutoffOffset(2), 0.0f);
    std::vector<float> again = input, once = input;
    a.Process(2, again.data(), kBlock, 0.5f);
    TModulatedFilter c = MakeFilter();
    c.SetType(6);
    c.Process(2, once.data(), kBlock, 0.5f);
    EXPECT_EQ(again, once);
    c.SetCutoffOffset(2, 0.3f);
    c.SetVoiceCount(16);
    EXPECT_EQ(c.VoiceCount(), 16);
    EXPECT_EQ(c.CutoffOffset(2), 0.0f);
}

TEST(ModulatedFilter, OutOfRangeCallsAreIgnoredAndProcessAllocatesNothing) {
    TModulatedFilter filter = MakeFilter();
    filter.SetType(3);
    const std::vector<float> input = Noise(kBlock, 6);
    std::vector<float> buffer = input;
    test::ScopedAllocationCounter allocations;
    for (int voice : {-1, 8, 255, 256, 100000}) {
        filter.ResetVoice(voice);
        filter.SetCutoffOffset(voice, 1.0f);
        EXPECT_EQ(filter.CutoffOffset(voice), 0.0f);
        filter.Process(voice, buffer.data(), kBlock, 0.5f);
    }
    filter.Process(0, nullptr, kBlock, 0.5f);
    filter.Process(0, buffer.data(), 0, 0.5f);
    filter.Process(0, buffer.data(), -5, 0.5f);
    EXPECT_EQ(buffer, input);
    filter.Process(0, buffer.data(), kBlock, 0.5f);
    EXPECT_EQ(allocations.Count(), 0u);
    EXPECT_NE(buffer, input);

    filter.SetVoiceCount(0);
    EXPECT_EQ(filter.VoiceCount(), 1);
    filter.SetVoiceCount(1000);
    EXPECT_EQ(filter.VoiceCount(), 256);
}

// Settings changed from another thread (a chunk restore) while the audio thread filters: no data race under
// ThreadSanitizer, and the output stays finite.
TEST(ModulatedFilterConcurrency, SettingsChangeWhileAudioFilters) {
    TModulatedFilter filter = MakeFilter();
    filter.SetType(2);
    std::atomic<bool> stop{false};
    std::atomic<int> notFinite{0};
    std::atomic<int> rounds{0};
    std::thread audio([&] {
        std::vector<float> buffer = Noise(kBlock, 8);
        int voice = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            filter.ResetVoice(voice);
            filter.SetCutoffOffset(voice, 0.01f);
            for (int block = 0; block < 8; ++block) {
                filter.Process(voice, buffer.data(), kBlock, 0.5f);
                for (float& s : buffer) {
                    notFinite += std::isfinite(s) ? 0 : 1;
                    s = std::clamp(s, -1.0f, 1.0f);
                }
            }
            voice = (voice + 1) % 8;
            ++rounds;
        }
    });
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; std::chrono::steady_clock::now() - start < std::chrono::milliseconds(200); ++i) {
        filter.SetType(1 + i % 12);
        filter.SetResonance(static_cast<float>(i % 7) / 10.0f);
        filter.SetDryGain(static_cast<float>(i % 3) / 3.0f);
        if (i % 100 == 0) filter.SetVoiceCount(8 + i % 3);
        if (i % 16 == 0) std::this_thread::yield();
    }
    stop = true;
    audio.join();
    EXPECT_GT(rounds.load(), 10);
    EXPECT_EQ(notFinite.load(), 0);
}

} // namespace
} // namespace quillon
