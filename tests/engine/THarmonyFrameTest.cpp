#include "engine/THarmonyFrame.h"

#include "engine/NoteTable.h"
#include "engine/TFFTReal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kLength = THarmonyFrame::kTableLength;

// Amplitude of harmonic h in one cycle of a table (a direct single-bin transform).
double HarmonicAmplitude(const float* table, int h) {
    double c = 0.0, s = 0.0;
    for (int m = 0; m < kLength; ++m) {
        c += table[m] * std::cos(2.0 * kPi * h * m / kLength);
        s += table[m] * std::sin(2.0 * kPi * h * m / kLength);
    }
    return 2.0 * std::hypot(c, s) / kLength;
}

// The plain construction: for note n every one of the 2048 harmonics enters the transform with its part
// times the band gain, silent ones with their 1e-10 amplitude, and every note gets a table of its own.
std::vector<float> StraightforwardTable(const THarmonyFrame& frame, int note, TFFTReal& fft) {
    const double f = NoteTable::Frequency(note);
    std::vector<float> work(kLength), table(kLength);
    for (int j = 0; j < 2048; ++j) {
        const double fj = j * f;
        float g = 1.0f;
        if (j == 0 || fj >= 22050.0)
            g = 0.0f;
        else if (fj > 20000.0)
            g = static_cast<float>(std::pow((22050.0 - fj) / 2050.0, 3.0));
        work[j] = frame.CosinePart(j) * g;
        work[2048 + j] = frame.SinePart(j) * g;
    }
    fft.InverseTransform(work.data(), table.data());
    return table;
}

TEST(HarmonyFrame, LevelsAndPhasesBecomeAmplitudesAndAngles) {
    THarmonyFrame frame;
    frame.SetLevelByte(1, 40); // −20 dB
    frame.SetPhaseByte(1, 128);
    EXPECT_NEAR(frame.SinePart(1), 0.1f, 1e-7f);
    EXPECT_NEAR(frame.CosinePart(1), 0.0f, 1e-7f);

    frame.SetLevelByte(2, 0);
    frame.SetPhaseByte(2, 192); // +π/2: all of it in the cosine part
    EXPECT_NEAR(frame.CosinePart(2), 1.0f, 1e-7f);
    EXPECT_NEAR(frame.SinePart(2), 0.0f, 1e-7f);

    frame.SetLevel(3, -12.0f); // negative levels count as full level
    EXPECT_NEAR(frame.SinePart(3), 1.0f, 1e-7f);

    for (float level : {255.0f, 300.0f, 1.0e20f}) {
        frame.SetLevel(4, level);
        EXPECT_FLOAT_EQ(frame.SinePart(4), 1.0e-10f) << level;
    }
    frame.SetLevelByte(4, 255);
    EXPECT_EQ(frame.Level(4), THarmonyFrame::kSilentLevel);
    EXPECT_EQ(frame.LevelByte(4), 255);

    // Levels read back rounded and limited; phases rounded.
    frame.SetLevel(5, -3.4f);
    EXPECT_EQ(frame.LevelByte(5), 0);
    frame.SetLevel(5, 17.5f); // ties to even
    EXPECT_EQ(frame.LevelByte(5), 18);
    frame.SetLevel(5, 16.5f);
    EXPECT_EQ(frame.LevelByte(5), 16);
    EXPECT_EQ(THarmonyFrame().PhaseByte(7), 128);
}

