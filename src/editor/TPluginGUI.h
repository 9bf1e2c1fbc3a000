// The editor form: the whole control tree of the layout table drawn with the skin, bound to the plug-in's
// parameters, and the window-independent half of the editor window: it paints into a pixel buffer and takes
// mouse, key and clock events from whoever owns the window.
//
// Binding: every parameter control carries its parameter index as its `Tag`. A user edit writes the value
// the control shows into `ShownValues` and `LatestValues`, rewrites the control's value label and hands the
// value to the plug-in (setParameterAutomated) and to MIDI learn (learnParameter). A refresh copies nothing
// back: it sets each control whose shown value differs from the latest one from code, which never raises a
// change notification, so the plug-in is never called back. The refresh guard is set while the form is
// created and while all controls are refilled.
//
// Display scale: the form is laid out, takes mouse events and tracks dirty rectangles in logical pixels
// (kWidth × kHeight) at every scale; only painting is in device pixels, with the skin's scale (1 or 2):
// Paint draws into a buffer of kWidth·Scale() × kHeight·Scale() from the images and fonts of that scale.
//
// Messages and questions are panels of the form's modal layer, drawn in its own picture and answered through
// callbacks; the hints of the controls that carry one show on its hint layer.
//
// GUI thread only; never blocks. [gui]
#pragma once

#include "editor/IEditorForm.h"
#include "editor/TAudioAnalysisTask.h"
#include "editor/TEditorSkin.h"
#include "platform/IShellOpen.h"
#include "toolkit/TBADIBButton.h"
#include "toolkit/TBADIBDropDownMenu.h"
#include "toolkit/TBADIBKnob.h"
#include "toolkit/TBADIBSpin.h"
#include "toolkit/TDIBChart.h"
#include "toolkit/TDIBControl.h"
#include "toolkit/TDIBLabel.h"
#include "toolkit/THintLayer.h"
#include "toolkit/THookEdit.h"
#include "toolkit/TMessageBox.h"
#include "toolkit/TModalLayer.h"
#include "toolkit/TPatchListBox.h"
#include "toolkit/TPopupMenu.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class TCustomVSTMidiPlugin;
class TEditorPrompt;
class TEnvelopePoint;
struct TControlLayout;
struct THandlerTable;

// The file dialogs of the editor, each with its own title, filter, default extension and remembered folder.
enum class TFileDialogKind { OpenProgram, SaveProgram, OpenAudioFile, SaveProgramBank, OpenHarmony, SaveHarmony };
// Receives the path the user chose in a dialog.
using TPathCallback = std::function<void(const std::string& path)>;

class TPluginGUI : public IEditorForm {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 556;
    static constexpr int kParameters = 124;
    static constexpr int kPresetsPage = 5;
    static constexpr int kValueLabelLength = 8;

    // Builds the form for `plugin` with `skin` and runs FormCreate; the form draws at the skin's scale.
    TPluginGUI(TCustomVSTMidiPlugin& plugin, TEditorSkin skin);
    // The same with the skin embedded in the plug-in for display scale 1 or 2.
    explicit TPluginGUI(TCustomVSTMidiPlugin& plugin, int scale = 1);
    ~TPluginGUI() override;
    TPluginGUI(const TPluginGUI&) = delete;
    TPluginGUI& operator=(const TPluginGUI&) = delete;

    // IEditorForm -----------------------------------------------------------------------------------------
    void SetParameterValues(const float* values, int count) override;
    void updateStandardControls() override; // refresh level 1
    void updateAllControls() override;      // level 2
    void updateAll() override;              // level 3
    void initNonAutomatedControls() override;
    void SetPresetLoadingIndicator(std::uint8_t opacity) override;
    // The form's prompt (TEditorPrompt): message boxes on this form, dropped unanswered when it closes.
    std::shared_ptr<platform::IUserPrompt> UserPrompt() override;
    TEditorPrompt& EditorPrompt() { return *prompt_; }

