// The wave reader on files built byte by byte: sample conversions, chunk layouts, frame addressing, and
// the numbered refusals of damaged or unsupported files (never a crash or a huge allocation).
#include "analysis/ReadWaveFile.h"
#include "analysis/TFileWaveStream.h"
#include "analysis/TPCMWaveReader.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <system_error>

namespace quillon {
namespace {

using namespace quillon::test;

class WaveReaderTest : public ::testing::Test {
protected:
    TWaveData Read(const Bytes& bytes) {
        const std::string path = dir / ("f" + std::to_string(count++) + ".wav");
        WriteFile(path, bytes);
        TWaveData wave;
        status = ReadWaveFile(path, wave);
        return wave;
    }
    // The message a refused file gives.
    std::string Refusal(const Bytes& bytes) {
        Read(bytes);
        return status.code == StatusCode::kNotValid ? status.message : "(read)";
    }

    Status status; // of the last Read

    TemporaryDirectory dir;
    int count = 0;
};

Bytes Fmt16Mono() {
    return FmtPayload(1, 1, 44100, 2, 16);
}

Bytes Data16(std::initializer_list<std::int16_t> values) {
    Bytes out;
    for (std::int16_t v : values)
        PutU16(out, static_cast<std::uint16_t>(v));
    return out;
}

// Sample conversions ---------------------------------------------------------------------------------

TEST_F(WaveReaderTest, SixteenBitExtremesAreExactlyPlusAndMinusOne) {
    const TWaveData wave = Read(PcmWave({-32768, 32767, 0, 16384, -16384}, 1, 16));
    EXPECT_EQ(wave.channels, 1);
    EXPECT_EQ(wave.sampleRate, 44100);
    EXPECT_EQ(wave.frames, 5);
    ASSERT_EQ(wave.samples.size(), 5u);
    EXPECT_EQ(wave.samples[0], -1.0f);
    EXPECT_EQ(wave.samples[1], 1.0f);
    EXPECT_EQ(wave.samples[2], 0.0f);
    EXPECT_FLOAT_EQ(wave.samples[3], 16384.0f / 32767.0f);
    EXPECT_FLOAT_EQ(wave.samples[4], -0.5f);
}

TEST_F(WaveReaderTest, EightBitIsUnsigned) {
    const TWaveData wave = Read(PcmWave({0, 255, 128}, 1, 8));
    ASSERT_EQ(wave.samples.size(), 3u);
    EXPECT_EQ(wave.samples[0], -1.0f);
    EXPECT_EQ(wave.samples[1], 1.0f);
    EXPECT_FLOAT_EQ(wave.samples[2], 1.0f / 255.0f);
}

TEST_F(WaveReaderTest, TwentyFourBitInThreeBytes) {
    const TWaveData wave = Read(PcmWave({0x7FFFFF, -0x800000, 1, -4194304}, 1, 24));
    ASSERT_EQ(wave.samples.size(), 4u);
    EXPECT_EQ(wave.samples[0], 1.0f);
    EXPECT_EQ(wave.samples[1], -1.0f);
    EXPECT_FLOAT_EQ(wave.samples[2], 1.0f / 8388607.0f);
    EXPECT_FLOAT_EQ(wave.samples[3], -0.5f);
}

TEST_F(WaveReaderTest, TwentyFourBitInFourByteContainersSkipsTheFourthByte) {
    // Mono, block alignment 4: the sample is the first three bytes, the fourth is ignored.
    const Bytes data{0xFF, 0xFF, 0x7F, 0xAB, 0x00, 0x00, 0x80, 0xCD, 0x00, 0x00, 0x40, 0xEF};
    const TWaveData wave = Read(RiffWave({{"fmt ", FmtPayload(1, 1, 48000, 4, 24)}, {"data", data}}));
    ASSERT_EQ(wave.samples.size(), 3u);
    EXPECT_EQ(wave.samples[0], 1.0f);
    EXPECT_EQ(wave.samples[1], -1.0f);
    EXPECT_FLOAT_EQ(wave.samples[2], 4194304.0f / 8388607.0f);
    EXPECT_EQ(wave.sampleRate, 48000);
}

TEST_F(WaveReaderTest, TwentyBitDropsTheLowNibble) {
    // 20-bit samples sit in the top of three bytes; the low four bits are padding.
    const Bytes data{0xFF, 0xFF, 0x7F, 0x0F, 0x00, 0x80, 0x1A, 0x00, 0x00};
    const TWaveData wave = Read(RiffWave({{"fmt ", FmtPayload(1, 1, 44100, 3, 20)}, {"data", data}}));
    ASSERT_EQ(wave.samples.size(), 3u);
    EXPECT_EQ(wave.samples[0], 1.0f);  // 0x7FFFF
    EXPECT_EQ(wave.samples[1], -1.0f); // 0x80000
    EXPECT_FLOAT_EQ(wave.samples[2], 1.0f / 524287.0f);
}

TEST_F(WaveReaderTest, FloatSamplesPassUnchanged) {
    const TWaveData wave = Read(FloatWave({0.25f, -1.5f, 3.0e-8f}, 1));
    ASSERT_EQ(wave.samples.size(), 3u);
    EXPECT_EQ(wave.samples[0], 0.25f);
    EXPECT_EQ(wave.samples[1], -1.5f);
    EXPECT_EQ(wave.samples[2], 3.0e-8f);
}

TEST_F(WaveReaderTest, NonFiniteFloatSamplesReadAsSilence) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const TWaveData wave = Read(FloatWave({0.5f, nan, inf, -inf, -0.5f}, 1));
    EXPECT_EQ(wave.samples, (std::vector<float>{0.5f, 0.0f, 0.0f, 0.0f, -0.5f}));
}

TEST_F(WaveReaderTest, ThirtyTwoBitIntegerPcmIsScaledNotTakenAsFloat) {
    const TWaveData wave = Read(
        PcmWave({std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(), 1 << 30}, 1, 32));
    ASSERT_EQ(wave.samples.size(), 3u);
    EXPECT_EQ(wave.samples[0], 1.0f);
    EXPECT_EQ(wave.samples[1], -1.0f);
    EXPECT_NEAR(wave.samples[2], 0.5f, 1e-7f);
}

TEST_F(WaveReaderTest, ExtensibleFormatsReadAsTheirSubFormat) {
    auto extensible = [](std::uint16_t subTag, std::uint16_t bits, std::uint16_t blockAlign) {
        Bytes extra;
        PutU16(extra, bits); // valid bits
        PutU32(extra, 4);    // channel mask: front centre
        PutU16(extra, subTag);
        const Bytes tail{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        extra.insert(extra.end(), tail.begin(), tail.end());
        return FmtPayload(0xFFFE, 1, 44100, blockAlign, bits, 22, extra);
    };
    const TWaveData pcm = Read(RiffWave({{"fmt ", extensible(1, 24, 3)}, {"data", {0xFF, 0xFF, 0x7F, 0, 0, 0x80}}}));
    EXPECT_FALSE(pcm.decodedByCodec);
    EXPECT_EQ(pcm.samples, (std::vector<float>{1.0f, -1.0f}));
    Bytes floats;
    PutU32(floats, 0x3E800000); // 0.25f
    const TWaveData ieee = Read(RiffWave({{"fmt ", extensible(3, 32, 4)}, {"data", floats}}));
    EXPECT_EQ(ieee.samples, (std::vector<float>{0.25f}));
    EXPECT_EQ(ieee.format.tag, 0xFFFE);
}

TEST_F(WaveReaderTest, StereoStaysInterleaved) {
    const TWaveData wave = Read(PcmWave({32767, -32768, 0, 16384}, 2, 16));
    EXPECT_EQ(wave.channels, 2);
    EXPECT_EQ(wave.frames, 2);
    ASSERT_EQ(wave.samples.size(), 4u);
    EXPECT_EQ(wave.samples[0], 1.0f);  // left
    EXPECT_EQ(wave.samples[1], -1.0f); // right
    EXPECT_EQ(wave.samples[2], 0.0f);
}

// Chunk layouts ------------------------------------------------------------------------------------------

TEST_F(WaveReaderTest, OtherChunksInAnyOrderDoNotChangeTheSamples) {
    const Bytes data = Data16({100, -200, 300});
    const Bytes list{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c'}; // odd size: padded
    Bytes fact;
    PutU32(fact, 3);
    const std::vector<float> plain = Read(RiffWave({{"fmt ", Fmt16Mono()}, {"data", data}})).samples;
    ASSERT_EQ(plain.size(), 3u);
    EXPECT_EQ(Read(RiffWave({{"fmt ", Fmt16Mono()}, {"LIST", list}, {"data", data}})).samples, plain);
    EXPECT_EQ(Read(RiffWave({{"fmt ", Fmt16Mono()}, {"data", data}, {"LIST", list}})).samples, plain);
    EXPECT_EQ(Read(RiffWave({{"LIST", list}, {"fact", fact}, {"fmt ", Fmt16Mono()}, {"data", data}})).samples, plain);
    EXPECT_EQ(Read(RiffWave({{"data", data}, {"fmt ", Fmt16Mono()}})).samples, plain);
    EXPECT_EQ(Read(RiffWave({{"junk", {1, 2, 3, 4, 5}}, {"fmt ", Fmt16Mono()}, {"data", data}})).samples, plain);
}

TEST_F(WaveReaderTest, OddSizedDataChunkIsFollowedByItsPadByte) {
    // 8-bit mono with three samples: the data chunk is padded, and the LIST after it is still found intact.
    const TWaveData wave =
        Read(RiffWave({{"fmt ", FmtPayload(1, 1, 8000, 1, 8)}, {"data", {255, 0, 128}}, {"LIST", {'x', 'y'}}}));
    ASSERT_EQ(wave.samples.size(), 3u);
    EXPECT_EQ(wave.samples[0], 1.0f);
    EXPECT_EQ(wave.samples[1], -1.0f);
}

TEST_F(WaveReaderTest, TruncatedDataChunkLeavesZerosForTheMissingSamples) {
    Bytes bytes = PcmWave({1000, 2000, 3000, 4000, 5000, 6000}, 1, 16);
    PatchU32(bytes, 40, 20); // the data chunk claims 10 samples, the file holds 6
    const TWaveData wave = Read(bytes);
    ASSERT_EQ(wave.frames, 10);
    ASSERT_EQ(wave.samples.size(), 10u);
    EXPECT_FLOAT_EQ(wave.samples[5], 6000.0f / 32767.0f);
    for (std::size_t i = 6; i < 10; ++i)
        EXPECT_EQ(wave.samples[i], 0.0f) << i;
}

TEST_F(WaveReaderTest, PlaceholderDataSizeReadsToTheEndOfTheFile) {
    Bytes bytes = PcmWave({1000, 2000, 3000}, 1, 16);
    PatchU32(bytes, 4, 0xFFFFFFFF);  // RIFF size
    PatchU32(bytes, 40, 0xFFFFFFFF); // data size, as a writer that could not go back leaves them
    EXPECT_EQ(Read(bytes).frames, 3);
}

TEST_F(WaveReaderTest, StreamAddressesWholeFrames) {
    const std::string path = dir / "frames.wav";
    WriteFile(path, PcmWave({1, 2, 3, 4, 5, 6, 7, 8}, 2, 16)); // four stereo frames, block alignment 4
    TFileWaveStream stream(path);
    EXPECT_EQ(stream.FrameCount(), 4);
    EXPECT_EQ(stream.DataStart(), 44u);
    EXPECT_EQ(stream.Seek(3, TWaveStream::kFromStart), 3);
    std::int16_t frame[4] = {};
    EXPECT_EQ(stream.Read(frame, 2), 1); // only one frame is left
    EXPECT_EQ(frame[0], 7);
    EXPECT_EQ(frame[1], 8);
    EXPECT_EQ(stream.Seek(-3, TWaveStream::kFromCurrent), 1);
    EXPECT_EQ(stream.Read(frame, 1), 1);
    EXPECT_EQ(frame[0], 3);
    EXPECT_EQ(stream.Seek(0, TWaveStream::kFromEnd), 4);
    EXPECT_EQ(stream.Write(frame, 1), -1);
    EXPECT_THROW(stream.Seek(-1, TWaveStream::kFromStart), WaveFileError);
}

// Refusals ---------------------------------------------------------------------------------------------

TEST_F(WaveReaderTest, FilesThatAreNotWaveFilesAreRefusedWithTheirNumberedMessage) {
    EXPECT_EQ(Refusal({'R', 'I', 'F'}), "Error 12: Invalid multimedia file!");
    EXPECT_EQ(Refusal({}), "Error 12: Invalid multimedia file!");
    Bytes avi = PcmWave({1}, 1, 16);
    avi[8] = 'A';
    EXPECT_EQ(Refusal(avi), "Error 13: Not a wave file!");
    Bytes rifx = PcmWave({1}, 1, 16);
    rifx[3] = 'X';
    EXPECT_EQ(Refusal(rifx), "Error 13: Not a wave file!");
    EXPECT_EQ(Refusal(RiffWave({{"data", Data16({1})}})), "Error 14: Cannot find 'fmt' chunk!");
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", Bytes(14, 1)}, {"data", Data16({1})}})), "Error 15: Abnormal 'fmt' size!");
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", Fmt16Mono()}})), "Error 35: Cannot find 'data' chunk!");
}

TEST_F(WaveReaderTest, DamagedFormatRecordsAreRefused) {
    // The fmt chunk claims 16 bytes, but the file ends after 10.
    Bytes cut = RiffWave({{"fmt ", Fmt16Mono()}});
    cut.resize(12 + 8 + 10);
    EXPECT_EQ(Refusal(cut), "Error 16: Cannot read 'fmt' chunk!");
    // An encoded format whose fmt chunk cannot hold the extra-size word, or the extra bytes it announces.
    EXPECT_EQ(Refusal(RiffWave({{"fmt ",
                                 [] {
                                     Bytes b = FmtPayload(0x11, 1, 8000, 256, 4);
                                     b.push_back(2);
                                     return b;
                                 }()},
                                {"data", Bytes(256)}})),
              "Error 17: Cannot read 'waveformatex' length!");
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(0x11, 1, 8000, 256, 4, 40, {1, 2})}, {"data", Bytes(256)}})),
              "Error 18: Cannot read 'waveformatex'!");
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(85, 2, 44100, 1, 0, 12, Bytes(12))}, {"data", Bytes(100)}})),
              "Error 19: MPEG Layer-3 compression is not supported.");
}

