// The synthesizer's MIDI handler routing controllers, learned parameters, the hold-2 pedal and program
// changes into a real plug-in object.
#include "core/TCustomMidiHandler.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "engine/TEnvelopeHolder.h"
#include "engine/TModulationAssignment.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace quillon;
using namespace vst2;

namespace {

using M = TModulationAssignment;

std::atomic<int> gDisplayUpdates{0};

// The fake host, counting the display updates the plug-in asks for.
VstIntPtr CountingHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (opcode == audioMasterUpdateDisplay) ++gDisplayUpdates;
    return test::FakeHost::Callback(effect, opcode, index, value, ptr, opt);
}

class CustomMidiHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        gDisplayUpdates = 0;
        plugin = new TCustomVSTMidiPlugin(CountingHost);
        handler = std::make_unique<TCustomMidiHandler>(*plugin);
    }
    void TearDown() override {
        handler.reset();
        plugin->getAeffect()->dispatcher(plugin->getAeffect(), effClose, 0, 0, nullptr, 0.0f);
    }
    void Send(int status, int d1, int d2) {
        handler->QueueEvent(0, static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(d1),
                            static_cast<std::uint8_t>(d2), 0, 0);
        handler->DispatchUntil(0);
    }
    // The source value of a row, read through the routing's goal: the row alone on the filter cut-off
    // target, divided by the goal of a unit source.
    float Source(int row, int status, int d1, int d2) {
        M& routing = plugin->Routing();
        for (int r = 0; r < M::kRowCount; ++r)
            routing.SetTarget(r, r == row ? M::kTargetFilterCutoff : M::kTargetOff);
        routing.SetAmount(row, 1.0f);
        routing.SetSourceValue(row, 1.0f);
        const float unit = routing.Goal(M::kTargetFilterCutoff);
        Send(status, d1, d2);
        return routing.Goal(M::kTargetFilterCutoff) / unit;
    }

    test::FakeHost host;
    TCustomVSTMidiPlugin* plugin = nullptr;
    std::unique_ptr<TCustomMidiHandler> handler;
};

TEST_F(CustomMidiHandlerTest, ControllersSetTheRoutingSources) {
    EXPECT_FLOAT_EQ(Source(M::kRowAftertouch, 0xD0, 127, 0), 1.0f);
    EXPECT_FLOAT_EQ(Source(M::kRowAftertouch, 0xA0, 60, 0), 0.0f);
    EXPECT_FLOAT_EQ(Source(M::kRowPitchBend, 0xE0, 0x00, 0x40), 0.0f);
    EXPECT_FLOAT_EQ(Source(M::kRowPitchBend, 0xE0, 0, 0), -1.0f);
    EXPECT_FLOAT_EQ(Source(M::kRowPitchBend, 0xE0, 127, 127), 8191.0f / 8192.0f);
    EXPECT_FLOAT_EQ(Source(M::kRowModWheel, 0xB0, 1, 127), 1.0f);
    EXPECT_FLOAT_EQ(Source(M::kRowBreath, 0xB0, 2, 64), 64.0f / 127.0f);
    EXPECT_FLOAT_EQ(Source(M::kRowExpression, 0xB0, 11, 0), -1.0f);
    EXPECT_FLOAT_EQ(Source(M::kRowExpression, 0xB0, 11, 96), 0.5f);
    EXPECT_FLOAT_EQ(Source(M::kRowSoftPedal, 0xB0, 67, 127), 1.0f);
}

TEST_F(CustomMidiHandlerTest, FullPitchBendMovesTheDefaultProgramTwoSemitones) {
    // The fresh program bends pitch by 1/6 octave per unit source.
    Send(0xE0, 0, 0);
    EXPECT_NEAR(plugin->Routing().Goal(M::kTargetPitch) * 12.0f, -2.0f, 1e-4f);
    Send(0xE0, 127, 127);
    EXPECT_NEAR(plugin->Routing().Goal(M::kTargetPitch) * 12.0f, 2.0f * 8191.0f / 8192.0f, 1e-4f);
    EXPECT_LT(plugin->Routing().Goal(M::kTargetPitch) * 12.0f, 2.0f);
}

TEST_F(CustomMidiHandlerTest, LearnedControllersAutomateTheirParameter) {
    constexpr int kParameter = 26;
    handler->SetAssignment(7, kParameter);
    Send(0xB0, 7, 127);
    EXPECT_EQ(plugin->getParameter(kParameter), 1.0f);
    EXPECT_EQ(host.automateCalls.load(), 1);
    EXPECT_EQ(host.lastAutomatedIndex.load(), kParameter);
    Send(0xB0, 7, 64);
    EXPECT_EQ(plugin->getParameter(kParameter), 0.5f);
    Send(0xB0, 7, 0);
    EXPECT_EQ(plugin->getParameter(kParameter), 0.0f);
    // An entry beyond the parameter table moves nothing.
    handler->SetAssignment(8, 5000);
    Send(0xB0, 8, 100);
    EXPECT_EQ(host.automateCalls.load(), 3);
}

TEST_F(CustomMidiHandlerTest, Hold2SetsTheAmplitudeReleaseTime) {
    handler->SetReleaseTime(0.3f);
    handler->SetHold2ReleaseTime(2.5f);
    Send(0xB0, 69, 127);
    EXPECT_FLOAT_EQ(plugin->Envelope(0).ReleaseTime(), 2.5f);
    Send(0xB0, 69, 0);
    EXPECT_FLOAT_EQ(plugin->Envelope(0).ReleaseTime(), 0.3f);
}

TEST_F(CustomMidiHandlerTest, ProgramChangeSwitchesProgramAndUpdatesTheHostDisplay) {
    Send(0xC0, 5, 0);
    EXPECT_EQ(plugin->CurrentProgram(), 5);
    EXPECT_TRUE(plugin->ProgramNeedsApply());
    EXPECT_EQ(gDisplayUpdates.load(), 1);
}

} // namespace