    // Copies the current program's parameter values into `LatestValues` (what the shell does before each
    // refresh).
    void ReadLatestValues();
    // Rewrites the value label of parameter `index` (where it has one).
    void UpdateValueField(int index);
    // The text the value label of `index` shows for the latest values.
    std::string ValueText(int index) const;

    // Painting and input ----------------------------------------------------------------------------------
    // The display scale the form paints at (1 or 2).
    int Scale() const { return skin_.Scale(); }
    // Repaints what changed since the last call (everything with `full` or after FormPaint) into `buffer`
    // (kWidth·Scale() × kHeight·Scale()), which holds the previous picture; returns the union of the
    // repainted rectangles in logical pixels (empty for none).
    TRect Paint(TPixelBuffer& buffer, bool full = false);
    // The whole form needs repainting.
    void FormPaint();
    // Logical window coordinates.
    void MouseDown(const TMouseEvent& event);
    void MouseMove(const TMouseEvent& event);
    void MouseUp(const TMouseEvent& event);
    // A double click of the left button, after its press: for the list under the mouse (renaming a program).
    void MouseDoubleClick(const TMouseEvent& event);
    // A key event of the GUI thread: for the open panel first, then for an in-place name editor; true when
    // one of them used it.
    bool KeyEvent(const TKeyEvent& event);
    TCursor Cursor() const { return router_.Cursor(); }
    // Advances the blink and other timers, the hints' among them, and takes over a finished audio analysis
    // (AnalyzeAudioFile); the window calls it at every idle.
    void AdvanceClock(int milliseconds);

    // Panels ----------------------------------------------------------------------------------------------
    // Opens a message box over the form; `onClose` gets the button chosen (mrOk, mrCancel, mrYes, mrNo),
    // unless the form closes first. The system's box (TSystemMessageBox) where the settings choose the
    // system's dialogs and the platform has one: modal, answered before this returns.
    void ShowMessage(std::string caption, std::string text, TMsgButtons buttons = TMsgButtons::mbOK,
                     TModalCallback onClose = {});
    TModalLayer& ModalLayer() { return modalLayer_; }
    // Opens the file dialog of `kind` over the form; `onOk` gets the chosen path when the user confirms,
    // `onCancel` runs when the user cancels; neither runs when the form closes first.
    void ShowFileDialog(TFileDialogKind kind, TPathCallback onOk, std::function<void()> onCancel = {});
    // Opens the folder chooser titled `caption`; `onOk` gets the chosen folder, as the dialogs do.
    void ChooseFolder(std::string caption, TPathCallback onOk, std::function<void()> onCancel = {});
    const THintLayer& HintLayer() const { return hintLayer_; }

    // Programs and banks: what the program and bank commands do once their dialog is confirmed. ------------
    void LoadProgramFromFile(const std::string& path);
    void SaveProgramToFile(const std::string& path);
    void ChangeProgramDirectory(const std::string& folder);
    void ChangeBankDirectory(const std::string& folder);
    // Deletes the bank file of the selected bank row (the answer Yes to the delete question).
    void DeleteSelectedBank();

    // Links -----------------------------------------------------------------------------------------------
    // The maker's web site, which the logo opens.
    static constexpr const char* kWebSite = "https://github.com/quillon-synth/quillon";
    // Replaces the system's open action the links use.
    void SetShellOpen(std::unique_ptr<platform::IShellOpen> opener) { shellOpen_ = std::move(opener); }

    // Lookups ---------------------------------------------------------------------------------------------
    TDIBImageContainer& Root() { return *root_; }
    // The control of that layout id, or null.
    TDIBControl* Control(std::string_view id) const;
    template <typename T> T* ControlAs(std::string_view id) const { return dynamic_cast<T*>(Control(id)); }
    TDIBControl* ParameterControl(int index) const;
    TDIBLabel* ValueLabel(int index) const;
    TPopupMenu* Menu(std::string_view id) const;
    float ShownValue(int index) const { return shownValues_.at(static_cast<std::size_t>(index)); }
    float LatestValue(int index) const { return latestValues_.at(static_cast<std::size_t>(index)); }
    bool Refreshing() const { return refreshGuard_; }
    TPatchListBox* VisibleProgramList() const { return visibleProgramList_; }
    // The page in front (0..5).
    int Page() const { return page_; }
    // Brings `page` to the front, activates its selector and stores it in the editor settings block.
    void SelectPage(int page);

