#include "core/ParameterTable.h"

#include "engine/CurveValue.h"
#include "engine/DisplayFormat.h"

namespace quillon {

namespace {

// name, label, display min, max, curve, engine min, max, curve, default, ramp — and what the engine does
// with the value. Defaults are the 32-bit floats nearest the decimals shown.
const ParameterSpec kTable[kParameterCount] = {
    {"Oscillat", "", 1.0, 8.0, kCurveLinear, 1.0, 8.0, kCurveLinear, 0.0f,
     false}, // 0: oscillator SetUnisonCount (rounded)
    {"Detune", "c", 0.0, 50.0, kCurveLinear, 1.0, 1.0293, kCurveExponential, 0.2f,
     true},                                                                        // 1: oscillator SetUnisonSpread
    {"OscSync", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false},  // 2: oscillator SetPhaseReset
    {"PortaEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 3: oscillator SetGlideEnabled
    {"PortaTme", "ms", 30.0, 3000.0, kCurveExponential, 0.03, 3.0, kCurveExponential, 0.0f,
     true}, // 4: oscillator SetGlideTime (seconds)
    {"HLoopEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f,
     false}, // 5: oscillator SetLoopEnabled (harmony-time loop)
    {"HTmStEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f,
     false}, // 6: time-stretch enable for the harmony (voice start)
    {"PEnvInt", "n", 0.0, 18.0, kCurveLinear, 0.0, 36.0, kCurveLinear, 0.0f,
     true}, // 7: pitch-envelope amount in semitones (render)
    {"PRelTm", "s", 0.02, 20.0, kCurveExponential, 0.02, 20.0, kCurveExponential, 0.25f,
     true},                                                                         // 8: pitch envelope: release time
    {"PRelLvl", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.5f, true}, // 9: pitch envelope: release level
    {"PLoopEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},  // 10: pitch envelope SetLoopEnabled
    {"PTmStEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f,
     false}, // 11: time-stretch enable for the pitch envelope (voice start)
    {"NoiseTyp", "", 1.0, 32.0, kCurveLinear, 1.0, 32.0, kCurveLinear, 0.0f,
     false}, // 12: noise generator SetNoiseType (rounded)
    {"FiltEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},    // 13: filter on/off (render)
    {"FiltType", "", 1.0, 32.0, kCurveLinear, 1.0, 32.0, kCurveLinear, 0.0f, false}, // 14: filter SetType (rounded)
    {"Cut-off", "kHz", 0.02, 20.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.5f,
     true},                                                                       // 15: filter: base cut-off (render)
    {"Reson", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true}, // 16: filter SetResonance
    {"Direct", "%", 0.0, 100.0, kCurveCubic, 0.0, 1.0, kCurveCubic, 0.0f, true},  // 17: filter dry gain
    {"Intensity", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f,
     true}, // 18: filter-envelope amount (render)
    {"KB track", "%", 0.0, 100.0, kCurveLinear, 0.0, 0.00836194, kCurveLinear, 0.5f,
     true}, // 19: filter key tracking (render)
    {"RelTime", "s", 0.02, 20.0, kCurveExponential, 0.02, 20.0, kCurveExponential, 0.25f,
     true}, // 20: filter envelope: release time
    {"RelLevel", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.5f,
     true},                                                                       // 21: filter envelope: release level
    {"LoopEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 22: filter envelope SetLoopEnabled
    {"TmStrEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f,
     false}, // 23: time-stretch enable for the filter envelope (voice start)
    {"OscLevel", "%", 0.0, 100.0, kCurveCubic, 0.0, 1.0, kCurveCubic, 1.0f, true}, // 24: oscillator gain
    {"NsLevel", "%", 0.0, 100.0, kCurveCubic, 0.0, 1.0, kCurveCubic, 0.0f, true},  // 25: noise level (render)
    {"MasLevel", "%", 0.0, 100.0, kCurveCubic, 0.0, 4.0, kCurveCubic, 0.5f, true}, // 26: master level (render)
    {"Pan", "%", 0.0, 100.0, kCurveLinear, 0.0, 2.0, kCurveLinear, 0.5f, true},    // 27: pan (render)
    {"KeySprd", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 1.0f,
     false}, // 28: key spread of the pan (voice start)
    {"NoteWeig", "dB", -20.0, 20.0, kCurveLinear, 0.1, 10.0, kCurveExponential, 0.5f,
     true}, // 29: note weighting (voice start)
    {"RelTime", "s", 0.02, 20.0, kCurveExponential, 0.02, 20.0, kCurveExponential, 0.25f,
     true}, // 30: amplitude envelope: release time (with the hold pedal up)
    {"Hold2", "s", 0.02, 20.0, kCurveExponential, 0.02, 20.0, kCurveExponential, 0.6f,
     true}, // 31: amplitude envelope: release time while the hold-2 pedal is down
    {"LoopEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f,
     false}, // 32: amplitude envelope SetLoopEnabled
    {"TmStrEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f,
     false}, // 33: time-stretch enable for the amplitude envelope (voice start)
    {"LFO1Ena", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false},    // 34: LFO 1 on/off (render)
    {"Waveform", "", 1.0, 32.0, kCurveLinear, 1.0, 32.0, kCurveLinear, 0.0f, false}, // 35: LFO 1 SetWaveform (rounded)
    {"Rate", "Hz", 0.02, 20.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.8f, false}, // 36: LFO 1 SetRateA
    {"Sync", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},          // 37: LFO 1 SetTempoSync
    {"HoldEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},       // 38: LFO 1 SetSampleAndHold
    {"HoldFreq", "Hz", 0.02, 20.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.0f, false}, // 39: LFO 1 SetRateB
    {"Vibrato", "%", 0.0, 100.0, kCurveLinear, 0.0, 0.05946, kCurveCubic, 0.0f, true}, // 40: LFO 1 to pitch (render)
    {"Filter", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true},     // 41: LFO 1 to filter (render)
    {"Tremolo", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true}, // 42: LFO 1 to amplitude (render)
    {"EnvEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 43: LFO 1 envelope on/off (render)
    {"RelTime", "s", 0.02, 20.0, kCurveExponential, 0.02, 20.0, kCurveExponential, 0.25f,
     true}, // 44: LFO 1 envelope: release time
    {"RelLevel", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f,
     true},                                                                       // 45: LFO 1 envelope: release level
    {"LoopEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 46: LFO 1 envelope SetLoopEnabled
    {"TmStrEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f,
     false}, // 47: time-stretch enable for the LFO 1 envelope (voice start)
    {"LFO2Ena", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},    // 48: LFO 2 on/off (render)
    {"Waveform", "", 1.0, 32.0, kCurveLinear, 1.0, 32.0, kCurveLinear, 0.0f, false}, // 49: LFO 2 SetWaveform (rounded)
    {"Rate", "Hz", 0.02, 20.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.5f, false}, // 50: LFO 2 SetRateA
    {"Sync", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},          // 51: LFO 2 SetTempoSync
    {"HoldEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},       // 52: LFO 2 SetSampleAndHold
    {"HoldFreq", "Hz", 0.02, 20.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.0f, false}, // 53: LFO 2 SetRateB
    {"Vibrato", "%", 0.0, 100.0, kCurveLinear, 0.0, 0.05946, kCurveCubic, 0.0f, true}, // 54: LFO 2 to pitch (render)
    {"Filter", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true},     // 55: LFO 2 to filter (render)
    {"Tremolo", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true}, // 56: LFO 2 to amplitude (render)
    {"EnvEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 57: LFO 2 envelope on/off (render)
    {"RelTime", "s", 0.02, 20.0, kCurveExponential, 0.02, 20.0, kCurveExponential, 0.25f,
     true}, // 58: LFO 2 envelope: release time
    {"RelLevel", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f,
     true},                                                                       // 59: LFO 2 envelope: release level
    {"LoopEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 60: LFO 2 envelope SetLoopEnabled
    {"TmStrEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f,
     false}, // 61: time-stretch enable for the LFO 2 envelope (voice start)
    {"PBendMod", "", 0.0, 9.0, kCurveLinear, 0.0, 9.0, kCurveLinear, 0.111f,
     false}, // 62: routing row 1 (pitch bend): SetTarget (rounded)
    {"Inten", "", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, static_cast<float>(7.0 / 12.0),
     true}, // 63: routing row 1: SetAmount
    {"AToucMod", "", 0.0, 9.0, kCurveLinear, 0.0, 9.0, kCurveLinear, 0.0f,
     false}, // 64: routing row 0 (aftertouch): SetTarget (rounded)
    {"Inten", "", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true}, // 65: routing row 0: SetAmount
    {"MWhlMod", "", 0.0, 9.0, kCurveLinear, 0.0, 9.0, kCurveLinear, 0.444f,
     false}, // 66: routing row 2 (modulation wheel): SetTarget (rounded)
    {"Inten", "", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 1.0f, true}, // 67: routing row 2: SetAmount
    {"BreatMod", "", 0.0, 9.0, kCurveLinear, 0.0, 9.0, kCurveLinear, 0.0f,
     false}, // 68: routing row 3 (breath): SetTarget (rounded)
    {"Inten", "", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true}, // 69: routing row 3: SetAmount
    {"ExprMod", "", 0.0, 9.0, kCurveLinear, 0.0, 9.0, kCurveLinear, 0.0f,
     false}, // 70: routing row 4 (expression): SetTarget (rounded)
    {"Inten", "", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true}, // 71: routing row 4: SetAmount
    {"SftPlMod", "", 0.0, 9.0, kCurveLinear, 0.0, 9.0, kCurveLinear, 0.0f,
     false}, // 72: routing row 5 (soft pedal): SetTarget (rounded)
    {"Inten", "", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true}, // 73: routing row 5: SetAmount
    {"VeloGain", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 1.0f,
     true}, // 74: velocity to amplitude (voice start)
    {"VeloFilt", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.2f,
     true}, // 75: velocity to filter (voice start)
    {"ChoruEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 76: chorus on/off (render)
    {"Delay", "ms", 0.5, 50.0, kCurveExponential, 0.0005, 0.05, kCurveExponential, 0.7f,
     false},                                                                            // 77: chorus: delay (seconds)
    {"Rate", "Hz", 0.05, 10.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.2f, false}, // 78: chorus: rate
    {"Sync", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},          // 79: chorus: tempo sync
    {"Depth", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.2f, true},       // 80: chorus: depth
    {"Spread", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false},     // 81: chorus: stereo spread flag
    {"Feedback", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f, true}, // 82: chorus: feedback
    {"EffLevel", "%", 0.0, 100.0, kCurveLinear, 0.0, 0.5, kCurveLinear, 1.0f, true}, // 83: chorus: effect level
    {"PhaseEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},   // 84: phaser on/off (render)
    {"Manual", "kHz", 0.05, 20.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.5f, true}, // 85: phaser: manual (centre)
    {"Rate", "Hz", 0.05, 10.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.2f, false},   // 86: phaser: rate
    {"Sync", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false},            // 87: phaser: tempo sync
    {"Depth", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.8f, true},         // 88: phaser: depth
    {"Spread", "%", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false},      // 89: phaser: stereo spread flag
    {"Feedback", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.8f, true},   // 90: phaser: feedback
    {"EffLevel", "%", 0.0, 100.0, kCurveLinear, 0.0, 0.5, kCurveLinear, 1.0f, true},   // 91: phaser: effect level
    {"DelayEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, true},      // 92: delay on/off (render)
    {"Delay", "s", 0.05, 5.0, kCurveExponential, 0.0, 1.0, kCurveLinear, 0.5f, false}, // 93: delay: time
    {"Sync", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false},         // 94: delay: tempo sync
    {"Feedback", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.2f, true},   // 95: delay: feedback
    {"PingPong", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},     // 96: delay: ping-pong
    {"LowCut", "Hz", 20.0, 1000.0, kCurveExponential, 20.0, 1000.0, kCurveExponential, 0.3f,
     true}, // 97: delay: low cut (Hz)
    {"HiCut", "kHz", 1.0, 20.0, kCurveExponential, 1000.0, 20000.0, kCurveExponential, 0.8f,
     true},                                                                          // 98: delay: high cut (Hz)
    {"EffLevel", "%", 0.0, 100.0, kCurveLinear, 0.0, 0.5, kCurveLinear, 0.4f, true}, // 99: delay: effect level
    {"ReverEna", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false},   // 100: reverb on/off (render)
    {"Size", "m2", 10.0, 640.0, kCurveExponential, 10.0, 640.0, kCurveExponential, 1.0f, true}, // 101: reverb: size
    {"Damping", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.4f, true},             // 102: reverb: damping
    {"HiDamp", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.1f, true}, // 103: reverb: high damping
    {"LowCut", "Hz", 20.0, 1000.0, kCurveExponential, 20.0, 1000.0, kCurveExponential, 0.3f,
     true},                                                                           // 104: reverb: low cut (Hz)
    {"EffLevel", "%", 0.0, 100.0, kCurveLinear, 0.0, 0.5, kCurveLinear, 0.4f, true},  // 105: reverb: effect level
    {"Voices", "", 1.0, 256.0, kCurveLinear, 1.0, 256.0, kCurveLinear, 0.12f, false}, // 106: voice count (rounded
    {"Tune", "c", -50.0, 50.0, kCurveLinear, 0.971532, 1.0293, kCurveExponential, 0.5f,
     true}, // 107: oscillator frequency factor (fine tune ratio)
    {"MIDI Ch", "", 0.0, 16.0, kCurveLinear, 0.0, 16.0, kCurveLinear, 0.0f,
     false}, // 108: MIDI channel (rounded; 0 = all)
    {"RangeLow", "", 0.0, 127.0, kCurveLinear, 0.0, 127.0, kCurveLinear, 0.0f,
     false}, // 109: lowest accepted note (rounded)
    {"RangeHi", "", 0.0, 127.0, kCurveLinear, 0.0, 127.0, kCurveLinear, 1.0f,
     false}, // 110: highest accepted note (rounded)
    {"TranspNt", "", -11.0, 11.0, kCurveLinear, -11.0, 11.0, kCurveLinear, 0.5f,
     false}, // 111: transpose in semitones (rounded)
    {"TranspOc", "", -4.0, 4.0, kCurveLinear, -4.0, 4.0, kCurveLinear, 0.5f,
     false}, // 112: transpose in octaves (rounded)
    {"KeyAssig", "", 0.0, 1.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 1.0f,
     false},                                                                      // 113: voice assignment mode (rounded
    {"Overlap", "", 0.0, 2.0, kCurveLinear, 0.0, 2.0, kCurveLinear, 0.5f, false}, // 114: retrigger mode (rounded
    {"StrOrig", "", 0.0, 127.0, kCurveLinear, 0.0, 127.0, kCurveLinear, 0.472f,
     false}, // 115: time-stretch origin note (voice start)
    {"KeyStr", "%", 0.0, 100.0, kCurveLinear, 0.0, 1.0, kCurveLinear, 0.0f,
     false}, // 116: time stretch by key (voice start)
    {"VelStr", "", 0.1, 10.0, kCurveExponential, -1.0, 1.0, kCurveLinear, 0.5f,
     false}, // 117: time stretch by velocity (voice start)
    {"Res1", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 118: none
    {"Res2", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false}, // 119: none
    {"Res3", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 120: none
    {"Res4", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false}, // 121: none
    {"Res5", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 0.0f, false}, // 122: none
    {"Res6", "", 0.0, 1.0, kCurveSwitch, 0.0, 1.0, kCurveSwitch, 1.0f, false}, // 123: none
};

} // namespace

const ParameterSpec& ParameterTable::Spec(int index) {
    return kTable[index];
}

double ParameterTable::DisplayValue(int index, float x) {
    if (!Valid(index)) return 0.0;
    const ParameterSpec& p = kTable[index];
    return CurveValue(p.displayCurve, x, p.displayMax, p.displayMin);
}

double ParameterTable::EngineValue(int index, float x) {
    if (!Valid(index)) return 0.0;
    const ParameterSpec& p = kTable[index];
    return CurveValue(p.engineCurve, x, p.engineMax, p.engineMin);
}

std::string ParameterTable::DisplayText(int index, float x) {
    if (!Valid(index)) return {};
    return Truncate(FormatFixedDisplay(DisplayValue(index, x)), kMaxTextLength);
}

std::string ParameterTable::Name(int index) {
    return Valid(index) ? Truncate(kTable[index].name, kMaxTextLength) : "";
}

std::string ParameterTable::Label(int index) {
    return Valid(index) ? Truncate(kTable[index].label, kMaxTextLength) : "";
}

} // namespace quillon
