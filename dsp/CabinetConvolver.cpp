#include "dsp/CabinetConvolver.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include <pthread.h>

namespace {

// FFTW's planner keeps global state and is not thread-safe: every plan creation and
// destruction in the process goes through this one lock. Only construction and
// destruction take it, never the audio path.
//
// It is built when the file is loaded, not on first use: the runtime's first-use guard
// works with a mutex of its own, which on Windows is a threads-library object that
// unloading the DLL never frees. There the threads library also allocates this mutex's
// state on its first lock; destroying the mutex at unload frees it (std::mutex's
// destructor does nothing).
class PlannerMutex {
public:
    ~PlannerMutex() { pthread_mutex_destroy(mutex_.native_handle()); }
    std::mutex& get() { return mutex_; }

private:
    std::mutex mutex_;
};
PlannerMutex fftwPlanner;

// Convolvers alive in the process, guarded by the planner mutex. When the last one goes,
// FFTW's planner caches are freed too, so that a host unloading the plug-in gets all of
// its memory back.
int liveConvolvers = 0;

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

double factorFor(int number)
{
    switch (number) {
    case 0: case 6: case 7: return 0.8;
    case 1: case 3: case 4: case 5: return 0.5;
    case 2: case 10: case 11: return 0.7;
    case 8: return 0.9;
    default: return 1.0;
    }
}

}  // namespace

struct CabinetConvolver::Plans {
    fftwf_plan forward[kCabinetResponseCount] = {};
    fftwf_plan inverse[kCabinetResponseCount] = {};
};

void CabinetConvolver::FftwFree::operator()(float* p) const
{
    fftwf_free(p);
}

int CabinetConvolver::fftSizeFor(int response)
{
    int n = 16;
    while (n < kCabinetResponses[response].length + kBlockSize)
        n *= 2;
    return n;
}

int CabinetConvolver::responseFor(int number)
{
    return std::clamp(number, 0, kCabinetResponseCount - 1);
}

float CabinetConvolver::gainFor(int number)
{
    // +1 dB, times 1/N to undo the unnormalized inverse transform, times the voicing factor.
    const double n = fftSizeFor(responseFor(number));
    return static_cast<float>(std::pow(10.0, 0.05) / n * factorFor(number));
}

CabinetConvolver::CabinetConvolver(float /*sampleRate*/)
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
    std::lock_guard<std::mutex> lock(fftwPlanner.get());
    ++liveConvolvers;
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        const int n = fftSizeFor(r);
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
    current_ = responseFor(0);
    gain_ = gainFor(0);
}

CabinetConvolver::~CabinetConvolver()
{
    std::lock_guard<std::mutex> lock(fftwPlanner.get());
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        fftwf_destroy_plan(plans_->forward[r]);
        fftwf_destroy_plan(plans_->inverse[r]);
    }
    if (--liveConvolvers == 0)
        fftwf_cleanup();
}

void CabinetConvolver::select(int number)
{
    requested_ = number;
}

void CabinetConvolver::applySelection(int number)
{
    applied_ = number;
    const int next = responseFor(number);
    const float nextGain = gainFor(number);
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

float CabinetConvolver::process(float x)
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
