// Refused input changes nothing. For every reader that reaches the plug-in's state (host chunks, program
// and bank files, harmony files, recordings to analyse, the MIDI assignment file) a refused input must
// leave every program record and the bank trailer byte for byte, the current slot, the controller
// bindings, the bank marks and file names and the values the host reads as they were, and tell the user
// why where the reader talks to the user. The engine must sound as before as well: a half-applied program
// could change the engine without changing any record.
#include "core/ParameterTable.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "files/LittleEndian.h"
#include "files/THarmonyFileManager.h"
#include "files/TMidiLearnFileManager.h"
#include "files/ZlibCodec.h"
#include "midi/TMidiHandler.h"
#include "platform/posix/XdgSettingsStore.h"
#include "support/FakeHost.h"
#include "support/MidiEvents.h"
#include "support/PatchFileBytes.h"
#include "support/ScopedEnvironment.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using namespace vst2;
using platform::PromptAnswer;
using Manager = TMidiLearnFileManager;
using Bytes = std::vector<std::uint8_t>;

// Learnable controllers.
constexpr int kCcVolume = 7;
constexpr int kCcPan = 10;
constexpr int kCcBrightness = 74;

constexpr const char* kNotFound = "File not found!";
constexpr const char* kNotAProgram = "The file is not a valid Quillon program!";
constexpr const char* kNotABank = "The file is not a valid Quillon bank!";
constexpr const char* kNotAHarmony = "The file is not a valid Harmony file!";

Manager::Table Bindings(std::initializer_list<std::pair<int, int>> pairs) {
    Manager::Table table;
    table.fill(-1);
    for (const auto& [controller, parameter] : pairs)
        table[static_cast<std::size_t>(controller)] = parameter;
    return table;
}

// Everything of the plug-in a refused input could damage.
struct PluginState {
    Bytes image; // the 128 records and the bank trailer
    int current = -1;
    Manager::Table bindings{};
    std::array<bool, 2> modified{};
    std::array<std::string, 2> bankFiles;
    std::array<float, kParameterCount> hostValues{}; // getParameter, current program
    bool switchRequested = false;
};

PluginState Capture(TCustomVSTMidiPlugin& plugin) {
    PluginState state;
    state.image.resize(record::kBankImageSize);
    {
        std::lock_guard lock(plugin.RecordsMutex());
        plugin.Programs().CopyImage(state.image);
    }
    state.current = plugin.CurrentProgram();
    state.bindings = plugin.MidiHandler().Assignments();
    for (int bank = 0; bank < 2; ++bank) {
        state.modified[static_cast<std::size_t>(bank)] = plugin.BankModified(bank);
        state.bankFiles[static_cast<std::size_t>(bank)] = plugin.BankFileName(bank);
    }
    for (int i = 0; i < kParameterCount; ++i)
        state.hostValues[static_cast<std::size_t>(i)] = plugin.getParameter(i);
    state.switchRequested = plugin.ProgramNeedsApply();
    return state;
}

// Names the first difference, so that a failure tells which record or field a refusal touched.
::testing::AssertionResult Same(const PluginState& expected, const PluginState& actual) {
    const auto [e, a] =
        std::mismatch(expected.image.begin(), expected.image.end(), actual.image.begin(), actual.image.end());
    if (e != expected.image.end() || a != actual.image.end()) {
        const auto offset = static_cast<std::size_t>(e - expected.image.begin());
        if (offset < record::kBankVersionOffset)
            return ::testing::AssertionFailure()
                   << "record " << offset / record::kRecordSize << " differs at byte " << offset % record::kRecordSize;
        return ::testing::AssertionFailure()
               << "the bank trailer differs at byte " << offset - record::kBankVersionOffset;
    }
    if (expected.current != actual.current)
        return ::testing::AssertionFailure() << "current slot " << expected.current << " became " << actual.current;
    for (std::size_t c = 0; c < expected.bindings.size(); ++c)
        if (expected.bindings[c] != actual.bindings[c])
            return ::testing::AssertionFailure() << "controller " << c << " was bound to " << expected.bindings[c]
                                                 << ", now to " << actual.bindings[c];
    for (std::size_t bank = 0; bank < 2; ++bank) {
        if (expected.modified[bank] != actual.modified[bank])
            return ::testing::AssertionFailure() << "the modified mark of bank " << bank << " changed";
        if (expected.bankFiles[bank] != actual.bankFiles[bank])
            return ::testing::AssertionFailure() << "bank " << bank << " belonged to '" << expected.bankFiles[bank]
                                                 << "', now to '" << actual.bankFiles[bank] << "'";
    }
    for (std::size_t i = 0; i < expected.hostValues.size(); ++i)
        if (std::memcmp(&expected.hostValues[i], &actual.hostValues[i], sizeof(float)) != 0)
            return ::testing::AssertionFailure() << "the host reads parameter " << i << " as " << actual.hostValues[i]
                                                 << " instead of " << expected.hostValues[i];
    if (expected.switchRequested != actual.switchRequested)
        return ::testing::AssertionFailure() << "a program switch was requested";
    return ::testing::AssertionSuccess();
}

