#include "engine/TIFFTVoiceOsc.h"

#include "engine/NoteTable.h"
#include "engine/TFFTReal.h"
#include "engine/THarmonyFileManager.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace quillon {

namespace {

enum Command { kDeleteFrame = 0, kInsertFrame = 1, kSetFrameTime = 2, kRebuildFrame = 3, kResetFrame = 4 };

constexpr float kSemitonesPerLn = 17.31234f; // 12/ln 2: semitones of a natural-log frequency ratio
constexpr float kFractionScale = 9.536743164e-7f; // 2^−20: the low 20 phase bits as a fraction
constexpr float kEmptyBlock = 1e-10f;             // what a voice outputs while no frame is there
constexpr int kChunk = 64;                        // samples of crossfade weights worked out at a time

// Rounds to nearest (ties to even) and wraps into 32 bits, as the phase arithmetic needs.
std::uint32_t WrapRound(double x) {
    if (!(std::fabs(x) < 9.0e18))
        return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::nearbyint(x)));
}

inline float Hermite(float ym1, float y0, float y1, float y2, float x) {
    const float c1 = 0.5f * (y1 - ym1);
    const float c3 = 1.5f * (y0 - y1) + 0.5f * (y2 - ym1);
    const float c2 = ym1 - y0 + c1 - c3;
    return ((c3 * x + c2) * x + c1) * x + y0;
}

// One unison oscillator reading one table: n samples added to out.
void ReadTable(const float* table, std::uint32_t& phase, std::uint32_t step, float gain, float* out, int n) {
    std::uint32_t ph = phase;
    for (int s = 0; s < n; ++s) {
        ph += step;
        const float* p = table + (ph >> 20);
        const float x = static_cast<float>(ph & 0xFFFFFu) * kFractionScale;
        out[s] += gain * Hermite(p[-1], p[0], p[1], p[2], x);
    }
    phase = ph;
}

// One unison oscillator reading the blend a·from + b·to of two tables, a and b per sample.
void ReadBlend(const float* from, const float* to, const float* a, const float* b, std::uint32_t& phase,
               std::uint32_t step, float gain, float* out, int n) {
    std::uint32_t ph = phase;
    for (int s = 0; s < n; ++s) {
        ph += step;
        const std::uint32_t k = ph >> 20;
        const float* p = from + k;
        const float* q = to + k;
        const float x = static_cast<float>(ph & 0xFFFFFu) * kFractionScale;
        const float wa = a[s], wb = b[s];
        const float ym1 = wa * p[-1] + wb * q[-1];
        const float y0 = wa * p[0] + wb * q[0];
        const float y1 = wa * p[1] + wb * q[1];
        const float y2 = wa * p[2] + wb * q[2];
        out[s] += gain * Hermite(ym1, y0, y1, y2, x);
    }
    phase = ph;
}

// Crossfade weights of the samples at harmony times t (seconds) in a segment that ends at segmentTime and
// spans `span` seconds (+1e-10): the from-frame's weight a = (segmentTime − t + 1e-10)/span, 0 from the
// segment's time on, kept within 0 … 1 (frames out of time order would leave it); the to-frame's 1 − a.
void CrossfadeWeights(const float* t, int n, float segmentTime, float span, float* a, float* b) {
    for (int s = 0; s < n; ++s) {
        float w = 0.0f;
        if (t[s] < segmentTime)
            w = std::min(std::max((segmentTime - t[s] + 1e-10f) / span, 0.0f), 1.0f);
        a[s] = w;
        b[s] = 1.0f - w;
    }
}

#if defined(__x86_64__) || defined(__i386__)
#define QUILLON_HAVE_AVX2_KERNELS 1

// The same two readers, eight samples at a time with AVX2. The four neighbouring points of each sample lie
// side by side in a table, so they come in as one 4-float load per sample and are transposed into four
// vectors of eight samples (y−1, y0, y1, y2). Every lane then performs exactly the scalar operations in the
// same order (no fused multiply-adds), so the results are bit-identical to the scalar readers.
__attribute__((target("avx2"))) inline __m256 HermiteAvx2(__m256 ym1, __m256 y0, __m256 y1, __m256 y2, __m256 x) {
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 c1 = _mm256_mul_ps(half, _mm256_sub_ps(y1, ym1));
    const __m256 c3 = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(1.5f), _mm256_sub_ps(y0, y1)),
                                    _mm256_mul_ps(half, _mm256_sub_ps(y2, ym1)));
    const __m256 c2 = _mm256_sub_ps(_mm256_add_ps(_mm256_sub_ps(ym1, y0), c1), c3);
    __m256 v = _mm256_add_ps(_mm256_mul_ps(c3, x), c2);
    v = _mm256_add_ps(_mm256_mul_ps(v, x), c1);
    return _mm256_add_ps(_mm256_mul_ps(v, x), y0);
}

