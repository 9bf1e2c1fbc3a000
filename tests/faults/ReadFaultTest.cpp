// Every file the system reads, emptied, shortened or extended by another program while it is being read:
// the load is refused with a text naming the file, and whatever it was to fill keeps what it held. A file
// removed while it is read is read whole (the open file keeps its content). WAV files are streamed rather
// than read whole: a file cut short between the header and the data reads as its present frames followed
// by silence, never as a failure or a crash.
#include "RenderCommand.h"
#include "analysis/ReadWaveFile.h"
#include "analysis/TFileWaveStream.h"
#include "analysis/TPCMWaveReader.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "faults/FaultInjection.h"
#include "files/TMidiLearnFileManager.h"
#include "hostkit/TMidiFile.h"
#include "platform/posix/XdgSettingsStore.h"
#include "support/MidiFileBuilder.h"
#include "support/PluginFixture.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using namespace vst2;
using test::fault::Change;

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ChangedMessage(const std::string& path) {
    return "The file " + path + " changed while it was being read.";
}

struct Case {
    const char* name;
    Change change;
};
// The changes another program can make while a file is read; half the file has been read by then.
const Case kRefusedChanges[] = {
    {"emptied", Change::kEmptied},
    {"halved", Change::kHalved},
    {"extended", Change::kExtended},
};

// For each change: puts `bytes` at `path`, arms the change for the first read and runs `load`, which
// checks its own outcome. Checks that the change really struck.
void ForEachChange(const std::string& path, const std::vector<std::uint8_t>& bytes,
                   const std::function<void(const Case&)>& load) {
    for (const Case& c : kRefusedChanges) {
        SCOPED_TRACE(c.name);
        WriteAll(path, bytes);
        test::fault::ChangeDuringRead(path, c.change, bytes.size() / 2);
        load(c);
        EXPECT_EQ(test::fault::Hits(), 1) << "the file was not read, or read more than once";
        test::fault::Reset();
    }
}

