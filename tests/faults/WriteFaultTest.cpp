// Every file the system writes, saved onto a full disk, into a read-only folder, with a failing flush or
// rename, with a write that fails half-way, and by a process killed in the middle of the save: the file
// that was there stays byte for byte, no temporary file is left beside it, and the user is told which
// file could not be written and why.
#include "HarmonyCommand.h"
#include "ProgramCommand.h"
#include "RenderCommand.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "core/TMidiAssignmentWriter.h"
#include "faults/FaultInjection.h"
#include "files/TMidiLearnFileManager.h"
#include "files/TPresetsFileManager.h"
#include "midi/TMidiHandler.h"
#include "platform/posix/XdgSettingsStore.h"
#include "support/MidiFileBuilder.h"
#include "support/PluginFixture.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using namespace vst2;
using platform::PromptAnswer;

constexpr const char* kProbePath = QUILLON_PROBE_PLUGIN_PATH;

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// What a save attempt did: whether it reports the file written, and the text the user was shown.
struct Outcome {
    bool saved = false;
    std::string shown;
};

// A failure of the file system, armed for one folder. `half` is about half the length of the file being
// saved, for the failures that strike part-way.
struct Fault {
    const char* name;
    void (*arm)(const std::string& folder, std::size_t half);
    int error; // the reason, as errno
};

const Fault kFaults[] = {
    {"full disk", [](const std::string& f, std::size_t) { test::fault::FailWritesAfter(f, 0, ENOSPC); }, ENOSPC},
    {"disk full half-way", [](const std::string& f, std::size_t h) { test::fault::FailWritesAfter(f, h, ENOSPC); },
     ENOSPC},
    {"device failing half-way", [](const std::string& f, std::size_t h) { test::fault::FailWritesAfter(f, h, EIO); },
     EIO},
    {"read-only file system", [](const std::string& f, std::size_t) { test::fault::FailCreateIn(f, EROFS); }, EROFS},
    {"folder without write permission", [](const std::string& f, std::size_t) { test::fault::FailCreateIn(f, EACCES); },
     EACCES},
    {"failing flush", [](const std::string& f, std::size_t) { test::fault::FailFsync(f, EIO); }, EIO},
    {"failing rename", [](const std::string& f, std::size_t) { test::fault::FailRename(f, ENOSPC); }, ENOSPC},
};

// Tries `save` of the file at `path` (which exists) under every fault: each attempt must report failure,
// leave the file and the folder's entries as they were and, with `told`, show a text naming the file and
// the reason. A last attempt without faults must succeed and change the file, so that the failures above
// are the faults' doing.
void ExpectFaultsChangeNothing(const std::string& path, const std::function<Outcome()>& save, bool told = true) {
    const std::string folder = fs::path(path).parent_path().string();
    const std::vector<std::uint8_t> before = ReadAll(path);
    const std::vector<std::string> entries = Names(folder);
    ASSERT_FALSE(before.empty());
    for (const Fault& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        fault.arm(folder, before.size() / 2);
        const Outcome outcome = save();
        const int hits = test::fault::Hits();
        test::fault::Reset();
        EXPECT_GT(hits, 0) << "the fault never struck";
        EXPECT_FALSE(outcome.saved);
        EXPECT_TRUE(ReadAll(path) == before) << "the previous file was changed";
        EXPECT_EQ(Names(folder), entries) << "a temporary file was left behind";
        if (!told) continue;
        EXPECT_NE(outcome.shown.find(path), std::string::npos) << outcome.shown;
        EXPECT_NE(outcome.shown.find(std::generic_category().message(fault.error)), std::string::npos) << outcome.shown;
    }
    EXPECT_TRUE(save().saved);
    EXPECT_FALSE(ReadAll(path) == before);
    EXPECT_EQ(Names(folder), entries);
}

class FaultTest : public ::testing::Test {
protected:
    void TearDown() override { test::fault::Reset(); }

    test::TemporaryDirectory dir;
};

// The plug-in's own saves, with their messages shown through its prompt.
class PluginSaveFaultTest : public test::TPluginFixture {
protected:
    void SetUp() override { Create(); }
    void TearDown() override {
        Close();
        test::fault::Reset();
    }
    // Runs a save that may ask to overwrite (answered Yes) and collects what it showed.
    Outcome Attempt(const std::function<bool()>& save) {
        prompt->messages.clear();
        prompt->answers = {PromptAnswer::kYes};
        Outcome outcome;
        outcome.saved = save();
        for (const std::string& message : prompt->messages)
            outcome.shown += message + "\n";
        return outcome;
    }

    test::TemporaryDirectory dir;
};

