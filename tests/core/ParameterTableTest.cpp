#include "core/ParameterTable.h"
#include "engine/CurveValue.h"
#include "engine/DisplayFormat.h"
#include "engine/TModulationAssignment.h"
#include "midi/TMidiHandler.h"
#include "support/PluginFixture.h"
#include "support/SoundMeasures.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

using namespace quillon;
using namespace vst2;

namespace {

class ParameterBehaviour : public test::TPluginFixture {
protected:
    // A fresh plug-in at `rate` whose current program sounds a sine (a fresh program has no harmonics).
    void CreateAt(float rate) {
        Create();
        Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        plugin->Programs().SetLevel(plugin->CurrentProgram(), 0, 1, 0);
        ProcessUntilSwitched();
    }
    // Processes `milliseconds` in blocks of one millisecond; `left` holds the last block.
    void ProcessFor(int milliseconds, float rate) {
        for (int i = 0; i < milliseconds; ++i)
            Process(static_cast<int>(rate / 1000.0f));
    }
};

} // namespace

TEST_F(ParameterBehaviour, FreshProgramReachesTheEngineWithItsDefaults) {
    CreateAt(44100.0f);
    EXPECT_EQ(plugin->VoiceCount(), 32);
    // Pitch bend moves the pitch by up to 2 semitones; the modulation wheel drives LFO 1's vibrato.
    EXPECT_EQ(plugin->Routing().RowTarget(1), TModulationAssignment::kTargetPitch);
    EXPECT_EQ(plugin->Routing().RowTarget(2), TModulationAssignment::kTargetLfo1Vibrato);
    Send({test::Midi(0, 0x90, 69, 100)});
    ProcessFor(300, 44100.0f);
    Process(8192);
    EXPECT_NEAR(test::ZeroCrossingPitch(left, 44100.0), 440.0, 0.5); // tuned to the note, no vibrato
    Send({test::Midi(0, 0xE0, 0x7F, 0x7F)});
    ProcessFor(100, 44100.0f);
    Process(8192);
    EXPECT_NEAR(test::ZeroCrossingPitch(left, 44100.0), 440.0 * std::exp2(2.0 / 12.0), 1.0);
    // Every note 0 … 127 is accepted.
    for (const int note : {0, 127}) {
        plugin->MidiHandler().Reset();
        ProcessFor(50, 44100.0f);
        Send({test::Midi(0, 0x90, note, 100)});
        ProcessFor(50, 44100.0f);
        EXPECT_GT(test::Rms(left), 1e-3) << note;
    }
}

// Continuous parameters glide to a new value over 100 ms at any rate, switches and counts act at the next
// block; the delay switch glides so that switching it mutes no echo abruptly.
TEST_F(ParameterBehaviour, RampedParametersGlideOverATenthOfASecondAndOthersJump) {
    const std::vector<std::pair<int, bool>> cases = {{kMasterLevel, true}, {kCutoff, true},    {kDelayEnable, true},
                                                     {kTune, true},        {kVoices, false},   {kChorusEnable, false},
                                                     {kLfo1Rate, false},   {kNoiseType, false}};
    for (const float rate : {44100.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        CreateAt(rate);
        std::vector<float> from;
        for (const auto& [index, glides] : cases) {
            from.push_back(plugin->ParamCurrent(index));
            effect->setParameter(effect, index, effect->getParameter(effect, index) < 0.5f ? 1.0f : 0.0f);
        }
        ProcessFor(1, rate);
        EXPECT_EQ(plugin->VoiceCount(), 256);
        ProcessFor(49, rate);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const auto [index, glides] = cases[i];
            const float to = plugin->ParamTarget(index);
            ASSERT_NE(to, from[i]) << index;
            const double done = (plugin->ParamCurrent(index) - from[i]) / (to - from[i]);
            if (glides)
                EXPECT_NEAR(done, 0.5, 0.02) << index;
            else
                EXPECT_EQ(done, 1.0) << index;
        }
        ProcessFor(52, rate);
        for (const auto& [index, glides] : cases)
            EXPECT_EQ(plugin->ParamCurrent(index), plugin->ParamTarget(index)) << index;
    }
}

TEST_F(ParameterBehaviour, MasterLevelSwellsWithoutAStep) {
    // The held note's level in 10 ms windows after the master level goes from 0.5 to 1 (a gain of 0.5 → 4),
    // against the same note left alone.
    const auto windows = [this](bool change) {
        CreateAt(44100.0f);
        Send({test::Midi(0, 0x90, 69, 100)});
        ProcessFor(300, 44100.0f);
        if (change) effect->setParameter(effect, kMasterLevel, 1.0f);
        std::vector<double> levels;
        for (int window = 0; window < 12; ++window)
            levels.push_back(test::Rms(RenderLeft(441)));
        return levels;
    };
    const std::vector<double> steady = windows(false), swell = windows(true);
    double previous = 1.0;
    for (std::size_t i = 0; i < steady.size(); ++i) {
        ASSERT_GT(steady[i], 1e-3);
        const double gain = swell[i] / steady[i];
        if (i < 10) {
            EXPECT_GT(gain, previous + 0.3) << "window " << i;
            EXPECT_LT(gain, 7.9) << "window " << i;
        } else {
            EXPECT_NEAR(gain, 8.0, 0.01) << "window " << i;
        }
        previous = gain;
    }
}

