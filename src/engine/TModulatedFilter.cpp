#include "engine/TModulatedFilter.h"
#include "engine/SampleRateRange.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Biquad coefficients from K and quality q, each product rounded to float as written.
struct LowpassBiquad {
    float d, c1, c2; // y := (x + 2·x1 + x2 − c1·y1 − c2·y2)·d
    LowpassBiquad(float k, float q) {
        const float k2 = k * k;
        const float kq = k / q;
        d = 1.0f / (k2 + kq + 1.0f);
        c1 = 2.0f - 2.0f * k2;
        c2 = k2 + 1.0f - kq;
    }
};

struct HighpassBiquad {
    float e, f, g; // y := (x − 2·x1 + x2)·e − y1·f − y2·g
    HighpassBiquad(float k, float q) {
        const float k2 = k * k;
        const float kq = k / q;
        const float b = kq + 1.0f + k2;
        e = k2 / b;
        f = (2.0f - 2.0f * k2) / b;
        g = (k2 + 1.0f - kq) / b;
    }
};

struct BandBiquad {
    float e, f, g, h; // band-pass: (x − x2)·e − y1·f − y2·g; notch: (x + x2)·h + (x1 − y1)·f − y2·g
    BandBiquad(float k, float q) {
        const float k2 = k * k;
        const float kq = k / q;
        const float b = 1.0f / (kq + 1.0f + k2);
        e = kq * b;
        f = (2.0f - 2.0f * k2) * b;
        g = (k2 + 1.0f - kq) * b;
        h = (k2 + 1.0f) * b;
    }
};

} // namespace

TModulatedFilter::TModulatedFilter(int voiceCount, float sampleRate, float maximumFrequency, float minimumFrequency,
                                   int tableSize)
    : voiceCount_(std::clamp(voiceCount, 1, kMaxVoices)),
      table_(static_cast<std::uint32_t>(std::max(tableSize, 3)), sampleRate, maximumFrequency, minimumFrequency) {
    SetVoiceCount(voiceCount);
    SetType(0);
}

// Settings -------------------------------------------------------------------------------------------------

void TModulatedFilter::SetSampleRate(float sampleRate) {
    if (UsableSampleRate(sampleRate)) table_.SetSampleRate(sampleRate);
}

void TModulatedFilter::SetVoiceCount(int count) {
    voiceCount_.store(std::clamp(count, 1, kMaxVoices), std::memory_order_relaxed);
    resetRequest_.fetch_add(1, std::memory_order_release);
}

void TModulatedFilter::SetType(int type) {
    if (type == type_.load(std::memory_order_relaxed)) return;
    type_.store(type, std::memory_order_relaxed);
    routine_.store(type >= 1 && type <= kTypeCount ? type : 0, std::memory_order_relaxed);
    resetRequest_.fetch_add(1, std::memory_order_release);
}

void TModulatedFilter::SetResonance(float resonance) {
    const float feedback = -0.13f - 3.87f * resonance;
    const float gain = 1.0f / (1.0f - feedback);
    const float q = 1.0f / (1.414f - 1.364f * resonance);
    feedback_.store(feedback, std::memory_order_relaxed);
    gain_.store(gain, std::memory_order_relaxed);
    bandGain_.store(4.0f / (feedback + 4.01f) * gain, std::memory_order_relaxed);
    q_.store(q, std::memory_order_relaxed);
    qSquared_.store(q * q, std::memory_order_relaxed);
}

// Voices ---------------------------------------------------------------------------------------------------

void TModulatedFilter::SyncAudio() {
    const std::uint32_t reset = resetRequest_.load(std::memory_order_acquire);
    if (reset != seenReset_) {
        seenReset_ = reset;
        voices_.fill(VoiceState{});
    }
}

void TModulatedFilter::ResetVoice(int voice) {
    SyncAudio();
    if (ValidVoice(voice)) voices_[static_cast<std::size_t>(voice)] = VoiceState{};
}

void TModulatedFilter::SetCutoffOffset(int voice, float offset) {
    SyncAudio();
    if (ValidVoice(voice)) voices_[static_cast<std::size_t>(voice)].cutoffOffset = offset;
}

float TModulatedFilter::CutoffOffset(int voice) {
    SyncAudio();
    return ValidVoice(voice) ? voices_[static_cast<std::size_t>(voice)].cutoffOffset : 0.0f;
}

