#include "engine/TIFFTNoiseGenerator.h"
#include "engine/RandomSeed.h"
#include "engine/SampleRateRange.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace quillon {

namespace {

struct PresetPoint {
    float frequency;
    std::uint8_t level;
};

constexpr PresetPoint kWhite[] = {{20, 0}};
constexpr PresetPoint kPink[] = {{20, 0},     {40, 28},    {80, 53},    {160, 75},    {320, 94},    {640, 112},
                                 {1280, 128}, {2560, 141}, {5120, 154}, {10240, 165}, {20480, 175}, {40960, 183}};
constexpr PresetPoint kBreath1[] = {{20, 255},   {40, 200},  {125, 136},  {250, 174},   {400, 136},  {1000, 0},
                                    {1800, 160}, {2500, 94}, {4000, 136}, {16000, 200}, {22000, 255}};
constexpr PresetPoint kBreath2[] = {{20, 255},   {40, 174},   {60, 127},    {125, 45},   {300, 136},  {500, 0},
                                    {1000, 81},  {1400, 186}, {2000, 186},  {2500, 81},  {3500, 112}, {4000, 45},
                                    {5000, 112}, {8000, 81},  {16000, 174}, {20000, 255}};
constexpr PresetPoint kBlow[] = {{20, 255}, {60, 174},  {250, 136},   {1000, 81},
                                 {4000, 0}, {10000, 1}, {20000, 145}, {22000, 255}};

std::span<const PresetPoint> Preset(int type) {
    switch (type) {
    case 1:
        return kWhite;
    case 2:
        return kPink;
    case 3:
        return kBreath1;
    case 4:
        return kBreath2;
    case 5:
        return kBlow;
    default:
        return {};
    }
}

constexpr float kInitialSample = 1e-10f;

// The xorshift state of a seed: any value but 0, which the generator would never leave.
std::uint32_t RandomState(std::uint32_t seed) {
    return seed != 0 ? seed : 0x2545F491u;
}

} // namespace

TIFFTNoiseGenerator::TIFFTNoiseGenerator(float sampleRate)
    : fft_(kFrameLength), sampleRate_(std::isfinite(sampleRate) && sampleRate > 0.0f ? sampleRate : 44100.0f),
      randomState_(RandomState(NewRandomSeed())) {
    frameA_.fill(kInitialSample);
    frameB_.fill(kInitialSample);
    input_.fill(kInitialSample);
}

void TIFFTNoiseGenerator::SetSampleRate(float sampleRate) {
    if (UsableSampleRate(sampleRate)) sampleRate_.store(sampleRate, std::memory_order_relaxed);
}

// Breakpoints ----------------------------------------------------------------------------------------------

void TIFFTNoiseGenerator::SyncAudio() {
    const int type = requestedType_.load(std::memory_order_acquire);
    if (type != installedType_) InstallPreset(type);
}

void TIFFTNoiseGenerator::InstallPreset(int type) {
    installedType_ = type;
    breakpointCount_ = 0;
    gainsStale_ = true;
    for (const PresetPoint& p : Preset(type))
        Insert(breakpointCount_, p.level, p.frequency);
}

bool TIFFTNoiseGenerator::InsertBreakpoint(int index, std::uint8_t level, float frequency) {
    SyncAudio();
    return Insert(index, level, frequency);
}

bool TIFFTNoiseGenerator::Insert(int index, std::uint8_t level, float frequency) {
    if (index < 0 || index > breakpointCount_ || breakpointCount_ >= kMaxBreakpoints) return false;
    std::copy_backward(breakpoints_.begin() + index, breakpoints_.begin() + breakpointCount_,
                       breakpoints_.begin() + breakpointCount_ + 1);
    breakpoints_[static_cast<std::size_t>(index)] = Breakpoint{frequency, level};
    ++breakpointCount_;
    gainsStale_ = true;
    return true;
}

bool TIFFTNoiseGenerator::DeleteBreakpoint(int index) {
    SyncAudio();
    if (index < 0 || index >= breakpointCount_) return false;
    std::copy(breakpoints_.begin() + index + 1, breakpoints_.begin() + breakpointCount_, breakpoints_.begin() + index);
    --breakpointCount_;
    gainsStale_ = true;
    return true;
}

void TIFFTNoiseGenerator::DeleteAllBreakpoints() {
    SyncAudio();
    breakpointCount_ = 0;
    gainsStale_ = true;
}

int TIFFTNoiseGenerator::BreakpointCount() {
    SyncAudio();
    return breakpointCount_;
}

