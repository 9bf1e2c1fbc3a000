// Per-voice breakpoint envelope with loop and release. This class currently holds the envelope's
// settings only; point lists and rendering are not built yet.
// Threads: setters run on the audio thread (parameter ramps) or while audio is stopped [audio].
#pragma once

namespace quillon {

class TEnvelopeHolder {
public:
    TEnvelopeHolder(int voiceCount, float sampleRate) : voiceCount_(voiceCount), sampleRate_(sampleRate) {}

    void SetSampleRate(float rate) { sampleRate_ = rate; }
    void SetVoiceCount(int count) { voiceCount_ = count; }
    void SetLoopEnabled(bool on) { loopEnabled_ = on; }
    void SetReleaseTime(float seconds) { releaseTime_ = seconds; }
    void SetReleaseLevel(float level) { releaseLevel_ = level; }

    int VoiceCount() const { return voiceCount_; }
    float SampleRate() const { return sampleRate_; }
    bool LoopEnabled() const { return loopEnabled_; }
    float ReleaseTime() const { return releaseTime_; }
    float ReleaseLevel() const { return releaseLevel_; }

private:
    int voiceCount_;
    float sampleRate_;
    bool loopEnabled_ = false;
    float releaseTime_ = 0.25f;
    float releaseLevel_ = 0.0f;
};

} // namespace quillon
