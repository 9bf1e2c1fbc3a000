// The harmony part of the editor form driven as a user drives it: points on the harmony time line, the loop
// bar, mouse edits in the inspector and the harmony menus, checked against what the plug-in holds.
#include "editor/TPluginGUI.h"

#include "engine/DisplayFormat.h"
#include "engine/TIFFTVoiceOsc.h"
#include "support/AllocationCounter.h"
#include "support/EditorFixture.h"
#include "support/TemporaryDirectory.h"
#include "toolkit/TDIBChart.h"
#include "toolkit/TDIBEnvelope.h"
#include "toolkit/TDIBRangeControl.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>

namespace quillon::test {
namespace {

class HarmonyEditingTest : public TEditorFixture {
protected:
    // The oscillator page in front with the plug-in's harmonies at `times` (after the first, at 0 s).
    void ShowHarmonies(std::initializer_list<float> times) {
        int frame = 1;
        for (const float time : times)
            ASSERT_TRUE(plugin->InsertHarmonyFrame(frame++, time));
        RefreshFromPlugin();
        form->SelectPage(0);
    }
    TDIBEnvelope& Harmonies() { return *form->ControlAs<TDIBEnvelope>("HarmonyEnv"); }
    TDIBBarChart& Inspector() { return *form->ControlAs<TDIBBarChart>("HarmonyInspector"); }
    std::string Caption(std::string_view label) { return form->ControlAs<TDIBLabel>(label)->Caption(); }
    int Selected() { return Harmonies().SelectedPoint() ? Harmonies().SelectedPoint()->Index() : -1; }
    // The centre of time-line point `index` in window coordinates.
    std::pair<int, int> PointCentre(int index) {
        const TRect window = Harmonies().WindowRect();
        const TRect point = Harmonies().Point(index)->Rect();
        return {window.left + (point.left + point.right) / 2, window.top + (point.top + point.bottom) / 2};
    }
    void PressRelease(std::pair<int, int> at, TMouseButton button = TMouseButton::Left) {
        Drag(at.first, at.second, at.first, at.second, 0, button);
    }
    // Window position of harmonic `harmonic` at `dy` pixels below the top of the inspector's plot (range
    // "1- 50": 10 pixels per harmonic; levels 1 dB and phases 4 degrees per pixel).
    std::pair<int, int> Plot(int harmonic, int dy) {
        const TRect window = Inspector().WindowRect();
        return {window.left + 11 + 10 * harmonic, window.top + 4 + dy};
    }
    void DragIn(std::pair<int, int> from, std::pair<int, int> to) {
        Drag(from.first, from.second, to.first, to.second);
    }
    // Opens a menu through its drop-down (which enables its items) and closes it again.
    void Peek(std::string_view selector) {
        Click(selector);
        form->Root().MenuLayer()->Close();
    }
    static int IndexOf(const TMenuItem& parent, std::string_view caption) {
        int i = 0;
        while (i + 1 < parent.Count() && parent[i].Caption != caption)
            ++i;
        return i;
    }
    TMenuItem& Item(std::string_view menu, std::string_view caption) {
        TMenuItem& items = form->Menu(menu)->Items;
        return items[IndexOf(items, caption)];
    }
    // Clicks a menu item (in the sub-menu of `caption` when `sub` is given) as a user does; a disabled item
    // does nothing and the menu is closed afterwards.
    void Choose(std::string_view selector, std::string_view caption, std::string_view sub = {}) {
        Click(selector);
        const TPopupMenu& menu = *form->ControlAs<TBADIBDropDownMenu>(selector)->Menu();
        TMenuLayer& layer = *form->Root().MenuLayer();
        const auto centre = [](const TRect& r) { return std::pair{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; };
        const int index = IndexOf(menu.Items, caption);
        auto at = centre(layer.ItemRect(0, index));
        if (!sub.empty()) {
            form->MouseMove(TMouseEvent{at.first, at.second});
            at = centre(layer.ItemRect(1, IndexOf(menu.Items[index], sub)));
        }
        PressRelease(at);
        layer.Close();
    }
};

// Points added, moved and removed with the mouse insert, time and delete harmonies; the first harmony is
// never deleted; the loop bar's handles set the loop.
TEST_F(HarmonyEditingTest, TimeLineAndLoopBarEditTheHarmonies) {
    plugin->SetLoopEnd(2.0f);
    ShowHarmonies({});
    const TRect line = Harmonies().WindowRect();
    // A press on empty ground selects nothing; the first move adds a point, the next ones drag it (1 s is
    // 100 pixels, the cursor holds the point's image by its middle).
    Drag(line.left + 208, line.top + 8, line.left + 258, line.top + 8);
    ASSERT_EQ(plugin->GetFrameCount(), 2);
    EXPECT_FLOAT_EQ(plugin->GetFrameTime(1), 2.5f);
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(Caption("HarmPointInfoLabel"), "Harmony: 2: 2.50 sec.");
    // Right clicks delete only while "Delete On Right Click" is checked, and never the first harmony.
    PressRelease(PointCentre(1), TMouseButton::Right);
    EXPECT_EQ(plugin->GetFrameCount(), 2);
    Choose("HarmonyEnvEditSelector", "Delete On Right Click");
    PressRelease(PointCentre(0), TMouseButton::Right);
    EXPECT_EQ(plugin->GetFrameCount(), 2);
    PressRelease(PointCentre(1), TMouseButton::Right);
    EXPECT_EQ(Harmonies().PointCount(), 1);
    EXPECT_FALSE(Inspector().Enabled());
    TPixelBuffer buffer(TPluginGUI::kWidth, TPluginGUI::kHeight);
    form->Paint(buffer, true); // the handles are where they were drawn
    const auto& loop = *form->ControlAs<TDIBRangeControl>("HarmonyLoopControl");
    const TRect handle = loop.RightHandleRect().Translated(loop.WindowRect().left, loop.WindowRect().top);
    const int x = (handle.left + handle.right) / 2, y = (handle.top + handle.bottom) / 2;
    Drag(x, y, x + 60, y);
    ASSERT_GT(loop.RightPos(), 200);
    EXPECT_FLOAT_EQ(plugin->GetLoopEnd(), static_cast<float>(loop.RightPos()) / 100.0f);
    EXPECT_EQ(Caption("HarmPointInfoLabel"), "Loop end: " + FormatFixed(loop.RightPos() / 100.0, 2) + " sec");
}

// Dragging in the inspector writes the selected harmony's levels or phases under the edit type; a linked drag
// moves every shown harmonic but the silent ones; the slot left of the first harmonic is never written; the
// frame is rebuilt once per drag and repeated drags without processing hold no more memory than one.
TEST_F(HarmonyEditingTest, InspectorDragsWriteTheSelectedHarmony) {
    plugin->FillHarmonics(0, 0);
    plugin->SetHarmonicLevel(0, 7, 255);
    const int slotZero = plugin->GetHarmonicLevel(0, 0);
    ShowHarmonies({});

    DragIn(Plot(2, 10), Plot(2, 20));
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 2), 40);
    EXPECT_EQ(Caption("HarmInfoLabel"), "Harmonic: 2: -20.0 dB");
    DragIn(Plot(2, 20), Plot(2, 120)); // -90 dB and below is silence
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 2), 255);
    EXPECT_EQ(Caption("HarmInfoLabel"), "Harmonic: 2: -oo dB");
    // Range "1- 50": the cursor over the slot left of harmonic 1 edits nothing.
    DragIn(Plot(0, 0), std::pair{Plot(0, 0).first + 3, Plot(0, 60).second});
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 0), slotZero);
    plugin->GetGlobalSettings()[60] = 1; // edit type: odd harmonics only
    DragIn(Plot(2, 30), Plot(5, 30));
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 3), 60);
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 5), 60);
    EXPECT_NE(plugin->GetHarmonicLevel(0, 4), 60);
    plugin->GetGlobalSettings()[60] = 0;
    Click("HarmonicsLinkedControl");
    DragIn(Plot(10, 40), Plot(10, 30)); // everything 10 dB up
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 5), 40);
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 1), 0); // held at 0 dB
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 2), 255);
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 7), 255);
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 0), slotZero);
    Click("HarmonicsLinkedControl");
    Click("ViewHarmonicsPhaseButton");
    DragIn(Plot(4, 10), Plot(4, 45));
    EXPECT_EQ(plugin->GetHarmonicPhase(0, 4), 128);
    EXPECT_EQ(Caption("HarmInfoLabel"), "Harmonic: 4: 0 Deg");
    DragIn(Plot(6, 10), Plot(6, 20));
    const std::size_t afterOne = LiveHeapBytes();
    for (int drag = 0; drag < 12; ++drag)
        DragIn(Plot(6, 10 + drag), Plot(6, 30 + drag));
    EXPECT_LT(LiveHeapBytes(), afterOne + plugin->Oscillator().FrameBytes(0) / 2);
}

