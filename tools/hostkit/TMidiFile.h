// Reader of Standard MIDI Files for offline rendering: formats 0 and 1, the tracks merged into one
// time-ordered list of channel messages with their times in seconds, and the tempo map that the host
// reports to the plug-in.
//
// Design note. Parsing keeps every event with its tick, track and position in the file, merges the
// tracks with a stable sort on the tick (so events at one tick keep track order, then file order), and
// only then converts ticks to seconds through the tempo map, which itself comes from the merged tempo
// events. The input is untrusted: every length is checked against the bytes that remain, the file size
// and the number of events are capped, and every fault ends in a one-line Error() text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class TMidiFile {
public:
    // A channel message (status 0x80..0xEF). Messages with one data byte (program change, channel
    // pressure) have data2 = 0.
    struct TEvent {
        double seconds = 0.0; // from the start of the song
        std::uint8_t status = 0;
        std::uint8_t data1 = 0;
        std::uint8_t data2 = 0;
    };

    // The tempo from `seconds` on, up to the next point. The first point is always at 0 s.
    struct TTempoPoint {
        double seconds = 0.0;
        double quarterNotes = 0.0;           // quarter notes elapsed at `seconds`
        double microsecondsPerQuarter = 0.0; // as stored in the file
        double Bpm() const { return 60.0e6 / microsecondsPerQuarter; }
    };

    static constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;     // larger files are refused
    static constexpr std::size_t kMaxEvents = std::size_t{1} << 22;         // events of all kinds, all tracks
    static constexpr std::uint32_t kDefaultMicrosecondsPerQuarter = 500000; // 120 bpm until a tempo event

    // Reads and parses a file. Returns false and keeps a one-line reason in Error() on failure; the
    // previous contents are then cleared.
    bool Load(const std::string& path);
    bool Parse(std::span<const std::uint8_t> bytes);
    const std::string& Error() const { return error_; }

    int Format() const { return format_; }         // 0 or 1
    int TrackCount() const { return trackCount_; } // track chunks read
    // Ticks per quarter note, or 0 for a file timed in SMPTE frames.
    int TicksPerQuarter() const { return ticksPerQuarter_; }

    // Channel messages in time order.
    const std::vector<TEvent>& Events() const { return events_; }
    const std::vector<TTempoPoint>& TempoMap() const { return tempoMap_; }
    // Seconds up to the latest end of track (at least the time of the last event).
    double Length() const { return length_; }

    // Tempo in beats (quarter notes) per minute, and quarter notes elapsed, at a time in seconds.
    double TempoAt(double seconds) const;
    double QuarterNotesAt(double seconds) const;

private:
    // An event as read from a track, before the merge.
    enum class TKind : std::uint8_t { Channel, Tempo, EndOfTrack };
    struct TRawEvent {
        std::uint64_t tick;
        TKind kind;
        std::uint8_t status;
        std::uint8_t data1;
        std::uint8_t data2;
        std::uint32_t tempo; // microseconds per quarter note, for TKind::Tempo
    };

    bool Fail(std::string message);
    bool ParseTrack(std::span<const std::uint8_t> chunk, int track, std::size_t fileOffset,
                    std::vector<TRawEvent>& out);
    void BuildTimeline(std::vector<TRawEvent>& raw);
    const TTempoPoint& PointAt(double seconds) const;

    std::string error_;
    int format_ = 0;
    int trackCount_ = 0;
    int ticksPerQuarter_ = 0;
    double secondsPerTick_ = 0.0; // SMPTE timing only
    std::vector<TEvent> events_;
    std::vector<TTempoPoint> tempoMap_;
    double length_ = 0.0;
};

} // namespace quillon
