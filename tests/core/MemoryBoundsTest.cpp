// Memory each heavy operation needs: the heap the process holds through operator new is counted (all
// threads), and each operation's peak above what was held before it must stay within the stated bound.
// The peaks are printed, so that a run shows the figures. Inputs that declare huge sizes must be refused
// before anything large is allocated.
#include "../tools/hostkit/TMidiFile.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "engine/TIFFTVoiceOsc.h"
#include "files/LittleEndian.h"
#include "files/ZlibCodec.h"
#include "support/AllocationCounter.h"
#include "support/PluginFixture.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Runs `operation` and returns the most heap it held at any moment above what was held before.
std::size_t PeakOf(const std::function<void()>& operation) {
    const std::size_t before = test::LiveHeapBytes();
    test::ResetPeakHeapBytes();
    operation();
    const std::size_t peak = test::PeakHeapBytes();
    return peak > before ? peak - before : 0;
}

void Report(const char* what, std::size_t bytes) {
    std::printf("[ memory   ] %-44s peak %8.2f MiB\n", what, static_cast<double>(bytes) / static_cast<double>(kMiB));
}

class MemoryBoundsTest : public test::TPluginFixture {
protected:
    // The plug-in for a host at `level`, with the start-up program in the engine.
    void Open(VstInt32 level) {
        Create(level);
        Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        Dispatch(effSetBlockSize, 0, 64);
        ProcessUntilSwitched();
    }
    // A program chunk of 100 frames, each sounding all 250 harmonics (the costliest harmony there is).
    std::vector<std::uint8_t> HundredFrameChunk() {
        std::vector<std::uint8_t> image(record::kRecordSize);
        plugin->Programs().CopyRecord(plugin->getProgram(), image);
        le::StoreI32(image.data() + record::kFrameCountOffset, record::kMaxFrames);
        for (int f = 0; f < record::kMaxFrames; ++f) {
            le::StoreF32(image.data() + record::FrameOffset(f), 0.05f * static_cast<float>(f));
            for (int k = 0; k < record::kHarmonicCount; ++k) {
                image[record::FrameOffset(f) + record::kFrameLevelsOffset + static_cast<std::size_t>(k)] =
                    static_cast<std::uint8_t>((k + f) % 60);
                image[record::FrameOffset(f) + record::kFramePhasesOffset + static_cast<std::size_t>(k)] =
                    static_cast<std::uint8_t>(k * 7 + f);
            }
        }
        return ZlibCompress(image);
    }

    test::TemporaryDirectory dir;
};

TEST_F(MemoryBoundsTest, AHundredFrameProgramSwitchStaysWithinItsBound) {
    // A full-band frame holds about 1.28 MB of wavetables. The old harmony stays alive until the audio
    // thread has taken the new one over, so a switch holds the new harmony on top of what was held before
    // it (the whole process then holds both for a moment).
    constexpr std::size_t kFrameBytes = 1'300'000;
    constexpr std::size_t kBound = record::kMaxFrames * kFrameBytes + 8 * kMiB;
    for (const VstInt32 level : {kVstProcessLevelRealtime, kVstProcessLevelOffline}) {
        SCOPED_TRACE(level);
        Open(level);
        auto chunk = HundredFrameChunk();
        const std::size_t first = PeakOf([&] {
            ASSERT_EQ(SetChunk(chunk, true), 1);
            ProcessUntilSwitched();
        });
        // The same harmony in slot 1, then a switch back to slot 0: the old and the new harmony meet.
        effect->dispatcher(effect, effSetProgram, 0, 1, nullptr, 0.0f);
        ProcessUntilSwitched();
        ASSERT_EQ(SetChunk(chunk, true), 1);
        ProcessUntilSwitched();
        const std::size_t second = PeakOf([&] {
            effect->dispatcher(effect, effSetProgram, 0, 0, nullptr, 0.0f);
            ProcessUntilSwitched();
        });
        Report(level == kVstProcessLevelOffline ? "100-frame program switch (offline)"
                                                : "100-frame program switch (worker)",
               std::max(first, second));
        Report("  whole heap at its highest", test::PeakHeapBytes());
        EXPECT_LE(first, kBound);
        EXPECT_LE(second, kBound);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        effect = nullptr;
    }
}

