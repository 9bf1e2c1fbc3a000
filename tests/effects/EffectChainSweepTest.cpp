// The four effects driven as the render loop drives them (delay, chorus, phaser, reverb on the same stereo
// block), while every setting the plug-in reaches jumps between blocks across its whole range — room size,
// delay time, sync and tempo included — and the sample rate changes between sessions as a host changes it
// while the plug-in is suspended. Process and the setters must never allocate, the output must stay finite,
// and under AddressSanitizer no block may read or write outside a line.
#include "effects/TClassicChorusEffect.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicPhaserEffect.h"
#include "effects/TClassicReverbEffect.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr int kMaxBlock = 512;

struct Chain {
    explicit Chain(float rate) : delay(rate), chorus(0.1f, rate), phaser(rate), reverb(rate) {}

    // The host's sample-rate change and the suspend that surrounds it.
    void SetSampleRate(float rate) {
        chorus.SetSampleRate(rate);
        reverb.SetSampleRate(rate);
        phaser.SetSampleRate(rate);
        delay.SetSampleRate(rate);
        chorus.Reset();
        phaser.Reset();
        delay.Reset();
        reverb.Reset();
    }
    void Process(float* left, float* right, int n) {
        delay.Process(left, right, n);
        chorus.Process(left, right, n);
        phaser.Process(left, right, n);
        reverb.Process(left, right, n);
    }

    TClassicDelayEffect delay;
    TClassicChorusEffect chorus;
    TClassicPhaserEffect phaser;
    TClassicReverbEffect reverb;
};

// Random settings in the engine ranges of the plug-in's parameters, with the ends of each range drawn often.
class Sweeper {
public:
    explicit Sweeper(unsigned seed) : random_(seed) {}

    // Applies one randomly chosen setting.
    void ChangeOne(Chain& c);

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    float Unit() {
        const int end = Pick(0, 5); // 0 and 1 each one time in six
        return end < 2 ? static_cast<float>(end) : std::uniform_real_distribution<float>(0.0f, 1.0f)(random_);
    }
    bool Switch() { return Pick(0, 1) == 1; }
    float Exponential(float low, float high) { return low * std::pow(high / low, Unit()); }
    float Sample() { return std::uniform_real_distribution<float>(-1.0f, 1.0f)(random_); }

private:
    std::mt19937 random_;
};

