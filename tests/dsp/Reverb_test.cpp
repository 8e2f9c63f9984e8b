#include "dsp/Reverb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// The amplifier's fixed settings: wet 0.3 (wet1 0.15), room size 0.924, damping 0.4.
std::unique_ptr<Reverb> ampReverb()
{
    auto reverb = std::make_unique<Reverb>();
    reverb->setWet(0.1f);
    reverb->setRoomSize(0.8f);
    reverb->setDry(0.0f);
    reverb->setDamping(1.0f);
    reverb->setWidth(0.0f);
    reverb->setMode(0.0f);
    return reverb;
}

std::vector<float> impulseResponse(Reverb& reverb, float amplitude, std::size_t length)
{
    std::vector<float> out(length);
    for (std::size_t n = 0; n < length; ++n)
        reverb.process(n == 0 ? amplitude : 0.0f, out[n]);
    return out;
}

double energy(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t n = from; n < to; ++n)
        sum += static_cast<double>(x[n]) * x[n];
    return sum;
}

constexpr float kWet1 = 0.15f;
constexpr float kFeedback = 0.924f;
constexpr float kDamp1 = 0.4f;
constexpr float kDamp2 = 0.6f;

} // namespace

TEST(Reverb, ImpulseArrivesAtEachCombLengthThroughTheAllPass)
{
    auto reverb = ampReverb();
    const auto out = impulseResponse(*reverb, 1.0f, 1700);
    for (std::size_t n = 0; n < out.size(); ++n) {
        switch (n) {
        case 1116: // comb 1 through the all-pass's direct path (-1)
        case 1422: // comb 2
        case 1617: // comb 3
            EXPECT_NEAR(out[n], -kWet1, 1e-6f) << n;
            break;
        case 1116 + 441: // comb 1's arrival coming back out of the all-pass delay
            EXPECT_NEAR(out[n], kWet1, 1e-6f) << n;
            break;
        default:
            EXPECT_EQ(out[n], 0.0f) << n;
        }
    }
}

TEST(Reverb, CombLoopFeedsBackThroughOnePoleDamping)
{
    auto reverb = ampReverb();
    const auto out = impulseResponse(*reverb, 1.0f, 2240);
    // Second pass of comb 1: the low-pass store took 0.6 of the echo, then 0.4 of itself.
    EXPECT_NEAR(out[2232], -kWet1 * kDamp2 * kFeedback, 1e-6f);
    EXPECT_NEAR(out[2233], -kWet1 * kDamp2 * kDamp1 * kFeedback, 1e-6f);
    EXPECT_NEAR(out[2234], -kWet1 * kDamp2 * kDamp1 * kDamp1 * kFeedback, 1e-6f);
}

TEST(Reverb, TailDecays)
{
    auto reverb = ampReverb();
    const auto out = impulseResponse(*reverb, 1.0f, 44100 * 4);
    const double first = energy(out, 0, 44100);
    const double last = energy(out, 44100 * 3, 44100 * 4);
    EXPECT_GT(first, 0.0);
    EXPECT_LT(last, first * 1e-3);
}

TEST(Reverb, FrozenModeKeepsTheTail)
{
    auto reverb = ampReverb();
    reverb->setMode(1.0f);
    const auto out = impulseResponse(*reverb, 1.0f, 44100 * 4);
    // Lossless comb loop: the second pass of comb 1 is as loud as the first.
    EXPECT_NEAR(out[2232], -kWet1, 1e-6f);
    const double first = energy(out, 0, 44100);
    const double last = energy(out, 44100 * 3, 44100 * 4);
    EXPECT_GT(last, first * 0.5);

    // Back to normal mode, the same tail decays again.
    reverb->setMode(0.49f);
    std::vector<float> later(44100 * 4);
    for (auto& v : later)
        reverb->process(0.0f, v);
    EXPECT_LT(energy(later, 44100 * 3, 44100 * 4), last * 1e-3);
}

TEST(Reverb, DenormalInputIsFlushedOnRead)
{
    auto reverb = ampReverb();
    const float denormal = 1e-39f;
    ASSERT_EQ(std::fpclassify(denormal), FP_SUBNORMAL);
    const auto out = impulseResponse(*reverb, denormal, 3000);
    for (std::size_t n = 0; n < out.size(); ++n)
        ASSERT_EQ(out[n], 0.0f) << n;
}

TEST(Reverb, AllPassFlushesItsHalvedRecirculation)
{
    auto reverb = ampReverb();
    const float tiny = 1.5e-38f; // normal, but half of it is denormal
    ASSERT_EQ(std::fpclassify(tiny), FP_NORMAL);
    ASSERT_EQ(std::fpclassify(tiny * 0.5f), FP_SUBNORMAL);
    const auto out = impulseResponse(*reverb, tiny, 2000);
    EXPECT_NE(out[1116 + 441], 0.0f);  // first pass through the all-pass delay
    EXPECT_EQ(out[1116 + 882], 0.0f);  // its halved return is flushed
}

TEST(Reverb, DryAndWidthScaleTheirPaths)
{
    auto reverb = ampReverb();
    reverb->setDry(0.5f);  // dry gain 1
    reverb->setWidth(1.0f); // wet1 = wet = 0.3
    const auto out = impulseResponse(*reverb, 1.0f, 1200);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_NEAR(out[1116], -0.3f, 1e-6f);
}

TEST(Reverb, ConstructionDefaults)
{
    // Wet 1/3 (wet 1), room size 0.84, damping 0.2, width 1, before any setter.
    Reverb reverb;
    const auto out = impulseResponse(reverb, 1.0f, 2240);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_NEAR(out[1116], -1.0f, 1e-6f);
    EXPECT_NEAR(out[2232], -(1.0f - 0.2f) * 0.84f, 1e-6f);
}
