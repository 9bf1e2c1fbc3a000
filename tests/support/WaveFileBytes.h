// RIFF/WAVE files built byte by byte for tests, so that every header field (sizes, chunk order, format
// records) can be what the test needs, damaged ones included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

using Bytes = std::vector<std::uint8_t>;

void PutU16(Bytes& out, std::uint32_t value);
void PutU32(Bytes& out, std::uint32_t value);
// Overwrites four bytes at `offset` with a little-endian value.
void PatchU32(Bytes& bytes, std::size_t offset, std::uint32_t value);

// The contents of a `fmt ` chunk: the 16-byte record, and for `extraSize` ≥ 0 the extra-size word holding
// it followed by `extra`.
Bytes FmtPayload(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t blockAlign,
                 std::uint16_t bits, int extraSize = -1, const Bytes& extra = {});

struct Chunk {
    std::string id; // four characters
    Bytes payload;
};

// "RIFF", size, "WAVE" and the chunks in order, each with its size and, when odd, a pad byte.
Bytes RiffWave(const std::vector<Chunk>& chunks);
// A PCM file of interleaved samples with `bits` 8, 16, 24 or 32 (integers: unsigned 8-bit, signed others).
Bytes PcmWave(const std::vector<std::int32_t>& samples, int channels, int bits, std::uint32_t rate = 44100);
// An IEEE-float file (tag 3) of interleaved samples.
Bytes FloatWave(const std::vector<float>& samples, int channels, std::uint32_t rate = 44100);
// 16-bit PCM of float samples −1 … 1, rounded.
Bytes Pcm16Wave(const std::vector<float>& samples, int channels, std::uint32_t rate = 44100);

void WriteFile(const std::string& path, const Bytes& bytes);

// Writes an IMA ADPCM file (8 kHz mono) of `frames` samples of a 0.5-amplitude tone, encoded by
// libsndfile, and returns the samples it encoded; nothing when the file cannot be written.
std::vector<float> WriteImaAdpcmTone(const std::string& path, std::size_t frames);

} // namespace quillon::test
