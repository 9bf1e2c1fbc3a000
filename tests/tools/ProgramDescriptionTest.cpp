// Program descriptions compile into the records the plug-in shows as written: values in display units,
// frames from shapes, levels and harmony files, envelopes, routings; the same text always gives the same
// bytes, and a mistake is refused with its line, writing nothing.
#include "ProgramDescription.h"
#include "HarmonyText.h"
#include "core/TProgramBank.h"
#include "files/ParameterIndex.h"
#include "files/ZlibCodec.h"
#include "support/PluginFixture.h"
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;

constexpr const char* kDescription = R"(bank "Test"   # a comment
program "PAD Glass"
  frame 0 levels 1:0 3:-9.5 4:-inf
  frame 0.5 saw harmonics 8 tilt -6 odd -3
  harmony "sub dir/h.qh" from 1 shift 0.25 scale 2
  brighten 0 1
  harmony-loop 0.25 1
  env amp 0:0 0.01:1 2:0.5
  env-loop filter 0.1 0.2
  set Cut-off=2.5 amp.RelTime=1.2 MasLevel=45 FiltType="Lowpass 24" "KB track=25" #107=-5
  set lfo1.Sync=on lfo1.Rate="1 / 8 D" ChoruEna=on
  route modwheel "Filter Cutoff" -50
program "BAS Plain"
)";

class ProgramDescriptionTest : public TPluginFixture {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "sub dir");
        THarmonyText harmony;
        for (const float time : {0.5f, 1.0f, 1.5f}) {
            harmony.frames.push_back(THarmonyTextFrame::Silent(time));
            harmony.frames.back().levels[2] = static_cast<std::uint8_t>(10 * time);
        }
        ASSERT_TRUE(WriteHarmonyText(dir / "sub dir/h.qh", harmony));
    }

    std::optional<std::string> Compile(const std::string& text, TProgramDescription& description) {
        return CompileDescription(text, "d.txt", dir.Path(), description);
    }

    // The plug-in's display of parameter `index` with `record` as its program.
    std::string Display(std::vector<std::uint8_t> record, int index) {
        if (!plugin) Create();
        auto chunk = ZlibCompress(record);
        EXPECT_EQ(SetChunk(chunk, true), 1);
        ProcessUntilSwitched();
        char text[64] = {};
        Dispatch(vst2::effGetParamDisplay, index, 0, text);
        return text;
    }

    TemporaryDirectory dir;
};

TEST_F(ProgramDescriptionTest, StatementsBecomeTheRecordThePluginShows) {
    TProgramDescription description;
    ASSERT_EQ(Compile(kDescription, description), std::nullopt);
    EXPECT_EQ(description.title, "Test");
    ASSERT_EQ(description.programs.size(), 2u);
    auto bank = std::make_unique<TProgramBank>();
    bank->StoreRecord(0, description.programs[0].record);
    EXPECT_EQ(bank->Name(0), "PAD Glass");

    // Frames: explicit levels (brightened by 1 dB per octave), the shape, and the harmony file's frames from
    // 1 s on moved to (t - 1)·2 + 0.25.
    ASSERT_EQ(bank->FrameCount(0), 4);
    EXPECT_EQ(bank->Level(0, 0, 1), 0);
    EXPECT_EQ(bank->Level(0, 0, 3), 16); // 19 less 2·log2(3)
    EXPECT_EQ(bank->Level(0, 0, 4), 255);
    EXPECT_EQ(bank->Level(0, 0, 2), 255);
    EXPECT_FLOAT_EQ(bank->FrameTime(0, 1), 0.25f);
    EXPECT_EQ(bank->Level(0, 1, 2), 10);
    EXPECT_FLOAT_EQ(bank->FrameTime(0, 2), 0.5f);
    EXPECT_EQ(bank->Level(0, 2, 9), 255) << "harmonics 8";
    EXPECT_LT(bank->Level(0, 2, 2), bank->Level(0, 2, 3)) << "odd harmonics lowered";
    EXPECT_FLOAT_EQ(bank->FrameTime(0, 3), 1.25f);
    EXPECT_EQ(bank->Level(0, 3, 2), 15);
    EXPECT_FLOAT_EQ(bank->HarmonyLoopEnd(0), 1.0f);
    EXPECT_EQ(bank->Parameter(0, kHarmonyLoopEnable), 1.0f);

    // Envelopes and their loops.
    ASSERT_EQ(bank->PointCount(0, record::kAmplitudeEnvelope), 3);
    EXPECT_FLOAT_EQ(bank->PointTime(0, record::kAmplitudeEnvelope, 2), 2.0f);
    EXPECT_FLOAT_EQ(bank->PointLevel(0, record::kAmplitudeEnvelope, 2), 0.5f);
    EXPECT_FLOAT_EQ(bank->EnvelopeLoopStart(0, record::kFilterEnvelope), 0.1f);
    EXPECT_EQ(bank->Parameter(0, kFilterLoopEnable), 1.0f);

    // Values in display units, as the plug-in shows them.
    const auto& record = description.programs[0].record;
    EXPECT_EQ(Display(record, kCutoff), "2.50");
    EXPECT_EQ(Display(record, kAmpRelTime), "1.20");
    EXPECT_EQ(Display(record, kMasterLevel), "45.0");
    EXPECT_EQ(Display(record, kKeyTrack), "25.0");
    EXPECT_EQ(Display(record, kTune), "-5.00");
    EXPECT_EQ(Display(record, kFilterType), "3.00");
    EXPECT_EQ(Display(record, kLfo1Rate), "1 / 8 D");
    EXPECT_EQ(Display(record, kModWheelAmount), "-50.0 %");
    EXPECT_FLOAT_EQ(bank->Parameter(0, kModWheelTarget), 2.0f / 9.0f);
    EXPECT_EQ(bank->Parameter(0, kChorusEnable), 1.0f);

    // The second program is a fresh record by that name; the same text gives the same bytes.
    auto fresh = std::make_unique<TProgramBank>();
    fresh->SetName(1, "BAS Plain");
    std::vector<std::uint8_t> expected(record::kRecordSize);
    fresh->CopyRecord(1, expected);
    EXPECT_EQ(description.programs[1].record, expected);
    TProgramDescription again;
    ASSERT_EQ(Compile(kDescription, again), std::nullopt);
    EXPECT_EQ(again.programs[0].record, record);
}

