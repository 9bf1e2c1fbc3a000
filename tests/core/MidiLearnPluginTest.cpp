// MIDI learn through the plug-in as a host and the editor drive it: controller events in processing calls,
// learn and forget modes, the reset, the assignment file written off the audio thread, failures to write
// it, and refused files met while the plug-in is constructed.
#include "core/TCustomVSTMidiPlugin.h"
#include "files/TMidiLearnFileManager.h"
#include "midi/TMidiHandler.h"
#include "platform/posix/XdgSettingsStore.h"
#include "plugin/PluginInstance.h"
#include "support/AllocationCounter.h"
#include "support/FakeHost.h"
#include "support/MidiEvents.h"
#include "support/ScopedEnvironment.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

using namespace quillon;
using namespace vst2;
namespace fs = std::filesystem;
using Manager = TMidiLearnFileManager;

namespace {

constexpr int kVolume = 7; // learnable controllers used below
constexpr int kBalance = 8;
constexpr int kPan = 10;
constexpr int kBrightness = 74;
constexpr int kMaster = 26; // parameters
constexpr int kAmpRelease = 30;
constexpr int kCutoff = 15;

Manager::Table TableWith(std::initializer_list<std::pair<int, int>> bindings) {
    Manager::Table table;
    table.fill(-1);
    for (const auto& [controller, parameter] : bindings)
        table[static_cast<std::size_t>(controller)] = parameter;
    return table;
}

class MidiLearnTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.Set("XDG_CONFIG_HOME", folder / "config");
        environment.Set("XDG_CONFIG_DIRS", folder / "machine");
        fs::create_directories(install);
        ASSERT_TRUE(platform::XdgSettingsStore().WriteSetting("InstallFolder", install));
        host.processLevel = kVstProcessLevelOffline;
        prompt = std::make_shared<test::ScriptedPrompt>();
    }
    void TearDown() override {
        for (TCustomVSTMidiPlugin* plugin : plugins)
            Dispatch(*plugin, effClose);
    }

    TCustomVSTMidiPlugin& Create() {
        plugins.push_back(CreatePluginInstance(test::FakeHost::Callback)); // with the editor shell
        return *plugins.back();
    }
    static VstIntPtr Dispatch(TCustomVSTMidiPlugin& plugin, VstInt32 opcode) {
        AEffect* effect = plugin.getAeffect();
        return effect->dispatcher(effect, opcode, 0, 0, nullptr, 0.0f);
    }
    // One controller event, delivered and dispatched as a host does: effProcessEvents, then a block.
    static void Control(TCustomVSTMidiPlugin& plugin, int controller, int value) {
        test::TMidiEventBlock events({test::Midi(3, 0xB0, controller, value)});
        AEffect* effect = plugin.getAeffect();
        effect->dispatcher(effect, effProcessEvents, 0, 0, events.Events(), 0.0f);
        std::vector<float> left(32), right(32);
        float* outputs[] = {left.data(), right.data()};
        effect->processReplacing(effect, nullptr, outputs, 32);
    }
    Manager::Table FileTable() const {
        Manager::Table table;
        static_cast<void>(Manager(install).ReadAssignments(table));
        return table;
    }

    test::TemporaryDirectory folder;
    test::ScopedEnvironment environment;
    const std::string install = folder / "install";
    test::FakeHost host;
    std::shared_ptr<test::ScriptedPrompt> prompt;
    std::vector<TCustomVSTMidiPlugin*> plugins;
};

} // namespace

TEST_F(MidiLearnTest, LearningBindsAnUnboundControllerDrivesItsParameterAndReachesTheFile) {
    TCustomVSTMidiPlugin& plugin = Create();
    TMidiHandler& midi = plugin.MidiHandler();
    midi.SetLearnMode(TMidiHandler::kLearnBind);
    midi.SetLearnParameter(kMaster);
    Control(plugin, kVolume, 64);
    EXPECT_EQ(midi.Assignment(kVolume), kMaster);
    EXPECT_EQ(midi.LearnParameter(), -1); // the next binding needs another touched control
    EXPECT_EQ(midi.LearnMode(), TMidiHandler::kLearnBind);
    // The move that bound the controller drives the parameter too, as an automated change the host records.
    EXPECT_EQ(plugin.getParameter(kMaster), 0.5f);
    EXPECT_EQ(host.lastAutomatedIndex, kMaster);
    EXPECT_TRUE(plugin.FlushAssignments());
    EXPECT_EQ(FileTable(), TableWith({{kVolume, kMaster}}));

    Control(plugin, kVolume, 127);
    EXPECT_EQ(plugin.getParameter(kMaster), 1.0f); // exactly 1, not 127/128

    // A bound controller is not bound again; it only drives its parameter, and the armed one stays armed.
    midi.SetLearnParameter(kAmpRelease);
    Control(plugin, kVolume, 0);
    EXPECT_EQ(midi.Assignment(kVolume), kMaster);
    EXPECT_EQ(midi.LearnParameter(), kAmpRelease);
    EXPECT_EQ(plugin.getParameter(kMaster), 0.0f);
    // Non-learnable controllers (modulation wheel, sustain) never bind.
    Control(plugin, 1, 100);
    Control(plugin, 64, 127);
    EXPECT_EQ(midi.Assignment(1), -1);
    EXPECT_EQ(midi.Assignment(64), -1);
    EXPECT_EQ(midi.LearnParameter(), kAmpRelease);
    // Several controllers may drive one parameter.
    midi.SetLearnParameter(kMaster);
    Control(plugin, kBalance, 32);
    EXPECT_EQ(plugin.getParameter(kMaster), 0.25f);

    // Bindings belong to the installation: a new instance reads them, with learning off.
    ASSERT_TRUE(plugin.FlushAssignments());
    TCustomVSTMidiPlugin& second = Create();
    EXPECT_EQ(second.MidiHandler().Assignments(), TableWith({{kVolume, kMaster}, {kBalance, kMaster}}));
    EXPECT_EQ(second.MidiHandler().LearnMode(), TMidiHandler::kLearnOff);
}

