// `quillon analyze`. Reads a WAV file with the plug-in's wave reader, runs the harmonic analyser on its
// first channel, writes the points as the harmony frames of a fresh program (the defaults of a new program
// otherwise) and saves that as a program file, as the editor's "Analyze Audio File" command does with the
// current program.
#include "AnalyzeCommand.h"

#include "analysis/ReadWaveFile.h"
#include "analysis/THarmonicAudioAnalyzer.h"
#include "analysis/TWaveStream.h"
#include "core/TProgramBank.h"
#include "files/TPresetsFileManager.h"
#include "platform/Utf8Path.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace quillon {

namespace {

using namespace cli;

constexpr const char* kAnalyzeFailed = "Analyze failed. Refer to the manual for help.";
constexpr double kProgressFromSeconds = 5.0; // recordings at least this long show a progress bar
constexpr std::uint8_t kZeroPhase = 128;

constexpr TOptionSpec kAnalyzeOptions[] = {
    {"--output", "-o", "OUT.bpa", false},
    {"--mode", nullptr, "MODE", false},
    {"--name", nullptr, "NAME", false},
};

constexpr const char* kAnalyzeHelp =
    "usage: quillon analyze IN.wav -o OUT.bpa [--mode dynamic|medium|soft] [--name NAME]\n"
    "\n"
    "Reads a WAV file (PCM, float, ADPCM, mu-law, A-law, GSM 6.10), follows the pitch of its first\n"
    "channel period by period and keeps up to 100 harmony frames, at most 20 s, where the sound changes.\n"
    "The frames become the harmony of a new program (every other setting at its default), which is\n"
    "written as a Quillon program file. It prints the frames kept with their times and fundamentals.\n"
    "\n"
    "  -o, --output OUT.bpa   the program file to write; an existing file is replaced\n"
    "  --mode MODE            dynamic (most frames), medium (default) or soft (fewest, smoothest)\n"
    "  --name NAME            the program's name, at most 24 characters (default: the WAV file's name)\n"
    "\n"
    "Long recordings show a progress bar on stderr when it is a terminal.\n";

struct TMode {
    const char* name;
    int analyzerMode;
};

constexpr TMode kModes[] = {{"dynamic", 1}, {"medium", 2}, {"soft", 3}};

// The nearest note of a frequency, with the deviation in cents ("A4 +3").
std::string NoteText(double frequency) {
    static constexpr const char* kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    if (!(frequency > 0.0)) return "-";
    const double note = 69.0 + 12.0 * std::log2(frequency / 440.0);
    const long nearest = std::lround(note);
    if (nearest < 0 || nearest > 127) return "-";
    const long cents = std::lround((note - static_cast<double>(nearest)) * 100.0);
    std::string text = std::string(kNames[nearest % 12]) + std::to_string(nearest / 12 - 1);
    if (cents != 0) text += (cents > 0 ? " +" : " ") + std::to_string(cents);
    return text;
}

// A one-line progress bar on stderr, at most ten times a second.
class TProgress {
public:
    explicit TProgress(bool enabled) : enabled_(enabled) {}

    void Show(double done) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (done < 1.0 && shown_ && now - lastShown_ < std::chrono::milliseconds(100)) return;
        shown_ = true;
        lastShown_ = now;
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(done * kWidth);
        std::fprintf(stderr, "\ranalysing [%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '-').c_str(), static_cast<int>(done * 100.0));
        if (done >= 1.0) std::fprintf(stderr, "\n");
        std::fflush(stderr);
    }

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastShown_{};
};

} // namespace

std::vector<std::uint8_t> AnalysisProgram(const std::vector<TAnalysisPoint>& points, const std::string& name) {
    TProgramBank bank; // slot 0 holds a fresh program
    constexpr int kSlot = 0;
    bank.SetName(kSlot, name.c_str());
    bank.SetFrameCount(kSlot, static_cast<int>(points.size()));
    for (std::size_t k = 0; k < points.size(); ++k) {
        const auto frame = static_cast<int>(k);
        bank.SetFrameTime(kSlot, frame, static_cast<float>(points[k].time));
        for (int j = 1; j < record::kHarmonicCount; ++j) {
            bank.SetLevel(kSlot, frame, j,
                          THarmonicAudioAnalyzer::LevelByte(points[k].amplitudes[static_cast<std::size_t>(j)]));
            bank.SetPhase(kSlot, frame, j, kZeroPhase);
        }
    }
    std::vector<std::uint8_t> program(record::kRecordSize);
    bank.CopyRecord(kSlot, program);
    return program;
}

