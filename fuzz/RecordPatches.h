// Structure-aware input for the targets that take whole program records: a well-formed base image (a
// bank whose slot 0 holds a three-frame saw with a few envelope points) is changed by patches read from
// the fuzz input, so that mutations land in the record's fields instead of in a zlib stream that would
// almost never inflate. Each patch is a 3-byte little-endian offset (taken modulo the image size), a
// length byte and that many bytes.
#pragma once

#include "core/TProgramBank.h"
#include "files/ProgramRecord.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <zlib.h>

namespace quillon::fuzz {

// The base bank image, made once.
inline const std::vector<std::uint8_t>& BaseBankImage() {
    static const std::vector<std::uint8_t> image = [] {
        auto bank = std::make_unique<TProgramBank>();
        // Every frame slot starts silent, so that a patched frame count makes cheap frames (silent ones
        // share their tables) unless the patches make them loud too; otherwise a count near 100 would
        // build a hundred full-band frames per input and the fuzzer would crawl.
        for (int slot = 0; slot < static_cast<int>(record::kProgramCount); ++slot)
            for (int frame = 0; frame < record::kMaxFrames; ++frame)
                for (int k = 0; k < record::kHarmonicCount; ++k)
                    bank->SetLevel(slot, frame, k, 255);
        // Few harmonics keep the wavetables cheap to build: most notes then share one table.
        bank->SetFrameCount(0, 2);
        for (int frame = 0; frame < 2; ++frame) {
            bank->SetFrameTime(0, frame, 0.25f * static_cast<float>(frame));
            for (int k = 1; k <= 8 + 8 * frame; ++k)
                bank->SetLevel(0, frame, k, static_cast<std::uint8_t>(std::min(254, 6 * k)));
        }
        bank->SetHarmonyLoop(0, 0.25f, 0.5f);
        for (int e = 0; e < record::kEnvelopeCount; ++e) {
            bank->SetPointCount(0, e, 3);
            bank->SetPoint(0, e, 1, 0.01f, 1.0f);
            bank->SetPoint(0, e, 2, 0.2f, 0.5f);
            bank->SetEnvelopeLoop(0, e, 0.01f, 0.2f);
        }
        bank->SetBankCurrentProgram(0);
        bank->SetBankVersion(record::kFormatVersion);
        for (int slot = 0; slot < static_cast<int>(record::kProgramCount); ++slot)
            bank->SetVersion(slot, record::kFormatVersion);
        std::vector<std::uint8_t> bytes(record::kBankImageSize);
        bank->CopyImage(bytes);
        return bytes;
    }();
    return image;
}

// Applies the patches in `input` to `image`.
inline void ApplyPatches(std::span<std::uint8_t> image, const std::uint8_t* input, std::size_t size) {
    std::size_t at = 0;
    while (at + 4 <= size) {
        const std::size_t offset = (static_cast<std::size_t>(input[at]) | static_cast<std::size_t>(input[at + 1]) << 8 |
                                    static_cast<std::size_t>(input[at + 2]) << 16) %
                                   image.size();
        const std::size_t length = std::min<std::size_t>({input[at + 3], size - at - 4, image.size() - offset});
        std::copy_n(input + at + 4, length, image.begin() + static_cast<std::ptrdiff_t>(offset));
        at += 4 + length;
    }
}

// A zlib stream of `bytes` in stored blocks: the fuzzer makes one on every input, and the readers care
// only that it inflates to the right size.
inline std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 0) != Z_OK) std::abort();
    out.resize(size);
    return out;
}

} // namespace quillon::fuzz
