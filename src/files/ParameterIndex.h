// The indices of the 124 automatable parameters. They are the order of the values in the program record,
// so they are part of the stored format; names, mappings and defaults are the parameter table's (core).
#pragma once

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

} // namespace quillon
