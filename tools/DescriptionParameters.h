// The `set` and `route` statements of program descriptions: parameter names as the table gives them
// (unique names alone, others as GROUP.NAME, or #N), and values in the units the plug-in displays, turned
// into the stored 0..1 values.
#pragma once

#include "files/ProgramRecord.h"

#include <array>
#include <optional>
#include <string>

namespace quillon::describe {

using TParameterValues = std::array<float, record::kParameterCount>;

// The index of a parameter named NAME, GROUP.NAME or #N (names compared without regard to case); an
// error text otherwise.
std::optional<std::string> ResolveParameter(const std::string& name, int& index);

// The stored value for `text`, a value in the parameter's display units: numbers within the display range,
// on/off for switches, captions for the menus (filter type, noise type, LFO waveform, routing target), note
// lengths for tempo-synced rates whose Sync is on in `current`, and routing amounts in the units of the
// row's target in `current`. An error text otherwise. NoiseTyp=Off sets the noise level to 0 (the noise is
// off when it is silent) and keeps the type: both are written into `current`.
std::optional<std::string> SetParameter(int index, const std::string& text, TParameterValues& current);

// `route SOURCE TARGET AMOUNT`: sets the routing row's target and amount in `current`; an error text otherwise.
std::optional<std::string> SetRoute(const std::string& source, const std::string& target, const std::string& amount,
                                    TParameterValues& current);

// The short name of a routing row's source ("pitchbend") and the caption of a target ("LFO1 Vibrato").
const char* RouteSourceName(int row);
const char* RouteTargetCaption(int target);
// The target and amount parameter indices of a routing row (0 aftertouch … 5 soft pedal).
int RouteTargetIndex(int row);
int RouteAmountIndex(int row);

} // namespace quillon::describe
