// Encoded WAV files (written here by libsndfile) read through the codec service: each must give the same
// 16-bit samples as libsndfile's own decoding of the whole file, however the reader cuts its reads.
#include "analysis/ReadWaveFile.h"
#include "analysis/TFileWaveStream.h"
#include "analysis/TPCMWaveReader.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace quillon {
namespace {

struct EncodedCase {
    const char* name;
    int format; // libsndfile major | minor format
    int channels;
};

std::ostream& operator<<(std::ostream& out, const EncodedCase& c) {
    return out << c.name;
}

class WaveCodecTest : public ::testing::TestWithParam<EncodedCase> {
protected:
    // Writes a 1.3 s two-tone signal (8 kHz) in the case's encoding; false when libsndfile cannot.
    bool WriteEncoded(const std::string& path) {
        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = GetParam().channels;
        info.format = GetParam().format;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (file == nullptr) return false;
        // An even number of GSM blocks: libsndfile's own reading counts the pad byte of an odd-sized data
        // chunk as one more block, which the reference would then hold and the reader rightly not.
        const int frames = 10240;
        std::vector<float> samples(static_cast<std::size_t>(frames * info.channels));
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < info.channels; ++c)
                samples[static_cast<std::size_t>(i * info.channels + c)] =
                    static_cast<float>(0.6 * std::sin(0.07 * i * (c + 1)) + 0.2 * std::sin(0.9 * i));
        sf_writef_float(file, samples.data(), frames);
        sf_close(file);
        return true;
    }

    // libsndfile's own decoding of the whole file, converted as the reader converts 16-bit PCM.
    static std::vector<float> Reference(const std::string& path, sf_count_t& frames) {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        std::vector<short> pcm(static_cast<std::size_t>(info.frames * info.channels));
        frames = sf_readf_short(file, pcm.data(), info.frames);
        sf_close(file);
        std::vector<float> out;
        for (short v : pcm)
            out.push_back(v > 0 ? static_cast<float>(v) / 32767.0f : static_cast<float>(v) / 32768.0f);
        return out;
    }

    test::TemporaryDirectory dir;
};

TEST_P(WaveCodecTest, DecodesLikeLibsndfileDecodesTheWholeFile) {
    const std::string path = dir / "encoded.wav";
    ASSERT_TRUE(WriteEncoded(path));
    sf_count_t frames = 0;
    const std::vector<float> reference = Reference(path, frames);

    TWaveData wave;
    ASSERT_TRUE(ReadWaveFile(path, wave));
    EXPECT_TRUE(wave.decodedByCodec);
    EXPECT_EQ(wave.channels, GetParam().channels);
    EXPECT_EQ(wave.sampleRate, 8000);
    EXPECT_EQ(wave.frames, frames);
    ASSERT_EQ(wave.samples.size(), reference.size());
    EXPECT_EQ(wave.samples, reference);
}

TEST_P(WaveCodecTest, ShortReadsGiveTheSameSamplesAsOneLongRead) {
    const std::string path = dir / "encoded.wav";
    ASSERT_TRUE(WriteEncoded(path));
    TWaveData wave;
    ASSERT_TRUE(ReadWaveFile(path, wave));
    const std::vector<float> whole = wave.samples;

    TFileWaveStream stream(path);
    auto codec = platform::CreateAudioCodec();
    TPCMWaveReader reader(stream, codec.get());
    ASSERT_EQ(reader.OutputFormat().bitsPerSample, 16);
    const std::size_t frameBytes = reader.OutputFormat().blockAlign;
    std::vector<std::uint8_t> pcm;
    std::vector<std::uint8_t> piece(777 * frameBytes);
    for (std::int64_t got; (got = reader.Read(piece.data(), 777)) > 0;)
        pcm.insert(pcm.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got * frameBytes));
    ASSERT_EQ(pcm.size() / 2, whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const auto v = static_cast<std::int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        ASSERT_EQ(v > 0 ? v / 32767.0f : v / 32768.0f, whole[i]) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, WaveCodecTest,
                         ::testing::Values(EncodedCase{"ImaAdpcmMono", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1},
                                           EncodedCase{"ImaAdpcmStereo", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 2},
                                           EncodedCase{"MsAdpcmMono", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 1},
                                           EncodedCase{"MsAdpcmStereo", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 2},
                                           EncodedCase{"MuLaw", SF_FORMAT_WAV | SF_FORMAT_ULAW, 2},
                                           EncodedCase{"ALaw", SF_FORMAT_WAV | SF_FORMAT_ALAW, 1},
                                           EncodedCase{"Gsm610", SF_FORMAT_WAV | SF_FORMAT_GSM610, 1},
                                           EncodedCase{"ExtensibleMuLaw", SF_FORMAT_WAVEX | SF_FORMAT_ULAW, 2}),
                         [](const ::testing::TestParamInfo<EncodedCase>& info) { return info.param.name; });

TEST(WaveCodec, FourBitAdpcmOutgrowsTheFileAndIsSizedFromItsDecodedLength) {
    test::TemporaryDirectory dir;
    const std::string path = dir / "adpcm.wav";
    const std::vector<float> tone = test::WriteImaAdpcmTone(path, 40000);
    ASSERT_FALSE(tone.empty());

    TWaveData wave;
    ASSERT_TRUE(ReadWaveFile(path, wave));
    TFileWaveStream stream(path);
    EXPECT_GT(wave.samples.size(), stream.FileSize()); // more samples than the file has bytes
    ASSERT_GE(wave.samples.size(), tone.size());
    // The last quarter decodes as well as the rest: nothing was cut off or left zero.
    double error = 0.0;
    for (std::size_t i = tone.size() * 3 / 4; i < tone.size(); ++i)
        error += std::pow(static_cast<double>(wave.samples[i]) - tone[i], 2.0);
    EXPECT_LT(std::sqrt(error / static_cast<double>(tone.size() / 4)), 0.01);
}

} // namespace
} // namespace quillon
