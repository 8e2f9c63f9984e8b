#pragma once
// A real FFT pair of one size with its working buffers. Spectra are kept as separate real
// and imaginary arrays, bins 0..N/2 padded with zeros to a whole number of lanes, so that
// products of spectra run four bins at a time (SpectrumProducts.h). Plans are made and
// destroyed through the shared planner session: construction and destruction plan, the
// transforms themselves neither allocate nor lock.

#include <fftw3.h>

class SplitRealTransform {
public:
    static constexpr int kLanes = 4;
    static int paddedBinsFor(int size) { return (size / 2 + 1 + kLanes - 1) / kLanes * kLanes; }

    // `simd`: whether FFTW may use SIMD codelets. They round differently from one processor
    // and build to the next, so paths whose sound must be the same everywhere go without
    // (and use FFTW's half-complex transforms); the others use its real-to-complex pair,
    // which SIMD speeds up.
    SplitRealTransform(int size, bool simd);
    ~SplitRealTransform();
    SplitRealTransform(const SplitRealTransform&) = delete;
    SplitRealTransform& operator=(const SplitRealTransform&) = delete;

    int size() const { return size_; }
    int paddedBins() const { return paddedBinsFor(size_); }

    // The forward transform's input: `size` samples.
    float* time() { return time_; }
    // `time()` into the spectrum (re, im), paddedBins() entries each; the padding is left alone.
    void forward(float* re, float* im);
    // The spectrum back into `result()`: `size` samples, scaled by `size`.
    void inverse(const float* re, const float* im);
    const float* result() const { return result_; }

private:
    int size_;
    float* time_;
    float* halfComplex_;  // FFTW's layout: real parts at 0..N/2, imaginary part of bin k at N - k
    fftwf_complex* complex_ = nullptr;  // bins 0..N/2 as pairs, for the SIMD transforms
    float* result_;
    fftwf_plan forward_ = nullptr;
    fftwf_plan inverse_ = nullptr;
};
