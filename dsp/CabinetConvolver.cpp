#include "dsp/CabinetConvolver.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/FftwPlanner.h"

namespace {

constexpr int kTransformSize = 2 * CabinetConvolver::kBlockSize;  // 16 samples and 16 zeros
constexpr int kBins = kTransformSize / 2 + 1;                      // 0 .. Nyquist
constexpr int kLanes = 4;
constexpr int kPaddedBins = (kBins + kLanes - 1) / kLanes * kLanes;

// Scalar code only: SIMD codelets round differently from one processor and build to the
// next, and the tone stack's low bass section magnifies such differences, so the same
// program would sound measurably different on two machines.
constexpr unsigned kPlanFlags = FFTW_ESTIMATE | FFTW_NO_SIMD;

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

// Four floats worked on elementwise: each lane rounds exactly as scalar code would, so
// the products come out the same on every build whether the compiler maps them to SSE,
// to wider registers or to scalar instructions.
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

}  // namespace

// A 32-point real spectrum, bins 0..16 as separate real and imaginary parts (the
// imaginary parts of bins 0 and 16, and the padding, are 0).
struct alignas(16) CabinetConvolver::Spectrum {
    float re[kPaddedBins] = {};
    float im[kPaddedBins] = {};
};

// The forward and inverse 32-point transforms with their working buffers.
struct CabinetConvolver::Transforms {
    float* time = allocateZeroed(kTransformSize);         // 16 samples, then 16 zeros that stay
    float* halfComplex = allocateZeroed(kTransformSize);  // spectrum in FFTW's layout
    float* result = allocateZeroed(kTransformSize);       // inverse transform, scaled by 32
    fftwf_plan forward = nullptr;
    fftwf_plan inverse = nullptr;

    Transforms()
    {
        FftwPlannerSession planner(FftwPlannerSession::kJoining);
        forward = fftwf_plan_r2r_1d(kTransformSize, time, halfComplex, FFTW_R2HC, kPlanFlags);
        // The spectrum is rebuilt for every block, so the inverse may overwrite it.
        inverse = fftwf_plan_r2r_1d(kTransformSize, halfComplex, result, FFTW_HC2R, kPlanFlags | FFTW_DESTROY_INPUT);
    }
    ~Transforms()
    {
        {
            FftwPlannerSession planner(FftwPlannerSession::kLeaving);
            fftwf_destroy_plan(forward);
            fftwf_destroy_plan(inverse);
        }
        fftwf_free(time);
        fftwf_free(halfComplex);
        fftwf_free(result);
    }
    Transforms(const Transforms&) = delete;
    Transforms& operator=(const Transforms&) = delete;

    static float* allocateZeroed(int count)
    {
        float* p = fftwf_alloc_real(static_cast<size_t>(count));
        std::fill(p, p + count, 0.0f);
        return p;
    }

    // The first 16 samples of `time` into `s`.
    void toSpectrum(Spectrum& s)
    {
        fftwf_execute(forward);
        // Half-complex layout: real parts at 0..16, imaginary part of bin k at 32 - k.
        s.re[0] = halfComplex[0];
        for (int k = 1; k < kBins - 1; ++k) {
            s.re[k] = halfComplex[k];
            s.im[k] = halfComplex[kTransformSize - k];
        }
        s.re[kBins - 1] = halfComplex[kBins - 1];
    }

    // `s` back into 32 samples in `result`, scaled by 32.
    void fromSpectrum(const Spectrum& s)
    {
        halfComplex[0] = s.re[0];
        for (int k = 1; k < kBins - 1; ++k) {
            halfComplex[k] = s.re[k];
            halfComplex[kTransformSize - k] = s.im[k];
        }
        halfComplex[kBins - 1] = s.re[kBins - 1];
        fftwf_execute(inverse);
    }
};

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

// The gain with the size N it was defined for, over the 32 that this transform pair
// scales by.
float CabinetConvolver::inputScaleFor(int number)
{
    return gainFor(number) * (static_cast<float>(fftSizeFor(responseFor(number))) / kTransformSize);
}

int CabinetConvolver::partitionsFor(int response)
{
    return (kCabinetResponses[response].length + kBlockSize - 1) / kBlockSize;
}

