#include "engine/TFFTReal.h"

#include <cassert>
#include <cmath>
#include <vector>

namespace quillon {

// A real transform of N points runs as a complex transform of M = N/2 points on z[m] = x[2m] + i·x[2m+1],
// plus a twiddle pass that separates (forward) or merges (inverse) the spectra of the even and odd samples.
// In terms of the usual spectrum X[k] = Σ x[n]·e^(−2πikn/N), our layout holds F[k] = Re X[k] and
// F[N/2+k] = −Im X[k]; the inverse is the unnormalised inverse DFT of the Hermitian X.
//
// The complex transform is a Stockham autosort FFT (radix 4, one radix-2 pass when log2 M is odd) on split
// real/imaginary arrays, so no bit-reversal permutation is needed. The inverse uses the forward kernel with the
// real and imaginary arrays swapped (swapping the parts of z conjugates the kernel's exponent).
struct TFFTReal::Impl {
    int m = 0; // complex length N/2

    // Work arrays: two pairs of split real/imaginary buffers of M floats, used in ping-pong.
    std::vector<float> aRe, aIm, bRe, bIm;

    // For each radix-4 pass of length n (n = M, M/4, …, ≥ 4): six arrays of n/4 floats, the real and imaginary
    // parts of W^p, W^2p, W^3p with W = e^(−2πi/n), p = 0 … n/4 − 1. Passes follow one another.
    std::vector<float> stageTwiddles;
    // cos(2πk/N) and sin(2πk/N) for k = 0 … M/2: the twiddles that split or join the even/odd spectra.
    std::vector<float> splitCos, splitSin;

