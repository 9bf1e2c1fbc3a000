// The presets page against a real plug-in: program rows chosen and renamed, the bank list, every program and
// bank command with its enabling rule, and questions answered in the editor's message boxes, later, while
// the form goes on idling.
#include "editor/TEditorFrame.h"
#include "editor/TEditorPrompt.h"
#include "editor/TPluginGUI.h"
#include "platform/ISettingsStore.h"
#include "plugin/TVSTEditor.h"
#include "support/EditorFixture.h"
#include "support/TemporaryDirectory.h"
#include "toolkit/TBAListBox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace quillon::test {
namespace {

class ProgramCommandsTest : public TEditorFixture {
protected:
    void SetUp() override {
        TEditorFixture::SetUp();
        ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingProgramBankDir, banks.Path()));
        form->initNonAutomatedControls();
        RefreshFromPlugin();
    }
    void TearDown() override {
        plugin->Settings().WriteSetting(platform::kSettingProgramBankDir, "");
        TEditorFixture::TearDown();
    }
    TPatchListBox& List(int half) const {
        return *form->ControlAs<TPatchListBox>(half == 0 ? "PatchListBank1" : "PatchListBank2");
    }
    TBAListBox& BankList() const { return *form->ControlAs<TBAListBox>("BankListControl"); }
    // A press and release on a row of a list, window coordinates.
    void ClickRow(const TBAListBox& list, int row) {
        const TRect at = list.ItemRect(row).Translated(list.WindowRect().left, list.WindowRect().top);
        form->MouseDown(TMouseEvent{at.left + 4, at.top + 4});
        form->MouseUp(TMouseEvent{at.left + 4, at.top + 4});
    }
    // Starts renaming a row with a double click and types `text` over its name.
    void TypeName(TPatchListBox& list, int row, const std::string& text, bool enter) {
        const TRect at = list.ItemRect(row).Translated(list.WindowRect().left, list.WindowRect().top);
        form->MouseDoubleClick(TMouseEvent{at.left + 4, at.top + 4});
        for (std::size_t i = 0; i < 30; ++i)
            form->KeyEvent(TKeyEvent{TEditKey::Backspace, true, {}});
        for (const char c : text)
            form->KeyEvent(TKeyEvent{TEditKey::Other, true, std::string(1, c)});
        if (enter) form->KeyEvent(TKeyEvent{TEditKey::Enter, true, {}});
    }
    // Opens `menu` as its drop-down does and chooses `caption`; false when the item was disabled.
    bool Choose(const char* menu, const std::string& caption) {
        TPopupMenu& popup = *form->Menu(menu);
        if (popup.OnPopup) popup.OnPopup(popup);
        for (int i = 0; i < popup.Items.Count(); ++i)
            if (TMenuItem& item = popup.Items[i]; item.Caption == caption) {
                if (item.Enabled) item.OnClick(item);
                return item.Enabled;
            }
        ADD_FAILURE() << caption;
        return false;
    }
    const TMessageBox* Box() const { return dynamic_cast<const TMessageBox*>(form->ModalLayer().Top()); }
    std::string Name(int slot) const { return plugin->Programs().Name(slot); }

    TemporaryDirectory banks;
};

TEST_F(ProgramCommandsTest, RowClicksChooseProgramsAndTypedNamesRenameThem) {
    const TDIBControl& lamp = *form->Control("PresetLoadingIndicator");
    ClickRow(List(0), 3);
    EXPECT_EQ(plugin->CurrentProgram(), 3);
    EXPECT_EQ(lamp.Opacity(), 255);

    TypeName(List(0), 3, "Warm Bell and a name far too long", true);
    EXPECT_EQ(Name(3), "Warm Bell and a name far"); // 24 characters
    EXPECT_EQ(List(0).Item(3), "004. Warm Bell and a name far");

    // A rename left open in one list is committed by a rename in the other, for its own program.
    TypeName(List(0), 3, "Alpha", false);
    Click("BankSelectorButton");
    ASSERT_EQ(form->VisibleProgramList(), &List(1));
    ClickRow(List(1), 0);
    ASSERT_EQ(plugin->CurrentProgram(), 64);
    TypeName(List(1), 0, "Beta", true);
    EXPECT_EQ(Name(3), "Alpha");
    EXPECT_EQ(Name(64), "Beta");

    // Program 64 chosen elsewhere brings the second half forward with its first row selected.
    Click("BankSelectorButton");
    RefreshFromPlugin();
    EXPECT_EQ(form->VisibleProgramList(), &List(1));
    EXPECT_EQ(List(1).ItemIndex(), 0);
    EXPECT_TRUE(form->ControlAs<TBADIBButton>("BankSelectorButton")->Active());
}

