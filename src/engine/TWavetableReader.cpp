#include "engine/TWavetableReader.h"

#include "engine/Simd.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#ifdef QUILLON_HAVE_AVX2_TARGET
#define QUILLON_HAVE_X86_READERS 1 // SSE2 is part of x86-64; AVX2 runs where simd::HasAvx2()
#endif

namespace quillon {

namespace {

constexpr float kFractionScale = 9.536743164e-7f; // 2^−20: the low 20 phase bits as a fraction
constexpr int kBatch = 32;                        // oscillators whose phase offsets a vector kernel keeps at once

// 4-point Hermite interpolation between y0 and y1 at fraction x (0 … 1).
inline float Hermite(float ym1, float y0, float y1, float y2, float x) {
    const float c1 = 0.5f * (y1 - ym1);
    const float c3 = 1.5f * (y0 - y1) + 0.5f * (y2 - ym1);
    const float c2 = ym1 - y0 + c1 - c3;
    return ((c3 * x + c2) * x + c1) * x + y0;
}

// One sample at a time: the reference every other kernel reproduces.
void ReadTablePlain(const float* table, std::uint32_t& phase, std::uint32_t step, float gain, float* out, int n) {
    std::uint32_t ph = phase;
    for (int s = 0; s < n; ++s) {
        ph += step;
        const float* p = table + (ph >> 20);
        const float x = static_cast<float>(ph & 0xFFFFFu) * kFractionScale;
        out[s] += gain * Hermite(p[-1], p[0], p[1], p[2], x);
    }
    phase = ph;
}

void ReadBlendPlain(const float* from, const float* to, const float* a, const float* b, std::uint32_t& phase,
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

void ReadUnisonPlain(const float* table, std::uint32_t* phases, const std::uint32_t* steps, const float* gains,
                     int count, float* out, int n) {
    for (int i = 0; i < count; ++i)
        ReadTablePlain(table, phases[i], steps[i], gains[i], out, n);
}

void ReadBlendUnisonPlain(const float* from, const float* to, const float* a, const float* b, std::uint32_t* phases,
                          const std::uint32_t* steps, const float* gains, int count, float* out, int n) {
    for (int i = 0; i < count; ++i)
        ReadBlendPlain(from, to, a, b, phases[i], steps[i], gains[i], out, n);
}

void WeightsPlain(const float* t, int n, float segmentTime, float span, float* a, float* b) {
    for (int s = 0; s < n; ++s) {
        float w = 0.0f;
        if (t[s] < segmentTime) w = std::min(std::max((segmentTime - t[s] + 1e-10f) / span, 0.0f), 1.0f);
        a[s] = w;
        b[s] = 1.0f - w;
    }
}

#ifdef QUILLON_HAVE_X86_READERS

// The vector kernels share one plan: the samples of an output group stay in a register while every
// oscillator of a batch adds to them in turn; per oscillator the group's phases are its phase plus the
// multiples step·1 … step·W (wrapping as the scalar sums do); the table points k−1 … k+2 of each sample lie
// side by side, so they come in as one 4-float load per sample and are transposed into four vectors (y−1,
// y0, y1, y2) on which the scalar arithmetic runs lane by lane. Samples after the last whole group, and so
// whole blocks shorter than a group, go through the plain reader oscillator by oscillator.

// SSE2: four samples at a time ------------------------------------------------------------------------------

inline __m128 HermiteSse2(__m128 ym1, __m128 y0, __m128 y1, __m128 y2, __m128 x) {
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 c1 = _mm_mul_ps(half, _mm_sub_ps(y1, ym1));
    const __m128 c3 =
        _mm_add_ps(_mm_mul_ps(_mm_set1_ps(1.5f), _mm_sub_ps(y0, y1)), _mm_mul_ps(half, _mm_sub_ps(y2, ym1)));
    const __m128 c2 = _mm_sub_ps(_mm_add_ps(_mm_sub_ps(ym1, y0), c1), c3);
    __m128 v = _mm_add_ps(_mm_mul_ps(c3, x), c2);
    v = _mm_add_ps(_mm_mul_ps(v, x), c1);
    return _mm_add_ps(_mm_mul_ps(v, x), y0);
}

// Points k−1 … k+2 of `table` for the four indices, transposed.
inline void GatherPointsSse2(const float* table, const std::uint32_t* k, __m128& ym1, __m128& y0, __m128& y1,
                             __m128& y2) {
    const float* t = table - 1;
    ym1 = _mm_loadu_ps(t + k[0]);
    y0 = _mm_loadu_ps(t + k[1]);
    y1 = _mm_loadu_ps(t + k[2]);
    y2 = _mm_loadu_ps(t + k[3]);
    _MM_TRANSPOSE4_PS(ym1, y0, y1, y2);
}

// The next four phases of an oscillator: their table indices into k, their fractions returned.
inline __m128 NextFour(std::uint32_t& phase, std::uint32_t step, __m128i offsets, std::uint32_t* k) {
    const __m128i ph = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(phase)), offsets);
    phase += 4u * step;
    _mm_store_si128(reinterpret_cast<__m128i*>(k), _mm_srli_epi32(ph, 20));
    return _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(ph, _mm_set1_epi32(0xFFFFF))), _mm_set1_ps(kFractionScale));
}

