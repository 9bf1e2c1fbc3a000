#include "engine/TWavetableReader.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace quillon {

namespace {

constexpr float kFractionScale = 9.536743164e-7f; // 2^−20: the low 20 phase bits as a fraction

// 4-point Hermite interpolation between y0 and y1 at fraction x (0 … 1).
inline float Hermite(float ym1, float y0, float y1, float y2, float x) {
    const float c1 = 0.5f * (y1 - ym1);
    const float c3 = 1.5f * (y0 - y1) + 0.5f * (y2 - ym1);
    const float c2 = ym1 - y0 + c1 - c3;
    return ((c3 * x + c2) * x + c1) * x + y0;
}

// One sample at a time.
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

void WeightsPlain(const float* t, int n, float segmentTime, float span, float* a, float* b) {
    for (int s = 0; s < n; ++s) {
        float w = 0.0f;
        if (t[s] < segmentTime) w = std::min(std::max((segmentTime - t[s] + 1e-10f) / span, 0.0f), 1.0f);
        a[s] = w;
        b[s] = 1.0f - w;
    }
}

#if defined(__x86_64__) || defined(__i386__)
#define QUILLON_HAVE_AVX2_READER 1

// Eight samples at a time. The four neighbouring points of each sample lie side by side in a table, so they
// come in as one 4-float load per sample and are transposed into four vectors of eight samples (y−1, y0,
// y1, y2), on which the scalar arithmetic runs lane by lane.
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
    const __m256i bits =
        _mm256_and_si256(_mm256_load_si256(reinterpret_cast<const __m256i*>(phases)), _mm256_set1_epi32(0xFFFFF));
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
    WeightsPlain(t + vectorEnd, n - vectorEnd, segmentTime, span, a + vectorEnd, b + vectorEnd);
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
    ReadTablePlain(table, phase, step, gain, out + vectorEnd, n - vectorEnd);
}

__attribute__((target("avx2"))) void ReadBlendAvx2(const float* from, const float* to, const float* a, const float* b,
                                                   std::uint32_t& phase, std::uint32_t step, float gain, float* out,
                                                   int n) {
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
    ReadBlendPlain(from, to, a + vectorEnd, b + vectorEnd, phase, step, gain, out + vectorEnd, n - vectorEnd);
}

bool CpuHasAvx2() {
    return __builtin_cpu_supports("avx2");
}
#else
bool CpuHasAvx2() {
    return false;
}
#endif

} // namespace

TWavetableReader::TWavetableReader() {
    SetVector(true);
}

void TWavetableReader::SetVector(bool on) {
    vector_ = on && CpuHasAvx2();
}

void TWavetableReader::Read(const float* table, std::uint32_t& phase, std::uint32_t step, float gain, float* out,
                            int n) const {
#ifdef QUILLON_HAVE_AVX2_READER
    if (vector_) {
        ReadTableAvx2(table, phase, step, gain, out, n);
        return;
    }
#endif
    ReadTablePlain(table, phase, step, gain, out, n);
}

void TWavetableReader::ReadBlend(const float* from, const float* to, const float* a, const float* b,
                                 std::uint32_t& phase, std::uint32_t step, float gain, float* out, int n) const {
#ifdef QUILLON_HAVE_AVX2_READER
    if (vector_) {
        ReadBlendAvx2(from, to, a, b, phase, step, gain, out, n);
        return;
    }
#endif
    ReadBlendPlain(from, to, a, b, phase, step, gain, out, n);
}

void TWavetableReader::Weights(const float* t, int n, float segmentTime, float span, float* a, float* b) const {
#ifdef QUILLON_HAVE_AVX2_READER
    if (vector_) {
        WeightsAvx2(t, n, segmentTime, span, a, b);
        return;
    }
#endif
    WeightsPlain(t, n, segmentTime, span, a, b);
}

} // namespace quillon