float TIFFTNoiseGenerator::BreakpointFrequency(int index) {
    SyncAudio();
    return index >= 0 && index < breakpointCount_ ? breakpoints_[static_cast<std::size_t>(index)].frequency : 0.0f;
}

int TIFFTNoiseGenerator::BreakpointLevel(int index) {
    SyncAudio();
    return index >= 0 && index < breakpointCount_ ? breakpoints_[static_cast<std::size_t>(index)].level : 0;
}

float TIFFTNoiseGenerator::Gain(int bin) const {
    return bin >= 0 && bin < kBinCount ? gains_[static_cast<std::size_t>(bin)] : 0.0f;
}

// Gains: for bin j at f = fs·j/1024, the level is interpolated between the breakpoints around f on a
// logarithmic frequency axis (below the first and above the last the end levels hold); gain = b³ with
// b = (255 − level)/255. Without breakpoints the old gains stay.
void TIFFTNoiseGenerator::ComputeGains() {
    if (breakpointCount_ < 1) return;
    gainsStale_ = false;
    const float fs = SampleRate();
    const int last = breakpointCount_ - 1;
    int i = 0;
    for (int j = 0; j < kBinCount; ++j) {
        const float f = fs * static_cast<float>(j) / 1024.0f;
        while (i < last && breakpoints_[static_cast<std::size_t>(i)].frequency < f)
            ++i;
        const Breakpoint& p = breakpoints_[static_cast<std::size_t>(i)];
        float b;
        if (f < p.frequency && i > 0) {
            const Breakpoint& o = breakpoints_[static_cast<std::size_t>(i - 1)];
            const float t = std::log(f / o.frequency) / std::log(p.frequency / o.frequency);
            const float level = (1.0f - t) * static_cast<float>(o.level) + t * static_cast<float>(p.level);
            b = (255.0f - level) / 255.0f;
        } else {
            b = (255.0f - static_cast<float>(p.level)) / 255.0f;
        }
        gains_[static_cast<std::size_t>(j)] = b * b * b;
    }
}

// Rendering ------------------------------------------------------------------------------------------------

void TIFFTNoiseGenerator::SetRandomSeed(std::uint32_t seed) {
    randomState_ = RandomState(seed);
}

float TIFFTNoiseGenerator::NextRandom() {
    // 32-bit xorshift; the state read as a signed fraction of 2^31.
    randomState_ ^= randomState_ << 13;
    randomState_ ^= randomState_ >> 17;
    randomState_ ^= randomState_ << 5;
    return static_cast<float>(static_cast<std::int32_t>(randomState_)) * (1.0f / 2147483648.0f);
}

void TIFFTNoiseGenerator::NewFrame(std::array<float, kFrameLength>& frame) {
    if (gainsStale_) ComputeGains();
    std::copy(input_.begin() + kBinCount, input_.end(), input_.begin());
    for (int i = kBinCount; i < kFrameLength; ++i)
        input_[static_cast<std::size_t>(i)] = NextRandom();
    fft_.ForwardTransform(input_.data(), spectrum_.data());
    // Element j is the cosine part of bin j, element 512 + j its sine part (for j = 0 the Nyquist term).
    for (int j = 0; j < kBinCount; ++j) {
        const float g = gains_[static_cast<std::size_t>(j)];
        spectrum_[static_cast<std::size_t>(j)] *= g;
        spectrum_[kBinCount + static_cast<std::size_t>(j)] *= g;
    }
    fft_.InverseTransform(spectrum_.data(), frame.data());
    fft_.ScaleByInverseLength(frame.data());
}

void TIFFTNoiseGenerator::Render(float* buffer, int n) {
    SyncAudio();
    if (buffer == nullptr) return;
    for (int i = 0; i < n; ++i) {
        const int p = readPosition_;
        if (p == 0)
            NewFrame(frameB_);
        else if (p == kBinCount)
            NewFrame(frameA_);
        const auto at = [](const std::array<float, kFrameLength>& a, int k) { return a[static_cast<std::size_t>(k)]; };
        if (p >= kBinCount) {
            const float w = static_cast<float>(p) / 512.0f - 1.0f;
            buffer[i] = (1.0f - w) * at(frameB_, p) + w * at(frameA_, p - kBinCount);
        } else {
            const float w = static_cast<float>(p) / 512.0f;
            buffer[i] = (1.0f - w) * at(frameA_, p + kBinCount) + w * at(frameB_, p);
        }
        readPosition_ = p + 1 == kFrameLength ? 0 : p + 1;
    }
}

} // namespace quillon