// One refused input: what it is, where it lies, and the message it must give (empty: any text).
struct FileCase {
    std::string what;
    std::string path;
    std::string message;
};

class RefusalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // An installation of our own, so that the bindings learned here reach no other test.
        environment.Set("XDG_CONFIG_HOME", folder / "config");
        environment.Set("XDG_CONFIG_DIRS", folder / "machine");
        fs::create_directories(install);
        ASSERT_TRUE(platform::XdgSettingsStore().WriteSetting("InstallFolder", install));
        EXPECT_TRUE(Manager(install).WriteAssignments(Bindings({{kCcVolume, kCutoff}, {kCcBrightness, kResonance}})));
        host.processLevel = kVstProcessLevelOffline; // program switches finish within one processing call
    }
    void TearDown() override {
        for (TCustomVSTMidiPlugin* plugin : plugins)
            Dispatch(*plugin, effClose);
    }

    static VstIntPtr Dispatch(TCustomVSTMidiPlugin& plugin, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                              void* ptr = nullptr) {
        AEffect* effect = plugin.getAeffect();
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    }
    static std::vector<float> Process(TCustomVSTMidiPlugin& plugin, int frames) {
        std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
        float* outputs[2] = {left.data(), right.data()};
        AEffect* effect = plugin.getAeffect();
        effect->processReplacing(effect, nullptr, outputs, frames);
        left.insert(left.end(), right.begin(), right.end());
        return left;
    }
    static void Midi(TCustomVSTMidiPlugin& plugin, int status, int data1, int data2) {
        test::TMidiEventBlock events({test::Midi(0, status, data1, data2)});
        Dispatch(plugin, effProcessEvents, 0, 0, events.Events());
        Process(plugin, 32);
    }

    TCustomVSTMidiPlugin& Create(const std::shared_ptr<test::ScriptedPrompt>& userPrompt) {
        plugins.push_back(new TCustomVSTMidiPlugin(test::FakeHost::Callback));
        plugins.back()->SetUserPrompt(userPrompt);
        return *plugins.back();
    }

    // A plug-in far from a fresh one: edited programs in both banks, slot 70 current with two harmony
    // frames of its own, bank 0 saved to `<name>.bpb` (unmodified) and bank 1 modified, a learned binding
    // besides the two read from the assignment file, and the current program in the engine. Two plug-ins
    // furnished this way play a note sample for sample alike.
    TCustomVSTMidiPlugin& Furnished(const std::string& name, const std::shared_ptr<test::ScriptedPrompt>& userPrompt) {
        TCustomVSTMidiPlugin& plugin = Create(userPrompt);
        Process(plugin, 64);
        TProgramBank& programs = plugin.Programs();
        for (const int slot : {0, 3, 64, 100, 127}) {
            programs.SetName(slot, ("Slot " + std::to_string(slot)).c_str());
            programs.SetParameter(slot, kCutoff, 0.2f + 0.005f * static_cast<float>(slot));
            programs.SetFrameCount(slot, 3);
            for (int frame = 0; frame < 3; ++frame) {
                programs.SetFrameTime(slot, frame, 0.25f * static_cast<float>(frame));
                programs.SetLevel(slot, frame, 1 + frame, static_cast<std::uint8_t>(slot % 40));
            }
            programs.SetPointCount(slot, record::kFilterEnvelope, 2);
            programs.SetPoint(slot, record::kFilterEnvelope, 1, 0.3f, 0.7f);
        }
        plugin.GetGlobalSettings()[9] = 0x5A;

        Dispatch(plugin, effSetProgram, 0, 70);
        plugin.setProgramName("Current");
        plugin.FillHarmonics(0, 1);
        EXPECT_TRUE(plugin.InsertHarmonyFrame(1, 0.4f));
        plugin.FillHarmonics(1, 2);
        plugin.setParameter(kResonance, 0.3f);

        plugin.MidiHandler().SetLearnMode(TMidiHandler::kLearnBind);
        plugin.MidiHandler().SetLearnParameter(kPan);
        Midi(plugin, 0xB0, kCcPan, 40);
        plugin.MidiHandler().SetLearnMode(TMidiHandler::kLearnOff);
        EXPECT_EQ(plugin.MidiHandler().Assignment(kCcPan), kPan);
        EXPECT_EQ(plugin.MidiHandler().Assignment(kCcVolume), kCutoff);
        EXPECT_TRUE(plugin.FlushAssignments()); // nothing is left for the writer's thread to do

        EXPECT_TRUE(plugin.SaveBankFile(0, dir / (name + ".bpb")));
        Process(plugin, 64);
        EXPECT_EQ(plugin.CurrentProgram(), 70);
        EXPECT_FALSE(plugin.BankModified(0));
        EXPECT_TRUE(plugin.BankModified(1));
        EXPECT_FALSE(plugin.ProgramNeedsApply());
        return plugin;
    }

    // A note played on a plug-in, both channels.
    static std::vector<float> NoteSound(TCustomVSTMidiPlugin& plugin) {
        Midi(plugin, 0x90, 60, 100);
        std::vector<float> sound;
        for (int block = 0; block < 24; ++block) {
            const std::vector<float> part = Process(plugin, 256);
            sound.insert(sound.end(), part.begin(), part.end());
        }
        return sound;
    }
    // The plug-in that met the refusals sounds exactly like its twin, which met none.
    static void ExpectSameSound(TCustomVSTMidiPlugin& twin, TCustomVSTMidiPlugin& plugin) {
        const std::vector<float> expected = NoteSound(twin);
        const std::vector<float> actual = NoteSound(plugin);
        double energy = 0.0;
        for (const float v : expected)
            energy += static_cast<double>(v) * v;
        ASSERT_GT(std::sqrt(energy / static_cast<double>(expected.size())), 1e-3) << "the note must sound";
        ASSERT_EQ(expected.size(), actual.size());
        const auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin());
        EXPECT_TRUE(e == expected.end()) << "the sound differs from sample " << (e - expected.begin()) << ": " << *e
                                         << " became " << *a;
    }

    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = dir / name;
        test::WriteFile(path, bytes);
        return path;
    }
    std::string Folder(const std::string& name) {
        fs::create_directory(dir / name);
        return dir / name;
    }
    // Runs `load` on every case: each must be refused, with its message, and leave the state as it was.
    template <typename Load>
    void ExpectRefused(TCustomVSTMidiPlugin& plugin, const std::vector<FileCase>& cases, Load&& load) {
        const PluginState before = Capture(plugin);
        for (const FileCase& c : cases) {
            SCOPED_TRACE(c.what);
            const std::size_t shown = prompt->messages.size();
            EXPECT_FALSE(load(c.path));
            ASSERT_EQ(prompt->messages.size(), shown + 1) << "one message tells the user why";
            if (c.message.empty())
                EXPECT_FALSE(prompt->messages.back().empty());
            else
                EXPECT_EQ(prompt->messages.back(), c.message);
            EXPECT_TRUE(Same(before, Capture(plugin)));
        }
    }

    test::TemporaryDirectory folder;
    test::TemporaryDirectory dir;
    test::ScopedEnvironment environment;
    const std::string install = folder / "install";
    test::FakeHost host;
    std::shared_ptr<test::ScriptedPrompt> prompt = std::make_shared<test::ScriptedPrompt>();
    std::shared_ptr<test::ScriptedPrompt> twinPrompt = std::make_shared<test::ScriptedPrompt>();
    std::vector<TCustomVSTMidiPlugin*> plugins;
};

