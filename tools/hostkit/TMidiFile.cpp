#include "hostkit/TMidiFile.h"

#include "hostkit/FileBytes.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace quillon {

namespace {

constexpr std::size_t kChunkHeaderBytes = 8; // four-character type and 32-bit big-endian length
constexpr std::size_t kMaxQuantityBytes = 4; // a variable-length quantity holds at most 28 bits
constexpr std::uint8_t kMetaStatus = 0xFF;
constexpr std::uint8_t kSysexStatus = 0xF0;
constexpr std::uint8_t kSysexEscapeStatus = 0xF7;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = (value << 8) | bytes[at + i];
    return value;
}

std::string ChunkName(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::string name;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t c = bytes[at + i];
        if (c < 0x20 || c > 0x7e) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            name += hex;
        } else {
            name += static_cast<char>(c);
        }
    }
    return name;
}

std::string HexByte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// Walks the bytes of one track chunk; Where() names a position as track and file offset for messages.
class TTrackReader {
public:
    TTrackReader(std::span<const std::uint8_t> chunk, int track, std::size_t fileOffset)
        : chunk_(chunk), track_(track), fileOffset_(fileOffset) {}

    bool AtEnd() const { return pos_ >= chunk_.size(); }
    std::size_t Remaining() const { return chunk_.size() - pos_; }

    std::optional<std::uint8_t> Byte(std::string& error, const char* what) {
        if (AtEnd()) {
            error = Where() + what + " cut off by the end of the track chunk";
            return std::nullopt;
        }
        return chunk_[pos_++];
    }
    std::uint8_t Peek() const { return chunk_[pos_]; }

    // A variable-length quantity: 7 bits per byte, most significant first, at most four bytes.
    std::optional<std::uint32_t> Quantity(std::string& error, const char* what) {
        const std::size_t start = pos_;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < kMaxQuantityBytes; ++i) {
            if (AtEnd()) {
                pos_ = start;
                error = Where() + what + " cut off by the end of the track chunk";
                return std::nullopt;
            }
            const std::uint8_t byte = chunk_[pos_++];
            value = (value << 7) | (byte & 0x7f);
            if ((byte & 0x80) == 0) return value;
        }
        pos_ = start;
        error = Where() + what + " is a variable-length quantity longer than 4 bytes";
        return std::nullopt;
    }

    bool Skip(std::uint32_t count, std::string& error, const char* what) {
        if (count > Remaining()) {
            error = Where() + what + " of " + std::to_string(count) + " bytes runs past the end of the track chunk";
            return false;
        }
        pos_ += count;
        return true;
    }
    std::size_t Position() const { return pos_; }
    std::span<const std::uint8_t> Bytes(std::size_t at, std::size_t count) const { return chunk_.subspan(at, count); }

    std::string Where() const { return Where(pos_); }
    std::string Where(std::size_t at) const {
        return "track " + std::to_string(track_) + ", byte " + std::to_string(fileOffset_ + at) + ": ";
    }

private:
    std::span<const std::uint8_t> chunk_;
    int track_;
    std::size_t fileOffset_; // file offset of the chunk's first data byte
    std::size_t pos_ = 0;
};

} // namespace

bool TMidiFile::Fail(std::string message) {
    error_ = std::move(message);
    format_ = 0;
    trackCount_ = 0;
    ticksPerQuarter_ = 0;
    secondsPerTick_ = 0.0;
    events_.clear();
    tempoMap_.clear();
    length_ = 0.0;
    return false;
}

bool TMidiFile::Load(const std::string& path) {
    std::string error;
    const std::optional<std::vector<std::uint8_t>> bytes = ReadFileBytes(path, kMaxFileBytes, error);
    if (!bytes) return Fail(error);
    if (!Parse(*bytes)) return Fail("'" + path + "': " + error_);
    return true;
}

