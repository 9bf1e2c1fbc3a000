// The editor form against a real plug-in: the control tree it builds from the layout, the parameter
// binding of user edits and refreshes, the value label texts, the page selection, the program lists'
// columns, hints, message boxes and the links.
#include "editor/TPluginGUI.h"

#include "editor/LayoutTable.h"
#include "editor/MenuTable.h"
#include "midi/TMidiHandler.h"
#include "platform/ISettingsStore.h"
#include "support/EditorFixture.h"
#include "support/TemporaryDirectory.h"
#include "toolkit/TDIBChart.h"
#include "toolkit/TDIBEnvelope.h"
#include "toolkit/TDIBRangeControl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace quillon::test {
namespace {

using TPluginGUITest = TEditorFixture;

// Every control of the layout at its rectangle, with the settings the form gives every control of a kind.
TEST_F(TPluginGUITest, BuildsEveryControlOfTheLayoutAtItsRectangle) {
    for (const TControlLayout& layout : LayoutControls()) {
        if (layout.kind == TControlClass::TBarSeries || layout.kind == TControlClass::TFastLineSeries) continue;
        const TDIBControl* control = form->Control(layout.id);
        ASSERT_NE(control, nullptr) << layout.id;
        EXPECT_EQ(control->Bounds(), layout.rect.ToRect()) << layout.id;
        if (layout.parent != nullptr) {
            EXPECT_EQ(control->Parent(), form->Control(layout.parent)) << layout.id;
        }
    }
    const auto* pitch = form->ControlAs<TBADIBKnob>("PitchEnvelopeIntensityKnob");
    const auto* cutoff = form->ControlAs<TBADIBKnob>("FilterCutoffKnob");
    EXPECT_EQ(pitch->Max(), 18);
    EXPECT_EQ(cutoff->Max(), 1000);
    EXPECT_EQ(cutoff->Frames(), 101);
    const auto* enable = form->ControlAs<TBADIBButton>("FilterEnableButton");
    EXPECT_EQ(enable->EffectLayer(), 9);
    EXPECT_EQ(enable->EffectOpacity(), 127);
    EXPECT_EQ(enable->ActiveRight, 33);
    EXPECT_EQ(enable->ActiveBottom, 17);
    const auto* label = form->ControlAs<TDIBLabel>("FilterCutoffValue");
    EXPECT_EQ(label->Caption(), "-88,8dB");
    EXPECT_EQ(label->Font().colour, Rgb(0x37, 0x17, 0x5D));
    const auto* tool = form->ControlAs<TBADIBDropDownMenu>("AmpEnvHandlingSelector");
    EXPECT_TRUE(tool->AllCaps);
    EXPECT_EQ(tool->YCorrection(), 1);
    EXPECT_EQ(tool->Menu(), form->Menu("EnvelopeHandlingMenu"));
    EXPECT_EQ(form->ControlAs<TBADIBDropDownMenu>("ProgramsFilesSelector")->OnChangeHandling,
              TOnChangeHandling::chExternal);
    EXPECT_EQ(form->ControlAs<TDIBEnvelope>("FilterEnvelopeControl")->YOrigin(), 50);
    EXPECT_EQ(form->ControlAs<TDIBEnvelope>("AmplifierEnvelopeControl")->YOrigin(), 100);
    EXPECT_EQ(form->ControlAs<TDIBBarChart>("HarmonyInspector")->BarCount(), 251);
    EXPECT_FALSE(form->Control("AnalyzingNowImage")->Visible());
}

TEST_F(TPluginGUITest, BindsEveryParameterControlAndValueLabelToItsIndex) {
    int bound = 0;
    for (int i = 0; i < TPluginGUI::kParameters; ++i) {
        const bool none = i == 113 || i == 114 || i >= 118;
        const TDIBControl* control = form->ParameterControl(i);
        EXPECT_EQ(control == nullptr, none) << i;
        if (control == nullptr) continue;
        ++bound;
        EXPECT_EQ(control->Tag(), i);
        // Exactly the small knobs have a value label (master level and pan have none).
        const bool smallKnob = dynamic_cast<const TBADIBKnob*>(control) != nullptr && i != 26 && i != 27;
        EXPECT_EQ(form->ValueLabel(i) != nullptr, smallKnob) << i;
        EXPECT_EQ(form->ShownValue(i), -1.0f);
        EXPECT_EQ(form->LatestValue(i), 0.0f);
    }
    EXPECT_EQ(bound, 116);
}

TEST_F(TPluginGUITest, MenusCarryTheirItemsFlagsAndSubMenus) {
    EXPECT_EQ(LayoutMenus().size(), 14u);
    const TPopupMenu* analyzer = form->Menu("AudioAnalyzerMenu");
    ASSERT_NE(analyzer, nullptr);
    EXPECT_TRUE(analyzer->Items[3].Checked()); // "Medium Mode"
    EXPECT_TRUE(analyzer->Items[2].RadioItem);
    EXPECT_TRUE(analyzer->Items[1].IsSeparator());
    const TPopupMenu* presets = form->Menu("HarmonyInspectorPresetsMenu");
    EXPECT_EQ(presets->Items[0].Count(), 10); // the preset waveforms
    EXPECT_EQ(presets->Items[1].Tag, 10);     // "Make Random Harmony"
    EXPECT_EQ(form->Menu("HarmonyInspectorEditTypeMenu")->Items[8].Tag, 12);
}

// Step 2: the number with a point in any locale, its unit, at most eight characters.
TEST_F(TPluginGUITest, ValueLabelTextsFollowUnitCurveAndDecimals) {
    const auto text = [&](int index, float value) {
        RefreshWith({{index, value}});
        return form->ValueText(index);
    };
    EXPECT_EQ(text(4, static_cast<float>(std::log(1234.6 / 30.0) / std::log(100.0))), "1235 ms");
    EXPECT_EQ(text(15, static_cast<float>(std::log(12.34 / 0.02) / std::log(1000.0))), "12.3 kHz");
    EXPECT_EQ(text(8, static_cast<float>(std::log(0.25 / 0.02) / std::log(1000.0))), "0.25 s");
    EXPECT_EQ(text(24, 0.5f), "12.5 %"); // cubic
    EXPECT_EQ(text(29, 0.0f), "-20.0 dB");
    EXPECT_EQ(text(101, 1.0f), "640 m2");
    // Refreshed knobs show the same text in their label.
    EXPECT_EQ(form->ValueLabel(101)->Caption(), "640 m2");
}

TEST_F(TPluginGUITest, SyncAndModulationLabelsUseTheEngineTexts) {
    RefreshWith({{36, 0.5f}, {37, 1.0f}, {62, 1.0f / 9.0f}, {63, 0.75f}});
    plugin->setParameter(37, 1.0f);
    EXPECT_EQ(form->ValueText(36), plugin->ParameterDisplayText(36, 0.5f));
    EXPECT_EQ(form->ValueText(36), plugin->TempoSyncText(36, 0.5f).substr(0, 8));
    const std::string amount = form->ValueText(63);
    EXPECT_LE(amount.size(), 8u);
    EXPECT_EQ(amount, plugin->ModulationAmountText(1, 0.75f).substr(0, 8));
    // The pitch target rescales the amount knob to its range.
    EXPECT_EQ(form->ControlAs<TBADIBKnob>("PitchBendRangeKnob")->Max(), TCustomVSTMidiPlugin::ModulationRange(1));
    RefreshWith({{36, 0.5f}, {37, 0.0f}});
    EXPECT_EQ(form->ValueText(36), "0.63 Hz");
}

TEST_F(TPluginGUITest, KnobDragWritesTheParameterAndArmsMidiLearn) {
    form->SelectPage(1);
    const TRect at = form->Control("FilterCutoffKnob")->WindowRect();
    const int x = at.left + 12, y = at.top + 12;
    form->MouseDown(TMouseEvent{x, y});
    form->MouseMove(TMouseEvent{x, y - 30});
    form->MouseUp(TMouseEvent{x, y - 30});
    const auto* knob = form->ControlAs<TBADIBKnob>("FilterCutoffKnob");
    ASSERT_GT(knob->Position(), 0);
    const float value = static_cast<float>(knob->Position()) / 1000.0f;
    EXPECT_FLOAT_EQ(plugin->getParameter(15), value);
    EXPECT_EQ(host.lastAutomatedIndex.load(), 15);
    EXPECT_EQ(plugin->MidiHandler().LearnParameter(), 15);
    EXPECT_EQ(form->ShownValue(15), value);
    EXPECT_EQ(form->LatestValue(15), value);
    EXPECT_EQ(form->ValueLabel(15)->Caption(), form->ValueText(15));

    // The host automates the same parameter before the next refresh: the refresh shows the host's value.
    plugin->setParameter(15, 0.25f);
    form->ReadLatestValues();
    form->updateStandardControls();
    EXPECT_EQ(knob->Position(), 250);
    EXPECT_EQ(form->ValueLabel(15)->Caption(), "0.11 kHz");
}

TEST_F(TPluginGUITest, SyncButtonRewritesTheRateLabels) {
    form->SelectPage(2);
    RefreshWith({{36, 0.5f}});
    Click("Lfo1SyncButton");
    EXPECT_EQ(plugin->getParameter(37), 1.0f);
    EXPECT_EQ(form->ValueLabel(36)->Caption(), plugin->TempoSyncText(36, 0.5f).substr(0, 8));
}

TEST_F(TPluginGUITest, RefreshSetsControlsWithoutCallingThePluginBack) {
    const int automated = host.automateCalls.load();
    RefreshWith({{13, 1.0f}, {0, 1.0f}, {14, 1.0f / 31.0f}, {113, 1.0f}, {114, 0.5f}, {27, 0.3f}});
    EXPECT_EQ(host.automateCalls.load(), automated);
    EXPECT_EQ(plugin->MidiHandler().LearnParameter(), -1);
    EXPECT_TRUE(form->ControlAs<TBADIBButton>("FilterEnableButton")->Active());
    EXPECT_EQ(form->ControlAs<TBADIBSpin>("OscillatorsNumberControl")->Position(), 8);
    EXPECT_EQ(form->ControlAs<TBADIBDropDownMenu>("FilterSelector")->Caption(), "Lowpass 12");
    EXPECT_EQ(form->ControlAs<TBADIBKnob>("PanKnob")->Position(), 300);
    EXPECT_FALSE(form->ControlAs<TBADIBButton>("VoiceAssignmentButton1")->Active());
    EXPECT_TRUE(form->ControlAs<TBADIBButton>("VoiceAssignmentButton2")->Active());
    EXPECT_TRUE(form->ControlAs<TBADIBButton>("NoteOverlapButton2")->Active());
    EXPECT_FALSE(form->Refreshing());
    EXPECT_TRUE(form->Root().Enabled());
}

TEST_F(TPluginGUITest, PageSelectorsBringTheirPageToTheFrontAndStoreIt) {
    form->initNonAutomatedControls();
    EXPECT_EQ(form->Page(), TPluginGUI::kPresetsPage); // the first opening
    Click("PageSelectorFX");
    EXPECT_EQ(form->Page(), 4);
    EXPECT_EQ(StoredPage(), 4);
    for (int page = 0; page < kPageCount; ++page)
        EXPECT_EQ(form->Control(kPageIds[page])->Visible(), page == 4) << page;
    EXPECT_TRUE(form->ControlAs<TBADIBButton>("PageSelectorFX")->Active());
    EXPECT_FALSE(form->ControlAs<TBADIBButton>("PageSelectorPresets")->Active());
    // Only the front page takes the mouse.
    const TRect chorus = form->Control("ChorusDelayKnob")->WindowRect();
    EXPECT_EQ(form->Root().HitTest(chorus.left + 12, chorus.top + 12), form->Control("ChorusDelayKnob"));

    // A new form opens on the stored page.
    form = std::make_unique<TPluginGUI>(*plugin);
    form->initNonAutomatedControls();
    EXPECT_EQ(form->Page(), 4);
    EXPECT_TRUE(form->Control("FxPage")->Visible());
}

TEST_F(TPluginGUITest, RadioGroupsWriteTheirTag2WithoutArmingMidiLearn) {
    form->SelectPage(3);
    const struct {
        const char* button;
        int index;
        float value;
    } cases[] = {{"VoiceAssignmentButton2", 113, 1.0f},
                 {"VoiceAssignmentButton1", 113, 0.0f},
                 {"NoteOverlapButton3", 114, 1.0f},
                 {"NoteOverlapButton2", 114, 0.5f},
                 {"NoteOverlapButton1", 114, 0.0f}};
    for (const auto& c : cases) {
        Click(c.button);
        EXPECT_EQ(plugin->getParameter(c.index), c.value) << c.button;
        EXPECT_EQ(host.lastAutomatedIndex.load(), c.index) << c.button;
        EXPECT_EQ(form->LatestValue(c.index), c.value) << c.button;
        EXPECT_TRUE(form->ControlAs<TBADIBButton>(c.button)->Active()) << c.button;
    }
    EXPECT_EQ(plugin->MidiHandler().LearnParameter(), -1);
}

TEST_F(TPluginGUITest, PaintsTheWholeFormThenOnlyWhatChanged) {
    TPixelBuffer buffer(TPluginGUI::kWidth, TPluginGUI::kHeight);
    EXPECT_EQ(form->Paint(buffer), TRect::FromSize(0, 0, 800, 556));
    EXPECT_TRUE(form->Paint(buffer).Empty());
    form->SetPresetLoadingIndicator(255);
    const TRect lamp = form->Control("PresetLoadingIndicator")->WindowRect();
    EXPECT_EQ(form->Paint(buffer), lamp);
}

TEST_F(TPluginGUITest, ProgramListsShowFourColumnsOf16RowsAndTheSelectionGreenOnWhite) {
    auto* list = form->ControlAs<TPatchListBox>("PatchListBank1");
    EXPECT_EQ(list->ItemAt(527, 207), 63);
    list->SetItemIndex(17);
    TPixelBuffer buffer(TPluginGUI::kWidth, TPluginGUI::kHeight);
    form->Paint(buffer, true);
    const TRect row = list->ItemRect(17).Translated(list->WindowRect().left, list->WindowRect().top);
    EXPECT_EQ(row, TRect::FromSize(list->WindowRect().left + 132, list->WindowRect().top + 13, 132, 13));
    EXPECT_EQ(buffer.At(row.right - 2, row.top + 6), Rgb(42, 196, 36));
    int white = 0; // text pixels lighter than the green, which black text would darken
    for (int y = row.top; y < row.bottom; ++y)
        for (int x = row.left; x < row.left + 30; ++x)
            white += RedOf(buffer.At(x, y)) > 200 && BlueOf(buffer.At(x, y)) > 200 ? 1 : 0;
    EXPECT_GT(white, 10); // "018."
}

TEST_F(TPluginGUITest, ButtonsWithALayoutHintShowItOnceTheMouseRests) {
    form->SelectPage(0);
    const TRect loop = form->Control("LoopPitchEnvelopeButton")->WindowRect();
    form->MouseMove(TMouseEvent{loop.left + 4, loop.top + 4});
    form->AdvanceClock(300);
    EXPECT_FALSE(form->HintLayer().Showing());
    form->AdvanceClock(700);
    ASSERT_TRUE(form->HintLayer().Showing());
    EXPECT_EQ(form->HintLayer().Text(), "Loop");

    // A control without a hint in the layout shows none.
    const TRect knob = form->Control("PitchEnvelopeIntensityKnob")->WindowRect();
    form->MouseMove(TMouseEvent{(knob.left + knob.right) / 2, (knob.top + knob.bottom) / 2});
    form->AdvanceClock(2000);
    EXPECT_FALSE(form->HintLayer().Showing());
}

TEST_F(TPluginGUITest, MessageBoxesTakeTheKeysFirstAndCloseWithTheFormWithoutAnswer) {
    int result = -1;
    form->ShowMessage("Quillon", "Replace the program?", TMsgButtons::mbYesNo, [&](int chosen) { result = chosen; });
    EXPECT_TRUE(form->KeyEvent(TKeyEvent{TEditKey::Enter, true, {}}));
    EXPECT_EQ(result, mrYes);
    EXPECT_FALSE(form->ModalLayer().IsOpen());
    EXPECT_FALSE(form->KeyEvent(TKeyEvent{TEditKey::Enter, true, {}})); // the host's again

    form->ShowMessage("Quillon", "Still open", TMsgButtons::mbOK, [&](int chosen) { result = 100 + chosen; });
    form.reset();
    EXPECT_EQ(result, mrYes);
}

// Records what the links open.
struct TRecordingOpener : platform::IShellOpen {
    std::vector<std::string> opened;
    Status answer;
    Status OpenWithSystem(const std::string& target) override {
        opened.push_back(target);
        return answer;
    }
};

TEST_F(TPluginGUITest, LinksOpenTheWebSiteAndTheManualNamedInTheSettings) {
    auto recorder = std::make_unique<TRecordingOpener>();
    TRecordingOpener& opener = *recorder;
    form->SetShellOpen(std::move(recorder));
    EXPECT_EQ(form->Control("WebLink")->Cursor(), TCursor::Hand);
    EXPECT_EQ(form->Control("ManualLink")->Cursor(), TCursor::Hand);

    Click("WebLink");
    Click("ManualLink"); // no manual installed
    EXPECT_EQ(opener.opened, std::vector<std::string>{TPluginGUI::kWebSite});
    ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingManual, "/opt/quillon/Manual.pdf"));
    Click("ManualLink");
    EXPECT_EQ(opener.opened.back(), "/opt/quillon/Manual.pdf");

    // A failure is told in a message box.
    opener.answer = Status::Failure(StatusCode::kNotFound, "xdg-open was not found.");
    Click("ManualLink");
    const auto* box = dynamic_cast<const TMessageBox*>(form->ModalLayer().Top());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Text(), "xdg-open was not found.");
    EXPECT_TRUE(plugin->Settings().WriteSetting(platform::kSettingManual, ""));
}

