#include "ProgramCommand.h"

#include "BankListing.h"
#include "ProgramDescription.h"

#include "core/ParameterTable.h"
#include "core/TProgramBank.h"
#include "engine/RandomSeed.h"
#include "engine/THarmonyFrame.h"
#include "engine/THarmonyModel.h"
#include "files/TPresetsFileManager.h"

#include <array>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace quillon {

namespace {

using namespace cli;

// The waveform names, in the order of the synthesizer's harmony shapes (0 saw … 10 random).
constexpr std::array<const char*, 11> kWaves = {"saw",  "square", "triangle", "pulse6", "pulse12", "pulse25",
                                                "tri3", "tri6",   "tri12",    "tri25",  "random"};

// "INDEX=VALUE" with INDEX 0..123 and VALUE 0..1.
bool ParseParam(const std::string& text, int& index, float& value) {
    const auto eq = text.find('=');
    if (eq == std::string::npos) return false;
    const auto i = IntegerArgument(text.substr(0, eq));
    const auto v = NumberArgument(text.substr(eq + 1));
    if (!i || !v || *i < 0 || *i >= kParameterCount || *v < 0.0 || *v > 1.0) return false;
    index = static_cast<int>(*i);
    value = static_cast<float>(*v);
    return true;
}

// `quillon program --describe FILE [--select NAME | --index N] -o P.bpa`.
int DescribedProgram(const TParsedArgs& parsed, const std::string& output) {
    if (parsed.Has("--wave") || parsed.Has("--name") || parsed.Has("--param"))
        return Fail("program: --describe takes no --wave, --name or --param");
    if (parsed.Has("--select") && parsed.Has("--index")) return Fail("program: give --select or --index, not both");
    const std::string path = parsed.Value("--describe");
    TProgramDescription description;
    if (auto error = ReadDescription(path, description)) return Fail(*error);
    const auto& programs = description.programs;
    std::size_t chosen = 0;
    if (parsed.Has("--select")) {
        const std::string name = parsed.Value("--select");
        while (chosen < programs.size() && programs[chosen].name != name)
            ++chosen;
        if (chosen == programs.size()) return Fail("program: " + path + " holds no program \"" + name + "\"");
    } else if (parsed.Has("--index")) {
        const auto index = IntegerArgument(parsed.Value("--index"));
        if (!index || *index < 0 || *index >= static_cast<long long>(programs.size()))
            return Fail("program: --index '" + parsed.Value("--index") + "': " + path + " holds programs 0.." +
                        std::to_string(programs.size() - 1));
        chosen = static_cast<std::size_t>(*index);
    } else if (programs.size() > 1) {
        return Fail("program: " + path + " holds " + std::to_string(programs.size()) +
                    " programs; choose one with --select NAME or --index N");
    }
    const TDescribedProgram& program = programs[chosen];
    if (const Status saved = TPresetsFileManager().SaveProgram(
            output, TPresetsFileManager::ConstProgramSpan(program.record.data(), program.record.size()));
        !saved)
        return Fail("program: could not write '" + output + "': " + saved.message);
    std::printf("%s: program \"%s\" (%s, line %d)\n", output.c_str(), program.name.c_str(), path.c_str(), program.line);
    return 0;
}

// `quillon bank --describe FILE -o B.bpb`.
int DescribedBank(const TParsedArgs& parsed, const std::string& output) {
    if (!parsed.positional.empty()) return Fail("bank: --describe takes no program files");
    const std::string path = parsed.Value("--describe");
    TProgramDescription description;
    if (auto error = ReadDescription(path, description)) return Fail(*error);
    auto programs = std::make_unique<TProgramBank>(); // fresh records for the slots left empty
    std::vector<std::uint8_t> bank(TPresetsFileManager::kBankBytes);
    for (std::size_t i = 0; i < TPresetsFileManager::kBankPrograms; ++i) {
        const auto slot = std::span<std::uint8_t>(bank.data() + i * record::kRecordSize, record::kRecordSize);
        if (i < description.programs.size())
            std::copy(description.programs[i].record.begin(), description.programs[i].record.end(), slot.begin());
        else
            programs->CopyRecord(static_cast<int>(i), slot);
    }
    const Status status =
        TPresetsFileManager().SaveBank(output, TPresetsFileManager::ConstBankSpan(bank.data(), bank.size()));
    if (!status.Ok()) return Fail("bank: could not write '" + output + "': " + status.message);
    std::printf("%s: bank%s%s of %zu program(s) from %s\n", output.c_str(), description.title.empty() ? "" : " ",
                description.title.c_str(), description.programs.size(), path.c_str());
    return 0;
}

} // namespace

