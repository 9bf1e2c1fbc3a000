// The MIDI file reader on files built byte by byte in memory: timing through the tempo map, running
// status, message lengths, the merge of tracks, and refusal of damaged or hostile files.
#include "hostkit/TMidiFile.h"
#include "support/MidiFileBuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;

// Short names for the builders, as these tests use them on every line.
TBytes Chunk(const char* type, const TBytes& data) {
    return MidiChunk(type, data);
}
TBytes TrackChunk(const TMidiTrack& track) {
    return MidiTrackChunk(track);
}
TBytes Header(int format, int tracks, std::uint16_t division) {
    return MidiHeader(format, tracks, division);
}
TBytes File(int format, std::uint16_t division, std::initializer_list<TMidiTrack> tracks) {
    return MidiFileBytes(format, division, tracks);
}
TBytes Tempo(std::uint32_t microsecondsPerQuarter) {
    return MidiTempo(microsecondsPerQuarter);
}
using TTrack = TMidiTrack;

struct TExpected {
    double seconds;
    std::uint8_t status, data1, data2;
};

void ExpectEvents(const TMidiFile& file, const std::vector<TExpected>& expected) {
    ASSERT_EQ(file.Events().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_NEAR(file.Events()[i].seconds, expected[i].seconds, 1e-9);
        EXPECT_EQ(file.Events()[i].status, expected[i].status);
        EXPECT_EQ(file.Events()[i].data1, expected[i].data1);
        EXPECT_EQ(file.Events()[i].data2, expected[i].data2);
    }
}

TEST(TMidiFileRead, Format0MessageLengthsAndDefaultTempo) {
    // 480 ticks per quarter at the default 120 bpm: 480 ticks = 0.5 s. Program change and channel
    // pressure carry one data byte; a wrong length would shift every later event.
    TMidiFile file;
    ASSERT_TRUE(file.Parse(File(0, 480,
                                {{{{0, {0xC3, 0x05}},
                                   {0, {0x93, 60, 100}},
                                   {240, {0xD3, 0x40}},
                                   {240, {0xE3, 0x00, 0x50}},
                                   {0, {0xB3, 64, 127}},
                                   {480, {0xA3, 60, 30}},
                                   {0, {0x83, 60, 0}}},
                                  true,
                                  960}})))
        << file.Error();
    EXPECT_EQ(file.Format(), 0);
    EXPECT_EQ(file.TrackCount(), 1);
    EXPECT_EQ(file.TicksPerQuarter(), 480);
    ExpectEvents(file, {{0.0, 0xC3, 5, 0},
                        {0.0, 0x93, 60, 100},
                        {0.25, 0xD3, 0x40, 0},
                        {0.5, 0xE3, 0x00, 0x50},
                        {0.5, 0xB3, 64, 127},
                        {1.0, 0xA3, 60, 30},
                        {1.0, 0x83, 60, 0}});
    EXPECT_NEAR(file.Length(), 2.0, 1e-9); // the end of track lies 960 ticks after the last event
    EXPECT_NEAR(file.TempoAt(0.7), 120.0, 1e-9);
    EXPECT_NEAR(file.QuarterNotesAt(1.5), 3.0, 1e-9);
}

TEST(TMidiFileRead, RunningStatusAcrossMessagesAndMetaEvents) {
    TMidiFile file;
    ASSERT_TRUE(file.Parse(File(0, 96,
                                {{{{0, {0x90, 60, 100}},
                                   {0, {64, 90}}, // running status: note-on 64
                                   {96, {60, 0}}, // note-on velocity 0
                                   {0, {0xFF, 0x01, 0x02, 'h', 'i'}},
                                   {0, {64, 0}}, // running status kept across the text event
                                   {0, {0xC1, 7}},
                                   {0, {9}}}}}))) // running status with one data byte
        << file.Error();
    ExpectEvents(file, {{0.0, 0x90, 60, 100},
                        {0.0, 0x90, 64, 90},
                        {0.5, 0x90, 60, 0},
                        {0.5, 0x90, 64, 0},
                        {0.5, 0xC1, 7, 0},
                        {0.5, 0xC1, 9, 0}});
}