// Points k−1 … k+2 of `table` for the eight indices, transposed: ym1 holds point k−1 of samples 0 … 7, etc.
__attribute__((target("avx2"))) inline __m256 PointPair(const float* low, const float* high) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(low)), _mm_loadu_ps(high), 1);
}

__attribute__((target("avx2"))) inline void GatherPoints(const float* table, const std::uint32_t* k, __m256& ym1,
                                                         __m256& y0, __m256& y1, __m256& y2) {
    const float* t = table - 1;
    const __m256 p04 = PointPair(t + k[0], t + k[4]);
    const __m256 p15 = PointPair(t + k[1], t + k[5]);
    const __m256 p26 = PointPair(t + k[2], t + k[6]);
    const __m256 p37 = PointPair(t + k[3], t + k[7]);
    const __m256 t0 = _mm256_unpacklo_ps(p04, p15);
    const __m256 t1 = _mm256_unpackhi_ps(p04, p15);
    const __m256 t2 = _mm256_unpacklo_ps(p26, p37);
    const __m256 t3 = _mm256_unpackhi_ps(p26, p37);
    ym1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
    y0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
    y1 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
    y2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
}

// Advances the phase over eight samples: the table indices and the fractions of each.
__attribute__((target("avx2"))) inline __m256 NextEight(std::uint32_t& phase, std::uint32_t step, std::uint32_t* k) {
    alignas(32) std::uint32_t phases[8];
    for (int i = 0; i < 8; ++i) {
        phase += step;
        phases[i] = phase;
        k[i] = phase >> 20;
    }
    const __m256i bits = _mm256_and_si256(_mm256_load_si256(reinterpret_cast<const __m256i*>(phases)),
                                          _mm256_set1_epi32(0xFFFFF));
    return _mm256_mul_ps(_mm256_cvtepi32_ps(bits), _mm256_set1_ps(kFractionScale));
}

__attribute__((target("avx2"))) void WeightsAvx2(const float* t, int n, float segmentTime, float span, float* a,
                                                 float* b) {
    const int vectorEnd = n & ~7;
    const __m256 end = _mm256_set1_ps(segmentTime);
    const __m256 divisor = _mm256_set1_ps(span);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
    for (int s = 0; s < vectorEnd; s += 8) {
        const __m256 time = _mm256_loadu_ps(t + s);
        __m256 w = _mm256_div_ps(_mm256_add_ps(_mm256_sub_ps(end, time), _mm256_set1_ps(1e-10f)), divisor);
        w = _mm256_min_ps(_mm256_max_ps(w, zero), one);
        w = _mm256_and_ps(w, _mm256_cmp_ps(time, end, _CMP_LT_OQ));
        _mm256_storeu_ps(a + s, w);
        _mm256_storeu_ps(b + s, _mm256_sub_ps(one, w));
    }
    CrossfadeWeights(t + vectorEnd, n - vectorEnd, segmentTime, span, a + vectorEnd, b + vectorEnd);
}

__attribute__((target("avx2"))) void ReadTableAvx2(const float* table, std::uint32_t& phase, std::uint32_t step,
                                                   float gain, float* out, int n) {
    const int vectorEnd = n & ~7;
    const __m256 g = _mm256_set1_ps(gain);
    for (int s = 0; s < vectorEnd; s += 8) {
        std::uint32_t k[8];
        const __m256 x = NextEight(phase, step, k);
        __m256 ym1, y0, y1, y2;
        GatherPoints(table, k, ym1, y0, y1, y2);
        const __m256 value = HermiteAvx2(ym1, y0, y1, y2, x);
        _mm256_storeu_ps(out + s, _mm256_add_ps(_mm256_loadu_ps(out + s), _mm256_mul_ps(g, value)));
    }
    ReadTable(table, phase, step, gain, out + vectorEnd, n - vectorEnd);
}

