// Standard MIDI Files built byte by byte for tests: chunks, tracks of (delta, bytes) events, headers.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

using TBytes = std::vector<std::uint8_t>;

// A track as (delta ticks, event bytes) pairs; an end-of-track event `endDelta` ticks after the last
// event is added unless `end` is false.
struct TMidiTrack {
    std::vector<std::pair<std::uint32_t, TBytes>> events;
    bool end = true;
    std::uint32_t endDelta = 0;
};

TBytes MidiQuantity(std::uint32_t value); // variable-length quantity, 7 bits a byte
void Append(TBytes& to, const TBytes& bytes);
void AppendBigEndian(TBytes& to, std::uint32_t value, int count);
TBytes MidiChunk(const char* type, const TBytes& data);
TBytes MidiTrackChunk(const TMidiTrack& track);
TBytes MidiHeader(int format, int tracks, std::uint16_t division);
TBytes MidiFileBytes(int format, std::uint16_t division, std::initializer_list<TMidiTrack> tracks);
TBytes MidiTempo(std::uint32_t microsecondsPerQuarter); // the meta event's bytes
void WriteBytes(const std::string& path, const TBytes& bytes);

} // namespace quillon::test
