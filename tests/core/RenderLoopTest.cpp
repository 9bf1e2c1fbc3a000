// How the render loop cuts host blocks: sub-blocks of at most 16 frames, cut at event positions, with
// each event dispatched before the sub-block that starts at its frame.
#include "core/ParameterTable.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "midi/TMidiHandler.h"
#include "support/FakeHost.h"
#include "support/MidiEvents.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

// Records the sub-blocks the loop renders and the held voices at each.
class RecordingPlugin : public TCustomVSTMidiPlugin {
public:
    using TCustomVSTMidiPlugin::TCustomVSTMidiPlugin;
    void RenderSubBlock(float* left, float* right, int offset, int frames) override {
        offsets.push_back(offset);
        sizes.push_back(frames);
        heldAtStart.push_back(MidiHandler().VoiceState(0) == 1);
        TCustomVSTMidiPlugin::RenderSubBlock(left, right, offset, frames);
    }
    std::vector<int> offsets, sizes;
    std::vector<bool> heldAtStart;
};

class RenderLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.processLevel = kVstProcessLevelOffline;
        plugin = new RecordingPlugin(test::FakeHost::Callback);
        effect = plugin->getAeffect();
        Process(16); // the initial program switch
        plugin->offsets.clear();
        plugin->sizes.clear();
        plugin->heldAtStart.clear();
    }
    void TearDown() override { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }
    void Process(int frames) {
        std::vector<float> l(static_cast<std::size_t>(frames)), r(static_cast<std::size_t>(frames));
        float* outputs[2] = {l.data(), r.data()};
        effect->processReplacing(effect, nullptr, outputs, frames);
    }
    void Send(std::initializer_list<VstMidiEvent> events) {
        test::TMidiEventBlock block(events);
        effect->dispatcher(effect, effProcessEvents, 0, 0, block.Events(), 0.0f);
    }
    static VstMidiEvent Midi(int frame, int status, int data1, int data2) {
        return test::Midi(frame, status, data1, data2);
    }

    test::FakeHost host;
    RecordingPlugin* plugin = nullptr;
    AEffect* effect = nullptr;
};

} // namespace

TEST_F(RenderLoopTest, BlocksWithoutEventsAreCutIntoSixteenFrames) {
    Process(100);
    EXPECT_EQ(plugin->sizes, (std::vector<int>{16, 16, 16, 16, 16, 16, 4}));
    EXPECT_EQ(plugin->offsets, (std::vector<int>{0, 16, 32, 48, 64, 80, 96}));
}

TEST_F(RenderLoopTest, AnEventCutsTheBlockAtItsFrame) {
    Send({Midi(5, 0x90, 60, 100)});
    Process(32);
    EXPECT_EQ(plugin->sizes, (std::vector<int>{5, 16, 11}));
    EXPECT_EQ(plugin->heldAtStart, (std::vector<bool>{false, true, true})); // the voice starts at frame 5
}

TEST_F(RenderLoopTest, UnsortedEventsAreDispatchedInFrameOrder) {
    Send({Midi(20, 0x80, 60, 0), Midi(3, 0x90, 60, 100)});
    Process(32);
    EXPECT_EQ(plugin->sizes, (std::vector<int>{3, 16, 1, 12}));
    EXPECT_EQ(plugin->heldAtStart, (std::vector<bool>{false, true, true, false}));
}

TEST_F(RenderLoopTest, EventsBeyondTheBlockWaitForTheirBlock) {
    Send({Midi(40, 0x90, 60, 100)});
    Process(32);
    EXPECT_EQ(plugin->sizes, (std::vector<int>{16, 16}));
    plugin->sizes.clear();
    Process(32);
    EXPECT_EQ(plugin->sizes, (std::vector<int>{8, 16, 8}));
    EXPECT_EQ(plugin->heldAtStart.back(), true);
}

TEST_F(RenderLoopTest, VelocityZeroReleasesTheNote) {
    Send({Midi(0, 0x90, 64, 100), Midi(10, 0x90, 64, 0)});
    Process(32);
    EXPECT_EQ(plugin->MidiHandler().VoiceState(0), 0); // released, still sounding its release
}

TEST_F(RenderLoopTest, PitchBendReachesTheOscillatorAsTwoSemitonesWithTheDefaultProgram) {
    Send({Midi(0, 0xE0, 127, 127)}); // bend fully up
    for (int i = 0; i < 10; ++i)
        Process(512); // the routing ramps over 30 ms
    EXPECT_NEAR(plugin->PitchFactor(), std::exp2(2.0f / 12.0f), 2e-3f);
}