__attribute__((target("avx2"))) void ReadBlendAvx2(const float* from, const float* to, const float* a,
                                                   const float* b, std::uint32_t& phase, std::uint32_t step,
                                                   float gain, float* out, int n) {
    const int vectorEnd = n & ~7;
    const __m256 g = _mm256_set1_ps(gain);
    for (int s = 0; s < vectorEnd; s += 8) {
        std::uint32_t k[8];
        const __m256 x = NextEight(phase, step, k);
        __m256 pm1, p0, p1, p2, qm1, q0, q1, q2;
        GatherPoints(from, k, pm1, p0, p1, p2);
        GatherPoints(to, k, qm1, q0, q1, q2);
        const __m256 wa = _mm256_loadu_ps(a + s);
        const __m256 wb = _mm256_loadu_ps(b + s);
        const __m256 value = HermiteAvx2(_mm256_add_ps(_mm256_mul_ps(wa, pm1), _mm256_mul_ps(wb, qm1)),
                                         _mm256_add_ps(_mm256_mul_ps(wa, p0), _mm256_mul_ps(wb, q0)),
                                         _mm256_add_ps(_mm256_mul_ps(wa, p1), _mm256_mul_ps(wb, q1)),
                                         _mm256_add_ps(_mm256_mul_ps(wa, p2), _mm256_mul_ps(wb, q2)), x);
        _mm256_storeu_ps(out + s, _mm256_add_ps(_mm256_loadu_ps(out + s), _mm256_mul_ps(g, value)));
    }
    ReadBlend(from, to, a + vectorEnd, b + vectorEnd, phase, step, gain, out + vectorEnd, n - vectorEnd);
}

bool CpuHasAvx2() { return __builtin_cpu_supports("avx2"); }
#else
bool CpuHasAvx2() { return false; }
#endif

// Builds a frame's tables on the calling thread and, for frames with many tables, on one helper thread
// (each with its own transform), so that a program switch builds its harmony on both cores.
class TableBuilder {
public:
    TableBuilder() : fft_(THarmonyFrame::kTableLength), work_(THarmonyFrame::kTableLength) {}
    ~TableBuilder() {
        if (helper_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stop_ = true;
            }
            wake_.notify_all();
            helper_.join();
        }
    }

    std::shared_ptr<const THarmonyFrame::Tables> Build(const THarmonyFrame& frame) {
        std::unique_ptr<THarmonyFrame::Tables> tables = frame.PlanTables();
        if (tables->DistinctCount() >= kSplitFrom && StartHelper()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                jobFrame_ = &frame;
                jobTables_ = tables.get();
                ++jobNumber_;
            }
            wake_.notify_all();
            frame.FillTables(*tables, 0, 2, fft_, work_.data());
            std::unique_lock<std::mutex> lock(mutex_);
            done_.wait(lock, [this] { return doneNumber_ == jobNumber_; });
        } else {
            frame.FillTables(*tables, 0, 1, fft_, work_.data());
        }
        return std::shared_ptr<const THarmonyFrame::Tables>(std::move(tables));
    }

private:
    static constexpr int kSplitFrom = 8; // tables; below this a hand-over costs more than it saves

    bool StartHelper() {
        if (helper_.joinable())
            return true;
        if (std::thread::hardware_concurrency() < 2)
            return false;
        helper_ = std::thread([this] { HelperLoop(); });
        return true;
    }

    void HelperLoop() {
        TFFTReal fft(THarmonyFrame::kTableLength);
        std::vector<float> work(THarmonyFrame::kTableLength);
        std::uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || jobNumber_ != seen; });
            if (stop_)
                return;
            seen = jobNumber_;
            const THarmonyFrame* frame = jobFrame_;
            THarmonyFrame::Tables* tables = jobTables_;
            lock.unlock();
            frame->FillTables(*tables, 1, 2, fft, work.data());
            lock.lock();
            doneNumber_ = seen;
            done_.notify_all();
        }
    }

    TFFTReal fft_;
    std::vector<float> work_;
    std::thread helper_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const THarmonyFrame* jobFrame_ = nullptr;
    THarmonyFrame::Tables* jobTables_ = nullptr;
    std::uint64_t jobNumber_ = 0, doneNumber_ = 0;
    bool stop_ = false;
};

} // namespace

// An immutable frame list as the audio thread reads it: per frame its time and its tables. The owners keep
// the tables alive; lists are made and freed on the posting side only.
struct TIFFTVoiceOsc::FrameList {
    struct Entry {
        float time;
        const THarmonyFrame::Tables* tables;
    };
    std::vector<Entry> entries;
    std::vector<std::shared_ptr<const THarmonyFrame::Tables>> owners;
};

struct TIFFTVoiceOsc::PostSide {
    struct Frame {
        THarmonyFrame harmonics;
        std::shared_ptr<const THarmonyFrame::Tables> tables;
    };
    mutable std::mutex mutex;
    std::vector<std::unique_ptr<Frame>> model;
    TableBuilder builder;
    std::mt19937 random{0x51u};

    Frame* At(int frame) {
        return frame >= 0 && frame < static_cast<int>(model.size()) ? model[static_cast<std::size_t>(frame)].get()
                                                                     : nullptr;
    }
};

// Construction ---------------------------------------------------------------------------------------

