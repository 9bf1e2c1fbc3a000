// Runs the built `quillon render` as a user would and reads the WAV files back with libsndfile. Most
// cases play through a probe plug-in (tests/probe) that logs what the host did to it and sounds a
// plain envelope from the exact frame of each note, so that event timing, the song position, the
// chunk and the release tail can be measured; the others play through the real plug-in.
#include "hostkit/TPluginHost.h"
#include "support/MidiFileBuilder.h"
#include "support/PatchFileBytes.h"
#include "support/TemporaryDirectory.h"

#include "support/ToolRun.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;
using namespace vst2;

constexpr const char* kPluginPath = QUILLON_PLUGIN_PATH;
constexpr const char* kProbePath = QUILLON_PROBE_PLUGIN_PATH;
constexpr double kSilence = 3.1622776601683795e-5; // −90 dBFS

std::size_t LineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

struct TWav {
    int rate = 0;
    int channels = 0;
    int format = 0;
    std::vector<float> samples; // interleaved
    std::size_t Frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
    float At(std::size_t frame, int channel = 0) const {
        return samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
    }
};

std::optional<TWav> ReadWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return std::nullopt;
    TWav wav;
    wav.rate = info.samplerate;
    wav.channels = info.channels;
    wav.format = info.format;
    wav.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t read = sf_readf_float(file, wav.samples.data(), info.frames);
    sf_close(file);
    if (read != info.frames) return std::nullopt;
    return wav;
}

// One note-on/off pair per (start, end) in quarter notes at 480 ticks per quarter, with the tempo
// track `tempo`; the song ends `endQuarters` after the start.
TBytes Song(const std::vector<std::pair<double, double>>& notes, double endQuarters, const TMidiTrack& tempo = {}) {
    struct TAt {
        std::uint32_t tick;
        TBytes bytes;
    };
    std::vector<TAt> at;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const auto key = static_cast<std::uint8_t>(60 + i);
        at.push_back({static_cast<std::uint32_t>(notes[i].first * 480), {0x90, key, 100}});
        if (notes[i].second >= 0) at.push_back({static_cast<std::uint32_t>(notes[i].second * 480), {0x80, key, 0}});
    }
    std::stable_sort(at.begin(), at.end(), [](const TAt& a, const TAt& b) { return a.tick < b.tick; });
    TMidiTrack track;
    std::uint32_t tick = 0;
    for (const TAt& event : at) {
        track.events.push_back({event.tick - tick, event.bytes});
        tick = event.tick;
    }
    track.endDelta = static_cast<std::uint32_t>(endQuarters * 480) - tick;
    return MidiFileBytes(1, 480, {tempo, track});
}

class QuillonRender : public ::testing::Test {
protected:
    std::string WriteSong(const TBytes& bytes, const std::string& name = "song.mid") {
        WriteBytes(dir / name, bytes);
        return dir / name;
    }
    // Renders through the probe plug-in; the log lines are kept in `log`.
    TToolRun RenderProbe(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"render", "--plugin", kProbePath});
        const TToolRun run = RunTool(arguments, dir / "probe.log");
        log.clear();
        std::istringstream lines(ReadText(dir / "probe.log"));
        for (std::string line; std::getline(lines, line);)
            log.push_back(line);
        return run;
    }
    std::vector<std::string> LogLines(const std::string& kind) const {
        std::vector<std::string> found;
        for (const std::string& line : log)
            if (line.rfind(kind + " ", 0) == 0) found.push_back(line.substr(kind.size() + 1));
        return found;
    }

    TemporaryDirectory dir;
    std::vector<std::string> log;
};

// Through the real plug-in --------------------------------------------------------------------------------