    // Harmony files (what the open and save dialogs of the harmony menu do on OK) -----------------------
    // Loads the harmony file at `path` into the selected harmony and shows it; false (after the plug-in's
    // message) when the file cannot be read, and without a selected harmony.
    bool LoadHarmonyFromFile(const std::string& path);
    // Saves the selected harmony to `path`; false when it cannot be written or none is selected.
    bool SaveHarmonyToFile(const std::string& path);

    // Envelopes and audio analysis (TPluginGUIEnvelopes.cpp, TPluginGUIAnalysis.cpp) ----------------------
    // "Analyze Audio File" once its dialog has given `path`: reads the WAV file and analyses its first
    // channel in the mode the analyser menu has checked, on a worker thread while `AnalyzingNowImage`
    // shows; the clock (AdvanceClock) notices the end, writes the harmony into the program that was
    // current when the analysis began (or shows the plug-in's message) and asks for a refresh. A file
    // given while an analysis runs is ignored; closing the form stops the analysis and drops its result.
    void AnalyzeAudioFile(const std::string& path);
    bool AnalysisRunning() const { return analysis_ != nullptr; }

private:
    void Build();
    TDIBControl* Create(const TControlLayout& layout);
    void SetUpButton(TBADIBButton& button, const TControlLayout& layout);
    void SetUpDropDown(TBADIBDropDownMenu& dropDown, const TControlLayout& layout);
    // The handlers the layout and menu tables name, gathered from each part of the form.
    THandlerTable Handlers();
    void AddParameterHandlers(THandlerTable& table);
    void AddHarmonyHandlers(THandlerTable& table);  // TPluginGUIHarmony.cpp
    void AddEnvelopeHandlers(THandlerTable& table); // TPluginGUIEnvelopes.cpp
    void AddProgramHandlers(THandlerTable& table);  // TPluginGUIPrograms.cpp
    void AddDialogHandlers(THandlerTable& table);   // TPluginGUIDialogs.cpp
    void BindHandlers(const THandlerTable& table);
    void BuildMenus(const THandlerTable& table);
    void FormCreate();

    // User edits and refreshes.
    void UserEdit(int index, float value, bool learn = true);
    void KnobControlChange(TDIBControl& sender);
    void ButtonClick(TDIBControl& sender);
    void SpinControlChange(TDIBControl& sender);
    void DropDownChanged(TDIBControl& sender);
    void KeyAssignChange(TDIBControl& sender);
    void NoteOverlapChange(TDIBControl& sender);
    void RefreshControl(int index, float value);
    void RescaleIntensityKnob(int sourceIndex, int target);
    void RedrawScope(int lfo);
    void StepScopeWaveform(int lfo);
    float DropDownValue(int index, int menuTag) const;

    // Commands of the controls without a parameter.
    void PageSelectorChange(TDIBControl& sender);
    void MidiLearnButtonChange(TDIBControl& sender);
    void KeyboardControlChange(TDIBControl& sender);
    void BankScrollButtonChange(TDIBControl& sender);
    void BankSelectorButtonChange(TDIBControl& sender);
    void ShowProgramList(int half);
    void PatchListClick(TDIBControl& sender);
    void PatchListBankChange(TDIBControl& sender);
    void BankListControlClick();
    void ProgramsMenuPopup(TPopupMenu& menu);
    void BankListMenuPopup(TPopupMenu& menu);
    void SaveBankMenuItemClick();
    void SaveBankAsMenuItemClick();
    void DeleteBankMenuItemClick();
    // The bank file of the selected bank row in the bank folder; none without a row or a settings store.
    std::optional<std::string> SelectedBankPath() const;
    // The folder the bank list shows: the "ProgramBankDir" setting, or when that is empty the installation's
    // "Banks" folder where there is one; nothing when the settings store cannot be opened.
    std::optional<std::string> BankFolder() const;
    void HandlingSelectorChange(TDIBControl& sender, std::size_t settingsOffset, std::string_view envelope);
    void ViewHarmonicsPhaseLevelChanged(TDIBControl& sender);
    void HarmonyInspectorRangeSelectorChange(TDIBControl& sender);
    void HarmonyInspectorEditTypeSelectorChange(TDIBControl& sender);
    void HarmonicsLinkedControlChange(TDIBControl& sender);
    void DeleteOnRightClickMenuItemClick(TMenuItem& item);
    void LogoClick();
    void UsersManualClick();
    // Opens `target` with the system, telling the user when that fails.
    void OpenWithSystem(const std::string& target);
    void SetInspectorView(bool phase);
    void SetInspectorRange(int range);