bool TMidiFile::Parse(std::span<const std::uint8_t> bytes) {
    Fail({});
    if (bytes.size() > kMaxFileBytes)
        return Fail("file too large (" + std::to_string(bytes.size()) + " bytes; at most " +
                    std::to_string(kMaxFileBytes) + ")");
    if (bytes.size() < kChunkHeaderBytes || ChunkName(bytes, 0) != "MThd")
        return Fail("not a Standard MIDI File (no MThd header chunk)");
    const std::uint32_t headerLength = BigEndian(bytes, 4, 4);
    if (headerLength < 6) return Fail("header chunk of " + std::to_string(headerLength) + " bytes (at least 6)");
    if (headerLength > bytes.size() - kChunkHeaderBytes) return Fail("header chunk runs past the end of the file");

    const std::uint32_t format = BigEndian(bytes, 8, 2);
    const std::uint32_t declaredTracks = BigEndian(bytes, 10, 2);
    const std::uint32_t division = BigEndian(bytes, 12, 2);
    if (format == 2) return Fail("format 2 (independent sequences) is not supported; use format 0 or 1");
    if (format > 2) return Fail("unknown format " + std::to_string(format));
    if (declaredTracks == 0) return Fail("the file declares no tracks");
    if (format == 0 && declaredTracks != 1)
        return Fail("format 0 file declares " + std::to_string(declaredTracks) + " tracks (must be 1)");

    if ((division & 0x8000) != 0) {
        // SMPTE timing: frames per second (negative in the high byte) times ticks per frame.
        const int framesPerSecond = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        const int ticksPerFrame = static_cast<int>(division & 0xff);
        double rate = 0.0;
        switch (framesPerSecond) {
        case 24:
        case 25:
        case 30:
            rate = framesPerSecond;
            break;
        case 29:
            rate = 30000.0 / 1001.0; // 30 drop-frame runs at 29.97 frames per second
            break;
        default:
            return Fail("SMPTE division with " + std::to_string(framesPerSecond) +
                        " frames per second (expected 24, 25, 29 or 30)");
        }
        if (ticksPerFrame == 0) return Fail("SMPTE division with 0 ticks per frame");
        secondsPerTick_ = 1.0 / (rate * ticksPerFrame);
    } else {
        if (division == 0) return Fail("division of 0 ticks per quarter note");
        ticksPerQuarter_ = static_cast<int>(division);
    }

    std::vector<TRawEvent> raw;
    std::size_t offset = kChunkHeaderBytes + headerLength;
    int tracks = 0;
    while (static_cast<std::uint32_t>(tracks) < declaredTracks) {
        if (bytes.size() - offset < kChunkHeaderBytes)
            return Fail("truncated: the file declares " + std::to_string(declaredTracks) + " tracks but holds " +
                        std::to_string(tracks));
        const std::uint32_t length = BigEndian(bytes, offset + 4, 4);
        const std::string name = ChunkName(bytes, offset);
        if (length > bytes.size() - offset - kChunkHeaderBytes)
            return Fail("chunk '" + name + "' at byte " + std::to_string(offset) + " claims " + std::to_string(length) +
                        " bytes, beyond the end of the file");
        const std::size_t dataOffset = offset + kChunkHeaderBytes;
        if (name == "MTrk") {
            if (!ParseTrack(bytes.subspan(dataOffset, length), tracks, dataOffset, raw)) return false;
            ++tracks;
        }
        // Chunks of other types are skipped, as readers of the format must.
        offset = dataOffset + length;
    }

    format_ = static_cast<int>(format);
    trackCount_ = tracks;
    BuildTimeline(raw);
    return true;
}

bool TMidiFile::ParseTrack(std::span<const std::uint8_t> chunk, int track, std::size_t fileOffset,
                           std::vector<TRawEvent>& out) {
    TTrackReader reader(chunk, track, fileOffset);
    std::uint64_t tick = 0;
    // Running status survives meta and sysex events here. The format cancels it there, but some
    // writers rely on it, and a valid file never depends on the difference.
    std::uint8_t runningStatus = 0;
    std::string error;
    const auto push = [&](const TRawEvent& event) {
        if (out.size() >= kMaxEvents) {
            error = "more than " + std::to_string(kMaxEvents) + " events";
            return false;
        }
        out.push_back(event);
        return true;
    };

    while (!reader.AtEnd()) {
        const std::optional<std::uint32_t> delta = reader.Quantity(error, "delta time");
        if (!delta) return Fail(error);
        tick += *delta;
        const std::size_t eventAt = reader.Position();
        const auto where = [&] { return reader.Where(eventAt); };

        std::uint8_t status = 0;
        if (reader.AtEnd()) return Fail(where() + "event cut off by the end of the track chunk");
        if (reader.Peek() < 0x80) {
            if (runningStatus == 0) return Fail(where() + "data byte " + HexByte(reader.Peek()) + " without a status");
            status = runningStatus;
        } else {
            status = *reader.Byte(error, "status");
        }

        if (status < 0xF0) {
            runningStatus = status;
            const std::uint8_t kind = status & 0xF0;
            const int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            std::uint8_t data[2] = {0, 0};
            for (int i = 0; i < dataBytes; ++i) {
                const std::optional<std::uint8_t> byte = reader.Byte(error, "channel message");
                if (!byte) return Fail(error);
                if (*byte >= 0x80)
                    return Fail(where() + "channel message " + HexByte(status) + " has data byte " + HexByte(*byte));
                data[i] = *byte;
            }
            if (!push({tick, TKind::Channel, status, data[0], data[1], 0})) return Fail(where() + error);
        } else if (status == kMetaStatus) {
            const std::optional<std::uint8_t> type = reader.Byte(error, "meta event");
            if (!type) return Fail(error);
            const std::optional<std::uint32_t> length = reader.Quantity(error, "meta event length");
            if (!length) return Fail(error);
            const std::size_t dataAt = reader.Position();
            if (!reader.Skip(*length, error, "meta event")) return Fail(error);
            if (*type == kMetaTempo) {
                if (*length != 3)
                    return Fail(where() + "tempo event with " + std::to_string(*length) + " data bytes (expected 3)");
                const std::uint32_t tempo = BigEndian(reader.Bytes(dataAt, 3), 0, 3);
                if (tempo == 0) return Fail(where() + "tempo of 0 microseconds per quarter note");
                if (!push({tick, TKind::Tempo, 0, 0, 0, tempo})) return Fail(where() + error);
            } else if (*type == kMetaEndOfTrack) {
                break; // anything after the end of track is ignored
            }
        } else if (status == kSysexStatus || status == kSysexEscapeStatus) {
            const std::optional<std::uint32_t> length = reader.Quantity(error, "sysex length");
            if (!length) return Fail(error);
            if (!reader.Skip(*length, error, "sysex event")) return Fail(error);
        } else {
            return Fail(where() + "status " + HexByte(status) + " does not belong in a file");
        }
    }
    // A track whose chunk ends without an end-of-track event ends at its last event.
    if (!push({tick, TKind::EndOfTrack, 0, 0, 0, 0})) return Fail(reader.Where() + error);
    return true;
}