inline __m128i OffsetsFour(std::uint32_t step) {
    return _mm_set_epi32(static_cast<int>(4u * step), static_cast<int>(3u * step), static_cast<int>(2u * step),
                         static_cast<int>(step));
}

void ReadUnisonSse2(const float* table, std::uint32_t* phases, const std::uint32_t* steps, const float* gains,
                    int count, float* out, int n) {
    const int vectorEnd = n & ~3;
    for (int first = 0; first < count && vectorEnd > 0; first += kBatch) {
        const int batch = std::min(kBatch, count - first);
        __m128i offsets[kBatch];
        for (int i = 0; i < batch; ++i)
            offsets[i] = OffsetsFour(steps[first + i]);
        for (int s = 0; s < vectorEnd; s += 4) {
            __m128 sum = _mm_loadu_ps(out + s);
            for (int i = 0; i < batch; ++i) {
                alignas(16) std::uint32_t k[4];
                const __m128 x = NextFour(phases[first + i], steps[first + i], offsets[i], k);
                __m128 ym1, y0, y1, y2;
                GatherPointsSse2(table, k, ym1, y0, y1, y2);
                sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(gains[first + i]), HermiteSse2(ym1, y0, y1, y2, x)));
            }
            _mm_storeu_ps(out + s, sum);
        }
    }
    ReadUnisonPlain(table, phases, steps, gains, count, out + vectorEnd, n - vectorEnd);
}

inline __m128 Blend(__m128 wa, __m128 p, __m128 wb, __m128 q) {
    return _mm_add_ps(_mm_mul_ps(wa, p), _mm_mul_ps(wb, q));
}

void ReadBlendUnisonSse2(const float* from, const float* to, const float* a, const float* b, std::uint32_t* phases,
                         const std::uint32_t* steps, const float* gains, int count, float* out, int n) {
    const int vectorEnd = n & ~3;
    for (int first = 0; first < count && vectorEnd > 0; first += kBatch) {
        const int batch = std::min(kBatch, count - first);
        __m128i offsets[kBatch];
        for (int i = 0; i < batch; ++i)
            offsets[i] = OffsetsFour(steps[first + i]);
        for (int s = 0; s < vectorEnd; s += 4) {
            const __m128 wa = _mm_loadu_ps(a + s);
            const __m128 wb = _mm_loadu_ps(b + s);
            __m128 sum = _mm_loadu_ps(out + s);
            for (int i = 0; i < batch; ++i) {
                alignas(16) std::uint32_t k[4];
                const __m128 x = NextFour(phases[first + i], steps[first + i], offsets[i], k);
                __m128 pm1, p0, p1, p2, qm1, q0, q1, q2;
                GatherPointsSse2(from, k, pm1, p0, p1, p2);
                GatherPointsSse2(to, k, qm1, q0, q1, q2);
                const __m128 value = HermiteSse2(Blend(wa, pm1, wb, qm1), Blend(wa, p0, wb, q0), Blend(wa, p1, wb, q1),
                                                 Blend(wa, p2, wb, q2), x);
                sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(gains[first + i]), value));
            }
            _mm_storeu_ps(out + s, sum);
        }
    }
    ReadBlendUnisonPlain(from, to, a + vectorEnd, b + vectorEnd, phases, steps, gains, count, out + vectorEnd,
                         n - vectorEnd);
}

