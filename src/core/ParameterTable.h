// The 124 automatable parameters: the shared vocabulary of host automation, the editor's controls,
// MIDI learn and the program record. Each has a name and label as the host receives them, a display
// mapping (the number shown to the user), an engine mapping (the number the engine receives), a default
// for fresh programs, and a flag telling whether changes glide over 100 ms.
#pragma once

#include "files/ParameterIndex.h"

#include <string>

namespace quillon {

struct ParameterSpec {
    const char* name;  // as the host receives it (copied with at most 8 characters)
    const char* label; // unit text
    double displayMin, displayMax;
    int displayCurve; // CurveCode
    double engineMin, engineMax;
    int engineCurve;    // CurveCode
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