// Harmonies, inspector, envelopes and loops follow the current program on a full refresh; points and loop
// bars are percent of a 20-second line, envelope levels run upwards.
TEST_F(TPluginGUITest, FullRefreshLoadsHarmoniesInspectorEnvelopesAndLoops) {
    ASSERT_EQ(plugin->GetFrameCount(), 1);
    ASSERT_TRUE(plugin->InsertHarmonyFrame(1, 1.5f));
    ASSERT_TRUE(plugin->InsertHarmonyFrame(2, 4.0f));
    plugin->SetLoopEnd(3.25f);
    plugin->SetLoopStart(0.5f);
    const struct {
        int harmonic, level;
        double bar;
    } levels[] = {{1, 0, 0.0}, {2, 21, -10.5}, {3, 179, -89.5}, {4, 180, -90.0}, {5, 254, -90.0}, {6, 255, -90.0}};
    for (const auto& c : levels)
        plugin->SetHarmonicLevel(0, c.harmonic, c.level);
    ASSERT_TRUE(plugin->InsertEnvelopePoint(record::kFilterEnvelope, 1, 2.0f, 0.25f));
    plugin->SetEnvelopeLoopEnd(record::kFilterEnvelope, 2.0f);
    plugin->SetEnvelopeLoopStart(record::kFilterEnvelope, 0.3f);
    const int automated = host.automateCalls.load();
    form->updateAll();

    const auto* harmonies = form->ControlAs<TDIBEnvelope>("HarmonyEnv");
    ASSERT_EQ(harmonies->PointCount(), 3);
    const double times[] = {0.0, 1.5, 4.0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(static_cast<double>(harmonies->Point(i)->X()), 5.0 * times[i]) << i;
        EXPECT_EQ(harmonies->Point(i)->Y(), 0) << i;
    }
    EXPECT_EQ(harmonies->SelectedPoint(), harmonies->Point(0));
    const auto* harmonyLoop = form->ControlAs<TDIBRangeControl>("HarmonyLoopControl");
    EXPECT_EQ(harmonyLoop->LeftPos(), 50);
    EXPECT_EQ(harmonyLoop->RightPos(), 325);

    const auto* inspector = form->ControlAs<TDIBBarChart>("HarmonyInspector");
    EXPECT_TRUE(inspector->Enabled());
    for (const auto& c : levels)
        EXPECT_DOUBLE_EQ(inspector->Bar(c.harmonic), c.bar) << c.level;

    const auto* filter = form->ControlAs<TDIBEnvelope>("FilterEnvelopeControl");
    const int points = plugin->Programs().PointCount(0, record::kFilterEnvelope);
    ASSERT_EQ(filter->PointCount(), points);
    EXPECT_DOUBLE_EQ(static_cast<double>(filter->Point(1)->X()), 10.0);
    EXPECT_DOUBLE_EQ(static_cast<double>(filter->Point(1)->Y()), 75.0);
    const auto* filterLoop = form->ControlAs<TDIBRangeControl>("FilterEnvelopeLoopControl");
    EXPECT_EQ(filterLoop->LeftPos(), 30);
    EXPECT_EQ(filterLoop->RightPos(), 200);

    // A loop that never ends shows at the end of its bar; the phase view shows degrees.
    plugin->SetEnvelopeLoopEnd(record::kFilterEnvelope, 1.0e30f);
    plugin->GetGlobalSettings()[52] = 1;
    plugin->SetHarmonicPhase(0, 1, 64);
    form->updateAllControls();
    EXPECT_EQ(filterLoop->RightPos(), filterLoop->Max());
    EXPECT_DOUBLE_EQ(inspector->Bar(1), -90.0);

    EXPECT_EQ(host.automateCalls.load(), automated);
    EXPECT_FALSE(form->Refreshing());
}

