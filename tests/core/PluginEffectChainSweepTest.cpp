// The plug-in's effect chain driven through the VST 2 interface as a host drives it: a saw chord sounding with
// delay, chorus, phaser and reverb switched on, every effect parameter (76 … 105) jumping between processing
// calls, the host's tempo and position changing, and the sample rate changing while the plug-in is suspended.
// Processing must never allocate and the output must stay finite; under AddressSanitizer this also proves that
// no effect reads or writes outside its lines.
#include "core/ParameterTable.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicReverbEffect.h"
#include "support/AllocationCounter.h"
#include "support/PluginFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

constexpr int kMaxBlock = 1024;

class PluginEffectChainSweep : public test::TPluginFixture {
protected:
    void SetUp() override {
        host.reportTime = true;
        Create(); // offline: program switches finish within the call that starts them
        left.assign(kMaxBlock, 0.0f);
        right.assign(kMaxBlock, 0.0f);
        // A saw in the first frame of slot 0: harmonic k at 1/k, written as −40·log10 of 1/(k·π).
        for (int k = 1; k <= 250; ++k) {
            const double level = std::nearbyint(-40.0 * std::log10(1.0 / (k * std::numbers::pi)));
            plugin->Programs().SetLevel(0, 0, k, static_cast<std::uint8_t>(level));
        }
        for (const int on : {kDelayEnable, kChorusEnable, kPhaserEnable, kReverbEnable})
            effect->setParameter(effect, on, 1.0f);
        Dispatch(effMainsChanged, 0, 1);
    }
    // Note-ons (velocity 100) or note-offs at the start of the next block.
    void SendNotes(const std::vector<int>& notes, bool on) {
        std::vector<VstMidiEvent> events;
        for (const int note : notes)
            events.push_back(test::Midi(0, on ? 0x90 : 0x80, note, on ? 100 : 0));
        test::TMidiEventBlock block(std::move(events));
        Dispatch(effProcessEvents, 0, 0, block.Events());
    }

    // Renders one block and returns the allocations processReplacing made; fails on a non-finite sample.
    std::uint64_t Render(int frames) {
        float* outputs[2] = {left.data(), right.data()};
        const test::ScopedAllocationCounter counter;
        effect->processReplacing(effect, nullptr, outputs, frames);
        const std::uint64_t allocations = counter.Count();
        for (int i = 0; i < frames; ++i) {
            const auto s = static_cast<std::size_t>(i);
            EXPECT_TRUE(std::isfinite(left[s]) && std::isfinite(right[s])) << "frame " << i;
            if (!std::isfinite(left[s]) || !std::isfinite(right[s])) break;
            energy += static_cast<double>(left[s]) * left[s] + static_cast<double>(right[s]) * right[s];
        }
        host.time.samplePos += frames;
        return allocations;
    }

    double energy = 0.0; // of everything rendered since it was last cleared
};

TEST_F(PluginEffectChainSweep, EffectParametersJumpingWhileNotesSoundNeverAllocateOrLeaveTheBuffers) {
    std::mt19937 random(76105);
    const auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const auto value = [&] {
        const int r = pick(0, 5);
        return r == 0 ? 0.0f : r == 1 ? 1.0f : std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    };
    const std::vector<int> chord = {36, 48, 55, 60, 64, 67, 72, 79};

    // The first call prepares the program; from the second on the engine renders.
    Render(16);
    ASSERT_FALSE(plugin->ProgramChangePending());

    std::uint64_t allocations = 0;
    for (const float rate : {44100.0f, 96000.0f, 22050.0f, 48000.0f, 8000.0f, 192000.0f, 44100.0f}) {
        SCOPED_TRACE(rate);
        // A host changes the rate only while the plug-in is switched off.
        Dispatch(effMainsChanged, 0, 0);
        Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        Dispatch(effMainsChanged, 0, 1);
        host.time.sampleRate = rate;

        SendNotes(chord, true);
        energy = 0.0;
        for (int block = 0; block < 150; ++block) {
            for (int changes = pick(1, 4); changes > 0; --changes) {
                int index = pick(kChorusEnable, kReverbLevel);
                // The four switches stay on, so that every effect runs in every block.
                if (index == kDelayEnable || index == kChorusEnable || index == kPhaserEnable || index == kReverbEnable)
                    index = pick(0, 1) == 0 ? kReverbSize : kDelayTime;
                const float v = value();
                const test::ScopedAllocationCounter counter; // hosts may set parameters on the audio thread
                effect->setParameter(effect, index, v);
                allocations += counter.Count();
            }
            if (pick(0, 7) == 0) {
                host.time.tempo = std::uniform_real_distribution<double>(20.0, 400.0)(random);
                host.time.samplePos = std::uniform_real_distribution<double>(0.0, 1e7)(random);
            }
            allocations += Render(pick(1, kMaxBlock));
            if (HasFailure()) return;
        }
        EXPECT_GT(energy, 1e-3) << "the chord sounds through the chain";
        SendNotes(chord, false);
        for (int block = 0; block < 20; ++block)
            allocations += Render(kMaxBlock);
    }
    EXPECT_EQ(allocations, 0u);
    // Every effect setting lies inside its buffers after the sweep.
    EXPECT_LE(plugin->Delay().DelayLength(), plugin->Delay().LineLength());
    for (int k = 0; k < TClassicReverbEffect::kLineCount; ++k)
        EXPECT_LT(plugin->Reverb().LineLength(k), plugin->Reverb().AllocatedLength(k)) << "line " << k;
}

} // namespace
