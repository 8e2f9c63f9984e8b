#pragma once
// The amplifier engine: the setting of every parameter, the blocks they drive, and the
// chain that turns two input channels into two output channels.
//
// The chain is defined sample by sample, but nothing in it feeds back from a later stage
// to an earlier one, and its ramps and fades advance by steps fixed at the start of each
// block. So it runs stage by stage over pieces of the block, each stage's state held in
// registers, and gives the same samples as a sample-by-sample run.
//
// Settings are written by a host or editor thread and read by the audio thread; block
// coefficients are rewritten in place and heard from the next piece that uses them.

#include "dsp/CabinetConvolver.h"
#include "dsp/Chorus.h"
#include "dsp/Compressor.h"
#include "dsp/DriveStage.h"
#include "dsp/DspConstants.h"
#include "dsp/Imager.h"
#include "dsp/InputShaper.h"
#include "dsp/LFO.h"
#include "dsp/NoiseGate.h"
#include "dsp/OutputLimiter.h"
#include "dsp/ParameterIndex.h"
#include "dsp/ParametricEQ.h"
#include "dsp/Phaser.h"
#include "dsp/PresenceFilter.h"
#include "dsp/Reverb.h"
#include "dsp/RelaxedAtomic.h"
#include "dsp/StereoDelay.h"
#include "dsp/ToneStack.h"
#include "dsp/UserCabinet.h"

#include <memory>

class AmpEngine {
public:
    // Every block is designed for this rate, once; only the equaliser follows later rates.
    explicit AmpEngine(float sampleRate = kDesignSampleRate);

    AmpEngine(const AmpEngine&) = delete;
    AmpEngine& operator=(const AmpEngine&) = delete;

    // Stores a normalized value (index 0..52) and applies it to the blocks it drives.
    void setSetting(int index, float value);
    float setting(int index) const { return settings_[index]; }

    // Redesigns the three equaliser bands from their settings for the given rate.
    void designEqualiser(float sampleRate);

    // Puts a user's cabinet response in place of the stored ones (null: the stored ones
    // again). Any thread but the audio thread; heard from the next process call on.
    void useCabinetResponse(std::unique_ptr<UserCabinet> response) { cabinet_.offer(std::move(response)); }

    // Once per block, before process: moves every switch fade one step towards its switch.
    void stepSwitchFades();
    // Input and output buffers may be the same memory.
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames);
    // The `n` frames from `offset` on of a block of `frames` frames that arrives in parts (as
    // a rate converter delivers it): the part at offset 0 begins the block, the part that
    // reaches its end ends it. The parts give the samples of the whole block in one call.
    void processPart(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int n, int offset,
                     int frames);

    float compressorMeter() const { return compressorMeter_; }
    float gateMeter() const { return gateMeter_; }

    enum FadeIndex { kCabinetFade, kSpaceFade, kPanFade, kChorusFade, kDelayFade, kTremoloFade, kModeFade, kNumFades };

    // What the engine has chosen, for tests and tools: the cabinet response (0..11), whether
    // the voicing notch runs, and where a switch fade stands (0..1) at the end of a block.
    int cabinetResponse() const { return cabinetResponse_; }
    bool voicingNotchOn() const { return voicingNotchOn_; }
    float fadeLevel(FadeIndex fade) const { return fades_[fade].ramp.current; }

private:
    // Samples worked on per stage at a time: a block is processed in pieces of this size.
    static constexpr int kPiece = 128;

    // A level that glides linearly from its current value to its target over one block.
    struct Ramp {
        float current = 0.0f;
        float step = 0.0f;
        float target = 0.0f;

        void begin(float newTarget, int frames)
        {
            target = newTarget;
            step = (target - current) / static_cast<float>(frames);
        }
        void land() { current = target; }
    };

    // The values a ramp takes over one piece, sample by sample.
    struct RampValues {
        alignas(16) float at[kPiece];
        bool constant = true;  // every value the same

        void advance(Ramp& ramp, int n);
    };

    // An on/off switch that crossfades over ten blocks: the counter moves one step per
    // block while the switch is exactly 0 or exactly 1.
    struct SwitchFade {
        static constexpr int kSteps = 10;
        int counter = 0;
        float target = 0.0f;
        Ramp ramp;

        void step(float switchValue);
    };

    enum RampIndex { kTremoloDepthRamp, kReverbRamp, kVolumeRamp, kChorusMixRamp, kEqGainRamp, kNumRamps };
    void beginBlock(int frames);
    void endBlock();
    void processPiece(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int n,
                      int frames);
    void gateStage(float* x, int n);
    void compressorStage(float* x, int n);
    void chorusStage(float* x, int n);
    void cabinetStage(float* x, int n);
    void reverbStage(float* x, int n);
    void equaliserStage(float* x, int n);
    void delayStage(const float* x, float* left, float* right, int n);
    void tremoloStage(float* left, float* right, int n);
    void spaceStage(float* left, float* right, int n, int frames);

    void selectAmplifier(float value);
    void applyModulation(int index, float value);
    void applyDynamics(int index, float value);
    void applyDelay(int index, float value);

    // Blocks in chain order.
    NoiseGate gate_;
    Compressor compressor_;
    Chorus chorus_;
    Phaser phaser_;
    DriveStage drive_;
    InputShaper shaper_;
    CabinetConvolver cabinet_;
    ToneStack toneStack_;
    PresenceFilter presence_;
    Reverb reverb_;
    ParametricEQ equaliser_;
    OutputLimiter limiter_;
    StereoDelay delay_;
    LFO tremolo_;
    Imager imager_;

    SharedFloat settings_[kNumParameters];
    SharedFloat cabinetActive_{0.0f};
    SharedInt cabinetResponse_{0};
    RelaxedAtomic<bool> voicingNotchOn_{false};
    SharedFloat compressorMeter_{1.0f};
    SharedFloat gateMeter_{1.0f};

    // Audio-thread state.
    Ramp ramps_[kNumRamps];
    SwitchFade fades_[kNumFades];

    // Working memory of one piece.
    RampValues rampValues_[kNumRamps];
    RampValues fadeValues_[kNumFades];
    alignas(16) float mono_[kPiece];
    alignas(16) float left_[kPiece];
    alignas(16) float right_[kPiece];
    alignas(16) float scratchA_[kPiece];
    alignas(16) float scratchB_[kPiece];
};
