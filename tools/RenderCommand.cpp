// `quillon render`. The song is played in blocks of --block frames. Before each block the host reports
// the song position (sample position, quarter notes and tempo from the file's tempo map at the block's
// first frame), hands the block's MIDI events to the plug-in with effProcessEvents (each at frame
// round(seconds × rate) of the song, as deltaFrames within the block) and calls processReplacing.
// After the song's end it renders on until the output has stayed below −90 dBFS for 0.5 s, for at
// most --tail-max seconds; the file then ends at that frame. The plug-in is told that it renders
// offline (process level 4).
//
// Output: a stereo WAV file of 32-bit float samples at --rate. A mono plug-in is written to both
// channels; of more than two outputs, the first two are written.
#include "RenderCommand.h"

#include "TWavFileWriter.h"
#include "hostkit/TMidiFile.h"
#include "hostkit/TPluginHost.h"
#include "hostkit/TProgramFileChunk.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

namespace {

using namespace cli;
using namespace vst2;

constexpr long long kDefaultRate = 44100; // Hz
constexpr long long kMinRate = 8000;
constexpr long long kMaxRate = 768000;
constexpr long long kDefaultBlock = 512; // frames per processing call
constexpr long long kMaxBlock = 65536;
constexpr double kDefaultTailMax = 10.0; // seconds
constexpr double kMaxTailMax = 3600.0;
constexpr double kSilenceLevel = 3.1622776601683795e-5; // −90 dBFS, as a sample magnitude
constexpr double kSilenceSeconds = 0.5;                 // how long the output must stay below it
constexpr VstInt32 kMaxPins = 256;                      // input or output pins the host prepares buffers for
constexpr int kFileChannels = 2;
// A WAV file's sizes are 32-bit: the samples and a generous header must fit in 4 GiB.
constexpr std::int64_t kMaxFileFrames = (std::int64_t{0xFFFFFFFF} - 4096) / (kFileChannels * sizeof(float));

constexpr TOptionSpec kRenderOptions[] = {
    {"--output", "-o", "OUT.wav", false},      {"--program", nullptr, "P.bpa", false},
    {"--bank", nullptr, "B.bpb", false},       {"--slot", nullptr, "N", false},
    {"--plugin", nullptr, "PATH", false},      {"--rate", nullptr, "HZ", false},
    {"--block", nullptr, "N", false},          {"--param", nullptr, "INDEX=VALUE", true},
    {"--tail-max", nullptr, "SECONDS", false},
};

constexpr const char* kRenderHelp =
    "usage: quillon render SONG.mid -o OUT.wav [--program P.bpa | --bank B.bpb [--slot N]]\n"
    "                      [--plugin PATH] [--rate HZ] [--block N] [--param INDEX=VALUE]...\n"
    "                      [--tail-max SECONDS]\n"
    "\n"
    "Plays a Standard MIDI File (format 0 or 1) through a VST 2 plug-in offline and writes the sound\n"
    "as a stereo WAV file of 32-bit float samples. After the song it renders on until the output stays\n"
    "below -90 dBFS for 0.5 s (the release tail), for at most --tail-max seconds.\n"
    "\n"
    "  -o, --output OUT.wav   the file to write; replaced only when the whole render succeeds\n"
    "  --program P.bpa        load the sound of a Quillon program file (through effSetChunk)\n"
    "  --bank B.bpb           load the 64 sounds of a Quillon bank file into programs 0..63; the\n"
    "                         song's program changes choose among them\n"
    "  --slot N               with --bank: start on sound N (0..63; default 0)\n"
    "  --plugin PATH          the plug-in (default: " QUILLON_PLUGIN_FILE " next to this program)\n"
    "  --rate HZ              sample rate, 8000..768000 (default 44100)\n"
    "  --block N              frames per processing call, 1..65536 (default 512)\n"
    "  --param INDEX=VALUE    set parameter INDEX to VALUE (normalised 0..1) before playing; repeatable\n"
    "  --tail-max SECONDS     longest release tail after the song, 0..3600 (default 10)\n"
    "\n"
    "A progress bar appears on stderr when it is a terminal; otherwise only errors are printed.\n";

// What one render does, read from the command line.
struct TRenderJob {
    std::string songPath;
    std::string outputPath;
    std::string programPath; // empty: the plug-in's own current program
    std::string bankPath;    // every sound of it, in programs 0..63
    int slot = 0;            // with a bank: the program the song starts on
    std::string pluginPath;
    int rate = static_cast<int>(kDefaultRate);
    VstInt32 block = static_cast<VstInt32>(kDefaultBlock);
    double tailMax = kDefaultTailMax;
    std::vector<std::pair<VstInt32, float>> parameters; // index, normalised value, in command-line order
};

std::optional<std::string> IntegerOption(const TParsedArgs& parsed, const char* name, long long low, long long high,
                                         long long& value) {
    if (!parsed.Has(name)) return std::nullopt;
    const std::string text = parsed.Value(name);
    const std::optional<long long> number = IntegerArgument(text);
    if (!number || *number < low || *number > high)
        return std::string(name) + " '" + text + "' is not a whole number in " + std::to_string(low) + ".." +
               std::to_string(high);
    value = *number;
    return std::nullopt;
}

std::optional<std::string> ReadJob(const TParsedArgs& parsed, TRenderJob& job) {
    if (parsed.positional.empty()) return "no MIDI file given";
    if (parsed.positional.size() > 1) return "unexpected argument '" + parsed.positional[1] + "'";
    job.songPath = parsed.positional.front();
    if (!parsed.Has("--output")) return "no output file given (-o OUT.wav)";
    job.outputPath = parsed.Value("--output");
    if (job.outputPath.empty()) return "empty output path";

    if (parsed.Has("--program") && parsed.Has("--bank")) return "--program and --bank exclude each other";
    job.programPath = parsed.Value("--program");
    job.bankPath = parsed.Value("--bank");
    if (parsed.Has("--slot") && !parsed.Has("--bank")) return "--slot needs --bank";
    long long number = 0;
    if (auto error = IntegerOption(parsed, "--slot", 0, TProgramFileChunk::kBankSlots - 1, number)) return error;
    job.slot = static_cast<int>(number);

    job.pluginPath = PluginPath(parsed);
    number = kDefaultRate;
    if (auto error = IntegerOption(parsed, "--rate", kMinRate, kMaxRate, number)) return error;
    job.rate = static_cast<int>(number);
    number = kDefaultBlock;
    if (auto error = IntegerOption(parsed, "--block", 1, kMaxBlock, number)) return error;
    job.block = static_cast<VstInt32>(number);

    if (parsed.Has("--tail-max")) {
        const std::string text = parsed.Value("--tail-max");
        const std::optional<double> seconds = NumberArgument(text);
        if (!seconds || *seconds < 0.0 || *seconds > kMaxTailMax)
            return "--tail-max '" + text + "' is not a number of seconds in 0.." +
                   std::to_string(static_cast<int>(kMaxTailMax));
        job.tailMax = *seconds;
    }

    for (const std::string& text : parsed.All("--param")) {
        const std::size_t equals = text.find('=');
        const std::optional<long long> index =
            equals == std::string::npos ? std::nullopt : IntegerArgument(text.substr(0, equals));
        const std::optional<double> value =
            equals == std::string::npos ? std::nullopt : NumberArgument(text.substr(equals + 1));
        if (!index || !value) return "--param '" + text + "' is not INDEX=VALUE";
        if (*index < 0 || *index > std::numeric_limits<VstInt32>::max())
            return "--param '" + text + "': no parameter " + text.substr(0, equals);
        if (*value < 0.0 || *value > 1.0) return "--param '" + text + "': the value must lie in 0..1";
        job.parameters.emplace_back(static_cast<VstInt32>(*index), static_cast<float>(*value));
    }
    return std::nullopt;
}

// A one-line progress bar on stderr, drawn only when stderr is a terminal and at most ten times a second.
class TProgressBar {
public:
    explicit TProgressBar(std::int64_t songFrames, int rate)
        : enabled_(isatty(STDERR_FILENO) == 1), songFrames_(songFrames), rate_(rate) {}