TEST(HarmonyFrame, GeneratorsGiveTheirLevelsAndPhases) {
    THarmonyFrame frame;
    frame.FillSaw(250);
    EXPECT_EQ(frame.LevelByte(1), 20); // 1/π = −9.94 dB
    EXPECT_EQ(frame.PhaseByte(1), 128);
    EXPECT_EQ(frame.LevelByte(10), 60); // 1/(10π) = −29.94 dB
    EXPECT_EQ(frame.LevelByte(0), 255); // DC untouched
    EXPECT_EQ(frame.LevelByte(251), 255);

    frame.FillPulse(250, 50.0f);
    EXPECT_EQ(frame.LevelByte(1), 8); // 2/π
    EXPECT_EQ(frame.PhaseByte(1), 192);
    EXPECT_EQ(frame.PhaseByte(3), 64); // sin(3π/2) < 0
    for (int k = 2; k <= 250; k += 2)
        ASSERT_EQ(frame.LevelByte(k), 255) << "even harmonic " << k << " of a square must be silent";

    frame.FillTriangle(250, 50.0f);
    EXPECT_EQ(frame.LevelByte(1), 16); // 4/π²
    EXPECT_EQ(frame.PhaseByte(1), 128);
    EXPECT_EQ(frame.LevelByte(2), 255);
    EXPECT_EQ(frame.PhaseByte(3), 0); // −4/(9π²)
    frame.FillTriangle(250, 100.0f);  // no such triangle: the frame stays as it was
    EXPECT_EQ(frame.LevelByte(1), 16);

    frame.ClearHarmonics(250);
    for (int k = 0; k <= 250; ++k)
        ASSERT_EQ(frame.LevelByte(k), 255);

    std::mt19937 random(7);
    frame.FillRandom(250, random);
    int sounding = 0;
    for (int k = 1; k <= 250; ++k) {
        // |a| ≤ 1/k: never louder than the harmonic's position allows.
        ASSERT_GE(frame.Level(k), std::floor(40.0 * std::log10(k))) << k;
        sounding += frame.LevelByte(k) < 255;
    }
    EXPECT_GT(sounding, 240);

    // Tilt: harmonic k loses amount·ln k; harmonic 1 keeps its level; silent stays silent.
    THarmonyFrame tilt;
    for (int k = 1; k <= 3; ++k)
        tilt.SetLevelByte(k, 100);
    tilt.TiltHarmonics(4, 10.0f);
    EXPECT_FLOAT_EQ(tilt.Level(1), 100.0f);
    EXPECT_NEAR(tilt.Level(3), 100.0f - 10.0f * std::log(3.0f), 1e-4);
    EXPECT_EQ(tilt.LevelByte(4), 255);
}

TEST(HarmonyFrame, SawtoothTablesSoundLikeASawtooth) {
    TFFTReal fft(kLength);
    THarmonyFrame frame;
    frame.FillSaw(250);
    const auto tables = frame.BuildTables(fft);
    const float* t = tables->Table(30); // 46 Hz: all 250 harmonics kept
    // Σ 2/(kπ)·sin(kθ) = (π − θ)/π on (0, 2π): a falling ramp from 1 to −1, within the 0.5 dB level steps.
    for (int m : {512, 1024, 2048, 3072, 3584})
        EXPECT_NEAR(t[m], (kPi - 2.0 * kPi * m / kLength) / kPi, 0.03) << m;
}

TEST(HarmonyFrame, HarmonicOneAloneIsTwiceASine) {
    TFFTReal fft(kLength);
    THarmonyFrame frame;
    frame.SetLevelByte(1, 0);
    frame.SetPhaseByte(1, 128);
    const auto tables = frame.BuildTables(fft);
    for (int note : {0, 60, 127}) {
        const float* t = tables->Table(note);
        double worst = 0.0;
        for (int m = 0; m < kLength; ++m)
            worst = std::max(worst, std::fabs(t[m] - 2.0 * std::sin(2.0 * kPi * m / kLength)));
        EXPECT_LT(worst, 2e-6) << "note " << note;
        // The wrapped guard samples around the cycle.
        EXPECT_EQ(t[-1], t[kLength - 1]);
        EXPECT_EQ(t[kLength], t[0]);
        EXPECT_EQ(t[kLength + 1], t[1]);
    }
    EXPECT_EQ(tables->DistinctCount(), 1); // harmonic 1 is below 20000 Hz for every note
}

