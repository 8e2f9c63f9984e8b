#pragma once
// Speaker-cabinet stage: convolves the mono signal with one of the twelve stored impulse
// responses, or with a user's response in their place (UserCabinet.h). Uniformly
// partitioned fast convolution: each response is cut into 16-tap partitions, each held as
// the spectrum of a 32-point transform; every 16 input samples give one input spectrum,
// kept in a delay line of past spectra, and one output block is the inverse transform of
// the sum of (past input spectrum x partition spectrum), with overlap-add. Fixed latency
// of 31 samples. A user's response beyond its first 96 taps runs in larger partitions
// computed ahead of time (UserCabinet.h), added to the output blocks before they play.

#include "dsp/CabinetResponses.h"
#include "dsp/DspConstants.h"
#include "dsp/RelaxedAtomic.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class SplitRealTransform;
class UserCabinet;

class CabinetConvolver {
public:
    static constexpr int kBlockSize = 16;
    static constexpr int kLatency = 2 * kBlockSize - 1;
    static constexpr int kPaddedBins = 20;  // bins 0..16 of a 32-point transform, whole lanes of four

    // A 32-point real spectrum, bins 0..16 as separate real and imaginary parts (the
    // imaginary parts of bins 0 and 16, and the padding, are 0).
    struct alignas(16) Spectrum {
        float re[kPaddedBins] = {};
        float im[kPaddedBins] = {};
    };

    // The sample rate is accepted for symmetry with the other blocks; the stored
    // responses are used as they are.
    explicit CabinetConvolver(float sampleRate = kDesignSampleRate);
    ~CabinetConvolver();
    CabinetConvolver(const CabinetConvolver&) = delete;
    CabinetConvolver& operator=(const CabinetConvolver&) = delete;

    // Requests response `number` (above 11 means 11, below 0 means 0) with its output
    // gain. Safe to call from another thread while process runs: the audio thread takes
    // the request over at the start of its next process call. Input blocks completed
    // before that keep sounding through the response and at the gain they were heard with;
    // the block being filled and everything after it meet the new ones. While a user's
    // response is in place, the number still chooses the level it is matched to.
    void select(int number);

    // Puts a user's response in place of the stored ones, or (null) gives them back. Any
    // thread but the audio thread; the audio thread takes the response over at the start
    // of its next process call, with the same rule as select. Earlier input rings out
    // through the response it met, so up to three user responses may sound at once while
    // tails fade; a response offered while three still sound waits until one has ended.
    // Its level: the stored response's band gain (CabinetLevel.h) times its output gain,
    // times the response's own gain over its band gain (UserCabinet::levelScale).
    void offer(std::unique_ptr<UserCabinet> response);

    // One input sample in, one output sample out.
    float process(float x);
    // `frames` samples; gives the same output as as many single-sample calls. `in` and
    // `out` may be the same memory.
    void process(const float* in, float* out, int frames);

    // The selection in force on the audio side (read from the audio thread or when idle).
    int currentResponse() const { return current_; }
    float outputGain() const { return gain_; }
    bool userResponseInPlace() const { return user_ != nullptr; }

    // The transform size of a response in a convolution by one transform per block: the
    // smallest power of two from 16 that holds length + 16. It names the output gain.
    static int fftSizeFor(int response);
    // Output gain 10^0.05 / N x factor of a select() argument, applied to a response
    // transformed at size N by an unnormalized transform pair.
    static float gainFor(int number);
    static int responseFor(int number);
    // Number of 16-tap partitions of a response.
    static int partitionsFor(int response);
    // How loud a select() argument's stored response plays: its band gain times its
    // output gain. A user's response in its place is matched to this.
    static double bandLevelFor(int number);

private:
    static constexpr int kUserSlots = 3;
    static constexpr std::uintptr_t kNoOffer = 0;
    static constexpr std::uintptr_t kStoredResponsesOffer = 1;

    static float inputScaleFor(int number);
    void takeOverSelection();
    bool takeOverOffer();
    void applySelection();
    void completeBlock();
    void transformInputBlock(Spectrum& spectrum);
    void stepUserResponses();
    void accumulateProducts(Spectrum& sum) const;
    const Spectrum& partition(int response, int index) const;
    void releaseFinishedOffers();

    std::unique_ptr<SplitRealTransform> transform_;
    std::vector<Spectrum> partitions_;  // every response's partitions, response by response
    int firstPartition_[kCabinetResponseCount] = {};
    int partitionCount_[kCabinetResponseCount] = {};
    double storedBandGain_[kCabinetResponseCount] = {};

    // Delay line of the spectra of the latest input blocks (newest at `newest_`), each with
    // the partitions of the response it meets.
    std::vector<Spectrum> history_;
    std::vector<const Spectrum*> historyPartitions_;
    std::vector<int> historyPartitionCount_;
    int newest_ = 0;

    float input_[kBlockSize] = {};    // the block being filled
    float playing_[kBlockSize] = {};  // output block being played
    float ready_[kBlockSize] = {};    // output block computed at the last completed block
    float overlap_[kBlockSize] = {};  // tail of the last inverse transform
    int position_ = 0;                // next sample of the block being filled

    SharedInt requested_{0};
    int applied_ = 0;  // last select() argument taken over by the audio side
    int current_ = 0;
    float gain_ = 0.0f;
    float inputScale_ = 0.0f;  // gain folded onto the input: the transform pair scales by 32

    // User responses. The offer is a UserCabinet pointer, or one of the two values above.
    std::atomic<std::uintptr_t> offered_{kNoOffer};
    std::mutex offerMutex_;                               // between offering threads only
    std::vector<std::unique_ptr<UserCabinet>> offers_;    // every response offered and not yet freed
    // Audio side: the responses sounding (the one in place and those ringing out), and the
    // output their larger partitions have computed ahead, by output position.
    UserCabinet* sounding_[kUserSlots] = {};
    int soundingCount_ = 0;
    UserCabinet* user_ = nullptr;
    std::vector<float> ahead_;
    int aheadPosition_ = 0;
};