TEST_F(ProgramDescriptionTest, MistakesNameTheirLineAndWriteNothing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"program \"PAD A\"\n\n  set Cutof=2\n", "d.txt:3: unknown parameter 'Cutof'"},
        {"program \"PAD A\"\nset RelTime=1\n", "d.txt:2: parameter 'RelTime' is ambiguous"},
        {"program \"PAD A\"\nset Cut-off=30\n", "d.txt:2: Cut-off: 30 is outside 0.02..20 kHz"},
        {"program \"PAD A\"\nset lfo1.Rate=\"1 / 4\"\n", "d.txt:2: Rate: '1 / 4' is not a number"},
        {"program \"PAD A\"\nroute modwheel Pitch 13\n", "d.txt:2: '13' is not an amount for Pitch"},
        {"program \"PAD A\"\nframe 0 random\n", "d.txt:2: the random shape needs a seed"},
        {"program \"PAD A\"\nframe 0.5 saw\n", "d.txt:2: the first frame lies at 0.5 s"},
        {"program \"PAD A\"\nframe 0 saw\nframe 0 sine\n", "d.txt:3: two frames at 0 s (also line 2)"},
        {"program \"PAD A\"\nenv amp 0:0 1:2\n", "d.txt:2: '1:2' is not a point"},
        {"program \"PAD A\"\nharmony missing.qh\n", "d.txt:2: "},
        {"program \"pad A\"\n", "d.txt:1: a program name starts with its category"},
        {"program \"PAD A\"\nprogram \"PAD A\"\n", "d.txt:2: a second program \"PAD A\" (line 1)"},
        {"set Cut-off=1\n", "d.txt:1: 'set' before the first program"},
        {"program \"PAD A\nframe 0 saw\n", "d.txt:1: unterminated quoted string"},
    };
    for (const auto& [text, message] : cases) {
        TProgramDescription description;
        const auto error = Compile(text, description);
        ASSERT_TRUE(error) << text;
        EXPECT_EQ(error->rfind(message, 0), 0u) << *error;
    }

    // Through the tool: a bad file writes no bank; a good one writes the same bytes every time.
    std::ofstream(dir / "bad.txt") << "program \"PAD A\"\nset Cutof=1\n";
    TToolRun run = RunTool({"bank", "--describe", dir / "bad.txt", "-o", dir / "bad.bpb"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bad.txt:2: unknown parameter 'Cutof'"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.bpb"));
    std::ofstream(dir / "good.txt") << kDescription;
    ASSERT_EQ(RunTool({"bank", "--describe", dir / "good.txt", "-o", dir / "1.bpb"}).exitCode, 0);
    ASSERT_EQ(RunTool({"bank", "--describe", dir / "good.txt", "-o", dir / "2.bpb"}).exitCode, 0);
    EXPECT_EQ(ReadText(dir / "1.bpb"), ReadText(dir / "2.bpb"));
    run = RunTool({"program", "--describe", dir / "good.txt", "--select", "BAS Plain", "-o", dir / "p.bpa"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = RunTool({"bank", "--list", dir / "1.bpb"});
    EXPECT_NE(run.out.find("0    PAD Glass                PAD       4  chorus modwheel>FilterCutoff"),
              std::string::npos)
        << run.out;
}

} // namespace
} // namespace quillon