// The plug-in's loads, with their messages shown through its prompt.
class PluginLoadFaultTest : public test::TPluginFixture {
protected:
    void SetUp() override { Create(); }
    void TearDown() override {
        test::fault::Reset();
        Close();
    }
    // The records of `count` slots from `first`, back to back.
    std::vector<std::uint8_t> Records(int first, int count) const {
        std::vector<std::uint8_t> bytes(record::kRecordSize * static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            plugin->Programs().CopyRecord(
                first + i, std::span<std::uint8_t>(bytes.data() + record::kRecordSize * static_cast<std::size_t>(i),
                                                   record::kRecordSize));
        return bytes;
    }
    std::vector<int> Frame(int frame) const {
        std::vector<int> values;
        for (int j = 0; j < kHarmonics; ++j) {
            values.push_back(plugin->GetHarmonicLevel(frame, j));
            values.push_back(plugin->GetHarmonicPhase(frame, j));
        }
        return values;
    }
    static constexpr int kHarmonics = 251;

    test::TemporaryDirectory dir;
};

TEST_F(PluginLoadFaultTest, ProgramFileThatChangesWhileReadIsRefusedAndTheProgramStays) {
    const std::string path = dir / "saved.bpa";
    plugin->setProgramName("In the file");
    ASSERT_TRUE(plugin->SaveProgramFile(path));
    const std::vector<std::uint8_t> file = ReadAll(path);
    plugin->setProgramName("In the slot");
    const std::vector<std::uint8_t> before = Records(plugin->CurrentProgram(), 1);

    ForEachChange(path, file, [&](const Case&) {
        prompt->messages.clear();
        EXPECT_FALSE(plugin->LoadProgramFile(path));
        EXPECT_EQ(prompt->messages, std::vector<std::string>{ChangedMessage(path)});
        EXPECT_TRUE(Records(plugin->CurrentProgram(), 1) == before);
    });

    // Removed while it is read: the open file still holds all of it.
    WriteAll(path, file);
    test::fault::ChangeDuringRead(path, Change::kRemoved, file.size() / 2);
    EXPECT_TRUE(plugin->LoadProgramFile(path));
    EXPECT_EQ(test::fault::Hits(), 1);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(plugin->Programs().Name(plugin->CurrentProgram()), "In the file");
}

TEST_F(PluginLoadFaultTest, BankFileThatChangesWhileReadIsRefusedAndTheBankStays) {
    const std::string path = dir / "saved.bpb";
    ASSERT_TRUE(plugin->SaveBankFile(0, path));
    const std::vector<std::uint8_t> file = ReadAll(path);
    for (int i = 0; i < 64; ++i)
        plugin->Programs().SetName(i, ("Slot " + std::to_string(i)).c_str());
    const std::vector<std::uint8_t> before = Records(0, 64);

    ForEachChange(path, file, [&](const Case&) {
        prompt->messages.clear();
        plugin->SetBankModified(0, false); // no question about saving the bank first
        EXPECT_FALSE(plugin->LoadBankFile(0, path));
        EXPECT_EQ(prompt->messages, std::vector<std::string>{ChangedMessage(path)});
        EXPECT_TRUE(Records(0, 64) == before);
    });
}

TEST_F(PluginLoadFaultTest, HarmonyFileThatChangesWhileReadIsRefusedAndTheFrameStays) {
    const std::string path = dir / "saved.bha";
    plugin->SetHarmonicLevel(0, 2, 40);
    ASSERT_TRUE(plugin->SaveHarmonyFile(0, path));
    const std::vector<std::uint8_t> file = ReadAll(path);
    plugin->SetHarmonicLevel(0, 2, 90);
    const std::vector<int> before = Frame(0);

    ForEachChange(path, file, [&](const Case&) {
        prompt->messages.clear();
        EXPECT_FALSE(plugin->LoadHarmonyFile(0, path));
        EXPECT_EQ(prompt->messages, std::vector<std::string>{ChangedMessage(path)});
        EXPECT_EQ(Frame(0), before);
    });
}

class FileFaultTest : public ::testing::Test {
protected:
    void TearDown() override { test::fault::Reset(); }

