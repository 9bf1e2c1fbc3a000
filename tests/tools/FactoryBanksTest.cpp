// Every program of the factory banks, as the build compiled them, played through the plug-in's render
// loop: a C major chord (C4 E4 G4, velocity 100) held 2 s and released must peak between -9 and -3 dBFS,
// carry no DC offset, start and stop without a click and fall silent. Under the sanitizers every eighth
// program is played, which keeps the run short.
#include "core/TProgramBank.h"
#include "files/TPresetsFileManager.h"
#include "support/MidiEvents.h"
#include "support/PluginFixture.h"
#include "support/SoundMeasures.h"
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;

constexpr int kRate = 44100;
constexpr int kBlock = 441;               // 10 ms
constexpr int kHeldBlocks = 200;          // 2 s
constexpr int kMaxBlocks = 1500;          // 15 s
constexpr int kQuietBlocks = 10;          // the last 100 ms
constexpr float kSilence = 3.1622777e-5f; // -90 dBFS
constexpr std::size_t kFirstMillisecond = kRate / 1000;
constexpr std::size_t kLevelWindow = kRate / 200; // 5 ms
#ifdef QUILLON_SANITIZED
constexpr int kSlotStep = 8;
#else
constexpr int kSlotStep = 1;
#endif

struct TFactoryProgram {
    std::string bank; // "A" or "B"
    int slot = 0;
    std::string name;
};

std::string BankPath(const std::string& bank) {
    return std::string(QUILLON_FACTORY_BANK_DIR) + "/Factory " + bank + ".bpb";
}

// The programs of both built banks: every slot that differs from a fresh program.
std::vector<TFactoryProgram> FactoryPrograms() {
    std::vector<TFactoryProgram> programs;
    auto fresh = std::make_unique<TProgramBank>();
    std::vector<std::uint8_t> records(TPresetsFileManager::kBankBytes), freshRecord(record::kRecordSize);
    for (const std::string bank : {"A", "B"}) {
        if (!TPresetsFileManager().LoadBank(BankPath(bank),
                                            TPresetsFileManager::BankSpan(records.data(), records.size())))
            continue;
        for (int slot = 0; slot < static_cast<int>(TPresetsFileManager::kBankPrograms); slot += kSlotStep) {
            const auto* record = records.data() + static_cast<std::size_t>(slot) * record::kRecordSize;
            fresh->CopyRecord(slot, freshRecord);
            if (std::equal(freshRecord.begin(), freshRecord.end(), record)) continue;
            programs.push_back({bank, slot, reinterpret_cast<const char*>(record + record::kNameOffset)});
        }
    }
    return programs;
}

double Mean(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += samples[i];
    return sum / static_cast<double>(to - from);
}

// RMS of both channels over `kLevelWindow` frames from `from`.
double Level(const std::vector<float>& left, const std::vector<float>& right, std::size_t from) {
    return std::hypot(Rms(left, from, kLevelWindow), Rms(right, from, kLevelWindow)) / std::sqrt(2.0);
}

// Cases are named by bank and slot, not by program, so that the list of cases stays the same when the
// descriptions change; a slot the bank leaves fresh is skipped.
class FactoryProgramTest : public TPluginFixture, public ::testing::WithParamInterface<std::tuple<std::string, int>> {};

TEST(FactoryBanksTest, BothBanksHoldPrograms) {
    int a = 0, b = 0;
    for (const TFactoryProgram& program : FactoryPrograms())
        ++(program.bank == "A" ? a : b);
    EXPECT_GT(a, 0) << BankPath("A");
    EXPECT_GT(b, 0) << BankPath("B");
}

// `quillon render SONG --bank B --slot N` plays the factory programs: the first and the last of each bank.
TEST(FactoryBanksTest, TheRenderCommandPlaysThem) {
    const std::vector<TFactoryProgram> programs = FactoryPrograms();
    TemporaryDirectory dir;
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const bool first = i == 0 || programs[i - 1].bank != programs[i].bank;
        const bool last = i + 1 == programs.size() || programs[i + 1].bank != programs[i].bank;
        if (!first && !last) continue;
        const std::string wav = dir / (programs[i].bank + std::to_string(programs[i].slot) + ".wav");
        const TToolRun run =
            RunTool({"render", std::string(QUILLON_SOURCE_DIR) + "/examples/demo.mid", "--bank",
                     BankPath(programs[i].bank), "--slot", std::to_string(programs[i].slot), "-o", wav});
        EXPECT_EQ(run.exitCode, 0) << programs[i].name << ": " << run.err;
        EXPECT_GT(ReadText(wav).size(), 44100u * 8u) << programs[i].name << ": less than a second of sound";
    }
}

