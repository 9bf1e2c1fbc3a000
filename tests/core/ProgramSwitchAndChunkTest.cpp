// Program switches (worker in real time, synchronous offline) and host chunks.
#include "core/ParameterTable.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "files/LittleEndian.h"
#include "files/ZlibCodec.h"
#include "midi/TMidiHandler.h"
#include "support/PluginFixture.h"
#include "support/SoundMeasures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

class ProgramSwitchTest : public test::TPluginFixture {
protected:
    // Gives a slot a sawtooth harmony of 20 harmonics (a fresh slot is silent).
    void MakeAudible(int slot) {
        for (int k = 1; k <= 20; ++k)
            plugin->Programs().SetLevel(slot, 0, k, static_cast<std::uint8_t>(std::lround(40.0 * std::log10(k))));
    }
    float Peak(int from = 0) const {
        return test::Peak(std::span<const float>(left).subspan(static_cast<std::size_t>(from)));
    }
    std::vector<std::uint8_t> Chunk(bool isPreset) {
        void* data = nullptr;
        const auto size = Dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
        EXPECT_GT(size, 0);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        return std::vector<std::uint8_t>(bytes, bytes + size);
    }
};

std::vector<std::uint8_t> Inflate(const std::vector<std::uint8_t>& chunk, std::size_t size) {
    std::vector<std::uint8_t> out(size);
    EXPECT_EQ(ZlibInflate(chunk, out), InflateResult::kComplete);
    return out;
}

} // namespace

TEST_F(ProgramSwitchTest, RealTimeSwitchRunsOnTheWorkerWhileBlocksAreSilent) {
    Create(kVstProcessLevelRealtime);
    Process(64);
    EXPECT_TRUE(AllSilence()); // the first block starts the initial switch
    ProcessUntilSwitched();
    Process(64);
    EXPECT_FALSE(AllSilence());

    plugin->Programs().SetParameter(3, kMasterLevel, 1.0f);
    Dispatch(effSetProgram, 0, 3);
    Process(64);
    EXPECT_TRUE(plugin->ProgramChangePending() || !plugin->ProgramNeedsApply());
    ProcessUntilSwitched();
    EXPECT_EQ(plugin->ParamCurrent(kMasterLevel), 4.0f); // the new program's values, at once
}

TEST_F(ProgramSwitchTest, OfflineSwitchHappensWithinTheSameCall) {
    Create(kVstProcessLevelOffline);
    Process(64);
    EXPECT_FALSE(plugin->ProgramChangePending());
    plugin->Programs().SetParameter(9, kMasterLevel, 1.0f);
    Dispatch(effSetProgram, 0, 9);
    Process(16);
    EXPECT_FALSE(plugin->ProgramChangePending());
    EXPECT_EQ(plugin->ParamCurrent(kMasterLevel), 4.0f);
    EXPECT_EQ(left[0], 1e-20f * 4.0f);
}

// A MIDI program change takes effect at its frame: the note behind it, in the same block or the next,
// sounds with the new program and keeps sounding. Offline the switch happens in place; in real time the
// note waits for the worker and starts once the new program is there.
TEST_F(ProgramSwitchTest, NotesBehindAProgramChangePlayTheNewProgram) {
    struct Case {
        VstInt32 level;
        bool sameBlock;
    };
    for (const Case c : {Case{kVstProcessLevelOffline, true}, Case{kVstProcessLevelOffline, false},
                         Case{kVstProcessLevelRealtime, true}, Case{kVstProcessLevelRealtime, false}}) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << (c.sameBlock ? ", same block" : ", next block"));
        Create(c.level);
        MakeAudible(1); // slot 0 stays silent
        ProcessUntilSwitched();
        if (c.sameBlock) {
            Send({test::Midi(0, 0xC0, 1), test::Midi(1, 0x90, 60, 100)});
        } else {
            Send({test::Midi(40, 0xC0, 1)});
            Process(64);
            Send({test::Midi(0, 0x90, 60, 100)});
        }
        Process(64);
        if (c.level == kVstProcessLevelOffline) {
            EXPECT_FALSE(plugin->ProgramChangePending());
            EXPECT_GT(Peak(c.sameBlock ? 1 : 0), 0.01f); // at once, from the note's frame
        } else {
            ProcessUntilSwitched();
        }
        EXPECT_EQ(plugin->CurrentProgram(), 1);
        EXPECT_TRUE(plugin->MidiHandler().NoteActive(60));
        for (int block = 0; block < 20; ++block)
            Process(512);
        EXPECT_TRUE(plugin->MidiHandler().NoteActive(60));
        EXPECT_GT(Peak(), 0.01f);
        Close();
    }
}