Bytes Zeros(std::size_t size) {
    return Bytes(size, 0);
}

TEST_F(RefusalsTest, RefusedChunksChangeNothing) {
    TCustomVSTMidiPlugin& twin = Furnished("twin", twinPrompt);
    TCustomVSTMidiPlugin& plugin = Furnished("plugin", prompt);
    const PluginState before = Capture(plugin);

    const Bytes& image = before.image;
    const Bytes bank = ZlibCompress(image);
    const Bytes program = ZlibCompress(std::span(image).first(record::kRecordSize));
    auto withCurrentSlot = [&](std::int32_t slot) {
        Bytes copy = image;
        le::StoreI32(copy.data() + record::kBankCurrentProgramOffset, slot);
        return ZlibCompress(copy);
    };
    Bytes damagedChecksum = program;
    damagedChecksum.back() ^= 0x01;
    Bytes damagedBody = bank;
    for (std::size_t i = 10; i < 60; ++i)
        damagedBody[i] = 0xFF;
    const std::string text = "certainly not a zlib stream";

    struct Case {
        const char* what;
        Bytes chunk;
        bool isPreset;
    };
    const std::vector<Case> cases = {
        {"text for a program", Bytes(text.begin(), text.end()), true},
        {"text for a bank", Bytes(text.begin(), text.end()), false},
        {"a zlib header and nothing else", {0x78, 0xDA}, true},
        {"half a program stream", Bytes(program.begin(), program.begin() + static_cast<long>(program.size() / 2)),
         true},
        {"a bank stream without its last byte", Bytes(bank.begin(), bank.end() - 1), false},
        {"a program stream with a wrong checksum", damagedChecksum, true},
        {"a bank stream with damaged data", damagedBody, false},
        {"a program one byte short", ZlibCompress(Zeros(record::kRecordSize - 1)), true},
        {"a program one byte long", ZlibCompress(Zeros(record::kRecordSize + 1)), true},
        {"a bank one byte short", ZlibCompress(Zeros(record::kBankImageSize - 1)), false},
        {"a bank one byte long", ZlibCompress(Zeros(record::kBankImageSize + 1)), false},
        {"a bank where a program belongs", bank, true},
        {"a program where a bank belongs", program, false},
        {"a bank with current slot -1", withCurrentSlot(-1), false},
        {"a bank with current slot 128", withCurrentSlot(128), false},
        {"a bank with current slot INT_MIN", withCurrentSlot(INT_MIN), false},
        {"a bank with current slot INT_MAX", withCurrentSlot(INT_MAX), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes chunk = c.chunk;
        EXPECT_EQ(Dispatch(plugin, effSetChunk, c.isPreset ? 1 : 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()),
                  0);
        EXPECT_TRUE(Same(before, Capture(plugin)));
    }

    // Sizes a host may pass with a chunk that would otherwise be accepted.
    Bytes valid = program;
    std::vector<VstIntPtr> sizes = {0, -1, static_cast<VstIntPtr>(INT_MIN)};
    if constexpr (sizeof(VstIntPtr) > 4) {
        sizes.push_back(static_cast<VstIntPtr>(0x80000000LL));
        // Cut to 32 bits, this one would give the chunk's true size.
        sizes.push_back(static_cast<VstIntPtr>(1LL << 32) + static_cast<VstIntPtr>(valid.size()));
    }
    for (const VstIntPtr size : sizes) {
        SCOPED_TRACE("declared size " + std::to_string(size));
        EXPECT_EQ(Dispatch(plugin, effSetChunk, 1, size, valid.data()), 0);
        EXPECT_TRUE(Same(before, Capture(plugin)));
    }
    EXPECT_EQ(Dispatch(plugin, effSetChunk, 1, static_cast<VstIntPtr>(valid.size()), nullptr), 0);
    EXPECT_EQ(Dispatch(plugin, effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), nullptr), 0);
    EXPECT_TRUE(Same(before, Capture(plugin)));
    EXPECT_TRUE(prompt->messages.empty()) << "a host's call puts up no dialog";

    ExpectSameSound(twin, plugin);
}