TEST_F(MemoryBoundsTest, RebuildsWaitingForTheAudioThreadHoldAFewHarmoniesAtMost) {
    // The editor rebuilds frames as the user drags, and some hosts stop processing while idle: however many
    // rebuilds wait for the next block, what they hold stays within a small multiple of the harmony itself.
    Open(kVstProcessLevelOffline);
    ASSERT_TRUE(plugin->InsertHarmonyFrame(1, 0.5f));
    std::size_t harmony = 0;
    for (int frame = 0; frame < 2; ++frame) {
        plugin->FillHarmonics(frame, 0); // all 250 harmonics: the largest tables a frame has
        harmony += plugin->Oscillator().FrameBytes(frame);
    }
    Process();
    const std::size_t waiting = PeakOf([&] {
        for (int i = 0; i < 300; ++i) {
            plugin->FillHarmonics(i % 2, i % 3 == 0 ? 0 : 1); // both frames, one after the other
            if (i % 10 == 0) plugin->SetFrameTime(1, 0.5f + 0.001f * static_cast<float>(i)); // and a frame time dragged
        }
    });
    Report("300 frame rebuilds while no block runs", waiting);
    Report("  the harmony itself", harmony);
    EXPECT_LE(waiting, 3 * harmony + kMiB);
    // The next block takes the newest tables; what they replaced is freed off the audio thread.
    Process();
    const std::size_t held = test::LiveHeapBytes();
    plugin->Oscillator().CollectGarbage();
    EXPECT_LE(test::LiveHeapBytes() + harmony / 2, held);
}

