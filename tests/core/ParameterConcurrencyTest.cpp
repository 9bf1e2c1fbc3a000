// Parameters set from a host GUI thread while the audio thread processes: no data race (this test runs
// under ThreadSanitizer in CI), no ramp that stalls, and no ramp that overshoots its range.
#include "core/ParameterTable.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

using namespace quillon;
using namespace vst2;

TEST(ParameterConcurrency, HostThreadSetsWhileAudioThreadRamps) {
    test::FakeHost host;
    auto* plugin = new TCustomVSTMidiPlugin(test::FakeHost::Callback);
    AEffect* effect = plugin->getAeffect();
    // Parameters whose engine actions are plain settings, so random values are safe to push at any time.
    const std::vector<int> indices = {kCutoff,      kResonance,    kMasterLevel, kPan,      kDetune,
                                      kDelayEnable, kFilterEnable, kLfo1Rate,    kLfo1Sync, kChorusDepth,
                                      kDelayTime,   kReverbSize,   kTune};
    std::atomic<bool> stop{false};
    std::atomic<int> outOfRange{0};

    std::thread audio([&] {
        std::vector<float> l(256), r(256);
        float* outputs[2] = {l.data(), r.data()};
        while (!stop.load(std::memory_order_relaxed)) {
            effect->processReplacing(effect, nullptr, outputs, 256);
            for (int index : indices) {
                const ParameterSpec& spec = ParameterTable::Spec(index);
                const double lo = std::min(spec.engineMin, spec.engineMax),
                             hi = std::max(spec.engineMin, spec.engineMax);
                const float v = plugin->ParamCurrent(index);
                if (v < lo - 1e-4 * (hi - lo) || v > hi + 1e-4 * (hi - lo)) ++outOfRange;
            }
        }
    });

    std::mt19937 random(1234);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const int index = indices[random() % indices.size()];
        effect->setParameter(effect, index, value(random));
        effect->getParameter(effect, index);
        effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0.0f);
        if (i % 100 == 0) effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        if (i % 16 == 0) std::this_thread::yield();
    }
    // Final values, then let every ramp run out.
    for (int index : indices)
        effect->setParameter(effect, index, 0.25f);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    audio.join();

    std::vector<float> l(512), r(512);
    float* outputs[2] = {l.data(), r.data()};
    for (int done = 0; done < 2 * plugin->RampLength(); done += 512)
        effect->processReplacing(effect, nullptr, outputs, 512);
    EXPECT_EQ(outOfRange.load(), 0);
    for (int index : indices)
        EXPECT_FLOAT_EQ(plugin->ParamCurrent(index), static_cast<float>(ParameterTable::EngineValue(index, 0.25f)))
            << index;
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}
