// The codec service on Windows (the Audio Compression Manager): conversions that follow each other
// continue the decoder, one anywhere else starts it afresh, and formats no driver decodes are refused with
// the wave reader's messages.
#include "analysis/ReadWaveFile.h"
#include "analysis/TFileWaveStream.h"
#include "support/CodecFixtures.h"
#include "support/TemporaryDirectory.h"
#include "support/WaveFileBytes.h"

#include <gtest/gtest.h>

namespace quillon::platform {
namespace {

using test::Bytes;

std::unique_ptr<IAudioCodec::Stream> Open(IAudioCodec& codec, TFileWaveStream& file) {
    WaveFormat pcm;
    if (!codec.SuggestPcmFormat(file.Format(), pcm)) return nullptr;
    return codec.OpenStream(file.Format(), pcm, file.DataSize(), [&file](std::uint64_t at, void* to, std::size_t n) {
        return file.ReadDataBytes(at, to, n);
    });
}

Bytes Convert(IAudioCodec::Stream& stream, std::uint64_t first, std::size_t blocks, std::size_t block) {
    Bytes pcm(stream.DestinationSize(blocks * block));
    pcm.resize(
        static_cast<std::size_t>(std::max<std::int64_t>(stream.Convert(first, blocks, pcm.data(), pcm.size()), 0)));
    return pcm;
}

TEST(AcmCodec, ConsecutiveConversionsContinueTheDecoderAndOthersStartItAfresh) {
    auto codec = CreateAudioCodec();
    for (const char* name : {"gsm610-mono.wav", "ima-adpcm-stereo.wav", "ms-adpcm-mono.wav"}) {
        SCOPED_TRACE(name);
        TFileWaveStream file(test::CodecFixturePath(name));
        const std::size_t block = file.Format().blockAlign;
        const auto blocks = static_cast<std::size_t>(file.FrameCount());
        auto whole = Open(*codec, file), pieces = Open(*codec, file), fresh = Open(*codec, file);
        ASSERT_TRUE(whole && pieces && fresh);
        const Bytes expected = Convert(*whole, 0, blocks, block);
        EXPECT_EQ(expected.size(), whole->DestinationSize(blocks * block));
        // Seven blocks at a time, one after the other: the same PCM as one conversion of them all.
        Bytes joined;
        for (std::size_t at = 0; at < blocks; at += 7) {
            const Bytes part = Convert(*pieces, at, 7, block);
            joined.insert(joined.end(), part.begin(), part.end());
        }
        EXPECT_EQ(joined, expected);
        // Back to block 10 on the used stream, then on to block 30: as a fresh stream decodes them.
        EXPECT_EQ(Convert(*pieces, 10, 20, block), Convert(*fresh, 10, 20, block));
        EXPECT_EQ(Convert(*pieces, 30, 5, block), Convert(*fresh, 30, 5, block));
        EXPECT_TRUE(Convert(*pieces, blocks, 3, block).empty()); // past the end of the data
    }
}

TEST(AcmCodec, FormatsNoDriverDecodesAreRefusedWithTheReadersMessages) {
    test::TemporaryDirectory dir;
    const auto refusal = [&dir](const Bytes& fmt) {
        test::WriteFile(dir / "refused.wav", test::RiffWave({{"fmt ", fmt}, {"data", Bytes(4096)}}));
        TWaveData wave;
        return ReadWaveFile(dir / "refused.wav", wave).message;
    };
    EXPECT_EQ(refusal(test::FmtPayload(0x1234, 1, 8000, 4, 4, 0)), "Error 26: Cannot suggest PCM format.");
    // GSM 6.10 in blocks of another size than its 65 bytes.
    EXPECT_EQ(refusal(test::FmtPayload(0x31, 1, 8000, 64, 0, 2, {0x40, 0x01})), "Error 26: Cannot suggest PCM format.");
    // MPEG Layer-3 is refused before any driver is asked.
    EXPECT_EQ(refusal(test::FmtPayload(85, 1, 8000, 1, 0, 12, Bytes(12))),
              "Error 19: MPEG Layer-3 compression is not supported.");
}

} // namespace
} // namespace quillon::platform
