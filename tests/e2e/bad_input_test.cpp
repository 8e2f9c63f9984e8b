// Hosts sometimes hand over garbage: NaN, infinities, or uninitialised buffers whose bit
// patterns read as absurdly large finite numbers. One such block must not leave the
// plug-in producing non-finite output for ever after (the recursive filters, the delay
// line and the reverb would otherwise hold the overflow).

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"
#include "tools/korvalex-validate/TestSignal.h"

namespace {

constexpr int kBlock = 256;
constexpr int kBlocksBefore = 80;  // about half a second of guitar first
constexpr int kBlocksAfter = 520;  // three seconds: longer than the delay and reverb tails

struct Outcome {
    long nonFiniteAfter = 0;  // non-finite output samples after the bad block
    double energyAfter = 0.0; // the engine still sounds
};

Outcome playWithOneBadBlock(PluginHost& host, float badValue, bool everythingOn)
{
    host.setMainsOn(true);
    host.setProgram(0);
    if (everythingOn) {
        for (int index : {kChorusBypass, kDelayBypass, kTremoloBypass, kSpaceBypass, kCompBypass, kGateBypass,
                          kPeqBypass})
            host.setParameter(index, 1.0f);
        for (int index : {kReverb, kDelaySustain, kDelayMix, kLowGain, kMidGain, kHiGain, kEqGain, kBass, kTreble,
                          kMakeupGain})
            host.setParameter(index, 1.0f);
        host.setParameter(kDrive, 0.0f);       // no clipper to bound the level
        host.setParameter(kInputHiLow, 1.0f);  // nor the input shaper
    }
    GuitarSignal guitar(11);
    std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
    Outcome outcome;
    for (int b = 0; b < kBlocksBefore + 1 + kBlocksAfter; ++b) {
        guitar.fill(left.data(), kBlock);
        std::fill(right.begin(), right.end(), 0.0f);
        if (b == kBlocksBefore)
            for (int i = 0; i < kBlock; i += 5)
                left[static_cast<std::size_t>(i)] = (i & 1) ? badValue : -badValue;
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        host.processReplacing(inputs, outputs, kBlock);
        if (b <= kBlocksBefore)
            continue;
        for (int i = 0; i < kBlock; ++i) {
            if (!std::isfinite(outLeft[static_cast<std::size_t>(i)]) ||
                !std::isfinite(outRight[static_cast<std::size_t>(i)]))
                ++outcome.nonFiniteAfter;
            else
                outcome.energyAfter += static_cast<double>(outLeft[static_cast<std::size_t>(i)]) *
                                       static_cast<double>(outLeft[static_cast<std::size_t>(i)]);
        }
    }
    return outcome;
}

class BadInput : public ::testing::TestWithParam<float> {};

TEST_P(BadInput, OutputIsFiniteAgainAfterOneBadBlock)
{
    for (bool everythingOn : {false, true}) {
        std::unique_ptr<PluginHost> host = loadPlugin();
        ASSERT_TRUE(host);
        const Outcome outcome = playWithOneBadBlock(*host, GetParam(), everythingOn);
        EXPECT_EQ(outcome.nonFiniteAfter, 0) << "bad value " << GetParam() << ", every block on: " << everythingOn;
        EXPECT_GT(outcome.energyAfter, 1e-6) << "the engine fell silent after bad value " << GetParam();
    }
}

INSTANTIATE_TEST_SUITE_P(Garbage, BadInput,
                         ::testing::Values(std::numeric_limits<float>::quiet_NaN(),
                                           std::numeric_limits<float>::infinity(), 1e6f, 1e12f, 1e15f, 1e20f, 1e30f,
                                           FLT_MAX));

}  // namespace