// A damaged program or bank file; `notValid` when the refusal is the reader's "not a valid …" message
// (otherwise it is a zlib failure, told with zlib's text).
struct DamagedPatch {
    std::string what;
    Bytes bytes;
    bool notValid = true;
};

// Damaged program (bank = false) or bank files, built from `records` (one record or 64).
std::vector<DamagedPatch> DamagedPatchFiles(bool bank, const Bytes& records, const Bytes& otherKind) {
    const std::size_t header = bank ? 80 : 76;
    const Bytes good = test::PatchFileBytes(bank, test::Deflate(records));
    auto patched = [&](std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
        Bytes file = good;
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(offset));
        return file;
    };
    auto withSize = [&](std::int32_t size) {
        Bytes file = good;
        le::StoreI32(file.data() + header - 4, size);
        return file;
    };
    Bytes longer = good;
    longer.push_back(0);
    Bytes garbage = good;
    std::fill(garbage.begin() + static_cast<long>(header), garbage.end(), 0xA5);
    Bytes tooShort = records;
    tooShort.resize(records.size() - 100);
    Bytes tooLong = records;
    tooLong.resize(records.size() + 100);
    const std::size_t product = bank ? 25 : 20;
    return {
        {"a wrong identifier", patched(0, {'X'})},
        {"a wrong product text", patched(product, {'Q', 'u', 'i', 'l', 'l', 'o', 'x'})},
        {"the other kind of file", otherKind},
        {"one byte more than the header says", longer},
        {"one byte less than the header says", Bytes(good.begin(), good.end() - 1)},
        {"a negative payload size", withSize(-1)},
        {"a huge payload size", withSize(INT_MAX)},
        {"a payload that inflates short", test::PatchFileBytes(bank, test::Deflate(tooShort))},
        {"a damaged zlib payload", garbage, false},
        {"a payload that inflates long", test::PatchFileBytes(bank, test::Deflate(tooLong)), false},
    };
}

