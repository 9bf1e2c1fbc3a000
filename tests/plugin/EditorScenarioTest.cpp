// A session as a musician has it, through a private X server: Quillon.so loaded as a host loads it, its
// editor in the host's window, and every step done with the mouse and keyboard through XTest: a bank loaded
// from the bank list, a program renamed by typing, an envelope point drawn, a harmonic dragged, a recording
// analysed through the editor's own file browser, the bank saved under a new name. Then the editor closes
// and the saved file and a render of it are checked.
#include "core/TCustomVSTMidiPlugin.h"
#include "editor/TPluginGUI.h"
#include "files/ProgramRecord.h"
#include "files/TPresetsFileManager.h"
#include "files/ZlibCodec.h"
#include "platform/ISettingsStore.h"
#include "support/EmbeddedEditorFixture.h"
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"
#include "support/WaveFileBytes.h"
#include "toolkit/TPopupMenu.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quillon {
namespace {

using namespace std::chrono_literals;
using vst2::VstInt32;

constexpr xcb_keysym_t kBackSpaceKey = 0xff08;
constexpr xcb_keysym_t kReturnKey = 0xff0d;
constexpr xcb_keysym_t kShiftKey = 0xffe1;

constexpr const char* kPadsName = "PAD Warm Glass";

vst2::VstIntPtr QuietHost(vst2::AEffect*, VstInt32 opcode, VstInt32, vst2::VstIntPtr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

std::int32_t Int32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(value);
}

// A one-second 220 Hz tone with three harmonics, as a recording of a held note.
std::vector<float> HeldNote() {
    std::vector<float> samples(44100);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        samples[i] = static_cast<float>(0.4 * std::sin(2 * M_PI * 220 * t) + 0.2 * std::sin(2 * M_PI * 440 * t) +
                                        0.1 * std::sin(2 * M_PI * 660 * t));
    }
    return samples;
}

class EditorScenarioTest : public test::TEmbeddedEditorFixture {
protected:
    void SetUp() override {
        TEmbeddedEditorFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::filesystem::create_directories(banks);
        std::filesystem::create_directories(audio);
        // A bank of the user's, and the folders the editor remembers.
        TCustomVSTMidiPlugin author(QuietHost);
        author.setProgramName(kPadsName);
        ASSERT_TRUE(author.SaveBankFile(0, banks / "Pads.bpb"));
        ASSERT_TRUE(author.Settings().WriteSetting(platform::kSettingProgramBankDir, banks));
        ASSERT_TRUE(author.Settings().WriteSetting(platform::kSettingAudioFileDir, audio));
        test::WriteFile(audio / "note.wav", test::Pcm16Wave(HeldNote(), 1));
        // A form of our own, never shown, tells where the controls and menu items are.
        twin = std::make_unique<TCustomVSTMidiPlugin>(QuietHost);
        layout = std::make_unique<TPluginGUI>(*twin);
    }

