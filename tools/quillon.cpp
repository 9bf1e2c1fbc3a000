// quillon: the command-line host. It loads a VST 2 plug-in library through the binary interface only
// (dlopen), so it works on any Linux VST 2 plug-in, and offers one subcommand per job:
//   info     identity, flags, pins, programs and the parameter table of a plug-in.
//   render   a Standard MIDI File played through a plug-in offline, written as a WAV file.
// Each subcommand is a row of the Commands() table; it declares its options as a table of TOptionSpec
// and reads them with ParseArgs (CommandLine.h), so new ones (analyze, program, bank, editor) are added
// the same way. Larger subcommands live in their own source file (RenderCommand.cpp).
#include "AnalyzeCommand.h"
#include "CommandLine.h"
#include "FidelityCommand.h"
#include "GuiCommand.h"
#include "HarmonyCommand.h"
#include "ProgramCommand.h"
#include "RenderCommand.h"
#include "SkinCommand.h"
#include "WavCommand.h"
#include "hostkit/TPluginHost.h"
#include "platform/ProgramArguments.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace {

using quillon::TPluginHost;
using namespace quillon::cli;
using namespace vst2;

constexpr VstInt32 kMaxListed = 10000; // programs, parameters and pins shown at most, against absurd counts
constexpr float kInfoSampleRate = 44100.0f;
constexpr VstInt32 kInfoBlockSize = 512;

struct TCommand {
    const char* name;
    const char* synopsis;
    const char* summary;
    std::function<int(TArgs)> run;
};

// Text helpers ------------------------------------------------------------------------------------------

// A plug-in's text made safe for a terminal: control characters become '?'.
std::string Printable(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
    return text;
}

// Text of a fixed-size field that need not be terminated.
std::string FieldText(const char* field, std::size_t size) {
    return Printable(std::string(field, strnlen(field, size)));
}

// `prefix` and the text in double quotes, appended piece by piece: GCC 12 warns falsely (-Wrestrict) at -O3
// on a literal + a temporary std::string.
std::string Quoted(const char* prefix, const std::string& text) {
    std::string quoted = prefix;
    quoted.append(1, '"').append(text).push_back('"');
    return quoted;
}

std::string Padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string FourCharacters(VstInt32 id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>((static_cast<std::uint32_t>(id) >> shift) & 0xff);
        if (c < 0x20 || c > 0x7e) return {};
        text += static_cast<char>(c);
    }
    return text;
}

template <typename TName> std::string DecodeBits(std::uint32_t bits, std::span<const TName> names) {
    std::string text;
    for (const TName& name : names) {
        if ((bits & name.bit) == 0) continue;
        if (!text.empty()) text += ' ';
        text += name.name;
        bits &= ~name.bit;
    }
    if (bits != 0) {
        if (!text.empty()) text += ' ';
        text += Hex(bits, 1);
    }
    return text.empty() ? "none" : text;
}

struct TBitName {
    std::uint32_t bit;
    const char* name;
};

constexpr TBitName kEffectFlags[] = {
    {effFlagsHasEditor, "HasEditor"},
    {effFlagsHasClip, "HasClip"},
    {effFlagsHasVu, "HasVu"},
    {effFlagsCanMono, "CanMono"},
    {effFlagsCanReplacing, "CanReplacing"},
    {effFlagsProgramChunks, "ProgramChunks"},
    {effFlagsIsSynth, "IsSynth"},
    {effFlagsNoSoundInStop, "NoSoundInStop"},
    {effFlagsExtIsAsync, "ExtIsAsync"},
    {effFlagsExtHasBuffer, "ExtHasBuffer"},
    {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
};

constexpr TBitName kPinFlags[] = {
    {kVstPinIsActive, "Active"}, {kVstPinIsStereo, "Stereo"}, {kVstPinUseSpeaker, "UseSpeaker"}};

std::string CategoryName(VstIntPtr category) {
    static constexpr const char* kNames[] = {"Unknown",     "Effect",         "Synth",  "Analysis",
                                             "Mastering",   "Spacializer",    "RoomFx", "SurroundFx",
                                             "Restoration", "OfflineProcess", "Shell",  "Generator"};
    if (category < 0 || category >= static_cast<VstIntPtr>(std::size(kNames))) return "?";
    return kNames[category];
}

// A table printed with each column as wide as its widest cell.
void PrintTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c)
            line += "  " + (c + 1 == row.size() ? row[c] : Padded(row[c], widths[c]));
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        std::printf("%s\n", line.c_str());
    }
}

