// `quillon program` and `quillon bank`: author program files with the synthesizer's own library (its
// harmony generators and parameter table) and assemble bank files from them.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kProgramSynopsis = "program --wave W | --describe FILE -o P.bpa";
inline constexpr const char* kProgramSummary = "author a program file from a standard waveform or a description";
inline constexpr const char* kBankSynopsis = "bank P1.bpa ... | --describe FILE -o B.bpb; bank --list B.bpb";
inline constexpr const char* kBankSummary = "assemble a bank file from programs or a description; list and measure one";

int RunProgram(cli::TArgs args);
int RunBank(cli::TArgs args);

} // namespace quillon