using Setting = void (*)(Chain&, Sweeper&);
const Setting kSettings[] = {
    [](Chain& c, Sweeper& s) { c.chorus.SetDelay(s.Exponential(0.0005f, 0.05f)); },
    [](Chain& c, Sweeper& s) { c.chorus.SetRate(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.chorus.SetSync(s.Switch()); },
    [](Chain& c, Sweeper& s) { c.chorus.SetDepth(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.chorus.SetSpread(s.Switch()); },
    [](Chain& c, Sweeper& s) { c.chorus.SetFeedback(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.chorus.SetMix(0.5f * s.Unit()); },
    [](Chain& c, Sweeper& s) { c.phaser.SetManual(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.phaser.SetRate(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.phaser.SetSync(s.Switch()); },
    [](Chain& c, Sweeper& s) { c.phaser.SetDepth(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.phaser.SetSpread(s.Switch()); },
    [](Chain& c, Sweeper& s) { c.phaser.SetFeedback(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.phaser.SetMix(0.5f * s.Unit()); },
    [](Chain& c, Sweeper& s) { c.delay.SetTime(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.delay.SetSync(s.Switch()); },
    [](Chain& c, Sweeper& s) { c.delay.SetFeedback(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.delay.SetPingPong(s.Switch()); },
    [](Chain& c, Sweeper& s) { c.delay.SetLowCut(s.Exponential(20.0f, 1000.0f)); },
    [](Chain& c, Sweeper& s) { c.delay.SetHighCut(s.Exponential(1000.0f, 20000.0f)); },
    [](Chain& c, Sweeper& s) { c.delay.SetMix(0.5f * s.Unit()); },
    [](Chain& c, Sweeper& s) { c.reverb.SetSize(s.Exponential(10.0f, 640.0f)); },
    [](Chain& c, Sweeper& s) { c.reverb.SetDamping(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.reverb.SetHighDamping(s.Unit()); },
    [](Chain& c, Sweeper& s) { c.reverb.SetLowCut(s.Exponential(20.0f, 1000.0f)); },
    [](Chain& c, Sweeper& s) { c.reverb.SetMix(0.5f * s.Unit()); },
    // The host's tempo and position, as the plug-in forwards them before a block.
    [](Chain& c, Sweeper& s) {
        const float tempo = s.Exponential(20.0f, 999.0f);
        const auto position = static_cast<double>(s.Pick(0, 1 << 30));
        c.delay.SetTempo(tempo);
        c.chorus.SetTempo(tempo);
        c.chorus.SyncToHost(position);
        c.phaser.SetTempo(tempo);
        c.phaser.SyncToHost(position);
    },
};

void Sweeper::ChangeOne(Chain& c) {
    kSettings[Pick(0, static_cast<int>(std::size(kSettings)) - 1)](c, *this);
}

// Every line length an effect reports lies inside its buffer.
void ExpectLengthsInsideBuffers(const Chain& c) {
    EXPECT_GE(c.delay.DelayLength(), 1);
    EXPECT_LE(c.delay.DelayLength(), c.delay.LineLength());
    for (int k = 0; k < TClassicReverbEffect::kLineCount; ++k) {
        EXPECT_GE(c.reverb.LineLength(k), 1) << "line " << k;
        EXPECT_LT(c.reverb.LineLength(k), c.reverb.AllocatedLength(k)) << "line " << k;
    }
    EXPECT_LT(c.chorus.BaseDelay() + c.chorus.Swing(), static_cast<float>(c.chorus.LineLength()));
}

// One session at a fixed rate: blocks of 1 … 512 frames of loud noise, one to three setting changes between
// blocks. Returns the allocations made by the setters and by Process.
std::uint64_t RunSession(Chain& chain, Sweeper& sweeper, int blocks) {
    std::vector<float> left(kMaxBlock), right(kMaxBlock);
    std::uint64_t allocations = 0;
    for (int b = 0; b < blocks; ++b) {
        const int n = sweeper.Pick(0, 3) == 0 ? sweeper.Pick(1, 4) : sweeper.Pick(1, kMaxBlock);
        for (int i = 0; i < n; ++i) {
            left[static_cast<std::size_t>(i)] = sweeper.Sample();
            right[static_cast<std::size_t>(i)] = sweeper.Sample();
        }
        {
            const test::ScopedAllocationCounter counter;
            for (int changes = sweeper.Pick(1, 3); changes > 0; --changes)
                sweeper.ChangeOne(chain);
            chain.Process(left.data(), right.data(), n);
            allocations += counter.Count();
        }
        for (int i = 0; i < n; ++i) {
            const auto s = static_cast<std::size_t>(i);
            if (!std::isfinite(left[s]) || !std::isfinite(right[s])) {
                ADD_FAILURE() << "block " << b << ", frame " << i << " is not finite";
                return allocations;
            }
        }
    }
    ExpectLengthsInsideBuffers(chain);
    return allocations;
}

TEST(EffectChainSweep, SettingsJumpingDuringPlaybackStayInsideTheBuffersWithoutAllocating) {
    Sweeper sweeper(2024);
    // One chain is re-rated session after session, as the plug-in's is; a second one is built at each rate,
    // so that its buffers are exactly as large as that rate needs (the re-rated chain may keep larger ones).
    Chain running(44100.0f);
    for (const float rate : {44100.0f, 96000.0f, 22050.0f, 192000.0f, 8000.0f, 48000.0f, 11025.0f, 44100.0f}) {
        SCOPED_TRACE(rate);
        running.SetSampleRate(rate);
        ExpectLengthsInsideBuffers(running);
        EXPECT_EQ(RunSession(running, sweeper, 300), 0u);

        const auto fresh = std::make_unique<Chain>(rate);
        EXPECT_EQ(RunSession(*fresh, sweeper, 300), 0u);
    }
}

// The largest size and the longest delay make every line run through its whole buffer; the smallest make the
// positions wrap at a fraction of it. Alternating between the two at every block leaves positions beyond the
// new lengths over and over; holding the longest for 6 s in between takes every position to the last element
// of its buffer and wraps it there.
TEST(EffectChainSweep, LongestAndShortestLinesAlternatingEveryBlock) {
    for (const float rate : {44100.0f, 8000.0f, 192000.0f}) {
        SCOPED_TRACE(rate);
        auto chain = std::make_unique<Chain>(rate);
        chain->delay.SetSync(false);
        chain->delay.SetFeedback(1.0f);
        chain->chorus.SetDepth(1.0f);
        std::vector<float> left(kMaxBlock), right(kMaxBlock);
        const test::ScopedAllocationCounter counter;
        const int second = static_cast<int>(rate) / kMaxBlock; // blocks
        for (int b = 0; b < 10 * second; ++b) {
            const bool large = (b >= 2 * second && b < 8 * second) || b % 2 == 0;
            chain->reverb.SetSize(large ? 640.0f : 0.625f);
            chain->delay.SetTime(large ? 1.0f : 0.0f);
            chain->chorus.SetDelay(large ? 0.05f : 0.0005f);
            std::fill(left.begin(), left.end(), 0.5f);
            std::fill(right.begin(), right.end(), -0.5f);
            chain->Process(left.data(), right.data(), kMaxBlock);
        }
        EXPECT_EQ(counter.Count(), 0u);
        for (std::size_t i = 0; i < left.size(); ++i)
            ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << i;
    }
}

} // namespace
} // namespace quillon