TEST(TMidiFileRead, TempoMapFromTheFirstTrackTimesTheOthers) {
    // Track 0: 120 bpm, then 240 bpm from quarter 2, then 60 bpm from quarter 4. Track 1 plays one
    // note per quarter.
    TTrack tempo{{{0, Tempo(500000)}, {200, Tempo(250000)}, {200, Tempo(1000000)}}};
    TTrack notes;
    for (int q = 0; q < 6; ++q)
        notes.events.push_back({q == 0 ? 0u : 100u, {0x90, static_cast<std::uint8_t>(60 + q), 100}});
    TMidiFile file;
    ASSERT_TRUE(file.Parse(File(1, 100, {tempo, notes}))) << file.Error();
    EXPECT_EQ(file.Format(), 1);
    EXPECT_EQ(file.TrackCount(), 2);

    const double times[] = {0.0, 0.5, 1.0, 1.25, 1.5, 2.5};
    ASSERT_EQ(file.Events().size(), 6u);
    for (int q = 0; q < 6; ++q)
        EXPECT_NEAR(file.Events()[q].seconds, times[q], 1e-9) << "quarter " << q;

    ASSERT_EQ(file.TempoMap().size(), 3u); // the tempo at 0 replaces the default
    EXPECT_NEAR(file.TempoAt(0.99), 120.0, 1e-9);
    EXPECT_NEAR(file.TempoAt(1.0), 240.0, 1e-9);
    EXPECT_NEAR(file.TempoAt(1.6), 60.0, 1e-9);
    EXPECT_NEAR(file.QuarterNotesAt(1.125), 2.5, 1e-9);
    EXPECT_NEAR(file.QuarterNotesAt(2.0), 4.5, 1e-9);
    EXPECT_NEAR(file.TempoAt(-1.0), 120.0, 1e-9);
}

TEST(TMidiFileRead, TracksMergeInTimeThenTrackThenFileOrder) {
    TTrack first{{{0, {0x90, 1, 1}}, {10, {0x90, 2, 1}}, {0, {0x90, 3, 1}}}};
    TTrack second{{{5, {0x91, 4, 1}}, {5, {0x91, 5, 1}}, {0, {0x91, 6, 1}}}};
    TTrack third{{{10, {0x92, 7, 1}}, {20, {0x92, 8, 1}}}, true, 5};
    TMidiFile file;
    ASSERT_TRUE(file.Parse(File(1, 10, {first, second, third}))) << file.Error();
    std::vector<int> order;
    for (const TMidiFile::TEvent& event : file.Events())
        order.push_back(event.data1);
    EXPECT_EQ(order, (std::vector<int>{1, 4, 2, 3, 5, 6, 7, 8}));
    EXPECT_NEAR(file.Length(), 35 * 0.05, 1e-9); // the longest track, third, ends at tick 35
}

TEST(TMidiFileRead, SkipsSysexUnknownMetaAndForeignChunks) {
    TBytes bytes = Header(1, 2, 480);
    Append(bytes, Chunk("XFIH", {1, 2, 3, 4, 5})); // a foreign chunk between the tracks is skipped
    Append(bytes, TrackChunk({{{0, {0xF0, 0x03, 0x7E, 0x7F, 0xF7}},
                               {0, {0xF7, 0x02, 0x01, 0x02}},
                               {0, {0xFF, 0x58, 0x04, 3, 2, 24, 8}},
                               {480, {0x90, 60, 64}}}}));
    Append(bytes, TrackChunk({{{960, {0x80, 60, 0}}}}));
    TMidiFile file;
    ASSERT_TRUE(file.Parse(bytes)) << file.Error();
    EXPECT_EQ(file.TrackCount(), 2);
    ExpectEvents(file, {{0.5, 0x90, 60, 64}, {1.0, 0x80, 60, 0}});
}

