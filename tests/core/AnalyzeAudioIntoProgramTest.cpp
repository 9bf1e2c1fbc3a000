// The audio import of the plug-in: a WAV file analysed into the current program's harmony frames, and the
// round trip from a harmony through Quillon's own sound back to the harmony.
#include "core/TCustomVSTMidiPlugin.h"
#include "support/PluginFixture.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quillon {
namespace {

using namespace vst2;

constexpr double kTwoPi = 6.283185307179586;
constexpr int kRate = 44100;

std::vector<float> Tone(double frequency, double seconds, std::initializer_list<double> harmonics) {
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < x.size(); ++i) {
        double v = 0.0;
        int k = 1;
        for (double a : harmonics)
            v += a * std::sin(kTwoPi * frequency * k++ * static_cast<double>(i) / kRate);
        x[i] = static_cast<float>(v);
    }
    return x;
}

class AnalyzeAudioIntoProgramTest : public test::TPluginFixture {
protected:
    void SetUp() override { Create(); }
    std::string Write(const test::Bytes& bytes) {
        const std::string path = dir / ("in" + std::to_string(files++) + ".wav");
        test::WriteFile(path, bytes);
        return path;
    }
    TProgramBank& Bank() { return plugin->Programs(); }
    int Slot() { return plugin->CurrentProgram(); }

    test::TemporaryDirectory dir;
    int files = 0;
};

TEST_F(AnalyzeAudioIntoProgramTest, SineBecomesTwoFramesOfTheCurrentProgram) {
    plugin->setProgram(5);
    Process(64);
    Bank().SetLevel(5, 0, 0, 77); // the DC entry is not the analyser's
    const std::vector<std::uint8_t> before(Bank().RecordBytes(0).begin(), Bank().RecordBytes(0).end());

    ASSERT_TRUE(plugin->AnalyzeAudioIntoProgram(Write(test::Pcm16Wave(Tone(440.0, 2.0, {0.4}), 1)), 1));
    EXPECT_TRUE(prompt->messages.empty());
    ASSERT_EQ(Bank().FrameCount(5), 2);
    EXPECT_EQ(Bank().FrameTime(5, 0), 0.0f);
    EXPECT_GT(Bank().FrameTime(5, 1), 1.0f);
    for (int frame = 0; frame < 2; ++frame) {
        EXPECT_EQ(Bank().Level(5, frame, 1), 12) << frame;
        for (int k = 2; k < 251; ++k)
            EXPECT_GE(Bank().Level(5, frame, k), 150) << "frame " << frame << " harmonic " << k;
        for (int k = 1; k < 251; ++k)
            EXPECT_EQ(Bank().Phase(5, frame, k), 128);
    }
    EXPECT_EQ(Bank().Level(5, 0, 0), 77);
    EXPECT_TRUE(plugin->ProgramNeedsApply());
    EXPECT_TRUE(plugin->BankModified(0));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), Bank().RecordBytes(0).begin())) << "only slot 5 changes";
}

TEST_F(AnalyzeAudioIntoProgramTest, TheModeChoosesHowMuchDetailIsKept) {
    // Harmonics that swap places every 80 ms.
    std::vector<float> x;
    for (int part = 0; part < 20; ++part) {
        const std::vector<float> piece = part % 2 ? Tone(262.0, 0.08, {0.2, 0.5}) : Tone(262.0, 0.08, {0.5, 0.0, 0.2});
        x.insert(x.end(), piece.begin(), piece.end());
    }
    const std::string path = Write(test::FloatWave(x, 1));
    ASSERT_TRUE(plugin->AnalyzeAudioIntoProgram(path, 0));
    const int dynamic = Bank().FrameCount(Slot());
    ASSERT_TRUE(plugin->AnalyzeAudioIntoProgram(path, 2));
    const int soft = Bank().FrameCount(Slot());
    EXPECT_GT(dynamic, soft);
    EXPECT_GT(soft, 1);
}

TEST_F(AnalyzeAudioIntoProgramTest, StereoIsAnalysedOnItsFirstChannel) {
    const std::vector<float> left = Tone(330.0, 1.0, {0.5});
    const std::vector<float> right = Tone(330.0, 1.0, {0.2, 0.5, 0.3});
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < left.size(); ++i) {
        interleaved.push_back(left[i]);
        interleaved.push_back(right[i]);
    }
    ASSERT_TRUE(plugin->AnalyzeAudioIntoProgram(Write(test::FloatWave(interleaved, 2)), 1));
    EXPECT_EQ(Bank().Level(Slot(), 0, 1), 12);
    EXPECT_GE(Bank().Level(Slot(), 0, 2), 150);
    EXPECT_GE(Bank().Level(Slot(), 0, 3), 150);
}

