// The encoded wave files of tests/data/codecs (IMA and MS ADPCM, µ-law, A-law, GSM 6.10) and the 16-bit
// samples SoX decodes them to, listed in sox-decoded.txt; scripts/make-codec-fixtures.sh makes both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

struct SoxDecoded {
    std::string file; // name in tests/data/codecs
    int channels = 0;
    std::int64_t frames = 0;
    std::uint64_t hash = 0; // Pcm16Hash of SoX's samples
};

std::vector<SoxDecoded> SoxDecodedFixtures();
std::string CodecFixturePath(const std::string& file);

// Samples the wave reader converted from 16-bit PCM, back as the 16-bit values they came from.
std::vector<std::int16_t> Pcm16Of(const std::vector<float>& samples);
// FNV-1a 64 of the samples as little-endian bytes.
std::uint64_t Pcm16Hash(const std::vector<std::int16_t>& samples);

} // namespace quillon::test