TEST_F(WaveReaderTest, UnsupportedSampleFormatsAreRefused) {
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(1, 1, 44100, 2, 12)}, {"data", Data16({1})}})),
              "Error 36: Unsupported sample format (12 bits per sample).");
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(3, 1, 44100, 8, 64)}, {"data", Bytes(16)}})),
              "Error 36: Unsupported sample format (64 bits per sample).");
    // 16-bit samples in 3-byte containers.
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(1, 1, 44100, 3, 16)}, {"data", Bytes(6)}})),
              "Error 37: Invalid wave format!");
    // An encoding no codec decodes.
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(0x1234, 1, 44100, 4, 4, 0)}, {"data", Bytes(16)}})),
              "Error 26: Cannot suggest PCM format.");
}

TEST_F(WaveReaderTest, HostileHeadersGetAClearErrorNotACrash) {
    const Bytes data = Data16({1, 2, 3});
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(1, 0, 44100, 2, 16)}, {"data", data}})),
              "Error 37: Invalid wave format!");
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(1, 1, 44100, 0, 16)}, {"data", data}})),
              "Error 37: Invalid wave format!");
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(1, 1, 0, 2, 16)}, {"data", data}})),
              "Error 37: Invalid wave format!");
    EXPECT_EQ(Refusal(RiffWave({{"fmt ", FmtPayload(1, 3, 44100, 4, 8)}, {"data", data}})),
              "Error 37: Invalid wave format!"); // a block alignment that is no whole number of samples
    // A data chunk claiming 4 GB in a file of a few bytes: refused before anything is allocated for it.
    Bytes huge = PcmWave({1, 2, 3}, 1, 8);
    PatchU32(huge, 40, 0xFFFFFFF0);
    EXPECT_EQ(Refusal(huge), "Error 38: The 'data' chunk is larger than the file!");
    // A chunk before the data whose size runs past the end of the file hides the data chunk.
    Bytes skipped = RiffWave({{"fmt ", Fmt16Mono()}, {"LIST", Bytes(4)}, {"data", data}});
    PatchU32(skipped, 40, 0xFFFFFFF0);
    EXPECT_EQ(Refusal(skipped), "Error 35: Cannot find 'data' chunk!");
    // A huge RIFF size and 65,535 one-byte channels are harmless.
    Bytes wide = RiffWave({{"fmt ", FmtPayload(1, 65535, 44100, 65535, 8)}, {"data", Bytes(65535, 128)}});
    PatchU32(wide, 4, 0xFFFFFFFF);
    const TWaveData wideWave = Read(wide);
    EXPECT_EQ(wideWave.frames, 1);
    EXPECT_EQ(wideWave.samples.size(), 65535u);
}

TEST_F(WaveReaderTest, MissingFilesAndFoldersCannotBeOpened) {
    TWaveData wave;
    EXPECT_EQ(ReadWaveFile(dir / "missing.wav", wave).code, StatusCode::kCannotOpen);
    EXPECT_EQ(ReadWaveFile(dir.Path(), wave).code, StatusCode::kCannotOpen);
}

} // namespace
} // namespace quillon