void PrintField(const char* name, const std::string& value) {
    const std::string label = std::string(name) + ":";
    std::printf("%s\n", (value.empty() ? label : Padded(label, 16) + value).c_str());
}

VstInt32 Listed(VstInt32 count) {
    return std::clamp(count, 0, kMaxListed);
}

std::string CountText(VstInt32 count) {
    std::string text = std::to_string(count);
    if (count != Listed(count)) text += " (listing " + std::to_string(Listed(count)) + ")";
    return text;
}

// info -----------------------------------------------------------------------------------------------------

void PrintPins(TPluginHost& host, const char* title, VstInt32 count, bool outputs) {
    if (Listed(count) == 0) {
        PrintField(title, "none");
        return;
    }
    PrintField(title, "");
    std::vector<std::vector<std::string>> rows;
    for (VstInt32 i = 0; i < Listed(count); ++i) {
        VstPinProperties pin{};
        const VstIntPtr result = outputs ? host.OutputProperties(i, pin) : host.InputProperties(i, pin);
        if (result == 0) {
            rows.push_back({std::to_string(i), "(not reported)"});
            continue;
        }
        rows.push_back({std::to_string(i), Quoted("", FieldText(pin.label, sizeof pin.label)),
                        Quoted("short ", FieldText(pin.shortLabel, sizeof pin.shortLabel)),
                        "flags " + Hex(static_cast<std::uint32_t>(pin.flags), 1) + " " +
                            DecodeBits<TBitName>(static_cast<std::uint32_t>(pin.flags), kPinFlags),
                        "arrangement " + std::to_string(pin.arrangementType)});
    }
    PrintTable(rows);
}

void PrintPrograms(TPluginHost& host, VstInt32 count) {
    const VstInt32 current = host.Program();
    PrintField("Programs", CountText(count) + ", current " + std::to_string(current));
    if (Listed(count) == 0) return;

    // Hosts read names by index where the plug-in offers it; otherwise they switch programs and
    // switch back to the current one afterwards.
    const bool indexed = host.ProgramNameIndexed(0).has_value();
    std::vector<std::vector<std::string>> rows{{"#", "Name"}};
    for (VstInt32 i = 0; i < Listed(count); ++i) {
        std::string name;
        if (indexed) {
            name = host.ProgramNameIndexed(i).value_or("");
        } else {
            host.SetProgram(i);
            name = host.ProgramName();
        }
        rows.push_back({std::to_string(i), Printable(name)});
    }
    if (!indexed) host.SetProgram(current);
    PrintTable(rows);
}

void PrintParameters(TPluginHost& host, VstInt32 count) {
    PrintField("Parameters", CountText(count));
    if (Listed(count) == 0) return;
    std::vector<std::vector<std::string>> rows{{"#", "Name", "Label", "Display", "Value"}};
    for (VstInt32 i = 0; i < Listed(count); ++i) {
        char value[32];
        std::snprintf(value, sizeof value, "%.6f", static_cast<double>(host.Parameter(i)));
        rows.push_back({std::to_string(i), Printable(host.ParameterName(i)), Printable(host.ParameterLabel(i)),
                        Printable(host.ParameterDisplay(i)), value});
    }
    PrintTable(rows);
}

constexpr TOptionSpec kInfoOptions[] = {{"--plugin", nullptr, "PATH", false}};

