// The vector building blocks of the kernels: a four-lane float vector with its lane operations, the attribute
// that compiles a function for AVX2, and the query whether the processor runs AVX2 code.
//
// Vec4 is a GCC/Clang vector extension (SSE on x86-64, NEON on AArch64, plain code elsewhere); other compilers
// get a four-float struct with the same operations. Arithmetic on it rounds lane by lane exactly as the
// scalar operation does: no operation here fuses a multiply and an add. Everything is inline and allocates
// nothing [any].
#pragma once

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
// Functions marked QUILLON_TARGET_AVX2 may use AVX2 (and no FMA); call them only when HasAvx2() holds.
#define QUILLON_HAVE_AVX2_TARGET 1
#define QUILLON_TARGET_AVX2 __attribute__((target("avx2")))
#endif

namespace quillon::simd {

constexpr int kLanes = 4;

#if defined(__GNUC__) || defined(__clang__)
// Kernels whose values must stay in registers mark their helpers so.
#define QUILLON_SIMD_INLINE inline __attribute__((always_inline))
typedef float Vec4 __attribute__((vector_size(16)));
typedef int Int4 __attribute__((vector_size(16)));

inline Vec4 Splat(float v) {
    return Vec4{v, v, v, v};
}
inline Vec4 Reverse(Vec4 a) {
    return __builtin_shufflevector(a, a, 3, 2, 1, 0);
}
// (a0 b0 a1 b1) and (a2 b2 a3 b3)
inline Vec4 InterleaveLow(Vec4 a, Vec4 b) {
    return __builtin_shufflevector(a, b, 0, 4, 1, 5);
}
inline Vec4 InterleaveHigh(Vec4 a, Vec4 b) {
    return __builtin_shufflevector(a, b, 2, 6, 3, 7);
}
// (a0 a1 b0 b1) and (a2 a3 b2 b3)
inline Vec4 JoinLow(Vec4 a, Vec4 b) {
    return __builtin_shufflevector(a, b, 0, 1, 4, 5);
}
inline Vec4 JoinHigh(Vec4 a, Vec4 b) {
    return __builtin_shufflevector(a, b, 2, 3, 6, 7);
}
// (a0 a2 b0 b2) and (a1 a3 b1 b3)
inline Vec4 EvenLanes(Vec4 a, Vec4 b) {
    return __builtin_shufflevector(a, b, 0, 2, 4, 6);
}
inline Vec4 OddLanes(Vec4 a, Vec4 b) {
    return __builtin_shufflevector(a, b, 1, 3, 5, 7);
}
// |a| lane by lane: the sign bits cleared.
inline Vec4 Abs(Vec4 a) {
    const Int4 mask = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    return reinterpret_cast<Vec4>(reinterpret_cast<Int4>(a) & mask);
}
inline float Lane(Vec4 a, int i) {
    return a[i];
}
#else
#define QUILLON_SIMD_INLINE inline
struct Vec4 {
    float v[4];
    Vec4 operator+(const Vec4& o) const { return {{v[0] + o.v[0], v[1] + o.v[1], v[2] + o.v[2], v[3] + o.v[3]}}; }
    Vec4 operator-(const Vec4& o) const { return {{v[0] - o.v[0], v[1] - o.v[1], v[2] - o.v[2], v[3] - o.v[3]}}; }
    Vec4 operator*(const Vec4& o) const { return {{v[0] * o.v[0], v[1] * o.v[1], v[2] * o.v[2], v[3] * o.v[3]}}; }
    Vec4 operator-() const { return {{-v[0], -v[1], -v[2], -v[3]}}; }
    Vec4& operator+=(const Vec4& o) { return *this = *this + o; }
};
inline Vec4 Splat(float v) {
    return {{v, v, v, v}};
}
inline Vec4 Reverse(Vec4 a) {
    return {{a.v[3], a.v[2], a.v[1], a.v[0]}};
}
inline Vec4 InterleaveLow(Vec4 a, Vec4 b) {
    return {{a.v[0], b.v[0], a.v[1], b.v[1]}};
}
inline Vec4 InterleaveHigh(Vec4 a, Vec4 b) {
    return {{a.v[2], b.v[2], a.v[3], b.v[3]}};
}
inline Vec4 JoinLow(Vec4 a, Vec4 b) {
    return {{a.v[0], a.v[1], b.v[0], b.v[1]}};
}
inline Vec4 JoinHigh(Vec4 a, Vec4 b) {
    return {{a.v[2], a.v[3], b.v[2], b.v[3]}};
}
inline Vec4 EvenLanes(Vec4 a, Vec4 b) {
    return {{a.v[0], a.v[2], b.v[0], b.v[2]}};
}
inline Vec4 OddLanes(Vec4 a, Vec4 b) {
    return {{a.v[1], a.v[3], b.v[1], b.v[3]}};
}
inline Vec4 Abs(Vec4 a) {
    Vec4 r;
    for (int i = 0; i < 4; ++i) {
        unsigned bits;
        std::memcpy(&bits, &a.v[i], sizeof bits);
        bits &= 0x7fffffffu;
        std::memcpy(&r.v[i], &bits, sizeof bits);
    }
    return r;
}
inline float Lane(Vec4 a, int i) {
    return a.v[i];
}
#endif

// Four floats from or to memory of any alignment.
inline Vec4 Load(const float* p) {
    Vec4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(float* p, Vec4 v) {
    std::memcpy(p, &v, sizeof v);
}

// Rows r0 … r3 become columns.
inline void Transpose(Vec4& r0, Vec4& r1, Vec4& r2, Vec4& r3) {
    const Vec4 t0 = InterleaveLow(r0, r1), t1 = InterleaveHigh(r0, r1);
    const Vec4 t2 = InterleaveLow(r2, r3), t3 = InterleaveHigh(r2, r3);
    r0 = JoinLow(t0, t2);
    r1 = JoinHigh(t0, t2);
    r2 = JoinLow(t1, t3);
    r3 = JoinHigh(t1, t3);
}

// Whether this processor runs QUILLON_TARGET_AVX2 code (false where there is none).
inline bool HasAvx2() {
#ifdef QUILLON_HAVE_AVX2_TARGET
    __builtin_cpu_init(); // the query may run before the runtime's own initialisation (static constructors)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

#ifdef QUILLON_HAVE_AVX2_TARGET
// Every AVX2 kernel clears the upper halves of the vector registers before it returns to plain SSE code. The
// compiler does not do it before a tail call into such code, and with dirty upper halves every SSE
// instruction that follows runs several times slower on some processors until something clears them.
QUILLON_TARGET_AVX2 inline void LeaveAvx() {
    _mm256_zeroupper();
}
#endif

} // namespace quillon::simd
