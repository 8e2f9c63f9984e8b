#pragma once
// Sums of products of spectra held as separate real and imaginary arrays, four bins at a
// time. The lanes are worked on elementwise: each rounds exactly as scalar code would, so
// the sums come out the same on every build whether the compiler maps them to SSE, to
// wider registers or to scalar instructions.

#include <cstring>

namespace spectrum {

constexpr int kLanes = 4;
typedef float Lanes __attribute__((vector_size(kLanes * sizeof(float))));

inline Lanes load(const float* p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(float* p, Lanes v)
{
    std::memcpy(p, &v, sizeof v);
}

// sum += x * h (complex, bin by bin) over bins [from, to), both multiples of four.
inline void accumulateProduct(float* sumRe, float* sumIm, const float* xRe, const float* xIm, const float* hRe,
                              const float* hIm, int from, int to)
{
    for (int k = from; k < to; k += kLanes) {
        const Lanes xr = load(xRe + k), xi = load(xIm + k);
        const Lanes hr = load(hRe + k), hi = load(hIm + k);
        store(sumRe + k, load(sumRe + k) + (xr * hr - xi * hi));
        store(sumIm + k, load(sumIm + k) + (xr * hi + xi * hr));
    }
}

}  // namespace spectrum
