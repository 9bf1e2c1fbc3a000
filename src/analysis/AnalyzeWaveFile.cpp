#include "analysis/AnalyzeWaveFile.h"

#include "analysis/ReadWaveFile.h"

#include <cstddef>
#include <new>

namespace quillon {

namespace {

TWaveAnalysis ReadAndAnalyze(const std::string& path, int mode, const std::atomic<bool>* stop) {
    TWaveAnalysis result;
    std::vector<float> channel;
    int rate = 0;
    {
        TWaveData wave;
        result.read = ReadWaveFile(path, wave);
        if (!result.read.Ok()) return result;
        // The analysis runs on the first channel; the interleaved samples go at once.
        channel.resize(static_cast<std::size_t>(wave.frames));
        const auto channels = static_cast<std::size_t>(wave.channels);
        for (std::size_t i = 0; i < channel.size(); ++i)
            channel[i] = wave.samples[i * channels];
        rate = wave.sampleRate;
    }
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
        result.stopped = true;
        return result;
    }
    THarmonicAudioAnalyzer analyzer;
    analyzer.SetMode(mode);
    analyzer.SetStopRequest(stop);
    result.points = analyzer.Analyze(channel, static_cast<float>(rate));
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
        result.stopped = true;
        result.points.clear();
    }
    return result;
}

} // namespace

TWaveAnalysis AnalyzeWaveFile(const std::string& path, int mode, const std::atomic<bool>* stop) {
    try {
        return ReadAndAnalyze(path, mode, stop);
    } catch (const std::bad_alloc&) {
        return {}; // a recording too long to hold: nothing found
    }
}

} // namespace quillon