TEST_F(ProgramCommandsTest, ProgramCommandsNeedASelectedRow) {
    plugin->Programs().SetName(5, "Source");
    ClickRow(List(0), 5);
    EXPECT_TRUE(Choose("ProgramsEditMenu", "Copy Program"));
    ClickRow(List(0), 6);
    EXPECT_TRUE(Choose("ProgramsEditMenu", "Paste Program"));
    EXPECT_EQ(Name(6), "Source");
    EXPECT_TRUE(Choose("ProgramsEditMenu", "Insert Program into Opposite Bank"));
    EXPECT_EQ(Name(64), "Source");
    EXPECT_TRUE(Choose("ProgramsEditMenu", "Clear Selected Program"));
    EXPECT_EQ(Name(6), "-");

    form->SaveProgramToFile(banks / "p.bpa");
    ClickRow(List(0), 7);
    form->LoadProgramFromFile(banks / "p.bpa");
    EXPECT_EQ(Name(7), "-");
    EXPECT_TRUE(Choose("ProgramsEditMenu", "Clear All Programs in Selected Bank"));
    EXPECT_EQ(Name(5), "-");
    EXPECT_EQ(List(0).Item(5), "006. -");

    // The other half's list shows no selection: the row commands are off, the others stay on.
    Click("BankSelectorButton");
    for (const char* command : {"Load Program", "Save Program"})
        EXPECT_FALSE(Choose("ProgramsFilesMenu", command)) << command;
    EXPECT_FALSE(Choose("ProgramsEditMenu", "Copy Program"));
    EXPECT_TRUE(Choose("ProgramsEditMenu", "Clear All Programs in Selected Bank"));
    form->ChangeProgramDirectory("/somewhere/programs");
    EXPECT_EQ(plugin->Settings().ReadSetting(platform::kSettingPresetProgramDir).text, "/somewhere/programs");
}

TEST_F(ProgramCommandsTest, BankCommandsSaveLoadAndDeleteBankFiles) {
    EXPECT_FALSE(Choose("BankListMenu", "Save Bank"));
    EXPECT_FALSE(Choose("BankListMenu", "Delete Bank"));
    ASSERT_TRUE(plugin->SaveBankFile(0, banks / "Pads.bpb"));
    form->ChangeBankDirectory(banks.Path());
    ASSERT_EQ(BankList().Count(), 1);
    EXPECT_EQ(BankList().ItemIndex(), 0); // the stored bank

    plugin->Programs().SetName(0, "Saved");
    prompt->answers = {platform::PromptAnswer::kYes}; // overwrite
    EXPECT_TRUE(Choose("BankListMenu", "Save Bank"));
    plugin->Programs().SetName(0, "Changed");
    plugin->SetBankModified(0, false);
    ClickRow(BankList(), 0);
    EXPECT_EQ(Name(0), "Saved");

    // Delete: Cancel keeps the file; Yes deletes it and forgets it as the bank's file.
    EXPECT_TRUE(Choose("BankListMenu", "Delete Bank"));
    ASSERT_NE(Box(), nullptr);
    EXPECT_EQ(Box()->Text(), "This will delete the selected Bank from your disk drive!\n\nDo you want to continue?");
    ASSERT_EQ(Box()->ButtonCount(), 2);
    EXPECT_EQ(Box()->ButtonResult(1), mrCancel);
    form->ModalLayer().Top()->Close(mrCancel);
    EXPECT_TRUE(std::filesystem::exists(banks / "Pads.bpb"));
    Choose("BankListMenu", "Delete Bank");
    form->ModalLayer().Top()->Close(mrYes);
    EXPECT_FALSE(std::filesystem::exists(banks / "Pads.bpb"));
    EXPECT_EQ(plugin->BankFileName(0), "");
    EXPECT_EQ(BankList().Count(), 0);

    // A file that cannot be deleted (here: gone already) stays listed and the user is told.
    ASSERT_TRUE(plugin->SaveBankFile(0, banks / "Kept.bpb"));
    form->ChangeBankDirectory(banks.Path());
    std::filesystem::remove(banks / "Kept.bpb");
    Choose("BankListMenu", "Delete Bank");
    form->ModalLayer().Top()->Close(mrYes);
    ASSERT_NE(Box(), nullptr);
    EXPECT_EQ(Box()->Text(), "The Bank could not be deleted!");
    EXPECT_EQ(BankList().Count(), 1);
}

