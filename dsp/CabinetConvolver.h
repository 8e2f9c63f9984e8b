#pragma once
// Speaker-cabinet stage: convolves the mono signal with one of the twelve stored impulse
// responses. Uniformly partitioned fast convolution: each response is cut into 16-tap
// partitions, each held as the spectrum of a 32-point transform; every 16 input samples
// give one input spectrum, kept in a delay line of past spectra, and one output block is
// the inverse transform of the sum of (past input spectrum x partition spectrum), with
// overlap-add. Fixed latency of 31 samples.

#include "dsp/CabinetResponses.h"
#include "dsp/DspConstants.h"
#include "dsp/RelaxedAtomic.h"

#include <memory>
#include <vector>

class CabinetConvolver {
public:
    static constexpr int kBlockSize = 16;
    static constexpr int kLatency = 2 * kBlockSize - 1;

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
    // the block being filled and everything after it meet the new ones.
    void select(int number);

    // One input sample in, one output sample out.
    float process(float x);
    // `frames` samples; gives the same output as as many single-sample calls. `in` and
    // `out` may be the same memory.
    void process(const float* in, float* out, int frames);

    // The selection in force on the audio side (read from the audio thread or when idle).
    int currentResponse() const { return current_; }
    float outputGain() const { return gain_; }

    // The transform size of a response in a convolution by one transform per block: the
    // smallest power of two from 16 that holds length + 16. It names the output gain.
    static int fftSizeFor(int response);
    // Output gain 10^0.05 / N x factor of a select() argument, applied to a response
    // transformed at size N by an unnormalized transform pair.
    static float gainFor(int number);
    static int responseFor(int number);
    // Number of 16-tap partitions of a response.
    static int partitionsFor(int response);

private:
    struct Spectrum;
    struct Transforms;

    static float inputScaleFor(int number);
    void takeOverSelection();
    void completeBlock();
    void transformInputBlock(Spectrum& spectrum);
    void accumulateProducts(Spectrum& sum) const;
    const Spectrum& partition(int response, int index) const;

    std::unique_ptr<Transforms> transforms_;
    std::vector<Spectrum> partitions_;  // every response's partitions, response by response
    int firstPartition_[kCabinetResponseCount] = {};
    int partitionCount_[kCabinetResponseCount] = {};

    // Delay line of the spectra of the latest input blocks (newest at `newest_`), each with
    // the response it meets.
    std::vector<Spectrum> history_;
    std::vector<int> historyResponse_;
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
};