TEST(TMidiFileRead, SmpteDivisionCountsFramesNotQuarters) {
    // 25 frames per second, 40 ticks per frame: one tick is a millisecond whatever the tempo.
    const auto division = static_cast<std::uint16_t>((static_cast<std::uint8_t>(-25) << 8) | 40);
    TMidiFile file;
    ASSERT_TRUE(file.Parse(File(0, division, {{{{0, Tempo(1000000)}, {1500, {0x90, 60, 100}}}}}))) << file.Error();
    EXPECT_EQ(file.TicksPerQuarter(), 0);
    ExpectEvents(file, {{1.5, 0x90, 60, 100}});
    EXPECT_NEAR(file.QuarterNotesAt(1.5), 1.5, 1e-9); // 60 bpm: a quarter per second

    const auto dropFrame = static_cast<std::uint16_t>((static_cast<std::uint8_t>(-29) << 8) | 100);
    ASSERT_TRUE(file.Parse(File(0, dropFrame, {{{{2997, {0x90, 60, 100}}}}}))) << file.Error();
    EXPECT_NEAR(file.Events()[0].seconds, 2997.0 * 1001.0 / 3.0e6, 1e-9); // 30 drop-frame runs at 29.97 fps
}

TEST(TMidiFileRead, TrackWithoutEndOfTrackEndsAtItsLastEvent) {
    TMidiFile file;
    ASSERT_TRUE(file.Parse(File(0, 480, {{{{0, {0x90, 60, 1}}, {480, {0x80, 60, 0}}}, false}}))) << file.Error();
    EXPECT_EQ(file.Events().size(), 2u);
    EXPECT_NEAR(file.Length(), 0.5, 1e-9);
}

TEST(TMidiFileRead, LoadReadsFilesAndNamesMissingOnes) {
    TMidiFile file;
    EXPECT_FALSE(file.Load("/nonexistent/song.mid"));
    EXPECT_NE(file.Error().find("/nonexistent/song.mid"), std::string::npos) << file.Error();
    EXPECT_FALSE(file.Load("/"));
    EXPECT_FALSE(file.Error().empty());
}

struct THostileCase {
    const char* name;
    TBytes bytes;
    const char* expected; // part of the error text
};