void WeightsSse2(const float* t, int n, float segmentTime, float span, float* a, float* b) {
    const int vectorEnd = n & ~3;
    const __m128 end = _mm_set1_ps(segmentTime);
    const __m128 divisor = _mm_set1_ps(span);
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    for (int s = 0; s < vectorEnd; s += 4) {
        const __m128 time = _mm_loadu_ps(t + s);
        __m128 w = _mm_div_ps(_mm_add_ps(_mm_sub_ps(end, time), _mm_set1_ps(1e-10f)), divisor);
        w = _mm_min_ps(_mm_max_ps(w, zero), one);
        w = _mm_and_ps(w, _mm_cmplt_ps(time, end));
        _mm_storeu_ps(a + s, w);
        _mm_storeu_ps(b + s, _mm_sub_ps(one, w));
    }
    WeightsPlain(t + vectorEnd, n - vectorEnd, segmentTime, span, a + vectorEnd, b + vectorEnd);
}

// AVX2: eight samples at a time (no FMA, so that the lanes round as the plain reader does) ----------------

// Every AVX2 kernel leaves through simd::LeaveAvx before the plain tail and the code after it (the rest of the
// voice path, the effects).
using simd::LeaveAvx;

QUILLON_TARGET_AVX2 inline __m256 HermiteAvx2(__m256 ym1, __m256 y0, __m256 y1, __m256 y2, __m256 x) {
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 c1 = _mm256_mul_ps(half, _mm256_sub_ps(y1, ym1));
    const __m256 c3 = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(1.5f), _mm256_sub_ps(y0, y1)),
                                    _mm256_mul_ps(half, _mm256_sub_ps(y2, ym1)));
    const __m256 c2 = _mm256_sub_ps(_mm256_add_ps(_mm256_sub_ps(ym1, y0), c1), c3);
    __m256 v = _mm256_add_ps(_mm256_mul_ps(c3, x), c2);
    v = _mm256_add_ps(_mm256_mul_ps(v, x), c1);
    return _mm256_add_ps(_mm256_mul_ps(v, x), y0);
}

QUILLON_TARGET_AVX2 inline __m256 PointPair(const float* low, const float* high) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(low)), _mm_loadu_ps(high), 1);
}

// Points k−1 … k+2 of `table` for the eight indices, transposed: ym1 holds point k−1 of samples 0 … 7, etc.
QUILLON_TARGET_AVX2 inline void GatherPointsAvx2(const float* table, const std::uint32_t* k, __m256& ym1, __m256& y0,
                                                 __m256& y1, __m256& y2) {
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

QUILLON_TARGET_AVX2 inline __m256 NextEight(std::uint32_t& phase, std::uint32_t step, __m256i offsets,
                                            std::uint32_t* k) {
    const __m256i ph = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(phase)), offsets);
    phase += 8u * step;
    _mm256_store_si256(reinterpret_cast<__m256i*>(k), _mm256_srli_epi32(ph, 20));
    return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_and_si256(ph, _mm256_set1_epi32(0xFFFFF))),
                         _mm256_set1_ps(kFractionScale));
}

QUILLON_TARGET_AVX2 inline __m256i OffsetsEight(std::uint32_t step) {
    return _mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int>(step)), _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8));
}

QUILLON_TARGET_AVX2 void ReadUnisonAvx2(const float* table, std::uint32_t* phases, const std::uint32_t* steps,
                                        const float* gains, int count, float* out, int n) {
    const int vectorEnd = n & ~7;
    for (int first = 0; first < count && vectorEnd > 0; first += kBatch) {
        const int batch = std::min(kBatch, count - first);
        __m256i offsets[kBatch];
        for (int i = 0; i < batch; ++i)
            offsets[i] = OffsetsEight(steps[first + i]);
        for (int s = 0; s < vectorEnd; s += 8) {
            __m256 sum = _mm256_loadu_ps(out + s);
            for (int i = 0; i < batch; ++i) {
                alignas(32) std::uint32_t k[8];
                const __m256 x = NextEight(phases[first + i], steps[first + i], offsets[i], k);
                __m256 ym1, y0, y1, y2;
                GatherPointsAvx2(table, k, ym1, y0, y1, y2);
                sum = _mm256_add_ps(sum,
                                    _mm256_mul_ps(_mm256_set1_ps(gains[first + i]), HermiteAvx2(ym1, y0, y1, y2, x)));
            }
            _mm256_storeu_ps(out + s, sum);
        }
    }
    LeaveAvx();
    ReadUnisonPlain(table, phases, steps, gains, count, out + vectorEnd, n - vectorEnd);
}

QUILLON_TARGET_AVX2 inline __m256 BlendAvx2(__m256 wa, __m256 p, __m256 wb, __m256 q) {
    return _mm256_add_ps(_mm256_mul_ps(wa, p), _mm256_mul_ps(wb, q));
}