TIFFTVoiceOsc::TIFFTVoiceOsc(int voiceCount, float sampleRate)
    : sampleRate_(sampleRate), voices_(std::make_unique<Voice[]>(kMaxVoices)), post_(std::make_unique<PostSide>()) {
    for (std::size_t k = 0; k < pitchRatio_.size(); ++k)
        pitchRatio_[k] = static_cast<float>(std::exp2(static_cast<double>(k) / 96.0 - 2.0));
    const auto& frequency = NoteTable::Frequencies();
    int note = 0;
    for (std::size_t i = 0; i < noteFor_.size(); ++i) {
        const double f = static_cast<double>(i) / 2.0;
        while (note < NoteTable::kNoteCount && frequency[static_cast<std::size_t>(note)] < f)
            ++note;
        noteFor_[i] = static_cast<std::uint8_t>(std::min(note, NoteTable::kNoteCount - 1));
    }
    SetVoiceCount(voiceCount);
    SetUnisonCount(1);
    vectorKernels_ = CpuHasAvx2();
}

void TIFFTVoiceOsc::SetVectorKernels(bool on) { vectorKernels_ = on && CpuHasAvx2(); }

TIFFTVoiceOsc::~TIFFTVoiceOsc() {
    // Nothing renders any more: every list still in flight is ours to free.
    Edit edit{};
    while (edits_.TryPop(edit))
        delete edit.list;
    delete overflow_.exchange(nullptr);
    FrameList* list = nullptr;
    while (retired_.TryPop(list))
        delete list;
    delete current_;
}

// Settings -------------------------------------------------------------------------------------------

void TIFFTVoiceOsc::SetSampleRate(float rate) { sampleRate_ = rate; }

void TIFFTVoiceOsc::SetVoiceCount(int count) {
    voiceCount_ = std::clamp(count, 1, kMaxVoices);
    for (int i = 0; i < voiceCount_; ++i) {
        voices_[static_cast<std::size_t>(i)].targetFrequency = 440.0f;
        voices_[static_cast<std::size_t>(i)].currentFrequency = 440.0f;
    }
    ResetAllVoices();
}

void TIFFTVoiceOsc::SetUnisonCount(int count) {
    unisonCount_ = std::clamp(count, 1, kMaxUnison);
    unisonGain_.fill(1.0f / static_cast<float>(unisonCount_));
    SetUnisonSpread(unisonSpread_);
    ResetAllVoices();
}

void TIFFTVoiceOsc::SetUnisonSpread(float spread) {
    unisonSpread_ = spread;
    unisonRatio_.fill(1.0f);
    if (unisonCount_ < 2)
        return;
    const double x = spread > 0.0f ? spread : 1.0;
    for (int i = 0; i < unisonCount_; ++i)
        unisonRatio_[static_cast<std::size_t>(i)] =
            static_cast<float>(1.0 / std::sqrt(x) * std::pow(x, static_cast<double>(i) / (unisonCount_ - 1)));
}

void TIFFTVoiceOsc::SetPhaseReset(bool on) {
    phaseReset_ = on;
    if (on)
        return;
    for (int v = 0; v < voiceCount_; ++v)
        for (int i = 0; i < unisonCount_; ++i)
            voices_[static_cast<std::size_t>(v)].phases[static_cast<std::size_t>(i)] = RandomPhase();
}

void TIFFTVoiceOsc::SetGlideEnabled(bool on) { glideEnabled_ = on; }
void TIFFTVoiceOsc::SetGlideTime(float seconds) { glideTime_ = seconds; }
void TIFFTVoiceOsc::SetLoopEnabled(bool on) { loopEnabled_ = on; }
void TIFFTVoiceOsc::SetFrequencyFactor(float f) { frequencyFactor_ = f; }
void TIFFTVoiceOsc::SetOscillatorGain(float gain) { oscillatorGain_ = gain; }
void TIFFTVoiceOsc::SetGlideFromLastNote(bool on) { glideFromLastNote_ = on; }

std::uint32_t TIFFTVoiceOsc::RandomPhase() {
    // xorshift64*: uniform, allocation-free, good enough for phases.
    randomState_ ^= randomState_ >> 12;
    randomState_ ^= randomState_ << 25;
    randomState_ ^= randomState_ >> 27;
    const std::uint64_t bits = randomState_ * 0x2545F4914F6CDD1Dull;
    const double r = static_cast<double>(bits >> 11) * 0x1.0p-53; // [0, 1)
    return static_cast<std::uint32_t>(std::nearbyint(r * 4294967295.0));
}

// Voices ---------------------------------------------------------------------------------------------

TIFFTVoiceOsc::Voice* TIFFTVoiceOsc::VoiceAt(int voice) {
    return voice >= 0 && voice < kMaxVoices ? &voices_[static_cast<std::size_t>(voice)] : nullptr;
}

