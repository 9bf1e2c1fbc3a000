// The envelope editors as a user drives them: mouse edits, the EDIT menus, loop bars and scrolling reach
// the plug-in's program; the audio import runs beside the idle calls; the MIDI learn buttons, the keyboard
// and the LFO scopes.
#include "analysis/AnalyzeWaveFile.h"
#include "files/ProgramRecord.h"
#include "midi/TMidiHandler.h"
#include "support/EditorFixture.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"
#include "toolkit/TBADIBQuillonKeyboard.h"
#include "toolkit/TDIBChart.h"
#include "toolkit/TDIBEnvelope.h"
#include "toolkit/TDIBRangeControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace quillon::test {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kRate = 44100;
constexpr int kAmpAndFilterPage = 1;
constexpr int kOscillatorPage = 0;

// A tone of `frequency` with the harmonics' amplitudes, and harmonics that swap places every 80 ms.
std::vector<float> Tone(double frequency, double seconds, std::initializer_list<double> harmonics) {
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < x.size(); ++i) {
        int k = 1;
        for (double a : harmonics)
            x[i] += static_cast<float>(a * std::sin(kTwoPi * frequency * k++ * static_cast<double>(i) / kRate));
    }
    return x;
}
std::vector<float> Swapping(int parts) {
    std::vector<float> x;
    for (int part = 0; part < parts; ++part)
        for (float v : part % 2 ? Tone(262.0, 0.08, {0.2, 0.5}) : Tone(262.0, 0.08, {0.5, 0.0, 0.2}))
            x.push_back(v);
    return x;
}

class EnvelopeEditingTest : public TEditorFixture {
protected:
    int Slot() { return plugin->CurrentProgram(); }
    TProgramBank& Bank() { return plugin->Programs(); }
    TDIBEnvelope& Envelope(std::string_view id) { return *form->ControlAs<TDIBEnvelope>(id); }
    std::string Label(std::string_view id) { return form->ControlAs<TDIBLabel>(id)->Caption(); }

