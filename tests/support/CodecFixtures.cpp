#include "support/CodecFixtures.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace quillon::test {

std::string CodecFixturePath(const std::string& file) {
    return std::string(QUILLON_SOURCE_DIR) + "/tests/data/codecs/" + file;
}

std::vector<SoxDecoded> SoxDecodedFixtures() {
    std::ifstream listing(CodecFixturePath("sox-decoded.txt"));
    std::vector<SoxDecoded> fixtures;
    for (std::string line; std::getline(listing, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        SoxDecoded entry;
        fields >> entry.file >> entry.channels >> entry.frames >> std::hex >> entry.hash;
        if (fields) fixtures.push_back(entry);
    }
    return fixtures;
}

std::vector<std::int16_t> Pcm16Of(const std::vector<float>& samples) {
    std::vector<std::int16_t> values;
    values.reserve(samples.size());
    for (float v : samples)
        values.push_back(static_cast<std::int16_t>(std::lround(v > 0.0f ? v * 32767.0 : v * 32768.0)));
    return values;
}

std::uint64_t Pcm16Hash(const std::vector<std::int16_t>& samples) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (std::int16_t v : samples)
        for (int b = 0; b < 2; ++b)
            hash = (hash ^ ((static_cast<std::uint16_t>(v) >> (8 * b)) & 0xff)) * 0x100000001b3u;
    return hash;
}

WaveChunks ReadWaveChunks(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes.at(at) | (bytes.at(at + 1) << 8) | (bytes.at(at + 2) << 16) |
                                          (static_cast<std::uint32_t>(bytes.at(at + 3)) << 24));
    };
    WaveChunks chunks;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::size_t size = u32(at + 4);
        if (at + 8 + size > bytes.size()) break;
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(at + 8);
        if (id == "fmt " && chunks.fmt.empty()) chunks.fmt.assign(begin, begin + static_cast<std::ptrdiff_t>(size));
        if (id == "data" && chunks.data.empty()) chunks.data.assign(begin, begin + static_cast<std::ptrdiff_t>(size));
        at += 8 + size + (size & 1);
    }
    if (chunks.fmt.empty() || chunks.data.empty()) throw std::runtime_error("no fmt or data chunk in " + path);
    return chunks;
}

} // namespace quillon::test
