#include "engine/THarmonyFrame.h"

#include "engine/NoteTable.h"
#include "engine/TFFTReal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillon {

namespace {

constexpr double kPi = 3.141592654;    // π as the harmonic formulas use it
constexpr double kLn10 = 2.302585093;  // ln 10 to ten digits
constexpr double kFadeStart = 20000.0; // Hz: harmonics above fade out …
constexpr double kBandLimit = 22050.0; // … and vanish from here on, whatever the sample rate
constexpr int kHalf = THarmonyFrame::kTableLength / 2;

bool Sounding(float level) {
    return level < 255.0f;
}

} // namespace

THarmonyFrame::THarmonyFrame() {
    Silence();
}

void THarmonyFrame::SetLevel(int j, float level) {
    if (j < 0 || j >= kHarmonicCount) return;
    levels_[static_cast<std::size_t>(j)] = level;
    UpdateParts(j);
}

void THarmonyFrame::SetPhase(int j, float phase) {
    if (j < 0 || j >= kHarmonicCount) return;
    phases_[static_cast<std::size_t>(j)] = phase;
    UpdateParts(j);
}

void THarmonyFrame::SetLevelByte(int j, int level) {
    SetLevel(j, level == 255 ? kSilentLevel : static_cast<float>(level));
}

void THarmonyFrame::SetPhaseByte(int j, int phase) {
    SetPhase(j, static_cast<float>(phase));
}

float THarmonyFrame::Level(int j) const {
    return j < 0 || j >= kHarmonicCount ? kSilentLevel : levels_[static_cast<std::size_t>(j)];
}

float THarmonyFrame::Phase(int j) const {
    return j < 0 || j >= kHarmonicCount ? 128.0f : phases_[static_cast<std::size_t>(j)];
}

int THarmonyFrame::LevelByte(int j) const {
    return static_cast<int>(std::clamp(std::nearbyint(Level(j)), 0.0f, 255.0f));
}

int THarmonyFrame::PhaseByte(int j) const {
    return static_cast<int>(std::nearbyint(Phase(j)));
}

float THarmonyFrame::CosinePart(int j) const {
    return j < 0 || j >= kHarmonicCount ? 0.0f : cosineParts_[static_cast<std::size_t>(j)];
}

float THarmonyFrame::SinePart(int j) const {
    return j < 0 || j >= kHarmonicCount ? 0.0f : sineParts_[static_cast<std::size_t>(j)];
}

void THarmonyFrame::UpdateParts(int j) {
    const auto i = static_cast<std::size_t>(j);
    const float level = levels_[i] < 0.0f ? 0.0f : levels_[i];
    const float amplitude = level >= 255.0f ? kSilentAmplitude : static_cast<float>(std::exp(-level * kLn10 * 0.025));
    const double phi = (phases_[i] - 128.0) / 128.0 * kPi;
    cosineParts_[i] = static_cast<float>(std::sin(phi) * amplitude);
    sineParts_[i] = static_cast<float>(std::cos(phi) * amplitude);
}

void THarmonyFrame::Silence() {
    ClearHarmonics(kHarmonicCount - 1);
}

bool THarmonyFrame::FillShape(int shape, int count, std::mt19937& random) {
    static constexpr float kPulseWidths[] = {50.0f, 6.0f, 12.0f, 25.0f};         // shapes 1, 3, 4, 5
    static constexpr float kTrianglePeaks[] = {50.0f, 3.0f, 6.0f, 12.0f, 25.0f}; // shapes 2, 6 … 9
    switch (shape) {
    case 0:
        FillSaw(count);
        return true;
    case 1:
        FillPulse(count, kPulseWidths[0]);
        return true;
    case 2:
        FillTriangle(count, kTrianglePeaks[0]);
        return true;
    case 3:
    case 4:
    case 5:
        FillPulse(count, kPulseWidths[shape - 2]);
        return true;
    case 6:
    case 7:
    case 8:
    case 9:
        FillTriangle(count, kTrianglePeaks[shape - 5]);
        return true;
    case 10:
        FillRandom(count, random);
        return true;
    default:
        return false;
    }
}

void THarmonyFrame::ClearHarmonics(int last) {
    last = std::min(last, kHarmonicCount - 1);
    for (int j = 0; j <= last; ++j) {
        levels_[static_cast<std::size_t>(j)] = kSilentLevel;
        phases_[static_cast<std::size_t>(j)] = 128.0f;
        UpdateParts(j);
    }
}

float THarmonyFrame::GeneratorLevel(double amplitude) {
    const double level = std::nearbyint(-40.0 * std::log10(std::fabs(amplitude) + 1e-20));
    return level <= 180.0 ? static_cast<float>(level) : 255.0f; // also for a NaN amplitude
}

namespace {
// Generator levels of 255 are stored as the silent level, as the byte setter does.
float StoredLevel(float generatorLevel) {
    return generatorLevel >= 255.0f ? THarmonyFrame::kSilentLevel : generatorLevel;
}
int LimitCount(int count) {
    return std::min(count, THarmonyFrame::kHarmonicCount - 1);
}
} // namespace

void THarmonyFrame::FillSaw(int count) {
    count = LimitCount(count);
    for (int k = 1; k <= count; ++k) {
        levels_[static_cast<std::size_t>(k)] = StoredLevel(GeneratorLevel(1.0 / (k * kPi)));
        phases_[static_cast<std::size_t>(k)] = 128.0f;
        UpdateParts(k);
    }
}

