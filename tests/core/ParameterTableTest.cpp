#include "core/ParameterTable.h"
#include "engine/CurveValue.h"
#include "engine/DisplayFormat.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>

using namespace quillon;

TEST(ParameterTable, DefaultsAreTheNearestFloats) {
    EXPECT_EQ(ParameterTable::Spec(kVoices).defaultValue, 0.12f);
    EXPECT_EQ(ParameterTable::Spec(kPitchBendAmount).defaultValue, 0.58333333f); // 7/12
    EXPECT_EQ(ParameterTable::Spec(kPitchBendTarget).defaultValue, 0.111f);
    EXPECT_EQ(ParameterTable::Spec(kModWheelTarget).defaultValue, 0.444f);
    EXPECT_EQ(ParameterTable::Spec(kStretchOrigin).defaultValue, 0.472f);
    EXPECT_EQ(ParameterTable::Spec(kRangeHigh).defaultValue, 1.0f);
    EXPECT_EQ(ParameterTable::Spec(kReserved6).defaultValue, 1.0f);
    EXPECT_EQ(ParameterTable::Spec(kReserved5).defaultValue, 0.0f);
}

TEST(ParameterTable, RampFlagsMatchTheirKind) {
    EXPECT_TRUE(ParameterTable::Spec(kDelayEnable).ramp); // the one switch that glides
    EXPECT_FALSE(ParameterTable::Spec(kChorusEnable).ramp);
    EXPECT_TRUE(ParameterTable::Spec(kMasterLevel).ramp);
    EXPECT_FALSE(ParameterTable::Spec(kVoices).ramp);
    EXPECT_FALSE(ParameterTable::Spec(kLfo1Rate).ramp);
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
    EXPECT_EQ(FormatFixed(-0.001, 2), "0.00"); // no "-0.00"
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
    if (!found)
        GTEST_SKIP() << "no comma-decimal locale installed";
    ASSERT_EQ(std::strcmp(std::localeconv()->decimal_point, ","), 0);
    const std::string text = ParameterTable::DisplayText(kCutoff, 0.5f);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "0.63");
}