TEST_F(AnalyzeAudioIntoProgramTest, NothingFoundLeavesTheProgramAndSaysSo) {
    Process(64);
    const std::vector<std::uint8_t> before(Bank().RecordBytes(Slot()).begin(), Bank().RecordBytes(Slot()).end());
    EXPECT_FALSE(plugin->AnalyzeAudioIntoProgram(Write(test::Pcm16Wave(std::vector<float>(40000, 0.0f), 1)), 1));
    EXPECT_FALSE(plugin->AnalyzeAudioIntoProgram(Write(test::Pcm16Wave(Tone(440.0, 0.05, {0.5}), 1)), 1));
    EXPECT_EQ(prompt->messages, (std::vector<std::string>{"Analyze failed. Refer to the manual for help.",
                                                          "Analyze failed. Refer to the manual for help."}));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), Bank().RecordBytes(Slot()).begin()));
    EXPECT_FALSE(plugin->ProgramNeedsApply());
    EXPECT_FALSE(plugin->BankModified(0));
}

TEST_F(AnalyzeAudioIntoProgramTest, RefusedFilesShowTheReadersMessage) {
    EXPECT_FALSE(plugin->AnalyzeAudioIntoProgram(Write({'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}), 1));
    EXPECT_FALSE(plugin->AnalyzeAudioIntoProgram(dir / "missing.wav", 1));
    ASSERT_EQ(prompt->messages.size(), 2u);
    EXPECT_EQ(prompt->messages[0], "Error 13: Not a wave file!");
    EXPECT_NE(prompt->messages[1].find("missing.wav"), std::string::npos);
}

// The round trip: a harmony played by Quillon, recorded and analysed, gives back the harmony. The analyser
// normalises the recording to a peak of 1, so every level comes back moved by 40·log10 of the harmony's
// own peak (the same for all harmonics).
TEST_F(AnalyzeAudioIntoProgramTest, RenderedHarmonyAnalysesBackToItsLevels) {
    const int levels[] = {6, 14, 24, 30, 38, 44}; // harmonics 1 … 6, the rest silent
    const int slot = Slot();
    Bank().SetFrameCount(slot, 1);
    Bank().SetFrameTime(slot, 0, 0.0f);
    for (int k = 0; k < 251; ++k) {
        Bank().SetLevel(slot, 0, k, k >= 1 && k <= 6 ? static_cast<std::uint8_t>(levels[k - 1]) : 255);
        Bank().SetPhase(slot, 0, k, 128);
    }
    plugin->RequestProgramApply();
    Process(512);

    Send({test::Midi(0, 0x90, 57, 127)}); // A3, 220 Hz
    const std::vector<float> recording = RenderLeft(100 * 512);
    ASSERT_TRUE(plugin->AnalyzeAudioIntoProgram(Write(test::FloatWave(recording, 1)), 1));

    double peak = 0.0; // of Σ 2·10^(−level/40)·sin(kθ), one cycle finely sampled
    for (int i = 0; i < 100000; ++i) {
        double v = 0.0;
        for (int k = 1; k <= 6; ++k)
            v += 2.0 * std::pow(10.0, -levels[k - 1] / 40.0) * std::sin(kTwoPi * k * i / 100000.0);
        peak = std::max(peak, std::fabs(v));
    }
    const double shift = 40.0 * std::log10(peak);
    const int frames = Bank().FrameCount(slot);
    ASSERT_GE(frames, 1);
    for (int frame = 0; frame < frames; ++frame)
        for (int k = 1; k <= 6; ++k)
            EXPECT_NEAR(Bank().Level(slot, frame, k), levels[k - 1] + shift, 2.0)
                << "frame " << frame << " harmonic " << k;
    for (int frame = 0; frame < frames; ++frame)
        for (int k = 7; k < 251; ++k)
            EXPECT_GE(Bank().Level(slot, frame, k), 100) << "frame " << frame << " harmonic " << k;
}

} // namespace
} // namespace quillon