void TModulatedFilter::Process(int voice, float* buffer, int n, float x) {
    SyncAudio();
    if (!ValidVoice(voice) || buffer == nullptr || n <= 0) return;
    const int routine = routine_.load(std::memory_order_relaxed);
    if (routine == 0) return;
    VoiceState& v = voices_[static_cast<std::size_t>(voice)];
    const Block b{table_.Lookup(x + v.cutoffOffset),        dryGain_.load(std::memory_order_relaxed),
                  gain_.load(std::memory_order_relaxed),    bandGain_.load(std::memory_order_relaxed),
                  q_.load(std::memory_order_relaxed),       qSquared_.load(std::memory_order_relaxed),
                  feedback_.load(std::memory_order_relaxed)};
    kRoutines[static_cast<std::size_t>(routine)](v, buffer, n, b);
}

// Routines -------------------------------------------------------------------------------------------------
// Each filters n samples in place; out = x·dry + y (times the type's output gain). The memories are copied
// into a local for the block and back: the stores to x could otherwise change them (both are floats), and
// the compiler would reload every memory on every sample.

void TModulatedFilter::Bypass(VoiceState&, float*, int, const Block&) {}

// s1 previous input, s2 previous output.
void TModulatedFilter::Lowpass6(VoiceState& v, float* x, int n, const Block& b) {
    const float a = 1.0f / (b.k + 1.0f);
    const float c = (1.0f - b.k) * a;
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float y = a * (in + s[0]) - c * s[1];
        s[0] = in;
        s[1] = y;
        x[i] = in * b.dry + y;
    }
    v.s = s;
}

// s1, s2 previous inputs; s3, s4 previous outputs.
void TModulatedFilter::Lowpass12(VoiceState& v, float* x, int n, const Block& b) {
    const LowpassBiquad c(b.k, b.qq);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float y = (in + 2.0f * s[0] + s[1] - c.c1 * s[2] - c.c2 * s[3]) * c.d;
        s[1] = s[0];
        s[0] = in;
        s[3] = s[2];
        s[2] = y;
        x[i] = in * b.dry + y * b.gain;
    }
    v.s = s;
}

// Stage 1 as Lowpass12 (its outputs in s3, s4 are also the second stage's inputs); s5, s6 stage-2 outputs.
void TModulatedFilter::Lowpass24(VoiceState& v, float* x, int n, const Block& b) {
    const LowpassBiquad c(b.k, b.q);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float u = (in + 2.0f * s[0] + s[1] - c.c1 * s[2] - c.c2 * s[3]) * c.d;
        const float y = (u + 2.0f * s[2] + s[3] - c.c1 * s[4] - c.c2 * s[5]) * c.d;
        s[1] = s[0];
        s[0] = in;
        s[3] = s[2];
        s[2] = u;
        s[5] = s[4];
        s[4] = y;
        x[i] = in * b.dry + y * b.gain;
    }
    v.s = s;
}

// Four one-pole low-pass stages in a loop with zero-delay feedback. s1 previous stage-1 input, s2 … s4
// previous outputs of stages 1 … 3, s5 previous output.
void TModulatedFilter::MgLowpass(VoiceState& v, float* x, int n, const Block& b) {
    const float a = 1.0f / (b.k + 1.0f);
    const float d = a * (1.0f - b.k);
    const float f = 1.0f - d;
    const float g = 1.0f / (1.0f - a * a * a * a * b.fb);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float y = (a * (a * (a * (a * (in + s[0]) + f * s[1]) + f * s[2]) + f * s[3]) - d * s[4]) * g;
        const float t = in + y * b.fb;
        const float y1 = a * (s[0] + t) - d * s[1];
        const float y2 = a * (s[1] + y1) - d * s[2];
        const float y3 = a * (s[2] + y2) - d * s[3];
        s[0] = t;
        s[1] = y1;
        s[2] = y2;
        s[3] = y3;
        s[4] = y;
        x[i] = in * b.dry + y;
    }
    v.s = s;
}

// s1 previous input, s2 previous output.
void TModulatedFilter::Highpass6(VoiceState& v, float* x, int n, const Block& b) {
    const float hb = b.k / (b.k + 1.0f);
    const float c = (1.0f - b.k) / (b.k + 1.0f);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float y = (in - s[0]) * hb - s[1] * c;
        s[0] = in;
        s[1] = y;
        x[i] = in * b.dry + y;
    }
    v.s = s;
}

