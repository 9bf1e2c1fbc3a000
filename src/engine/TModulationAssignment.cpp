#include "engine/TModulationAssignment.h"
#include "engine/SampleRateRange.h"

#include <algorithm>
#include <cmath>

#include "engine/CurveValue.h"
#include "engine/DisplayFormat.h"

namespace quillon {

namespace {

constexpr std::size_t kMaximumLabelLength = 8;

// 0.05946, not 2^(1/12) − 1: the stored depth of a full vibrato.
constexpr std::array<TModulationAssignment::TargetInfo, TModulationAssignment::kTargetCount> kTargets{{
    {"Off", 0.0, 100.0, kCurveLinear, " %", 0.0, 0.0, kCurveLinear, 0.0},
    {"Pitch", -12.0, 12.0, kCurveLinear, " n", -1.0, 1.0, kCurveLinear, 0.0},
    {"Filter Cutoff", -100.0, 100.0, kCurveLinear, " %", -1.0, 1.0, kCurveLinear, 0.5},
    {"Amplitude", -100.0, 100.0, kCurveLinear, " %", -1.0, 1.0, kCurveLinear, 0.5},
    {"LFO1 Vibrato", 0.0, 100.0, kCurveLinear, " %", 0.0, 0.05946, kCurveLinear, 0.0},
    {"LFO1 Filter", 0.0, 100.0, kCurveLinear, " %", 0.0, 1.0, kCurveLinear, 0.0},
    {"LFO1 Tremolo", 0.0, 100.0, kCurveLinear, " %", 0.0, 1.0, kCurveLinear, 0.0},
    {"LFO2 Vibrato", 0.0, 100.0, kCurveLinear, " %", 0.0, 0.05946, kCurveLinear, 0.0},
    {"LFO2 Filter", 0.0, 100.0, kCurveLinear, " %", 0.0, 1.0, kCurveLinear, 0.0},
    {"LFO2 Tremolo", 0.0, 100.0, kCurveLinear, " %", 0.0, 1.0, kCurveLinear, 0.0},
}};

} // namespace

const std::array<TModulationAssignment::TargetInfo, TModulationAssignment::kTargetCount>&
TModulationAssignment::Targets() {
    return kTargets;
}

const TModulationAssignment::TargetInfo& TModulationAssignment::Target(int target) {
    return kTargets[static_cast<std::size_t>(ValidTarget(target) ? target : kTargetOff)];
}

int TModulationAssignment::DisplayRange(int target) {
    if (!ValidTarget(target)) return 0;
    const TargetInfo& info = Target(target);
    return static_cast<int>(std::nearbyint(info.displayMaximum - info.displayMinimum));
}

TModulationAssignment::TModulationAssignment(float sampleRate) {
    current_[kTargetAmplitude] = 1.0f; // the volume factor rests at 1
    goal_ = current_;
    SetSampleRate(sampleRate);
}

void TModulationAssignment::SetSampleRate(float sampleRate) {
    if (!UsableSampleRate(sampleRate)) return; // keep running at the previous rate
    // 30 ms; at least one sample so that a ramp always ends (and a step is always defined).
    const double length = std::nearbyint(static_cast<double>(sampleRate) * 0.03);
    rampLength_ = length >= 1.0 ? static_cast<int>(std::min(length, 1.0e9)) : 1;
}

void TModulationAssignment::SetSourceValue(int row, float value) {
    if (!ValidRow(row)) return;
    rowSource_[static_cast<std::size_t>(row)] = value;
    const int target = rowTarget_[static_cast<std::size_t>(row)].load(std::memory_order_relaxed);
    if (target != kTargetOff) UpdateGoal(target);
}

void TModulationAssignment::SetTarget(int row, int target) {
    if (!ValidRow(row) || !ValidTarget(target)) return;
    const auto r = static_cast<std::size_t>(row);
    const int old = rowTarget_[r].load(std::memory_order_relaxed);
    rowTarget_[r].store(target, std::memory_order_relaxed);
    SetAmount(row, rowKnob_[r]); // re-scales the amount for the new target and updates its goal
    UpdateGoal(old);
}

void TModulationAssignment::SetAmount(int row, float knob) {
    if (!ValidRow(row)) return;
    const auto r = static_cast<std::size_t>(row);
    rowKnob_[r] = knob;
    const int target = rowTarget_[r].load(std::memory_order_relaxed);
    const TargetInfo& info = Target(target);
    rowAmount_[r] = static_cast<float>(CurveValue(info.amountScaling, knob, info.amountMaximum, info.amountMinimum));
    UpdateGoal(target);
}

void TModulationAssignment::UpdateGoal(int target) {
    const auto t = static_cast<std::size_t>(target);
    float goal = 0.0f;
    if (target == kTargetAmplitude) {
        goal = 1.0f;
        for (std::size_t r = 0; r < kRowCount; ++r)
            if (rowTarget_[r].load(std::memory_order_relaxed) == target) goal *= rowSource_[r] * rowAmount_[r] + 1.0f;
    } else {
        for (std::size_t r = 0; r < kRowCount; ++r)
            if (rowTarget_[r].load(std::memory_order_relaxed) == target) goal += rowSource_[r] * rowAmount_[r];
    }
    goal_[t] = goal;
    rampCounter_[t] = rampLength_;
    step_[t] = (goal - current_[t]) / static_cast<float>(rampLength_);
}

void TModulationAssignment::Tick(int n) {
    n = std::max(n, 0);
    for (std::size_t t = 0; t < kTargetCount; ++t) {
        const int c = rampCounter_[t];
        if (c <= 0) continue;
        // The block that brings the counter to 1 or below lands exactly on the goal.
        if (c - n > 1)
            current_[t] += static_cast<float>(n) * step_[t];
        else
            current_[t] = goal_[t];
        rampCounter_[t] = c - n;
        changed_[t] = true;
    }
}

float TModulationAssignment::CurrentValue(int target) const {
    return ValidTarget(target) ? current_[static_cast<std::size_t>(target)] : 0.0f;
}

bool TModulationAssignment::TakeChanged(int target) {
    if (!ValidTarget(target)) return false;
    const auto t = static_cast<std::size_t>(target);
    const bool changed = changed_[t];
    changed_[t] = false;
    return changed;
}

int TModulationAssignment::RowTarget(int row) const {
    return ValidRow(row) ? rowTarget_[static_cast<std::size_t>(row)].load(std::memory_order_relaxed) : kTargetOff;
}

float TModulationAssignment::Goal(int target) const {
    return ValidTarget(target) ? goal_[static_cast<std::size_t>(target)] : 0.0f;
}

std::string TModulationAssignment::AmountLabel(int row, float knob) const {
    if (!ValidRow(row)) return {};
    const int target = rowTarget_[static_cast<std::size_t>(row)].load(std::memory_order_relaxed);
    const TargetInfo& info = Target(target);
    const double v = CurveValue(info.displayScaling, knob, info.displayMaximum, info.displayMinimum);
    return Truncate(Truncate(FormatFixedDisplay(v), kMaximumLabelLength) + info.unit, kMaximumLabelLength);
}

} // namespace quillon