TEST_F(MidiLearnTest, LearningOnTheAudioThreadNeitherAllocatesNorWritesAndTheWriterThreadWritesSoonAfter) {
    TCustomVSTMidiPlugin& plugin = Create();
    plugin.MidiHandler().SetLearnMode(TMidiHandler::kLearnBind);
    plugin.MidiHandler().SetLearnParameter(kCutoff);
    Control(plugin, kVolume, 1); // the first block after construction switches the program in: not measured

    plugin.MidiHandler().SetLearnParameter(kCutoff);
    test::TMidiEventBlock events({test::Midi(0, 0xB0, kBrightness, 100)});
    std::vector<float> left(32), right(32);
    float* outputs[] = {left.data(), right.data()};
    AEffect* effect = plugin.getAeffect();
    {
        test::ScopedAllocationCounter allocations;
        effect->dispatcher(effect, effProcessEvents, 0, 0, events.Events(), 0.0f);
        effect->processReplacing(effect, nullptr, outputs, 32);
        EXPECT_EQ(allocations.Count(), 0u);
    }
    EXPECT_EQ(plugin.MidiHandler().Assignment(kBrightness), kCutoff);

    // No editor, no flush: the writer's own thread writes the file.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (FileTable() != TableWith({{kVolume, kCutoff}, {kBrightness, kCutoff}}) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(FileTable(), TableWith({{kVolume, kCutoff}, {kBrightness, kCutoff}}));
}

TEST_F(MidiLearnTest, ForgettingUnbindsEveryBoundControllerThatMoves) {
    EXPECT_TRUE(Manager(install).WriteAssignments(TableWith({{kVolume, kMaster}, {kBalance, kAmpRelease}})));
    TCustomVSTMidiPlugin& plugin = Create();
    TMidiHandler& midi = plugin.MidiHandler();
    ASSERT_EQ(midi.Assignment(kVolume), kMaster);
    plugin.setParameter(kMaster, 0.3f);
    midi.SetLearnMode(TMidiHandler::kLearnForget);
    Control(plugin, kVolume, 127);
    EXPECT_EQ(midi.Assignment(kVolume), -1);
    EXPECT_EQ(plugin.getParameter(kMaster), 0.3f); // an unbinding move drives nothing
    EXPECT_EQ(midi.LearnMode(), TMidiHandler::kLearnForget);
    Control(plugin, kPan, 127); // not bound: nothing happens
    Control(plugin, kBalance, 0);
    EXPECT_EQ(midi.Assignments(), TableWith({}));
    ASSERT_TRUE(plugin.FlushAssignments());
    EXPECT_EQ(FileTable(), TableWith({}));
}

TEST_F(MidiLearnTest, ResetAsksAndOnYesBringsTheFactoryBindingsBack) {
    const Manager files(install);
    EXPECT_TRUE(files.WriteAssignments(TableWith({{kBrightness, kCutoff}})));
    fs::rename(files.CustomPath(), files.FactoryPath());
    EXPECT_TRUE(files.WriteAssignments(TableWith({{kVolume, kMaster}})));
    TCustomVSTMidiPlugin& plugin = Create();
    plugin.SetUserPrompt(prompt);
    TMidiHandler& midi = plugin.MidiHandler();
    midi.SetLearnMode(TMidiHandler::kLearnBind);
    midi.SetLearnParameter(kAmpRelease);
    Control(plugin, kPan, 90);

    prompt->answers = {platform::PromptAnswer::kCancel, platform::PromptAnswer::kYes};
    plugin.ClearAssignments();
    ASSERT_EQ(prompt->questions.size(), 1u);
    EXPECT_EQ(prompt->questions[0], "Your Custom Midi Learn Assignments will be lost and the\rfactory defaults "
                                    "reinstated.\r\rDo you which to continue?");
    EXPECT_EQ(prompt->questionButtons[0], platform::PromptButtons::kYesCancel);
    // Cancel: the custom file stays (with the binding just learned) and is read again.
    EXPECT_EQ(FileTable(), TableWith({{kVolume, kMaster}, {kPan, kAmpRelease}}));
    EXPECT_EQ(midi.Assignments(), TableWith({{kVolume, kMaster}, {kPan, kAmpRelease}}));
    EXPECT_EQ(midi.LearnMode(), TMidiHandler::kLearnOff);

    plugin.ClearAssignments();
    EXPECT_FALSE(fs::exists(files.CustomPath()));
    EXPECT_EQ(midi.Assignments(), TableWith({{kBrightness, kCutoff}}));
    EXPECT_TRUE(prompt->messages.empty());
    Control(plugin, kBrightness, 127);
    EXPECT_EQ(plugin.getParameter(kCutoff), 1.0f);
    // Nothing learned since: no custom file appears.
    EXPECT_TRUE(plugin.FlushAssignments());
    EXPECT_FALSE(fs::exists(files.CustomPath()));
}