// Re-applying a program's settings leaves sounding notes alone; only a new voice count or transposition
// silences them.
TEST_F(ProgramSwitchTest, ASwitchStopsNotesOnlyForANewVoiceCountOrTransposition) {
    Create(kVstProcessLevelOffline);
    for (int slot = 0; slot < 4; ++slot)
        MakeAudible(slot);
    plugin->Programs().SetParameter(2, kVoices, 0.5f);
    plugin->Programs().SetParameter(3, kTransposeNotes, 0.75f);
    Process(64);
    struct Step {
        int slot;
        bool keeps;
    };
    for (const Step step : {Step{1, true}, Step{2, false}, Step{0, false}, Step{3, false}}) {
        SCOPED_TRACE(step.slot);
        Send({test::Midi(0, 0x90, 64, 100)});
        Process(64);
        ASSERT_TRUE(plugin->MidiHandler().NoteActive(64));
        Send({test::Midi(0, 0xC0, step.slot)});
        Process(64);
        EXPECT_EQ(plugin->MidiHandler().NoteActive(64), step.keeps);
        Send({test::Midi(0, 0x80, 64)});
        Process(64);
    }
}

TEST_F(ProgramSwitchTest, ChunksInflateToARecordOrTheWholeBank) {
    Create(kVstProcessLevelOffline);
    Dispatch(effSetProgram, 0, 70);
    effect->setParameter(effect, kCutoff, 0.75f);
    const auto program = Inflate(Chunk(true), 55504);
    EXPECT_EQ(le::LoadF32(program.data() + 4 * kCutoff), 0.75f);
    EXPECT_EQ(le::LoadF32(program.data() + 524), 1.1f);
    EXPECT_EQ(program[496], '-');

    const auto bank = Inflate(Chunk(false), 7104596);
    EXPECT_EQ(le::LoadF32(bank.data() + 7104512), 1.1f);
    EXPECT_EQ(le::LoadI32(bank.data() + 7104516), 70);
    EXPECT_EQ(le::LoadI32(bank.data() + 7104520), 5); // the editor's settings travel with the bank
    EXPECT_EQ(le::LoadF32(bank.data() + 55504 * 70 + 4 * kCutoff), 0.75f);
    EXPECT_EQ(le::LoadF32(bank.data() + 55504 * 69 + 4 * kCutoff), 0.5f);
}

TEST_F(ProgramSwitchTest, BankChunkRestoresSlotsAndCurrentProgram) {
    Create(kVstProcessLevelOffline);
    Dispatch(effSetProgram, 0, 70);
    char name[] = "Restored";
    Dispatch(effSetProgramName, 0, 0, name);
    auto bank = Chunk(false);

    Dispatch(effSetProgram, 0, 2);
    Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Other"));
    plugin->SetBankModified(0, false);
    plugin->SetBankModified(1, false);
    EXPECT_EQ(SetChunk(bank, false), 1);
    EXPECT_EQ(Dispatch(effGetProgram), 70);
    EXPECT_EQ(plugin->Programs().Name(70), "Restored");
    EXPECT_EQ(plugin->Programs().Name(2), "-");
    EXPECT_TRUE(plugin->BankModified(0));
    EXPECT_TRUE(plugin->BankModified(1));
    EXPECT_TRUE(plugin->ProgramNeedsApply()); // the engine takes it over in the next processing call
    Process(16);
    EXPECT_FALSE(plugin->ProgramNeedsApply());
}

TEST_F(ProgramSwitchTest, RefusedChunksChangeNothing) {
    Create(kVstProcessLevelOffline);
    Process(16);
    auto bank = Chunk(false); // stamps versions and the bank trailer
    auto program = Chunk(true);
    const std::vector<std::uint8_t> before(plugin->Programs().ImageBytes().begin(),
                                           plugin->Programs().ImageBytes().end());
    EXPECT_EQ(SetChunk(bank, true), 0);     // a bank where a program is expected: wrong size
    EXPECT_EQ(SetChunk(program, false), 0); // and the other way round
    std::vector<std::uint8_t> garbage(1000, 0x5A);
    EXPECT_EQ(SetChunk(garbage, true), 0);
    std::vector<std::uint8_t> truncated(program.begin(), program.begin() + static_cast<long>(program.size() / 2));
    EXPECT_EQ(SetChunk(truncated, true), 0);
    // One byte more than a record, compressed properly, is refused too.
    std::vector<std::uint8_t> longer(55505, 0);
    auto longerChunk = ZlibCompress(longer);
    EXPECT_EQ(SetChunk(longerChunk, true), 0);
    // A bank whose current slot does not exist.
    auto image = Inflate(bank, 7104596);
    le::StoreI32(image.data() + 7104516, 500);
    auto hostile = ZlibCompress(image);
    EXPECT_EQ(SetChunk(hostile, false), 0);
    EXPECT_EQ(Dispatch(effSetChunk, 1, 0, program.data()), 0);
    EXPECT_EQ(Dispatch(effSetChunk, 1, 100, nullptr), 0);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), plugin->Programs().ImageBytes().begin()));
    EXPECT_FALSE(plugin->ProgramNeedsApply());
    EXPECT_FALSE(plugin->BankModified(0));
}

