// `quillon wav`. Reads a WAV file exactly as the plug-in's audio import does and prints what came out:
// the source's format record, the frames, and the peak and RMS level of each channel. With --raw it also
// writes the decoded samples as raw little-endian float32, interleaved by channel, so that they can be
// compared with another decoder's output. A file the reader refuses prints its numbered message.
#include "WavCommand.h"

#include "analysis/ReadWaveFile.h"
#include "analysis/TWaveStream.h"
#include "platform/SafeFileWriter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <exception>
#include <span>
#include <string>
#include <vector>

namespace quillon {

namespace {

using namespace cli;
using platform::WaveFormat;

constexpr TOptionSpec kWavOptions[] = {{"--raw", nullptr, "OUT.f32", false}};

constexpr const char* kWavHelp =
    "usage: quillon wav IN.wav [--raw OUT.f32]\n"
    "\n"
    "Reads a WAV file as Quillon's audio import does (PCM, IEEE float, WAVE_FORMAT_EXTENSIBLE, and through\n"
    "the codec service IMA and MS ADPCM, mu-law, A-law and GSM 6.10) and prints its format tag, channels,\n"
    "sample rate, bits per sample and frames, and the peak and RMS level of each channel. A file the\n"
    "reader refuses prints the reader's message and the command fails.\n"
    "\n"
    "  --raw OUT.f32   also write the decoded samples as raw little-endian float32, interleaved\n";

std::string FormatName(std::uint16_t tag) {
    switch (tag) {
    case WaveFormat::kPcm:
        return "PCM";
    case 2:
        return "MS ADPCM";
    case WaveFormat::kIeeeFloat:
        return "IEEE float";
    case 6:
        return "A-law";
    case 7:
        return "mu-law";
    case 0x11:
        return "IMA ADPCM";
    case 0x31:
        return "GSM 6.10";
    case WaveFormat::kMpegLayer3:
        return "MPEG Layer-3";
    case WaveFormat::kExtensible:
        return "extensible";
    default:
        return "unknown";
    }
}

std::string Decibels(double level) {
    char text[32];
    if (level > 0.0)
        std::snprintf(text, sizeof text, "%.2f dBFS", 20.0 * std::log10(level));
    else
        std::snprintf(text, sizeof text, "-inf dBFS");
    return text;
}

void PrintField(const char* name, const std::string& value) {
    std::printf("%-14s%s\n", name, value.c_str());
}

} // namespace

int RunWav(TArgs args) {
    TParsedArgs parsed;
    if (const auto error = ParseArgs(args, kWavOptions, parsed)) return Fail("wav: " + *error);
    if (parsed.help) {
        std::printf("%s", kWavHelp);
        return 0;
    }
    if (parsed.positional.empty()) return Fail("wav: no WAV file given");
    if (parsed.positional.size() > 1) return Fail("wav: unexpected argument '" + parsed.positional[1] + "'");
    if (parsed.Has("--raw") && parsed.Value("--raw").empty()) return Fail("wav: empty --raw path");
    const std::string path = parsed.positional.front();

    TWaveData wave;
    if (const Status status = ReadWaveFile(path, wave); !status.Ok())
        return Fail(status.code == StatusCode::kNotValid ? path + ": " + status.message : status.message);

    const WaveFormat& format = wave.format;
    std::string tag = std::to_string(format.tag) + " " + FormatName(format.tag);
    if (wave.decodedByCodec)
        tag += " (decoded to " + std::to_string(wave.decoded.bitsPerSample) + "-bit PCM by the codec service)";
    else if (format.tag == WaveFormat::kExtensible)
        tag += " (" + FormatName(wave.decoded.tag) + ")";
    PrintField("File:", path);
    PrintField("Format tag:", tag);
    PrintField("Channels:", std::to_string(format.channels));
    PrintField("Sample rate:", std::to_string(format.samplesPerSecond) + " Hz");
    PrintField("Bits:", std::to_string(format.bitsPerSample));
    PrintField("Block align:", std::to_string(format.blockAlign) + " bytes");
    char duration[64];
    std::snprintf(duration, sizeof duration, " (%.3f s)", static_cast<double>(wave.frames) / wave.sampleRate);
    PrintField("Frames:", std::to_string(wave.frames) + duration);

    const auto channels = static_cast<std::size_t>(wave.channels);
    for (std::size_t c = 0; c < channels; ++c) {
        double peak = 0.0, sum = 0.0;
        for (std::size_t i = c; i < wave.samples.size(); i += channels) {
            const double v = wave.samples[i];
            peak = std::max(peak, std::fabs(v));
            sum += v * v;
        }
        const double rms = wave.frames > 0 ? std::sqrt(sum / static_cast<double>(wave.frames)) : 0.0;
        char text[128];
        std::snprintf(text, sizeof text, "peak %.6f (%s)  RMS %.6f (%s)", peak, Decibels(peak).c_str(), rms,
                      Decibels(rms).c_str());
        PrintField(("Channel " + std::to_string(c + 1) + ":").c_str(), text);
    }

    if (parsed.Has("--raw")) {
        const std::string rawPath = parsed.Value("--raw");
        std::vector<std::uint8_t> bytes(wave.samples.size() * 4);
        for (std::size_t i = 0; i < wave.samples.size(); ++i) {
            const auto bits = std::bit_cast<std::uint32_t>(wave.samples[i]);
            for (int b = 0; b < 4; ++b)
                bytes[4 * i + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(bits >> (8 * b));
        }
        if (const Status status = SafeFileWriter::Write(rawPath, {std::span<const std::uint8_t>(bytes)}); !status.Ok())
            return Fail(status.message);
        std::printf("Wrote %zu samples to %s\n", wave.samples.size(), rawPath.c_str());
    }
    return 0;
}

} // namespace quillon
