#include "ProgramCommand.h"

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

} // namespace

int RunProgram(TArgs args) {
    static constexpr TOptionSpec kOptions[] = {{"--wave", nullptr, "W", false},
                                               {"--name", nullptr, "N", false},
                                               {"--param", nullptr, "INDEX=VALUE", true},
                                               {"--output", "-o", "P.bpa", false}};
    TParsedArgs parsed;
    if (auto error = ParseArgs(args, kOptions, parsed)) return Fail("program: " + *error);
    if (parsed.help) {
        std::printf("usage: quillon program --wave W [--name N] [--param INDEX=VALUE]... -o P.bpa\n"
                    "waves: saw square triangle pulse6 pulse12 pulse25 tri3 tri6 tri12 tri25 random\n");
        return 0;
    }
    if (!parsed.positional.empty()) return Fail("program: unexpected argument '" + parsed.positional.front() + "'");
    const std::string output = parsed.Value("--output");
    if (output.empty()) return Fail("program: an output file is needed (-o P.bpa)");
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
    static constexpr TOptionSpec kOptions[] = {{"--output", "-o", "B.bpb", false}};
    TParsedArgs parsed;
    if (auto error = ParseArgs(args, kOptions, parsed)) return Fail("bank: " + *error);
    if (parsed.help) {
        std::printf("usage: quillon bank P1.bpa [P2.bpa ...] -o B.bpb   (at most 64 programs; the rest are fresh)\n");
        return 0;
    }
    const std::string output = parsed.Value("--output");
    if (output.empty()) return Fail("bank: an output file is needed (-o B.bpb)");
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