void THarmonyFrame::FillPulse(int count, float widthPercent) {
    count = LimitCount(count);
    const float width = widthPercent / 100.0f;
    for (int k = 1; k <= count; ++k) {
        const double a = 2.0 / (k * kPi) * std::sin(k * kPi * width);
        levels_[static_cast<std::size_t>(k)] = StoredLevel(GeneratorLevel(a));
        phases_[static_cast<std::size_t>(k)] = a >= 0.0 ? 192.0f : 64.0f;
        UpdateParts(k);
    }
}

void THarmonyFrame::FillTriangle(int count, float peakPercent) {
    if (!(peakPercent > 0.0f && peakPercent < 100.0f)) return; // the formula has no value at 0 and 100 %
    count = LimitCount(count);
    const double q = 100.0f / peakPercent;
    for (int k = 1; k <= count; ++k) {
        const double sign = (k % 2 == 1) ? 1.0 : -1.0;
        const double a = std::sin(k * (q - 1.0) * kPi / q) * q * q * sign / ((q - 1.0) * k * k * kPi * kPi);
        levels_[static_cast<std::size_t>(k)] = StoredLevel(GeneratorLevel(a));
        phases_[static_cast<std::size_t>(k)] = (a >= 0.0 || std::fabs(a) < 1e-10) ? 128.0f : 0.0f;
        UpdateParts(k);
    }
}

void THarmonyFrame::FillRandom(int count, std::mt19937& random) {
    count = LimitCount(count);
    for (int k = 1; k <= count; ++k) {
        const double r = static_cast<double>(random()) / 4294967296.0; // uniform in [0, 1)
        levels_[static_cast<std::size_t>(k)] = StoredLevel(GeneratorLevel((2.0 * r - 1.0) / k));
        phases_[static_cast<std::size_t>(k)] = 128.0f;
        UpdateParts(k);
    }
}

void THarmonyFrame::TiltHarmonics(int count, float amount) {
    count = LimitCount(count);
    for (int k = 1; k <= count; ++k) {
        levels_[static_cast<std::size_t>(k)] -= static_cast<float>(amount * std::log(static_cast<double>(k)));
        UpdateParts(k);
    }
}

float THarmonyFrame::BandGain(int j, double noteFrequency) {
    const double f = j * noteFrequency;
    if (j == 0 || f >= kBandLimit) return 0.0f;
    if (f > kFadeStart) {
        const double x = (kBandLimit - f) / 2050.0;
        return static_cast<float>(x * x * x);
    }
    return 1.0f;
}

std::unique_ptr<THarmonyFrame::Tables> THarmonyFrame::PlanTables() const {
    const auto& frequency = NoteTable::Frequencies();
    std::unique_ptr<Tables> tables(new Tables());
    int distinct = 0;
    for (int n = 0; n < kNoteCount; ++n) {
        bool same = n > 0;
        if (same) {
            // Gains below 1 for either note only occur between 20000 Hz at the higher note and 22050 Hz at
            // the lower one; elsewhere both notes give 1 or both give 0. One harmonic of margin each side.
            const double lower = frequency[static_cast<std::size_t>(n - 1)];
            const double upper = frequency[static_cast<std::size_t>(n)];
            const int first = std::max(1, static_cast<int>(kFadeStart / upper) - 1);
            const int last = std::min(kHarmonicCount - 1, static_cast<int>(kBandLimit / lower) + 1);
            for (int j = first; j <= last && same; ++j)
                if (Sounding(levels_[static_cast<std::size_t>(j)]) && BandGain(j, lower) != BandGain(j, upper))
                    same = false;
        }
        if (!same) {
            tables->firstNote_[static_cast<std::size_t>(distinct)] = static_cast<std::uint8_t>(n);
            ++distinct;
        }
        tables->offset_[static_cast<std::size_t>(n)] = static_cast<std::uint32_t>((distinct - 1) * Tables::kStride + 1);
    }
    tables->distinctCount_ = distinct;
    tables->data_ = std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(distinct) * Tables::kStride);
    return tables;
}

void THarmonyFrame::FillSpectrum(int note, float* work) const {
    std::fill(work, work + kTableLength, 0.0f);
    const double frequency = NoteTable::Frequency(note);
    const int last = std::min(kHarmonicCount - 1, static_cast<int>(kBandLimit / frequency) + 1);
    for (int j = 1; j <= last; ++j) {
        const auto i = static_cast<std::size_t>(j);
        if (!Sounding(levels_[i])) continue;
        const float gain = BandGain(j, frequency);
        work[j] = cosineParts_[i] * gain;
        work[kHalf + j] = sineParts_[i] * gain;
    }
}

void THarmonyFrame::FillTables(Tables& tables, int first, int step, TFFTReal& fft, float* work) const {
    for (int d = first; d < tables.distinctCount_; d += step) {
        const int note = tables.firstNote_[static_cast<std::size_t>(d)];
        float* table = tables.data_.get() + static_cast<std::size_t>(d) * Tables::kStride + 1;
        FillSpectrum(note, work);
        fft.InverseTransform(work, table);
        table[-1] = table[kTableLength - 1];
        table[kTableLength] = table[0];
        table[kTableLength + 1] = table[1];
        table[kTableLength + 2] = 0.0f;
    }
}

std::unique_ptr<THarmonyFrame::Tables> THarmonyFrame::BuildTables(TFFTReal& fft) const {
    auto tables = PlanTables();
    auto work = std::make_unique_for_overwrite<float[]>(kTableLength);
    FillTables(*tables, 0, 1, fft, work.get());
    return tables;
}

} // namespace quillon
