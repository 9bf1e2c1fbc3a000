// `quillon bank --list B.bpb [--measure] [--plugin PATH]`: one line per program of a bank file — slot,
// name, category, frames and what it uses (effects, noise, filter, LFOs, routings other than the fresh
// program's) — and with --measure the chord's peak, the MasLevel for a -6 dBFS peak, its manners and its
// cost relative to the reference program (ProgramMeasures.h).
#pragma once

#include <string>

namespace quillon {

// Prints the listing on stdout; returns the exit code (1 with the error on stderr).
int ListBank(const std::string& bankPath, bool measure, const std::string& pluginPath);

} // namespace quillon