QUILLON_TARGET_AVX2 void ReadBlendUnisonAvx2(const float* from, const float* to, const float* a, const float* b,
                                             std::uint32_t* phases, const std::uint32_t* steps, const float* gains,
                                             int count, float* out, int n) {
    const int vectorEnd = n & ~7;
    for (int first = 0; first < count && vectorEnd > 0; first += kBatch) {
        const int batch = std::min(kBatch, count - first);
        __m256i offsets[kBatch];
        for (int i = 0; i < batch; ++i)
            offsets[i] = OffsetsEight(steps[first + i]);
        for (int s = 0; s < vectorEnd; s += 8) {
            const __m256 wa = _mm256_loadu_ps(a + s);
            const __m256 wb = _mm256_loadu_ps(b + s);
            __m256 sum = _mm256_loadu_ps(out + s);
            for (int i = 0; i < batch; ++i) {
                alignas(32) std::uint32_t k[8];
                const __m256 x = NextEight(phases[first + i], steps[first + i], offsets[i], k);
                __m256 pm1, p0, p1, p2, qm1, q0, q1, q2;
                GatherPointsAvx2(from, k, pm1, p0, p1, p2);
                GatherPointsAvx2(to, k, qm1, q0, q1, q2);
                const __m256 value = HermiteAvx2(BlendAvx2(wa, pm1, wb, qm1), BlendAvx2(wa, p0, wb, q0),
                                                 BlendAvx2(wa, p1, wb, q1), BlendAvx2(wa, p2, wb, q2), x);
                sum = _mm256_add_ps(sum, _mm256_mul_ps(_mm256_set1_ps(gains[first + i]), value));
            }
            _mm256_storeu_ps(out + s, sum);
        }
    }
    LeaveAvx();
    ReadBlendUnisonPlain(from, to, a + vectorEnd, b + vectorEnd, phases, steps, gains, count, out + vectorEnd,
                         n - vectorEnd);
}

QUILLON_TARGET_AVX2 void WeightsAvx2(const float* t, int n, float segmentTime, float span, float* a, float* b) {
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
    LeaveAvx();
    WeightsPlain(t + vectorEnd, n - vectorEnd, segmentTime, span, a + vectorEnd, b + vectorEnd);
}

#endif // QUILLON_HAVE_X86_READERS

// The kernels of each operation, indexed by TWavetableReader::Kernel; an unsupported one is never selected.
using UnisonKernel = void (*)(const float*, std::uint32_t*, const std::uint32_t*, const float*, int, float*, int);
using BlendKernel = void (*)(const float*, const float*, const float*, const float*, std::uint32_t*,
                             const std::uint32_t*, const float*, int, float*, int);
using WeightsKernel = void (*)(const float*, int, float, float, float*, float*);

#ifdef QUILLON_HAVE_X86_READERS
constexpr UnisonKernel kUnison[] = {ReadUnisonPlain, ReadUnisonSse2, ReadUnisonAvx2};
constexpr BlendKernel kBlend[] = {ReadBlendUnisonPlain, ReadBlendUnisonSse2, ReadBlendUnisonAvx2};
constexpr WeightsKernel kWeights[] = {WeightsPlain, WeightsSse2, WeightsAvx2};
#else
constexpr UnisonKernel kUnison[] = {ReadUnisonPlain, ReadUnisonPlain, ReadUnisonPlain};
constexpr BlendKernel kBlend[] = {ReadBlendUnisonPlain, ReadBlendUnisonPlain, ReadBlendUnisonPlain};
constexpr WeightsKernel kWeights[] = {WeightsPlain, WeightsPlain, WeightsPlain};
#endif
static_assert(std::size(kUnison) == TWavetableReader::kKernelCount);

