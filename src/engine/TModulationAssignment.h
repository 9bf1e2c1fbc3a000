// Routes six performance controllers (rows) to ten modulation targets. Each row has a source value, a target and
// an amount knob; the contributions of all rows aimed at one target are combined into a goal (a sum, or for the
// amplitude target a product of (1 + source·amount)), and the target's current value ramps linearly to its goal
// over 30 ms, advanced once per render block by Tick.
//
// Threads: AmountLabel, DisplayRange and the target table may be asked for at any time [any] (the host's GUI
// thread formats parameter texts while the audio thread re-targets rows), so the row targets they read are
// atomics. Everything else runs on the audio thread [audio]. Row and target arguments out of range are ignored.
#pragma once

#include <array>
#include <atomic>
#include <string>

namespace quillon {

class TModulationAssignment {
public:
    static constexpr int kRowCount = 6;
    static constexpr int kTargetCount = 10;

    // Rows: the controllers that feed them (7-bit values / 127, expression (value − 64)/64, bend −1 … 1).
    static constexpr int kRowAftertouch = 0;
    static constexpr int kRowPitchBend = 1;
    static constexpr int kRowModWheel = 2;
    static constexpr int kRowBreath = 3;
    static constexpr int kRowExpression = 4;
    static constexpr int kRowSoftPedal = 5;

    // Targets, as the render loop applies them.
    static constexpr int kTargetOff = 0;
    static constexpr int kTargetPitch = 1;        // octaves
    static constexpr int kTargetFilterCutoff = 2; // offset of the normalised cutoff
    static constexpr int kTargetAmplitude = 3;    // volume factor, 1 at rest
    static constexpr int kTargetLfo1Vibrato = 4;
    static constexpr int kTargetLfo1Filter = 5;
    static constexpr int kTargetLfo1Tremolo = 6;
    static constexpr int kTargetLfo2Vibrato = 7;
    static constexpr int kTargetLfo2Filter = 8;
    static constexpr int kTargetLfo2Tremolo = 9;

    // One row of the constant target table. Scalings are curve codes of CurveValue (all linear).
    struct TargetInfo {
        const char* caption; // menu caption
        double displayMinimum, displayMaximum;
        int displayScaling;
        const char* unit; // " n" or " %", appended to amount labels
        double amountMinimum, amountMaximum;
        int amountScaling;
        double editorDefault; // normalised knob
    };

    static const std::array<TargetInfo, kTargetCount>& Targets();
    // The table row of a target; out-of-range targets give the row of target 0 ("Off").
    static const TargetInfo& Target(int target);
    // round(display maximum − display minimum): 100, 24 or 200; 0 out of range.
    static int DisplayRange(int target);

    explicit TModulationAssignment(float sampleRate);

    void SetSampleRate(float sampleRate); // ramp length := round(fs·0.03) samples

    void SetSourceValue(int row, float value);
    void SetTarget(int row, int target);
    void SetAmount(int row, float knob); // 0 … 1, scaled to the target's amount range

    // Advances every running ramp by a block of n samples.
    void Tick(int n);

    float CurrentValue(int target) const;
    // Whether the target's value moved since the last call for it; clears the flag.
    bool TakeChanged(int target);

    int RowTarget(int row) const; // [any]
    float Goal(int target) const;
    int RampLength() const { return rampLength_; }

    // The knob in the display units of the row's target, e.g. "12.0 n", "-100 %", at most 8 characters [any].
    std::string AmountLabel(int row, float knob) const;

private:
    static bool ValidRow(int row) { return row >= 0 && row < kRowCount; }
    static bool ValidTarget(int target) { return target >= 0 && target < kTargetCount; }
    void UpdateGoal(int target);

    std::array<std::atomic<int>, kRowCount> rowTarget_{};
    std::array<float, kRowCount> rowSource_{};
    std::array<float, kRowCount> rowKnob_{};
    std::array<float, kRowCount> rowAmount_{};
    std::array<int, kTargetCount> rampCounter_{};
    int rampLength_ = 1;
    std::array<float, kTargetCount> current_{};
    std::array<float, kTargetCount> goal_{};
    std::array<float, kTargetCount> step_{};
    std::array<bool, kTargetCount> changed_{};
};

} // namespace quillon
