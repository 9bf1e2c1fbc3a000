#include "support/MidiFileBuilder.h"

#include <fstream>
#include <stdexcept>

namespace quillon::test {

TBytes MidiQuantity(std::uint32_t value) {
    TBytes bytes{static_cast<std::uint8_t>(value & 0x7f)};
    while ((value >>= 7) != 0)
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>((value & 0x7f) | 0x80));
    return bytes;
}

void Append(TBytes& to, const TBytes& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

void AppendBigEndian(TBytes& to, std::uint32_t value, int count) {
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8)
        to.push_back(static_cast<std::uint8_t>(value >> shift));
}

TBytes MidiChunk(const char* type, const TBytes& data) {
    TBytes bytes(type, type + 4);
    AppendBigEndian(bytes, static_cast<std::uint32_t>(data.size()), 4);
    Append(bytes, data);
    return bytes;
}

TBytes MidiTrackChunk(const TMidiTrack& track) {
    TBytes data;
    for (const auto& [delta, event] : track.events) {
        Append(data, MidiQuantity(delta));
        Append(data, event);
    }
    if (track.end) {
        Append(data, MidiQuantity(track.endDelta));
        Append(data, {0xFF, 0x2F, 0x00});
    }
    return MidiChunk("MTrk", data);
}

TBytes MidiHeader(int format, int tracks, std::uint16_t division) {
    TBytes data;
    AppendBigEndian(data, static_cast<std::uint32_t>(format), 2);
    AppendBigEndian(data, static_cast<std::uint32_t>(tracks), 2);
    AppendBigEndian(data, division, 2);
    return MidiChunk("MThd", data);
}

TBytes MidiFileBytes(int format, std::uint16_t division, std::initializer_list<TMidiTrack> tracks) {
    TBytes bytes = MidiHeader(format, static_cast<int>(tracks.size()), division);
    for (const TMidiTrack& track : tracks)
        Append(bytes, MidiTrackChunk(track));
    return bytes;
}

TBytes MidiTempo(std::uint32_t microsecondsPerQuarter) {
    TBytes bytes{0xFF, 0x51, 0x03};
    AppendBigEndian(bytes, microsecondsPerQuarter, 3);
    return bytes;
}

void WriteBytes(const std::string& path, const TBytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

} // namespace quillon::test
