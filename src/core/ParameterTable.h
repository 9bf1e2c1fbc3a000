// The 124 automatable parameters: the shared vocabulary of host automation, the editor's controls,
// MIDI learn and the program record. Each has a name and label as the host receives them, a display
// mapping (the number shown to the user), an engine mapping (the number the engine receives), a default
// for fresh programs, and a flag telling whether changes glide over 100 ms.
#pragma once

#include <string>

namespace quillon {

// Parameter indices, in record order.
enum ParameterIndex : int {
    kOscillators = 0, kDetune, kOscSync, kPortaEnable, kPortaTime, kHarmonyLoopEnable, kHarmonyStretchEnable,
    kPitchEnvAmount, kPitchRelTime, kPitchRelLevel, kPitchLoopEnable, kPitchStretchEnable,
    kNoiseType, kFilterEnable, kFilterType, kCutoff, kResonance, kFilterDirect, kFilterEnvAmount, kKeyTrack,
    kFilterRelTime, kFilterRelLevel, kFilterLoopEnable, kFilterStretchEnable,
    kOscLevel, kNoiseLevel, kMasterLevel, kPan, kKeySpread, kNoteWeight,
    kAmpRelTime, kAmpHold2Time, kAmpLoopEnable, kAmpStretchEnable,
    kLfo1Enable, kLfo1Waveform, kLfo1Rate, kLfo1Sync, kLfo1HoldEnable, kLfo1HoldRate, kLfo1Vibrato, kLfo1Filter,
    kLfo1Tremolo, kLfo1EnvEnable, kLfo1RelTime, kLfo1RelLevel, kLfo1LoopEnable, kLfo1StretchEnable,
    kLfo2Enable, kLfo2Waveform, kLfo2Rate, kLfo2Sync, kLfo2HoldEnable, kLfo2HoldRate, kLfo2Vibrato, kLfo2Filter,
    kLfo2Tremolo, kLfo2EnvEnable, kLfo2RelTime, kLfo2RelLevel, kLfo2LoopEnable, kLfo2StretchEnable,
    kPitchBendTarget, kPitchBendAmount, kAftertouchTarget, kAftertouchAmount, kModWheelTarget, kModWheelAmount,
    kBreathTarget, kBreathAmount, kExpressionTarget, kExpressionAmount, kSoftPedalTarget, kSoftPedalAmount,
    kVelocityGain, kVelocityFilter,
    kChorusEnable, kChorusDelay, kChorusRate, kChorusSync, kChorusDepth, kChorusSpread, kChorusFeedback, kChorusLevel,
    kPhaserEnable, kPhaserManual, kPhaserRate, kPhaserSync, kPhaserDepth, kPhaserSpread, kPhaserFeedback,
    kPhaserLevel,
    kDelayEnable, kDelayTime, kDelaySync, kDelayFeedback, kDelayPingPong, kDelayLowCut, kDelayHighCut, kDelayLevel,
    kReverbEnable, kReverbSize, kReverbDamping, kReverbHighDamp, kReverbLowCut, kReverbLevel,
    kVoices, kTune, kMidiChannel, kRangeLow, kRangeHigh, kTransposeNotes, kTransposeOctaves, kKeyAssign, kOverlap,
    kStretchOrigin, kKeyStretch, kVelocityStretch,
    kReserved1, kReserved2, kReserved3, kReserved4, kReserved5, kReserved6,
    kParameterCount
};
static_assert(kParameterCount == 124 && kVoices == 106 && kPitchBendTarget == 62 && kReverbLevel == 105);

struct ParameterSpec {
    const char* name;  // as the host receives it (copied with at most 8 characters)
    const char* label; // unit text
    double displayMin, displayMax;
    int displayCurve;  // CurveCode
    double engineMin, engineMax;
    int engineCurve;   // CurveCode
    float defaultValue; // normalised 0..1
    bool ramp;          // glides over the ramp length when true, else acts at the next sub-block
};

class ParameterTable {
public:
    static constexpr int kMaxTextLength = 8;

    static bool Valid(int index) { return index >= 0 && index < kParameterCount; }
    // The table row; index must be valid.
    static const ParameterSpec& Spec(int index);
    // Value shown to the user for a stored value x (0..1).
    static double DisplayValue(int index, float x);
    // Value the engine receives for a stored value x (0..1).
    static double EngineValue(int index, float x);
    // Plain display text of a stored value (the number alone, at most 8 characters).
    static std::string DisplayText(int index, float x);
    // Name and label, at most 8 characters each.
    static std::string Name(int index);
    static std::string Label(int index);
};

} // namespace quillon
