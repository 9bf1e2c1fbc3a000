#include "support/WaveFileBytes.h"

#if !defined(_WIN32)
#include <sndfile.h>
#endif

#include <bit>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace quillon::test {

void PutU16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xff));
}

void PutU32(Bytes& out, std::uint32_t value) {
    PutU16(out, value & 0xffff);
    PutU16(out, value >> 16);
}

void PatchU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
}

Bytes FmtPayload(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t blockAlign,
                 std::uint16_t bits, int extraSize, const Bytes& extra) {
    Bytes out;
    PutU16(out, tag);
    PutU16(out, channels);
    PutU32(out, rate);
    PutU32(out, rate * blockAlign);
    PutU16(out, blockAlign);
    PutU16(out, bits);
    if (extraSize >= 0) {
        PutU16(out, static_cast<std::uint32_t>(extraSize));
        out.insert(out.end(), extra.begin(), extra.end());
    }
    return out;
}

Bytes RiffWave(const std::vector<Chunk>& chunks) {
    Bytes body{'W', 'A', 'V', 'E'};
    for (const Chunk& chunk : chunks) {
        body.insert(body.end(), chunk.id.begin(), chunk.id.end());
        PutU32(body, static_cast<std::uint32_t>(chunk.payload.size()));
        body.insert(body.end(), chunk.payload.begin(), chunk.payload.end());
        if (chunk.payload.size() % 2 != 0) body.push_back(0);
    }
    Bytes out{'R', 'I', 'F', 'F'};
    PutU32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes PcmWave(const std::vector<std::int32_t>& samples, int channels, int bits, std::uint32_t rate) {
    const int bytes = bits / 8;
    Bytes data;
    for (std::int32_t v : samples)
        for (int b = 0; b < bytes; ++b)
            data.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * b)));
    const auto blockAlign = static_cast<std::uint16_t>(channels * bytes);
    return RiffWave({{"fmt ", FmtPayload(1, static_cast<std::uint16_t>(channels), rate, blockAlign,
                                         static_cast<std::uint16_t>(bits))},
                     {"data", data}});
}

Bytes FloatWave(const std::vector<float>& samples, int channels, std::uint32_t rate) {
    Bytes data;
    for (float v : samples)
        PutU32(data, std::bit_cast<std::uint32_t>(v));
    const auto blockAlign = static_cast<std::uint16_t>(channels * 4);
    return RiffWave(
        {{"fmt ", FmtPayload(3, static_cast<std::uint16_t>(channels), rate, blockAlign, 32)}, {"data", data}});
}

Bytes Pcm16Wave(const std::vector<float>& samples, int channels, std::uint32_t rate) {
    std::vector<std::int32_t> values;
    values.reserve(samples.size());
    for (float v : samples)
        values.push_back(static_cast<std::int32_t>(std::lround(std::fmax(-1.0f, std::fmin(1.0f, v)) * 32767.0f)));
    return PcmWave(values, channels, 16, rate);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

#if defined(_WIN32)
// No encoder on Windows yet (libsndfile is not there): callers skip what needs the file.
std::vector<float> WriteImaAdpcmTone(const std::string&, std::size_t) {
    return {};
}
#else
std::vector<float> WriteImaAdpcmTone(const std::string& path, std::size_t frames) {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return {};
    std::vector<float> tone(frames);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<float>(0.5 * std::sin(0.05 * static_cast<double>(i)));
    const bool written = sf_writef_float(file, tone.data(), static_cast<sf_count_t>(tone.size())) ==
                         static_cast<sf_count_t>(tone.size());
    if (sf_close(file) != 0 || !written) return {};
    return tone;
}
#endif

} // namespace quillon::test