CabinetConvolver::CabinetConvolver(float /*sampleRate*/) : transforms_(std::make_unique<Transforms>())
{
    int total = 0;
    int longest = 0;
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        firstPartition_[r] = total;
        partitionCount_[r] = partitionsFor(r);
        total += partitionsFor(r);
        longest = std::max(longest, partitionsFor(r));
    }
    partitions_.resize(static_cast<size_t>(total));
    history_.resize(static_cast<size_t>(longest));
    historyResponse_.assign(static_cast<size_t>(longest), 0);

    // Each 16-tap piece of a response, zero-padded to 32, transformed once.
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        const CabinetResponse& h = kCabinetResponses[r];
        for (int p = 0; p < partitionsFor(r); ++p) {
            const int first = p * kBlockSize;
            const int taps = std::min(kBlockSize, h.length - first);
            std::fill(transforms_->time, transforms_->time + kBlockSize, 0.0f);
            std::copy(h.taps + first, h.taps + first + taps, transforms_->time);
            transforms_->toSpectrum(partitions_[static_cast<size_t>(firstPartition_[r] + p)]);
        }
    }

    current_ = responseFor(0);
    gain_ = gainFor(0);
    inputScale_ = inputScaleFor(0);
}

CabinetConvolver::~CabinetConvolver() = default;

const CabinetConvolver::Spectrum& CabinetConvolver::partition(int response, int index) const
{
    return partitions_[static_cast<size_t>(firstPartition_[response] + index)];
}

void CabinetConvolver::select(int number)
{
    requested_ = number;
}

// A block takes the response and gain in force when it is complete, and keeps them for the
// whole length of its response, whatever is selected later.
void CabinetConvolver::takeOverSelection()
{
    const int requested = requested_;
    if (requested == applied_)
        return;
    applied_ = requested;
    current_ = responseFor(requested);
    gain_ = gainFor(requested);
    inputScale_ = inputScaleFor(requested);
}

float CabinetConvolver::process(float x)
{
    float y;
    process(&x, &y, 1);
    return y;
}

void CabinetConvolver::process(const float* in, float* out, int frames)
{
    takeOverSelection();
    while (frames > 0) {
        const int run = std::min(frames, kBlockSize - position_);
        for (int i = 0; i < run; ++i)
            input_[position_ + i] = in[i] + kAntiDenormal;
        // The output block is swapped in on the sample that completes an input block and
        // played from there on: a block comes out 31 samples after its first input sample.
        const bool completes = position_ + run == kBlockSize;
        const int before = completes ? run - 1 : run;
        for (int i = 0; i < before; ++i)
            out[i] = (playing_[position_ + i + 1] + kAntiDenormal) + kAntiDenormal;
        if (completes) {
            completeBlock();
            out[run - 1] = (playing_[0] + kAntiDenormal) + kAntiDenormal;
        }
        position_ = (position_ + run) % kBlockSize;
        in += run;
        out += run;
        frames -= run;
    }
}

void CabinetConvolver::completeBlock()
{
    newest_ = newest_ + 1 == static_cast<int>(history_.size()) ? 0 : newest_ + 1;
    transformInputBlock(history_[static_cast<size_t>(newest_)]);
    historyResponse_[static_cast<size_t>(newest_)] = current_;

    Spectrum sum;
    accumulateProducts(sum);
    transforms_->fromSpectrum(sum);

    // Overlap-add: the first half completes this block's output, the second half waits.
    const float* y = transforms_->result;
    std::copy(ready_, ready_ + kBlockSize, playing_);
    for (int j = 0; j < kBlockSize; ++j) {
        ready_[j] = overlap_[j] + y[j];
        overlap_[j] = y[kBlockSize + j];
    }
}

void CabinetConvolver::transformInputBlock(Spectrum& spectrum)
{
    // The gain goes onto the block here, so the block keeps it for good.
    for (int j = 0; j < kBlockSize; ++j)
        transforms_->time[j] = input_[j] * inputScale_;
    transforms_->toSpectrum(spectrum);
}

// Sum over the delay line of (input spectrum x partition spectrum): the block `age` blocks
// back meets partition `age` of its own response, if that response is that long. Bins are
// worked on four at a time; every bin's sum runs in the same order on every build.
void CabinetConvolver::accumulateProducts(Spectrum& sum) const
{
    const int slots = static_cast<int>(history_.size());
    for (int age = 0; age < slots; ++age) {
        const int slot = newest_ - age < 0 ? newest_ - age + slots : newest_ - age;
        const int response = historyResponse_[static_cast<size_t>(slot)];
        if (age >= partitionCount_[response])
            continue;
        const Spectrum& x = history_[static_cast<size_t>(slot)];
        const Spectrum& h = partition(response, age);
        for (int k = 0; k < kPaddedBins; k += kLanes) {
            const Lanes xr = load(x.re + k), xi = load(x.im + k);
            const Lanes hr = load(h.re + k), hi = load(h.im + k);
            store(sum.re + k, load(sum.re + k) + (xr * hr - xi * hi));
            store(sum.im + k, load(sum.im + k) + (xr * hi + xi * hr));
        }
    }
}