    test::TemporaryDirectory dir;
};

TEST_F(FileFaultTest, MidiAssignmentFileThatChangesWhileReadBindsNothingAndSaysWhy) {
    const TMidiLearnFileManager manager(dir.Path());
    TMidiLearnFileManager::Table bound;
    bound.fill(-1);
    bound[7] = 26;
    EXPECT_TRUE(manager.WriteAssignments(bound));
    const std::vector<std::uint8_t> file = ReadAll(manager.CustomPath());
    TMidiLearnFileManager::Table unbound;
    unbound.fill(-1);

    ForEachChange(manager.CustomPath(), file, [&](const Case&) {
        TMidiLearnFileManager::Table table;
        table.fill(99);
        const Status result = manager.ReadAssignments(table);
        EXPECT_EQ(result.code, StatusCode::kChanged);
        EXPECT_EQ(result.message, ChangedMessage(manager.CustomPath()));
        EXPECT_EQ(table, unbound); // as for every refused file: half a table would bind the wrong controllers
    });
}

TEST_F(FileFaultTest, SettingsFileThatChangesWhileReadIsNeitherUsedNorOverwritten) {
    const std::string userFile = platform::XdgSettingsStore::FileBelow(dir / "user");
    const std::string machineFile = platform::XdgSettingsStore::FileBelow(dir / "machine");
    platform::XdgSettingsStore machine(machineFile, {});
    ASSERT_TRUE(machine.WriteSetting("InstallFolder", "/opt/machine"));
    platform::XdgSettingsStore store(userFile, {machineFile});
    ASSERT_TRUE(store.WriteSetting("ProgramBankDir", "/home/me/banks"));
    ASSERT_TRUE(store.WriteSetting("InstallFolder", "/home/me/quillon"));
    const std::vector<std::uint8_t> file = ReadAll(userFile);

    // A reader takes the machine-wide value, as for a user file it cannot read.
    ForEachChange(userFile, file, [&](const Case&) {
        const platform::SettingRead read = store.ReadSetting("InstallFolder");
        EXPECT_TRUE(read.found);
        EXPECT_EQ(read.text, "/opt/machine");
    });
    // A write, which rewrites the whole file, must not replace it with the part it read: the values it
    // did not get to would be lost.
    ForEachChange(userFile, file, [&](const Case& c) {
        const std::vector<std::uint8_t> changed = [&] {
            std::vector<std::uint8_t> bytes = file;
            if (c.change == Change::kEmptied) bytes.clear();
            if (c.change == Change::kHalved) bytes.resize(file.size() / 2);
            if (c.change == Change::kExtended) bytes.resize(file.size() + 100, 0);
            return bytes;
        }();
        EXPECT_FALSE(store.WriteSetting("AudioFileDir", "/wav"));
        EXPECT_TRUE(ReadAll(userFile) == changed) << "the file was rewritten";
    });

    // Removed while it is read: the write has every value and puts the file back.
    WriteAll(userFile, file);
    test::fault::ChangeDuringRead(userFile, Change::kRemoved, file.size() / 2);
    EXPECT_TRUE(store.WriteSetting("AudioFileDir", "/wav"));
    EXPECT_EQ(store.ReadSetting("ProgramBankDir").text, "/home/me/banks");
    EXPECT_EQ(store.ReadSetting("InstallFolder").text, "/home/me/quillon");
    EXPECT_EQ(store.ReadSetting("AudioFileDir").text, "/wav");
}

TEST_F(FileFaultTest, MidiSongThatChangesWhileReadIsRefusedAndNothingIsRendered) {
    const std::string path = dir / "song.mid";
    const test::TBytes song =
        test::MidiFileBytes(0, 480, {test::TMidiTrack{{{0, {0x90, 60, 100}}, {240, {0x80, 60, 0}}}}});
    ForEachChange(path, song, [&](const Case&) {
        TMidiFile file;
        ASSERT_TRUE(file.Parse(song));
        EXPECT_FALSE(file.Load(path));
        EXPECT_EQ(file.Error(), "'" + path + "' changed while it was being read");
        EXPECT_TRUE(file.Events().empty()); // nothing of the song parsed before stays
    });

    const std::string out = dir / "out.wav";
    WriteAll(path, song);
    test::fault::ChangeDuringRead(path, Change::kHalved, song.size() / 2);
    testing::internal::CaptureStderr();
    const int code = RunRender(std::vector<std::string>{path, "-o", out, "--plugin", QUILLON_PROBE_PLUGIN_PATH});
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 1);
    EXPECT_EQ(shown, "quillon: error: '" + path + "' changed while it was being read\n");
    EXPECT_FALSE(fs::exists(out));
}

// WAV files, cut short between the header and the data ---------------------------------------------------
//
// The stream reads through stdio, whose buffer may still hold the first 4 KiB of the file as they were
// when the header was read: those bytes may read as before even when the file has lost them.
constexpr std::size_t kStaleFrames = 4096 / 4;

constexpr int kFrames = 20000;

// A stereo 16-bit file whose samples are all far from 0: left 1000 + i % 20000, right the negative.
std::vector<std::int32_t> Samples() {
    std::vector<std::int32_t> samples;
    for (int i = 0; i < kFrames; ++i) {
        samples.push_back(1000 + i % 20000);
        samples.push_back(-(1000 + i % 20000));
    }
    return samples;
}

float Sample(std::int32_t v) {
    return v > 0 ? static_cast<float>(v) / 32767.0f : static_cast<float>(v) / 32768.0f;
}

