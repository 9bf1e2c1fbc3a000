// `quillon program` and `quillon bank`: author program files with the synthesizer's own library (its
// harmony generators and parameter table) and assemble bank files from them.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kProgramSynopsis = "program ... -o P.bpa";
inline constexpr const char* kProgramSummary = "author a program from a waveform or a description";
inline constexpr const char* kBankSynopsis = "bank ... -o B.bpb | --list B";
inline constexpr const char* kBankSummary = "make a bank from programs or a description; list one";

int RunProgram(cli::TArgs args);
int RunBank(cli::TArgs args);

} // namespace quillon
