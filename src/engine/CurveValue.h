// The value curves shared by the parameter table, the modulation routing and the delay's time knob.
#pragma once

namespace quillon {

// Curve codes as stored in the tables.
enum CurveCode : int {
    kCurveLinear = 0,      // min + x·(max − min)
    kCurveExponential = 1, // min·(max/min)^x
    kCurveReversedExp = 2, // max + min − min·(max/min)^(1−x)
    kCurveSwitch = 3,      // max if x ≥ 0.5, else min
    kCurveCubic = 4,       // min + x³·(max − min)
};

// Maps x (normally 0..1) onto [minimum, maximum] along the given curve; unknown codes give 0.
// Computed in double precision; callers store the result in the precision they need.
double CurveValue(int curve, double x, double maximum, double minimum);

} // namespace quillon