// The harmony menus: enabled by the selection and the clipboard, and each command on the plug-in's data.
TEST_F(HarmonyEditingTest, MenuCommandsActOnTheSelectedHarmony) {
    ShowHarmonies({1.0f, 2.0f, 3.0f, 4.0f});
    PressRelease({Harmonies().WindowRect().left + 450, PointCentre(0).second}); // empty ground: none selected
    ASSERT_EQ(Selected(), -1);
    Peek("HarmonyEnvEditSelector");
    Peek("HarmonyInspectorPresetsSelector");
    EXPECT_FALSE(Item("HarmonyEnvEditMenu", "Copy Harmony").Enabled);
    EXPECT_FALSE(Item("HarmonyEnvEditMenu", "Delete Selected Harmony").Enabled);
    EXPECT_TRUE(Item("HarmonyEnvEditMenu", "Delete All Harmonies").Enabled);
    EXPECT_FALSE(Item("HarmonyInspectorPresetsMenu", "Preset Waveforms").Enabled);
    EXPECT_TRUE(Item("HarmonyInspectorPresetsMenu", "Default Harmony Directory").Enabled);
    PressRelease(PointCentre(2));
    Choose("HarmonyInspectorPresetsSelector", "Preset Waveforms", "Sawtooth");
    EXPECT_LT(plugin->GetHarmonicLevel(2, 1), plugin->GetHarmonicLevel(2, 2)); // falling with the harmonic number
    EXPECT_DOUBLE_EQ(Inspector().Bar(3), -0.5 * plugin->GetHarmonicLevel(2, 3));
    const int bright = plugin->GetHarmonicLevel(2, 40);
    Choose("HarmonyInspectorPresetsSelector", "Soften Harmony");
    const int soft = plugin->GetHarmonicLevel(2, 40);
    EXPECT_GT(soft, bright); // quieter high harmonics
    const TemporaryDirectory folder;
    ASSERT_TRUE(form->SaveHarmonyToFile(folder / "soft.bha"));
    Peek("HarmonyEnvEditSelector");
    EXPECT_TRUE(Item("HarmonyEnvEditMenu", "Copy Harmony").Enabled);
    EXPECT_FALSE(Item("HarmonyEnvEditMenu", "Paste Harmony").Enabled); // nothing copied yet
    Choose("HarmonyEnvEditSelector", "Copy Harmony");
    PressRelease(PointCentre(1));
    Choose("HarmonyEnvEditSelector", "Paste Harmony");
    EXPECT_EQ(plugin->GetHarmonicLevel(1, 3), plugin->GetHarmonicLevel(2, 3));
    Choose("HarmonyEnvEditSelector", "Delete Selected Harmony"); // harmony 2 goes, harmony 1 is selected
    EXPECT_EQ(plugin->GetFrameCount(), 4);
    EXPECT_EQ(Selected(), 0);
    EXPECT_FLOAT_EQ(plugin->GetFrameTime(1), 2.0f);
    plugin->FillHarmonics(0, 0);
    Choose("HarmonyEnvEditSelector", "Delete Selected Harmony"); // the first one is cleared and stays
    EXPECT_EQ(plugin->GetFrameCount(), 4);
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 1), 255);
    EXPECT_EQ(Selected(), 0);
    PressRelease(PointCentre(2)); // times 0, 2, 3, 4
    Choose("HarmonyEnvEditSelector", "Delete Harmonies Below Selected");
    EXPECT_EQ(plugin->GetFrameCount(), 3);
    EXPECT_FLOAT_EQ(plugin->GetFrameTime(1), 3.0f);
    EXPECT_EQ(Selected(), 0);
    PressRelease(PointCentre(1));
    Choose("HarmonyEnvEditSelector", "Delete Harmonies Above Selected");
    EXPECT_EQ(plugin->GetFrameCount(), 2);
    EXPECT_EQ(Selected(), 1);
    plugin->FillHarmonics(0, 0);
    Choose("HarmonyEnvEditSelector", "Delete All Harmonies");
    EXPECT_EQ(Harmonies().PointCount(), 1);
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 1), 255);
    EXPECT_EQ(Selected(), 0);
    // What the harmony file dialogs do on OK; a file that cannot be read changes nothing.
    EXPECT_FALSE(form->LoadHarmonyFromFile(folder / "missing.bha"));
    EXPECT_EQ(prompt->messages.size(), 1u);
    ASSERT_TRUE(form->LoadHarmonyFromFile(folder / "soft.bha"));
    EXPECT_EQ(plugin->GetHarmonicLevel(0, 40), soft);
    EXPECT_DOUBLE_EQ(Inspector().Bar(40), -0.5 * plugin->GetHarmonicLevel(0, 40));
}