int RunInfo(TArgs args) {
    TParsedArgs parsed;
    if (const auto error = ParseArgs(args, kInfoOptions, parsed)) return Fail("info: " + *error);
    if (parsed.help) {
        std::printf("usage: quillon info [--plugin PATH]\n\n"
                    "Loads a VST 2 plug-in (default: " QUILLON_PLUGIN_FILE " next to this program) and prints its\n"
                    "identity, flags, pins, programs and parameter table.\n");
        return 0;
    }
    if (!parsed.positional.empty()) return Fail("info: unknown argument '" + parsed.positional.front() + "'");
    const std::string pluginPath = PluginPath(parsed);

    TPluginHost host;
    if (!host.Load(pluginPath)) return Fail(host.Error());
    // Prepare the plug-in as hosts do before they use it.
    host.Open();
    host.SetSampleRate(kInfoSampleRate);
    host.SetBlockSize(kInfoBlockSize);
    host.Resume();

    const AEffect& effect = *host.Effect();
    const std::string id = FourCharacters(effect.uniqueID);
    const auto flags = static_cast<std::uint32_t>(effect.flags);
    PrintField("Plug-in", pluginPath);
    PrintField("Effect name", Printable(host.EffectName()));
    PrintField("Vendor", Printable(host.VendorString()));
    PrintField("Product", Printable(host.ProductString()));
    PrintField("Vendor version", std::to_string(host.VendorVersion()));
    PrintField("Unique ID", Hex(static_cast<std::uint32_t>(effect.uniqueID), 8) + (id.empty() ? "" : " '" + id + "'"));
    PrintField("Version", std::to_string(effect.version));
    PrintField("VST version", std::to_string(host.VstVersion()));
    const VstIntPtr category = host.PlugCategory();
    PrintField("Category", std::to_string(category) + " " + CategoryName(category));
    PrintField("Flags", Hex(flags, 8) + " " + DecodeBits<TBitName>(flags, kEffectFlags));
    PrintField("Inputs", std::to_string(effect.numInputs));
    PrintField("Outputs", std::to_string(effect.numOutputs));
    PrintField("Initial delay", std::to_string(effect.initialDelay) + " samples");
    PrintPins(host, "Output pins", effect.numOutputs, true);
    PrintPins(host, "Input pins", effect.numInputs, false);
    PrintPrograms(host, effect.numPrograms);
    PrintParameters(host, effect.numParams);
    std::fflush(stdout);

    host.Suspend();
    host.Unload();
    return 0;
}

// Command table ----------------------------------------------------------------------------------------------

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
        {"info", "info [--plugin PATH]", "print a plug-in's identity, flags, pins, programs and parameters", RunInfo},
        {"render", quillon::kRenderSynopsis, quillon::kRenderSummary, quillon::RunRender},
        {"analyze", quillon::kAnalyzeSynopsis, quillon::kAnalyzeSummary, quillon::RunAnalyze},
        {"fidelity", quillon::kFidelitySynopsis, quillon::kFidelitySummary, quillon::RunFidelity},
        {"wav", quillon::kWavSynopsis, quillon::kWavSummary, quillon::RunWav},
        {"harmony", quillon::kHarmonySynopsis, quillon::kHarmonySummary, quillon::RunHarmony},
        {"program", quillon::kProgramSynopsis, quillon::kProgramSummary, quillon::RunProgram},
        {"bank", quillon::kBankSynopsis, quillon::kBankSummary, quillon::RunBank},
        {"skin", quillon::kSkinSynopsis, quillon::kSkinSummary, quillon::RunSkin},
        {"gui", quillon::kGuiSynopsis, quillon::kGuiSummary, quillon::RunGui},
    };
    return commands;
}

void PrintUsage(std::FILE* stream) {
    std::fprintf(stream, "usage: quillon <command> [options]\n\ncommands:\n");
    for (const TCommand& command : Commands())
        std::fprintf(stream, "  %-28s %s\n", command.synopsis, command.summary);
    std::fprintf(stream, "\n'quillon <command> --help' describes a command.\n");
}

int Run(const std::vector<std::string>& args) try {
    if (args.empty()) {
        PrintUsage(stderr);
        return 1;
    }
    if (IsHelp(args[0]) || args[0] == "help") {
        PrintUsage(stdout);
        return 0;
    }
    for (const TCommand& command : Commands()) {
        if (args[0] == command.name) return command.run(TArgs(args).subspan(1));
    }
    return Fail("unknown command '" + args[0] + "' (try 'quillon --help')");
} catch (const std::exception& error) {
    return Fail(error.what());
}

} // namespace

int main(int argc, char** argv) {
    // UTF-8 on every system, Windows' code pages notwithstanding: file names reach the commands intact and
    // show as they are in messages.
    const quillon::platform::Utf8Console console;
    return Run(quillon::platform::ProgramArguments(argc, argv));
}