    void Show(std::int64_t frame, bool finished = false) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!finished && shown_ && now - lastShown_ < std::chrono::milliseconds(100)) return;
        shown_ = true;
        lastShown_ = now;
        constexpr int kWidth = 30;
        const double done =
            songFrames_ > 0 ? std::min(1.0, static_cast<double>(frame) / static_cast<double>(songFrames_)) : 1.0;
        const int filled = static_cast<int>(done * kWidth);
        const std::string bar = std::string(filled, '#') + std::string(kWidth - filled, '-');
        const double seconds = static_cast<double>(frame) / rate_;
        const double songSeconds = static_cast<double>(songFrames_) / rate_;
        if (frame <= songFrames_)
            std::fprintf(stderr, "\rrendering [%s] %3d%%  %.1f / %.1f s   ", bar.c_str(),
                         static_cast<int>(done * 100.0), seconds, songSeconds);
        else
            std::fprintf(stderr, "\rrendering [%s] 100%%  %.1f s + tail %.1f s", bar.c_str(), songSeconds,
                         seconds - songSeconds);
        if (finished) std::fprintf(stderr, "\n");
        std::fflush(stderr);
    }

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastShown_{};
    std::int64_t songFrames_;
    int rate_;
};

struct TTimedEvent {
    std::int64_t frame; // from the start of the song
    VstMidiEvent event;
};