// Times beyond the 20-second scale show at its end and keep their value through refreshes and edits of
// other points until the user moves them; a refresh calls nothing back.
TEST_F(HarmonyEditingTest, TimesBeyondTheScaleKeepTheirValueUntilMoved) {
    plugin->SetLoopEnd(30.0f);
    ShowHarmonies({1.0f, 25.0f});
    plugin->SetBankModified(0, false);
    RefreshFromPlugin();
    EXPECT_FALSE(plugin->BankModified(0));
    EXPECT_EQ(Harmonies().Point(2)->X(), 100.0L);
    EXPECT_EQ(form->ControlAs<TDIBRangeControl>("HarmonyLoopControl")->RightPos(), 2000);
    EXPECT_FLOAT_EQ(plugin->GetLoopEnd(), 30.0f);
    Choose("HarmonyEnvHandlingSelector", "Drag"); // points to the right move along
    auto [x, y] = PointCentre(1);
    Drag(x, y, x + 100, y);
    EXPECT_FLOAT_EQ(plugin->GetFrameTime(1), 2.0f);
    EXPECT_FLOAT_EQ(plugin->GetFrameTime(2), 25.0f);
    auto& container = *form->Control("HarmoniHandleContainer");
    const TRect at = container.Bounds();
    container.SetBounds(TRect::FromSize(518 - at.Width(), at.top, at.Width(), at.Height())); // scrolled to the end
    std::tie(x, y) = PointCentre(2);
    Drag(x, y, x - 100, y);
    EXPECT_FLOAT_EQ(plugin->GetFrameTime(2), 19.0f);
    EXPECT_EQ(Caption("HarmPointInfoLabel"), "Harmony: 3: 19.00 sec.");
    form.reset(); // closing the editor deletes no harmony
    EXPECT_EQ(plugin->GetFrameCount(), 3);
}

} // namespace
} // namespace quillon::test