// Times every supported kernel on what a voice of a unison patch reads per render block: four oscillators
// over 16 samples, once crossfading and once from one table, each call followed by the same plain (SSE)
// work, as the filter and the effects follow the oscillator in the render loop, so that a kernel that slows
// the code after it counts with that cost. Rounds alternate between the kernels so that a clock change or a
// busy neighbour affects them alike, and each kernel counts with its best round.
TWavetableReader::Kernel MeasureFastest() {
    constexpr int kLength = 4096;
    constexpr int kOscillators = 4;
    constexpr int kSamples = 16;
    constexpr int kCallsPerRound = 24;
    constexpr int kRounds = 7;
    std::vector<float> tables(2 * static_cast<std::size_t>(kLength + 3));
    for (int i = 0; i < kLength + 3; ++i) {
        const double angle = 6.283185307179586 * (i - 1) / kLength;
        tables[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(angle));
        tables[kLength + 3 + static_cast<std::size_t>(i)] = static_cast<float>(std::sin(3.0 * angle));
    }
    const float* from = tables.data() + 1;
    const float* to = from + kLength + 3;
    const std::uint32_t steps[kOscillators] = {41000000u, 41600000u, 42300000u, 43100000u};
    const float gains[kOscillators] = {0.25f, 0.25f, 0.25f, 0.25f};
    float a[kSamples], b[kSamples];
    for (int s = 0; s < kSamples; ++s) {
        a[s] = static_cast<float>(kSamples - s) / kSamples;
        b[s] = 1.0f - a[s];
    }

    using Clock = std::chrono::steady_clock;
    Clock::duration best[TWavetableReader::kKernelCount];
    std::fill(std::begin(best), std::end(best), Clock::duration::max());
    float sink = 0.0f;
    for (int round = 0; round < kRounds; ++round) {
        for (int kernel = 0; kernel < TWavetableReader::kKernelCount; ++kernel) {
            if (!TWavetableReader::Supported(static_cast<TWavetableReader::Kernel>(kernel))) continue;
            std::uint32_t phases[kOscillators] = {0u, 1u << 30, 2u << 30, 3u << 30};
            float out[kSamples] = {};
            const auto start = Clock::now();
            for (int call = 0; call < kCallsPerRound; ++call) {
                kBlend[kernel](from, to, a, b, phases, steps, gains, kOscillators, out, kSamples);
                ReadUnisonPlain(from, phases, steps, gains, 1, out, kSamples);
                kUnison[kernel](to, phases, steps, gains, kOscillators, out, kSamples);
                ReadUnisonPlain(to, phases, steps, gains, 1, out, kSamples);
            }
            best[kernel] = std::min(best[kernel], Clock::now() - start);
            sink += out[0];
        }
    }
    // The samples decide too, so that the work cannot be optimised away: an unusable result reads plainly.
    if (!std::isfinite(sink)) return TWavetableReader::kPlain;
    int fastest = TWavetableReader::kPlain;
    for (int kernel = 1; kernel < TWavetableReader::kKernelCount; ++kernel)
        if (best[kernel] < best[fastest]) fastest = kernel;
    return static_cast<TWavetableReader::Kernel>(fastest);
}

} // namespace

TWavetableReader::TWavetableReader() : kernel_(FastestKernel()) {}

bool TWavetableReader::Supported(Kernel kernel) {
    switch (kernel) {
    case kPlain:
#ifdef QUILLON_HAVE_X86_READERS
    case kSse2: // part of x86-64
#endif
        return true;
#ifdef QUILLON_HAVE_X86_READERS
    case kAvx2:
        return simd::HasAvx2();
#endif
    default:
        return false;
    }
}

TWavetableReader::Kernel TWavetableReader::FastestKernel() {
    static const Kernel fastest = MeasureFastest();
    return fastest;
}

void TWavetableReader::SetKernel(Kernel kernel) {
    kernel_ = kernel >= 0 && kernel < kKernelCount && Supported(kernel) ? kernel : kPlain;
}

void TWavetableReader::SetVector(bool on) {
    kernel_ = on ? FastestKernel() : kPlain;
}

void TWavetableReader::Read(const float* table, std::uint32_t& phase, std::uint32_t step, float gain, float* out,
                            int n) const {
    kUnison[kernel_](table, &phase, &step, &gain, 1, out, n);
}

void TWavetableReader::ReadBlend(const float* from, const float* to, const float* a, const float* b,
                                 std::uint32_t& phase, std::uint32_t step, float gain, float* out, int n) const {
    kBlend[kernel_](from, to, a, b, &phase, &step, &gain, 1, out, n);
}

void TWavetableReader::ReadUnison(const float* table, std::uint32_t* phases, const std::uint32_t* steps,
                                  const float* gains, int count, float* out, int n) const {
    kUnison[kernel_](table, phases, steps, gains, count, out, n);
}

void TWavetableReader::ReadBlendUnison(const float* from, const float* to, const float* a, const float* b,
                                       std::uint32_t* phases, const std::uint32_t* steps, const float* gains, int count,
                                       float* out, int n) const {
    kBlend[kernel_](from, to, a, b, phases, steps, gains, count, out, n);
}

void TWavetableReader::Weights(const float* t, int n, float segmentTime, float span, float* a, float* b) const {
    kWeights[kernel_](t, n, segmentTime, span, a, b);
}

} // namespace quillon
