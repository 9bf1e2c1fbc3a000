// The plug-in's harmony-file commands and harmony clipboard: each keeps the current program's record and
// the oscillator's frame in step.
#include "core/TCustomVSTMidiPlugin.h"
#include "engine/TIFFTVoiceOsc.h"
#include "files/THarmonyFileManager.h"
#include "support/PluginFixture.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quillon {
namespace {

using namespace vst2;

class HarmonyFileCommandsTest : public test::TPluginFixture {
protected:
    void SetUp() override {
        Create();
        Process();
    }
    // A frame with a few sounding harmonics: level 3k and phase 100 + k for harmonic k = 1 … 5.
    void Shape(int frame) {
        for (int k = 1; k <= 5; ++k) {
            plugin->SetHarmonicLevel(frame, k, 3 * k);
            plugin->SetHarmonicPhase(frame, k, 100 + k);
        }
    }
    int Slot() { return plugin->CurrentProgram(); }

    test::TemporaryDirectory dir;
};

TEST_F(HarmonyFileCommandsTest, SavedFrameLoadsBackIntoAnotherFrame) {
    Shape(0);
    const std::string path = dir / "shape.bha";
    plugin->SetBankModified(0, false);
    ASSERT_TRUE(plugin->SaveHarmonyFile(0, path));
    EXPECT_FALSE(plugin->BankModified(0)) << "saving changes nothing";

    THarmonyFileManager file;
    ASSERT_TRUE(file.Load(path));
    EXPECT_EQ(file.levels[0], 255); // the engine never sounds DC
    EXPECT_EQ(file.levels[3], 9);
    EXPECT_EQ(file.phases[3], 103);
    EXPECT_EQ(file.levels[6], 255);

    ASSERT_TRUE(plugin->InsertHarmonyFrame(1, 0.5f));
    ASSERT_TRUE(plugin->LoadHarmonyFile(1, path));
    EXPECT_TRUE(plugin->BankModified(0));
    for (int k = 0; k < 251; ++k) {
        EXPECT_EQ(plugin->Programs().Level(Slot(), 1, k), file.levels[static_cast<std::size_t>(k)]) << k;
        EXPECT_EQ(plugin->Programs().Phase(Slot(), 1, k), file.phases[static_cast<std::size_t>(k)]) << k;
        EXPECT_EQ(plugin->Oscillator().GetHarmonicLevel(1, k), file.levels[static_cast<std::size_t>(k)]) << k;
    }
    EXPECT_TRUE(prompt->messages.empty());
}

TEST_F(HarmonyFileCommandsTest, LoadingAFileWithDCStoresAllEntries) {
    THarmonyFileManager file;
    file.levels.fill(255);
    file.phases.fill(128);
    file.levels[0] = 20;
    file.levels[250] = 40;
    file.phases[250] = 0;
    const std::string path = dir / "dc.bha";
    EXPECT_TRUE(file.Save(path));
    ASSERT_TRUE(plugin->LoadHarmonyFile(0, path));
    EXPECT_EQ(plugin->Programs().Level(Slot(), 0, 0), 20);
    EXPECT_EQ(plugin->Programs().Level(Slot(), 0, 250), 40);
    EXPECT_EQ(plugin->Programs().Phase(Slot(), 0, 250), 0);
}

TEST_F(HarmonyFileCommandsTest, RefusedFilesShowWhyAndChangeNothing) {
    Shape(0);
    plugin->SetBankModified(0, false);
    const std::vector<std::uint8_t> before(plugin->Programs().RecordBytes(Slot()).begin(),
                                           plugin->Programs().RecordBytes(Slot()).end());
    EXPECT_FALSE(plugin->LoadHarmonyFile(0, dir / "missing.bha"));
    test::Bytes wrong(525, 0);
    std::copy_n("Brindmor Harmony File", 21, wrong.begin());
    wrong[22] = 2; // a version this reader does not know
    test::WriteFile(dir / "v2.bha", wrong);
    EXPECT_FALSE(plugin->LoadHarmonyFile(0, dir / "v2.bha"));
    wrong[22] = 1;
    wrong.resize(300);
    test::WriteFile(dir / "short.bha", wrong);
    EXPECT_FALSE(plugin->LoadHarmonyFile(0, dir / "short.bha"));
    ASSERT_EQ(prompt->messages.size(), 3u);
    EXPECT_EQ(prompt->messages[0], "File not found!");
    EXPECT_EQ(prompt->messages[1], "The file is not a valid Harmony file!");
    EXPECT_FALSE(prompt->messages[2].empty());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), plugin->Programs().RecordBytes(Slot()).begin()));
    EXPECT_FALSE(plugin->BankModified(0));
}

TEST_F(HarmonyFileCommandsTest, CopiedFramePastesIntoAnother) {
    plugin->PasteHarmonyFrame(0); // nothing copied yet: nothing happens
    EXPECT_FALSE(plugin->BankModified(0));
    Shape(0);
    ASSERT_TRUE(plugin->InsertHarmonyFrame(1, 1.0f));
    plugin->SetBankModified(0, false);
    plugin->CopyHarmonyFrame(0);
    EXPECT_FALSE(plugin->BankModified(0)) << "copying changes nothing";
    plugin->PasteHarmonyFrame(1);
    EXPECT_TRUE(plugin->BankModified(0));
    for (int k = 0; k < 251; ++k) {
        EXPECT_EQ(plugin->Programs().Level(Slot(), 1, k), plugin->Programs().Level(Slot(), 0, k)) << k;
        EXPECT_EQ(plugin->Programs().Phase(Slot(), 1, k), plugin->Programs().Phase(Slot(), 0, k)) << k;
    }
    EXPECT_EQ(plugin->Oscillator().GetHarmonicLevel(1, 2), 6);
    EXPECT_EQ(plugin->Programs().FrameTime(Slot(), 1), 1.0f) << "the frame keeps its time";
}

TEST_F(HarmonyFileCommandsTest, CommandsOnFramesThatDoNotExistDoNothing) {
    THarmonyFileManager file;
    const std::string path = dir / "any.bha";
    EXPECT_TRUE(file.Save(path));
    EXPECT_FALSE(plugin->LoadHarmonyFile(3, path));
    EXPECT_FALSE(plugin->SaveHarmonyFile(-1, dir / "out.bha"));
    plugin->CopyHarmonyFrame(7);
    plugin->PasteHarmonyFrame(7);
    EXPECT_FALSE(plugin->BankModified(0));
    EXPECT_TRUE(prompt->messages.empty());
    EXPECT_FALSE(plugin->SaveHarmonyFile(0, dir.Path())); // a folder cannot be written as a file
    EXPECT_EQ(prompt->messages.size(), 1u);
}

TEST_F(HarmonyFileCommandsTest, SavingRightAfterAProgramChangeSavesTheNewProgram) {
    // A record changed behind the engine (a loaded program file, a chunk) reaches the oscillator only at
    // the next processing call; the commands must not act on the old frames meanwhile.
    plugin->Programs().SetLevel(Slot(), 0, 4, 33);
    plugin->RequestProgramApply();
    const std::string path = dir / "new.bha";
    ASSERT_TRUE(plugin->SaveHarmonyFile(0, path));
    THarmonyFileManager file;
    ASSERT_TRUE(file.Load(path));
    EXPECT_EQ(file.levels[4], 33);
}

} // namespace
} // namespace quillon
