#pragma once
// A seeded random sequence of host calls on one instance, the way careless hosts and
// restless users drive a plug-in: processing blocks of every length from every buffer
// layout, parameter values finite and not, program changes, sample-rate and block-size
// changes, mains off and on, text requests, and now and then non-finite or absurd input.
//
// The same seed gives the same calls and, from a correct plug-in, the same output; the
// session hashes every processed block so that runs can be compared.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/korvalex-validate/TestSignal.h"
#include "tools/korvalex-validate/Validator.h"

// How processReplacing receives its buffers.
enum class BufferLayout {
    Separate,     // inputs and outputs all distinct
    InPlace,      // outputs[c] == inputs[c]
    Crossed,      // outputs[0] == inputs[1], outputs[1] == inputs[0]
    SharedInput,  // inputs[0] == inputs[1] (a mono source fed to both inputs)
    Random,       // one of the above per block
};

const char* layoutName(BufferLayout layout);

struct AbuseSettings {
    std::uint64_t seed = 1;
    long actions = 1000;
    BufferLayout layout = BufferLayout::Random;
    bool monoInput = false;   // right input a copy of the left (layouts then compare)
    bool badInput = true;     // NaN, infinities and absurd values in the input now and then
    long recoverySamples = 3 * 44100;
};

class AbuseSession {
public:
    // `check` may be null: the session then only produces output and hashes.
    AbuseSession(Plugin& plugin, const AbuseSettings& settings, Check* check);

    void run();
    // One action; false once the session has made all of its actions.
    bool step();

    std::uint64_t hash() const { return hash_.value(); }
    // One hash per processReplacing call, in order.
    const std::vector<std::uint64_t>& blockHashes() const { return blockHashes_; }
    // The action that produced block `n`, for reports.
    std::string describeBlock(std::size_t n) const;

    std::uint64_t framesProcessed() const { return framesProcessed_; }
    long badInputEvents() const { return badInputEvents_; }
    float peakOutput() const { return peakOutput_; }
    long peakAction() const { return peakAction_; }

private:
    void processBlock();
    void changeParameter();
    void readParameter();
    void changeProgram();
    void changeSampleRate();
    void changeBlockSize();
    void toggleMains();
    void askForText();
    void harmlessRequest();

    int drawFrames();
    float drawParameterValue();
    VstInt32 drawParameterIndex();
    void fillInput(int frames, bool& bad, int& badFirst, int& badLast);
    void checkOutput(float** outputs, int frames, BufferLayout layout, bool bad, int badFirst, int badLast);
    void report(const std::string& text);

    Plugin& plugin_;
    AbuseSettings settings_;
    Check* check_;
    SplitMix64 rng_;
    GuitarSignal guitar_;
    GuitarSignal secondGuitar_;
    QuietNoise noise_;
    AudioBuffers buffers_;
    std::vector<float> savedLeft_, savedRight_;

    long action_ = 0;
    bool mainsOn_ = true;
    std::uint64_t samplePosition_ = 0;    // frames processed so far
    std::uint64_t lastBadSample_ = 0;     // position just after the last bad input sample
    bool anyBadInput_ = false;
    OutputHash hash_;
    std::vector<std::uint64_t> blockHashes_;
    std::vector<long> blockActions_;
    std::vector<int> blockFrames_;
    std::uint64_t framesProcessed_ = 0;
    long badInputEvents_ = 0;
    float peakOutput_ = 0.0f;
    long peakAction_ = -1;
};
