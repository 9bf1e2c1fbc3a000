// The codec service on Windows (the Audio Compression Manager) on its own: conversions that follow each
// other continue the decoder, one anywhere else starts it afresh, and formats no driver decodes are
// refused with the wave reader's messages.
#include "analysis/ReadWaveFile.h"
#include "analysis/TFileWaveStream.h"
#include "platform/IAudioCodec.h"
#include "support/CodecFixtures.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace quillon::platform {
namespace {

using test::Bytes;

// A codec stream on a file of tests/data/codecs.
class AcmCodecTest : public ::testing::Test {
protected:
    std::unique_ptr<IAudioCodec::Stream> Open(TFileWaveStream& file) {
        WaveFormat pcm;
        if (!codec_->SuggestPcmFormat(file.Format(), pcm)) return nullptr;
        EXPECT_EQ(pcm.bitsPerSample, 16);
        frameBytes_ = pcm.blockAlign;
        return codec_->OpenStream(file.Format(), pcm, file.DataSize(),
                                  [&file](std::uint64_t offset, void* buffer, std::size_t bytes) {
                                      return file.ReadDataBytes(offset, buffer, bytes);
                                  });
    }

    // Converts `blocks` blocks from `first` on and returns the PCM.
    static Bytes Convert(IAudioCodec::Stream& stream, std::uint64_t first, std::size_t blocks, std::size_t block) {
        Bytes pcm(stream.DestinationSize(blocks * block));
        const std::int64_t used = stream.Convert(first, blocks, pcm.data(), pcm.size());
        EXPECT_GE(used, 0);
        pcm.resize(static_cast<std::size_t>(std::max<std::int64_t>(used, 0)));
        return pcm;
    }

    std::string Refusal(const Bytes& fmt) {
        const std::string path = dir_ / "refused.wav";
        test::WriteFile(path, test::RiffWave({{"fmt ", fmt}, {"data", Bytes(4096)}}));
        TWaveData wave;
        const Status status = ReadWaveFile(path, wave);
        EXPECT_FALSE(status);
        return status.message;
    }

    std::unique_ptr<IAudioCodec> codec_ = CreateAudioCodec();
    std::size_t frameBytes_ = 0;
    test::TemporaryDirectory dir_;
};

TEST_F(AcmCodecTest, ConsecutiveConversionsContinueTheDecoderAndOthersStartItAfresh) {
    for (const char* name : {"gsm610-mono.wav", "ima-adpcm-stereo.wav", "ms-adpcm-mono.wav"}) {
        SCOPED_TRACE(name);
        TFileWaveStream file(test::CodecFixturePath(name));
        const std::size_t block = file.Format().blockAlign;
        const auto blocks = static_cast<std::size_t>(file.FrameCount());
        auto whole = Open(file);
        ASSERT_NE(whole, nullptr);
        const Bytes expected = Convert(*whole, 0, blocks, block);
        ASSERT_EQ(expected.size(), whole->DestinationSize(blocks * block));

        // Seven blocks at a time, one after the other: the same PCM as one conversion of them all.
        auto pieces = Open(file);
        Bytes joined;
        for (std::size_t at = 0; at < blocks; at += 7) {
            const Bytes part = Convert(*pieces, at, 7, block);
            joined.insert(joined.end(), part.begin(), part.end());
        }
        EXPECT_EQ(joined, expected);

        // Back to block 10 on the used stream: as a fresh stream decodes from block 10.
        auto fresh = Open(file);
        const Bytes fromTen = Convert(*fresh, 10, 20, block);
        EXPECT_EQ(Convert(*pieces, 10, 20, block), fromTen);
        EXPECT_EQ(Convert(*pieces, 30, 5, block), Convert(*fresh, 30, 5, block));
        // Past the end of the data: nothing.
        EXPECT_EQ(Convert(*pieces, blocks, 3, block).size(), 0u);
    }
}

TEST_F(AcmCodecTest, FormatsNoDriverDecodesAreRefusedWithTheReadersMessages) {
    // An encoding no driver knows.
    EXPECT_EQ(Refusal(test::FmtPayload(0x1234, 1, 8000, 4, 4, 0)), "Error 26: Cannot suggest PCM format.");
    // MPEG Layer-3 is refused by the reader before any driver is asked.
    EXPECT_EQ(Refusal(test::FmtPayload(85, 1, 8000, 1, 0, 12, Bytes(12))),
              "Error 19: MPEG Layer-3 compression is not supported.");
    // GSM 6.10 in blocks of another size than its 65 bytes.
    EXPECT_EQ(Refusal(test::FmtPayload(0x31, 1, 8000, 64, 0, 2, {0x40, 0x01})), "Error 26: Cannot suggest PCM format.");
}

} // namespace
} // namespace quillon::platform