TEST_F(RefusalsTest, RefusedProgramAndBankFilesChangeNothingAndSayWhy) {
    TCustomVSTMidiPlugin& twin = Furnished("twin", twinPrompt);
    TCustomVSTMidiPlugin& plugin = Furnished("plugin", prompt);
    const Bytes image = Capture(plugin).image;
    const Bytes record(image.begin(), image.begin() + record::kRecordSize);
    const Bytes records(image.begin(), image.begin() + 64 * record::kRecordSize);
    const Bytes programFile = test::ProgramFileBytes(test::Deflate(record));
    const Bytes bankFile = test::BankFileBytes(test::Deflate(records));

    for (const bool bank : {false, true}) {
        const std::string kind = bank ? "bank" : "program";
        const std::string extension = bank ? ".bpb" : ".bpa";
        const Bytes& full = bank ? bankFile : programFile;
        std::vector<FileCase> cases = {
            {"a missing " + kind + " file", dir / ("missing" + extension), kNotFound},
            {"a folder in place of a " + kind + " file", Folder("folder" + extension), kNotFound},
            {"an empty " + kind + " file", Write("empty" + extension, {}), ""},
            {"a " + kind + " file that ends in its header",
             Write("cut" + extension, Bytes(full.begin(), full.begin() + 50)), ""},
        };
        int n = 0;
        for (const DamagedPatch& d : DamagedPatchFiles(bank, bank ? records : record, bank ? programFile : bankFile))
            cases.push_back({kind + " file: " + d.what, Write("damaged" + std::to_string(n++) + extension, d.bytes),
                             d.notValid ? (bank ? kNotABank : kNotAProgram) : ""});

        if (!bank) {
            ExpectRefused(plugin, cases, [&](const std::string& path) { return plugin.LoadProgramFile(path); });
            continue;
        }
        // Into bank 0, which is saved and asks nothing, and into the modified bank 1, whose question is
        // answered No (go on without saving).
        ExpectRefused(plugin, cases, [&](const std::string& path) { return plugin.LoadBankFile(0, path); });
        const std::size_t asked = prompt->questions.size();
        ExpectRefused(plugin, cases, [&](const std::string& path) {
            prompt->answers = {PromptAnswer::kNo};
            return plugin.LoadBankFile(1, path);
        });
        EXPECT_EQ(prompt->questions.size(), asked + cases.size());
    }

    ExpectSameSound(twin, plugin);
}