const TIFFTVoiceOsc::Voice* TIFFTVoiceOsc::VoiceAt(int voice) const {
    return voice >= 0 && voice < kMaxVoices ? &voices_[static_cast<std::size_t>(voice)] : nullptr;
}

int TIFFTVoiceOsc::NoteFor(float frequency) const {
    if (frequency > 16383.0f)
        return 127;
    if (!(frequency > 0.0f))
        return noteFor_[0];
    return noteFor_[static_cast<std::size_t>(std::nearbyint(2.0f * frequency))];
}

// Phase increment and table note of frequency f (before the fine tune).
void TIFFTVoiceOsc::UpdatePitch(Voice& v, float frequency) {
    const float f = frequency * v.pitchFactor * v.octaveFactor;
    v.increment = WrapRound(static_cast<double>(f) * 4294967296.0 / sampleRate_);
    v.tableNote = NoteFor(f * frequencyFactor_);
}

void TIFFTVoiceOsc::NoteStart(int voice, bool legato, float frequency) {
    Voice* v = VoiceAt(voice);
    if (!v)
        return;
    if (!legato)
        ResetVoice(voice);
    v->targetFrequency = frequency;
    UpdatePitch(*v, frequency);
    if (glideEnabled_) {
        if (glideFromLastNote_)
            v->currentFrequency = lastNoteFrequency_;
        if (glideTime_ > 0.0f && v->currentFrequency > 0.0f && frequency > 0.0f) {
            v->glideRate = static_cast<float>(
                std::exp2(std::log2(static_cast<double>(frequency) / v->currentFrequency) / sampleRate_ / glideTime_));
        } else {
            // No glide time: the voice is at its note at once.
            v->currentFrequency = frequency;
            v->glideRate = 0.0f;
            v->glideOffset = 0.0f;
        }
        lastNoteFrequency_ = frequency;
    } else {
        v->glideRate = 0.0f;
        v->glideOffset = 0.0f;
    }
}

void TIFFTVoiceOsc::SetOctaveFactor(int voice, float factor) {
    if (Voice* v = VoiceAt(voice)) {
        v->octaveFactor = factor;
        UpdatePitch(*v, v->targetFrequency);
    }
}

void TIFFTVoiceOsc::SetVoiceAmplitude(int voice, float amplitude) {
    if (Voice* v = VoiceAt(voice))
        v->amplitude = 0.5f * amplitude;
}

void TIFFTVoiceOsc::SetTimeSpeed(int voice, float speed) {
    if (Voice* v = VoiceAt(voice))
        v->timeIncrement = speed / sampleRate_;
}

void TIFFTVoiceOsc::SetPitchOffset(int voice, float semitones) {
    Voice* v = VoiceAt(voice);
    if (!v || semitones == v->lastPitchOffset)
        return;
    v->lastPitchOffset = semitones;
    const float s = semitones >= -24.0f ? std::min(semitones, 24.0f) : -24.0f; // NaN counts as −24
    const float x = 8.0f * s + 192.0f;
    const int k = static_cast<int>(x);
    const float w = x - static_cast<float>(k);
    v->pitchFactor = (1.0f - w) * pitchRatio_[static_cast<std::size_t>(k)] + w * pitchRatio_[static_cast<std::size_t>(k + 1)];
    UpdatePitch(*v, v->targetFrequency);
}

void TIFFTVoiceOsc::SetPitchModulation(int voice, float factor) {
    if (Voice* v = VoiceAt(voice))
        v->pitchModulation = factor;
}

float TIFFTVoiceOsc::GlideOffset(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->glideOffset : 0.0f;
}

void TIFFTVoiceOsc::ResetVoice(int voice) {
    Voice* v = VoiceAt(voice);
    if (!v)
        return;
    if (phaseReset_)
        std::fill(v->phases.begin(), v->phases.begin() + unisonCount_, 0u);
    v->harmonyTime = 0.0f;
    v->segment = v->fromFrame = v->toFrame = 0;
    v->lastPitchOffset = 0.0f;
    v->pitchFactor = 1.0f;
    v->pitchModulation = 1.0f;
    v->amplitude = 0.5f;
    v->timeIncrement = 1.0f / sampleRate_;
    v->glideOffset = 0.0f;
}

void TIFFTVoiceOsc::ResetAllVoices() {
    for (int voice = 0; voice < voiceCount_; ++voice) {
        Voice& v = voices_[static_cast<std::size_t>(voice)];
        for (int i = 0; i < unisonCount_; ++i)
            v.phases[static_cast<std::size_t>(i)] = RandomPhase();
        ResetVoice(voice);
        v.octaveFactor = 1.0f;
    }
}

