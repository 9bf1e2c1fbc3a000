// The encoded files SoX wrote (tests/data/codecs) read through the platform's codec service, whichever it
// is: each decodes to the very samples SoX decodes it to.
#include "analysis/ReadWaveFile.h"
#include "support/CodecFixtures.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        EXPECT_EQ(test::Pcm16Hash(test::Pcm16Of(wave.samples)), fixture.hash);
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