int RunAnalyze(TArgs args) {
    TParsedArgs parsed;
    if (const auto error = ParseArgs(args, kAnalyzeOptions, parsed)) return Fail("analyze: " + *error);
    if (parsed.help) {
        std::printf("%s", kAnalyzeHelp);
        return 0;
    }
    if (parsed.positional.empty()) return Fail("analyze: no WAV file given");
    if (parsed.positional.size() > 1) return Fail("analyze: unexpected argument '" + parsed.positional[1] + "'");
    const std::string inputPath = parsed.positional.front();
    const std::string outputPath = parsed.Value("--output");
    if (outputPath.empty()) return Fail("analyze: no output file given (-o OUT.bpa)");
    const TMode* mode = &kModes[1];
    if (parsed.Has("--mode")) {
        mode = nullptr;
        for (const TMode& candidate : kModes)
            if (parsed.Value("--mode") == candidate.name) mode = &candidate;
        if (mode == nullptr)
            return Fail("analyze: --mode '" + parsed.Value("--mode") + "' is not dynamic, medium or soft");
    }
    const std::string name = parsed.Has("--name")
                                 ? parsed.Value("--name")
                                 : platform::Utf8FromPath(platform::PathFromUtf8(inputPath).stem()).substr(0, 24);
    if (name.size() > static_cast<std::size_t>(record::kNameLength))
        return Fail("analyze: a program name has at most 24 characters");

    TWaveData wave;
    if (const Status status = ReadWaveFile(inputPath, wave); !status.Ok())
        return Fail(status.code == StatusCode::kNotValid ? inputPath + ": " + status.message : status.message);
    const double seconds = static_cast<double>(wave.frames) / wave.sampleRate;
    std::printf("Read %s: %d channel%s, %d Hz, %.3f s%s\n", inputPath.c_str(), wave.channels,
                wave.channels == 1 ? "" : "s", wave.sampleRate, seconds,
                wave.channels > 1 ? " (analysing the first channel)" : "");

    std::vector<float> channel(static_cast<std::size_t>(wave.frames));
    for (std::size_t i = 0; i < channel.size(); ++i)
        channel[i] = wave.samples[i * static_cast<std::size_t>(wave.channels)];
    wave.samples = {};

    THarmonicAudioAnalyzer analyzer;
    analyzer.SetMode(mode->analyzerMode);
    TProgress progress(seconds >= kProgressFromSeconds && isatty(STDERR_FILENO) == 1);
    analyzer.SetProgressHandler([&progress](double done) { progress.Show(done); });
    const std::vector<TAnalysisPoint> points = analyzer.Analyze(channel, static_cast<float>(wave.sampleRate));
    if (points.empty()) return Fail(inputPath + ": " + kAnalyzeFailed);

    const std::vector<std::uint8_t> program = AnalysisProgram(points, name);

    const Status status = TPresetsFileManager().SaveProgram(
        outputPath, TPresetsFileManager::ConstProgramSpan(program.data(), record::kRecordSize));
    if (!status.Ok()) return Fail("analyze: could not write '" + outputPath + "': " + status.message);

    std::printf("Mode %s: kept %zu frame%s\n", mode->name, points.size(), points.size() == 1 ? "" : "s");
    std::printf("  frame  time (s)  fundamental (Hz)  note\n");
    for (std::size_t k = 0; k < points.size(); ++k)
        std::printf("  %5zu  %8.3f  %16.2f  %s\n", k, points[k].time, static_cast<double>(points[k].fundamental),
                    NoteText(points[k].fundamental).c_str());
    std::printf("Wrote %s (program \"%s\")\n", outputPath.c_str(), name.c_str());
    return 0;
}

} // namespace quillon