float TIFFTVoiceOsc::HarmonyTime(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->harmonyTime : 0.0f;
}
float TIFFTVoiceOsc::PitchFactor(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->pitchFactor : 0.0f;
}
std::uint32_t TIFFTVoiceOsc::PhaseIncrement(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->increment : 0u;
}
int TIFFTVoiceOsc::TableNote(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->tableNote : 0;
}
float TIFFTVoiceOsc::CurrentFrequency(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->currentFrequency : 0.0f;
}
int TIFFTVoiceOsc::AppliedFrameCount() const {
    return current_ ? static_cast<int>(current_->entries.size()) : 0;
}

// Edits on the audio side ----------------------------------------------------------------------------

void TIFFTVoiceOsc::Adopt(FrameList* list) {
    if (current_)
        retired_.TryPush(current_); // room was checked by the caller
    current_ = list;
}

void TIFFTVoiceOsc::ApplyEdit(const Edit& edit) {
    Adopt(edit.list);
    switch (edit.command) {
    case kDeleteFrame:
    case kInsertFrame: ResetAllVoices(); break;
    case kSetFrameTime:
        for (int voice = 0; voice < voiceCount_; ++voice) {
            Voice& v = voices_[static_cast<std::size_t>(voice)];
            if (v.fromFrame == edit.index && v.harmonyTime < edit.time)
                v.harmonyTime = edit.time;
        }
        break;
    default: break; // new tables only
    }
}

void TIFFTVoiceOsc::ApplyEdits() {
    if (busy_.exchange(true, std::memory_order_seq_cst))
        return; // another thread is applying edits
    if (!rendering_.load(std::memory_order_seq_cst)) {
        while (!edits_.Empty() && !retired_.Full()) {
            const Edit edit = edits_.Front();
            edits_.Pop();
            ApplyEdit(edit);
        }
        // Edits that found the queue full follow everything queued before them.
        if (edits_.Empty() && !retired_.Full() && overflow_.load(std::memory_order_acquire)) {
            if (FrameList* list = overflow_.exchange(nullptr, std::memory_order_acq_rel)) {
                Adopt(list);
                ResetAllVoices();
            }
        }
    }
    busy_.store(false, std::memory_order_seq_cst);
}

// Rendering ------------------------------------------------------------------------------------------

void TIFFTVoiceOsc::Render(int voice, float* buffer, int n) {
    Voice* v = VoiceAt(voice);
    if (n <= 0 || !v)
        return;
    rendering_.store(true, std::memory_order_seq_cst);
    const FrameList* list = busy_.load(std::memory_order_seq_cst) ? nullptr : current_;
    if (!list || list->entries.empty()) {
        std::fill(buffer, buffer + n, kEmptyBlock);
        rendering_.store(false, std::memory_order_release);
        return;
    }

    // Glide towards the target, once per block.
    if (v->glideRate > 0.0f) {
        const float target = v->targetFrequency;
        float current = v->currentFrequency;
        if (target != current) {
            current = static_cast<float>(current * std::pow(static_cast<double>(v->glideRate), n));
            current = target > v->currentFrequency ? std::min(current, target) : std::max(current, target);
            v->currentFrequency = current;
            UpdatePitch(*v, current);
        }
        v->glideOffset = std::log(current / target) * kSemitonesPerLn;
    }

    // Frame indices may only point into the list the voice now reads.
    const int last = static_cast<int>(list->entries.size()) - 1;
    v->segment = std::clamp(v->segment, 0, last);
    v->fromFrame = std::clamp(v->fromFrame, 0, last);
    v->toFrame = std::clamp(v->toFrame, 0, last);

    if (v->harmonyTime > list->entries[static_cast<std::size_t>(last)].time)
        RenderSingle(*v, *list, buffer, n);
    else
        RenderCrossfade(*v, *list, buffer, n);
    Loop(*v, *list);
    rendering_.store(false, std::memory_order_release);
}

void TIFFTVoiceOsc::RenderSingle(Voice& v, const FrameList& list, float* buffer, int n) {
    const float* table = list.entries[static_cast<std::size_t>(v.toFrame)].tables->Table(v.tableNote);
    const float d = static_cast<float>(v.increment) * v.pitchModulation * frequencyFactor_;
    for (int i = 0; i < unisonCount_; ++i) {
        const auto u = static_cast<std::size_t>(i);
        const float gain = unisonGain_[u] * oscillatorGain_ * v.amplitude;
        ReadTableFast(table, v.phases[u], WrapRound(d * unisonRatio_[u]), gain, buffer, n);
    }
    v.harmonyTime += static_cast<float>(n) * v.timeIncrement;
}

