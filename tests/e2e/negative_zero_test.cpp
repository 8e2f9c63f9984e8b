// A host may send -0.0 for a parameter at its minimum (0 times a negative number is -0).
// It must act as 0: the gate's attack and release times divide by the value, and -0 would
// turn their steps into minus infinity and the output into NaN for good.

#include <cmath>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"
#include "tools/korvalex-validate/TestSignal.h"

namespace {

constexpr int kBlock = 512;
constexpr int kBlocks = 80;  // 0.9 s with the gate opening and closing on the phrases

// Non-finite output samples with parameter `index` at -0.0 and every block on.
long nonFiniteWithNegativeZero(int index)
{
    std::unique_ptr<PluginHost> host = loadPlugin();
    if (!host)
        return -1;
    host->setMainsOn(true);
    host->setProgram(0);
    for (int i : {kChorusBypass, kDelayBypass, kTremoloBypass, kSpaceBypass, kCompBypass, kGateBypass, kPeqBypass})
        host->setParameter(i, 1.0f);
    host->setParameter(kGateThreshold, 0.6f);
    host->setParameter(index, -0.0f);

    GuitarSignal guitar(3);
    std::vector<float> left(kBlock), right(kBlock, 0.0f), outLeft(kBlock), outRight(kBlock);
    long nonFinite = 0;
    for (int b = 0; b < kBlocks; ++b) {
        guitar.fill(left.data(), kBlock);
        if (b % 40 > 25)
            std::fill(left.begin(), left.end(), 0.0f);  // rests, so that the gate closes
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        host->processReplacing(inputs, outputs, kBlock);
        for (int i = 0; i < kBlock; ++i)
            nonFinite += !std::isfinite(outLeft[static_cast<std::size_t>(i)]) ||
                         !std::isfinite(outRight[static_cast<std::size_t>(i)]);
    }
    return nonFinite;
}

TEST(NegativeZero, GateTimesAtNegativeZeroKeepTheOutputFinite)
{
    EXPECT_EQ(nonFiniteWithNegativeZero(kGateAttack), 0);
    EXPECT_EQ(nonFiniteWithNegativeZero(kGateRelease), 0);
}

TEST(NegativeZero, EveryParameterAtNegativeZeroKeepsTheOutputFinite)
{
    for (int index = 0; index < kNumParameters; ++index)
        EXPECT_EQ(nonFiniteWithNegativeZero(index), 0) << "parameter " << index;
}

TEST_F(LoadedPlugin, NegativeZeroIsStoredAsZero)
{
    host->setParameter(kGateRelease, -0.0f);
    const float stored = host->getParameter(kGateRelease);
    EXPECT_EQ(stored, 0.0f);
    EXPECT_FALSE(std::signbit(stored));
}

}  // namespace