TEST_F(PluginSaveFaultTest, ProgramFileSaveKeepsThePreviousFile) {
    const std::string path = dir / "sound.bpa";
    plugin->setProgramName("Before");
    ASSERT_TRUE(plugin->SaveProgramFile(path));
    plugin->setProgramName("After");
    ExpectFaultsChangeNothing(path, [&] { return Attempt([&] { return plugin->SaveProgramFile(path); }); });
}

TEST_F(PluginSaveFaultTest, BankFileSaveKeepsThePreviousFileAndTheBankStaysModified) {
    const std::string path = dir / "sounds.bpb";
    ASSERT_TRUE(plugin->SaveBankFile(0, path));
    plugin->setProgramName("Changed");
    plugin->SetBankModified(0, true);
    ExpectFaultsChangeNothing(path, [&] {
        const Outcome outcome = Attempt([&] { return plugin->SaveBankFile(0, path); });
        // A bank whose save failed is not in any file: it must keep its modified mark.
        EXPECT_EQ(plugin->BankModified(0), !outcome.saved);
        return outcome;
    });
}

TEST_F(PluginSaveFaultTest, HarmonyFileSaveKeepsThePreviousFile) {
    const std::string path = dir / "frame.bha";
    ASSERT_TRUE(plugin->SaveHarmonyFile(0, path));
    plugin->SetHarmonicLevel(0, 3, 17);
    ExpectFaultsChangeNothing(path, [&] { return Attempt([&] { return plugin->SaveHarmonyFile(0, path); }); });
}

TEST_F(FaultTest, MidiAssignmentFileWriteKeepsThePreviousFileAndReportsOnce) {
    TMidiLearnFileManager file(dir.Path());
    TMidiLearnFileManager::Table table;
    table.fill(-1);
    table[7] = 26;
    EXPECT_TRUE(file.WriteAssignments(table));
    int learned = 0;
    ExpectFaultsChangeNothing(file.CustomPath(), [&] {
        // Learning binds a controller on the audio thread; the writer then writes the file.
        TMidiHandler handler;
        handler.SetAssignments(table);
        handler.SetLearnMode(TMidiHandler::kLearnBind);
        handler.SetLearnParameter(40);
        handler.ControlChange(20 + learned++, 64);
        Outcome outcome;
        TMidiAssignmentWriter writer(file, handler, [&](const std::string& text) { outcome.shown += text; });
        outcome.saved = writer.Flush(true);
        if (!outcome.saved) {
            EXPECT_FALSE(writer.Flush(true)); // still failing, and not reported again
            EXPECT_TRUE(writer.WriteDue()) << "the binding must stay due for a later write";
            writer.Replace(handler.Assignments()); // no last attempt when the writer goes
        }
        return outcome;
    });
}

TEST_F(FaultTest, SettingsWriteKeepsThePreviousFile) {
    // The store answers with true or false only; its callers carry on with the value in memory.
    const std::string userFile = platform::XdgSettingsStore::FileBelow(dir / "config");
    platform::XdgSettingsStore store(userFile, {});
    ASSERT_TRUE(store.WriteSetting("InstallFolder", "/opt/quillon"));
    ASSERT_TRUE(store.WriteSetting("ProgramBankDir", "/home/me/banks"));
    int round = 0;
    ExpectFaultsChangeNothing(
        userFile,
        [&] {
            return Outcome{store.WriteSetting("AudioFileDir", "/wav/" + std::to_string(round++)), {}};
        },
        false);
    EXPECT_EQ(store.ReadSetting("InstallFolder").text, "/opt/quillon");
    EXPECT_EQ(store.ReadSetting("ProgramBankDir").text, "/home/me/banks");
}

// The `quillon` subcommands that write files, with what they print on stderr.
Outcome RunCommand(int (*command)(cli::TArgs), const std::vector<std::string>& arguments) {
    testing::internal::CaptureStdout(); // the report of a success
    testing::internal::CaptureStderr();
    const int code = command(arguments);
    testing::internal::GetCapturedStdout();
    return {code == 0, testing::internal::GetCapturedStderr()};
}

TEST_F(FaultTest, ProgramAndBankCommandsKeepThePreviousFiles) {
    const std::string program = dir / "saw.bpa";
    ASSERT_TRUE(RunCommand(RunProgram, {"--wave", "saw", "-o", program}).saved);
    int round = 0;
    ExpectFaultsChangeNothing(program, [&] {
        return RunCommand(RunProgram, {"--wave", "square", "--name", "n" + std::to_string(round++), "-o", program});
    });

    const std::string bank = dir / "bank.bpb";
    ASSERT_TRUE(RunCommand(RunBank, {program, "-o", bank}).saved);
    ExpectFaultsChangeNothing(bank, [&] { return RunCommand(RunBank, {program, program, "-o", bank}); });
}