// Loads the plug-in and prepares it for the job: open, rate, block size, the program chunk, the
// parameters, resume. Returns an error text on failure.
std::optional<std::string> PreparePlugin(TPluginHost& host, const TRenderJob& job) {
    TProgramFileChunk file;
    if (!job.programPath.empty() && !file.LoadProgramFile(job.programPath)) return file.Error();
    if (!job.bankPath.empty() && !file.LoadWholeBankFile(job.bankPath)) return file.Error();

    if (!host.Load(job.pluginPath)) return host.Error();
    const AEffect& effect = *host.Effect();
    if (effect.processReplacing == nullptr) return "the plug-in offers no processReplacing";
    if (effect.numOutputs < 1) return "the plug-in has no audio outputs";
    if (effect.numOutputs > kMaxPins || effect.numInputs > kMaxPins || effect.numInputs < 0)
        return "the plug-in declares " + std::to_string(effect.numInputs) + " inputs and " +
               std::to_string(effect.numOutputs) + " outputs (at most " + std::to_string(kMaxPins) + " each)";

    host.Open();
    host.SetSampleRate(static_cast<float>(job.rate));
    host.SetBlockSize(job.block);
    if (!job.programPath.empty() || !job.bankPath.empty()) {
        if (auto refused = SendSounds(host, file, job.slot, job.bankPath.empty() ? job.programPath : job.bankPath))
            return refused;
    }
    for (const auto& [index, value] : job.parameters) {
        if (index >= effect.numParams)
            return "--param " + std::to_string(index) + ": the plug-in has " + std::to_string(effect.numParams) +
                   " parameters";
        host.SetParameter(index, value);
    }
    host.Resume();
    return std::nullopt;
}