TEST_P(FactoryProgramTest, PlaysAChordCleanly) {
    const auto& [bank, slot] = GetParam();
    const std::vector<TFactoryProgram> programs = FactoryPrograms();
    const auto found = std::find_if(programs.begin(), programs.end(),
                                    [&](const TFactoryProgram& p) { return p.bank == bank && p.slot == slot; });
    if (found == programs.end()) GTEST_SKIP() << "Factory " << bank << " slot " << slot << " is fresh";
    const TFactoryProgram& program = *found;
    SCOPED_TRACE("Factory " + program.bank + " slot " + std::to_string(program.slot) + " \"" + program.name + "\"");
    Create();
    ASSERT_TRUE(plugin->LoadBankFile(0, BankPath(program.bank)));
    Dispatch(vst2::effSetProgram, 0, program.slot);
    ProcessUntilSwitched();

    std::vector<float> allLeft, allRight;
    int blocks = 0;
    const auto render = [&] {
        Process(kBlock);
        allLeft.insert(allLeft.end(), left.begin(), left.end());
        allRight.insert(allRight.end(), right.begin(), right.end());
        ++blocks;
    };
    Send({Midi(0, 0x90, 60, 100), Midi(0, 0x90, 64, 100), Midi(0, 0x90, 67, 100)});
    while (blocks < kHeldBlocks)
        render();
    Send({Midi(0, 0x80, 60), Midi(0, 0x80, 64), Midi(0, 0x80, 67)});
    const auto quietAtEnd = [&] {
        const std::size_t from = allLeft.size() - kQuietBlocks * kBlock;
        return std::max(Peak(std::span(allLeft).subspan(from)), Peak(std::span(allRight).subspan(from))) < kSilence;
    };
    do
        render();
    while (blocks < kMaxBlocks && (blocks < kHeldBlocks + kQuietBlocks || !quietAtEnd()));

    const std::size_t off = static_cast<std::size_t>(kHeldBlocks) * kBlock;
    const double peak = std::max(Peak(allLeft), Peak(allRight));
    const double peakDb = 20.0 * std::log10(std::max(peak, 1e-12));
    EXPECT_GE(peakDb, -9.0) << "too quiet";
    EXPECT_LE(peakDb, -3.0) << "too loud";

    EXPECT_LT(std::fabs(Mean(allLeft, 0, off)), 0.01) << "DC offset (left)";
    EXPECT_LT(std::fabs(Mean(allRight, 0, off)), 0.01) << "DC offset (right)";

    const double onset =
        std::max(Peak(std::span(allLeft).first(kFirstMillisecond)), Peak(std::span(allRight).first(kFirstMillisecond)));
    EXPECT_LE(onset, 0.5 * peak) << "the first millisecond reaches " << onset / peak << " of the peak";

    // The level of 5 ms windows changes from window to window while the chord is held by at most so much;
    // the note-off must not change it by much more (a drop to nothing or a jump is a click).
    const double before = Level(allLeft, allRight, off - kLevelWindow);
    if (before > 1e-3 * peak) {
        double lowest = 1e9, highest = 0.0;
        for (std::size_t at = off - kRate; at + kLevelWindow < off; at += kLevelWindow) {
            const double ratio =
                Level(allLeft, allRight, at) / std::max(Level(allLeft, allRight, at - kLevelWindow), 1e-12);
            lowest = std::min(lowest, ratio);
            highest = std::max(highest, ratio);
        }
        const double step = Level(allLeft, allRight, off) / before;
        EXPECT_GE(step, 0.5 * lowest) << "the note-off drops the level (held chord: " << lowest << ".." << highest
                                      << ")";
        EXPECT_LE(step, 1.5 * highest) << "the note-off raises the level (held chord: " << lowest << ".." << highest
                                       << ")";
    }

    EXPECT_TRUE(quietAtEnd()) << "the release has not fallen below -90 dBFS after " << blocks * kBlock / kRate << " s";
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<std::string, int>>& info) {
    const int slot = std::get<1>(info.param);
    return std::get<0>(info.param) + "_" + (slot < 10 ? "0" : "") + std::to_string(slot);
}

INSTANTIATE_TEST_SUITE_P(FactoryBanks, FactoryProgramTest,
                         ::testing::Combine(::testing::Values(std::string("A"), std::string("B")),
                                            ::testing::Range(0, static_cast<int>(TPresetsFileManager::kBankPrograms),
                                                             kSlotStep)),
                         CaseName);

} // namespace
} // namespace quillon
