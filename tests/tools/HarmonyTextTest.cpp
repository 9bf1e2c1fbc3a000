// Harmony text files (.qh): what `quillon harmony text` writes reads back as the same frames, and a file
// with a mistake is refused with its line.
#include "HarmonyText.h"
#include "core/TProgramBank.h"
#include "files/ParameterIndex.h"
#include "files/TPresetsFileManager.h"
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;

TEST(HarmonyTextTest, AProgramsFramesLoopAndCommentsReadBackUnchanged) {
    TemporaryDirectory dir;
    TProgramBank bank;
    bank.SetFrameCount(0, 2);
    bank.SetFrameTime(0, 1, 0.1f);
    for (int k = 1; k <= 250; ++k) {
        bank.SetLevel(0, 0, k, k <= 3 ? static_cast<std::uint8_t>(6 * k) : 255);
        bank.SetLevel(0, 1, k, k == 7 ? 40 : 255);
        bank.SetPhase(0, 1, k, 128);
    }
    bank.SetPhase(0, 1, 2, 64);
    bank.SetParameter(0, kHarmonyLoopEnable, 1.0f);
    bank.SetHarmonyLoop(0, 0.05f, 0.1f);
    std::vector<std::uint8_t> record(record::kRecordSize);
    bank.CopyRecord(0, record);
    ASSERT_TRUE(TPresetsFileManager().SaveProgram(dir / "p.bpa", TPresetsFileManager::ConstProgramSpan(
                                                                      record.data(), record::kRecordSize)));

    const TToolRun run = RunTool({"harmony", "text", dir / "p.bpa", "-o", dir / "p.qh", "--comment", "from p.bpa"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadText(dir / "p.qh"), "# from p.bpa\n"
                                      "loop 0.05 0.1\n"
                                      "frame 0 6 12 18\n"
                                      "frame 0.1 255 255 255 255 255 255 40\n"
                                      "phases 0.1 128 64\n");
    THarmonyText harmony;
    ASSERT_EQ(ReadHarmonyText(dir / "p.qh", harmony), std::nullopt);
    ASSERT_EQ(harmony.frames.size(), 2u);
    for (int f = 0; f < 2; ++f)
        for (int k = 1; k <= 250; ++k) {
            EXPECT_EQ(harmony.frames[f].levels[k], bank.Level(0, f, k)) << f << " " << k;
            EXPECT_EQ(harmony.frames[f].phases[k], bank.Phase(0, f, k)) << f << " " << k;
        }
    EXPECT_EQ(harmony.frames[1].time, 0.1f);
    EXPECT_EQ(harmony.loop, std::make_pair(0.05f, 0.1f));
    EXPECT_EQ(harmony.comments, std::vector<std::string>{"from p.bpa"});
    EXPECT_EQ(FormatHarmonyText(harmony), ReadText(dir / "p.qh"));
}

TEST(HarmonyTextTest, MistakesAreRefusedWithTheirLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"# c\nframe 0 1 2 256\n", "t.qh:2: harmonic 3: '256' is not a byte"},
        {"frame 0 1\nframe 0 2\n", "t.qh:2: a second frame at 0 s (the first is on line 1)"},
        {"frame 0 1\nphases 1 2\n", "t.qh:2: phases for 1 s: no frame at that time"},
        {"frame -1 1\n", "t.qh:1: frame needs a TIME"},
        {"loop 2 1\nframe 0\n", "t.qh:1: loop needs START END"},
        {"frame 0\nwave 1\n", "t.qh:2: unknown statement 'wave'"},
        {"# only a comment\n", "t.qh:1: no frames"},
    };
    for (const auto& [content, message] : cases) {
        THarmonyText harmony;
        const auto error = ParseHarmonyText(content, "t.qh", harmony);
        ASSERT_TRUE(error) << content;
        EXPECT_EQ(error->rfind(message, 0), 0u) << *error;
    }
}

} // namespace
} // namespace quillon
