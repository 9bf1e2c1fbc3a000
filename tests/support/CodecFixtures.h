// The encoded wave files of tests/data/codecs (IMA and MS ADPCM, µ-law, A-law, GSM 6.10, written by SoX)
// and the 16-bit PCM SoX decodes them to, as listed in sox-decoded.txt; scripts/make-codec-fixtures.sh
// makes both. A platform's codec service that decodes these files to the same samples decodes them
// bit-identically to SoX.
#pragma once

#include "support/WaveFileBytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

struct SoxDecoded {
    std::string file; // name in tests/data/codecs
    int channels = 0;
    std::int64_t frames = 0;
    std::uint64_t hash = 0; // FNV-1a 64 of the little-endian 16-bit samples
};

// The listed files; empty when the listing cannot be read.
std::vector<SoxDecoded> SoxDecodedFixtures();
// Path of a file in tests/data/codecs.
std::string CodecFixturePath(const std::string& file);

// Samples −1 … 1 that the wave reader converted from 16-bit PCM, back as the 16-bit values they came from.
std::vector<std::int16_t> Pcm16Of(const std::vector<float>& samples);
// FNV-1a 64 of the samples as little-endian bytes.
std::uint64_t Pcm16Hash(const std::vector<std::int16_t>& samples);

// The contents of the file's `data` chunk and its `fmt ` chunk (the first of each).
struct WaveChunks {
    Bytes fmt;
    Bytes data;
};
WaveChunks ReadWaveChunks(const std::string& path);

} // namespace quillon::test