TEST(CurveValue, AllFiveCurvesAndUnknownCodes) {
    EXPECT_DOUBLE_EQ(CurveValue(kCurveLinear, 0.25, 8.0, 1.0), 2.75);
    EXPECT_NEAR(CurveValue(kCurveExponential, 0.5, 20.0, 0.02), 0.632456, 1e-6);
    EXPECT_NEAR(CurveValue(kCurveReversedExp, 0.0, 20.0, 0.02), 0.02, 1e-12);
    EXPECT_NEAR(CurveValue(kCurveReversedExp, 1.0, 20.0, 0.02), 20.0, 1e-12);
    EXPECT_DOUBLE_EQ(CurveValue(kCurveSwitch, 0.5, 1.0, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(CurveValue(kCurveSwitch, 0.49, 1.0, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(CurveValue(kCurveCubic, 0.5, 4.0, 0.0), 0.5);
    EXPECT_EQ(CurveValue(5, 0.5, 4.0, 1.0), 0.0);
    EXPECT_EQ(CurveValue(-1, 0.5, 4.0, 1.0), 0.0);
}

TEST(ParameterTable, EngineValues) {
    EXPECT_NEAR(ParameterTable::EngineValue(kVoices, 0.12f), 31.6, 1e-5);
    EXPECT_EQ(std::nearbyint(ParameterTable::EngineValue(kVoices, 0.12f)), 32.0);
    EXPECT_NEAR(ParameterTable::EngineValue(kTune, 0.0f), 0.971532, 1e-9);
    EXPECT_NEAR(ParameterTable::EngineValue(kTune, 1.0f), 1.0293, 1e-9);
    EXPECT_NEAR(ParameterTable::EngineValue(kNoteWeight, 0.5f), 1.0, 1e-9);
    EXPECT_NEAR(ParameterTable::EngineValue(kMasterLevel, 0.5f), 0.5, 1e-9);
    EXPECT_NEAR(ParameterTable::EngineValue(kLfo1Vibrato, 1.0f), 0.05946, 1e-9);
    EXPECT_EQ(ParameterTable::EngineValue(kParameterCount, 0.5f), 0.0);
}

TEST(ParameterTable, DisplayTexts) {
    EXPECT_EQ(ParameterTable::DisplayText(kCutoff, 0.5f), "0.63");
    EXPECT_EQ(ParameterTable::DisplayText(kCutoff, 1.0f), "20.0");
    EXPECT_EQ(ParameterTable::DisplayText(kReverbSize, 1.0f), "640");
    EXPECT_EQ(ParameterTable::DisplayText(kDelayLowCut, 0.3f), "64.7");
    EXPECT_EQ(ParameterTable::DisplayText(kPortaTime, 1.0f), "3000");
    EXPECT_EQ(ParameterTable::DisplayText(kNoteWeight, 0.0f), "-20.0");
    EXPECT_EQ(ParameterTable::DisplayText(kTune, 0.0f), "-50.0");
    EXPECT_EQ(ParameterTable::DisplayText(kTune, 0.5f), "0.00");
    EXPECT_EQ(ParameterTable::DisplayText(kVoices, 1.0f), "256");
    EXPECT_EQ(ParameterTable::DisplayText(kOscLevel, 1.0f), "100");
    EXPECT_EQ(ParameterTable::DisplayText(kRangeHigh, 1.0f), "127");
}

TEST(DisplayFormat, RoundingSignsAndLimits) {
    EXPECT_EQ(FormatFixed(0.125, 2), "0.13"); // halves away from zero
    EXPECT_EQ(FormatFixed(-0.125, 2), "-0.13");
    EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");     // no "-0.00"
    EXPECT_EQ(FormatFixedDisplay(9.999), "10.00"); // decimals chosen from the value before rounding
    EXPECT_EQ(FormatFixedDisplay(99.99), "100.0");
    EXPECT_EQ(FormatFixedDisplay(-100.0), "-100");
    EXPECT_EQ(Truncate("123456789", 8), "12345678");
}

TEST(ParameterTable, NamesAndLabelsAreAtMostEightCharacters) {
    EXPECT_EQ(ParameterTable::Name(kFilterEnvAmount), "Intensit");
    EXPECT_EQ(ParameterTable::Name(kCutoff), "Cut-off");
    EXPECT_EQ(ParameterTable::Label(kReverbSize), "m2");
    EXPECT_EQ(ParameterTable::Label(kOscillators), "");
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_LE(ParameterTable::Name(i).size(), 8u) << i;
        EXPECT_LE(ParameterTable::Label(i).size(), 8u) << i;
        for (float x : {0.0f, 0.5f, 1.0f})
            EXPECT_LE(ParameterTable::DisplayText(i, x).size(), 8u) << i;
    }
    EXPECT_EQ(ParameterTable::Name(-1), "");
    EXPECT_EQ(ParameterTable::Name(kParameterCount), "");
}

TEST(ParameterTable, DisplayTextIgnoresTheProcessLocale) {
    const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8", "ru_RU.UTF-8"};
    const char* found = nullptr;
    for (const char* name : locales)
        if (std::setlocale(LC_ALL, name)) {
            found = name;
            break;
        }
    if (!found) GTEST_SKIP() << "no comma-decimal locale installed";
    ASSERT_EQ(std::strcmp(std::localeconv()->decimal_point, ","), 0);
    const std::string text = ParameterTable::DisplayText(kCutoff, 0.5f);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "0.63");
}
