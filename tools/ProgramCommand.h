// `quillon program` and `quillon bank`: author program files with the synthesizer's own library (its
// harmony generators and parameter table) and assemble bank files from them.
#pragma once

#include "CommandLine.h"

namespace quillon {

inline constexpr const char* kProgramSynopsis = "program --wave W -o P.bpa";
inline constexpr const char* kProgramSummary = "author a program file from a standard waveform";
inline constexpr const char* kBankSynopsis = "bank P1.bpa ... -o B.bpb";
inline constexpr const char* kBankSummary = "assemble up to 64 program files into a bank file";

int RunProgram(cli::TArgs args);
int RunBank(cli::TArgs args);

} // namespace quillon
