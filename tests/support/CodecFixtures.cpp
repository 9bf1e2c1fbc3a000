#include "support/CodecFixtures.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace quillon::test {

std::string CodecFixturePath(const std::string& file) {
    return std::string(QUILLON_SOURCE_DIR) + "/tests/data/codecs/" + file;
}

std::vector<SoxDecoded> SoxDecodedFixtures() {
    std::ifstream listing(CodecFixturePath("sox-decoded.txt"));
    std::vector<SoxDecoded> fixtures;
    for (std::string line; std::getline(listing, line);) {
        std::istringstream fields(line);
        SoxDecoded entry;
        if (line[0] != '#' && fields >> entry.file >> entry.channels >> entry.frames >> std::hex >> entry.hash)
            fixtures.push_back(entry);
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
        for (int shift : {0, 8})
            hash = (hash ^ ((static_cast<std::uint16_t>(v) >> shift) & 0xff)) * 0x100000001b3u;
    return hash;
}

} // namespace quillon::test
