#include "engine/TFFTReal.h"

#include "engine/Simd.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <utility>

// How it works
//
// A real transform of N points runs as a complex transform of M = N/2 points on z[m] = x[2m] + i·x[2m+1],
// plus a twiddle pass that separates (forward) or joins (inverse) the spectra of the even and odd samples.
// In terms of the usual spectrum X[k] = Σ x[n]·e^(−2πikn/N), the layout holds F[k] = Re X[k] and
// F[N/2+k] = −Im X[k]; the inverse is the unnormalised inverse DFT of the Hermitian spectrum X.
//
// The complex transform is a Stockham autosort FFT (decimation in frequency) on split real/imaginary arrays,
// so no bit-reversal permutation is needed. A radix-R pass with sub-transform length n and stride s
// (n·s = M) reads x[q + s·(p + j·n/R)] and writes y[q + s·(R·p + j)] for j < R, q < s, p < n/R, the outputs
// turned by the twiddles W_n^(jp). The first pass is radix 4 (s = 1), the middle ones radix 8, the last one
// (s = M/R, no twiddles) radix 2, 4 or 8: 2048 = 4·8·8·8. The inverse runs the same forward kernel on values whose real
// and imaginary parts are swapped, which turns its e^(−…) into e^(+…); the joining pass stores them so, and the last
// pass writes the output samples directly.
//
// Four lanes work at once: over q when s ≥ 4, over p in the first pass (s = 1), whose four outputs per
// lane are then transposed into place. The four-lane vector and its operations come from engine/Simd.h.
// Lengths N < 32 run a plain scalar version with radix-4 and radix-2 passes.
//
// All tables (twiddles, work buffers) are made by the constructor; the transforms allocate nothing.

