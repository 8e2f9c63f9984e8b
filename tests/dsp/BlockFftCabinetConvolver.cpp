#include "tests/dsp/BlockFftCabinetConvolver.h"

#include "dsp/FftwPlanner.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

namespace {

// Scalar code only: SIMD codelets round differently from one processor and build to the
// next, and the tone stack's low bass section magnifies such differences, so the same
// program would sound measurably different on two machines.
constexpr unsigned kPlanFlags = FFTW_ESTIMATE | FFTW_NO_SIMD;

float* allocateZeroed(int count)
{
    float* p = fftwf_alloc_real(static_cast<size_t>(count));
    std::fill(p, p + count, 0.0f);
    return p;
}

}  // namespace

struct BlockFftCabinetConvolver::Plans {
    fftwf_plan forward[kCabinetResponseCount] = {};
    fftwf_plan inverse[kCabinetResponseCount] = {};
};

void BlockFftCabinetConvolver::FftwFree::operator()(float* p) const
{
    fftwf_free(p);
}

BlockFftCabinetConvolver::BlockFftCabinetConvolver(float /*sampleRate*/)
    : input_(allocateZeroed(kBufferSize)),
      work_(allocateZeroed(kBufferSize)),
      result_(allocateZeroed(kBufferSize)),
      overlap_(allocateZeroed(kOverlapSize)),
      output_(allocateZeroed(kBlockSize)),
      spectra_(kCabinetResponseCount),
      plans_(std::make_unique<Plans>()),
      sizes_(kCabinetResponseCount)
{
    std::vector<float> scratch(kBufferSize, 0.0f);
    FftwPlannerSession planner(FftwPlannerSession::kJoining);
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        const int n = CabinetConvolver::fftSizeFor(r);
        sizes_[r] = n;
        plans_->forward[r] =
            fftwf_plan_r2r_1d(n, input_.get(), work_.get(), FFTW_R2HC, kPlanFlags);
        // The spectrum is rebuilt for every block, so the inverse may overwrite it; asked
        // to preserve it, FFTW allocates a scratch copy on every run from 256 points up.
        plans_->inverse[r] = fftwf_plan_r2r_1d(n, work_.get(), result_.get(), FFTW_HC2R,
                                               kPlanFlags | FFTW_DESTROY_INPUT);

        // The response zero-padded to N, transformed once into its half-complex spectrum.
        const CabinetResponse& h = kCabinetResponses[r];
        std::fill(scratch.begin(), scratch.end(), 0.0f);
        std::copy(h.taps, h.taps + h.length, scratch.begin());
        spectra_[r].assign(static_cast<size_t>(n), 0.0f);
        fftwf_plan once =
            fftwf_plan_r2r_1d(n, scratch.data(), spectra_[r].data(), FFTW_R2HC, kPlanFlags);
        fftwf_execute(once);
        fftwf_destroy_plan(once);
    }
    current_ = CabinetConvolver::responseFor(0);
    gain_ = CabinetConvolver::gainFor(0);
}

BlockFftCabinetConvolver::~BlockFftCabinetConvolver()
{
    FftwPlannerSession planner(FftwPlannerSession::kLeaving);
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        fftwf_destroy_plan(plans_->forward[r]);
        fftwf_destroy_plan(plans_->inverse[r]);
    }
}

void BlockFftCabinetConvolver::select(int number)
{
    requested_ = number;
}

void BlockFftCabinetConvolver::applySelection(int number)
{
    applied_ = number;
    const int next = CabinetConvolver::responseFor(number);
    const float nextGain = CabinetConvolver::gainFor(number);
    if (next == current_ && nextGain == gain_)
        return;

    // Output still pending from the old response was computed for the old gain: rescale
    // it so that it keeps its level when played at the new one. That is the output block,
    // the first 16 samples of the last result (not yet moved when a transform has run
    // since the last refill; rescaling them otherwise is harmless, the next transform
    // overwrites them) and the overlap entries the old size wrote.
    const float ratio = gain_ / nextGain;
    const int oldTail = sizes_[current_] - kBlockSize;
    const int newTail = sizes_[next] - kBlockSize;
    for (int j = 0; j < kBlockSize; ++j) {
        output_[j] *= ratio;
        result_[j] *= ratio;
    }
    for (int j = 0; j < oldTail; ++j)
        overlap_[j] *= ratio;
    // Entries beyond the old size were last written by some earlier, larger response:
    // stale audio that must not come back.
    for (int j = oldTail; j < newTail; ++j)
        overlap_[j] = 0.0f;

    current_ = next;
    gain_ = nextGain;
}

float BlockFftCabinetConvolver::process(float x)
{
    const int requested = requested_;
    if (requested != applied_)
        applySelection(requested);

    input_[inputPos_++] = x + kAntiDenormal;
    if (inputPos_ == kBlockSize) {
        const int n = sizes_[current_];
        const float* h = spectra_[current_].data();
        float* X = work_.get();
        float* y = result_.get();
        float* overlap = overlap_.get();

        fftwf_execute(plans_->forward[current_]);

        // Product of two half-complex spectra: bins 1..N/2-1 hold (re, im) at (k, N-k),
        // bins 0 and N/2 are real.
        for (int k = 1; k < n / 2; ++k) {
            const float xr = X[k];
            const float xi = X[n - k];
            const float hr = h[k];
            const float hi = h[n - k];
            X[k] = xr * hr - hi * xi;
            X[n - k] = xr * hi + hr * xi;
        }
        X[0] = X[0] * h[0];
        X[n / 2] = X[n / 2] * h[n / 2];

        fftwf_execute(plans_->inverse[current_]);  // y, scaled by N

        // Overlap-add, then keep everything past the first block for the next one.
        for (int j = 0; j <= n - 17; ++j)
            y[j] = overlap[j] + kAntiDenormal + y[j];
        for (int j = kBlockSize; j < n; ++j)
            overlap[j - kBlockSize] = y[j] + kAntiDenormal;

        inputPos_ = 0;
        outputPos_ = 0;
    }

    // The output block is refilled on the sample before each transform and read from the
    // transform's sample on: a block comes out 31 samples after its first input sample.
    const float o = output_[outputPos_];
    if (outputPos_++ == kBlockSize - 1) {
        for (int j = 0; j < kBlockSize; ++j)
            output_[j] = result_[j] + kAntiDenormal;
        outputPos_ = 0;
    }
    return (o * gain_ + kAntiDenormal) + kAntiDenormal;
}