void TIFFTVoiceOsc::RenderCrossfade(Voice& v, const FrameList& list, float* buffer, int n) {
    const auto* frames = list.entries.data();
    const int count = static_cast<int>(list.entries.size());
    const float d = static_cast<float>(v.increment) * v.pitchModulation * frequencyFactor_;
    std::array<std::uint32_t, kMaxUnison> step;
    std::array<float, kMaxUnison> gain;
    for (int i = 0; i < unisonCount_; ++i) {
        const auto u = static_cast<std::size_t>(i);
        step[u] = WrapRound(unisonRatio_[u] * d);
        gain[u] = unisonGain_[u] * oscillatorGain_ * v.amplitude;
    }

    float times[kChunk];
    float weightFrom[kChunk];
    float weightTo[kChunk];
    float t = v.harmonyTime;
    int s = 0;
    while (s < n) {
        // A run of samples that read the same two tables.
        if (t >= frames[v.segment].time && v.segment + 1 < count) {
            ++v.segment;
            v.toFrame = v.segment;
            v.fromFrame = v.segment - 1;
        }
        const float* from = frames[v.fromFrame].tables->Table(v.tableNote);
        const float* to = frames[v.toFrame].tables->Table(v.tableNote);
        const float segmentTime = frames[v.segment].time;
        const float previousTime = v.segment > 0 ? frames[v.segment - 1].time : segmentTime;
        const bool advances = v.segment + 1 < count;
        int length = 0;
        do {
            times[length++] = t;
            t += v.timeIncrement;
        } while (s + length < n && length < kChunk && !(advances && t >= segmentTime));
        // The from-table has weight 0 from the segment's own time on, and always in segment 0.
        const bool fading = v.segment > 0 && (times[0] < segmentTime || times[length - 1] < segmentTime);
        if (fading)
            Weights(times, length, segmentTime, segmentTime - previousTime + 1e-10f, weightFrom, weightTo);

        float* out = buffer + s;
        for (int i = 0; i < unisonCount_; ++i) {
            const auto u = static_cast<std::size_t>(i);
            if (!fading) {
                ReadTableFast(to, v.phases[u], step[u], gain[u], out, length);
                continue;
            }
#ifdef QUILLON_HAVE_AVX2_KERNELS
            if (vectorKernels_) {
                ReadBlendAvx2(from, to, weightFrom, weightTo, v.phases[u], step[u], gain[u], out, length);
                continue;
            }
#endif
            ReadBlend(from, to, weightFrom, weightTo, v.phases[u], step[u], gain[u], out, length);
        }
        s += length;
    }
    v.harmonyTime = t;
}

void TIFFTVoiceOsc::ReadTableFast(const float* table, std::uint32_t& phase, std::uint32_t step, float gain,
                                  float* out, int n) const {
#ifdef QUILLON_HAVE_AVX2_KERNELS
    if (vectorKernels_) {
        ReadTableAvx2(table, phase, step, gain, out, n);
        return;
    }
#endif
    ReadTable(table, phase, step, gain, out, n);
}

void TIFFTVoiceOsc::Weights(const float* times, int n, float segmentTime, float span, float* from, float* to) const {
#ifdef QUILLON_HAVE_AVX2_KERNELS
    if (vectorKernels_) {
        WeightsAvx2(times, n, segmentTime, span, from, to);
        return;
    }
#endif
    CrossfadeWeights(times, n, segmentTime, span, from, to);
}

void TIFFTVoiceOsc::Loop(Voice& v, const FrameList& list) {
    const int count = static_cast<int>(list.entries.size());
    if (!loopEnabled_ || count < 2 || !(v.harmonyTime >= LoopEnd()))
        return;
    v.harmonyTime = LoopStart();
    while (v.segment > 1 && v.harmonyTime < list.entries[static_cast<std::size_t>(v.segment)].time)
        --v.segment;
    v.toFrame = v.segment;
    v.fromFrame = std::max(v.segment - 1, 0);
}

// Frames on the posting side -------------------------------------------------------------------------

void TIFFTVoiceOsc::CollectLocked() {
    FrameList* list = nullptr;
    while (retired_.TryPop(list))
        delete list;
}

void TIFFTVoiceOsc::CollectGarbage() {
    std::lock_guard<std::mutex> lock(post_->mutex);
    CollectLocked();
}

void TIFFTVoiceOsc::Post(int command, int index, float time) {
    CollectLocked();
    auto* list = new FrameList();
    list->entries.reserve(post_->model.size());
    list->owners.reserve(post_->model.size());
    for (const auto& frame : post_->model) {
        list->entries.push_back({frame->harmonics.Time(), frame->tables.get()});
        list->owners.push_back(frame->tables);
    }
    // While a collapsed list waits, later edits join it so that the order is kept.
    if (overflow_.load(std::memory_order_acquire) || !edits_.TryPush(Edit{command, index, time, list}))
        delete overflow_.exchange(list, std::memory_order_acq_rel);
}