TEST_F(RefusalsTest, RefusedHarmonyFilesChangeNothingAndSayWhy) {
    TCustomVSTMidiPlugin& twin = Furnished("twin", twinPrompt);
    TCustomVSTMidiPlugin& plugin = Furnished("plugin", prompt);
    THarmonyFileManager harmony;
    harmony.levels.fill(3);
    harmony.phases.fill(7);
    const auto good = harmony.Bytes();
    auto file = [&](std::size_t offset, std::uint8_t value, std::size_t size = THarmonyFileManager::kFileSize) {
        Bytes bytes(good.begin(), good.end());
        bytes[offset] = value;
        bytes.resize(size);
        return bytes;
    };
    const std::vector<FileCase> cases = {
        {"a missing file", dir / "missing.bha", kNotFound},
        {"a wrong identifier", Write("identifier.bha", file(0, 'X')), kNotAHarmony},
        {"an identifier without its zero", Write("unended.bha", file(21, 'X')), kNotAHarmony},
        {"version 2", Write("version.bha", file(22, 2)), kNotAHarmony},
        {"a file that ends in its harmonics", Write("short.bha", file(22, 1, 300)), ""},
        {"a file that ends in its header", Write("header.bha", file(22, 1, 12)), ""},
        {"an empty file", Write("empty.bha", {}), ""},
        {"a folder in place of the file", Folder("folder.bha"), ""},
    };
    for (const int frame : {0, 1})
        ExpectRefused(plugin, cases, [&](const std::string& path) { return plugin.LoadHarmonyFile(frame, path); });

    ExpectSameSound(twin, plugin);
}

TEST_F(RefusalsTest, RefusedRecordingsChangeNothingAndSayWhy) {
    TCustomVSTMidiPlugin& twin = Furnished("twin", twinPrompt);
    TCustomVSTMidiPlugin& plugin = Furnished("plugin", prompt);
    using test::Chunk;
    using test::FmtPayload;
    using test::RiffWave;
    const Bytes samples(8000, 0x40);
    Bytes beyond = test::Pcm16Wave(std::vector<float>(4000, 0.5f), 1);
    test::PatchU32(beyond, 40, 0x7FFFFFF0u); // the data chunk's size, far beyond the file's end
    const std::vector<FileCase> cases = {
        {"a missing file", dir / "missing.wav", ""},
        {"a folder in place of the file", Folder("folder.wav"), ""},
        {"an empty file", Write("empty.wav", {}), ""},
        {"not RIFF", Write("text.wav", Bytes(64, 'x')), "Error 13: Not a wave file!"},
        {"no data chunk", Write("nodata.wav", RiffWave({{"fmt ", FmtPayload(1, 1, 44100, 2, 16)}})),
         "Error 35: Cannot find 'data' chunk!"},
        {"12-bit samples", Write("bits.wav", RiffWave({{"fmt ", FmtPayload(1, 1, 44100, 2, 12)}, {"data", samples}})),
         "Error 36: Unsupported sample format (12 bits per sample)."},
        {"64-bit floats", Write("double.wav", RiffWave({{"fmt ", FmtPayload(3, 1, 44100, 8, 64)}, {"data", samples}})),
         "Error 36: Unsupported sample format (64 bits per sample)."},
        {"no channels", Write("mono0.wav", RiffWave({{"fmt ", FmtPayload(1, 0, 44100, 2, 16)}, {"data", samples}})),
         "Error 37: Invalid wave format!"},
        {"sample rate 0", Write("rate0.wav", RiffWave({{"fmt ", FmtPayload(1, 1, 0, 2, 16)}, {"data", samples}})),
         "Error 37: Invalid wave format!"},
        {"MPEG Layer-3",
         Write("mp3.wav", RiffWave({{"fmt ", FmtPayload(0x55, 1, 44100, 1, 0, 12, Bytes(12, 0))}, {"data", samples}})),
         "Error 19: MPEG Layer-3 compression is not supported."},
        {"a data size far beyond the file", Write("beyond.wav", beyond),
         "Error 38: The 'data' chunk is larger than the file!"},
        {"silence, where the analyser finds nothing",
         Write("silence.wav", test::Pcm16Wave(std::vector<float>(40000, 0.0f), 1)),
         "Analyze failed. Refer to the manual for help."},
    };
    for (const int mode : {0, 2})
        ExpectRefused(plugin, cases,
                      [&](const std::string& path) { return plugin.AnalyzeAudioIntoProgram(path, mode); });

    ExpectSameSound(twin, plugin);
}

