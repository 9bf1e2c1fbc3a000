#include "engine/TModulationAssignment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <string>
#include <thread>

namespace quillon {
namespace {

using M = TModulationAssignment;

TEST(TModulationAssignment, StartsAtRestWithA30MillisecondRamp) {
    M routing(44100.0f);
    EXPECT_EQ(routing.RampLength(), 1323);
    EXPECT_FLOAT_EQ(routing.CurrentValue(M::kTargetAmplitude), 1.0f);
    for (int t = 0; t < M::kTargetCount; ++t) {
        if (t != M::kTargetAmplitude) {
            EXPECT_EQ(routing.CurrentValue(t), 0.0f) << t;
        }
        EXPECT_FALSE(routing.TakeChanged(t)) << t;
    }
    routing.SetSampleRate(48000.0f);
    EXPECT_EQ(routing.RampLength(), 1440);
}

TEST(TModulationAssignment, GoalsSumRowsOrMultiplyThemForAmplitude) {
    M routing(44100.0f);
    // Filter cutoff: 1.0·1 + 0.5·(−1) = 0.5 (amount knob 1 → +1, knob 0 → −1).
    routing.SetTarget(M::kRowAftertouch, M::kTargetFilterCutoff);
    routing.SetTarget(M::kRowModWheel, M::kTargetFilterCutoff);
    routing.SetAmount(M::kRowAftertouch, 1.0f);
    routing.SetAmount(M::kRowModWheel, 0.0f);
    routing.SetSourceValue(M::kRowAftertouch, 1.0f);
    routing.SetSourceValue(M::kRowModWheel, 0.5f);
    // Amplitude: (1·(−1) + 1)·(1·0.5 + 1) = 0.
    routing.SetTarget(M::kRowBreath, M::kTargetAmplitude);
    routing.SetTarget(M::kRowExpression, M::kTargetAmplitude);
    routing.SetAmount(M::kRowBreath, 0.0f);
    routing.SetAmount(M::kRowExpression, 0.75f);
    routing.SetSourceValue(M::kRowBreath, 1.0f);
    routing.SetSourceValue(M::kRowExpression, 1.0f);

    routing.Tick(1323);
    EXPECT_FLOAT_EQ(routing.CurrentValue(M::kTargetFilterCutoff), 0.5f);
    EXPECT_FLOAT_EQ(routing.CurrentValue(M::kTargetAmplitude), 0.0f);
    EXPECT_TRUE(routing.TakeChanged(M::kTargetFilterCutoff));
    EXPECT_FALSE(routing.TakeChanged(M::kTargetFilterCutoff)); // the flag is consumed
    EXPECT_FALSE(routing.TakeChanged(M::kTargetPitch));        // no row there

    // The amount follows the target's range: a full knob on vibrato is the stored 0.05946.
    routing.SetTarget(M::kRowSoftPedal, M::kTargetLfo1Vibrato);
    routing.SetAmount(M::kRowSoftPedal, 1.0f);
    routing.SetSourceValue(M::kRowSoftPedal, 1.0f);
    routing.Tick(1323);
    EXPECT_FLOAT_EQ(routing.CurrentValue(M::kTargetLfo1Vibrato), 0.05946f);
}

TEST(TModulationAssignment, RampLandsOnItsGoalInTheThirdBlockOf441) {
    M routing(44100.0f);
    routing.SetTarget(M::kRowPitchBend, M::kTargetPitch);
    routing.SetAmount(M::kRowPitchBend, 1.0f);
    routing.SetSourceValue(M::kRowPitchBend, 0.9f);
    const float step = 0.9f / 1323.0f;

    routing.Tick(441);
    EXPECT_NEAR(routing.CurrentValue(M::kTargetPitch), 441 * step, 1e-6);
    EXPECT_TRUE(routing.TakeChanged(M::kTargetPitch));
    routing.Tick(441);
    EXPECT_NEAR(routing.CurrentValue(M::kTargetPitch), 882 * step, 1e-6);
    EXPECT_TRUE(routing.TakeChanged(M::kTargetPitch));
    routing.Tick(441);
    EXPECT_EQ(routing.CurrentValue(M::kTargetPitch), 0.9f);
    EXPECT_TRUE(routing.TakeChanged(M::kTargetPitch));
    routing.Tick(441); // the ramp is over
    EXPECT_FALSE(routing.TakeChanged(M::kTargetPitch));
    EXPECT_EQ(routing.CurrentValue(M::kTargetPitch), 0.9f);
}

TEST(TModulationAssignment, RetargetingMovesTheRowAndReleasesTheOldTarget) {
    M routing(44100.0f);
    routing.SetTarget(M::kRowModWheel, M::kTargetFilterCutoff);
    routing.SetAmount(M::kRowModWheel, 1.0f);
    routing.SetSourceValue(M::kRowModWheel, 0.8f);
    routing.Tick(1323);
    ASSERT_FLOAT_EQ(routing.CurrentValue(M::kTargetFilterCutoff), 0.8f);

    routing.SetTarget(M::kRowModWheel, M::kTargetLfo1Filter);
    routing.Tick(661);
    EXPECT_NEAR(routing.CurrentValue(M::kTargetFilterCutoff), 0.4f, 0.001f); // halfway back after 15 ms
    routing.Tick(662);
    EXPECT_EQ(routing.CurrentValue(M::kTargetFilterCutoff), 0.0f);
    EXPECT_FLOAT_EQ(routing.CurrentValue(M::kTargetLfo1Filter), 0.8f); // knob 1 re-scaled to 0 … 1

    // A source on a row aimed at "Off" moves nothing.
    routing.TakeChanged(M::kTargetOff);
    routing.SetSourceValue(M::kRowAftertouch, 1.0f);
    routing.Tick(1323);
    EXPECT_FALSE(routing.TakeChanged(M::kTargetOff));
}

TEST(TModulationAssignment, AmountLabelsAndRanges) {
    M routing(44100.0f);
    routing.SetTarget(0, M::kTargetPitch);
    routing.SetTarget(1, M::kTargetFilterCutoff);
    routing.SetTarget(2, M::kTargetLfo1Vibrato);
    routing.SetTarget(3, M::kTargetLfo1Filter);
    EXPECT_EQ(routing.AmountLabel(0, 1.0f), "12.0 n");
    EXPECT_EQ(routing.AmountLabel(0, 0.0f), "-12.0 n");
    EXPECT_EQ(routing.AmountLabel(1, 0.0f), "-100 %");
    EXPECT_EQ(routing.AmountLabel(2, 0.25f), "25.0 %");
    EXPECT_EQ(routing.AmountLabel(3, 0.05f), "5.00 %");
    EXPECT_EQ(routing.AmountLabel(4, 1.0f), "100 %"); // row on "Off": 0 … 100

    EXPECT_EQ(M::DisplayRange(M::kTargetOff), 100);
    EXPECT_EQ(M::DisplayRange(M::kTargetPitch), 24);
    EXPECT_EQ(M::DisplayRange(M::kTargetAmplitude), 200);
    EXPECT_STREQ(M::Target(M::kTargetLfo2Tremolo).caption, "LFO2 Tremolo");
    EXPECT_DOUBLE_EQ(M::Target(M::kTargetFilterCutoff).editorDefault, 0.5);
}

TEST(TModulationAssignment, OutOfRangeRowsAndTargetsAreIgnored) {
    M routing(44100.0f);
    routing.SetTarget(-1, 2);
    routing.SetTarget(6, 2);
    routing.SetTarget(0, 10);
    routing.SetTarget(0, -1);
    routing.SetAmount(6, 1.0f);
    routing.SetSourceValue(-3, 1.0f);
    EXPECT_EQ(routing.RowTarget(0), M::kTargetOff);
    EXPECT_EQ(routing.AmountLabel(6, 1.0f), "");
    EXPECT_EQ(routing.CurrentValue(10), 0.0f);
    EXPECT_FALSE(routing.TakeChanged(-1));
    EXPECT_EQ(M::DisplayRange(10), 0);
    EXPECT_STREQ(M::Target(42).caption, "Off");
}

TEST(TModulationAssignment, LabelsKeepTheDecimalPointUnderACommaLocale) {
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"};
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool comma = false;
    for (const char* name : candidates)
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            comma = true;
            break;
        }
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed";
    M routing(44100.0f);
    routing.SetTarget(0, M::kTargetLfo1Filter);
    const std::string label = routing.AmountLabel(0, 0.05f);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(label, "5.00 %");
}

// The GUI thread formats amount labels while the audio thread re-targets rows (meaningful under TSan).
TEST(TModulationAssignment, AmountLabelMayRunBesideRetargeting) {
    M routing(44100.0f);
    std::atomic<bool> stop{false};
    std::thread gui([&] {
        while (!stop.load(std::memory_order_relaxed))
            for (int row = 0; row < M::kRowCount; ++row)
                ASSERT_FALSE(routing.AmountLabel(row, 0.5f).empty());
    });
    for (int i = 0; i < 20000; ++i) {
        routing.SetTarget(i % M::kRowCount, i % M::kTargetCount);
        routing.Tick(16);
    }
    stop.store(true);
    gui.join();
}

} // namespace
} // namespace quillon
