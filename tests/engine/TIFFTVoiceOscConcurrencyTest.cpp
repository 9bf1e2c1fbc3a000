// An editor thread edits the harmony as fast as it can while an audio thread applies the edits and renders
// eight voices block after block. Run under ThreadSanitizer this shows the hand-over free of data races;
// the allocation counter shows that the audio thread never allocates.
#include "engine/TIFFTVoiceOsc.h"

#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace quillon {
namespace {

TEST(VoiceOscConcurrency, EditorEditsWhileTheAudioThreadRenders) {
    constexpr int kVoices = 8;
    constexpr int kBlock = 16;
    TIFFTVoiceOsc osc(kVoices, 44100.0f);
    osc.SetFrequencyFactor(1.0f);
    osc.SetUnisonCount(4);
    osc.SetUnisonSpread(1.02f);
    osc.SetLoopEnabled(true);
    osc.SetLoopStart(0.01f);
    osc.SetLoopEnd(0.2f);

    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<bool> badSample{false};
    std::uint64_t audioAllocations = 0;

    std::thread audio([&] {
        std::vector<float> buffer(kBlock);
        std::mt19937 random(1);
        test::ScopedAllocationCounter counter;
        while (!stop.load(std::memory_order_relaxed)) {
            osc.ApplyEdits();
            for (int v = 0; v < kVoices; ++v) {
                if (random() % 64 == 0) osc.NoteStart(v, false, 55.0f * static_cast<float>(1 + random() % 40));
                std::fill(buffer.begin(), buffer.end(), 0.0f);
                osc.Render(v, buffer.data(), kBlock);
                for (float x : buffer)
                    if (!std::isfinite(x) || std::fabs(x) > 100.0f) badSample.store(true, std::memory_order_relaxed);
            }
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
        audioAllocations = counter.Count();
    });

    std::mt19937 random(2);
    int edits = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    while (std::chrono::steady_clock::now() < end) {
        const int count = osc.FrameCount();
        switch (random() % 6) {
        case 0:
        case 1:
            if (count < 6) {
                const int at = static_cast<int>(random() % static_cast<unsigned>(count + 1));
                osc.InsertFrame(at, 0.03f * static_cast<float>(at));
            }
            break;
        case 2:
            if (count > 0) osc.DeleteFrame(static_cast<int>(random() % static_cast<unsigned>(count)));
            break;
        case 3:
            if (count > 0)
                osc.SetFrameTime(static_cast<int>(random() % static_cast<unsigned>(count)),
                                 0.001f * static_cast<float>(random() % 300));
            break;
        case 4:
            if (count > 0) {
                const int frame = static_cast<int>(random() % static_cast<unsigned>(count));
                for (int k = 1; k <= 40; ++k)
                    osc.SetHarmonicLevel(frame, k, static_cast<int>(random() % 256));
                osc.RebuildFrame(frame);
            }
            break;
        default:
            if (count > 0) osc.FillPulse(static_cast<int>(random() % static_cast<unsigned>(count)), 25.0f, 60);
            break;
        }
        ++edits;
        if (edits % 16 == 0) osc.CollectGarbage();
    }
    // Let the audio thread take the last edits, then stop it.
    const long seen = blocks.load();
    while (blocks.load() < seen + 4)
        std::this_thread::yield();
    stop.store(true);
    audio.join();
    osc.CollectGarbage();

    EXPECT_GT(edits, 50);
    EXPECT_GT(blocks.load(), 100);
    EXPECT_EQ(audioAllocations, 0u);
    EXPECT_FALSE(badSample.load());
    EXPECT_EQ(osc.AppliedFrameCount(), osc.FrameCount()); // every edit arrived
}

} // namespace
} // namespace quillon