// Damaged assignment file number `index` (0 … kDamagedAssignmentFiles − 1), written at `path` in place of
// whatever lies there; what it is and the message it must give.
struct DamagedFile {
    std::string what;
    std::string message;
};
constexpr int kDamagedAssignmentFiles = 5;

DamagedFile WriteDamagedAssignmentFile(const std::string& path, int index) {
    Manager::FileBytes bytes = Manager::Encode(Bindings({{kCcVolume, kTune}}));
    fs::remove_all(path);
    fs::create_directories(fs::path(path).parent_path());
    switch (index) {
    case 0:
        test::WriteFile(path, Bytes(bytes.begin(), bytes.begin() + 200));
        return {"a short file", Manager::kCorruptedMessage};
    case 1:
        test::WriteFile(path, {});
        return {"an empty file", Manager::kCorruptedMessage};
    case 2:
        bytes[5] = 'x';
        test::WriteFile(path, Bytes(bytes.begin(), bytes.end()));
        return {"a wrong identifier", Manager::kCorruptedMessage};
    case 3:
        bytes[30] = 2;
        test::WriteFile(path, Bytes(bytes.begin(), bytes.end()));
        return {"a newer version", Manager::kNewerVersionMessage};
    default:
        fs::create_directory(path);
        return {"a folder in place of the file", Manager::kCorruptedMessage};
    }
}

TEST_F(RefusalsTest, ARefusedAssignmentFileAtConstructionBindsNothing) {
    const Manager files(install);
    fs::remove(files.CustomPath());
    const PluginState fresh = Capture(Create(twinPrompt)); // no assignment file at all

    for (const std::string& path : {files.CustomPath(), files.FactoryPath()}) {
        for (int i = 0; i < kDamagedAssignmentFiles; ++i) {
            const auto [what, message] = WriteDamagedAssignmentFile(path, i);
            SCOPED_TRACE(path + ": " + what);
            auto deferred = std::make_shared<test::ScriptedPrompt>();
            TCustomVSTMidiPlugin& plugin = Create(deferred);
            EXPECT_TRUE(Same(fresh, Capture(plugin)));
            EXPECT_TRUE(deferred->messages.empty()) << "construction shows nothing";
            plugin.ShowDeferredMessages();
            EXPECT_EQ(deferred->messages, std::vector<std::string>{message});
        }
        fs::remove_all(path);
    }
}

TEST_F(RefusalsTest, ARefusedAssignmentFileReadAgainKeepsTheBindings) {
    TCustomVSTMidiPlugin& plugin = Furnished("plugin", prompt);
    const PluginState before = Capture(plugin);
    const Manager files(install);
    for (int i = 0; i < kDamagedAssignmentFiles; ++i) {
        const auto [what, message] = WriteDamagedAssignmentFile(files.CustomPath(), i);
        SCOPED_TRACE(what);
        prompt->messages.clear();
        prompt->answers = {PromptAnswer::kCancel}; // keep the custom assignments: they are read again
        plugin.ClearAssignments();
        EXPECT_EQ(prompt->messages, std::vector<std::string>{message});
        EXPECT_TRUE(Same(before, Capture(plugin)));
        // A controller still drives the parameter it was bound to.
        EXPECT_EQ(plugin.MidiHandler().Assignment(kCcPan), kPan);
    }

    // Answered Yes, the custom bindings are given up as asked, even when the factory defaults then prove
    // unreadable: nothing is bound, and the user learns why.
    WriteDamagedAssignmentFile(files.FactoryPath(), 2);
    fs::remove_all(files.CustomPath());
    EXPECT_TRUE(files.WriteAssignments(before.bindings));
    prompt->messages.clear();
    prompt->answers = {PromptAnswer::kYes};
    plugin.ClearAssignments();
    EXPECT_FALSE(fs::exists(files.CustomPath()));
    EXPECT_EQ(plugin.MidiHandler().Assignments(), Bindings({}));
    EXPECT_EQ(prompt->messages, std::vector<std::string>{Manager::kCorruptedMessage});
}

} // namespace
} // namespace quillon