TEST_F(ProgramSwitchTest, NonsenseInAChunkIsRepairedBeforeTheEngineReadsIt) {
    Create(kVstProcessLevelOffline);
    plugin->FillHarmonics(0, 0);
    auto image = Inflate(Chunk(true), record::kRecordSize);
    const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
    le::StoreF32(image.data() + 4 * kVoices, nan);
    le::StoreF32(image.data() + 4 * kCutoff, 7.0f);
    le::StoreF32(image.data() + 4 * kPan, -3.0f);
    std::memset(image.data() + record::kNameOffset, 'N', record::kNameFieldSize);
    le::StoreI32(image.data() + record::kFrameCountOffset, 5000);
    le::StoreF32(image.data() + record::FrameOffset(0), nan);
    le::StoreF32(image.data() + record::FrameOffset(1), inf);
    le::StoreF32(image.data() + record::kHarmonyLoopStartOffset, -inf);
    for (int e = 0; e < record::kEnvelopeCount; ++e) {
        le::StoreI32(image.data() + record::EnvelopeOffset(e), e % 2 ? -1 : 101);
        le::StoreF32(image.data() + record::EnvelopeOffset(e) + record::kEnvelopePointsOffset, nan);
        le::StoreF32(image.data() + record::EnvelopeOffset(e) + record::kEnvelopePointsOffset + 4, -inf);
        le::StoreF32(image.data() + record::EnvelopeOffset(e) + record::kEnvelopeLoopEndOffset, nan);
    }
    auto chunk = ZlibCompress(image);
    EXPECT_EQ(SetChunk(chunk, true), 1); // accepted, repaired

    EXPECT_EQ(effect->getParameter(effect, kVoices), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, kCutoff), 1.0f);
    EXPECT_EQ(effect->getParameter(effect, kPan), 0.0f);
    char name[64] = {};
    Dispatch(effGetProgramName, 0, 0, name);
    EXPECT_EQ(std::string(name), std::string(24, 'N'));
    const TProgramBank& bank = plugin->Programs();
    EXPECT_EQ(bank.FrameCount(0), 100);
    EXPECT_EQ(bank.FrameTime(0, 0), 0.0f);
    EXPECT_EQ(bank.PointCount(0, 0), 100);
    EXPECT_EQ(bank.PointCount(0, 1), 1);
    // The repaired record is what the host gets back, and it plays: a held note gives finite sound.
    auto again = Inflate(Chunk(true), record::kRecordSize);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), bank.RecordBytes(0).begin()));
    Process(16);
    EXPECT_EQ(plugin->VoiceCount(), 1);
    VstMidiEvent on{};
    on.type = kVstMidiType;
    on.byteSize = sizeof(on);
    on.midiData[0] = static_cast<char>(0x90);
    on.midiData[1] = 60;
    on.midiData[2] = 100;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&on);
    Dispatch(effProcessEvents, 0, 0, &events);
    for (int block = 0; block < 50; ++block) {
        Process(256);
        for (std::size_t i = 0; i < left.size(); ++i)
            ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << block;
    }
}

TEST_F(ProgramSwitchTest, EditsAfterAProgramChangeLandInTheNewProgramOnly) {
    Create(kVstProcessLevelOffline);
    Process(16);
    plugin->FillHarmonics(0, 0); // a saw in slot 0
    ASSERT_EQ(plugin->Programs().Level(0, 0, 1), 20);
    // The program changes (as a MIDI program change would, without a processing call in between) and the
    // editor edits at once: the edit belongs to the new program, whose harmony is still silent.
    Dispatch(effSetProgram, 0, 5);
    plugin->SetHarmonicLevel(0, 1, 10);
    EXPECT_EQ(plugin->Programs().Level(5, 0, 1), 10);
    EXPECT_EQ(plugin->Programs().Level(5, 0, 2), 255);
    EXPECT_EQ(plugin->Programs().Level(0, 0, 1), 20);
    EXPECT_EQ(plugin->Programs().Level(0, 0, 2), 32);
    EXPECT_TRUE(plugin->BankModified(0));
}