    // The parts of refresh levels 2 and 3 that follow the harmonies, envelopes and programs. They load the
    // controls with notifications off (disabled controls, refresh guard), so nothing reaches the plug-in.
    void LoadHarmonyTimeLine();
    // The inspector's bars from the selected harmony; the inspector is enabled exactly when one is selected.
    void FillInspectorBars();
    void LoadEnvelopeEditors();

    // Harmony time line, inspector and commands (TPluginGUIHarmony.cpp) -----------------------------------
    // Edits of the time line's points (harmonies) and loop bar, passed on to the plug-in unless refreshing.
    void HarmonyEnvPointAdded(const TEnvelopePoint& point);
    void HarmonyEnvPointMoved(const TEnvelopePoint& point);
    void HarmonyEnvPointRemoved(const TEnvelopePoint& point);
    void HarmonyEnvSelectedPointChanged(const TEnvelopePoint* point);
    void HarmonyLoopControlChange(bool start);
    // Mouse editing of the selected harmony's harmonics in the inspector (control coordinates).
    void HarmonyInspectorMouseDown(const TMouseEvent& event);
    void HarmonyInspectorMouseMove(const TMouseEvent& event);
    void HarmonyInspectorMouseUp(const TMouseEvent& event);
    // Writes `value` (dB or degrees, by the view) to harmonic `harmonic` of harmony `frame` and to its bar
    // when the edit type lets it through.
    void WriteHarmonic(int frame, int harmonic, double value);
    // The selected harmony's index, or -1.
    int SelectedHarmony() const;
    void ShowHarmonyTime(int frame);
    // Enables the harmony commands that need a selected harmony exactly when there is one.
    void EnableHarmonyCommands(TPopupMenu& menu);
    // Runs `edit` on the selected harmony (nothing without one) and shows the result in the inspector.
    void EditSelectedHarmony(const std::function<void(int frame)>& edit);
    void DeleteSelectedHarmony();
    void DeleteHarmoniesAboveSelected();
    void DeleteHarmoniesBelowSelected();
    void DeleteAllHarmonies();
    // Reloads the time line from the plug-in after frames were deleted and selects harmony `select`.
    void ReloadHarmonies(int select);
    // Brings the list of the current program's bank half to the front when another one shows.
    void FollowBankHalf();
    void SelectCurrentProgram();
    void WriteProgramNames();
    // The bank files (".bpb", exact case) of the bank folder, without their extension.
    void FillBankList();
    // Selects the bank row of the file stored for the visible half, ignoring case; none without one.
    void MarkStoredBank();
    // The bank half the visible program list shows (its Tag).
    int VisibleHalf() const;