int TIFFTVoiceOsc::FrameCount() const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    return static_cast<int>(post_->model.size());
}

float TIFFTVoiceOsc::FrameTime(int frame) const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    const auto* f = post_->At(frame);
    return f ? f->harmonics.Time() : 0.0f;
}

std::size_t TIFFTVoiceOsc::FrameBytes(int frame) const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    const auto* f = post_->At(frame);
    return f ? sizeof(PostSide::Frame) + f->tables->ByteSize() : 0;
}

bool TIFFTVoiceOsc::InsertFrame(int position, float time) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    auto& model = post_->model;
    if (position < 0 || position > static_cast<int>(model.size()))
        return false;
    auto frame = std::make_unique<PostSide::Frame>();
    frame->harmonics.SetTime(time);
    frame->tables = post_->builder.Build(frame->harmonics);
    model.insert(model.begin() + position, std::move(frame));
    Post(kInsertFrame, position, time);
    return true;
}

bool TIFFTVoiceOsc::DeleteFrame(int frame) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    auto& model = post_->model;
    if (frame < 0 || frame >= static_cast<int>(model.size()))
        return false;
    model.erase(model.begin() + frame);
    Post(kDeleteFrame, frame, 0.0f);
    return true;
}

void TIFFTVoiceOsc::DeleteAllFrames() {
    for (int frame = FrameCount() - 1; frame >= 0; --frame)
        DeleteFrame(frame);
}

bool TIFFTVoiceOsc::SetFrameTime(int frame, float time) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    auto* f = post_->At(frame);
    if (!f)
        return false;
    f->harmonics.SetTime(time);
    Post(kSetFrameTime, frame, time);
    return true;
}

void TIFFTVoiceOsc::RebuildLocked(int frame) {
    if (auto* f = post_->At(frame)) {
        f->tables = post_->builder.Build(f->harmonics);
        Post(kRebuildFrame, frame, 0.0f);
    }
}

void TIFFTVoiceOsc::RebuildFrame(int frame) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    RebuildLocked(frame);
}

void TIFFTVoiceOsc::ResetFrame(int frame) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.Silence();
        f->tables = post_->builder.Build(f->harmonics);
        Post(kResetFrame, frame, 0.0f);
    }
}

void TIFFTVoiceOsc::SetHarmonicLevel(int frame, int harmonic, int level) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame))
        f->harmonics.SetLevelByte(harmonic, level);
}

void TIFFTVoiceOsc::SetHarmonicPhase(int frame, int harmonic, int phase) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame))
        f->harmonics.SetPhaseByte(harmonic, phase);
}

int TIFFTVoiceOsc::GetHarmonicLevel(int frame, int harmonic) const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    const auto* f = post_->At(frame);
    return f ? f->harmonics.LevelByte(harmonic) : 255;
}

int TIFFTVoiceOsc::GetHarmonicPhase(int frame, int harmonic) const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    const auto* f = post_->At(frame);
    return f ? f->harmonics.PhaseByte(harmonic) : 128;
}

void TIFFTVoiceOsc::FillSaw(int frame, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.FillSaw(count);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::FillPulse(int frame, float widthPercent, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.FillPulse(count, widthPercent);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::FillTriangle(int frame, float peakPercent, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.FillTriangle(count, peakPercent);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::FillRandom(int frame, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.FillRandom(count, post_->random);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::ClearHarmonics(int frame, int last) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.ClearHarmonics(last);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::TiltHarmonics(int frame, float amount, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.TiltHarmonics(count, amount);
        RebuildLocked(frame);
    }
}

bool TIFFTVoiceOsc::LoadHarmonyFile(const std::string& path, int frame, std::string* message) {
    THarmonyFileManager file;
    if (!file.Load(path, message))
        return false;
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        for (int j = 0; j < THarmonyFileManager::kHarmonicCount; ++j) {
            f->harmonics.SetLevelByte(j, file.levels[static_cast<std::size_t>(j)]);
            f->harmonics.SetPhaseByte(j, file.phases[static_cast<std::size_t>(j)]);
        }
        RebuildLocked(frame);
    }
    return true;
}

bool TIFFTVoiceOsc::SaveHarmonyFile(const std::string& path, int frame) {
    THarmonyFileManager file;
    {
        std::lock_guard<std::mutex> lock(post_->mutex);
        const auto* f = post_->At(frame);
        if (!f)
            return false;
        for (int j = 0; j < THarmonyFileManager::kHarmonicCount; ++j) {
            file.levels[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(f->harmonics.LevelByte(j));
            file.phases[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(f->harmonics.PhaseByte(j));
        }
    }
    return file.Save(path);
}

} // namespace quillon
