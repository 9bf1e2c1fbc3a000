// The form's audio import: "Analyze Audio File" of the analyser menu, run on a worker thread while the
// busy picture shows, and its result written into the program on the form's own thread.
#include "editor/TPluginGUI.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUIForm.h"

namespace quillon {

using namespace form;

namespace {

// The analyser's modes.
constexpr int kDynamicMode = 1;
constexpr int kMediumMode = 2;
constexpr int kSoftMode = 3;

} // namespace

void TPluginGUI::AddAnalysisHandlers(THandlerTable& table) {
    table.menuItems.insert({
        {"ImportAudioFileClick", [this](TMenuItem&) { ImportAudioFileClick(); }},
        // The modes are a radio group: the clicked one is checked, the others lose their mark.
        {"AnalyzerModeMenuItemClick", [](TMenuItem& item) { item.SetChecked(true); }},
    });
}

void TPluginGUI::ImportAudioFileClick() {
    ShowFileDialog(TFileDialogKind::OpenAudioFile, [this](const std::string& path) { AnalyzeAudioFile(path); });
}

int TPluginGUI::AnalyzerMode() const {
    bool soft = false;
    bool dynamic = false;
    if (const TPopupMenu* menu = Menu("AudioAnalyzerMenu"))
        for (int i = 0; i < menu->Items.Count(); ++i) {
            const TMenuItem& item = menu->Items[i];
            if (item.Caption == "Soft Mode") soft = item.Checked();
            if (item.Caption == "Dynamic Mode") dynamic = item.Checked();
        }
    if (soft) return kSoftMode;
    return dynamic ? kDynamicMode : kMediumMode;
}

void TPluginGUI::AnalyzeAudioFile(const std::string& path) {
    if (analysis_ != nullptr) return;
    analysisSlot_ = plugin_.CurrentProgram();
    if (TDIBControl* analyzing = Control("AnalyzingNowImage")) {
        analyzing->SetVisible(true);
        SetFront(*analyzing);
    }
    analysis_ = std::make_unique<TAudioAnalysisTask>(path, AnalyzerMode());
}

void TPluginGUI::PollAnalysis() {
    if (analysis_ == nullptr || !analysis_->Finished()) return;
    const TWaveAnalysis result = analysis_->TakeResult();
    analysis_.reset();
    if (TDIBControl* analyzing = Control("AnalyzingNowImage")) analyzing->SetVisible(false);
    // The harmony time line and the inspector follow at the next refresh.
    if (plugin_.ApplyAudioAnalysis(result, analysisSlot_)) plugin_.RequestRefresh(2);
}

} // namespace quillon
