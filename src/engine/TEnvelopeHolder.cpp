#include "engine/TEnvelopeHolder.h"
#include "engine/SampleRateRange.h"

#include <memory>

#include <algorithm>
#include <cmath>

namespace quillon {

TEnvelopeHolder::TEnvelopeHolder(int voiceCount, float sampleRate)
    : sampleRate_(std::isfinite(sampleRate) && sampleRate > 0.0f ? sampleRate : 44100.0f),
      voiceCount_(std::clamp(voiceCount, 1, kMaxVoices)) {
    for (Voice& v : voices_)
        ResetVoice(v);
    published_.SetInitial(std::make_shared<const Snapshot>());
}

// Settings -------------------------------------------------------------------------------------------------

void TEnvelopeHolder::SetSampleRate(float sampleRate) {
    if (!UsableSampleRate(sampleRate)) return; // keep running at the previous rate
    std::lock_guard lock(writerMutex_);
    sampleRate_.store(sampleRate, std::memory_order_relaxed);
    // Every point is stored again, as by SetPoint, so voices catch up with the point times.
    const std::uint64_t next = generation_ + 1;
    for (int i = 0; i < master_.count; ++i)
        master_.points[static_cast<std::size_t>(i)].moved = next;
    PublishLocked();
}

void TEnvelopeHolder::SetVoiceCount(int count) {
    voiceCount_.store(std::clamp(count, 1, kMaxVoices), std::memory_order_relaxed);
    resetRequest_.fetch_add(1, std::memory_order_release);
}

// Voices ---------------------------------------------------------------------------------------------------

void TEnvelopeHolder::ResetVoice(Voice& v) const {
    v.running = true;
    v.increment = 1.0f / SampleRate();
    v.time = 0.0f;
    v.segment = 0;
}

void TEnvelopeHolder::SyncAudio() {
    const std::uint32_t reset = resetRequest_.load(std::memory_order_acquire);
    if (reset != seenReset_) {
        seenReset_ = reset;
        for (Voice& v : voices_)
            ResetVoice(v);
    }
    if (published_.TakeNewest()) ApplyCatchUp(*published_.Current());
}

void TEnvelopeHolder::ApplyCatchUp(const Snapshot& s) {
    if (s.lastMoved > seenGeneration_) {
        const int voices = VoiceCount();
        for (int i = 0; i < s.count; ++i) {
            const Point& p = s.points[static_cast<std::size_t>(i)];
            if (p.moved <= seenGeneration_) continue;
            for (int j = 0; j < voices; ++j) {
                Voice& v = voices_[static_cast<std::size_t>(j)];
                if (v.segment == i + 1 && v.time < p.time) v.time = p.time;
            }
        }
    }
    seenGeneration_ = s.generation;
}

void TEnvelopeHolder::NoteStart(int voice, bool legato) {
    SyncAudio();
    if (!ValidVoice(voice)) return;
    Voice& v = voices_[static_cast<std::size_t>(voice)];
    v.running = true;
    v.increment = 1.0f / SampleRate();
    if (!legato) {
        v.time = 0.0f;
        v.segment = 0;
    }
}

void TEnvelopeHolder::SetSpeed(int voice, float speed) {
    SyncAudio();
    if (!ValidVoice(voice)) return;
    voices_[static_cast<std::size_t>(voice)].increment = speed / SampleRate();
}

void TEnvelopeHolder::Release(int voice, bool cubeRoot) {
    SyncAudio();
    if (!ValidVoice(voice)) return;
    Voice& v = voices_[static_cast<std::size_t>(voice)];
    v.running = false;
    if (cubeRoot) v.output = v.output < 1e-5f ? 1e-20f : static_cast<float>(std::cbrt(static_cast<double>(v.output)));
    v.releaseLevel = v.output;
}

float TEnvelopeHolder::NextValue(int voice, int n) {
    SyncAudio();
    if (!ValidVoice(voice)) return 0.0f;
    Voice& v = voices_[static_cast<std::size_t>(voice)];
    const float blockLength = static_cast<float>(n);

    if (!v.running) {
        // A straight line from the level at release to the target, then the target.
        const float target = ReleaseTarget();
        const float releaseTime = ReleaseTime();
        if (!(releaseTime > 0.0f)) return target;
        const float d = blockLength * (v.output - target) * v.increment / releaseTime;
        const float r = v.releaseLevel - d;
        if ((d < 0.0f && r > target) || (d >= 0.0f && r < target)) return target;
        v.releaseLevel = r;
        return r;
    }

    const Snapshot& s = *published_.Current();
    v.time += blockLength * v.increment;
    if (s.count < 1) return v.output; // no points: hold the last value
    const auto point = [&s](int i) -> const Point& { return s.points[static_cast<std::size_t>(i)]; };

    // Points may have been deleted since the last block: the voice moves towards the last one at most.
    v.segment = std::clamp(v.segment, 0, s.count - 1);
    if (v.segment + 1 < s.count && v.time >= point(v.segment).time) ++v.segment; // at most one step per block
    const Point& a = point(v.segment);
    if (v.time >= a.time || v.segment == 0) {
        v.output = a.value;
    } else {
        const Point& b = point(v.segment - 1);
        float w = (a.time - v.time) / (a.time - b.time + 1e-20f);
        // In play the time lies between the two points and w in 0 … 1. After an edit (a point inserted or
        // moved ahead of the voice) it may not: the value stays between the two points instead of
        // extrapolating, which could jump far outside the envelope's range for one block.
        w = std::clamp(w, 0.0f, 1.0f);
        v.output = (1.0f - w) * a.value + w * b.value;
    }
    const float result = v.output;

    if (LoopEnabled() && s.count > 1 && v.time >= LoopEnd()) {
        v.time = LoopStart();
        v.segment = 0;
        while (v.segment + 1 < s.count && v.time >= point(v.segment).time)
            ++v.segment;
    }
    return result;
}

float TEnvelopeHolder::VoiceTime(int voice) {
    SyncAudio();
    return ValidVoice(voice) ? voices_[static_cast<std::size_t>(voice)].time : 0.0f;
}

int TEnvelopeHolder::VoiceSegment(int voice) {
    SyncAudio();
    return ValidVoice(voice) ? voices_[static_cast<std::size_t>(voice)].segment : 0;
}

bool TEnvelopeHolder::VoiceRunning(int voice) {
    SyncAudio();
    return ValidVoice(voice) && voices_[static_cast<std::size_t>(voice)].running;
}

float TEnvelopeHolder::VoiceIncrement(int voice) {
    SyncAudio();
    return ValidVoice(voice) ? voices_[static_cast<std::size_t>(voice)].increment : 0.0f;
}

// Points ---------------------------------------------------------------------------------------------------

void TEnvelopeHolder::PublishLocked() {
    ++generation_;
    master_.generation = generation_;
    master_.lastMoved = 0;
    for (int i = 0; i < master_.count; ++i)
        master_.lastMoved = std::max(master_.lastMoved, master_.points[static_cast<std::size_t>(i)].moved);
    published_.Publish(std::make_shared<const Snapshot>(master_));
}

int TEnvelopeHolder::PointCount() const {
    std::lock_guard lock(writerMutex_);
    return master_.count;
}

bool TEnvelopeHolder::InsertPoint(int index, float seconds, float value) {
    std::lock_guard lock(writerMutex_);
    if (index < 0 || index > master_.count || master_.count >= kMaxPoints) return false;
    auto& p = master_.points;
    std::copy_backward(p.begin() + index, p.begin() + master_.count, p.begin() + master_.count + 1);
    p[static_cast<std::size_t>(index)] = Point{seconds, value, 0};
    ++master_.count;
    PublishLocked();
    return true;
}

bool TEnvelopeHolder::DeletePoint(int index) {
    std::lock_guard lock(writerMutex_);
    if (index < 0 || index >= master_.count) return false;
    auto& p = master_.points;
    std::copy(p.begin() + index + 1, p.begin() + master_.count, p.begin() + index);
    --master_.count;
    p[static_cast<std::size_t>(master_.count)] = Point{};
    PublishLocked();
    return true;
}

void TEnvelopeHolder::DeleteAllPoints() {
    std::lock_guard lock(writerMutex_);
    master_.points.fill(Point{});
    master_.count = 0;
    PublishLocked();
}

bool TEnvelopeHolder::SetPoint(int index, float seconds, float value) {
    std::lock_guard lock(writerMutex_);
    if (index < 0 || index >= master_.count) return false;
    master_.points[static_cast<std::size_t>(index)] = Point{seconds, value, generation_ + 1};
    PublishLocked();
    return true;
}

float TEnvelopeHolder::PointTime(int index) const {
    std::lock_guard lock(writerMutex_);
    return index >= 0 && index < master_.count ? master_.points[static_cast<std::size_t>(index)].time : 0.0f;
}

float TEnvelopeHolder::PointValue(int index) const {
    std::lock_guard lock(writerMutex_);
    return index >= 0 && index < master_.count ? master_.points[static_cast<std::size_t>(index)].value : 0.0f;
}

} // namespace quillon