// s1, s2 previous inputs; s3, s4 previous outputs.
void TModulatedFilter::Highpass12(VoiceState& v, float* x, int n, const Block& b) {
    const HighpassBiquad c(b.k, b.qq);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float y = (in - 2.0f * s[0] + s[1]) * c.e - s[2] * c.f - s[3] * c.g;
        s[1] = s[0];
        s[0] = in;
        s[3] = s[2];
        s[2] = y;
        x[i] = in * b.dry + y * b.gain;
    }
    v.s = s;
}

// Stage 1 as Highpass12 (outputs in s3, s4); s5, s6 stage-2 outputs.
void TModulatedFilter::Highpass24(VoiceState& v, float* x, int n, const Block& b) {
    const HighpassBiquad c(b.k, b.q);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float u = (in - 2.0f * s[0] + s[1]) * c.e - s[2] * c.f - s[3] * c.g;
        const float y = c.e * (u - 2.0f * s[2] + s[3]) - c.f * s[4] - c.g * s[5];
        s[1] = s[0];
        s[0] = in;
        s[3] = s[2];
        s[2] = u;
        s[5] = s[4];
        s[4] = y;
        x[i] = in * b.dry + y * b.gain;
    }
    v.s = s;
}

// Four one-pole high-pass stages in a loop with zero-delay feedback; states as MgLowpass.
void TModulatedFilter::MgHighpass(VoiceState& v, float* x, int n, const Block& b) {
    const float hb = b.k / (b.k + 1.0f);
    const float q = (1.0f - b.k) / (b.k + 1.0f);
    const float e = q + 1.0f;
    const float g = 1.0f / (1.0f - hb * hb * hb * hb * b.fb);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float y = (hb * (hb * (hb * (hb * (in - s[0]) - e * s[1]) - e * s[2]) - e * s[3]) - q * s[4]) * g;
        const float t = in + y * b.fb;
        const float y1 = hb * (t - s[0]) - q * s[1];
        const float y2 = hb * (y1 - s[1]) - q * s[2];
        const float y3 = hb * (y2 - s[2]) - q * s[3];
        s[0] = t;
        s[1] = y1;
        s[2] = y2;
        s[3] = y3;
        s[4] = y;
        x[i] = in * b.dry + y;
    }
    v.s = s;
}

// s1, s2 previous inputs; s3, s4 previous outputs.
void TModulatedFilter::Bandpass6(VoiceState& v, float* x, int n, const Block& b) {
    const BandBiquad c(b.k, b.qq);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float y = (in - s[1]) * c.e - s[2] * c.f - s[3] * c.g;
        s[1] = s[0];
        s[0] = in;
        s[3] = s[2];
        s[2] = y;
        x[i] = in * b.dry + y * b.band;
    }
    v.s = s;
}

// Stage 1 as Bandpass6 (outputs in s3, s4); s5, s6 stage-2 outputs.
void TModulatedFilter::Bandpass12(VoiceState& v, float* x, int n, const Block& b) {
    const BandBiquad c(b.k, b.q);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float u = (in - s[1]) * c.e - s[2] * c.f - s[3] * c.g;
        const float y = c.e * (u - s[3]) - c.f * s[4] - c.g * s[5];
        s[1] = s[0];
        s[0] = in;
        s[3] = s[2];
        s[2] = u;
        s[5] = s[4];
        s[4] = y;
        x[i] = in * b.dry + y * b.band;
    }
    v.s = s;
}

// s1, s2 previous inputs; s3, s4 previous outputs.
void TModulatedFilter::Notch6(VoiceState& v, float* x, int n, const Block& b) {
    const BandBiquad c(b.k, b.qq);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float y = (in + s[1]) * c.h + (s[0] - s[2]) * c.f - s[3] * c.g;
        s[1] = s[0];
        s[0] = in;
        s[3] = s[2];
        s[2] = y;
        x[i] = in * b.dry + y;
    }
    v.s = s;
}

// Stage 1 as Notch6 (outputs in s3, s4); s5, s6 stage-2 outputs.
void TModulatedFilter::Notch12(VoiceState& v, float* x, int n, const Block& b) {
    const BandBiquad c(b.k, b.q);
    auto s = v.s;
    for (int i = 0; i < n; ++i) {
        const float in = x[i];
        const float u = (in + s[1]) * c.h + (s[0] - s[2]) * c.f - s[3] * c.g;
        const float y = c.h * (s[3] + u) + c.f * (s[2] - s[4]) - c.g * s[5];
        s[1] = s[0];
        s[0] = in;
        s[3] = s[2];
        s[2] = u;
        s[5] = s[4];
        s[4] = y;
        x[i] = in * b.dry + y;
    }
    v.s = s;
}

} // namespace quillon