namespace quillon {

namespace {

using simd::EvenLanes;
using simd::InterleaveHigh;
using simd::InterleaveLow;
using simd::kLanes;
using simd::Load;
using simd::OddLanes;
using simd::Reverse;
using simd::Splat;
using simd::Store;
using simd::Transpose;
using Vec = simd::Vec4;

// A complex value held as real and imaginary parts of four lanes (or of one, for T = float).
template <typename T> struct Cx { T re, im; };
template <typename T> inline Cx<T> operator+(Cx<T> a, Cx<T> b) {
    return {a.re + b.re, a.im + b.im};
}
template <typename T> inline Cx<T> operator-(Cx<T> a, Cx<T> b) {
    return {a.re - b.re, a.im - b.im};
}
template <typename T> inline Cx<T> Mul(Cx<T> a, T wr, T wi) {
    return {a.re * wr - a.im * wi, a.re * wi + a.im * wr};
}

// In place, (a, b, c, d) = x[p + j·n/4] become the outputs 0 … 3 of the 4-point DFT with kernel e^(−2πi·jk/4).
template <typename T> QUILLON_SIMD_INLINE void Butterfly4(Cx<T>& a, Cx<T>& b, Cx<T>& c, Cx<T>& d) {
    const Cx<T> apc = a + c, amc = a - c, bpd = b + d, bmd = b - d;
    a = apc + bpd;
    b = {amc.re + bmd.im, amc.im - bmd.re}; // a − c − i·(b − d)
    c = apc - bpd;
    d = {amc.re - bmd.im, amc.im + bmd.re}; // a − c + i·(b − d)
}

// The same for eight points: a radix-2 step (x_j ± x_(j+4), the differences turned by e^(−iπj/4)), then
// two 4-point DFTs for the even and the odd outputs.
QUILLON_SIMD_INLINE void Butterfly8(Cx<Vec>& x0, Cx<Vec>& x1, Cx<Vec>& x2, Cx<Vec>& x3, Cx<Vec>& x4, Cx<Vec>& x5,
                                    Cx<Vec>& x6, Cx<Vec>& x7) {
    const Vec h = Splat(0.70710678118654752f); // √2/2
    Cx<Vec> a0 = x0 + x4, a1 = x1 + x5, a2 = x2 + x6, a3 = x3 + x7;
    const Cx<Vec> d1 = x1 - x5, d2 = x2 - x6, d3 = x3 - x7;
    Cx<Vec> b0 = x0 - x4;
    Cx<Vec> b1{(d1.re + d1.im) * h, (d1.im - d1.re) * h};  // · (1 − i)/√2
    Cx<Vec> b2{d2.im, -d2.re};                             // · (−i)
    Cx<Vec> b3{(d3.im - d3.re) * h, -(d3.re + d3.im) * h}; // · (−1 − i)/√2
    Butterfly4(a0, a1, a2, a3);
    Butterfly4(b0, b1, b2, b3);
    x0 = a0;
    x1 = b0;
    x2 = a1;
    x3 = b1;
    x4 = a2;
    x5 = b2;
    x6 = a3;
    x7 = b3;
}

// The index products from here to the end of InverseTransform stay in int: each is an offset into buffers of
// at most a few times 2^19 floats (the constructor limits the length to 2^20), far from overflowing int.
// NOLINTBEGIN(bugprone-implicit-widening-of-multiplication-result)

// Split complex buffers: real parts and imaginary parts of M values.
struct Split {
    float* re;
    float* im;
};

inline Cx<Vec> LoadCx(Split x, int i) {
    return {Load(x.re + i), Load(x.im + i)};
}
inline void StoreCx(Split y, int i, Cx<Vec> v) {
    Store(y.re + i, v.re);
    Store(y.im + i, v.im);
}
// Values i … i+3 of interleaved (re, im) pairs.
inline Cx<Vec> LoadInterleaved(const float* z, int i) {
    const Vec lo = Load(z + 2 * i), hi = Load(z + 2 * i + kLanes);
    return {EvenLanes(lo, hi), OddLanes(lo, hi)};
}

// ---- Scalar passes (N < 32) ----

void ScalarRadix4Pass(int n, int s, Split x, Split y, const float* tw) {
    const int n1 = n / 4, quarter = s * n1;
    for (int p = 0; p < n1; ++p) {
        const float* w = tw + 6 * p;
        for (int q = 0; q < s; ++q) {
            const int i = q + s * p;
            Cx<float> u[4];
            for (int j = 0; j < 4; ++j)
                u[j] = {x.re[i + j * quarter], x.im[i + j * quarter]};
            Butterfly4(u[0], u[1], u[2], u[3]);
            for (int j = 1; j < 4; ++j)
                u[j] = Mul(u[j], w[2 * j - 2], w[2 * j - 1]);
            const int o = q + 4 * s * p;
            for (int j = 0; j < 4; ++j) {
                y.re[o + j * s] = u[j].re;
                y.im[o + j * s] = u[j].im;
            }
        }
    }
}

void ScalarRadix2Pass(int s, Split x, Split y) {
    for (int q = 0; q < s; ++q) {
        const Cx<float> a{x.re[q], x.im[q]}, b{x.re[q + s], x.im[q + s]};
        const Cx<float> sum = a + b, diff = a - b;
        y.re[q] = sum.re;
        y.im[q] = sum.im;
        y.re[q + s] = diff.re;
        y.im[q + s] = diff.im;
    }
}

// ---- Vector passes (N ≥ 32) ----

// First pass: n = M, s = 1, four consecutive p per step; the four outputs of each lane are transposed into
// place. Reads the split buffer x, or interleaved values when z is not null. tw holds W^p, W^2p, W^3p
// (W = e^(−2πi/M)) as six arrays of M/4 floats: re and im of each power.
void FirstRadix4Pass(int n, Split x, const float* z, Split y, const float* tw) {
    const int n1 = n / 4;
    for (int p = 0; p < n1; p += kLanes) {
        Cx<Vec> u0, u1, u2, u3;
        if (z) {
            u0 = LoadInterleaved(z, p);
            u1 = LoadInterleaved(z, p + n1);
            u2 = LoadInterleaved(z, p + 2 * n1);
            u3 = LoadInterleaved(z, p + 3 * n1);
        } else {
            u0 = LoadCx(x, p);
            u1 = LoadCx(x, p + n1);
            u2 = LoadCx(x, p + 2 * n1);
            u3 = LoadCx(x, p + 3 * n1);
        }
        Butterfly4(u0, u1, u2, u3);
        u1 = Mul(u1, Load(tw + p), Load(tw + n1 + p));
        u2 = Mul(u2, Load(tw + 2 * n1 + p), Load(tw + 3 * n1 + p));
        u3 = Mul(u3, Load(tw + 4 * n1 + p), Load(tw + 5 * n1 + p));
        // Lane l of u_j belongs at 4·(p + l) + j.
        Transpose(u0.re, u1.re, u2.re, u3.re);
        Transpose(u0.im, u1.im, u2.im, u3.im);
        StoreCx(y, 4 * p, u0);
        StoreCx(y, 4 * p + kLanes, u1);
        StoreCx(y, 4 * p + 2 * kLanes, u2);
        StoreCx(y, 4 * p + 3 * kLanes, u3);
    }
}

// A radix-8 pass with s ≥ 4, four consecutive q per step. tw holds, for every p, W^p … W^7p (W = e^(−2πi/n))
// spread over the lanes: fourteen vectors (re, im of each power).
void MiddleRadix8Pass(int n, int s, Split x, Split y, const float* tw) {
    const int n1 = n / 8, stride = s * n1;
    for (int p = 0; p < n1; ++p) {
        const float* w = tw + 14 * kLanes * p;
        const Split xp{x.re + s * p, x.im + s * p};
        const Split yp{y.re + 8 * s * p, y.im + 8 * s * p};
        for (int q = 0; q < s; q += kLanes) {
            Cx<Vec> u0 = LoadCx(xp, q), u1 = LoadCx(xp, q + stride), u2 = LoadCx(xp, q + 2 * stride),
                    u3 = LoadCx(xp, q + 3 * stride), u4 = LoadCx(xp, q + 4 * stride), u5 = LoadCx(xp, q + 5 * stride),
                    u6 = LoadCx(xp, q + 6 * stride), u7 = LoadCx(xp, q + 7 * stride);
            Butterfly8(u0, u1, u2, u3, u4, u5, u6, u7);
            StoreCx(yp, q, u0);
            StoreCx(yp, q + s, Mul(u1, Load(w), Load(w + kLanes)));
            StoreCx(yp, q + 2 * s, Mul(u2, Load(w + 2 * kLanes), Load(w + 3 * kLanes)));
            StoreCx(yp, q + 3 * s, Mul(u3, Load(w + 4 * kLanes), Load(w + 5 * kLanes)));
            StoreCx(yp, q + 4 * s, Mul(u4, Load(w + 6 * kLanes), Load(w + 7 * kLanes)));
            StoreCx(yp, q + 5 * s, Mul(u5, Load(w + 8 * kLanes), Load(w + 9 * kLanes)));
            StoreCx(yp, q + 6 * s, Mul(u6, Load(w + 10 * kLanes), Load(w + 11 * kLanes)));
            StoreCx(yp, q + 7 * s, Mul(u7, Load(w + 12 * kLanes), Load(w + 13 * kLanes)));
        }
    }
}

// Where the last pass puts its results: a split buffer, or the inverse's output samples. For the inverse the
// parts are swapped, so sample 2m is the "imaginary" part of value m and sample 2m + 1 its "real" part.
struct LastPassTarget {
    Split split;
    float* samples; // not null: write the samples
};

inline void StoreLast(const LastPassTarget& t, int i, Cx<Vec> v) {
    if (t.samples) {
        Store(t.samples + 2 * i, InterleaveLow(v.im, v.re));
        Store(t.samples + 2 * i + kLanes, InterleaveHigh(v.im, v.re));
    } else {
        StoreCx(t.split, i, v);
    }
}

// The last pass has a single p, so its twiddles are all 1; s = M/R.
void LastRadix2Pass(int s, Split x, const LastPassTarget& t) {
    for (int q = 0; q < s; q += kLanes) {
        const Cx<Vec> a = LoadCx(x, q), b = LoadCx(x, q + s);
        StoreLast(t, q, a + b);
        StoreLast(t, q + s, a - b);
    }
}

void LastRadix4Pass(int s, Split x, const LastPassTarget& t) {
    for (int q = 0; q < s; q += kLanes) {
        Cx<Vec> u0 = LoadCx(x, q), u1 = LoadCx(x, q + s), u2 = LoadCx(x, q + 2 * s), u3 = LoadCx(x, q + 3 * s);
        Butterfly4(u0, u1, u2, u3);
        StoreLast(t, q, u0);
        StoreLast(t, q + s, u1);
        StoreLast(t, q + 2 * s, u2);
        StoreLast(t, q + 3 * s, u3);
    }
}

void LastRadix8Pass(int s, Split x, const LastPassTarget& t) {
    for (int q = 0; q < s; q += kLanes) {
        Cx<Vec> u0 = LoadCx(x, q), u1 = LoadCx(x, q + s), u2 = LoadCx(x, q + 2 * s), u3 = LoadCx(x, q + 3 * s),
                u4 = LoadCx(x, q + 4 * s), u5 = LoadCx(x, q + 5 * s), u6 = LoadCx(x, q + 6 * s),
                u7 = LoadCx(x, q + 7 * s);
        Butterfly8(u0, u1, u2, u3, u4, u5, u6, u7);
        StoreLast(t, q, u0);
        StoreLast(t, q + s, u1);
        StoreLast(t, q + 2 * s, u2);
        StoreLast(t, q + 3 * s, u3);
        StoreLast(t, q + 4 * s, u4);
        StoreLast(t, q + 5 * s, u5);
        StoreLast(t, q + 6 * s, u6);
        StoreLast(t, q + 7 * s, u7);
    }
}

constexpr double kPi = 3.14159265358979323846;

// Work arrays aligned to a cache line.
struct AlignedDelete {
    void operator()(float* p) const { ::operator delete[](p, std::align_val_t(64)); }
};
using AlignedFloats = std::unique_ptr<float[], AlignedDelete>;
AlignedFloats MakeFloats(std::size_t n) {
    float* p = static_cast<float*>(::operator new[](n * sizeof(float), std::align_val_t(64)));
    std::fill(p, p + n, 0.0f);
    return AlignedFloats(p);
}

} // namespace

struct TFFTReal::Impl {
    int m = 0;           // complex length N/2
    bool vector = false; // M ≥ 16: the four-lane passes

