// The form's program lists, bank list and the program and bank commands.
#include "editor/TPluginGUI.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TEditorPrompt.h"
#include "editor/TPluginGUIForm.h"
#include "files/InstallFolder.h"
#include "platform/ISettingsStore.h"
#include "platform/ListFolder.h"
#include "platform/Utf8Path.h"
#include "toolkit/TBAListBox.h"

#include <filesystem>
#include <set>
#include <system_error>

namespace quillon {

using namespace form;

namespace {

constexpr const char* kProgramFolderCaption = "Change default directory for programs.";
constexpr const char* kBankFolderCaption = "Change default directory for banks.";
constexpr const char* kDeleteBankQuestion =
    "This will delete the selected Bank from your disk drive!\n\nDo you want to continue?";
constexpr const char* kDeleteBankFailed = "The Bank could not be deleted!";

// The program commands that act on the selected program row.
const std::set<std::string, std::less<>> kRowCommands = {"Insert Program into Opposite Bank",
                                                         "Copy Program",
                                                         "Paste Program",
                                                         "Load Program",
                                                         "Save Program",
                                                         "Clear Selected Program"};
// The bank commands that act on the selected bank row.
const std::set<std::string, std::less<>> kBankRowCommands = {"Save Bank", "Delete Bank"};

// Enables the items of `menu` named in `commands` exactly when `enabled`.
void EnableItems(TPopupMenu& menu, const std::set<std::string, std::less<>>& commands, bool enabled) {
    for (int i = 0; i < menu.Items.Count(); ++i)
        if (TMenuItem& item = menu.Items[i]; commands.contains(item.Caption)) item.Enabled = enabled;
}

} // namespace

// Programs and banks ---------------------------------------------------------------------------------------

void TPluginGUI::AddProgramHandlers(THandlerTable& table) {
    table.controls.insert({
        {"BankScrollButtonChange", [this](TDIBControl& c) { BankScrollButtonChange(c); }},
        {"BankSelectorButtonChange", [this](TDIBControl& c) { BankSelectorButtonChange(c); }},
        {"PatchListClick", [this](TDIBControl& c) { PatchListClick(c); }},
        {"PatchListMouseDown", [this](TDIBControl&) { programListMouse_ = true; }},
        {"PatchListMouseUp", [this](TDIBControl&) { programListMouse_ = false; }},
        {"PatchListBankChange", [this](TDIBControl& c) { PatchListBankChange(c); }},
        {"BankListControlClick", [this](TDIBControl&) { BankListControlClick(); }},
    });
    table.menuItems.insert({
        {"LoadProgramMenuItemClick",
         [this](TMenuItem&) {
             ShowFileDialog(TFileDialogKind::OpenProgram,
                            [this](const std::string& path) { LoadProgramFromFile(path); });
         }},
        {"SaveProgramMenuItemClick",
         [this](TMenuItem&) {
             ShowFileDialog(TFileDialogKind::SaveProgram, [this](const std::string& path) { SaveProgramToFile(path); });
         }},
        {"ChangeProgramDirectoryMenuItemClick",
         [this](TMenuItem&) {
             ChooseFolder(kProgramFolderCaption, [this](const std::string& folder) { ChangeProgramDirectory(folder); });
         }},
        {"InsertProgramIntoOppositeBankMenuItemClick", [this](TMenuItem&) { plugin_.StoreInOtherBank(); }},
        {"CopyProgramMenuItemClick", [this](TMenuItem&) { plugin_.CopyProgram(); }},
        {"PasteProgramMenuItemClick", [this](TMenuItem&) { plugin_.PasteProgram(); }},
        {"ClearProgramMenuItemClick", [this](TMenuItem&) { plugin_.InitProgram(); }},
        {"ClearBankMenuItemClick",
         [this](TMenuItem&) {
             plugin_.InitBank(VisibleHalf());
             WriteProgramNames();
         }},
        {"SaveBankMenuItemClick", [this](TMenuItem&) { SaveBankMenuItemClick(); }},
        {"SaveBankAsMenuItemClick", [this](TMenuItem&) { SaveBankAsMenuItemClick(); }},
        {"DeleteBankMenuItemClick", [this](TMenuItem&) { DeleteBankMenuItemClick(); }},
        {"ChangeBankDirectoryMenuItemClick",
         [this](TMenuItem&) {
             ChooseFolder(kBankFolderCaption, [this](const std::string& folder) { ChangeBankDirectory(folder); });
         }},
    });
    table.menuPopups.insert({
        {"ProgramsMenuPopup", [this](TPopupMenu& menu) { ProgramsMenuPopup(menu); }},
        {"BankListMenuPopup", [this](TPopupMenu& menu) { BankListMenuPopup(menu); }},
    });
}

std::shared_ptr<platform::IUserPrompt> TPluginGUI::UserPrompt() {
    return prompt_;
}

int TPluginGUI::VisibleHalf() const {
    return visibleProgramList_ != nullptr ? visibleProgramList_->Tag() : 0;
}

void TPluginGUI::FollowBankHalf() {
    const int half = plugin_.CurrentProgram() / kProgramRows;
    if (visibleProgramList_ != nullptr && half == VisibleHalf()) return;
    ShowProgramList(half);
    if (auto* selector = ControlAs<TBADIBButton>("BankSelectorButton")) selector->SetActive(half == 1);
}

void TPluginGUI::SelectCurrentProgram() {
    if (visibleProgramList_ == nullptr) return;
    const int row = plugin_.CurrentProgram() - kProgramRows * VisibleHalf();
    visibleProgramList_->SetItemIndex(row >= 0 && row < kProgramRows ? row : -1);
}

void TPluginGUI::WriteProgramNames() {
    if (visibleProgramList_ == nullptr) return;
    const int first = kProgramRows * VisibleHalf();
    for (int row = 0; row < visibleProgramList_->Programs(); ++row) {
        std::array<char, kProgramNameBuffer> name{};
        if (plugin_.getProgramNameIndexed(0, first + row, name.data()))
            visibleProgramList_->SetProgramName(row, std::string_view(name.data()));
    }
    SelectCurrentProgram();
}

std::optional<std::string> TPluginGUI::BankFolder() const {
    const platform::SettingRead folder = plugin_.Settings().ReadSetting(platform::kSettingProgramBankDir);
    if (!folder.found) return std::nullopt;
    if (!folder.text.empty()) return folder.text;
    // None chosen: the installation's own banks, where an installation unpacked by hand (which records no
    // setting) has them.
    const std::string installFolder = FindInstallFolder(plugin_.Settings());
    if (installFolder.empty()) return folder.text;
    const std::filesystem::path banks = platform::PathFromUtf8(installFolder) / "Banks";
    std::error_code error;
    if (!std::filesystem::is_directory(banks, error)) return folder.text;
    return platform::Utf8FromPath(banks);
}

void TPluginGUI::FillBankList() {
    auto* banks = ControlAs<TBAListBox>("BankListControl");
    if (banks == nullptr) return;
    const std::optional<std::string> folder = BankFolder();
    if (!folder) return;
    banks->Clear();
    std::vector<std::string> names;
    platform::ListFolder(*folder, names);
    for (const std::string& name : names)
        if (name.size() > kBankExtension.size() && name.ends_with(kBankExtension))
            banks->AddItem(name.substr(0, name.size() - kBankExtension.size()));
    MarkStoredBank();
}

void TPluginGUI::MarkStoredBank() {
    auto* banks = ControlAs<TBAListBox>("BankListControl");
    if (banks == nullptr) return;
    const std::string& path = plugin_.BankFileName(VisibleHalf());
    const std::size_t slash = path.find_last_of("/\\");
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto sameIgnoringCase = [](std::string_view a, std::string_view b) {
        return std::ranges::equal(a, b, [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
        });
    };
    int marked = -1;
    if (!file.empty())
        for (int row = 0; row < banks->Count() && marked < 0; ++row)
            if (sameIgnoringCase(banks->Item(row) + std::string(kBankExtension), file)) marked = row;
    banks->SetItemIndex(marked);
}

void TPluginGUI::BankScrollButtonChange(TDIBControl& sender) {
    if (auto* banks = ControlAs<TBAListBox>("BankListControl"))
        banks->ScrollBy(static_cast<const TBADIBButton&>(sender).Tag2);
}

void TPluginGUI::BankSelectorButtonChange(TDIBControl& sender) {
    ShowProgramList(static_cast<const TBADIBButton&>(sender).Active() ? 1 : 0);
}

void TPluginGUI::ShowProgramList(int half) {
    auto* list = ControlAs<TPatchListBox>(half == 1 ? "PatchListBank2" : "PatchListBank1");
    if (list == nullptr) return;
    SetFront(*list);
    visibleProgramList_ = list;
    WriteProgramNames();
    MarkStoredBank();
}

void TPluginGUI::MouseDoubleClick(const TMouseEvent& event) {
    if (modalLayer_.IsOpen() || menuLayer_.IsOpen()) return;
    auto* list = dynamic_cast<TBAListBox*>(root_->HitTest(event.x, event.y));
    if (list == nullptr || !list->Enabled()) return;
    const TRect at = list->WindowRect();
    TMouseEvent local = event;
    local.x -= at.left;
    local.y -= at.top;
    list->MouseDoubleClick(local);
}

void TPluginGUI::PatchListClick(TDIBControl& sender) {
    if (programListMouse_) return;
    const auto& list = static_cast<const TPatchListBox&>(sender);
    if (list.ItemIndex() < 0) return;
    const int program = kProgramRows * list.Tag() + list.ItemIndex();
    if (program == plugin_.CurrentProgram()) return;
    SetPresetLoadingIndicator(255);
    plugin_.setProgram(program);
    plugin_.updateDisplay();
}

void TPluginGUI::PatchListBankChange(TDIBControl& sender) {
    const auto& list = static_cast<const TPatchListBox&>(sender);
    const int row = list.CommittedRow();
    if (row >= 0) {
        // The renamed row is the current program unless a rename in the other list committed this one.
        const int program = kProgramRows * list.Tag() + row;
        const std::string name = list.ProgramName(row);
        if (program == plugin_.CurrentProgram())
            plugin_.setProgramName(name.c_str());
        else
            plugin_.RenameProgram(program, name);
        plugin_.updateDisplay();
    }
    programListMouse_ = false;
}

std::optional<std::string> TPluginGUI::SelectedBankPath() const {
    const auto* banks = ControlAs<TBAListBox>("BankListControl");
    if (banks == nullptr || banks->ItemIndex() < 0) return std::nullopt;
    const std::optional<std::string> folder = BankFolder();
    if (!folder) return std::nullopt;
    return platform::Utf8FromPath(
        platform::PathFromUtf8(*folder) /
        platform::PathFromUtf8(banks->Item(banks->ItemIndex()) + std::string(kBankExtension)));
}

void TPluginGUI::BankListControlClick() {
    const std::optional<std::string> path = SelectedBankPath();
    if (!path) return;
    SetPresetLoadingIndicator(255);
    plugin_.LoadBankFile(VisibleHalf(), *path, [this](bool done) {
        // A declined load refreshes nothing, which would leave the lamp lit.
        if (!done && !plugin_.ProgramChangePending()) SetPresetLoadingIndicator(0);
        FillBankList();
    });
}

void TPluginGUI::ProgramsMenuPopup(TPopupMenu& menu) {
    EnableItems(menu, kRowCommands, visibleProgramList_ != nullptr && visibleProgramList_->ItemIndex() >= 0);
}

void TPluginGUI::BankListMenuPopup(TPopupMenu& menu) {
    const auto* banks = ControlAs<TBAListBox>("BankListControl");
    EnableItems(menu, kBankRowCommands, banks != nullptr && banks->ItemIndex() >= 0);
}

void TPluginGUI::LoadProgramFromFile(const std::string& path) {
    plugin_.LoadProgramFile(path);
    WriteProgramNames();
}

void TPluginGUI::SaveProgramToFile(const std::string& path) {
    plugin_.SaveProgramFile(path);
}

void TPluginGUI::ChangeProgramDirectory(const std::string& folder) {
    plugin_.Settings().WriteSetting(platform::kSettingPresetProgramDir, folder);
}

void TPluginGUI::ChangeBankDirectory(const std::string& folder) {
    plugin_.Settings().WriteSetting(platform::kSettingProgramBankDir, folder);
    FillBankList();
}

void TPluginGUI::SaveBankMenuItemClick() {
    if (const std::optional<std::string> path = SelectedBankPath())
        plugin_.SaveBankFile(VisibleHalf(), *path, [this](bool) { MarkStoredBank(); });
}

void TPluginGUI::SaveBankAsMenuItemClick() {
    plugin_.SaveBankFileAs(VisibleHalf(), [this](bool) { FillBankList(); });
}

void TPluginGUI::DeleteBankMenuItemClick() {
    ShowMessage(TEditorPrompt::kCaption, kDeleteBankQuestion, TMsgButtons::mbYesCancel, [this](int result) {
        if (result == mrYes) DeleteSelectedBank();
    });
}

void TPluginGUI::DeleteSelectedBank() {
    const std::optional<std::string> path = SelectedBankPath();
    if (!path) return;
    std::error_code error;
    if (!std::filesystem::remove(platform::PathFromUtf8(*path), error) || error) {
        prompt_->ShowMessage(kDeleteBankFailed);
        return;
    }
    plugin_.ForgetBankFile(*path);
    FillBankList();
}

} // namespace quillon
