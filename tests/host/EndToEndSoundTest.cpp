// The built plug-in driven through dlopen like a host: a saw program arrives as a program chunk, a note
// starts at its exact frame, sounds at its pitch and falls silent after its release.
#include "core/TProgramBank.h"
#include "files/ZlibCodec.h"
#include "hostkit/TPluginHost.h"
#include "support/SoundMeasures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

// A program chunk holding a fresh program whose first frame is a sawtooth (harmonic k at 1/(kπ)).
std::vector<std::uint8_t> SawProgramChunk() {
    auto bank = std::make_unique<TProgramBank>();
    for (int k = 1; k <= 250; ++k) {
        const double level = std::nearbyint(-40.0 * std::log10(1.0 / (k * 3.141592654)));
        bank->SetLevel(0, 0, k, static_cast<std::uint8_t>(level > 180.0 ? 255.0 : level));
    }
    std::vector<std::uint8_t> record(record::kRecordSize);
    bank->CopyRecord(0, record);
    return ZlibCompress(record);
}

using test::Rms;

} // namespace

TEST(EndToEndSound, SawNoteThroughTheBinaryInterface) {
    TPluginHost::TSettings settings;
    settings.processLevel = kVstProcessLevelOffline;
    TPluginHost host(settings);
    ASSERT_TRUE(host.Load(QUILLON_PLUGIN_PATH)) << host.Error();
    host.Open();
    host.Resume();
    const auto chunk = SawProgramChunk();
    ASSERT_EQ(host.SetChunk(chunk, true), 1);

    constexpr int kBlock = 512;
    constexpr int kHeld = 44100;
    std::vector<float> left(2 * 44100 + kBlock), right(left.size());
    std::vector<VstMidiEvent> on = {TPluginHost::MidiEvent(37, 0x90, 69, 100)};
    host.SendMidiEvents(on);
    int frame = 0;
    for (; frame < kHeld; frame += kBlock) {
        float* outputs[2] = {&left[static_cast<std::size_t>(frame)], &right[static_cast<std::size_t>(frame)]};
        ASSERT_TRUE(host.ProcessReplacing({}, outputs, kBlock));
    }
    std::vector<VstMidiEvent> off = {TPluginHost::MidiEvent(0, 0x80, 69, 0)};
    host.SendMidiEvents(off);
    for (; frame < 2 * 44100; frame += kBlock) {
        float* outputs[2] = {&left[static_cast<std::size_t>(frame)], &right[static_cast<std::size_t>(frame)]};
        ASSERT_TRUE(host.ProcessReplacing({}, outputs, kBlock));
    }

    // Nothing before frame 37; sound from there on.
    for (int i = 0; i < 37; ++i)
        ASSERT_LT(std::fabs(left[static_cast<std::size_t>(i)]), 1e-9f) << i;
    EXPECT_GT(Rms(left, 37, 256), 1e-3);

    // Pitch from rising zero crossings over 0.5 s of the held note: 440 Hz within 0.5 %.
    EXPECT_NEAR(test::ZeroCrossingPitch(std::span<const float>(left).subspan(4410, 22050), 44100.0), 440.0, 2.2);
    // Key spread at its default (100 %): note 69 sits 5/128 right of centre.
    const double expectedRatio = (0.5 + 5.0 / 128.0) / (0.5 - 5.0 / 128.0);
    EXPECT_NEAR(Rms(right, 4410, 44100 - 4410) / Rms(left, 4410, 44100 - 4410), expectedRatio, 1e-3);

    // The release (0.25 … default) has faded: the last 0.1 s is silent.
    EXPECT_LT(Rms(left, 2 * 44100 - 4410, 4410), 1e-6);
    host.Suspend();
}
