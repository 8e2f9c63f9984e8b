#include "dsp/CabinetConvolver.h"

#include <algorithm>
#include <cmath>

#include "dsp/CabinetLevel.h"
#include "dsp/SplitRealTransform.h"
#include "dsp/SpectrumProducts.h"
#include "dsp/UserCabinet.h"

namespace {

constexpr int kTransformSize = 2 * CabinetConvolver::kBlockSize;  // 16 samples and 16 zeros
static_assert(CabinetConvolver::kPaddedBins == (kTransformSize / 2 + 1 + 3) / 4 * 4, "bins 0..16 in whole lanes");

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

double CabinetConvolver::bandLevelFor(int number)
{
    const CabinetResponse& r = kCabinetResponses[responseFor(number)];
    return static_cast<double>(gainFor(number)) * fftSizeFor(responseFor(number)) *
           cabinetBandGain(r.taps, r.length, kDesignSampleRate);
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

// Scalar transforms only: SIMD codelets round differently from one processor and build to
// the next, and the tone stack's low bass section magnifies such differences, so the same
// program would sound measurably different on two machines.
CabinetConvolver::CabinetConvolver(float /*sampleRate*/)
    : transform_(std::make_unique<SplitRealTransform>(kTransformSize, false)),
      ahead_(static_cast<size_t>(UserCabinet::ringSize()), 0.0f)
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
    historyPartitions_.assign(static_cast<size_t>(longest), &partitions_[0]);
    historyPartitionCount_.assign(static_cast<size_t>(longest), partitionsFor(0));

    // Each 16-tap piece of a response, zero-padded to 32, transformed once.
    float* time = transform_->time();
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        const CabinetResponse& h = kCabinetResponses[r];
        for (int p = 0; p < partitionsFor(r); ++p) {
            const int first = p * kBlockSize;
            const int taps = std::min(kBlockSize, h.length - first);
            std::fill(time, time + kTransformSize, 0.0f);
            std::copy(h.taps + first, h.taps + first + taps, time);
            Spectrum& s = partitions_[static_cast<size_t>(firstPartition_[r] + p)];
            transform_->forward(s.re, s.im);
        }
    }
    std::fill(time, time + kTransformSize, 0.0f);
    for (int r = 0; r < kCabinetResponseCount; ++r)
        storedBandGain_[r] = cabinetBandGain(kCabinetResponses[r].taps, kCabinetResponses[r].length, kDesignSampleRate);

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

void CabinetConvolver::offer(std::unique_ptr<UserCabinet> response)
{
    std::lock_guard<std::mutex> lock(offerMutex_);
    releaseFinishedOffers();
    std::uintptr_t value = kStoredResponsesOffer;
    if (response) {
        value = reinterpret_cast<std::uintptr_t>(response.get());
        offers_.push_back(std::move(response));
    }
    // An offer the audio side has not taken yet is replaced, and never sounds.
    const std::uintptr_t replaced = offered_.exchange(value, std::memory_order_acq_rel);
    if (replaced != kNoOffer && replaced != kStoredResponsesOffer)
        reinterpret_cast<UserCabinet*>(replaced)->released.store(true, std::memory_order_relaxed);
    releaseFinishedOffers();
}

void CabinetConvolver::releaseFinishedOffers()
{
    offers_.erase(std::remove_if(offers_.begin(), offers_.end(),
                                 [](const std::unique_ptr<UserCabinet>& r) {
                                     return r->released.load(std::memory_order_acquire);
                                 }),
                  offers_.end());
}

// A block takes the response and gain in force when it is complete, and keeps them for the
// whole length of its response, whatever is selected later.
void CabinetConvolver::takeOverSelection()
{
    bool changed = offered_.load(std::memory_order_relaxed) != kNoOffer && takeOverOffer();
    const int requested = requested_;
    if (requested != applied_) {
        applied_ = requested;
        changed = true;
    }
    if (changed)
        applySelection();
}

void CabinetConvolver::applySelection()
{
    current_ = responseFor(applied_);
    gain_ = gainFor(applied_);
    if (user_) {
        const int response = responseFor(applied_);
        const double bandLevel = static_cast<double>(gain_) * fftSizeFor(response) * storedBandGain_[response];
        inputScale_ = static_cast<float>(bandLevel * user_->levelScale() / kTransformSize);
    } else {
        inputScale_ = inputScaleFor(applied_);
    }
}

// Answers whether the response in place changed.
bool CabinetConvolver::takeOverOffer()
{
    const std::uintptr_t peek = offered_.load(std::memory_order_relaxed);
    if (peek != kStoredResponsesOffer && soundingCount_ == kUserSlots)
        return false;  // waits until a ringing response has ended
    const std::uintptr_t taken = offered_.exchange(kNoOffer, std::memory_order_acq_rel);
    if (taken == kNoOffer)
        return false;
    if (taken == kStoredResponsesOffer) {
        user_ = nullptr;
        return true;
    }
    UserCabinet* response = reinterpret_cast<UserCabinet*>(taken);
    if (soundingCount_ == kUserSlots) {
        // Replaced by a stored-responses offer between the two looks: put it back, unless
        // an even newer offer has arrived.
        std::uintptr_t expected = kNoOffer;
        if (!offered_.compare_exchange_strong(expected, taken, std::memory_order_acq_rel))
            response->released.store(true, std::memory_order_release);
        return false;
    }
    sounding_[soundingCount_++] = response;
    user_ = response;
    return true;
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
    const size_t slot = static_cast<size_t>(newest_);
    transformInputBlock(history_[slot]);
    historyPartitions_[slot] = user_ ? user_->headPartitions() : &partition(current_, 0);
    historyPartitionCount_[slot] = user_ ? user_->headPartitionCount() : partitionCount_[current_];
    if (soundingCount_ > 0)
        stepUserResponses();

    Spectrum sum;
    accumulateProducts(sum);
    transform_->inverse(sum.re, sum.im);

    // Overlap-add: the first half completes this block's output, the second half waits.
    const float* y = transform_->result();
    std::copy(ready_, ready_ + kBlockSize, playing_);
    for (int j = 0; j < kBlockSize; ++j) {
        ready_[j] = overlap_[j] + y[j];
        overlap_[j] = y[kBlockSize + j];
    }
    if (soundingCount_ > 0) {
        // What the larger partitions have computed for this output block.
        for (int j = 0; j < kBlockSize; ++j) {
            ready_[j] += ahead_[static_cast<size_t>(aheadPosition_ + j)];
            ahead_[static_cast<size_t>(aheadPosition_ + j)] = 0.0f;
        }
        aheadPosition_ = (aheadPosition_ + kBlockSize) & (static_cast<int>(ahead_.size()) - 1);
    }
}

void CabinetConvolver::transformInputBlock(Spectrum& spectrum)
{
    // The gain goes onto the block here, so the block keeps it for good.
    float* time = transform_->time();
    for (int j = 0; j < kBlockSize; ++j)
        time[j] = input_[j] * inputScale_;
    transform_->forward(spectrum.re, spectrum.im);
}

// The block just completed goes to the response in place; the others ring out on silence
// and leave once nothing is left of them.
void CabinetConvolver::stepUserResponses()
{
    const int mask = static_cast<int>(ahead_.size()) - 1;
    for (int i = 0; i < soundingCount_;) {
        UserCabinet* response = sounding_[i];
        response->step(response == user_ ? transform_->time() : nullptr, ahead_.data(), mask, aheadPosition_);
        if (response != user_ && response->drained()) {
            sounding_[i] = sounding_[--soundingCount_];
            sounding_[soundingCount_] = nullptr;
            response->released.store(true, std::memory_order_release);
        } else {
            ++i;
        }
    }
}

// Sum over the delay line of (input spectrum x partition spectrum): the block `age` blocks
// back meets partition `age` of its own response, if that response is that long. Every
// bin's sum runs in the same order on every build.
void CabinetConvolver::accumulateProducts(Spectrum& sum) const
{
    const int slots = static_cast<int>(history_.size());
    for (int age = 0; age < slots; ++age) {
        const int slot = newest_ - age < 0 ? newest_ - age + slots : newest_ - age;
        if (age >= historyPartitionCount_[static_cast<size_t>(slot)])
            continue;
        const Spectrum& x = history_[static_cast<size_t>(slot)];
        const Spectrum& h = historyPartitions_[static_cast<size_t>(slot)][age];
        spectrum::accumulateProduct(sum.re, sum.im, x.re, x.im, h.re, h.im, 0, kPaddedBins);
    }
}
