// The encoded files SoX wrote (tests/data/codecs) read through the platform's codec service, whichever it
// is: each decodes to the very samples SoX decodes it to.
#include "support/CodecFixtures.h"
#include "analysis/ReadWaveFile.h"
#include "analysis/TFileWaveStream.h"
#include "platform/ReadWholeFile.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quillon {
namespace {

TWaveData ReadOrFail(const std::string& path) {
    TWaveData wave;
    const Status status = ReadWaveFile(path, wave);
    EXPECT_TRUE(status) << path << ": " << status.message;
    return wave;
}

// A fixture's bytes from its `data` chunk on (sox writes it last).
test::Bytes DataOf(const std::string& path) {
    const auto file = platform::ReadWholeFile(path, 1u << 20).bytes;
    return {file.begin() + static_cast<std::ptrdiff_t>(TFileWaveStream(path).DataStart()), file.end()};
}

TEST(CodecFixtures, EveryFileDecodesToTheSamplesSoxDecodes) {
    const std::vector<test::SoxDecoded> fixtures = test::SoxDecodedFixtures();
    ASSERT_EQ(fixtures.size(), 7u);
    for (const test::SoxDecoded& fixture : fixtures) {
        SCOPED_TRACE(fixture.file);
        const TWaveData wave = ReadOrFail(test::CodecFixturePath(fixture.file));
        EXPECT_TRUE(wave.decodedByCodec);
        EXPECT_EQ(wave.channels, fixture.channels);
        EXPECT_EQ(wave.frames, fixture.frames);
        const std::vector<std::int16_t> samples = test::Pcm16Of(wave.samples);
#if defined(_WIN32)
        // The MS ADPCM drivers of Windows divide a prediction by 256 where SoX and libsndfile shift it by 8
        // bits; truncation biases a slow wave's predictions one way, up to some 50 steps within a block.
        if (fixture.file.starts_with("ms-adpcm")) {
            const std::string name = fixture.file.substr(0, fixture.file.size() - 4) + ".sox.wav";
            const std::vector<std::int16_t> sox = test::Pcm16Of(ReadOrFail(test::CodecFixturePath(name)).samples);
            EXPECT_EQ(test::Pcm16Hash(sox), fixture.hash);
            ASSERT_EQ(samples.size(), sox.size());
            double squares = 0.0;
            for (std::size_t i = 0; i < sox.size(); ++i) {
                EXPECT_LE(std::abs(samples[i] - sox[i]), 128) << "sample " << i; // −48 dBFS
                squares += std::pow(samples[i] - sox[i], 2.0);
            }
            EXPECT_LE(std::sqrt(squares / static_cast<double>(sox.size())), 48.0); // −57 dBFS
            continue;
        }
#endif
        EXPECT_EQ(test::Pcm16Hash(samples), fixture.hash);
    }
}

TEST(CodecFixtures, AnExtensibleRecordWithAnEncodedSubFormatReadsLikeThePlainOne) {
    // Valid bits, front left and right, then the KSDATAFORMAT GUID of µ-law (7).
    const test::Bytes extra = {8, 0, 3, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const std::string plain = test::CodecFixturePath("mu-law-stereo.wav");
    test::TemporaryDirectory dir;
    test::WriteFile(dir / "x.wav", test::RiffWave({{"fmt ", test::FmtPayload(0xFFFE, 2, 8000, 2, 8, 22, extra)},
                                                   {"data", DataOf(plain)}}));
    EXPECT_EQ(ReadOrFail(dir / "x.wav").samples, ReadOrFail(plain).samples);
}

TEST(CodecFixtures, AFileCutInsideABlockKeepsItsWholeBlocksAndReadsZerosAfterThem) {
    const std::string full = test::CodecFixturePath("ima-adpcm-mono.wav"); // blocks of 256 bytes, 505 frames
    test::Bytes cut = platform::ReadWholeFile(full, 1u << 20).bytes;
    cut.resize(TFileWaveStream(full).DataStart() + std::size_t{10} * 256 + 128);
    test::TemporaryDirectory dir;
    test::WriteFile(dir / "cut.wav", cut);
    const TWaveData whole = ReadOrFail(full), wave = ReadOrFail(dir / "cut.wav");
    ASSERT_EQ(wave.samples.size(), whole.samples.size()); // the declared length
    EXPECT_TRUE(std::equal(wave.samples.begin(), wave.samples.begin() + 5050, whole.samples.begin()));
    EXPECT_TRUE(std::all_of(wave.samples.begin() + 5050, wave.samples.end(), [](float v) { return v == 0.0f; }));
}

} // namespace
} // namespace quillon
