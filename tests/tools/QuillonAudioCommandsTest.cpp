// Runs the built `quillon wav`, `quillon analyze` and `quillon harmony` as a user would, and reads what
// they wrote with the plug-in's own file readers.
#include "core/TProgramBank.h"
#include "files/THarmonyFileManager.h"
#include "files/TPresetsFileManager.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include "support/ToolRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;

constexpr double kTwoPi = 6.283185307179586;

std::vector<float> Sine(double frequency, double seconds, double amplitude) {
    std::vector<float> x(static_cast<std::size_t>(seconds * 44100));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(amplitude * std::sin(kTwoPi * frequency * static_cast<double>(i) / 44100.0));
    return x;
}

// Slot 0 of the returned bank holds the program file, when it loads.
bool LoadProgram(const std::string& path, TProgramBank& bank) {
    TPresetsFileManager files;
    std::vector<std::uint8_t> record(record::kRecordSize);
    if (!files.LoadProgram(path, TPresetsFileManager::ProgramSpan(record.data(), record::kRecordSize))) return false;
    bank.StoreRecord(0, record);
    return true;
}

class QuillonAudioCommandsTest : public ::testing::Test {
protected:
    TemporaryDirectory dir;
};

TEST_F(QuillonAudioCommandsTest, WavShowsTheFormatAndLevelsAndWritesRawFloats) {
    std::vector<float> stereo;
    for (float v : Sine(1000.0, 0.5, 0.5)) {
        stereo.push_back(v);
        stereo.push_back(v * 0.25f);
    }
    WriteFile(dir / "tone.wav", Pcm16Wave(stereo, 2, 48000));
    const TToolRun run = RunTool({"wav", dir / "tone.wav", "--raw", dir / "tone.f32"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("1 PCM"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Channels:     2"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("48000 Hz"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Bits:         16"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Frames:       22050 (0.459 s)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Channel 1:    peak 0.4999"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("RMS 0.353"), std::string::npos) << run.out; // a sine: peak / √2
    EXPECT_NE(run.out.find("Channel 2:    peak 0.12"), std::string::npos) << run.out;

    const std::string raw = ReadText(dir / "tone.f32");
    ASSERT_EQ(raw.size(), stereo.size() * 4);
    for (std::size_t i = 0; i < stereo.size(); i += 997) {
        float v = 0.0f;
        std::memcpy(&v, raw.data() + 4 * i, 4);
        EXPECT_NEAR(v, stereo[i], 1.0f / 32767.0f) << i;
    }
}

TEST_F(QuillonAudioCommandsTest, WavRefusesWhatTheReaderRefuses) {
    WriteFile(dir / "text.wav", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'});
    TToolRun run = RunTool({"wav", dir / "text.wav", "--raw", dir / "out.f32"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Error 13: Not a wave file!"), std::string::npos) << run.err;
    EXPECT_TRUE(dir.Entries() == std::vector<std::string>{"text.wav"}) << "no raw file for a refused one";
    run = RunTool({"wav", dir / "missing.wav"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("missing.wav"), std::string::npos) << run.err;
}

TEST_F(QuillonAudioCommandsTest, AnalyzeWritesAProgramWithTheFramesItPrints) {
    WriteFile(dir / "a440.wav", Pcm16Wave(Sine(440.0, 2.0, 0.7), 1));
    const TToolRun run = RunTool({"analyze", dir / "a440.wav", "-o", dir / "a440.bpa", "--mode", "soft"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Mode soft: kept 2 frames"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("440.0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("A4"), std::string::npos) << run.out;

    TProgramBank bank;
    ASSERT_TRUE(LoadProgram(dir / "a440.bpa", bank));
    EXPECT_EQ(bank.Name(0), "a440");
    ASSERT_EQ(bank.FrameCount(0), 2);
    EXPECT_EQ(bank.FrameTime(0, 0), 0.0f);
    EXPECT_EQ(bank.Level(0, 0, 1), 12);
    EXPECT_EQ(bank.Level(0, 1, 1), 12);
    EXPECT_GE(bank.Level(0, 1, 2), 150);
}

TEST_F(QuillonAudioCommandsTest, AnalyzeRefusesBadArgumentsAndSilence) {
    WriteFile(dir / "quiet.wav", Pcm16Wave(std::vector<float>(20000, 0.0f), 1));
    TToolRun run = RunTool({"analyze", dir / "quiet.wav", "-o", dir / "quiet.bpa"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Analyze failed. Refer to the manual for help."), std::string::npos) << run.err;
    run = RunTool({"analyze", dir / "quiet.wav", "-o", dir / "quiet.bpa", "--mode", "loud"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--mode 'loud'"), std::string::npos) << run.err;
    run = RunTool({"analyze", dir / "quiet.wav"});
    EXPECT_EQ(run.exitCode, 1);
    run = RunTool({"analyze", dir / "quiet.wav", "-o", dir / "x.bpa", "--name", std::string(25, 'n')});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"quiet.wav"});
}

TEST_F(QuillonAudioCommandsTest, HarmonyMovesFramesBetweenProgramsAndHarmonyFiles) {
    WriteFile(dir / "a.wav", Pcm16Wave(Sine(220.0, 1.5, 0.5), 1));
    ASSERT_EQ(RunTool({"analyze", dir / "a.wav", "-o", dir / "a.bpa"}).exitCode, 0);

    // Export frame 1 of the program.
    TToolRun run = RunTool({"harmony", "export", dir / "a.bpa", "--frame", "1", "-o", dir / "f1.bha"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    THarmonyFileManager exported;
    ASSERT_TRUE(exported.Load(dir / "f1.bha"));
    EXPECT_EQ(exported.levels[0], 255);
    EXPECT_EQ(exported.levels[1], 12);
    EXPECT_EQ(exported.phases[1], 128);

    // Show a small harmony file.
    THarmonyFileManager shape;
    shape.levels.fill(255);
    shape.phases.fill(128);
    shape.levels[1] = 0;
    shape.levels[3] = 19;
    shape.phases[3] = 192;
    ASSERT_TRUE(shape.Save(dir / "shape.bha"));
    run = RunTool({"harmony", "show", dir / "shape.bha"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("2 of 251 harmonics sound"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("       3     19       -9.5    192         90.0"), std::string::npos) << run.out;

    // Import it as frame 0 of a copy of the program.
    run = RunTool({"harmony", "import", dir / "shape.bha", dir / "a.bpa", "-o", dir / "b.bpa"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    TProgramBank bank;
    ASSERT_TRUE(LoadProgram(dir / "b.bpa", bank));
    EXPECT_EQ(bank.Level(0, 0, 1), 0);
    EXPECT_EQ(bank.Level(0, 0, 3), 19);
    EXPECT_EQ(bank.Phase(0, 0, 3), 192);
    EXPECT_EQ(bank.Level(0, 0, 2), 255);
    EXPECT_EQ(bank.Level(0, 1, 1), 12) << "the other frame is untouched";

    // Frames the program does not have, and files that are not harmony files.
    run = RunTool({"harmony", "export", dir / "a.bpa", "--frame", "2", "-o", dir / "f2.bha"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("frames 0..1"), std::string::npos) << run.err;
    run = RunTool({"harmony", "show", dir / "a.wav"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("The file is not a valid Harmony file!"), std::string::npos) << run.err;
    EXPECT_EQ(RunTool({"harmony", "frobnicate"}).exitCode, 1);
}

} // namespace
} // namespace quillon