void TMidiFile::BuildTimeline(std::vector<TRawEvent>& raw) {
    // Tracks were appended in order, so a stable sort on the tick keeps track order, then file order.
    std::stable_sort(raw.begin(), raw.end(), [](const TRawEvent& a, const TRawEvent& b) { return a.tick < b.tick; });

    tempoMap_.push_back({0.0, 0.0, static_cast<double>(kDefaultMicrosecondsPerQuarter)});
    events_.reserve(static_cast<std::size_t>(
        std::count_if(raw.begin(), raw.end(), [](const TRawEvent& e) { return e.kind == TKind::Channel; })));

    std::uint64_t segmentTick = 0; // tick where the current tempo began (ticks-per-quarter timing)
    const auto secondsAt = [&](std::uint64_t tick) {
        if (ticksPerQuarter_ == 0) return static_cast<double>(tick) * secondsPerTick_;
        const TTempoPoint& point = tempoMap_.back();
        return point.seconds +
               static_cast<double>(tick - segmentTick) * point.microsecondsPerQuarter / (1.0e6 * ticksPerQuarter_);
    };

    length_ = 0.0;
    for (const TRawEvent& event : raw) {
        const double seconds = secondsAt(event.tick);
        switch (event.kind) {
        case TKind::Channel:
            events_.push_back({seconds, event.status, event.data1, event.data2});
            break;
        case TKind::EndOfTrack:
            length_ = std::max(length_, seconds);
            break;
        case TKind::Tempo: {
            const TTempoPoint& last = tempoMap_.back();
            const double quarters = ticksPerQuarter_ != 0 ? static_cast<double>(event.tick) / ticksPerQuarter_
                                                          : last.quarterNotes + (seconds - last.seconds) * 1.0e6 /
                                                                                    last.microsecondsPerQuarter;
            // Several tempo events at one time: the last one holds.
            if (seconds == last.seconds) tempoMap_.pop_back();
            tempoMap_.push_back({seconds, quarters, static_cast<double>(event.tempo)});
            segmentTick = event.tick;
            break;
        }
        }
    }
    if (!events_.empty()) length_ = std::max(length_, events_.back().seconds);
}

const TMidiFile::TTempoPoint& TMidiFile::PointAt(double seconds) const {
    static const TTempoPoint kDefault{0.0, 0.0, static_cast<double>(kDefaultMicrosecondsPerQuarter)};
    if (tempoMap_.empty()) return kDefault;
    const auto after = std::upper_bound(tempoMap_.begin(), tempoMap_.end(), seconds,
                                        [](double s, const TTempoPoint& point) { return s < point.seconds; });
    return after == tempoMap_.begin() ? tempoMap_.front() : *(after - 1);
}

double TMidiFile::TempoAt(double seconds) const {
    return PointAt(seconds).Bpm();
}

double TMidiFile::QuarterNotesAt(double seconds) const {
    const TTempoPoint& point = PointAt(seconds);
    return point.quarterNotes + (seconds - point.seconds) * 1.0e6 / point.microsecondsPerQuarter;
}

} // namespace quillon