// Without a bank folder of the user's, the list shows the installation's banks (an installation unpacked by
// hand records none); a chosen folder replaces them.
TEST_F(ProgramCommandsTest, TheInstallationsBanksAreListedUntilABankFolderIsChosen) {
    TemporaryDirectory installation;
    std::filesystem::create_directories(installation / "Banks");
    ASSERT_TRUE(plugin->SaveBankFile(0, installation / "Banks/Factory A.bpb"));
    plugin->Settings().WriteSetting(platform::kSettingInstallFolder, installation.Path());
    form->ChangeBankDirectory("");
    ASSERT_EQ(BankList().Count(), 1);
    EXPECT_EQ(BankList().Item(0), "Factory A");
    ClickRow(BankList(), 0);
    EXPECT_EQ(plugin->BankFileName(0), installation / "Banks/Factory A.bpb");

    form->ChangeBankDirectory(banks.Path());
    EXPECT_EQ(BankList().Count(), 0);
    plugin->Settings().WriteSetting(platform::kSettingInstallFolder, "");
}

// With the editor's prompt installed, a question waits in a message box while the form goes on idling; the
// command finishes when it is answered, and not at all when the form closes first.
TEST_F(ProgramCommandsTest, QuestionsWaitInTheEditorUntilAnswered) {
    auto previous = plugin->SetUserPrompt(form->UserPrompt());
    ASSERT_TRUE(plugin->SaveBankFile(1, banks / "Strings.bpb"));
    form->ChangeBankDirectory(banks.Path());
    plugin->Programs().SetName(64, "Unsaved");
    Click("BankSelectorButton");
    ClickRow(List(1), 0);
    plugin->SetBankModified(1, true);
    ClickRow(BankList(), 0);
    ASSERT_NE(Box(), nullptr);
    EXPECT_EQ(Box()->Text(), "Do you want to save the current bank before loading a new?");
    EXPECT_EQ(Box()->Caption(), "Quillon");
    for (int idle = 0; idle < 5; ++idle) {
        form->AdvanceClock(50);
        RefreshFromPlugin();
    }
    EXPECT_EQ(Name(64), "Unsaved");
    form->ModalLayer().Top()->Close(mrNo);
    EXPECT_EQ(Name(64), "-");
    EXPECT_FALSE(form->ModalLayer().IsOpen());

    // Save Bank As: the save dialog's answer names the file; a cancelled dialog saves nothing.
    TPathCallback saveTo;
    std::function<void()> cancel;
    form->EditorPrompt().SetFileDialog([&](TFileDialogKind kind, TPathCallback onOk, std::function<void()> onCancel) {
        EXPECT_EQ(kind, TFileDialogKind::SaveProgramBank);
        saveTo = std::move(onOk);
        cancel = std::move(onCancel);
    });
    EXPECT_TRUE(Choose("BankListMenu", "Save Bank As..."));
    ASSERT_TRUE(cancel);
    cancel();
    EXPECT_TRUE(Choose("BankListMenu", "Save Bank As..."));
    saveTo(banks / "Choir.bpb");
    EXPECT_EQ(plugin->BankFileName(1), banks / "Choir.bpb");
    EXPECT_EQ(BankList().Count(), 2);

    // Closed while asking: nothing happens, and the plug-in asks nobody there again.
    plugin->SetBankModified(1, true);
    ClickRow(BankList(), 1);
    ASSERT_TRUE(form->ModalLayer().IsOpen());
    form.reset();
    EXPECT_EQ(plugin->BankFileName(1), banks / "Choir.bpb");
    EXPECT_TRUE(plugin->BankModified(1));
    EXPECT_FALSE(plugin->LoadBankFile(1, banks / "Strings.bpb")); // answered Cancel at once
    plugin->SetUserPrompt(previous);
}

using EditorShellPromptTest = TPluginFixture;

// The shell gives the plug-in the editor's prompt while the editor is open: messages kept for the editor show
// there at the first idle, questions wait behind them; closing drops them and puts the previous prompt back.
TEST_F(EditorShellPromptTest, TheOpenEditorShowsThePluginsMessagesAndQuestions) {
    Create();
    auto made = std::make_unique<TVSTEditor>(*plugin);
    TVSTEditor& shell = *made;
    plugin->setEditor(std::move(made));
    TVSTEditor::SetFormFactory(&CreatePluginGUI);
    plugin->DeferMessage("Kept for the editor");
    int parent = 0;
    ASSERT_TRUE(shell.open(&parent));
    auto* shown = dynamic_cast<TEditorPrompt*>(&plugin->UserPrompt());
    ASSERT_NE(shown, nullptr);
    shell.idle();
    EXPECT_EQ(shown->Waiting(), 1);
    plugin->ClearAssignments();
    EXPECT_EQ(shown->Waiting(), 2);
    EXPECT_TRUE(prompt->messages.empty());
    EXPECT_TRUE(prompt->questions.empty());
    shell.close();
    EXPECT_EQ(&plugin->UserPrompt(), prompt.get());
    TVSTEditor::SetFormFactory(&CreateEditorFrame);
}

} // namespace
} // namespace quillon::test
