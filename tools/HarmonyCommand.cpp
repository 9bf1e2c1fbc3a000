// `quillon harmony`. Four verbs:
//   show IN.bha                                  lists the sounding harmonics of a harmony file
//   export PROGRAM.bpa -o OUT.bha [--frame K]    writes frame K of a program as a harmony file
//   import IN.bha PROGRAM.bpa -o OUT.bpa [--frame K]
//                                                writes a program with frame K replaced by the file
//   text IN.bpa|IN.bha -o OUT.qh [--comment TEXT]...
//                                                writes the frames (and harmony loop) as a harmony text file
// A program record keeps harmonics 1 … 250 of each frame for the engine; an exported file holds harmonic 0
// (DC) silent, as the plug-in's own export does, and an import stores all 251 entries, as its import does.
#include "HarmonyCommand.h"

#include "HarmonyText.h"

#include "core/TProgramBank.h"
#include "files/ParameterIndex.h"
#include "files/THarmonyFileManager.h"
#include "files/TPresetsFileManager.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

namespace {

using namespace cli;

constexpr std::uint8_t kSilentLevel = 255;
constexpr std::uint8_t kZeroPhase = 128;
constexpr int kSlot = 0;

constexpr TOptionSpec kHarmonyOptions[] = {
    {"--output", "-o", "OUT", false},
    {"--frame", nullptr, "K", false},
    {"--comment", nullptr, "TEXT", true},
};

constexpr const char* kHarmonyHelp =
    "usage: quillon harmony show IN.bha\n"
    "       quillon harmony export PROGRAM.bpa -o OUT.bha [--frame K]\n"
    "       quillon harmony import IN.bha PROGRAM.bpa -o OUT.bpa [--frame K]\n"
    "       quillon harmony text IN.bpa|IN.bha -o OUT.qh [--comment TEXT]...\n"
    "\n"
    "Harmony files (.bha) hold one harmony frame: the level (0 loudest, 0.5 dB steps, 255 silent) and\n"
    "the phase (128 = 0 degrees) of harmonics 0 to 250.\n"
    "\n"
    "  show     lists the sounding harmonics of a harmony file\n"
    "  export   writes frame K (default 0) of a program file as a harmony file\n"
    "  import   writes a copy of a program file whose frame K (default 0) is the harmony file's\n"
    "  text     writes the frames of a program file (with its harmony loop when that is on), or the\n"
    "           frame of a harmony file, as a harmony text file (.qh) that program descriptions read\n"
    "\n"
    "  -o, --output OUT   the file to write; an existing file is replaced\n"
    "  --frame K          the frame of the program, from 0\n"
    "  --comment TEXT     a comment line at the top of the text file (repeatable)\n";

// Loads a harmony file; an error text on failure.
std::optional<std::string> LoadHarmony(const std::string& path, THarmonyFileManager& harmony) {
    if (const Status status = harmony.Load(path); !status.Ok()) return path + ": " + status.message;
    return std::nullopt;
}

// Loads a program file into slot 0 of `bank`; an error text on failure.
std::optional<std::string> LoadProgram(const std::string& path, TProgramBank& bank) {
    std::vector<std::uint8_t> record(record::kRecordSize);
    const Status status =
        TPresetsFileManager().LoadProgram(path, TPresetsFileManager::ProgramSpan(record.data(), record::kRecordSize));
    if (!status.Ok()) return "could not read '" + path + "': " + status.message;
    bank.StoreRecord(kSlot, record);
    return std::nullopt;
}

// The frame named by --frame, checked against the program's frames; an error text on failure.
std::optional<std::string> FrameOption(const TParsedArgs& parsed, const TProgramBank& bank, int& frame) {
    const int frames = std::clamp(bank.FrameCount(kSlot), 1, record::kMaxFrames);
    frame = 0;
    if (!parsed.Has("--frame")) return std::nullopt;
    const std::optional<long long> number = IntegerArgument(parsed.Value("--frame"));
    if (!number || *number < 0 || *number >= frames)
        return "--frame '" + parsed.Value("--frame") + "': the program has frames 0.." + std::to_string(frames - 1);
    frame = static_cast<int>(*number);
    return std::nullopt;
}

int Show(const TParsedArgs& parsed) {
    if (parsed.positional.size() != 2) return Fail("harmony show: give one harmony file");
    const std::string& path = parsed.positional[1];
    THarmonyFileManager harmony;
    if (const auto error = LoadHarmony(path, harmony)) return Fail(*error);
    int sounding = 0;
    std::printf("%s\n  harmonic  level  gain (dB)  phase  angle (deg)\n", path.c_str());
    for (int j = 0; j < THarmonyFileManager::kHarmonicCount; ++j) {
        const int level = harmony.levels[static_cast<std::size_t>(j)];
        if (level == kSilentLevel) continue;
        const int phase = harmony.phases[static_cast<std::size_t>(j)];
        std::printf("  %8d  %5d  %9.1f  %5d  %11.1f\n", j, level, -level / 2.0, phase, (phase - 128) / 128.0 * 180.0);
        ++sounding;
    }
    std::printf("%d of 251 harmonics sound\n", sounding);
    return 0;
}

int Export(const TParsedArgs& parsed) {
    if (parsed.positional.size() != 2) return Fail("harmony export: give one program file");
    const std::string output = parsed.Value("--output");
    if (output.empty()) return Fail("harmony export: no output file given (-o OUT.bha)");
    TProgramBank bank;
    if (const auto error = LoadProgram(parsed.positional[1], bank)) return Fail("harmony export: " + *error);
    int frame = 0;
    if (const auto error = FrameOption(parsed, bank, frame)) return Fail("harmony export: " + *error);

    THarmonyFileManager harmony;
    harmony.levels[0] = kSilentLevel;
    harmony.phases[0] = kZeroPhase;
    for (int j = 1; j < THarmonyFileManager::kHarmonicCount; ++j) {
        harmony.levels[static_cast<std::size_t>(j)] = bank.Level(kSlot, frame, j);
        harmony.phases[static_cast<std::size_t>(j)] = bank.Phase(kSlot, frame, j);
    }
    if (const Status status = harmony.Save(output); !status.Ok()) return Fail(status.message);
    std::printf("Wrote frame %d (at %.3f s) of %s to %s\n", frame, static_cast<double>(bank.FrameTime(kSlot, frame)),
                parsed.positional[1].c_str(), output.c_str());
    return 0;
}

int Import(const TParsedArgs& parsed) {
    if (parsed.positional.size() != 3) return Fail("harmony import: give a harmony file and a program file");
    const std::string output = parsed.Value("--output");
    if (output.empty()) return Fail("harmony import: no output file given (-o OUT.bpa)");
    THarmonyFileManager harmony;
    if (const auto error = LoadHarmony(parsed.positional[1], harmony)) return Fail(*error);
    TProgramBank bank;
    if (const auto error = LoadProgram(parsed.positional[2], bank)) return Fail("harmony import: " + *error);
    int frame = 0;
    if (const auto error = FrameOption(parsed, bank, frame)) return Fail("harmony import: " + *error);

    for (int j = 0; j < THarmonyFileManager::kHarmonicCount; ++j) {
        bank.SetLevel(kSlot, frame, j, harmony.levels[static_cast<std::size_t>(j)]);
        bank.SetPhase(kSlot, frame, j, harmony.phases[static_cast<std::size_t>(j)]);
    }
    std::vector<std::uint8_t> record(record::kRecordSize);
    bank.CopyRecord(kSlot, record);
    const Status status = TPresetsFileManager().SaveProgram(
        output, TPresetsFileManager::ConstProgramSpan(record.data(), record::kRecordSize));
    if (!status.Ok()) return Fail("harmony import: could not write '" + output + "': " + status.message);
    std::printf("Wrote %s: %s with frame %d from %s\n", output.c_str(), parsed.positional[2].c_str(), frame,
                parsed.positional[1].c_str());
    return 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

int Text(const TParsedArgs& parsed) {
    if (parsed.positional.size() != 2) return Fail("harmony text: give one program or harmony file");
    const std::string& input = parsed.positional[1];
    const std::string output = parsed.Value("--output");
    if (output.empty()) return Fail("harmony text: no output file given (-o OUT.qh)");
    THarmonyText harmony;
    for (const std::string& comment : parsed.All("--comment")) {
        if (comment.find_first_of("\r\n") != std::string::npos) return Fail("harmony text: a --comment is one line");
        harmony.comments.push_back(comment);
    }
    if (EndsWith(input, ".bha")) {
        THarmonyFileManager file;
        if (const auto error = LoadHarmony(input, file)) return Fail("harmony text: " + *error);
        THarmonyTextFrame frame = THarmonyTextFrame::Silent(0.0f);
        for (int j = 1; j < THarmonyFileManager::kHarmonicCount; ++j) {
            frame.levels[static_cast<std::size_t>(j)] = file.levels[static_cast<std::size_t>(j)];
            frame.phases[static_cast<std::size_t>(j)] = file.phases[static_cast<std::size_t>(j)];
        }
        harmony.frames.push_back(frame);
    } else {
        TProgramBank bank;
        if (const auto error = LoadProgram(input, bank)) return Fail("harmony text: " + *error);
        const int frames = std::clamp(bank.FrameCount(kSlot), 1, record::kMaxFrames);
        for (int f = 0; f < frames; ++f) {
            THarmonyTextFrame frame = THarmonyTextFrame::Silent(bank.FrameTime(kSlot, f));
            for (int j = 1; j < record::kHarmonicCount; ++j) {
                frame.levels[static_cast<std::size_t>(j)] = bank.Level(kSlot, f, j);
                frame.phases[static_cast<std::size_t>(j)] = bank.Phase(kSlot, f, j);
            }
            harmony.frames.push_back(frame);
        }
        if (bank.Parameter(kSlot, kHarmonyLoopEnable) >= 0.5f)
            harmony.loop = std::make_pair(bank.HarmonyLoopStart(kSlot), bank.HarmonyLoopEnd(kSlot));
    }
    if (const Status status = WriteHarmonyText(output, harmony); !status.Ok())
        return Fail("harmony text: could not write '" + output + "': " + status.message);
    std::printf("Wrote %s: %zu frame(s) from %s\n", output.c_str(), harmony.frames.size(), input.c_str());
    return 0;
}

} // namespace

int RunHarmony(TArgs args) {
    TParsedArgs parsed;
    if (const auto error = ParseArgs(args, kHarmonyOptions, parsed)) return Fail("harmony: " + *error);
    if (parsed.help) {
        std::printf("%s", kHarmonyHelp);
        return 0;
    }
    const std::string verb = parsed.positional.empty() ? std::string() : parsed.positional.front();
    if (verb == "show") return Show(parsed);
    if (verb == "export") return Export(parsed);
    if (verb == "import") return Import(parsed);
    if (verb == "text") return Text(parsed);
    return Fail(verb.empty() ? "harmony: give show, export, import or text (try 'quillon harmony --help')"
                             : "harmony: unknown verb '" + verb + "' (show, export, import or text)");
}

} // namespace quillon