TEST_F(MemoryBoundsTest, FileOperationsStayWithinTheirBounds) {
    Open(kVstProcessLevelOffline);
    prompt->answers.assign(16, platform::PromptAnswer::kNo);
    const std::size_t kBankImage = record::kBankImageSize; // 6.8 MiB, the largest stored form

    struct Step {
        const char* what;
        std::size_t bound;
        std::function<void()> run;
    };
    const std::string program = dir / "p.bpa", bank = dir / "b.bpb", harmony = dir / "h.bha", wave = dir / "w.wav";
    std::vector<std::uint8_t> bankChunk;
    {
        std::vector<float> samples(2 * 44100 * 20);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = 0.5f * std::sin(0.0314f * static_cast<float>(i / 2));
        test::WriteFile(wave, test::Pcm16Wave(samples, 2));
    }
    const std::vector<Step> steps = {
        {"getChunk (bank)", 3 * kBankImage,
         [&] {
             void* data = nullptr;
             const auto size = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
             bankChunk.assign(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
         }},
        {"setChunk (bank)", 2 * kBankImage + 4 * kMiB, [&] { ASSERT_EQ(SetChunk(bankChunk, false), 1); }},
        {"program file save", 2 * kMiB, [&] { ASSERT_TRUE(plugin->SaveProgramFile(program)); }},
        {"program file load", 2 * kMiB, [&] { ASSERT_TRUE(plugin->LoadProgramFile(program)); }},
        {"bank file save", kBankImage + kMiB, [&] { ASSERT_TRUE(plugin->SaveBankFile(1, bank)); }},
        {"bank file load", kBankImage + kMiB, [&] { ASSERT_TRUE(plugin->LoadBankFile(1, bank)); }},
        {"harmony file save", kMiB, [&] { ASSERT_TRUE(plugin->SaveHarmonyFile(0, harmony)); }},
        {"harmony file load", 4 * kMiB, [&] { ASSERT_TRUE(plugin->LoadHarmonyFile(0, harmony)); }},
        // 20 s of stereo 16-bit audio: the samples as floats (7 MB) and the analysis' own buffers.
        {"WAV analysis, 20 s stereo", 48 * kMiB, [&] { ASSERT_TRUE(plugin->AnalyzeAudioIntoProgram(wave, 0)); }},
    };
    for (const Step& step : steps) {
        const std::size_t peak = PeakOf([&] {
            step.run();
            Process(); // the engine takes over what the operation changed
        });
        Report(step.what, peak);
        EXPECT_LE(peak, step.bound) << step.what;
    }
}

TEST_F(MemoryBoundsTest, HugeDeclaredSizesAreRefusedBeforeAnyLargeAllocation) {
    // Whatever a header declares, a refusal holds no more than the fixed size of what the format can hold
    // (the 64 records of a bank file, the image of a bank chunk) and at most 1 MiB for the other readers.
    Open(kVstProcessLevelOffline);
    constexpr std::size_t kSmall = kMiB;
    const std::size_t kBankRecords = 64 * record::kRecordSize + kMiB;
    const std::size_t kBankImage = record::kBankImageSize + kMiB;
    auto Refused = [&](const char* what, std::size_t bound, const std::function<bool()>& run) {
        bool accepted = true;
        const std::size_t peak = PeakOf([&] { accepted = run(); });
        Report(what, peak);
        EXPECT_FALSE(accepted) << what;
        EXPECT_LE(peak, bound) << what;
    };
    auto WriteBytes = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        test::WriteFile(dir / name, bytes);
        return dir / name;
    };

    // Program and bank files stating a payload of 2 GiB - 1 in a short file.
    std::vector<std::uint8_t> program(80, 0);
    std::memcpy(program.data(), "Brindmor Patch File", 19);
    std::memcpy(program.data() + 20, "Quillon", 7);
    le::StoreI32(program.data() + 72, 0x7FFFFFFF);
    const std::string programPath = WriteBytes("huge.bpa", program);
    Refused("program file declaring 2 GiB", kSmall, [&] { return plugin->LoadProgramFile(programPath); });
    std::vector<std::uint8_t> bank(84, 0);
    std::memcpy(bank.data(), "Brindmor Patch Bank File", 24);
    std::memcpy(bank.data() + 25, "Quillon", 7);
    le::StoreI32(bank.data() + 76, 0x7FFFFFFF);
    const std::string bankPath = WriteBytes("huge.bpb", bank);
    Refused("bank file declaring 2 GiB", kBankRecords, [&] { return plugin->LoadBankFile(0, bankPath); });

    // WAV files declaring 4 GiB of data, and a format chunk of 4 GiB.
    test::Bytes wave = test::Pcm16Wave(std::vector<float>(64, 0.25f), 1);
    test::PatchU32(wave, 40, 0xFFFFFFF0u); // the data chunk's size
    const std::string wavePath = WriteBytes("huge-data.wav", wave);
    Refused("WAV declaring 4 GiB of data", kSmall, [&] { return plugin->AnalyzeAudioIntoProgram(wavePath, 0); });
    test::Bytes format = test::Pcm16Wave(std::vector<float>(64, 0.25f), 1);
    test::PatchU32(format, 16, 0xFFFFFFF0u); // the format chunk's size
    const std::string formatPath = WriteBytes("huge-fmt.wav", format);
    Refused("WAV declaring a 4 GiB format chunk", kSmall,
            [&] { return plugin->AnalyzeAudioIntoProgram(formatPath, 0); });

    // A chunk whose zlib stream would inflate to far more than a bank.
    std::vector<std::uint8_t> zeros(64 * kMiB, 0);
    auto bomb = ZlibCompress(zeros);
    zeros = {};
    Refused("bank chunk inflating to 64 MiB", kBankImage, [&] { return SetChunk(bomb, false) == 1; });

    // A MIDI file whose track declares 4 GiB.
    std::vector<std::uint8_t> midi = {'M', 'T', 'h', 'd', 0,   0,    0,    6,    0,    0, 0,    1,  0,
                                      96,  'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xF0, 0, 0x90, 60, 100};
    Refused("MIDI file with a track of 4 GiB", kSmall, [&] { return TMidiFile().Parse(midi); });
}

} // namespace
