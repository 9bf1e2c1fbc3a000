#include "ProgramMeasures.h"

#include "ProgramDescription.h"
#include "core/ParameterTable.h"
#include "files/ParameterIndex.h"
#include "files/ProgramRecord.h"
#include "hostkit/TRecordRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

namespace quillon {

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;
constexpr std::uint8_t kVelocity = 100;
constexpr double kHoldSeconds = 2.0;
constexpr double kMaxSeconds = 15.0;
constexpr double kSilence = 3.1622776601683795e-5; // -90 dBFS
constexpr std::int64_t kTailFrames = kRate / 10;   // the last 100 ms
constexpr std::int64_t kChunkFrames = kRate / 2;
constexpr std::int64_t kBefore = kRate / 50;        // 20 ms before the note-off
constexpr std::int64_t kAfter = kRate / 200;        // 5 ms after it
constexpr std::int64_t kHeldFrom = kRate / 2;       // the held chord's level ratios from 0.5 s on
constexpr std::int64_t kOnsetFrames = kRate / 1000; // the first millisecond
constexpr std::uint8_t kChord[] = {60, 64, 67};
constexpr std::uint8_t kEightNotes[] = {48, 52, 55, 60, 64, 67, 71, 72};
constexpr double kCostSeconds = 4.0;
constexpr std::int64_t kWarmUpFrames = kRate / 10; // rendered before the timed part: the program switch settles

double Peak(const std::vector<float>& samples, std::int64_t from, std::int64_t to) {
    float peak = 0.0f;
    from = std::clamp<std::int64_t>(from, 0, static_cast<std::int64_t>(samples.size()));
    to = std::clamp<std::int64_t>(to, from, static_cast<std::int64_t>(samples.size()));
    for (std::int64_t i = from; i < to; ++i)
        peak = std::max(peak, std::fabs(samples[static_cast<std::size_t>(i)]));
    return peak;
}

double Rms(const std::vector<float>& left, const std::vector<float>& right, std::int64_t from, std::int64_t to) {
    double sum = 0.0;
    for (std::int64_t i = from; i < to; ++i) {
        const double l = left[static_cast<std::size_t>(i)];
        const double r = right[static_cast<std::size_t>(i)];
        sum += l * l + r * r;
    }
    return to > from ? std::sqrt(sum / (2.0 * static_cast<double>(to - from))) : 0.0;
}

double Decibels(double magnitude) {
    return 20.0 * std::log10(std::max(magnitude, 1e-12));
}

double Mean(const std::vector<float>& samples, std::int64_t from, std::int64_t to) {
    double sum = 0.0;
    for (std::int64_t i = from; i < to; ++i)
        sum += samples[static_cast<std::size_t>(i)];
    return to > from ? sum / static_cast<double>(to - from) : 0.0;
}

// CPU seconds of the whole process (every thread, the plug-in's workers among them): unlike the wall
// clock, not stretched by other programs on a busy machine.
double ProcessSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

float StoredParameter(std::span<const std::uint8_t> record, int index) {
    float value = 0.0f;
    std::memcpy(&value, record.data() + record::kParametersOffset + 4 * static_cast<std::size_t>(index), 4);
    return value;
}

} // namespace

