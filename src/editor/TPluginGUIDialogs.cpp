// The form's message boxes, questions and file and folder dialogs: drawn on its modal layer, or the system's
// where the settings choose them (on Windows by default).
#include "editor/TPluginGUI.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/SkinPalette.h"
#include "editor/TPluginGUIForm.h"
#include "platform/IFileDialogs.h"
#include "toolkit/TFileDialog.h"
#include "toolkit/TSystemDialogPanel.h"
#include "toolkit/TSystemMessageBox.h"

namespace quillon {

using namespace form;

namespace {

// The skin's colours (0xRRGGBB, as pixels are): a graphite title bar over the pages' warm panel, the
// labels' violet ink and accent.
constexpr TFileDialogColours kFileDialogColours{
    .list = palette::kPaper,
    .rowAlternate = palette::kPaperShade,
    .selected = palette::kAccent,
    .selectedText = Rgb(0xFF, 0xFF, 0xFF),
    .muted = palette::kInkSoft,
    .folder = palette::kLit,
    .field = palette::kPaper,
    .fieldFrame = palette::kSectionFrame,
    .scrollTrack = palette::kPanelShade,
    .scrollThumb = palette::kSectionFrame,
};

// What each dialog shows. The plug-in asks itself before it replaces a program or a bank file, so only the
// harmony save asks here.
struct TDialogKind {
    const platform::FileDialogSpec& spec;
    bool overwritePrompt;
};

TDialogKind KindOf(TFileDialogKind kind) {
    switch (kind) {
    case TFileDialogKind::OpenProgram:
        return {platform::kOpenProgramDialog, false};
    case TFileDialogKind::SaveProgram:
        return {platform::kSaveProgramDialog, false};
    case TFileDialogKind::OpenAudioFile:
        return {platform::kOpenAudioFileDialog, false};
    case TFileDialogKind::SaveProgramBank:
        return {platform::kSaveProgramBankDialog, false};
    case TFileDialogKind::OpenHarmony:
        return {platform::kOpenHarmonyDialog, false};
    case TFileDialogKind::SaveHarmony:
        return {platform::kSaveHarmonyDialog, true};
    }
    return {platform::kOpenProgramDialog, false};
}

void OpenBuiltIn(TModalLayer& layer, TFileDialogOptions options, TPathCallback onOk, std::function<void()> onCancel) {
    if (options.mode == TFileDialogMode::Folder)
        TFolderChooser::Show(layer, std::move(options.title), std::move(options.folder), std::move(onOk),
                             std::move(onCancel), options.colours);
    else
        TFileDialog::Show(layer, std::move(options), std::move(onOk), std::move(onCancel));
}

// The system's dialog when the settings ask for it (or leave the choice to the platform, which takes it) and
// one can be started; else, and when it fails to show, the editor's own.
void OpenDialog(TModalLayer& layer, const platform::ISettingsStore& settings, TFileDialogOptions options,
                TPathCallback onOk, std::function<void()> onCancel) {
    if (platform::WantsSystemDialogs(settings.ReadSetting(platform::kSettingFileDialog).text)) {
        TModalLayer* target = &layer; // the layer outlives every callback of its panels
        auto builtIn = [target, options, onOk, onCancel] { OpenBuiltIn(*target, options, onOk, onCancel); };
        if (TSystemDialogPanel::Run(layer, options, onOk, onCancel, std::move(builtIn))) return;
    }
    OpenBuiltIn(layer, std::move(options), std::move(onOk), std::move(onCancel));
}

} // namespace

TModalStyle form::PanelStyle(const TEditorSkin& skin) {
    TModalStyle style;
    style.atlas = skin.Font("Sans 11");
    style.titleAtlas = skin.Font("Sans Bold 11");
    style.frame = palette::kChassisEdge;
    style.face = palette::kPanel;
    style.title = palette::kChassis;
    style.titleText = palette::kLitGlow;
    style.text = palette::kInk;
    style.button = palette::kPanelLight;
    style.buttonPressed = palette::kPanelShade;
    style.buttonFrame = palette::kSectionFrame;
    style.accent = palette::kAccent;
    return style;
}

// Messages and dialogs -------------------------------------------------------------------------------------

void TPluginGUI::AddDialogHandlers(THandlerTable& /*table*/) {}

void TPluginGUI::ShowMessage(std::string caption, std::string text, TMsgButtons buttons, TModalCallback onClose) {
    if (TSystemMessageBox::Available() &&
        platform::WantsSystemDialogs(plugin_.Settings().ReadSetting(platform::kSettingFileDialog).text)) {
        TSystemMessageBox::Show(modalLayer_, caption, text, buttons, std::move(onClose));
        return;
    }
    TMessageBox::Show(modalLayer_, std::move(caption), std::move(text), buttons, std::move(onClose));
}

void TPluginGUI::ShowFileDialog(TFileDialogKind kind, TPathCallback onOk, std::function<void()> onCancel) {
    const TDialogKind dialog = KindOf(kind);
    TFileDialogOptions options;
    options.mode = dialog.spec.mode == platform::FileDialogMode::kSave ? TFileDialogMode::Save : TFileDialogMode::Open;
    options.title = dialog.spec.title;
    options.filter = dialog.spec.filter;
    options.defaultExtension = dialog.spec.defaultExtension;
    // The remembered folder when the store could be read; an empty or vanished one starts at home.
    options.folder = platform::DialogStartFolder(dialog.spec, plugin_.Settings()).value_or(std::string{});
    options.overwritePrompt = dialog.overwritePrompt;
    options.colours = kFileDialogColours;
    OpenDialog(modalLayer_, plugin_.Settings(), std::move(options), std::move(onOk), std::move(onCancel));
}

void TPluginGUI::ChooseFolder(std::string caption, TPathCallback onOk, std::function<void()> onCancel) {
    TFileDialogOptions options;
    options.mode = TFileDialogMode::Folder;
    options.title = std::move(caption);
    options.colours = kFileDialogColours;
    OpenDialog(modalLayer_, plugin_.Settings(), std::move(options), std::move(onOk), std::move(onCancel));
}

} // namespace quillon