// The visible list shows its half's names and the current program; a program of the other half brings
// that half's list to the front.
TEST_F(TPluginGUITest, ProgramListsFollowTheCurrentProgramAndItsBankHalf) {
    plugin->setProgramName("Glass Pad");
    const int automated = host.automateCalls.load();
    form->updateAll();
    auto* first = form->ControlAs<TPatchListBox>("PatchListBank1");
    ASSERT_EQ(form->VisibleProgramList(), first);
    EXPECT_EQ(first->Item(0), "001. Glass Pad");
    EXPECT_EQ(first->ItemIndex(), 0);

    plugin->setProgram(70);
    ProcessUntilSwitched();
    plugin->setProgramName("Bell");
    form->updateAll();
    auto* second = form->ControlAs<TPatchListBox>("PatchListBank2");
    EXPECT_EQ(form->VisibleProgramList(), second);
    EXPECT_EQ(form->ControlAs<TDIBImageContainer>("PresetsPage")->Children().back(), second);
    EXPECT_TRUE(form->ControlAs<TBADIBButton>("BankSelectorButton")->Active());
    EXPECT_EQ(second->ItemIndex(), 6);
    EXPECT_EQ(second->Item(6), "007. Bell");
    EXPECT_EQ(host.automateCalls.load(), automated);
}

// The bank list names the ".bpb" files of the bank folder (exact case), sorted, and marks the stored bank.
TEST_F(TPluginGUITest, BankListShowsTheBankFilesAndMarksTheStoredOne) {
    TemporaryDirectory folder;
    for (const char* name : {"Strings.bpb", "LOUD.BPB", "notes.txt"})
        std::ofstream(folder / name) << "x";
    ASSERT_TRUE(plugin->SaveBankFile(0, folder / "Pads.bpb"));
    ASSERT_TRUE(plugin->Settings().WriteSetting(platform::kSettingProgramBankDir, folder.Path()));
    form->initNonAutomatedControls();
    const auto* banks = form->ControlAs<TBAListBox>("BankListControl");
    ASSERT_EQ(banks->Count(), 2);
    EXPECT_EQ(banks->Item(0), "Pads");
    EXPECT_EQ(banks->Item(1), "Strings");
    EXPECT_EQ(banks->ItemIndex(), 0);
    EXPECT_TRUE(plugin->Settings().WriteSetting(platform::kSettingProgramBankDir, ""));
}

} // namespace
} // namespace quillon::test
