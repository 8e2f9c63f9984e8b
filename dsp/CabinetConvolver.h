#pragma once
// Speaker-cabinet stage: convolves the mono signal with one of the twelve stored impulse
// responses by fast convolution of 16-sample blocks with overlap-add. Fixed latency of 31
// samples.

#include "dsp/CabinetResponses.h"
#include "dsp/DspConstants.h"
#include "dsp/RelaxedAtomic.h"

#include <memory>
#include <vector>

class CabinetConvolver {
public:
    static constexpr int kBlockSize = 16;
    static constexpr int kLatency = 2 * kBlockSize - 1;
    static constexpr int kBufferSize = 16384;
    static constexpr int kOverlapSize = kBufferSize - kBlockSize;

    // The sample rate is accepted for symmetry with the other blocks; the stored
    // responses are used as they are.
    explicit CabinetConvolver(float sampleRate = kDesignSampleRate);
    ~CabinetConvolver();
    CabinetConvolver(const CabinetConvolver&) = delete;
    CabinetConvolver& operator=(const CabinetConvolver&) = delete;

    // Requests response `number` (above 11 means 11, below 0 means 0) with its output
    // gain. Safe to call from another thread while process runs: the audio thread takes
    // the request over at the start of its next process call.
    void select(int number);

    // One input sample in, one output sample out.
    float process(float x);

    // The selection in force on the audio side (read from the audio thread or when idle).
    int currentResponse() const { return current_; }
    float outputGain() const { return gain_; }

    // FFT size of a response: the smallest power of two from 16 that holds length + 16.
    static int fftSizeFor(int response);
    // Output gain 10^0.05 / N x factor of a select() argument.
    static float gainFor(int number);
    static int responseFor(int number);

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
