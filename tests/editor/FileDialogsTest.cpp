// The form's file dialogs: each starts in its remembered folder with its own title and filter, only the
// harmony save asks before replacing a file, and a dialog open when the form goes calls nobody.
#include "editor/TEditorFrame.h"
#include "host/vst2.h"
#include "platform/IFileDialogs.h"
#include "platform/ListFolder.h"
#include "platform/SystemFileDialog.h"
#include "platform/SystemMessageBox.h"
#include "support/EditorFixture.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryDirectory.h"
#include "toolkit/TFileDialog.h"
#include "toolkit/TMessageBox.h"
#include "toolkit/TSystemDialogPanel.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace quillon::test {
namespace {

struct FileDialogsTest : TEditorFixture {
    TemporaryDirectory folder;
    std::vector<std::string> chosen;
    int cancels = 0;

    void TearDown() override {
        for (const char* name :
             {platform::kSettingPresetHarmonyDir, platform::kSettingProgramBankDir, platform::kSettingFileDialog})
            plugin->Settings().WriteSetting(name, "");
        TEditorFixture::TearDown();
    }
    TFileDialog& Show(TFileDialogKind kind) {
        form->ShowFileDialog(
            kind, [this](const std::string& path) { chosen.push_back(path); }, [this] { ++cancels; });
        auto* dialog = dynamic_cast<TFileDialog*>(form->ModalLayer().Top());
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }
    void Type(const std::string& text) {
        for (const char c : text)
            form->KeyEvent(TKeyEvent{TEditKey::Other, true, std::string(1, c)});
        form->KeyEvent(TKeyEvent{TEditKey::Enter, true, {}});
    }
};

TEST_F(FileDialogsTest, DialogsStartInTheirRememberedFolderWithTheirTitleAndFilter) {
    std::ofstream(folder / "Choir.bha") << "x";
    std::ofstream(folder / "Choir.bpa") << "x";
    ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingPresetHarmonyDir, folder.Path()));
    TFileDialog& open = Show(TFileDialogKind::OpenHarmony);
    EXPECT_EQ(open.Caption(), "Open Harmony File");
    EXPECT_EQ(open.Folder(), folder.Path());
    EXPECT_EQ(open.FilterDescription(), "Brindmor Harmony (*.bha)");
    ASSERT_EQ(open.Rows().size(), 2u);
    EXPECT_EQ(open.Rows()[1].name, "Choir.bha");
    Type("Choir");
    EXPECT_EQ(chosen, std::vector<std::string>{folder / "Choir.bha"});

    // An empty folder value starts at home.
    ScopedEnvironment environment;
    environment.Set("HOME", folder.Path());
    ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingProgramBankDir, ""));
    TFileDialog& bank = Show(TFileDialogKind::SaveProgramBank);
    EXPECT_EQ(bank.Caption(), "Save Program Bank");
    EXPECT_EQ(bank.Folder(), folder.Path());
    form->ModalLayer().CloseAll();
    form->ChooseFolder(platform::kChooseHarmonyFolderCaption,
                       [this](const std::string& path) { chosen.push_back(path); });
    EXPECT_EQ(form->ModalLayer().Top()->Caption(), "Change default directory for harmony files.");
    form->KeyEvent(TKeyEvent{TEditKey::Enter, true, {}});
    EXPECT_EQ(chosen.back(), folder.Path());
}

TEST_F(FileDialogsTest, OnlyTheHarmonySaveAsksBeforeReplacing) {
    std::ofstream(folder / "Old.bha") << "x";
    std::ofstream(folder / "Old.bpb") << "x";
    ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingPresetHarmonyDir, folder.Path()));
    ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingProgramBankDir, folder.Path()));
    Show(TFileDialogKind::SaveProgramBank); // the plug-in asks itself before it replaces a bank
    Type("Old");
    EXPECT_EQ(chosen, std::vector<std::string>{folder / "Old.bpb"});
    Show(TFileDialogKind::SaveHarmony);
    Type("Old");
    EXPECT_EQ(form->ModalLayer().Count(), 2);
    EXPECT_EQ(chosen.size(), 1u);
    // The form going away with the question open calls nothing.
    form.reset();
    EXPECT_EQ(chosen.size(), 1u);
    EXPECT_EQ(cancels, 0);
}

