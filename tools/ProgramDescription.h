// Program descriptions: the readable source of factory programs. A description file holds up to 64
// programs, each a fresh program record changed by statements (harmony frames, envelopes, parameters in
// display units, routings); compiling it gives the records byte for byte the same every time.
//
//   bank "Factory A"                  optional first statement: the bank's title
//   program "PAD Glass Choir"         starts a program (name 1..24 characters, the first word its category)
//   frame TIME SHAPE [harmonics N] [tilt DB] [odd DB] [even DB] [cut K]
//   frame TIME levels K:DB ...        | frame TIME sine
//   harmony FILE [from T] [to T] [shift S] [scale F]      frames of a .qh, .bpa or .bha file
//   brighten TIME DB | soften TIME DB                      tilt the frame at TIME
//   harmony-loop START END | seed S
//   env NAME T:L ... | env-loop NAME START END             NAME: amp filter pitch lfo1 lfo2
//   set NAME=VALUE ... | route SOURCE TARGET AMOUNT
//
// Every error names the file and the line; nothing is compiled then. docs/program-descriptions.md tells
// the whole format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct TDescribedProgram {
    std::string name;
    int line = 0;                     // of its `program` statement
    std::vector<std::uint8_t> record; // record::kRecordSize bytes
};

struct TProgramDescription {
    std::string title; // of the `bank` statement; empty without one
    std::vector<TDescribedProgram> programs;
};

// Compiles the text of a description; `name` is used in errors, `folder` resolves relative file paths.
std::optional<std::string> CompileDescription(std::string_view text, const std::string& name, const std::string& folder,
                                              TProgramDescription& description);
// Reads and compiles a description file.
std::optional<std::string> ReadDescription(const std::string& path, TProgramDescription& description);

// The category of a program name: its first word.
std::string ProgramCategory(const std::string& name);

} // namespace quillon
