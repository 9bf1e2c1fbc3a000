// A host's GUI thread changing programs, parameters and whole banks while its audio thread renders with
// MIDI. Runs under ThreadSanitizer in CI: any data race fails it. The audio thread must not allocate.
#include "core/ParameterTable.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "support/AllocationCounter.h"
#include "support/FakeHost.h"
#include "support/MidiEvents.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

// Events handed over without allocating on the audio thread.
struct EventBlock {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[8] = {};
};

using test::Midi;

} // namespace

TEST(HostThreadStress, ProgramsParametersAndChunksWhileRenderingWithMidi) {
    test::FakeHost host;
    host.reportTime = true;
    auto* plugin = new TCustomVSTMidiPlugin(test::FakeHost::Callback);
    AEffect* effect = plugin->getAeffect();
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> audioAllocations{0};
    std::atomic<int> blocks{0};

    std::thread audio([&] {
        std::vector<float> l(256), r(256);
        float* outputs[2] = {l.data(), r.data()};
        VstMidiEvent events[6];
        EventBlock block;
        // Warm-up outside the counted region (first-use allocations of the runtime, if any).
        effect->processReplacing(effect, nullptr, outputs, 256);
        test::ScopedAllocationCounter counter;
        for (int n = 0; !stop.load(std::memory_order_relaxed); ++n) {
            const int note = 48 + n % 24;
            events[0] = Midi(3, 0x90, note, 100);
            events[1] = Midi(40, 0x80, note - 5, 0);
            events[2] = Midi(70, 0xB0, 64, (n & 8) ? 127 : 0); // sustain
            events[3] = Midi(90, 0xE0, 0, (n * 7) & 127);      // pitch bend
            events[4] = Midi(120, 0xB0, 1, n & 127);           // modulation wheel
            events[5] = Midi(200, 0x90, note + 7, 0);          // velocity 0: note-off
            block.numEvents = 6;
            for (int i = 0; i < 6; ++i)
                block.events[i] = reinterpret_cast<VstEvent*>(&events[i]);
            effect->dispatcher(effect, effProcessEvents, 0, 0, &block, 0.0f);
            effect->processReplacing(effect, nullptr, outputs, 256);
            ++blocks;
        }
        audioAllocations = counter.Count();
    });

    // A program file to load while audio runs, and a harmony that the editing operations change.
    test::TemporaryDirectory folder;
    const std::string programFile = folder / "stress.bpa";
    ASSERT_TRUE(plugin->SaveProgramFile(programFile));
    plugin->FillHarmonics(0, 0);

    std::mt19937 random(99);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    void* chunkData = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (int i = 0; std::chrono::steady_clock::now() < deadline; ++i) {
        effect->setParameter(effect, static_cast<VstInt32>(random() % kParameterCount), value(random));
        if (i % 50 == 0)
            effect->dispatcher(effect, effSetProgram, 0, static_cast<VstIntPtr>(random() % 128), nullptr, 0.0f);
        if (i % 200 == 0) {
            const VstIntPtr size = effect->dispatcher(effect, effGetChunk, 1, 0, &chunkData, 0.0f);
            std::vector<std::uint8_t> chunk(static_cast<const std::uint8_t*>(chunkData),
                                            static_cast<const std::uint8_t*>(chunkData) + size);
            EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 1, size, chunk.data(), 0.0f), 1);
        }
        if (i % 1000 == 999) {
            const VstIntPtr size = effect->dispatcher(effect, effGetChunk, 0, 0, &chunkData, 0.0f);
            std::vector<std::uint8_t> chunk(static_cast<const std::uint8_t*>(chunkData),
                                            static_cast<const std::uint8_t*>(chunkData) + size);
            EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 0, size, chunk.data(), 0.0f), 1);
        }
        if (i % 300 == 150) {
            EXPECT_TRUE(plugin->LoadProgramFile(programFile));
        }
        if (i % 100 == 50) {
            plugin->FillHarmonics(0, static_cast<int>(random() % 11));
            plugin->SetHarmonicLevel(0, 3, static_cast<int>(random() % 256));
            plugin->InsertEnvelopePoint(0, 1, 0.1f, 0.5f);
            plugin->DeleteEnvelopePoint(0, 1);
        }
        if (i % 20 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), 10);
    EXPECT_EQ(audioAllocations.load(), 0u);
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}
