// The form's program lists, bank list and the program and bank commands.
#include "editor/TPluginGUI.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUIForm.h"
#include "platform/ISettingsStore.h"
#include "platform/ListFolder.h"
#include "toolkit/TBAListBox.h"

namespace quillon {

using namespace form;

// Programs and banks ---------------------------------------------------------------------------------------

void TPluginGUI::AddProgramHandlers(THandlerTable& table) {
    table.controls.insert({
        {"BankScrollButtonChange", [this](TDIBControl& c) { BankScrollButtonChange(c); }},
        {"BankSelectorButtonChange", [this](TDIBControl& c) { BankSelectorButtonChange(c); }},
    });
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

void TPluginGUI::FillBankList() {
    auto* banks = ControlAs<TBAListBox>("BankListControl");
    if (banks == nullptr) return;
    const platform::SettingRead folder = plugin_.Settings().ReadSetting(platform::kSettingProgramBankDir);
    if (!folder.found) return;
    banks->Clear();
    std::vector<std::string> names;
    platform::ListFolder(folder.text, names);
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

} // namespace quillon
