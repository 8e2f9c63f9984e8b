#pragma once
// A cabinet response given by the user (an impulse-response file of up to one second at
// 44100 Hz), prepared off the audio thread and handed to CabinetConvolver whole.
//
// The convolver runs the first 96 taps itself, as six 16-tap partitions on its own
// 32-point path with its 31-sample latency. The rest is cut into levels of larger
// partitions, each level a uniformly partitioned overlap-save convolution of its own,
// with input blocks of B samples and transforms of 2B points:
//
//     block B   taps from     to   partitions
//          64          96     992   14
//         512         992    8160   14
//        4096        8160    the end (at most 9 for one second)
//
// (Levels four times apart cost more: each level adds a transform pair per block, and
// these three gave the lowest cost per sample for responses from 10 ms to 1 s.)
//
// A level's first tap lies 2B - 32 taps in: its input block is complete B / 16 - 1
// steps of 16 samples before the first output it owes is played. Its work (the forward
// transform of the block, the products with every partition, the inverse transform) is
// spread over those steps: the forward transform in the first, an equal share of the
// products in each, the inverse in the last, which adds the level's B output samples to
// the convolver's output just before the first of them is played. The levels' blocks end
// on different steps, so no step carries the transforms of two levels. So the levels add
// no latency, the work of a step does not depend on how a host cuts its blocks, and
// nothing allocates or locks on the audio path.

#include <atomic>
#include <memory>
#include <vector>

#include "dsp/CabinetConvolver.h"

class UserCabinet {
public:
    static constexpr int kMaxTaps = 44100;  // one second at the engine's rate
    static constexpr int kHeadTaps = 96;    // what the convolver's 16-tap partitions cover
    // A response whose band gain (CabinetLevel.h) lies below this (-80 dB) has nothing to
    // level: matching its loudness would mean raising noise.
    static constexpr double kMinBandGain = 1e-4;

    // `length` taps at 44100 Hz and a gain on top of the level match. Answers null when
    // the response cannot be used: no taps, more than kMaxTaps, a tap or a gain that is
    // not finite, a gain not above 0, or a band gain below kMinBandGain. May throw
    // std::bad_alloc.
    static std::unique_ptr<UserCabinet> prepare(const float* taps, int length, float gain);
    ~UserCabinet();
    UserCabinet(const UserCabinet&) = delete;
    UserCabinet& operator=(const UserCabinet&) = delete;

    int length() const { return length_; }
    // The gain over the response's band gain: the level match multiplies the stored
    // response's band level by it.
    double levelScale() const { return levelScale_; }

    // The first 96 taps as the convolver's 16-tap partition spectra.
    const CabinetConvolver::Spectrum* headPartitions() const { return head_.data(); }
    int headPartitionCount() const { return static_cast<int>(head_.size()); }

    // Audio thread, once per 16-sample step while the response is in the convolver:
    // `block` is the step's 16 input samples, already scaled, or null when they met
    // another response. Adds the level outputs due from this step on into `ring` (a power
    // of two long, at least twice the largest block) from entry `position`, the first
    // sample the convolver plays from this step's output.
    void step(const float* block, float* ring, int ringMask, int position);
    // Silent for so long that nothing of earlier input is left to add.
    bool drained() const { return silentSamples_ >= drainSamples_; }

    // Set by the audio thread when it holds the response no more; the owner may then free it.
    std::atomic<bool> released{false};

    // The ring a convolver needs for the largest level.
    static int ringSize();

private:
    struct Level;
    UserCabinet(const float* taps, int length, double levelScale);

    int length_;
    double levelScale_;
    std::vector<CabinetConvolver::Spectrum> head_;
    std::vector<std::unique_ptr<Level>> levels_;
    long long silentSamples_ = 0;
    long long drainSamples_ = 0;
};