    explicit Impl(int complexLength);
    // Forward complex FFT (kernel e^(−2πi·km/M)) of the split array in (re, im) = (aRe, aIm) or swapped;
    // returns the buffers that hold the result.
    void ComplexForward(float* inRe, float* inIm, float*& outRe, float*& outIm);
};

namespace {

constexpr double kPi = 3.14159265358979323846;

// One radix-4 Stockham pass: n is the length of the sub-transforms at this pass, s the number of them
// (n·s = M). Reads x, writes y.
void Radix4Pass(int n, int s, const float* xr, const float* xi, float* yr, float* yi, const float* tw) {
    const int n1 = n / 4;
    const float* w1r = tw;
    const float* w1i = tw + n1;
    const float* w2r = tw + 2 * n1;
    const float* w2i = tw + 3 * n1;
    const float* w3r = tw + 4 * n1;
    const float* w3i = tw + 5 * n1;
    const int quarter = s * n1;
    for (int p = 0; p < n1; ++p) {
        for (int q = 0; q < s; ++q) {
            const int i0 = q + s * p;
            const float ar = xr[i0], ai = xi[i0];
            const float br = xr[i0 + quarter], bi = xi[i0 + quarter];
            const float cr = xr[i0 + 2 * quarter], ci = xi[i0 + 2 * quarter];
            const float dr = xr[i0 + 3 * quarter], di = xi[i0 + 3 * quarter];
            const float apcR = ar + cr, apcI = ai + ci;
            const float amcR = ar - cr, amcI = ai - ci;
            const float bpdR = br + dr, bpdI = bi + di;
            const float bmdR = br - dr, bmdI = bi - di;
            // a − c ∓ i·(b − d)
            const float u1r = amcR + bmdI, u1i = amcI - bmdR;
            const float u2r = apcR - bpdR, u2i = apcI - bpdI;
            const float u3r = amcR - bmdI, u3i = amcI + bmdR;
            const int o = q + s * 4 * p;
            yr[o] = apcR + bpdR;
            yi[o] = apcI + bpdI;
            yr[o + s] = u1r * w1r[p] - u1i * w1i[p];
            yi[o + s] = u1r * w1i[p] + u1i * w1r[p];
            yr[o + 2 * s] = u2r * w2r[p] - u2i * w2i[p];
            yi[o + 2 * s] = u2r * w2i[p] + u2i * w2r[p];
            yr[o + 3 * s] = u3r * w3r[p] - u3i * w3i[p];
            yi[o + 3 * s] = u3r * w3i[p] + u3i * w3r[p];
        }
    }
}

// The closing radix-2 pass (sub-transforms of length 2, s = M/2 of them); no twiddles.
void Radix2Pass(int s, const float* xr, const float* xi, float* yr, float* yi) {
    for (int q = 0; q < s; ++q) {
        const float ar = xr[q], ai = xi[q], br = xr[q + s], bi = xi[q + s];
        yr[q] = ar + br;
        yi[q] = ai + bi;
        yr[q + s] = ar - br;
        yi[q + s] = ai - bi;
    }
}

} // namespace

TFFTReal::Impl::Impl(int complexLength) : m(complexLength) {
    aRe.assign(m, 0.0f);
    aIm.assign(m, 0.0f);
    bRe.assign(m, 0.0f);
    bIm.assign(m, 0.0f);
    for (int n = m; n >= 4; n /= 4) {
        const int n1 = n / 4;
        const std::size_t base = stageTwiddles.size();
        stageTwiddles.resize(base + 6 * static_cast<std::size_t>(n1));
        float* tw = stageTwiddles.data() + base;
        for (int p = 0; p < n1; ++p) {
            for (int j = 1; j <= 3; ++j) {
                const double angle = -2.0 * kPi * static_cast<double>(j * p) / n;
                tw[(2 * j - 2) * n1 + p] = static_cast<float>(std::cos(angle));
                tw[(2 * j - 1) * n1 + p] = static_cast<float>(std::sin(angle));
            }
        }
    }
    splitCos.resize(m / 2 + 1);
    splitSin.resize(m / 2 + 1);
    for (int k = 0; k <= m / 2; ++k) {
        const double angle = kPi * static_cast<double>(k) / m; // 2πk/N
        splitCos[k] = static_cast<float>(std::cos(angle));
        splitSin[k] = static_cast<float>(std::sin(angle));
    }
}

void TFFTReal::Impl::ComplexForward(float* inRe, float* inIm, float*& outRe, float*& outIm) {
    float* xr = inRe;
    float* xi = inIm;
    // The other buffer pair of the ping-pong.
    float* yr = (inRe == aRe.data() || inRe == aIm.data()) ? bRe.data() : aRe.data();
    float* yi = (yr == bRe.data()) ? bIm.data() : aIm.data();
    const float* tw = stageTwiddles.data();
    int n = m;
    int s = 1;
    for (; n >= 4; n /= 4, s *= 4) {
        Radix4Pass(n, s, xr, xi, yr, yi, tw);
        tw += 6 * (n / 4);
        std::swap(xr, yr);
        std::swap(xi, yi);
    }
    if (n == 2) {
        Radix2Pass(s, xr, xi, yr, yi);
        std::swap(xr, yr);
        std::swap(xi, yi);
    }
    outRe = xr;
    outIm = xi;
}

TFFTReal::TFFTReal(int length) : length_(length), bits_(0) {
    assert(length >= 1 && (length & (length - 1)) == 0);
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
    for (int i = 0; i < m; ++i) {
        d.aRe[i] = x[2 * i];
        d.aIm[i] = x[2 * i + 1];
    }
    float* zr;
    float* zi;
    d.ComplexForward(d.aRe.data(), d.aIm.data(), zr, zi);
    // X[k] = ½·((Z[k] + conj Z[M−k]) − i·W^k·(Z[k] − conj Z[M−k])), W = e^(−2πi/N); the pair M − k follows
    // from the same sums and differences.
    f[0] = zr[0] + zi[0];
    f[m] = zr[0] - zi[0];
    for (int k = 1; k <= m / 2; ++k) {
        const float sr = zr[k] + zr[m - k], si = zi[k] - zi[m - k];
        const float dr = zr[k] - zr[m - k], di = zi[k] + zi[m - k];
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
    // swapped (real part in aIm) so that the forward kernel computes the inverse.
    float* zr = d.aIm.data();
    float* zi = d.aRe.data();
    zr[0] = f[0] + f[m];
    zi[0] = f[0] - f[m];
    for (int k = 1; k <= m / 2; ++k) {
        // a = X[k], b = conj X[M−k]
        const float ar = f[k], ai = -f[m + k];
        const float br = f[m - k], bi = f[2 * m - k];
        const float sr = ar + br, si = ai + bi, dr = ar - br, di = ai - bi;
        const float c = d.splitCos[k], sn = d.splitSin[k];
        const float cdr = c * dr, cdi = c * di, sdr = sn * dr, sdi = sn * di;
        zr[k] = sr - cdi - sdr;
        zi[k] = si + cdr - sdi;
        zr[m - k] = sr + cdi + sdr;
        zi[m - k] = -si + cdr - sdi;
    }
    float* outRe;
    float* outIm;
    d.ComplexForward(d.aRe.data(), d.aIm.data(), outRe, outIm);
    // outIm holds Re z, outRe holds Im z.
    for (int i = 0; i < m; ++i) {
        x[2 * i] = outIm[i];
        x[2 * i + 1] = outRe[i];
    }
}

void TFFTReal::ScaleByInverseLength(float* a) const {
    const float scale = 1.0f / static_cast<float>(length_);
    for (int i = 0; i < length_; ++i)
        a[i] *= scale;
}

} // namespace quillon
