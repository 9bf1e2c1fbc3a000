// The encoded files SoX wrote (tests/data/codecs) read through the platform's codec service, whichever it
// is: each decodes to the very samples SoX decodes it to.
#include "support/CodecFixtures.h"
#include "analysis/ReadWaveFile.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace quillon {
namespace {

TWaveData ReadOrFail(const std::string& path) {
    TWaveData wave;
    const Status status = ReadWaveFile(path, wave);
    EXPECT_TRUE(status) << path << ": " << status.message;
    return wave;
}

// The MS ADPCM drivers of Windows divide a prediction by 256 where SoX and libsndfile shift it by 8 bits, so
// their samples may stray by a few steps from SoX's (and the difference runs on through the predictor to
// the end of the block). Everything else decodes bit-identically on every platform.
bool MayRoundDifferently(const std::string& file) {
#if defined(_WIN32)
    return file.rfind("ms-adpcm", 0) == 0;
#else
    return file.empty();
#endif
}

// SoX's decoding of `file`, kept beside it as 16-bit PCM.
std::vector<std::int16_t> SoxSamples(const std::string& file) {
    const TWaveData wave = ReadOrFail(test::CodecFixturePath(file.substr(0, file.size() - 4) + ".sox.wav"));
    EXPECT_FALSE(wave.decodedByCodec);
    return test::Pcm16Of(wave.samples);
}

TEST(CodecFixtures, EveryFileDecodesToTheSamplesSoxDecodes) {
    const std::vector<test::SoxDecoded> fixtures = test::SoxDecodedFixtures();
    ASSERT_EQ(fixtures.size(), 7u);
    for (const test::SoxDecoded& fixture : fixtures) {
        SCOPED_TRACE(fixture.file);
        const TWaveData wave = ReadOrFail(test::CodecFixturePath(fixture.file));
        EXPECT_TRUE(wave.decodedByCodec);
        EXPECT_EQ(wave.channels, fixture.channels);
        EXPECT_EQ(wave.sampleRate, 8000);
        EXPECT_EQ(wave.frames, fixture.frames);
        const std::vector<std::int16_t> samples = test::Pcm16Of(wave.samples);
        if (!MayRoundDifferently(fixture.file)) {
            EXPECT_EQ(test::Pcm16Hash(samples), fixture.hash);
            continue;
        }
        const std::vector<std::int16_t> sox = SoxSamples(fixture.file);
        EXPECT_EQ(test::Pcm16Hash(sox), fixture.hash);
        ASSERT_EQ(samples.size(), sox.size());
        int largest = 0;
        double squares = 0.0;
        for (std::size_t i = 0; i < sox.size(); ++i) {
            const int difference = samples[i] - sox[i];
            largest = std::max(largest, std::abs(difference));
            squares += static_cast<double>(difference) * difference;
        }
        // Truncation biases a slow wave's predictions one way, so the error builds up to some 50 steps.
        EXPECT_LE(largest, 128);                                               // −48 dBFS
        EXPECT_LE(std::sqrt(squares / static_cast<double>(sox.size())), 48.0); // −57 dBFS
    }
}

TEST(CodecFixtures, AnExtensibleRecordWithAnEncodedSubFormatReadsLikeThePlainOne) {
    const std::string plain = test::CodecFixturePath("mu-law-stereo.wav");
    test::Bytes extra;
    test::PutU16(extra, 8); // valid bits
    test::PutU32(extra, 3); // front left and right
    test::PutU16(extra, 7); // µ-law in the KSDATAFORMAT pattern
    for (std::uint8_t b : {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
        extra.push_back(b);
    test::TemporaryDirectory dir;
    const std::string extensible = dir / "extensible.wav";
    test::WriteFile(extensible, test::RiffWave({{"fmt ", test::FmtPayload(0xFFFE, 2, 8000, 2, 8, 22, extra)},
                                                {"data", test::ReadWaveChunks(plain).data}}));
    const TWaveData expected = ReadOrFail(plain);
    const TWaveData wave = ReadOrFail(extensible);
    EXPECT_EQ(wave.frames, expected.frames);
    EXPECT_EQ(wave.samples, expected.samples);
}

TEST(CodecFixtures, AFileCutInsideABlockKeepsItsWholeBlocksAndReadsZerosAfterThem) {
    const std::string full = test::CodecFixturePath("ima-adpcm-mono.wav");
    const test::WaveChunks chunks = test::ReadWaveChunks(full);
    const std::size_t block = 256, framesPerBlock = 505;
    test::Bytes cut = test::RiffWave({{"fmt ", chunks.fmt}, {"data", chunks.data}});
    cut.resize(cut.size() - chunks.data.size() + 10 * block + block / 2);
    test::TemporaryDirectory dir;
    test::WriteFile(dir / "cut.wav", cut);

    const TWaveData whole = ReadOrFail(full);
    const TWaveData wave = ReadOrFail(dir / "cut.wav");
    EXPECT_EQ(wave.frames, whole.frames); // the declared length
    ASSERT_EQ(wave.samples.size(), whole.samples.size());
    const auto kept = static_cast<std::ptrdiff_t>(10 * framesPerBlock);
    EXPECT_TRUE(std::equal(wave.samples.begin(), wave.samples.begin() + kept, whole.samples.begin()));
    EXPECT_TRUE(std::all_of(wave.samples.begin() + kept, wave.samples.end(), [](float v) { return v == 0.0f; }));
}

} // namespace
} // namespace quillon