int RunProgram(TArgs args) {
    static constexpr TOptionSpec kOptions[] = {
        {"--wave", nullptr, "W", false},           {"--name", nullptr, "N", false},
        {"--param", nullptr, "INDEX=VALUE", true}, {"--describe", nullptr, "FILE", false},
        {"--select", nullptr, "NAME", false},      {"--index", nullptr, "N", false},
        {"--output", "-o", "P.bpa", false}};
    TParsedArgs parsed;
    if (auto error = ParseArgs(args, kOptions, parsed)) return Fail("program: " + *error);
    if (parsed.help) {
        std::printf("usage: quillon program --wave W [--name N] [--param INDEX=VALUE]... -o P.bpa\n"
                    "       quillon program --describe FILE [--select NAME | --index N] -o P.bpa\n"
                    "waves: saw square triangle pulse6 pulse12 pulse25 tri3 tri6 tri12 tri25 random\n"
                    "--describe compiles one program of a program description (docs/program-descriptions.md);\n"
                    "a description of several programs needs --select NAME or --index N (from 0).\n");
        return 0;
    }
    if (!parsed.positional.empty()) return Fail("program: unexpected argument '" + parsed.positional.front() + "'");
    const std::string output = parsed.Value("--output");
    if (output.empty()) return Fail("program: an output file is needed (-o P.bpa)");
    if (parsed.Has("--describe")) return DescribedProgram(parsed, output);
    if (parsed.Has("--select") || parsed.Has("--index")) return Fail("program: --select and --index need --describe");
    int shape = 0;
    const std::string wave = parsed.Value("--wave", "saw");
    while (shape < static_cast<int>(kWaves.size()) && wave != kWaves[static_cast<std::size_t>(shape)])
        ++shape;
    if (shape == static_cast<int>(kWaves.size())) return Fail("program: unknown wave '" + wave + "'");
    const std::string name = parsed.Value("--name", wave);
    if (name.size() > 24) return Fail("program: a program name has at most 24 characters");

    // The record alone: a fresh program with the shape's harmonics in its frame, as the editor's harmony
    // generators make them, its name and the parameters given.
    auto programs = std::make_unique<TProgramBank>();
    THarmonyFrame frame;
    std::mt19937 random(NewRandomSeed());
    frame.FillShape(shape, THarmonyModel::kDefaultHarmonics, random);
    for (int k = 0; k < record::kHarmonicCount; ++k) {
        programs->SetLevel(0, 0, k, static_cast<std::uint8_t>(frame.LevelByte(k)));
        programs->SetPhase(0, 0, k, static_cast<std::uint8_t>(frame.PhaseByte(k)));
    }
    programs->SetName(0, name.c_str());
    for (const std::string& text : parsed.All("--param")) {
        int index = 0;
        float value = 0.0f;
        if (!ParseParam(text, index, value))
            return Fail("program: --param needs INDEX=VALUE with INDEX 0..123 and VALUE 0..1, not '" + text + "'");
        programs->SetParameter(0, index, value);
    }
    std::vector<std::uint8_t> bytes(record::kRecordSize);
    programs->CopyRecord(0, bytes);
    if (const Status saved = TPresetsFileManager().SaveProgram(
            output, TPresetsFileManager::ConstProgramSpan(bytes.data(), bytes.size()));
        !saved)
        return Fail("program: could not write '" + output + "': " + saved.message);
    std::printf("%s: program \"%s\" (%s)\n", output.c_str(), name.c_str(), wave.c_str());
    return 0;
}

