#pragma once
// The cabinet convolution as it was before the partitioned design: every 16 samples, one
// forward and one inverse FFT of the selected response's full size N (64 to 512) with
// overlap-add. Kept unchanged as the reference that CabinetConvolver must match, by the
// cabinet tests and by korvalex-bench. The response size N and the gain rule are
// CabinetConvolver's.

#include "dsp/CabinetConvolver.h"
#include "dsp/DspConstants.h"
#include "dsp/RelaxedAtomic.h"

#include <memory>
#include <vector>

class BlockFftCabinetConvolver {
public:
    static constexpr int kBlockSize = 16;
    static constexpr int kLatency = 2 * kBlockSize - 1;
    static constexpr int kBufferSize = 16384;
    static constexpr int kOverlapSize = kBufferSize - kBlockSize;

    // The sample rate is accepted for symmetry with the other blocks; the stored
    // responses are used as they are.
    explicit BlockFftCabinetConvolver(float sampleRate = kDesignSampleRate);
    ~BlockFftCabinetConvolver();
    BlockFftCabinetConvolver(const BlockFftCabinetConvolver&) = delete;
    BlockFftCabinetConvolver& operator=(const BlockFftCabinetConvolver&) = delete;

    // Requests response `number` (above 11 means 11, below 0 means 0) with its output
    // gain. Safe to call from another thread while process runs: the audio thread takes
    // the request over at the start of its next process call.
    void select(int number);

    // One input sample in, one output sample out.
    float process(float x);

    // The selection in force on the audio side (read from the audio thread or when idle).
    int currentResponse() const { return current_; }
    float outputGain() const { return gain_; }

private:
    struct Plans;
    struct FftwFree {
        void operator()(float* p) const;
    };
    using Buffer = std::unique_ptr<float[], FftwFree>;

    void applySelection(int number);

    Buffer input_;    // 16 samples written, the rest stays zero
    Buffer work_;     // spectrum work buffer
    Buffer result_;   // time-domain result of the last transform
    Buffer overlap_;  // tail waiting to be added to the next result
    Buffer output_;   // the 16 samples being played out

    std::vector<std::vector<float>> spectra_;
    std::unique_ptr<Plans> plans_;
    std::vector<int> sizes_;

    int inputPos_ = 0;
    int outputPos_ = 0;

    SharedInt requested_{0};
    int applied_ = 0;  // last select() argument taken over by the audio side
    int current_ = 0;
    float gain_ = 0.0f;
};