// Keys the host forwards reach an open dialog (the editor here has no window of its own), and only then.
TEST_F(FileDialogsTest, KeysFromTheHostReachAnOpenDialog) {
    TEditorFrame frame(0, *plugin);
    EXPECT_FALSE(frame.HostKey(0, vst2::VKEY_ESCAPE, 0, true));
    frame.Form().ShowFileDialog(
        TFileDialogKind::OpenProgram, [](const std::string&) {}, [this] { ++cancels; });
    EXPECT_TRUE(frame.HostKey('q', 0, 0, true));
    EXPECT_EQ(dynamic_cast<TFileDialog&>(*frame.Form().ModalLayer().Top()).NameField().Text(), "q");
    EXPECT_TRUE(frame.HostKey(0, vst2::VKEY_ESCAPE, 0, true));
    // The folder chooser has no name field: its keys come all the same.
    frame.Form().ChooseFolder(
        "Choose", [](const std::string&) {}, [this] { ++cancels; });
    EXPECT_TRUE(frame.HostKey(0, vst2::VKEY_ESCAPE, 0, true));
    EXPECT_EQ(cancels, 2);
    EXPECT_FALSE(frame.Form().ModalLayer().IsOpen());
}

// "FileDialog=system": the desktop's dialog where it can be started; the editor's own where it cannot, or
// when it fails to show.
TEST_F(FileDialogsTest, TheDesktopsDialogWhenTheSettingsAskForItElseTheEditorsOwn) {
    ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingFileDialog, "system"));
    ScopedEnvironment environment;
    environment.Set("PATH", folder.Path());
    form->ShowFileDialog(TFileDialogKind::OpenAudioFile, [](const std::string&) {});
    EXPECT_NE(dynamic_cast<TFileDialog*>(form->ModalLayer().Top()), nullptr); // no tool found
    form->ModalLayer().CloseAll();

    const std::string tool = folder / "zenity";
    std::ofstream(tool) << "#!/bin/sh\nexit 3\n";
    chmod(tool.c_str(), 0755);
    form->ShowFileDialog(TFileDialogKind::OpenAudioFile, [](const std::string&) {});
    EXPECT_NE(dynamic_cast<TSystemDialogPanel*>(form->ModalLayer().Top()), nullptr);
    for (int i = 0; i < 200 && !dynamic_cast<TFileDialog*>(form->ModalLayer().Top()); ++i) {
        form->AdvanceClock(TSystemDialogPanel::kPollMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    auto* own = dynamic_cast<TFileDialog*>(form->ModalLayer().Top());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Caption(), "Open Audio File");
    EXPECT_EQ(form->ModalLayer().Count(), 1);
}

// The settings choose whose dialogs and message boxes show; left empty, Linux keeps the editor's own even
// where a desktop dialog could start, and it has no message box of the system's.
TEST_F(FileDialogsTest, TheEditorsOwnUnlessTheSettingsAskForTheSystems) {
    EXPECT_TRUE(platform::WantsSystemDialogs("", true));
    EXPECT_FALSE(platform::WantsSystemDialogs("", false));
    EXPECT_TRUE(platform::WantsSystemDialogs("system", false));
    EXPECT_FALSE(platform::WantsSystemDialogs("editor", true));
    EXPECT_FALSE(platform::SystemDialogsByDefault());
    EXPECT_FALSE(platform::HasSystemMessageBox());
    EXPECT_EQ(platform::SystemDialogDefaultFolder(), platform::HomeFolder());

    ScopedEnvironment environment;
    environment.Set("PATH", folder.Path());
    const std::string tool = folder / "zenity";
    std::ofstream(tool) << "#!/bin/sh\nexit 1\n"; // cancels at once
    chmod(tool.c_str(), 0755);
    for (const char* setting : {"", "editor", "system"}) {
        ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingFileDialog, setting));
        int cancelled = 0;
        form->ChooseFolder(
            "Choose", [](const std::string&) {}, [&] { ++cancelled; });
        const bool system = std::string(setting) == "system";
        EXPECT_EQ(dynamic_cast<TSystemDialogPanel*>(form->ModalLayer().Top()) != nullptr, system) << setting;
        // The tool's answer is read (and the tool reaped) by the clock.
        for (int i = 0; i < 200 && system && !cancelled; ++i) {
            form->AdvanceClock(TSystemDialogPanel::kPollMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(cancelled, system ? 1 : 0) << setting;
        form->ModalLayer().CloseAll();
        form->ShowMessage("Quillon", "File not found!");
        EXPECT_NE(dynamic_cast<TMessageBox*>(form->ModalLayer().Top()), nullptr) << setting;
        form->ModalLayer().CloseAll();
    }
}

} // namespace
} // namespace quillon::test