std::optional<std::string> MeasureChord(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                        TChordMeasures& measures) {
    TRecordRenderer renderer;
    if (auto error = renderer.Start(pluginPath, record, kRate, kBlock)) return error;
    const auto off = static_cast<std::int64_t>(kHoldSeconds * kRate);
    std::vector<TRecordRenderer::TEvent> events;
    for (const std::uint8_t note : kChord) {
        events.push_back({0, 0x90, note, kVelocity});
        events.push_back({off, 0x80, note, 0});
    }
    std::vector<float> left, right;
    const auto most = static_cast<std::int64_t>(kMaxSeconds * kRate);
    if (auto error = renderer.Render(off + kChunkFrames, events, left, &right)) return error;
    const auto quietAtEnd = [&] {
        const auto n = static_cast<std::int64_t>(left.size());
        return std::max(Peak(left, n - kTailFrames, n), Peak(right, n - kTailFrames, n)) < kSilence;
    };
    while (!quietAtEnd() && renderer.Position() < most)
        if (auto error = renderer.Render(std::min(kChunkFrames, most - renderer.Position()), {}, left, &right))
            return error;
    renderer.Stop();

    const auto n = static_cast<std::int64_t>(left.size());
    const auto both = [&](std::int64_t from, std::int64_t to) {
        return std::max(Peak(left, from, to), Peak(right, from, to));
    };
    const double peak = both(0, n);
    measures.peakDb = Decibels(peak);
    const double master = ParameterTable::EngineValue(kMasterLevel, StoredParameter(record, kMasterLevel));
    const double wanted = master * std::pow(10.0, (-6.0 - measures.peakDb) / 20.0);
    const double knob = std::cbrt(wanted / ParameterTable::Spec(kMasterLevel).engineMax);
    measures.masLevelForMinus6 = ParameterTable::DisplayValue(kMasterLevel, static_cast<float>(knob));
    measures.dc = std::max(std::fabs(Mean(left, 0, off)), std::fabs(Mean(right, 0, off)));
    measures.onsetRatio = peak > 0.0 ? both(0, kOnsetFrames) / peak : 0.0;
    const auto ratio = [&](std::int64_t at) {
        const double before = Rms(left, right, at - kBefore, at);
        const double after = Rms(left, right, at, at + kAfter);
        return before > 0.0 ? after / before : (after > 0.0 ? 1e9 : 1.0);
    };
    measures.heldLow = 1e9;
    measures.heldHigh = 0.0;
    for (std::int64_t at = kHeldFrom; at + kAfter <= off; at += kAfter) {
        measures.heldLow = std::min(measures.heldLow, ratio(at));
        measures.heldHigh = std::max(measures.heldHigh, ratio(at));
    }
    measures.releaseBefore = peak > 0.0 ? Rms(left, right, off - kBefore, off) / peak : 0.0;
    measures.releaseRatio = ratio(off);
    measures.tailDb = Decibels(both(n - kTailFrames, n));
    measures.seconds = static_cast<double>(n) / kRate;
    return std::nullopt;
}

std::optional<std::string> EightNoteSeconds(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                            int runs, double& seconds) {
    seconds = 0.0;
    std::vector<TRecordRenderer::TEvent> events;
    for (const std::uint8_t note : kEightNotes)
        events.push_back({kWarmUpFrames, 0x90, note, kVelocity});
    const auto frames = static_cast<std::int64_t>(kCostSeconds * kRate);
    std::vector<float> left;
    left.reserve(static_cast<std::size_t>(frames + kWarmUpFrames));
    for (int run = 0; run < runs; ++run) {
        TRecordRenderer renderer;
        if (auto error = renderer.Start(pluginPath, record, kRate, kBlock)) return error;
        left.clear();
        if (auto error = renderer.Render(kWarmUpFrames, {}, left)) return error;
        const double start = ProcessSeconds();
        if (auto error = renderer.Render(frames, events, left)) return error;
        const double elapsed = ProcessSeconds() - start;
        seconds = run == 0 ? elapsed : std::min(seconds, elapsed);
    }
    return std::nullopt;
}

std::optional<std::string> CostRatio(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                     std::span<const std::uint8_t> reference, int runs, double& ratio) {
    double fastest = 0.0, fastestReference = 0.0;
    for (int run = 0; run < runs; ++run) {
        double seconds = 0.0, referenceSeconds = 0.0;
        if (auto error = EightNoteSeconds(pluginPath, reference, 1, referenceSeconds)) return error;
        if (auto error = EightNoteSeconds(pluginPath, record, 1, seconds)) return error;
        fastest = run == 0 ? seconds : std::min(fastest, seconds);
        fastestReference = run == 0 ? referenceSeconds : std::min(fastestReference, referenceSeconds);
    }
    ratio = fastestReference > 0.0 ? fastest / fastestReference : 0.0;
    return std::nullopt;
}

std::vector<std::uint8_t> ReferenceProgram() {
    TProgramDescription description;
    const auto error = CompileDescription("program \"REF Saw Chorus Reverb\"\n"
                                          "frame 0 saw\n"
                                          "set ChoruEna=on ReverEna=on\n",
                                          "reference", "", description);
    return error ? std::vector<std::uint8_t>() : description.programs.front().record;
}

} // namespace quillon
