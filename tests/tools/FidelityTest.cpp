// The measurements behind `quillon fidelity`, and the command itself on one synthetic note.
#include "FidelityMeasures.h"
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;
using namespace quillon::fidelity;

constexpr double kRate = 44100.0;

TAmplitudes FromDecibels(std::initializer_list<double> levels) {
    TAmplitudes amplitudes{};
    std::size_t k = 0;
    for (const double level : levels)
        amplitudes[k++] = 0.5 * std::pow(10.0, level / 20.0);
    return amplitudes;
}

std::vector<float> Steady(double fundamental, const TAmplitudes& amplitudes, double seconds) {
    const double centre = 0.0;
    return Resynthesis(kRate, fundamental, static_cast<std::int64_t>(seconds * kRate), std::span(&centre, 1),
                       std::span(&amplitudes, 1));
}

TEST(FidelityMeasuresTest, AKnownHarmonyIsMeasuredBackToItsLevelsAndMatchesItself) {
    // A weak harmonic right beside strong ones must not be lifted by the window's leakage.
    const TAmplitudes harmony = FromDecibels({0, -6, -20, -45, -3, -30, -100, -12});
    const std::vector<float> tone = Steady(NoteFrequency(40), harmony, 2.0);
    const std::vector<double> centres = HeldFrameCentres(tone, kRate);
    ASSERT_FALSE(centres.empty());
    const std::vector<TLevels> levels = LevelsAt(tone, kRate, NoteFrequency(40), centres);
    const TLevels expected = RelativeLevels(harmony);
    for (std::size_t k = 0; k < 8; ++k) {
        if (expected[k] <= kCountedFromDb) continue;
        EXPECT_NEAR(levels[centres.size() / 2][k], expected[k], 0.2) << k;
    }
    EXPECT_LT(ProfileError(levels, levels), 0.01);
}

TEST(FidelityMeasuresTest, ASineAndASawtoothAreFarApartWhicheverIsTheRecording) {
    const double fundamental = NoteFrequency(57);
    const std::vector<float> saw = Sawtooth(kRate, fundamental, static_cast<std::int64_t>(2 * kRate));
    const std::vector<float> sine = Steady(fundamental, FromDecibels({0}), 2.0);
    const std::vector<double> centres = HeldFrameCentres(saw, kRate);
    const std::vector<TLevels> sawLevels = LevelsAt(saw, kRate, fundamental, centres);
    const std::vector<TLevels> sineLevels = LevelsAt(sine, kRate, fundamental, centres);
    EXPECT_GT(ProfileError(sawLevels, sineLevels), 30.0);
    EXPECT_GT(ProfileError(sineLevels, sawLevels), 30.0); // harmonics made too loud count too
    const auto bias = HarmonicBias(sineLevels, sawLevels);
    EXPECT_NEAR(bias[0].value_or(99.0), 0.0, 0.1);
    // The sawtooth plays harmonic 2 (at -6 dB) where the sine has none (the floor).
    EXPECT_NEAR(bias[1].value_or(0.0), 20.0 * std::log10(0.5) - kFloorDb, 0.5);
}

TEST(FidelityMeasuresTest, TheFundamentalOfASlightlyDetunedNoteIsFound) {
    const double played = NoteFrequency(45) * std::pow(2.0, 23.0 / 1200.0);
    const std::vector<float> saw = Sawtooth(kRate, played, static_cast<std::int64_t>(2 * kRate));
    const std::vector<double> centres = HeldFrameCentres(saw, kRate);
    EXPECT_NEAR(Cents(RefineFundamental(saw, kRate, NoteFrequency(45), centres), played), 0.0, 1.5);
}

TEST(FidelityMeasuresTest, TheHeldPartIsTheMiddleOfTheNoteNotTheSilenceAroundIt) {
    std::vector<float> note(static_cast<std::size_t>(0.5 * kRate), 0.0f);
    const std::vector<float> tone = Steady(NoteFrequency(60), FromDecibels({0, -6}), 2.0);
    note.insert(note.end(), tone.begin(), tone.end());
    note.resize(note.size() + static_cast<std::size_t>(1.0 * kRate), 0.0f);
    const std::vector<double> centres = HeldFrameCentres(note, kRate);
    ASSERT_GE(centres.size(), 19u);
    EXPECT_NEAR(centres.front() / kRate, 1.0, 0.02);
    EXPECT_LE(centres.back() / kRate, 2.0 + 1e-9);
    EXPECT_NEAR((centres[1] - centres[0]) / kRate, kHopSeconds, 1e-9);
}

// The cells of the table row that starts with `first`; empty when there is none.
std::vector<std::string> Row(const std::string& table, const std::string& first) {
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("| " + first + " |", 0) != 0) continue;
        std::vector<std::string> cells;
        std::istringstream row(line.substr(1));
        for (std::string cell; std::getline(row, cell, '|');)
            cells.push_back(cell.substr(1, cell.size() - 2));
        return cells;
    }
    return {};
}

TEST(QuillonFidelityTest, ASteadySineIsAnalysedAndRenderedBackClosely) {
    TemporaryDirectory dir;
    const TToolRun made = RunTool({"fidelity", "--make-synthetic", dir.Path()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const TToolRun run = RunTool({"fidelity", dir / "synth_sine-57.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> cells = Row(run.out, "synth_sine");
    ASSERT_EQ(cells.size(), 12u) << run.out;
    EXPECT_EQ(cells[1], "57");
    EXPECT_LT(std::stod(cells[2]), 1.0) << run.out;  // the rendering
    EXPECT_GT(std::stod(cells[3]), 20.0) << run.out; // the sawtooth
    EXPECT_LT(std::stod(cells[4]), 1.0) << run.out;  // the resynthesis
    EXPECT_LT(std::stod(cells[5]), 1.0) << run.out;  // the round trip
    EXPECT_EQ(cells[7], "0") << run.out;             // no frame off pitch
    EXPECT_EQ(cells[8], "0") << run.out;             // none while the note is held
    EXPECT_EQ(cells[11], "no") << run.out;
    EXPECT_FALSE(Row(run.out, "**all**").empty()) << run.out;
}

TEST(QuillonFidelityTest, ARecordingWithoutANoteIsRefusedByName) {
    TemporaryDirectory dir;
    WriteFile(dir / "tone.wav", Pcm16Wave(std::vector<float>(4410, 0.0f), 1));
    const TToolRun run = RunTool({"fidelity", dir / "tone.wav"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("tone.wav: the name does not end in -NOTE"), std::string::npos) << run.err;
    EXPECT_EQ(RunTool({"fidelity", dir / "tone.wav", "--note", "128"}).exitCode, 1);
}

} // namespace
} // namespace quillon