    // Envelopes and audio analysis (TPluginGUIEnvelopes.cpp, TPluginGUIAnalysis.cpp). Envelopes are
    // numbered as the plug-in numbers them (record order: amplifier, filter, pitch, LFO 1, LFO 2), their
    // controls' Tag − 1.
    void AddAnalysisHandlers(THandlerTable& table);
    void EnvelopePointAdded(TDIBControl& sender, TEnvelopePoint* point);
    void EnvelopePointMoved(TDIBControl& sender, TEnvelopePoint* point);
    void EnvelopePointRemoved(TDIBControl& sender, TEnvelopePoint* point);
    void EnvelopeSelectedPointChanged(TDIBControl& sender, TEnvelopePoint* point);
    void EnvelopeLoopControlChange(TDIBControl& sender, bool left);
    void EnvelopeEditSelectorChange(TDIBControl& sender, int envelope);
    // The envelope a point event of `sender` edits, or -1 when the event is to be ignored (refresh guard,
    // an envelope out of step with the plug-in).
    int EditedEnvelope(const TDIBControl& sender) const;
    // An edit the plug-in refused: the envelope's events are ignored until a refresh reloads it.
    void EnvelopeOutOfStep(int envelope);
    // The text of the envelope's information label for `point`.
    std::string EnvelopePointText(int envelope, const TEnvelopePoint& point) const;
    void SetEnvelopeInfo(int envelope, const std::string& text);
    void EnvelopeBackImageMouseDown(TDIBControl& sender, const TMouseEvent& event);
    void EnvelopeBackImageMouseMove(TDIBControl& sender, const TMouseEvent& event);
    void EnvelopeBackImageMouseUp(TDIBControl& sender, const TMouseEvent& event);
    void ImportAudioFileClick();
    // The analyser mode of the checked menu item: 3 soft, 1 dynamic, else 2 (medium).
    int AnalyzerMode() const;
    // Applies a finished analysis; nothing while it runs. Called by the clock.
    void PollAnalysis();

    void SetFront(TDIBControl& control);
    // Brings `page` to the front and activates its selector without storing it.
    void ShowPage(int page);

    TCustomVSTMidiPlugin& plugin_;
    TEditorSkin skin_;
    TDIBFont valueFont_;
    TDirtyRegion dirty_{TRect::FromSize(0, 0, kWidth, kHeight)};
    TMenuLayer menuLayer_;
    TModalLayer modalLayer_; // outlives the root, which outlives the open panels
    THintLayer hintLayer_;
    std::unique_ptr<platform::IShellOpen> shellOpen_;
    std::shared_ptr<TEditorPrompt> prompt_;              // detached first when the form closes
    std::unique_ptr<TDIBImageContainer> root_;           // `PrimaryContainer`
    std::vector<std::unique_ptr<TDIBControl>> controls_; // the others, in creation order
    TMouseRouter router_;
    std::map<std::string, TDIBControl*, std::less<>> byId_;
    std::map<std::string, std::unique_ptr<TPopupMenu>, std::less<>> menus_;
    std::array<TDIBControl*, kParameters> parameterControls_{};
    std::array<TDIBLabel*, kParameters> valueLabels_{};
    std::array<float, kParameters> shownValues_{};
    std::array<float, kParameters> latestValues_{};
    bool refreshGuard_ = false;
    std::vector<std::uint8_t> programCopy_; // the current program's record while the envelopes load
    TPatchListBox* visibleProgramList_ = nullptr;
    bool programListMouse_ = false;
    bool inspectorDragging_ = false;
    int inspectorY_ = 0;          // mouse y of the last drag step, inspector coordinates
    double inspectorValue_ = 0.0; // the value under the cursor (dB or degrees)
    bool envelopeScrolling_ = false;
    int envelopeGrab_ = 0;            // window x of the cursor minus the scrolled container's left edge
    unsigned envelopesOutOfStep_ = 0; // bit n: envelope n waits for a reload
    std::unique_ptr<TAudioAnalysisTask> analysis_;
    int analysisSlot_ = 0; // the program the running analysis is for
    int page_ = kPresetsPage;
    bool fullPaint_ = true;
};

// Makes the form for the editor shell. The window it will live in comes with the platform layer; until then
// the form is made without one and `parentWindow` is not used. Null for a plug-in that is not the
// synthesizer.
std::unique_ptr<IEditorForm> CreatePluginGUI(void* parentWindow, TVSTMidiPlugin& plugin, int scale);

} // namespace quillon
