#include "engine/CurveValue.h"

#include <cmath>

namespace quillon {

double CurveValue(int curve, double x, double maximum, double minimum) {
    switch (curve) {
    case kCurveLinear:
        return minimum + x * (maximum - minimum);
    case kCurveExponential:
        return minimum * std::pow(maximum / minimum, x);
    case kCurveReversedExp:
        return maximum + minimum - minimum * std::pow(maximum / minimum, 1.0 - x);
    case kCurveSwitch:
        return x >= 0.5 ? maximum : minimum;
    case kCurveCubic:
        return minimum + x * x * x * (maximum - minimum);
    default:
        return 0.0;
    }
}

} // namespace quillon