int RunBank(TArgs args) {
    static constexpr TOptionSpec kOptions[] = {{"--output", "-o", "B.bpb", false},
                                               {"--describe", nullptr, "FILE", false},
                                               {"--list", nullptr, "B.bpb", false},
                                               {"--measure", nullptr, nullptr, false},
                                               {"--plugin", nullptr, "PATH", false}};
    TParsedArgs parsed;
    if (auto error = ParseArgs(args, kOptions, parsed)) return Fail("bank: " + *error);
    if (parsed.help) {
        std::printf(
            "usage: quillon bank P1.bpa [P2.bpa ...] -o B.bpb   (at most 64 programs; the rest are fresh)\n"
            "       quillon bank --describe FILE -o B.bpb       (the programs of a description, from slot 0)\n"
            "       quillon bank --list B.bpb [--measure] [--plugin PATH]\n"
            "\n"
            "--list prints each program's slot, name, category, frames and what it uses. --measure plays each\n"
            "through the plug-in (default: " QUILLON_PLUGIN_FILE
            " next to this program): the peak of a C major chord (C4 E4\n"
            "G4, velocity 100, held 2 s, then released), the MasLevel (%%) that would put it at -6 dBFS, the DC\n"
            "offset, clicks at the note-on and note-off, whether the release ends in silence, and the CPU time of\n"
            "8 notes relative to a plain sawtooth with chorus and reverb.\n");
        return 0;
    }
    if (parsed.Has("--list")) {
        if (parsed.Has("--output") || parsed.Has("--describe") || !parsed.positional.empty())
            return Fail("bank: --list takes only --measure and --plugin");
        return ListBank(parsed.Value("--list"), parsed.Has("--measure"), PluginPath(parsed));
    }
    if (parsed.Has("--measure") || parsed.Has("--plugin")) return Fail("bank: --measure and --plugin need --list");
    const std::string output = parsed.Value("--output");
    if (output.empty()) return Fail("bank: an output file is needed (-o B.bpb)");
    if (parsed.Has("--describe")) return DescribedBank(parsed, output);
    if (parsed.positional.empty() || parsed.positional.size() > TPresetsFileManager::kBankPrograms)
        return Fail("bank: give 1 to 64 program files");

    TPresetsFileManager files;
    auto programs = std::make_unique<TProgramBank>(); // fresh records for the slots left empty
    std::vector<std::uint8_t> bank(TPresetsFileManager::kBankBytes);
    std::vector<std::uint8_t> record(record::kRecordSize);
    for (std::size_t i = 0; i < TPresetsFileManager::kBankPrograms; ++i) {
        const auto slot = bank.data() + i * record::kRecordSize;
        if (i < parsed.positional.size()) {
            const Status status =
                files.LoadProgram(parsed.positional[i], TPresetsFileManager::ProgramSpan(record.data(), record.size()));
            if (!status.Ok()) return Fail("bank: could not read '" + parsed.positional[i] + "': " + status.message);
            std::copy(record.begin(), record.end(), slot);
        } else {
            programs->CopyRecord(static_cast<int>(i), std::span<std::uint8_t>(slot, record::kRecordSize));
        }
    }
    const Status status = files.SaveBank(output, TPresetsFileManager::ConstBankSpan(bank.data(), bank.size()));
    if (!status.Ok()) return Fail("bank: could not write '" + output + "': " + status.message);
    std::printf("%s: bank of %zu program(s)\n", output.c_str(), parsed.positional.size());
    return 0;
}

} // namespace quillon
