// `quillon fidelity`. For every note recording: analyse it in medium mode as `quillon analyze` does, play
// the program at the note's own pitch through the plug-in with neutral settings (one oscillator, no
// filter, no noise, no LFOs, no effects, velocity off; the fresh program's amplitude envelope holds full
// level), and compare the harmonic levels of the held part of the recording and of the rendering every
// 50 ms. A plain sawtooth and an additive resynthesis of the recording go through the same comparison as
// the two bounds: what knowing nothing scores, and what a perfect harmony scores. A program made from the
// recording's own harmonic levels every 0.5 s (the round trip) is played like the analysed one: what a perfect
// analysis scores, so that what rendering loses is told apart from what the analysis does. The pitch of every
// harmony frame is checked against the note.
//
// A recording's note is the last '-'-separated part of its file name ("violin-67.wav"), or --note.
// The result is a Markdown table on stdout.
#include "FidelityCommand.h"

#include "AnalyzeCommand.h"
#include "FidelityMeasures.h"
#include "TWavFileWriter.h"
#include "analysis/ReadWaveFile.h"
#include "analysis/THarmonicAudioAnalyzer.h"
#include "files/TPresetsFileManager.h"
#include "hostkit/TRecordRenderer.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

namespace {

using namespace cli;
using namespace vst2;
namespace fs = std::filesystem;

constexpr int kMediumMode = 2;
constexpr VstInt32 kBlock = 512;
constexpr std::uint8_t kVelocity = 100;
constexpr double kTripSeconds = 0.5; // spacing of the round trip's frames

// Parameters (index, normalised value) that make the plug-in play the harmony plainly.
constexpr std::pair<VstInt32, float> kNeutralParameters[] = {
    {0, 0.0f},   // one oscillator
    {5, 0.0f},   // no harmony loop
    {6, 0.0f},   // no harmony time stretch
    {7, 0.0f},   // no pitch envelope
    {13, 0.0f},  // filter off
    {18, 0.0f},  // no filter envelope
    {25, 0.0f},  // no noise
    {34, 0.0f},  // LFO 1 off
    {40, 0.0f},  // LFO 1: no vibrato
    {42, 0.0f},  // LFO 1: no tremolo
    {48, 0.0f},  // LFO 2 off
    {54, 0.0f},  // LFO 2: no vibrato
    {56, 0.0f},  // LFO 2: no tremolo
    {74, 0.0f},  // velocity does not change the level
    {76, 0.0f},  // chorus off
    {84, 0.0f},  // phaser off
    {92, 0.0f},  // delay off
    {100, 0.0f}, // reverb off
    {107, 0.5f}, // no fine tuning
    {111, 0.5f}, // no transposition
    {112, 0.5f}, // no octave transposition
    {116, 0.0f}, // no time stretch by key
};

constexpr TOptionSpec kFidelityOptions[] = {
    {"--note", nullptr, "N", false},
    {"--plugin", nullptr, "PATH", false},
    {"--make-synthetic", nullptr, "DIR", false},
    {"--harmonics", nullptr, nullptr, false},
};

constexpr const char* kFidelityHelp =
    "usage: quillon fidelity NOTE.wav|DIR... [--note N] [--plugin PATH] [--harmonics]\n"
    "       quillon fidelity --make-synthetic DIR\n"
    "\n"
    "Analyses each recording of one held note in medium mode, plays the program at the note's pitch\n"
    "through the plug-in with plain settings, and compares harmonics 1-20 of the held part (the middle\n"
    "half of the note) every 50 ms, each normalised to its strongest harmonic, over the harmonics above\n"
    "-50 dB in the recording or the rendering. Prints a Markdown table: per note the median error in dB,\n"
    "the same for a plain sawtooth, for an additive resynthesis of the recording and for a program made\n"
    "from the recording's own harmonic levels every 0.5 s (the round trip), the harmony frames\n"
    "kept, those more than 50 cents off the note (and how many of them lie in the held part, where the\n"
    "note is steady), their median offset in cents, whether the analyser\n"
    "locked onto a wrong pitch (that median more than 50 cents off), and failures; then the medians per\n"
    "instrument and overall.\n"
    "\n"
    "  NOTE.wav | DIR         recordings, or folders whose .wav files are read in name order; a file is\n"
    "                         named INSTRUMENT-NOTE.wav (NOTE: the MIDI note number, 0..127)\n"
    "  --note N               the MIDI note of every recording given (instead of the file names)\n"
    "  --plugin PATH          the plug-in (default: " QUILLON_PLUGIN_FILE " next to this program)\n"
    "  --harmonics            also print the median level difference (rendering - recording) of each\n"
    "                         harmonic 1-20 in dB per note, then medians per instrument and overall:\n"
    "                         positive where the program plays the harmonic too loud\n"
    "  --make-synthetic DIR   write the synthetic test notes into DIR instead (a sine, a saw-like tone\n"
    "                         with weak harmonics at -45 and -65 dB, a noisy onset, a slow onset)\n";

struct TNoteFile {
    std::string path;
    std::string instrument;
    int note = 0;
};

struct TNoteResult {
    std::string instrument;
    int note = 0;
    bool failed = false;
    double error = -1.0; // dB; negative: not measured
    double saw = -1.0;
    double ideal = -1.0;
    double trip = -1.0; // the recording's own levels every 0.5 s, played through the plug-in
    int frames = 0;
    int framesOff = 0;
    int heldOff = 0;          // of those, the frames within the held part, where the note is steady
    double medianCents = 0.0; // of the frames' fundamentals against the note
    bool wrongPitch = false;
    std::array<std::optional<double>, fidelity::kHarmonics> bias{}; // rendering − recording per harmonic
};

std::optional<std::string> NoteFromName(const fs::path& path, TNoteFile& file) {
    const std::string stem = platform::Utf8FromPath(path.stem());
    const std::size_t dash = stem.rfind('-');
    const std::optional<long long> note =
        dash == std::string::npos ? std::nullopt : IntegerArgument(stem.substr(dash + 1));
    if (!note || *note < 0 || *note > 127)
        return platform::Utf8FromPath(path) + ": the name does not end in -NOTE (a MIDI note 0..127); give --note";
    file.instrument = stem.substr(0, dash);
    file.note = static_cast<int>(*note);
    return std::nullopt;
}

std::optional<std::string> CollectFiles(const TParsedArgs& parsed, std::vector<TNoteFile>& files) {
    std::optional<int> note;
    if (parsed.Has("--note")) {
        const std::optional<long long> number = IntegerArgument(parsed.Value("--note"));
        if (!number || *number < 0 || *number > 127)
            return "--note '" + parsed.Value("--note") + "' is not a MIDI note 0..127";
        note = static_cast<int>(*number);
    }
    std::vector<fs::path> paths;
    for (const std::string& argument : parsed.positional) {
        std::error_code error;
        if (fs::is_directory(platform::PathFromUtf8(argument), error)) {
            std::vector<fs::path> inside;
            for (const auto& entry : fs::directory_iterator(platform::PathFromUtf8(argument), error))
                if (entry.path().extension() == ".wav") inside.push_back(entry.path());
            if (inside.empty()) return argument + ": no .wav files in this folder";
            std::sort(inside.begin(), inside.end());
            paths.insert(paths.end(), inside.begin(), inside.end());
        } else if (fs::exists(platform::PathFromUtf8(argument), error)) {
            paths.push_back(platform::PathFromUtf8(argument));
        } else {
            return argument + ": no such file or folder";
        }
    }
    for (const fs::path& path : paths) {
        TNoteFile file{platform::Utf8FromPath(path), platform::Utf8FromPath(path.stem()), note.value_or(0)};
        if (!note)
            if (auto error = NoteFromName(path, file)) return error;
        files.push_back(file);
    }
    return std::nullopt;
}

// Plays `program` (a program record) as one note held for `frames` frames; the first output channel.
std::optional<std::string> RenderNote(const std::string& pluginPath, const std::vector<std::uint8_t>& program, int note,
                                      int rate, std::int64_t frames, std::vector<float>& out) {
    TRecordRenderer renderer;
    if (auto error = renderer.Start(pluginPath, program, rate, kBlock, kNeutralParameters)) return error;
    const TRecordRenderer::TEvent noteOn[] = {{0, 0x90, static_cast<std::uint8_t>(note), kVelocity}};
    out.clear();
    out.reserve(static_cast<std::size_t>(frames));
    return renderer.Render(frames, noteOn, out);
}

// Measures one recording; an error text for a fault of the tool or the plug-in (not of the analyser).
std::optional<std::string> MeasureNote(const TNoteFile& file, const std::string& pluginPath, TNoteResult& result) {
    using namespace fidelity;
    result.instrument = file.instrument;
    result.note = file.note;
    TWaveData wave;
    if (const Status status = ReadWaveFile(file.path, wave); !status.Ok()) return file.path + ": " + status.message;
    std::vector<float> recording(static_cast<std::size_t>(wave.frames));
    for (std::size_t i = 0; i < recording.size(); ++i)
        recording[i] = wave.samples[i * static_cast<std::size_t>(wave.channels)];
    const double rate = wave.sampleRate;
    const double pitch = NoteFrequency(file.note);

    std::vector<float> analysed = recording;
    THarmonicAudioAnalyzer analyzer;
    analyzer.SetMode(kMediumMode);
    const std::vector<TAnalysisPoint> points = analyzer.Analyze(analysed, static_cast<float>(rate));
    result.failed = points.empty();
    result.frames = static_cast<int>(points.size());
    const std::vector<double> centres = HeldFrameCentres(recording, rate);
    // Frame times count from the first frame, which lies at the recording's start for notes that sound at
    // once, as the corpus's do.
    const auto held = [&centres, rate](double seconds) {
        return !centres.empty() && seconds * rate >= centres.front() && seconds * rate <= centres.back();
    };
    std::vector<double> frameCents;
    for (const TAnalysisPoint& point : points) {
        const double cents = point.fundamental > 0.0f ? Cents(point.fundamental, pitch) : 1e9;
        frameCents.push_back(cents);
        if (std::fabs(cents) <= kPitchToleranceCents) continue;
        ++result.framesOff;
        if (held(point.time)) ++result.heldOff;
    }
    result.medianCents = Median(frameCents);
    result.wrongPitch = !points.empty() && std::fabs(result.medianCents) > kPitchToleranceCents;

    if (centres.empty()) return std::nullopt;
    const double recordedPitch = RefineFundamental(recording, rate, pitch, centres);
    std::vector<TAmplitudes> amplitudes;
    std::vector<TLevels> recorded;
    for (const double centre : centres) {
        amplitudes.push_back(HarmonicAmplitudes(recording, rate, recordedPitch, centre));
        recorded.push_back(RelativeLevels(amplitudes.back()));
    }
    const auto frames = static_cast<std::int64_t>(recording.size());
    const std::vector<float> ideal = Resynthesis(rate, recordedPitch, frames, centres, amplitudes);
    result.ideal = ProfileError(recorded, LevelsAt(ideal, rate, recordedPitch, centres));
    const std::vector<float> saw = Sawtooth(rate, pitch, frames);
    result.saw = ProfileError(recorded, LevelsAt(saw, rate, pitch, centres));

    // The round trip: a program whose frames hold the recording's own harmonic levels every 0.5 s, played
    // like the analysed one. What it loses is lost in the level bytes, the wavetables and the playback.
    std::vector<TAnalysisPoint> own;
    for (double t = 0.0; t * rate < static_cast<double>(frames) && own.size() < THarmonicAudioAnalyzer::kMaxPoints;
         t += kTripSeconds) {
        const TAmplitudes measured = HarmonicAmplitudes(recording, rate, recordedPitch, t * rate);
        const double strongest = *std::max_element(measured.begin(), measured.end());
        if (strongest <= 0.0) continue;
        TAnalysisPoint point;
        point.time = t;
        point.fundamental = static_cast<float>(pitch);
        for (std::size_t k = 0; k < measured.size(); ++k)
            point.amplitudes[k + 1] = static_cast<float>(0.5 * measured[k] / strongest);
        own.push_back(point);
    }
    if (!own.empty()) {
        const double start = own.front().time;
        for (TAnalysisPoint& point : own)
            point.time -= start;
        std::vector<float> tripped;
        if (auto error =
                RenderNote(pluginPath, AnalysisProgram(own, "round trip"), file.note, wave.sampleRate, frames, tripped))
            return file.path + ": " + *error;
        const double trippedPitch = RefineFundamental(tripped, rate, pitch, centres);
        result.trip = ProfileError(recorded, LevelsAt(tripped, rate, trippedPitch, centres));
    }

    if (result.failed) return std::nullopt;
    std::vector<float> rendered;
    if (auto error =
            RenderNote(pluginPath, AnalysisProgram(points, "fidelity"), file.note, wave.sampleRate, frames, rendered))
        return file.path + ": " + *error;
    const double renderedPitch = RefineFundamental(rendered, rate, pitch, centres);
    const std::vector<TLevels> played = LevelsAt(rendered, rate, renderedPitch, centres);
    result.error = ProfileError(recorded, played);
    result.bias = HarmonicBias(recorded, played);
    return std::nullopt;
}

std::string Decibels(double value) {
    if (value < 0.0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// Medians of the measured values of `results`, as one table row after `label`.
void PrintSummaryRow(const std::string& label, const std::vector<const TNoteResult*>& results) {
    std::vector<double> errors;
    std::vector<double> saws;
    std::vector<double> ideals;
    std::vector<double> trips;
    int off = 0;
    int heldOff = 0;
    int locks = 0;
    int failures = 0;
    for (const TNoteResult* r : results) {
        if (r->error >= 0.0) errors.push_back(r->error);
        if (r->saw >= 0.0) saws.push_back(r->saw);
        if (r->ideal >= 0.0) ideals.push_back(r->ideal);
        if (r->trip >= 0.0) trips.push_back(r->trip);
        off += r->framesOff > 0 ? 1 : 0;
        heldOff += r->heldOff > 0 ? 1 : 0;
        locks += r->wrongPitch ? 1 : 0;
        failures += r->failed ? 1 : 0;
    }
    auto median = [](const std::vector<double>& v) { return v.empty() ? -1.0 : fidelity::Median(v); };
    std::printf("| %s | %zu | %s | %s | %s | %s | %d | %d | %d | %d |\n", label.c_str(), results.size(),
                Decibels(median(errors)).c_str(), Decibels(median(saws)).c_str(), Decibels(median(ideals)).c_str(),
                Decibels(median(trips)).c_str(), off, heldOff, locks, failures);
}

void PrintBiasHeader(const char* first) {
    std::printf("\n| %s |", first);
    for (int k = 1; k <= fidelity::kHarmonics; ++k)
        std::printf(" h%d |", k);
    std::printf("\n|---|");
    for (int k = 1; k <= fidelity::kHarmonics; ++k)
        std::printf("---:|");
    std::printf("\n");
}

void PrintBiasCells(const std::array<std::optional<double>, fidelity::kHarmonics>& bias) {
    for (const std::optional<double>& value : bias) {
        if (value)
            std::printf(" %+.0f |", std::fabs(*value) < 0.5 ? 0.0 : *value);
        else
            std::printf(" . |");
    }
    std::printf("\n");
}

// The signed level difference of every harmonic, per note and then as medians over the notes of each
// instrument and over all; "." where a harmonic never counts.
void PrintBiasTables(const std::vector<TNoteResult>& results) {
    PrintBiasHeader("note");
    std::map<std::string, std::vector<const TNoteResult*>> byInstrument;
    std::vector<const TNoteResult*> all;
    for (const TNoteResult& r : results) {
        if (r.error < 0.0) continue;
        std::printf("| %s-%d |", r.instrument.c_str(), r.note);
        PrintBiasCells(r.bias);
        byInstrument[r.instrument].push_back(&r);
        all.push_back(&r);
    }
    auto medians = [](const std::vector<const TNoteResult*>& rows) {
        std::array<std::optional<double>, fidelity::kHarmonics> bias{};
        for (std::size_t k = 0; k < bias.size(); ++k) {
            std::vector<double> values;
            for (const TNoteResult* r : rows)
                if (r->bias[k]) values.push_back(*r->bias[k]);
            if (!values.empty()) bias[k] = fidelity::Median(std::move(values));
        }
        return bias;
    };
    PrintBiasHeader("instrument");
    for (const auto& [instrument, rows] : byInstrument) {
        std::printf("| %s |", instrument.c_str());
        PrintBiasCells(medians(rows));
    }
    std::printf("| **all** |");
    PrintBiasCells(medians(all));
}

void PrintTables(const std::vector<TNoteResult>& results) {
    std::printf("| instrument | note | error dB | saw dB | ideal dB | trip dB | frames | frames off | held off | "
                "cents | pitch lock | failure |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|---|\n");
    std::map<std::string, std::vector<const TNoteResult*>> byInstrument;
    std::vector<const TNoteResult*> all;
    for (const TNoteResult& r : results) {
        const std::string cents = r.failed ? "-" : std::to_string(std::lround(r.medianCents));
        std::printf("| %s | %d | %s | %s | %s | %s | %d | %d | %d | %s | %s | %s |\n", r.instrument.c_str(), r.note,
                    Decibels(r.error).c_str(), Decibels(r.saw).c_str(), Decibels(r.ideal).c_str(),
                    Decibels(r.trip).c_str(), r.frames, r.framesOff, r.heldOff, cents.c_str(),
                    r.wrongPitch ? "yes" : "no", r.failed ? "yes" : "no");
        byInstrument[r.instrument].push_back(&r);
        all.push_back(&r);
    }
    std::printf("\n| instrument | notes | error dB | saw dB | ideal dB | trip dB | notes with frames off | "
                "of them while held | pitch locks | failures |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const auto& [instrument, rows] : byInstrument)
        PrintSummaryRow(instrument, rows);
    PrintSummaryRow("**all**", all);
}

// The synthetic notes: exact signals whose harmonics are known.
std::optional<std::string> WriteSynthetic(const std::string& folder) {
    constexpr int kRate = 44100;
    constexpr double kSeconds = 2.5;
    constexpr auto kFrames = static_cast<std::int64_t>(kRate * kSeconds);
    std::error_code error;
    fs::create_directories(platform::PathFromUtf8(folder), error);
    if (error) return folder + ": " + error.message();
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);

    struct TTone {
        const char* name;
        int note;
    };
    const TTone tones[] = {{"synth_sine", 57}, {"synth_weak", 45}, {"synth_noisyonset", 48}, {"synth_slowonset", 60}};
    for (const TTone& tone : tones) {
        const std::string name = tone.name;
        fidelity::TAmplitudes amplitudes{};
        amplitudes[0] = 0.5;
        if (name != "synth_sine") {
            for (std::size_t k = 1; k < 10; ++k)
                amplitudes[k] = 0.5 / static_cast<double>(k + 1);
            if (name == "synth_weak") {
                for (std::size_t k = 10; k < 15; ++k)
                    amplitudes[k] = 0.5 * std::pow(10.0, -45.0 / 20.0);
                for (std::size_t k = 15; k < 20; ++k)
                    amplitudes[k] = 0.5 * std::pow(10.0, -65.0 / 20.0);
            }
        }
        const double centre = 0.0;
        std::vector<float> samples = fidelity::Resynthesis(kRate, fidelity::NoteFrequency(tone.note), kFrames,
                                                           std::span(&centre, 1), std::span(&amplitudes, 1));
        for (std::size_t n = 0; n < samples.size(); ++n) {
            const double t = static_cast<double>(n) / kRate;
            double gain = std::min({1.0, t / 0.01, (kSeconds - t) / 0.05}); // short fades against clicks
            if (name == "synth_slowonset") gain = std::min(gain, t / 1.0);
            samples[n] = static_cast<float>(samples[n] * gain);
            if (name == "synth_noisyonset" && t < 0.15)
                samples[n] += static_cast<float>(0.4 * (1.0 - t / 0.15) * noise(random));
        }
        TWavFileWriter writer;
        const std::string path = platform::Utf8FromPath(
            platform::PathFromUtf8(folder) / platform::PathFromUtf8(name + "-" + std::to_string(tone.note) + ".wav"));
        if (!writer.Open(path, kRate, 1) || !writer.Write(samples.data(), samples.size()) || !writer.Commit())
            return writer.Error();
    }
    return std::nullopt;
}

} // namespace

int RunFidelity(TArgs args) {
    TParsedArgs parsed;
    if (const auto error = ParseArgs(args, kFidelityOptions, parsed)) return Fail("fidelity: " + *error);
    if (parsed.help) {
        std::printf("%s", kFidelityHelp);
        return 0;
    }
    if (parsed.Has("--make-synthetic")) {
        if (!parsed.positional.empty()) return Fail("fidelity: --make-synthetic takes no recordings");
        if (auto error = WriteSynthetic(parsed.Value("--make-synthetic"))) return Fail("fidelity: " + *error);
        return 0;
    }
    if (parsed.positional.empty()) return Fail("fidelity: no recordings given");
    std::vector<TNoteFile> files;
    if (auto error = CollectFiles(parsed, files)) return Fail("fidelity: " + *error);

    const std::string pluginPath = PluginPath(parsed);
    std::vector<TNoteResult> results;
    for (const TNoteFile& file : files) {
        TNoteResult result;
        if (auto error = MeasureNote(file, pluginPath, result)) return Fail("fidelity: " + *error);
        results.push_back(result);
    }
    PrintTables(results);
    if (parsed.Has("--harmonics")) PrintBiasTables(results);
    return 0;
}

} // namespace quillon