TEST_F(MidiLearnTest, ABindingSurvivesAFailedWriteAndReachesTheFileWhenWritingWorksAgain) {
    // A file where the Data folder belongs: the assignment file cannot be written, whoever runs the test.
    std::ofstream(install + "/Data") << "in the way";
    TCustomVSTMidiPlugin& plugin = Create();
    plugin.SetUserPrompt(prompt);
    Dispatch(plugin, effEditOpen);
    TMidiHandler& midi = plugin.MidiHandler();
    midi.SetLearnMode(TMidiHandler::kLearnBind);
    midi.SetLearnParameter(kMaster);
    Control(plugin, kVolume, 64);
    EXPECT_FALSE(plugin.FlushAssignments());
    Control(plugin, kVolume, 127);
    EXPECT_EQ(plugin.getParameter(kMaster), 1.0f);

    // The failure is told once, at the editor's next idle call, however often writing fails.
    Dispatch(plugin, effEditIdle);
    EXPECT_FALSE(plugin.FlushAssignments());
    Dispatch(plugin, effEditIdle);
    ASSERT_EQ(prompt->messages.size(), 1u);
    EXPECT_EQ(prompt->messages[0].rfind("The Midi Assignment File could not be written", 0), 0u) << prompt->messages[0];

    // A reset answered with Cancel must not read back a file that lacks the binding.
    prompt->answers = {platform::PromptAnswer::kCancel};
    plugin.ClearAssignments();
    EXPECT_EQ(midi.Assignment(kVolume), kMaster);

    fs::remove(install + "/Data");
    EXPECT_TRUE(plugin.FlushAssignments());
    EXPECT_EQ(FileTable(), TableWith({{kVolume, kMaster}}));
}

TEST_F(MidiLearnTest, ClosingTheEditorEndsLearningAndWritesWhatWasLearned) {
    TCustomVSTMidiPlugin& plugin = Create();
    Dispatch(plugin, effEditOpen);
    plugin.MidiHandler().SetLearnMode(TMidiHandler::kLearnBind);
    plugin.MidiHandler().SetLearnParameter(kMaster);
    Control(plugin, kVolume, 10);
    Dispatch(plugin, effEditClose);
    EXPECT_EQ(plugin.MidiHandler().LearnMode(), TMidiHandler::kLearnOff);
    EXPECT_EQ(FileTable(), TableWith({{kVolume, kMaster}}));
}

TEST_F(MidiLearnTest, ARefusedFileAtConstructionDoesNotStopItAndItsMessageWaitsForTheEditor) {
    struct Case {
        std::size_t offset;
        std::uint8_t value;
        const char* message;
    };
    for (const Case c : {Case{3, 'x', Manager::kCorruptedMessage}, Case{30, 2, Manager::kNewerVersionMessage}}) {
        SCOPED_TRACE(c.message);
        Manager::FileBytes bytes = Manager::Encode(TableWith({{kVolume, kMaster}}));
        bytes[c.offset] = c.value;
        fs::create_directories(install + "/Data");
        std::ofstream(Manager(install).CustomPath(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

        // Construction asks nothing (a host scanning plug-ins has no display); the controllers are unbound.
        auto deferred = std::make_shared<test::ScriptedPrompt>();
        TCustomVSTMidiPlugin& plugin = Create();
        plugin.SetUserPrompt(deferred);
        EXPECT_EQ(plugin.MidiHandler().Assignments(), TableWith({}));
        Control(plugin, kVolume, 127);
        Dispatch(plugin, effEditOpen);
        EXPECT_TRUE(deferred->messages.empty());
        Dispatch(plugin, effEditIdle);
        EXPECT_EQ(deferred->messages, std::vector<std::string>{c.message});
        Dispatch(plugin, effEditIdle);
        EXPECT_EQ(deferred->messages.size(), 1u);
        EXPECT_TRUE(deferred->questions.empty());

        // Reading again for the editor's reset shows the message at once.
        plugin.ClearAssignments(); // answered Cancel
        EXPECT_EQ(deferred->messages.size(), 2u);
        Dispatch(plugin, effEditClose);
    }
}
