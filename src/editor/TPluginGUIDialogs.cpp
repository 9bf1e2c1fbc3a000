// The form's message boxes, questions and file and folder dialogs, drawn on its modal layer.
#include "editor/TPluginGUI.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUIForm.h"
#include "platform/IFileDialogs.h"
#include "toolkit/TFileDialog.h"
#include "toolkit/TSystemDialogPanel.h"

namespace quillon {

using namespace form;

namespace {

// The skin's colours: a graphite title bar over the pages' warm panel, the labels' violet ink and accent.
constexpr TPixel kChassis = Rgb(0x2B, 0x2D, 0x33);
constexpr TPixel kChassisEdge = Rgb(0x17, 0x18, 0x1C);
constexpr TPixel kPanel = Rgb(0xE4, 0xE0, 0xD6);
constexpr TPixel kPanelShade = Rgb(0xD3, 0xCE, 0xC2);
constexpr TPixel kPanelLight = Rgb(0xF2, 0xEF, 0xE8);
constexpr TPixel kPaper = Rgb(0xF8, 0xF6, 0xF1);
constexpr TPixel kPaperShade = Rgb(0xEE, 0xEA, 0xE1);
constexpr TPixel kSectionFrame = Rgb(0x9C, 0x96, 0x8A);
constexpr TPixel kInk = Rgb(0x37, 0x17, 0x5D);
constexpr TPixel kInkSoft = Rgb(0x6B, 0x5A, 0x80);
constexpr TPixel kAccent = Rgb(0x50, 0x20, 0x88);
constexpr TPixel kLit = Rgb(0xF0, 0xA0, 0x30);
constexpr TPixel kLitGlow = Rgb(0xFF, 0xD8, 0x90);

constexpr TFileDialogColours kFileDialogColours{
    .list = kPaper,
    .rowAlternate = kPaperShade,
    .selected = kAccent,
    .selectedText = Rgb(0xFF, 0xFF, 0xFF),
    .muted = kInkSoft,
    .folder = kLit,
    .field = kPaper,
    .fieldFrame = kSectionFrame,
    .scrollTrack = kPanelShade,
    .scrollThumb = kSectionFrame,
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

// The desktop's dialog when the settings ask for it and one can be started, else (and when it fails to show)
// the editor's own.
void OpenDialog(TModalLayer& layer, const platform::ISettingsStore& settings, TFileDialogOptions options,
                TPathCallback onOk, std::function<void()> onCancel) {
    if (settings.ReadSetting(platform::kSettingFileDialog).text == "system") {
        TModalLayer* target = &layer; // the layer outlives every callback of its panels
        auto builtIn = [target, options, onOk, onCancel] { OpenBuiltIn(*target, options, onOk, onCancel); };
        if (TSystemDialogPanel::Show(layer, options, onOk, onCancel, std::move(builtIn))) return;
    }
    OpenBuiltIn(layer, std::move(options), std::move(onOk), std::move(onCancel));
}

} // namespace

TModalStyle form::PanelStyle(const TEditorSkin& skin) {
    TModalStyle style;
    style.atlas = skin.Font("Sans 11");
    style.titleAtlas = skin.Font("Sans Bold 11");
    style.frame = kChassisEdge;
    style.face = kPanel;
    style.title = kChassis;
    style.titleText = kLitGlow;
    style.text = kInk;
    style.button = kPanelLight;
    style.buttonPressed = kPanelShade;
    style.buttonFrame = kSectionFrame;
    style.accent = kAccent;
    return style;
}

// Messages and dialogs -------------------------------------------------------------------------------------

void TPluginGUI::AddDialogHandlers(THandlerTable& /*table*/) {}

TMessageBox& TPluginGUI::ShowMessage(std::string caption, std::string text, TMsgButtons buttons,
                                     TModalCallback onClose) {
    return TMessageBox::Show(modalLayer_, std::move(caption), std::move(text), buttons, std::move(onClose));
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