// Expects `read` to be the file's stereo frames from `first` on, for `present` frames or a little more,
// then silence up to the declared length.
void ExpectFramesThenSilence(const std::vector<float>& read, std::size_t first, std::size_t present) {
    const std::vector<std::int32_t> samples = Samples();
    ASSERT_EQ(read.size(), samples.size() - 2 * first) << "the declared length stands";
    std::size_t same = 0;
    while (same < read.size() && read[same] == Sample(samples[2 * first + same]))
        ++same;
    EXPECT_EQ(same % 2, 0u) << "whole frames only";
    EXPECT_GE(same, 2 * present);
    EXPECT_LE(same, 2 * (present + kStaleFrames));
    for (std::size_t i = same; i < read.size(); ++i)
        ASSERT_EQ(read[i], 0.0f) << "sample " << i;
}

TEST_F(FileFaultTest, WavFileCutShortAfterItsHeaderReadsAsItsPresentFramesThenSilence) {
    const std::string path = dir / "cut.wav";
    // Cut within a frame, and at the data start.
    for (const std::uint64_t keptBytes : {std::uint64_t{10000 * 4 + 2}, std::uint64_t{0}}) {
        SCOPED_TRACE(keptBytes);
        test::WriteFile(path, test::PcmWave(Samples(), 2, 16));
        TFileWaveStream stream(path);
        TPCMWaveReader reader(stream, nullptr);
        fs::resize_file(path, stream.DataStart() + keptBytes);
        ExpectFramesThenSilence(reader.ReadAllAsFloat(false), 0, keptBytes / 4);
    }

    // Emptied altogether, header included, once the header has been read.
    test::WriteFile(path, test::PcmWave(Samples(), 2, 16));
    TFileWaveStream stream(path);
    TPCMWaveReader reader(stream, nullptr);
    fs::resize_file(path, 0);
    ExpectFramesThenSilence(reader.ReadAllAsFloat(false), 0, 0);
}

TEST_F(FileFaultTest, WavFileCutShortBetweenTwoReadsKeepsWhatWasRead) {
    const std::string path = dir / "cut.wav";
    test::WriteFile(path, test::PcmWave(Samples(), 2, 16));
    TFileWaveStream stream(path);
    TPCMWaveReader reader(stream, nullptr);
    std::vector<std::int16_t> first(2 * 5000);
    ASSERT_EQ(reader.Read(first.data(), 5000), 5000);
    EXPECT_EQ(first[2 * 4999], 1000 + 4999);
    fs::resize_file(path, stream.DataStart() + 12000 * 4);
    ExpectFramesThenSilence(reader.ReadAllAsFloat(false), 5000, 12000 - 5000);
}

TEST_F(FileFaultTest, EncodedWavFileCutShortAfterItsHeaderEndsCleanly) {
    const std::string path = dir / "adpcm.wav";
    ASSERT_FALSE(test::WriteImaAdpcmTone(path, 80000).empty());
    TWaveData wave;
    ASSERT_TRUE(ReadWaveFile(path, wave));
    const std::vector<float> whole = wave.samples;

    TFileWaveStream stream(path);
    auto codec = platform::CreateAudioCodec();
    TPCMWaveReader reader(stream, codec.get());
    fs::resize_file(path, stream.DataStart() + stream.DataSize() / 2);
    const std::vector<float> read = reader.ReadAllAsFloat(false);
    // The whole blocks still there decode as before; from the block the cut falls in on, there is silence.
    ASSERT_EQ(read.size(), whole.size());
    const std::size_t half = whole.size() / 2;
    constexpr std::size_t kBlockMargin = 1024; // samples, two blocks of this file
    std::size_t same = 0;
    while (same < read.size() && read[same] == whole[same])
        ++same;
    EXPECT_GE(same, half - kBlockMargin);
    EXPECT_LE(same, half);
    for (std::size_t i = same; i < read.size(); ++i)
        ASSERT_EQ(read[i], 0.0f) << "sample " << i;
}

} // namespace
} // namespace quillon
