#include "dsp/SplitRealTransform.h"

#include <algorithm>

#include "dsp/FftwPlanner.h"

namespace {

float* allocateZeroed(int count)
{
    float* p = fftwf_alloc_real(static_cast<size_t>(count));
    std::fill(p, p + count, 0.0f);
    return p;
}

}  // namespace

SplitRealTransform::SplitRealTransform(int size, bool simd)
    : size_(size), time_(allocateZeroed(size)), halfComplex_(allocateZeroed(size)), result_(allocateZeroed(size))
{
    FftwPlannerSession planner(FftwPlannerSession::kJoining);
    // The spectrum is rebuilt for every inverse, so the inverse may overwrite it.
    if (simd) {
        complex_ = fftwf_alloc_complex(static_cast<size_t>(size / 2 + 1));
        forward_ = fftwf_plan_dft_r2c_1d(size, time_, complex_, FFTW_ESTIMATE);
        inverse_ = fftwf_plan_dft_c2r_1d(size, complex_, result_, FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
    } else {
        const unsigned flags = FFTW_ESTIMATE | FFTW_NO_SIMD;
        forward_ = fftwf_plan_r2r_1d(size, time_, halfComplex_, FFTW_R2HC, flags);
        inverse_ = fftwf_plan_r2r_1d(size, halfComplex_, result_, FFTW_HC2R, flags | FFTW_DESTROY_INPUT);
    }
}

SplitRealTransform::~SplitRealTransform()
{
    {
        FftwPlannerSession planner(FftwPlannerSession::kLeaving);
        fftwf_destroy_plan(forward_);
        fftwf_destroy_plan(inverse_);
    }
    fftwf_free(time_);
    fftwf_free(halfComplex_);
    fftwf_free(complex_);
    fftwf_free(result_);
}

void SplitRealTransform::forward(float* re, float* im)
{
    fftwf_execute(forward_);
    const int half = size_ / 2;
    if (complex_) {
        for (int k = 0; k <= half; ++k) {
            re[k] = complex_[k][0];
            im[k] = complex_[k][1];
        }
        return;
    }
    re[0] = halfComplex_[0];
    im[0] = 0.0f;
    for (int k = 1; k < half; ++k) {
        re[k] = halfComplex_[k];
        im[k] = halfComplex_[size_ - k];
    }
    re[half] = halfComplex_[half];
    im[half] = 0.0f;
}

void SplitRealTransform::inverse(const float* re, const float* im)
{
    const int half = size_ / 2;
    if (complex_) {
        for (int k = 0; k <= half; ++k) {
            complex_[k][0] = re[k];
            complex_[k][1] = im[k];
        }
        complex_[0][1] = 0.0f;
        complex_[half][1] = 0.0f;
        fftwf_execute(inverse_);
        return;
    }
    halfComplex_[0] = re[0];
    for (int k = 1; k < half; ++k) {
        halfComplex_[k] = re[k];
        halfComplex_[size_ - k] = im[k];
    }
    halfComplex_[half] = re[half];
    fftwf_execute(inverse_);
}