TEST_F(QuillonRender, WritesAStereoFloatWavOfTheSongAndABoundedTail) {
    const std::string song = WriteSong(Song({{0.0, 1.0}}, 2.0)); // 120 bpm: a note of 0.5 s, song of 1 s
    TToolRun run = RunTool({"render", song, "-o", dir / "out.wav", "--plugin", kPluginPath, "--rate", "48000",
                            "--block", "256", "--tail-max", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, ""); // no progress bar when stderr is not a terminal
    EXPECT_EQ(run.out, "");
    std::optional<TWav> wav = ReadWav(dir / "out.wav");
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->rate, 48000);
    EXPECT_EQ(wav->channels, 2);
    EXPECT_EQ(wav->format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_GE(wav->Frames(), 48000u);
    EXPECT_LE(wav->Frames(), 48001u + 2 * 48000u);
    for (float sample : wav->samples)
        ASSERT_TRUE(std::isfinite(sample));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out.wav", "song.mid"})); // no temporary file left

    // Without --rate the file is at 44.1 kHz; an existing file is replaced.
    run = RunTool({"render", song, "-o", dir / "out.wav", "--plugin", kPluginPath, "--tail-max", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    wav = ReadWav(dir / "out.wav");
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->rate, 44100);
    EXPECT_EQ(wav->Frames(), 44100u); // the song's end of track
}

// A song that starts with a program change and a note at the same moment plays the whole note with the
// program it changes to, here from a bank whose first sound is mute.
TEST_F(QuillonRender, ASongThatStartsWithAProgramChangePlaysItsNoteWithTheNewProgram) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"program", "--wave", "saw", "--param", "26=0", "-o", dir / "mute.bpa"},
          std::vector<std::string>{"program", "--wave", "saw", "-o", dir / "saw.bpa"},
          std::vector<std::string>{"bank", dir / "mute.bpa", dir / "saw.bpa", "-o", dir / "sounds.bpb"}})
        ASSERT_EQ(RunTool(args).exitCode, 0);
    TMidiTrack track;
    track.events = {{0, {0xC0, 1}}, {0, {0x90, 60, 100}}, {480, {0x80, 60, 0}}}; // 120 bpm: a note of 0.5 s
    track.endDelta = 480;
    const std::string song = WriteSong(MidiFileBytes(1, 480, {TMidiTrack{}, track}));
    const TToolRun run = RunTool({"render", song, "-o", dir / "out.wav", "--plugin", kPluginPath, "--bank",
                                  dir / "sounds.bpb", "--tail-max", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::optional<TWav> wav = ReadWav(dir / "out.wav");
    ASSERT_TRUE(wav.has_value());
    // Sound from the first block to the note's end, 22,050 frames.
    for (std::size_t from = 0; from < 22050 - 512; from += 512) {
        double peak = 0.0;
        for (std::size_t i = from; i < from + 512; ++i)
            peak = std::max(peak, static_cast<double>(std::fabs(wav->At(i))));
        ASSERT_GT(peak, 0.01) << "silent from frame " << from;
    }
}

TEST_F(QuillonRender, LoadsAProgramFileIntoTheRealPlugin) {
    // The plug-in's own program, saved as a program file, must be taken back; damaged data refused.
    TBytes chunk;
    {
        TPluginHost host;
        ASSERT_TRUE(host.Load(kPluginPath)) << host.Error();
        host.Open();
        chunk = host.GetChunk(true);
    }
    ASSERT_TRUE(Inflate(chunk, kPatchRecordBytes)) << "the program chunk is not one zlib-compressed record";
    const std::string song = WriteSong(Song({{0.0, 0.5}}, 1.0));
    WriteBytes(dir / "sound.bpa", ProgramFileBytes(chunk));
    TToolRun run = RunTool({"render", song, "-o", dir / "out.wav", "--plugin", kPluginPath, "--program",
                            dir / "sound.bpa", "--tail-max", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(ReadWav(dir / "out.wav").has_value());

    // A zlib stream of the wrong size: the plug-in refuses it and the earlier file stays as it was.
    const std::string before = ReadText(dir / "out.wav");
    WriteBytes(dir / "short.bpa", ProgramFileBytes(Deflate(TBytes(100, 1))));
    run = RunTool({"render", song, "-o", dir / "out.wav", "--plugin", kPluginPath, "--program", dir / "short.bpa"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("refused"), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(dir / "out.wav"), before);
}

TEST_F(QuillonRender, RefusesBadInputWithOneLineAndNoFile) {
    const std::string song = WriteSong(Song({{0.0, 1.0}}, 2.0));
    const std::string format2 = WriteSong(MidiFileBytes(2, 480, {{}}), "format2.mid");
    WriteBytes(dir / "sound.bpa", ProgramFileBytes(Deflate(TBytes(kPatchRecordBytes, 0))));
    WriteBytes(dir / "sounds.bpb", BankFileBytes(Deflate(TBytes(kPatchRecordBytes * 64, 0))));
    const std::string out = dir / "out.wav";
    const std::string missing = dir / "missing.mid";
    const std::vector<std::string> plugin = {"--plugin", kPluginPath};

    struct TCase {
        std::vector<std::string> args;
        const char* expected; // part of the message
    };
    const std::vector<TCase> cases = {
        {{missing, "-o", out}, "missing.mid"},
        {{format2, "-o", out}, "format 2"},
        {{song}, "-o OUT.wav"},
        {{"-o", out}, "no MIDI file"},
        {{song, song, "-o", out}, "unexpected argument"},
        {{song, "-o", out, "--frobnicate"}, "unknown option '--frobnicate'"},
        {{song, "-o"}, "needs a value"},
        {{song, "-o", out, "--rate", "100"}, "--rate"},
        {{song, "-o", out, "--rate", "44.1k"}, "--rate"},
        {{song, "-o", out, "--block", "0"}, "--block"},
        {{song, "-o", out, "--block", "100000"}, "--block"},
        {{song, "-o", out, "--tail-max", "-1"}, "--tail-max"},
        {{song, "-o", out, "--tail-max", "nan"}, "--tail-max"},
        {{song, "-o", out, "--tail-max", "1", "--tail-max", "2"}, "more than once"},
        {{song, "-o", out, "--param", "3"}, "INDEX=VALUE"},
        {{song, "-o", out, "--param", "x=0.5"}, "INDEX=VALUE"},
        {{song, "-o", out, "--param", "0=1.5"}, "0..1"},
        {{song, "-o", out, "--param", "100000=0.5"}, "parameters"},
        {{song, "-o", out, "--slot", "3"}, "--slot needs --bank"},
        {{song, "-o", out, "--bank", dir / "none.bpb"}, "none.bpb"},
        {{song, "-o", out, "--bank", dir / "sounds.bpb", "--slot", "64"}, "--slot"},
        {{song, "-o", out, "--program", dir / "sound.bpa", "--bank", dir / "sounds.bpb", "--slot", "0"}, "exclude"},
        {{song, "-o", out, "--program", dir / "sounds.bpb"}, "not a valid Quillon program"},
        {{song, "-o", out, "--program", dir / "none.bpa"}, "none.bpa"},
        {{song, "-o", out, "--plugin", dir / "none.so"}, "none.so"},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> args = {"render"};
        if (std::find(c.args.begin(), c.args.end(), "--plugin") == c.args.end())
            args.insert(args.end(), plugin.begin(), plugin.end());
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string shown;
        for (std::size_t i = 1; i < args.size(); ++i)
            shown += args[i] + " ";
        SCOPED_TRACE(shown);
        const TToolRun run = RunTool(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(LineCount(run.err), 1u) << run.err;
        EXPECT_NE(run.err.find("quillon: error: "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_EQ(RunTool({"render", "--help"}).exitCode, 0);
}

TEST_F(QuillonRender, UnwritableOutputLeavesNoFile) {
    const std::string song = WriteSong(Song({{0.0, 1.0}}, 2.0));
    TToolRun run = RunTool({"render", song, "-o", dir / "no/such/folder/out.wav", "--plugin", kPluginPath});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find("no/such/folder/out.wav"), std::string::npos) << run.err;

    // A folder in the output's place stays as it was, and no temporary file is left beside it.
    std::filesystem::create_directory(dir / "taken");
    run = RunTool({"render", song, "-o", dir / "taken", "--plugin", kPluginPath, "--tail-max", "0"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "taken"));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"song.mid", "taken"}));
}

// Through the probe plug-in --------------------------------------------------------------------------------

TEST_F(QuillonRender, EventsReachThePluginAtTheirExactFramesWithTheSongPosition) {
    // 120 bpm, 240 bpm from quarter 2 (1.0 s). Notes at 0.25..0.75 s and 1.125..1.25 s; the second
    // note-on falls between frames (49612.5 at 44.1 kHz) and rounds to 49613.
    const TMidiTrack tempo{{{0, MidiTempo(500000)}, {960, MidiTempo(250000)}}};
    const std::string song = WriteSong(Song({{0.5, 1.5}, {2.5, 3.0}}, 4.0, tempo));
    const TToolRun run = RenderProbe({song, "-o", dir / "out.wav", "--block", "100", "--tail-max", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::vector<std::string> events = LogLines("event");
    const long expectedFrames[] = {11025, 33075, 49613, 55125};
    ASSERT_EQ(events.size(), 4u);
    for (std::size_t i = 0; i < events.size(); ++i) {
        long block = 0, delta = 0;
        unsigned status = 0, key = 0, velocity = 0;
        std::istringstream(events[i]) >> block >> delta >> status >> key >> velocity;
        EXPECT_EQ(block * 100 + delta, expectedFrames[i]) << events[i];
        EXPECT_GE(delta, 0);
        EXPECT_LT(delta, 100);
        EXPECT_EQ(status, i % 2 == 0 ? 0x90u : 0x80u);
    }

    // Every block: sample position, quarter notes and tempo from the tempo map at its first frame,
    // with the valid flags, at the offline process level.
    const std::vector<std::string> blocks = LogLines("block");
    ASSERT_GT(blocks.size(), 550u); // the song alone is 1.5 s = 661.5 blocks
    for (const std::string& line : blocks) {
        long index = 0, frames = 0, flags = 0, level = 0;
        double samplePos = 0, ppq = 0, bpm = 0;
        std::istringstream(line) >> index >> frames >> samplePos >> ppq >> bpm >> flags >> level;
        const double seconds = samplePos / 44100.0;
        ASSERT_EQ(samplePos, index * 100.0) << line;
        ASSERT_NEAR(bpm, seconds < 1.0 ? 120.0 : 240.0, 1e-9) << line;
        ASSERT_NEAR(ppq, seconds < 1.0 ? 2.0 * seconds : 2.0 + 4.0 * (seconds - 1.0), 1e-9) << line;
        ASSERT_EQ(flags & (kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid),
                  kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid);
        ASSERT_EQ(level, kVstProcessLevelOffline) << line;
    }

    // The sound starts at the exact frame of each note-on.
    const std::optional<TWav> wav = ReadWav(dir / "out.wav");
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->At(11024), 0.0f);
    EXPECT_EQ(wav->At(11025), 0.5f);
    EXPECT_EQ(wav->At(11025, 1), 0.5f);
    EXPECT_LT(wav->At(49612), 0.5f);
    EXPECT_EQ(wav->At(49613), 0.5f);

    // Other block sizes hand the same events to the same frames: the files are identical.
    ASSERT_EQ(RenderProbe({song, "-o", dir / "odd.wav", "--block", "37", "--tail-max", "1"}).exitCode, 0);
    const std::optional<TWav> odd = ReadWav(dir / "odd.wav");
    ASSERT_TRUE(odd.has_value());
    EXPECT_TRUE(odd->samples == wav->samples);
}

TEST_F(QuillonRender, TailEndsHalfASecondAfterTheSoundFallsBelowMinus90dB) {
    // Note 0..0.5 s, song end at 0.5 s (frame 24000 at 48 kHz; one frame more for the note-off there).
    // The probe falls by e every 50 ms from the note-off, below −90 dBFS after about 0.48 s.
    const std::string song = WriteSong(Song({{0.0, 1.0}}, 1.0));
    ASSERT_EQ(RenderProbe({song, "-o", dir / "out.wav", "--rate", "48000", "--tail-max", "5"}).exitCode, 0);
    const std::optional<TWav> wav = ReadWav(dir / "out.wav");
    ASSERT_TRUE(wav.has_value());

    const double fall = std::exp(-1.0 / (0.05 * 48000.0));
    double level = 0.5;
    std::size_t firstQuiet = 24000;
    for (level *= fall; static_cast<float>(level) >= kSilence; level *= fall)
        ++firstQuiet;
    EXPECT_EQ(wav->Frames(), firstQuiet + 24000);
    EXPECT_GE(std::fabs(wav->At(firstQuiet - 1)), kSilence);
    for (std::size_t frame = firstQuiet; frame < wav->Frames(); ++frame)
        ASSERT_LT(std::fabs(wav->At(frame)), kSilence) << frame;

    // A note that never ends: the tail stops at the cap, to the frame; a cap of 0 ends with the song.
    const std::string stuck = WriteSong(Song({{0.0, -1.0}}, 1.0), "stuck.mid");
    ASSERT_EQ(RenderProbe({stuck, "-o", dir / "stuck.wav", "--rate", "48000", "--tail-max", "1.5"}).exitCode, 0);
    std::optional<TWav> capped = ReadWav(dir / "stuck.wav");
    ASSERT_TRUE(capped.has_value());
    EXPECT_EQ(capped->Frames(), 24000u + 72000u);
    ASSERT_EQ(RenderProbe({stuck, "-o", dir / "stuck.wav", "--rate", "48000", "--tail-max", "0"}).exitCode, 0);
    capped = ReadWav(dir / "stuck.wav");
    ASSERT_TRUE(capped.has_value());
    EXPECT_EQ(capped->Frames(), 24000u);
}

TEST_F(QuillonRender, ProgramAndBankFilesReachThePluginAsChunksBeforeTheParameters) {
    const std::string song = WriteSong(Song({{0.0, 0.5}}, 1.0));
    TBytes record(kPatchRecordBytes);
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<std::uint8_t>(i * 31);
    const TBytes payload = Deflate(record);
    WriteBytes(dir / "sound.bpa", ProgramFileBytes(payload));

    ASSERT_EQ(RenderProbe({song, "-o", dir / "a.wav", "--program", dir / "sound.bpa", "--param", "2=0.75", "--param",
                           "5=0", "--rate", "22050", "--block", "64", "--tail-max", "0"})
                  .exitCode,
              0);
    EXPECT_EQ(LogLines("call"),
              (std::vector<std::string>{"open", "rate 22050", "block 64", "chunk 1 " + std::to_string(payload.size()),
                                        "param 2 0.750000", "param 5 0.000000", "resume", "suspend", "close"}));
    EXPECT_EQ(ReadText(dir / "probe.log.chunk"), std::string(payload.begin(), payload.end()));

    // A bank: each sound into its own program, then the song starts on slot 37.
    TBytes records;
    for (int slot = 0; slot < 64; ++slot)
        records.insert(records.end(), kPatchRecordBytes, static_cast<std::uint8_t>(slot));
    WriteBytes(dir / "sounds.bpb", BankFileBytes(Deflate(records)));
    ASSERT_EQ(RenderProbe({song, "-o", dir / "b.wav", "--bank", dir / "sounds.bpb", "--slot", "37"}).exitCode, 0);
    const std::vector<std::string> calls = LogLines("call");
    ASSERT_GE(calls.size(), 3u + 2 * 64 + 1);
    for (int slot = 0; slot < 64; ++slot) {
        EXPECT_EQ(calls[static_cast<std::size_t>(3 + 2 * slot)], "program " + std::to_string(slot));
        EXPECT_EQ(calls[static_cast<std::size_t>(4 + 2 * slot)].rfind("chunk 1 ", 0), 0u);
    }
    EXPECT_EQ(calls[3 + 2 * 64], "program 37");
    const std::string chunk = ReadText(dir / "probe.log.chunk");
    EXPECT_EQ(Inflate(TBytes(chunk.begin(), chunk.end()), kPatchRecordBytes),
              TBytes(kPatchRecordBytes, std::uint8_t{63})); // the last chunk sent

    // A chunk the plug-in refuses ends the render with an error and no file.
    WriteBytes(dir / "odd.bpa", ProgramFileBytes(TBytes(64, 0x11)));
    const TToolRun refused = RenderProbe({song, "-o", dir / "c.wav", "--program", dir / "odd.bpa"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("refused the program from '" + (dir / "odd.bpa") + "'"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "c.wav"));
}

} // namespace
} // namespace quillon