    // Gives `envelope` the points (seconds, level) and shows them.
    void SetPoints(int envelope, const std::vector<std::pair<float, float>>& points) {
        while (Bank().PointCount(Slot(), envelope) > 1)
            ASSERT_TRUE(plugin->DeleteEnvelopePoint(envelope, Bank().PointCount(Slot(), envelope) - 1));
        ASSERT_TRUE(plugin->SetEnvelopePoint(envelope, 0, points[0].first, points[0].second));
        for (std::size_t i = 1; i < points.size(); ++i)
            ASSERT_TRUE(plugin->InsertEnvelopePoint(envelope, static_cast<int>(i), points[i].first, points[i].second));
        RefreshFromPlugin();
    }
    // The window position of the centre of a point's image.
    std::pair<int, int> PointCentre(const TDIBEnvelope& envelope, int index) {
        const TEnvelopePoint& point = *envelope.Point(index);
        return {envelope.WindowRect().left + point.PixelX() + envelope.ImageWidth() / 2,
                envelope.WindowRect().top + point.PixelY() + envelope.ImageHeight() / 2};
    }
    void ClickAt(std::pair<int, int> at, TMouseButton button = TMouseButton::Left) {
        Drag(at.first, at.second, at.first, at.second, 0, button);
    }
    // Opens a drop-down's menu and chooses its item `index`.
    void Choose(std::string_view dropDown, int index) {
        Click(dropDown);
        const TRect item = form->Root().MenuLayer()->ItemRect(0, index);
        ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    }
    // The plug-in holds exactly the points the editor shows (time = x / 5, level = 1 − y / 100).
    void ExpectInStep(int envelope, std::string_view id) {
        const TDIBEnvelope& editor = Envelope(id);
        ASSERT_EQ(Bank().PointCount(Slot(), envelope), editor.PointCount());
        for (int i = 0; i < editor.PointCount(); ++i) {
            EXPECT_NEAR(Bank().PointTime(Slot(), envelope, i), editor.Point(i)->X() / 5.0L, 1e-5) << i;
            EXPECT_NEAR(Bank().PointLevel(Slot(), envelope, i), 1.0L - editor.Point(i)->Y() / 100.0L, 1e-5) << i;
        }
    }
    // Painting places the loop handles where the mouse finds them.
    void Paint() {
        TPixelBuffer buffer(TPluginGUI::kWidth, TPluginGUI::kHeight);
        form->Paint(buffer, true);
    }
    // Idle calls until the analysis is over (at most 20 s); how many it took.
    int IdleUntilAnalysed() {
        int calls = 0;
        for (; form->AnalysisRunning() && calls < 20000; ++calls) {
            form->AdvanceClock(10);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return calls;
    }

    TemporaryDirectory dir;
};

// Adding, dragging and deleting points with the mouse, with each handling mode, leaves the plug-in's
// envelope equal to the editor's; the refresh that loaded it changed nothing.
TEST_F(EnvelopeEditingTest, MouseEditsKeepThePluginsPointsInStep) {
    form->SelectPage(kAmpAndFilterPage);
    SetPoints(record::kAmplitudeEnvelope, {{0.0f, 1.0f}, {2.0f, 0.5f}, {4.0f, 0.0f}});
    plugin->SetBankModified(0, false);
    RefreshFromPlugin();
    TDIBEnvelope& amp = Envelope("AmplifierEnvelopeControl");
    const TRect area = form->Control("AmpEnvDragMask")->WindowRect();

    // A press on empty ground and a move add a point between the second and the third.
    Drag(area.left + 300, area.top + 40, area.left + 304, area.top + 50);
    ASSERT_EQ(amp.PointCount(), 4);
    ExpectInStep(record::kAmplitudeEnvelope, "AmplifierEnvelopeControl");
    EXPECT_TRUE(plugin->BankModified(0)); // not before: the refresh echoed nothing

    // Dragging the second point right with "Drag" takes the later points with it.
    Choose("AmpEnvHandlingSelector", 1);
    EXPECT_EQ(StoredInt(32), 1);
    const double thirdBefore = static_cast<double>(amp.Point(2)->X());
    const auto [x, y] = PointCentre(amp, 1);
    Drag(x, y, x + 30, y + 10);
    EXPECT_GT(static_cast<double>(amp.Point(2)->X()), thirdBefore);
    ExpectInStep(record::kAmplitudeEnvelope, "AmplifierEnvelopeControl");

    // A right click deletes the selected point.
    ClickAt(PointCentre(amp, 2), TMouseButton::Right);
    ASSERT_EQ(amp.PointCount(), 3);
    ExpectInStep(record::kAmplitudeEnvelope, "AmplifierEnvelopeControl");
    EXPECT_TRUE(prompt->messages.empty());
}

// The labels: decibels of the cubed level (silence as -oo), the filter in percent either side of the
// middle, the pitch in semitones of the intensity the knob shows; loop handles tell their seconds.
TEST_F(EnvelopeEditingTest, InformationLabelsDescribeTheSelectedPointAndTheLoop) {
    form->SelectPage(kAmpAndFilterPage);
    SetPoints(record::kAmplitudeEnvelope, {{0.0f, 0.0f}, {2.0f, 0.5f}});
    SetPoints(record::kFilterEnvelope, {{0.0f, 0.5f}, {1.5f, 0.25f}});
    // Loading leaves the last point selected; the label follows a change of selection.
    ClickAt(PointCentre(Envelope("AmplifierEnvelopeControl"), 0));
    EXPECT_EQ(Label("AmplifierEnvelopeInfoLabel"), "1: 0.00 s. -oo dB");
    ClickAt(PointCentre(Envelope("AmplifierEnvelopeControl"), 1));
    EXPECT_EQ(Label("AmplifierEnvelopeInfoLabel"), "2: 2.00 s. -18.06 dB");
    ClickAt(PointCentre(Envelope("FilterEnvelopeControl"), 0));
    ClickAt(PointCentre(Envelope("FilterEnvelopeControl"), 1));
    EXPECT_EQ(Label("FilterEnvelopeInfoLabel"), "2: 1.50 s. -50 %");

    form->SelectPage(kOscillatorPage);
    SetPoints(record::kPitchEnvelope, {{0.0f, 0.5f}, {1.0f, 0.75f}});
    RefreshWith({{7, 0.5f}}); // an intensity of 9 semitones
    ClickAt(PointCentre(Envelope("PitchEnvelopeControl"), 0));
    ClickAt(PointCentre(Envelope("PitchEnvelopeControl"), 1));
    EXPECT_EQ(Label("PitchEnvelopeInfoLabel"), "2: 1.00 s. 4.50 n");

    // Moving a point rewrites the label as it goes.
    const auto [x, y] = PointCentre(Envelope("PitchEnvelopeControl"), 1);
    Drag(x, y, x, y - 200);
    EXPECT_EQ(Label("PitchEnvelopeInfoLabel"), "2: 1.00 s. 9.00 n");

    // The right loop handle dragged left: the loop end follows it in hundredths of a second.
    Paint();
    const auto* loop = form->ControlAs<TDIBRangeControl>("PitchEnvelopeLoopControl");
    const TRect handle = loop->RightHandleRect().Translated(loop->WindowRect().left, loop->WindowRect().top);
    Drag(handle.left + 2, handle.top + 2, handle.left - 58, handle.top + 2);
    EXPECT_EQ(form->Control("PitchEnvelopeContainer")->Bounds().left, 0); // a handle never scrolls
    const float end = Bank().EnvelopeLoopEnd(Slot(), record::kPitchEnvelope);
    EXPECT_FLOAT_EQ(end, static_cast<float>(loop->RightPos() / 100.0));
    char expected[64];
    std::snprintf(expected, sizeof expected, "Loop end: %.2f sec", static_cast<double>(end));
    EXPECT_EQ(Label("PitchEnvelopeInfoLabel"), expected);
}

// "Delete Selected Point" never deletes the anchored first point; "Delete All Points" keeps only it. Both
// go through the plug-in.
TEST_F(EnvelopeEditingTest, EditMenuDeletesPointsButNotTheFirst) {
    form->SelectPage(2); // the LFO page
    SetPoints(record::kLfo2Envelope, {{0.0f, 0.2f}, {1.0f, 0.4f}, {2.0f, 0.6f}, {3.0f, 0.8f}});
    TDIBEnvelope& lfo = Envelope("Lfo2EnvelopeControl");
    ClickAt(PointCentre(lfo, 0));
    Choose("Lfo2EnvEditSelector", 0);
    EXPECT_EQ(Bank().PointCount(Slot(), record::kLfo2Envelope), 4);
    ClickAt(PointCentre(lfo, 2));
    Choose("Lfo2EnvEditSelector", 0);
    ExpectInStep(record::kLfo2Envelope, "Lfo2EnvelopeControl");
    EXPECT_FLOAT_EQ(Bank().PointTime(Slot(), record::kLfo2Envelope, 2), 3.0f);

    Choose("Lfo2EnvEditSelector", 1);
    ASSERT_EQ(Bank().PointCount(Slot(), record::kLfo2Envelope), 1);
    EXPECT_FLOAT_EQ(Bank().PointLevel(Slot(), record::kLfo2Envelope, 0), 0.2f);
    ExpectInStep(record::kLfo2Envelope, "Lfo2EnvelopeControl");
}

// A drag on a time line's background scrolls it within [visible width − 2019, 0], re-taking the grab at
// either end, and stores its left edge; a drag that starts on a point moves the point instead.
TEST_F(EnvelopeEditingTest, BackgroundDragScrollsTheTimeLineAndStoresIt) {
    form->SelectPage(kOscillatorPage);
    RefreshFromPlugin();
    Paint();
    TDIBControl& pitch = *form->Control("PitchEnvelopeContainer");
    const TRect mask = form->Control("PitchEnvDragMask")->WindowRect();
    const int lowest = mask.Width() - 2019;
    const int x = mask.left + 200;
    const int y = pitch.WindowRect().bottom - 5; // the scale under the envelope

    TMouseEvent event{x, y};
    form->MouseDown(event);
    event.x = x - 50;
    form->MouseMove(event);
    EXPECT_EQ(pitch.Bounds().left, -50);
    event.x = x - 5000;
    form->MouseMove(event);
    EXPECT_EQ(pitch.Bounds().left, lowest);
    event.x += 100; // from the end, the line follows the cursor at once
    form->MouseMove(event);
    EXPECT_EQ(pitch.Bounds().left, lowest + 100);
    form->MouseUp(event);
    EXPECT_EQ(StoredInt(12), lowest + 100);

    Drag(x, y, x + 5000, y);
    EXPECT_EQ(pitch.Bounds().left, 0);
    EXPECT_EQ(StoredInt(12), 0);

    const auto [px, py] = PointCentre(Envelope("PitchEnvelopeControl"), 0);
    Drag(px, py, px + 100, py + 5);
    EXPECT_EQ(pitch.Bounds().left, 0);
    // Between the loop handles is background too.
    Drag(x, pitch.WindowRect().top + 3, x - 30, pitch.WindowRect().top + 3);
    EXPECT_EQ(pitch.Bounds().left, -30);

    // The harmony time line scrolls the same way into its own slot.
    TDIBControl& harmony = *form->Control("HarmoniHandleContainer");
    const int hy = harmony.WindowRect().bottom - 4;
    Drag(x, hy, x - 5000, hy);
    EXPECT_EQ(harmony.Bounds().left, form->Control("HarmonyEnvDragMask")->Width() - 2019);
    EXPECT_EQ(StoredInt(4), harmony.Bounds().left);
    EXPECT_EQ(StoredInt(12), -30);
}

// The analysis runs on a thread of its own: idle calls and refreshes go on while the busy picture shows,
// and the end puts the harmony into the program it was started for (another may be current by then) and
// asks for a refresh. The checked mode is the analyser's.
TEST_F(EnvelopeEditingTest, AnalysisRunsBesideTheIdleCallsAndFillsTheProgram) {
    const std::string sine = dir / "sine.wav";
    WriteFile(sine, Pcm16Wave(Tone(440.0, 2.0, {0.4}), 1));
    const int slot = Slot();
    form->AnalyzeAudioFile(sine);
    form->AnalyzeAudioFile(dir / "missing.wav"); // ignored while one runs
    plugin->setProgram(3);
    Process();
    RefreshFromPlugin();
    EXPECT_TRUE(form->Control("AnalyzingNowImage")->Visible());
    EXPECT_GE(IdleUntilAnalysed(), 1);
    ASSERT_FALSE(form->AnalysisRunning());
    EXPECT_FALSE(form->Control("AnalyzingNowImage")->Visible());
    ASSERT_EQ(Bank().FrameCount(slot), 2);
    EXPECT_EQ(Bank().Level(slot, 0, 1), 12); // normalised to full scale
    EXPECT_EQ(Bank().FrameCount(3), 1);
    EXPECT_GE(plugin->PendingRefreshLevel(), 2);

    const std::string swapping = dir / "swapping.wav";
    WriteFile(swapping, FloatWave(Swapping(20), 1));
    form->SelectPage(kOscillatorPage);
    Choose("AnalyzerSelector", 2); // "Dynamic Mode"
    form->AnalyzeAudioFile(swapping);
    IdleUntilAnalysed();
    const int dynamic = Bank().FrameCount(Slot());
    Choose("AnalyzerSelector", 4); // "Soft Mode"
    form->AnalyzeAudioFile(swapping);
    IdleUntilAnalysed();
    EXPECT_GT(dynamic, Bank().FrameCount(Slot()));
    EXPECT_TRUE(prompt->messages.empty());
}

// Failures show the plug-in's messages and leave the program; closing the editor while an analysis runs
// stops it and drops its result.
TEST_F(EnvelopeEditingTest, FailedStoppedAndAbandonedAnalysesChangeNothing) {
    const std::string silence = dir / "silence.wav";
    WriteFile(silence, Pcm16Wave(std::vector<float>(40000, 0.0f), 1));
    form->AnalyzeAudioFile(silence);
    IdleUntilAnalysed();
    form->AnalyzeAudioFile(dir / "missing.wav");
    IdleUntilAnalysed();
    ASSERT_EQ(prompt->messages.size(), 2u);
    EXPECT_EQ(prompt->messages[0], "Analyze failed. Refer to the manual for help.");
    EXPECT_NE(prompt->messages[1].find("missing.wav"), std::string::npos);
    EXPECT_FALSE(form->Control("AnalyzingNowImage")->Visible());

    const std::string longer = dir / "long.wav";
    WriteFile(longer, FloatWave(Swapping(250), 1)); // 20 s of change
    const std::atomic<bool> stop{true};
    const TWaveAnalysis stopped = AnalyzeWaveFile(longer, 1, &stop);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_TRUE(stopped.points.empty());

    const std::vector<std::uint8_t> before(Bank().RecordBytes(Slot()).begin(), Bank().RecordBytes(Slot()).end());
    form->AnalyzeAudioFile(longer);
    form.reset();
    EXPECT_TRUE(std::equal(before.begin(), before.end(), Bank().RecordBytes(Slot()).begin()));
    EXPECT_EQ(prompt->messages.size(), 2u);
}

// The learn buttons exclude each other and blink while on; the keyboard plays notes 40 to 91 and stops
// on release; a click on a scope steps its LFO's waveform and shows one cycle of it.
TEST_F(EnvelopeEditingTest, LearnButtonsBlinkKeyboardPlaysAndScopesStep) {
    const auto* learn = form->ControlAs<TBADIBButton>("MidiLearnButton");
    const auto* unlearn = form->ControlAs<TBADIBButton>("MidiUnLearnButton");
    Click("MidiLearnButton");
    EXPECT_EQ(plugin->MidiHandler().LearnMode(), TMidiHandler::kLearnBind);
    const bool lit = learn->BlinkLit();
    form->AdvanceClock(TBADIBButton::kBlinkIntervalMs);
    EXPECT_NE(learn->BlinkLit(), lit);
    Click("MidiUnLearnButton");
    EXPECT_FALSE(learn->Active());
    EXPECT_TRUE(unlearn->Active());
    EXPECT_TRUE(unlearn->BlinkTimerRunning());
    EXPECT_EQ(plugin->MidiHandler().LearnMode(), TMidiHandler::kLearnForget);
    Click("MidiUnLearnButton");
    EXPECT_EQ(plugin->MidiHandler().LearnMode(), TMidiHandler::kLearnOff);

    const TRect keyboard = form->Control("KeyboardControl")->WindowRect();
    const TRect key = TBADIBQuillonKeyboard::Keys()[51].rect.Translated(keyboard.left, keyboard.top);
    form->MouseDown(TMouseEvent{key.left + 2, key.bottom - 2});
    EXPECT_EQ(plugin->MidiHandler().EditorNote(), 91);
    form->MouseUp(TMouseEvent{key.left + 2, key.bottom - 2});
    EXPECT_EQ(plugin->MidiHandler().EditorNote(), -1);

    form->SelectPage(2);
    const int next = plugin->LfoWaveform(1) % 10 + 1;
    Click("Lfo2WaveformScope");
    EXPECT_EQ(plugin->LfoWaveform(1), next);
    EXPECT_EQ(form->ControlAs<TBADIBDropDownMenu>("Lfo2WaveformSelector")->MenuTag(), next);
    EXPECT_EQ(plugin->MidiHandler().LearnParameter(), 49);
    EXPECT_EQ(form->ControlAs<TDIBLineChart>("Lfo2WaveformScope")->PointCount(), 74);
}

} // namespace
} // namespace quillon::test