TEST_F(FaultTest, HarmonyExportKeepsThePreviousFile) {
    const std::string program = dir / "tri.bpa";
    ASSERT_TRUE(RunCommand(RunProgram, {"--wave", "triangle", "-o", program}).saved);
    const std::string saw = dir / "saw.bpa";
    ASSERT_TRUE(RunCommand(RunProgram, {"--wave", "saw", "-o", saw}).saved);
    const std::string path = dir / "frame.bha";
    ASSERT_TRUE(RunCommand(RunHarmony, {"export", program, "-o", path}).saved);
    ExpectFaultsChangeNothing(path, [&] { return RunCommand(RunHarmony, {"export", saw, "-o", path}); });
}

// A song of one short note, long enough for a few blocks of sound.
std::string WriteSong(const test::TemporaryDirectory& dir) {
    const std::string path = dir / "song.mid";
    test::WriteBytes(path,
                     test::MidiFileBytes(0, 480, {test::TMidiTrack{{{0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}}}}));
    return path;
}

TEST_F(FaultTest, RenderKeepsThePreviousWavFile) {
    const std::string song = WriteSong(dir);
    const std::string out = dir / "out.wav";
    const std::vector<std::string> render = {song, "-o", out, "--plugin", kProbePath, "--tail-max", "0"};
    std::vector<std::string> first = render;
    first.insert(first.end(), {"--rate", "8000"});
    ASSERT_TRUE(RunCommand(RunRender, first).saved);
    ExpectFaultsChangeNothing(out, [&] { return RunCommand(RunRender, render); });
}

// A save cut short by the death of its process --------------------------------------------------------

// The entries of `folder` other than the hidden temporary files a killed save leaves behind.
std::vector<std::string> VisibleNames(const std::string& folder) {
    std::vector<std::string> names = Names(folder);
    std::erase_if(names, [](const std::string& name) { return name.starts_with("."); });
    return names;
}

TEST_F(FaultTest, KilledInTheMiddleOfABankSaveTheOldFileStays) {
    GTEST_FLAG_SET(death_test_style, "fast"); // the child must see this test's folder and files
    TPresetsFileManager files;
    std::vector<std::uint8_t> bank(TPresetsFileManager::kBankBytes, 7);
    const std::string path = dir / "bank.bpb";
    ASSERT_TRUE(files.SaveBank(path, TPresetsFileManager::ConstBankSpan(bank.data(), bank.size())));
    const std::vector<std::uint8_t> before = ReadAll(path);

    for (std::size_t i = 0; i < bank.size(); ++i)
        bank[i] = static_cast<std::uint8_t>(i * 31 / 7); // compresses far less: a longer write
    EXPECT_EXIT(
        {
            test::fault::KillAfterWrites(dir.Path(), 1000);
            static_cast<void>(files.SaveBank(path, TPresetsFileManager::ConstBankSpan(bank.data(), bank.size())));
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_TRUE(ReadAll(path) == before);
    EXPECT_EQ(VisibleNames(dir.Path()), std::vector<std::string>{"bank.bpb"});

    // The next save replaces the file, whatever the killed one left behind.
    ASSERT_TRUE(files.SaveBank(path, TPresetsFileManager::ConstBankSpan(bank.data(), bank.size())));
    std::vector<std::uint8_t> loaded(bank.size());
    ASSERT_TRUE(files.LoadBank(path, TPresetsFileManager::BankSpan(loaded.data(), loaded.size())));
    EXPECT_TRUE(loaded == bank);
}

TEST_F(FaultTest, KilledInTheMiddleOfARenderTheOldWavFileStays) {
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::string song = WriteSong(dir);
    const std::string out = dir / "out.wav";
    const std::vector<std::string> render = {song, "-o", out, "--plugin", kProbePath, "--tail-max", "0"};
    std::vector<std::string> first = render;
    first.insert(first.end(), {"--rate", "8000"});
    ASSERT_TRUE(RunCommand(RunRender, first).saved);
    const std::vector<std::uint8_t> before = ReadAll(out); // a fifth of the length of the one killed
    EXPECT_EXIT(
        {
            test::fault::KillAfterWrites(dir.Path(), before.size());
            RunRender(render);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_TRUE(ReadAll(out) == before);
    EXPECT_EQ(VisibleNames(dir.Path()), (std::vector<std::string>{"out.wav", "song.mid"}));
}

} // namespace
} // namespace quillon