    void Idle(std::chrono::milliseconds time = 120ms) {
        x->Sync(); // the server has taken the input injected before
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            plugin.Dispatch(vst2::effEditIdle);
            std::this_thread::sleep_for(10ms);
        }
    }
    // Idles as a host does until `done` holds, at most 20 s (sanitizer builds are slow); whether it held.
    template <typename Done> bool IdleUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!done() && std::chrono::steady_clock::now() < deadline)
            Idle(20ms);
        return done();
    }
    // The harmony count of the current program, from the program chunk the host would store.
    int CurrentFrameCount() {
        std::vector<std::uint8_t> program(record::kRecordSize);
        if (ZlibInflate(plugin.GetChunk(true), program) != InflateResult::kComplete) return 0;
        return Int32At(program, record::kFrameCountOffset);
    }
    TRect At(std::string_view id) const { return layout->Control(id)->WindowRect(); }
    void Press(int px, int py) {
        x->MoveTo(px, py);
        x->Button(true, 1);
        xcb_flush(x->Connection());
        Idle(40ms);
    }
    void Release() {
        x->Button(false, 1);
        xcb_flush(x->Connection());
        Idle();
    }
    void ClickAt(int px, int py) {
        Press(px, py);
        Release();
    }
    // Clicks a control; a page selector brings the same page forward in the twin form.
    void Click(std::string_view id) {
        if (id.starts_with("PageSelector")) layout->SelectPage(layout->Control(id)->Tag());
        const TRect r = At(id);
        ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void DragBy(int px, int py, int dx, int dy) {
        Press(px, py);
        for (int step = 1; step <= 4; ++step) {
            x->MoveTo(px + dx * step / 4, py + dy * step / 4);
            xcb_flush(x->Connection());
            Idle(30ms);
        }
        Release();
    }
    // Opens the command drop-down `dropDown` and clicks the item captioned `caption` of its menu `menu`,
    // where the twin form places it.
    void ChooseFromMenu(std::string_view dropDown, std::string_view menu, std::string_view caption) {
        const TMenuItem& items = layout->Menu(menu)->Items;
        int index = 0;
        while (index < items.Count() && items[index].Caption != caption)
            ++index;
        ASSERT_LT(index, items.Count()) << caption;
        const TRect r = At(dropDown);
        const TMouseEvent centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        layout->MouseDown(centre);
        layout->MouseUp(centre);
        TMenuLayer* menus = layout->Root().MenuLayer();
        ASSERT_TRUE(menus != nullptr && menus->IsOpen()) << dropDown;
        const TRect item = menus->ItemRect(0, index);
        menus->Close();
        ClickAt(centre.x, centre.y);
        ClickAt((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    }
    void Type(const std::string& text) {
        for (const char c : text) {
            const bool capital = c >= 'A' && c <= 'Z';
            x->Type(static_cast<xcb_keysym_t>(capital ? c - 'A' + 'a' : c), capital ? kShiftKey : 0);
        }
        Idle(60ms);
    }
    void TypeKey(xcb_keysym_t key) {
        x->Type(key);
        Idle();
    }

    test::TemporaryDirectory folder;
    std::filesystem::path banks = folder / "Banks";
    std::filesystem::path audio = folder / "Recordings";
    std::unique_ptr<TCustomVSTMidiPlugin> twin;
    std::unique_ptr<TPluginGUI> layout;
};

TEST_F(EditorScenarioTest, AMusicianLoadsEditsAnalysesAndSavesABankWithMouseAndKeyboard) {
    const int defaultAmpPoints = [&] {
        std::vector<std::uint8_t> record(record::kRecordSize);
        twin->GetCurrentProgramCopy(record);
        return Int32At(record, record::EnvelopeOffset(0) + record::kEnvelopePointCountOffset);
    }();
    const xcb_window_t parent = x->MakeParent(TPluginGUI::kWidth, TPluginGUI::kHeight);
    ASSERT_EQ(plugin.Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent})), 1);
    Idle(300ms);

    // The bank list shows the bank folder; a click loads the bank into the first half.
    const TRect bankList = At("BankListControl");
    ClickAt(bankList.left + 30, bankList.top + 6);
    EXPECT_TRUE(IdleUntil([&] { return plugin.ProgramNameIndexed(0).value_or("") == kPadsName; }));

    // A double click on the second program's row opens its name for editing; the name typed replaces it.
    const TRect programs = At("PatchListBank1");
    const int rowX = programs.left + 60, rowY = programs.top + 13 + 6;
    x->MoveTo(rowX, rowY);
    for (int click = 0; click < 2; ++click) {
        x->Button(true, 1);
        x->Button(false, 1);
    }
    xcb_flush(x->Connection());
    Idle(200ms);
    for (int i = 0; i < 30; ++i)
        x->Type(kBackSpaceKey);
    Type("Glass Bells");
    TypeKey(kReturnKey);
    EXPECT_EQ(plugin.Program(), 1);
    EXPECT_EQ(plugin.ProgramNameIndexed(1).value_or(""), "Glass Bells");

    // A point drawn into the amplifier envelope: press on empty ground and move.
    Click("PageSelectorAmpAndFilter");
    const TRect amp = At("AmplifierEnvelopeControl");
    DragBy(amp.left + 250, amp.top + amp.Height() / 2, 12, 8);

    // A harmonic dragged in the inspector: harmonic 3 pulled to −40 dB.
    Click("PageSelectorOsc");
    const TRect inspector = At("HarmonyInspector");
    DragBy(inspector.left + 11 + 30, inspector.top + 4 + 20, 0, 20);

    // The third program gets the harmony of a recording, chosen in the editor's file browser.
    Click("PageSelectorPresets");
    ClickAt(rowX, programs.top + 2 * 13 + 6);
    EXPECT_EQ(plugin.Program(), 2);
    Click("PageSelectorOsc");
    ChooseFromMenu("AnalyzerSelector", "AudioAnalyzerMenu", "Analyze Audio File");
    Type("note.wav");
    TypeKey(kReturnKey);
    EXPECT_TRUE(IdleUntil([&] { return CurrentFrameCount() >= 2; }));

    // The bank saved under a new name through the same browser.
    Click("PageSelectorPresets");
    ChooseFromMenu("BankFilesSelector", "BankListMenu", "Save Bank As...");
    Type("Mine");
    TypeKey(kReturnKey);
    const std::filesystem::path saved = banks / "Mine.bpb";
    ASSERT_TRUE(IdleUntil([&] { return std::filesystem::exists(saved); }));
    plugin.Dispatch(vst2::effEditClose);

    std::vector<std::uint8_t> records(TPresetsFileManager::kBankBytes);
    ASSERT_TRUE(TPresetsFileManager().LoadBank(saved, TPresetsFileManager::BankSpan(records.data(), records.size())));
    const auto record = [&records](int slot) {
        return std::vector<std::uint8_t>(records.begin() + static_cast<std::ptrdiff_t>(record::kRecordSize * slot),
                                         records.begin() +
                                             static_cast<std::ptrdiff_t>(record::kRecordSize * (slot + 1)));
    };
    const std::vector<std::uint8_t> pads = record(0), glass = record(1), analysed = record(2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&pads[record::kNameOffset])), kPadsName);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&glass[record::kNameOffset])), "Glass Bells");
    EXPECT_EQ(Int32At(glass, record::EnvelopeOffset(0) + record::kEnvelopePointCountOffset), defaultAmpPoints + 1);
    EXPECT_NEAR(glass[record::FrameOffset(0) + record::kFrameLevelsOffset + 3], 80, 2);
    EXPECT_GE(Int32At(analysed, record::kFrameCountOffset), 2);
    for (const int harmonic : {1, 2, 3})
        EXPECT_LT(analysed[record::FrameOffset(0) + record::kFrameLevelsOffset + harmonic], 255) << harmonic;
    EXPECT_GE(analysed[record::FrameOffset(0) + record::kFrameLevelsOffset + 10], 180); // below -90 dB

    // The saved sound plays.
    const std::string rendered = folder / "note.wav";
    const test::TToolRun render = test::RunTool({"render", std::string(QUILLON_SOURCE_DIR) + "/examples/demo.mid", "-o",
                                                 rendered, "--bank", saved, "--slot", "2"});
    ASSERT_EQ(render.exitCode, 0) << render.err;
    EXPECT_GT(std::filesystem::file_size(rendered), 100000u);
}

} // namespace
} // namespace quillon