std::vector<THostileCase> HostileCases() {
    const TBytes valid = File(0, 480, {{{{0, {0x90, 60, 100}}}}});
    std::vector<THostileCase> cases;
    cases.push_back({"empty", {}, "not a Standard MIDI File"});
    cases.push_back({"wrong magic", Chunk("RIFF", {0, 0, 0, 0, 0, 0}), "not a Standard MIDI File"});
    cases.push_back({"short header", Chunk("MThd", {0, 0, 0, 1}), "at least 6"});
    TBytes headerBeyond = Header(0, 1, 480);
    headerBeyond[7] = 60;
    cases.push_back({"header beyond file", headerBeyond, "past the end"});
    cases.push_back({"format 2", File(2, 480, {{}}), "format 2"});
    cases.push_back({"format 3", File(3, 480, {{}}), "unknown format 3"});
    cases.push_back({"format 0, two tracks", File(0, 480, {{}, {}}), "must be 1"});
    cases.push_back({"no tracks", Header(1, 0, 480), "no tracks"});
    cases.push_back({"zero division", File(0, 0, {{}}), "division of 0"});
    cases.push_back({"bad SMPTE rate", File(0, 0xE928, {{}}), "frames per second"});
    cases.push_back({"SMPTE zero ticks", File(0, 0xE700, {{}}), "0 ticks per frame"});

    TBytes absurd = Header(1, 65535, 480);
    Append(absurd, TrackChunk({}));
    cases.push_back({"absurd track count", absurd, "declares 65535 tracks but holds 1"});

    TBytes beyond = valid;
    beyond[18] = 0x7F; // high byte of the track chunk's length (after the 14-byte header chunk)
    cases.push_back({"chunk length beyond file", beyond, "beyond the end of the file"});
    TBytes cut = valid;
    cut.resize(cut.size() - 3);
    cases.push_back({"file cut inside a track", cut, "beyond the end of the file"});

    cases.push_back({"delta without event", File(0, 480, {{{{0, {}}}, false}}), "cut off"});
    TBytes longDelta = Header(0, 1, 480);
    Append(longDelta, Chunk("MTrk", {0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}));
    cases.push_back({"delta of 5 bytes", longDelta, "longer than 4 bytes"});
    TBytes longMeta = Header(0, 1, 480);
    Append(longMeta, Chunk("MTrk", {0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
    cases.push_back({"meta length of 5 bytes", longMeta, "longer than 4 bytes"});
    cases.push_back(
        {"meta beyond chunk", File(0, 480, {{{{0, {0xFF, 0x01, 0x8F, 0x7F, 'x'}}}, false}}), "runs past the end"});
    cases.push_back({"sysex beyond chunk", File(0, 480, {{{{0, {0xF0, 0x20, 0x01}}}, false}}), "runs past the end"});
    cases.push_back({"message cut", File(0, 480, {{{{0, {0x90, 60}}}, false}}), "cut off"});
    cases.push_back({"data without status", File(0, 480, {{{{0, {60, 100}}}}}), "without a status"});
    cases.push_back({"status as data", File(0, 480, {{{{0, {0x90, 60, 0x90}}}}}), "data byte 0x90"});
    cases.push_back({"system status", File(0, 480, {{{{0, {0xF2, 1, 2}}}}}), "0xF2"});
    cases.push_back({"short tempo", File(0, 480, {{{{0, {0xFF, 0x51, 0x02, 1, 2}}}}}), "expected 3"});
    cases.push_back({"zero tempo", File(0, 480, {{{{0, Tempo(0)}}}}), "tempo of 0"});

    TBytes huge(TMidiFile::kMaxFileBytes + 1, 0);
    std::copy(valid.begin(), valid.end(), huge.begin());
    cases.push_back({"over 64 MiB", std::move(huge), "too large"});

    // One note-on and then program changes in running status, two bytes each: one event too many.
    TBytes crowded = Header(0, 1, 480);
    TBytes data{0x00, 0xC0, 0x00};
    data.reserve(2 * TMidiFile::kMaxEvents + 8);
    for (std::size_t i = 0; i < TMidiFile::kMaxEvents; ++i) {
        data.push_back(0x00);
        data.push_back(0x01);
    }
    Append(crowded, Chunk("MTrk", data));
    cases.push_back({"too many events", std::move(crowded), "more than"});
    return cases;
}

TEST(TMidiFileRead, RefusesDamagedAndHostileFilesWithAReason) {
    for (const THostileCase& hostile : HostileCases()) {
        SCOPED_TRACE(hostile.name);
        TMidiFile file;
        ASSERT_TRUE(file.Parse(File(0, 480, {{{{0, {0x90, 60, 100}}}}})));
        EXPECT_FALSE(file.Parse(hostile.bytes));
        EXPECT_NE(file.Error().find(hostile.expected), std::string::npos) << file.Error();
        EXPECT_EQ(file.Error().find('\n'), std::string::npos) << file.Error();
        EXPECT_TRUE(file.Events().empty()); // a refused file leaves nothing from the one before
    }
}

TEST(TMidiFileRead, SurvivesRandomDamage) {
    // Mutations of a valid two-track file: each parse must end, either with events in time order or
    // with a reason (under the sanitizers this also proves no read beyond the input).
    const TBytes valid =
        File(1, 96,
             {{{{0, Tempo(400000)}, {96, Tempo(600000)}}},
              {{{0, {0x90, 60, 100}}, {48, {62, 90}}, {0, {0xF0, 0x02, 0x01, 0xF7}}, {48, {0xC0, 3}}}}});
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        TBytes bytes = valid;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        if (random() % 4 == 0) bytes.resize(random() % bytes.size());
        TMidiFile file;
        if (!file.Parse(bytes)) {
            EXPECT_FALSE(file.Error().empty());
            continue;
        }
        for (std::size_t i = 1; i < file.Events().size(); ++i)
            ASSERT_LE(file.Events()[i - 1].seconds, file.Events()[i].seconds) << "round " << round;
        ASSERT_GE(file.Length(), file.Events().empty() ? 0.0 : file.Events().back().seconds);
    }
}

} // namespace
} // namespace quillon