TEST(HarmonyFrame, TablesAreBandLimitedPerNote) {
    TFFTReal fft(kLength);
    THarmonyFrame frame;
    for (int k = 1; k <= 250; ++k) {
        frame.SetLevelByte(k, 0);
        frame.SetPhaseByte(k, 128);
    }
    const auto tables = frame.BuildTables(fft);

    // Note 127 (12543.85 Hz) keeps harmonic 1 only.
    const float* top = tables->Table(127);
    EXPECT_NEAR(HarmonicAmplitude(top, 1), 2.0, 1e-4);
    EXPECT_LT(HarmonicAmplitude(top, 2), 1e-5);

    // Note 100 (2637.02 Hz): harmonic 7 (18459 Hz) full, harmonic 8 (21096 Hz) in the cubic fade,
    // harmonic 9 (23733 Hz) gone.
    const float* mid = tables->Table(100);
    const double fade = std::pow((22050.0 - 8 * NoteTable::Frequency(100)) / 2050.0, 3.0);
    EXPECT_NEAR(HarmonicAmplitude(mid, 7), 2.0, 1e-4);
    EXPECT_NEAR(HarmonicAmplitude(mid, 8), 2.0 * fade, 1e-4);
    EXPECT_LT(HarmonicAmplitude(mid, 9), 1e-5);

    // Harmonic 250 of note 39 (77.78 Hz) lies below 20000 Hz: notes 0 … 39 share one table, note 40 fades.
    EXPECT_EQ(tables->Table(0), tables->Table(39)); // one stored table serves both notes
    EXPECT_NE(tables->Table(39), tables->Table(40));
    EXPECT_NEAR(HarmonicAmplitude(tables->Table(39), 250), 2.0, 1e-3);
}

TEST(HarmonyFrame, DcNeverSounds) {
    TFFTReal fft(kLength);
    THarmonyFrame frame;
    frame.SetLevelByte(0, 0);
    frame.SetPhaseByte(0, 192); // the cosine part would be the DC value
    const auto tables = frame.BuildTables(fft);
    for (int note : {0, 64, 127})
        for (int m = 0; m < kLength; m += 97)
            ASSERT_EQ(tables->Table(note)[m], 0.0f);
}

// Shared tables equal the plain one-table-per-note construction to float rounding (the plain one also
// carries the 1e-10 amplitude of every silent harmonic), and cost what they should.
TEST(HarmonyFrame, SharedTablesEqualThePlainConstruction) {
    TFFTReal fft(kLength);
    std::mt19937 random(3);
    THarmonyFrame full, sparse;
    full.FillRandom(250, random);
    for (int k = 1; k <= 250; ++k)
        full.SetPhaseByte(k, static_cast<int>(random() % 256));
    for (int k : {1, 2, 3, 5, 8, 13})
        sparse.SetLevelByte(k, 3 * k);

    for (const THarmonyFrame* frame : {&full, &sparse}) {
        const auto tables = frame->BuildTables(fft);
        for (int note = 0; note < 128; ++note) {
            const auto plain = StraightforwardTable(*frame, note, fft);
            const float* shared = tables->Table(note);
            float worst = 0.0f;
            for (int m = 0; m < kLength; ++m)
                worst = std::max(worst, std::fabs(shared[m] - plain[static_cast<std::size_t>(m)]));
            ASSERT_LT(worst, 2e-6f) << "note " << note;
        }
    }

    // Full band: 2 MB in the plain layout, at most 1.5 MB shared; a sparse frame much less.
    THarmonyFrame allSounding;
    for (int k = 1; k <= 250; ++k)
        allSounding.SetLevelByte(k, k % 100);
    const auto fullTables = allSounding.BuildTables(fft);
    EXPECT_LE(fullTables->ByteSize() + sizeof(THarmonyFrame), 1500000u);
    const auto sparseTables = sparse.BuildTables(fft);
    EXPECT_LT(sparseTables->ByteSize(), fullTables->ByteSize() / 2);
    EXPECT_EQ(THarmonyFrame().BuildTables(fft)->DistinctCount(), 1); // silence: one table of zeros
}

} // namespace
} // namespace quillon