    // Two pairs of split buffers of M floats for the ping-pong of the passes.
    AlignedFloats buffer;
    Split a{}, b{};

    // Four-lane path: after the first radix-4 pass come radix-8 passes and a last pass of radix 2, 4 or 8,
    // so 2048 points take 4·8·8·8.
    int middlePasses = 0;

    // Twiddles of all passes, one block after the other (layouts: see the pass functions; the scalar radix-4
    // passes take six floats per p).
    AlignedFloats twiddles;
    // cos(2πk/N), sin(2πk/N), k = 0 … M/2 (+ padding): the twiddles that split or join the spectra of the
    // even and the odd samples. Entry M/2 is exactly (0, 1).
    AlignedFloats splitCos, splitSin;

    explicit Impl(int complexLength);

    // Forward complex FFT (kernel e^(−2πi·km/M)) of the M values in buffer a, or of the interleaved (re, im)
    // values z when not null. Returns the buffers that hold the result, or writes it as the inverse's output
    // samples (see LastPassTarget) when samples is not null.
    Split ComplexForward(const float* z, float* samples);
};

TFFTReal::Impl::Impl(int complexLength) : m(complexLength), vector(complexLength >= 16) {
    buffer = MakeFloats(4 * static_cast<std::size_t>(m));
    a = {buffer.get(), buffer.get() + m};
    b = {buffer.get() + 2 * m, buffer.get() + 3 * m};

    // Twiddle W_n^(j·p) = e^(−2πi·jp/n).
    const auto twiddle = [](int jp, int n) {
        const double angle = -2.0 * kPi * static_cast<double>(jp) / n;
        return Cx<float>{static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
    };
    std::size_t count = 0;
    if (!vector) {
        for (int n = m; n >= 4; n /= 4)
            count += 6 * static_cast<std::size_t>(n / 4);
        twiddles = MakeFloats(count);
        float* tw = twiddles.get();
        for (int n = m; n >= 4; tw += 6 * (n / 4), n /= 4) {
            for (int p = 0; p < n / 4; ++p) {
                for (int j = 1; j <= 3; ++j) {
                    const Cx<float> w = twiddle(j * p, n);
                    tw[6 * p + 2 * j - 2] = w.re;
                    tw[6 * p + 2 * j - 1] = w.im;
                }
            }
        }
    } else {
        int r = 0; // log2 of the length left after the first pass
        while ((4 << r) < m)
            ++r;
        middlePasses = (r - 1) / 3; // leaves 1 … 3 for the last pass

        count = 6 * static_cast<std::size_t>(m / 4);
        for (int i = 0, n = m / 4; i < middlePasses; ++i, n /= 8)
            count += 14 * static_cast<std::size_t>(n / 8) * kLanes;
        twiddles = MakeFloats(count);
        float* tw = twiddles.get();
        const int n1 = m / 4;
        for (int p = 0; p < n1; ++p) {
            for (int j = 1; j <= 3; ++j) {
                const Cx<float> w = twiddle(j * p, m);
                tw[(2 * j - 2) * n1 + p] = w.re;
                tw[(2 * j - 1) * n1 + p] = w.im;
            }
        }
        tw += 6 * n1;
        for (int i = 0, n = m / 4; i < middlePasses; ++i, n /= 8) {
            for (int p = 0; p < n / 8; ++p) {
                for (int j = 1; j < 8; ++j) {
                    const Cx<float> w = twiddle(j * p, n);
                    std::fill(tw, tw + kLanes, w.re);
                    std::fill(tw + kLanes, tw + 2 * kLanes, w.im);
                    tw += 2 * kLanes;
                }
            }
        }
    }

    splitCos = MakeFloats(m / 2 + kLanes);
    splitSin = MakeFloats(m / 2 + kLanes);
    for (int k = 0; k <= m / 2; ++k) {
        const double angle = kPi * static_cast<double>(k) / m; // 2πk/N
        splitCos[k] = k == m / 2 ? 0.0f : static_cast<float>(std::cos(angle));
        splitSin[k] = static_cast<float>(std::sin(angle));
    }
}

Split TFFTReal::Impl::ComplexForward(const float* z, float* samples) {
    if (!vector) {
        Split x = a, y = b;
        if (z) {
            for (int i = 0; i < m; ++i) {
                x.re[i] = z[2 * i];
                x.im[i] = z[2 * i + 1];
            }
        }
        const float* tw = twiddles.get();
        int n = m, s = 1;
        for (; n >= 4; n /= 4, s *= 4) {
            ScalarRadix4Pass(n, s, x, y, tw);
            tw += 6 * (n / 4);
            std::swap(x, y);
        }
        if (n == 2) {
            ScalarRadix2Pass(s, x, y);
            std::swap(x, y);
        }
        if (samples) {
            for (int i = 0; i < m; ++i) {
                samples[2 * i] = x.im[i];
                samples[2 * i + 1] = x.re[i];
            }
        }
        return x;
    }

    // The first pass writes into the buffer that does not hold the input; then the passes alternate.
    Split x = z ? b : a;
    Split y = z ? a : b;
    const float* tw = twiddles.get();
    FirstRadix4Pass(m, x, z, y, tw);
    tw += 6 * (m / 4);
    std::swap(x, y);
    int n = m / 4, s = 4;
    for (int i = 0; i < middlePasses; ++i) {
        MiddleRadix8Pass(n, s, x, y, tw);
        tw += 14 * (n / 8) * kLanes;
        std::swap(x, y);
        n /= 8;
        s *= 8;
    }
    const LastPassTarget target{y, samples};
    switch (n) {
    case 8:
        LastRadix8Pass(s, x, target);
        break;
    case 4:
        LastRadix4Pass(s, x, target);
        break;
    default:
        LastRadix2Pass(s, x, target);
        break;
    }
    return y;
}

TFFTReal::TFFTReal(int length) : length_(length), bits_(0) {
    if (length < 1 || length > (1 << 20) || (length & (length - 1)) != 0)
        throw std::invalid_argument("TFFTReal: the length must be a power of two from 1 to 2^20");
    while ((1 << bits_) < length_)
        ++bits_;
    if (bits_ > 2) impl_ = std::make_unique<Impl>(length_ / 2);
}

TFFTReal::~TFFTReal() = default;

void TFFTReal::ForwardTransform(const float* x, float* f) {
    switch (bits_) {
    case 0:
        f[0] = x[0];
        return;
    case 1:
        f[0] = x[0] + x[1];
        f[1] = x[0] - x[1];
        return;
    case 2: {
        const float s02 = x[0] + x[2], s13 = x[1] + x[3];
        f[0] = s02 + s13;
        f[2] = s02 - s13;
        f[1] = x[0] - x[2];
        f[3] = x[1] - x[3];
        return;
    }
    default:
        break;
    }
    Impl& d = *impl_;
    const int m = d.m;
    const Split z = d.ComplexForward(x, nullptr);
    // X[k] = ½·((Z[k] + conj Z[M−k]) − i·W^k·(Z[k] − conj Z[M−k])), W = e^(−2πi/N); the bin M − k follows
    // from the same sums and differences.
    f[0] = z.re[0] + z.im[0];
    f[m] = z.re[0] - z.im[0];
    for (int k = 1; k <= m / 2; ++k) {
        const float sr = z.re[k] + z.re[m - k], si = z.im[k] - z.im[m - k];
        const float dr = z.re[k] - z.re[m - k], di = z.im[k] + z.im[m - k];
        const float c = d.splitCos[k], sn = d.splitSin[k];
        const float cdr = c * dr, cdi = c * di, sdr = sn * dr, sdi = sn * di;
        f[k] = 0.5f * (sr + cdi - sdr);
        f[m + k] = 0.5f * (-si + cdr + sdi);
        f[m - k] = 0.5f * (sr - cdi + sdr);
        f[2 * m - k] = 0.5f * (si + cdr + sdi);
    }
}

void TFFTReal::InverseTransform(const float* f, float* x) {
    switch (bits_) {
    case 0:
        x[0] = f[0];
        return;
    case 1:
        x[0] = f[0] + f[1];
        x[1] = f[0] - f[1];
        return;
    case 2: {
        const float s = f[0] + f[2], t = f[0] - f[2];
        x[0] = s + 2.0f * f[1];
        x[2] = s - 2.0f * f[1];
        x[1] = t + 2.0f * f[3];
        x[3] = t - 2.0f * f[3];
        return;
    }
    default:
        break;
    }
    Impl& d = *impl_;
    const int m = d.m;
    // Z[k] = (X[k] + conj X[M−k]) + i·W^(−k)·(X[k] − conj X[M−k]) with X[k] = F[k] − i·F[M+k]; the inverse
    // complex FFT of Z gives z[m] = x[2m] + i·x[2m+1] without further scaling. Z is stored with its parts
    // swapped (real part in a.im) so that the forward kernel computes the inverse.
    float* zr = d.a.im;
    float* zi = d.a.re;
    zr[0] = f[0] + f[m];
    zi[0] = f[0] - f[m];
    if (d.vector) {
        // Four bins k … k+3 and their mirrors M−k−3 … M−k per step; the last step meets itself at k = M/2,
        // where both formulas give the same value.
        for (int k = 1; k <= m / 2; k += kLanes) {
            const Vec ar = Load(f + k), ai = -Load(f + m + k);
            const Vec br = Reverse(Load(f + m - k - 3)), bi = Reverse(Load(f + 2 * m - k - 3));
            const Vec sr = ar + br, si = ai + bi, dr = ar - br, di = ai - bi;
            const Vec c = Load(d.splitCos.get() + k), sn = Load(d.splitSin.get() + k);
            const Vec cdr = c * dr, cdi = c * di, sdr = sn * dr, sdi = sn * di;
            Store(zr + k, sr - cdi - sdr);
            Store(zi + k, si + cdr - sdi);
            Store(zr + m - k - 3, Reverse(sr + cdi + sdr));
            Store(zi + m - k - 3, Reverse(cdr - si - sdi));
        }
    } else {
        for (int k = 1; k <= m / 2; ++k) {
            const float ar = f[k], ai = -f[m + k];        // X[k]
            const float br = f[m - k], bi = f[2 * m - k]; // conj X[M−k]
            const float sr = ar + br, si = ai + bi, dr = ar - br, di = ai - bi;
            const float c = d.splitCos[k], sn = d.splitSin[k];
            const float cdr = c * dr, cdi = c * di, sdr = sn * dr, sdi = sn * di;
            zr[k] = sr - cdi - sdr;
            zi[k] = si + cdr - sdi;
            zr[m - k] = sr + cdi + sdr;
            zi[m - k] = -si + cdr - sdi;
        }
    }
    d.ComplexForward(nullptr, x);
}
// NOLINTEND(bugprone-implicit-widening-of-multiplication-result)

void TFFTReal::ScaleByInverseLength(float* a) const {
    const float scale = 1.0f / static_cast<float>(length_);
    for (int i = 0; i < length_; ++i)
        a[i] *= scale;
}

} // namespace quillon