// Renders the song into the open file. Returns an error text on failure.
std::optional<std::string> RenderSong(TPluginHost& host, const TMidiFile& song, const TRenderJob& job,
                                      TWavFileWriter& file) {
    const AEffect& effect = *host.Effect();
    const double rate = job.rate;
    const auto block = static_cast<std::size_t>(job.block);

    std::vector<TTimedEvent> events;
    events.reserve(song.Events().size());
    for (const TMidiFile::TEvent& e : song.Events())
        events.push_back({std::llround(e.seconds * rate), TPluginHost::MidiEvent(0, e.status, e.data1, e.data2)});
    std::stable_sort(events.begin(), events.end(),
                     [](const TTimedEvent& a, const TTimedEvent& b) { return a.frame < b.frame; });

    // The song ends at the file's end of track, and at least one frame after its last event.
    std::int64_t songEnd = std::llround(song.Length() * rate);
    if (!events.empty()) songEnd = std::max(songEnd, events.back().frame + 1);
    if (songEnd > kMaxFileFrames)
        return "the song (" + std::to_string(songEnd / job.rate) + " s) is too long for a WAV file at " +
               std::to_string(job.rate) + " Hz";
    // The tail ends at the cap, or where the file would outgrow the format.
    const std::int64_t end = std::min<std::int64_t>(songEnd + std::llround(job.tailMax * rate), kMaxFileFrames);
    const std::int64_t quietNeeded = std::llround(kSilenceSeconds * rate);

    std::vector<std::vector<float>> inputs(static_cast<std::size_t>(effect.numInputs), std::vector<float>(block));
    std::vector<std::vector<float>> outputs(static_cast<std::size_t>(effect.numOutputs), std::vector<float>(block));
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;
    inputPointers.reserve(inputs.size());
    outputPointers.reserve(outputs.size());
    for (auto& channel : inputs)
        inputPointers.push_back(channel.data());
    for (auto& channel : outputs)
        outputPointers.push_back(channel.data());
    const float* left = outputs[0].data();
    const float* right = outputs.size() > 1 ? outputs[1].data() : left;
    std::vector<float> interleaved(block * kFileChannels);
    std::vector<VstMidiEvent> blockEvents;
    blockEvents.reserve(std::min<std::size_t>(events.size(), 1024));

    TProgressBar progress(songEnd, job.rate);
    std::size_t nextEvent = 0;
    std::int64_t position = 0;
    std::int64_t quietRun = 0; // frames in a row below the silence level, up to `position`
    while (position < end && !(position >= songEnd && quietRun >= quietNeeded)) {
        const auto frames =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(block), end - position));
        const double seconds = static_cast<double>(position) / rate;
        host.SetSongPosition(static_cast<double>(position), song.QuarterNotesAt(seconds), song.TempoAt(seconds));

        blockEvents.clear();
        const std::int64_t blockEnd = position + static_cast<std::int64_t>(frames);
        for (; nextEvent < events.size() && events[nextEvent].frame < blockEnd; ++nextEvent) {
            VstMidiEvent event = events[nextEvent].event;
            event.deltaFrames = static_cast<VstInt32>(events[nextEvent].frame - position);
            blockEvents.push_back(event);
        }
        if (!blockEvents.empty()) host.SendMidiEvents(blockEvents);

        for (auto& channel : outputs)
            std::fill(channel.begin(), channel.end(), 0.0f);
        if (!host.ProcessReplacing(inputPointers, outputPointers, static_cast<VstInt32>(frames)))
            return "the plug-in could not process a block";

        // Keep the frames up to the point where the tail has been quiet long enough.
        std::size_t keep = frames;
        for (std::size_t i = 0; i < frames; ++i) {
            interleaved[2 * i] = left[i];
            interleaved[2 * i + 1] = right[i];
            const bool quiet = std::fabs(left[i]) < kSilenceLevel && std::fabs(right[i]) < kSilenceLevel;
            quietRun = quiet ? quietRun + 1 : 0;
            if (position + static_cast<std::int64_t>(i) + 1 >= songEnd && quietRun >= quietNeeded) {
                keep = i + 1;
                break;
            }
        }
        if (!file.Write(interleaved.data(), keep)) return file.Error();
        position += static_cast<std::int64_t>(keep);
        progress.Show(position);
    }
    progress.Show(position, true);
    return std::nullopt;
}

} // namespace

int RunRender(TArgs args) {
    TParsedArgs parsed;
    if (const auto error = ParseArgs(args, kRenderOptions, parsed)) return Fail("render: " + *error);
    if (parsed.help) {
        std::printf("%s", kRenderHelp);
        return 0;
    }
    TRenderJob job;
    if (const auto error = ReadJob(parsed, job)) return Fail("render: " + *error);

    TMidiFile song;
    if (!song.Load(job.songPath)) return Fail(song.Error());

    TPluginHost::TSettings settings;
    settings.sampleRate = static_cast<float>(job.rate);
    settings.blockSize = job.block;
    settings.processLevel = kVstProcessLevelOffline;
    settings.tempo = song.TempoAt(0.0);
    TPluginHost host(settings);
    if (const auto error = PreparePlugin(host, job)) return Fail(*error);

    // The output is created only once everything else is ready.
    TWavFileWriter file;
    if (!file.Open(job.outputPath, job.rate, kFileChannels)) return Fail(file.Error());
    if (const auto error = RenderSong(host, song, job, file)) return Fail(*error); // the writer removes its file
    if (!file.Commit()) return Fail(file.Error());
    host.Suspend();
    host.Unload();
    return 0;
}

} // namespace quillon
