#include "dsp/InputShaper.h"

#include <cmath>

#include <gtest/gtest.h>

TEST(InputShaper, ValuesAtZeroUnityAndTen)
{
    const InputShaper shaper;
    EXPECT_EQ(shaper.process(0.0f), 0.0f);
    EXPECT_EQ(shaper.process(1.0f), 1.0f);   // 2.5 / 2.5
    EXPECT_EQ(shaper.process(-1.0f), -1.0f);
    EXPECT_FLOAT_EQ(shaper.process(10.0f), 115.0f / 106.0f);
    EXPECT_FLOAT_EQ(shaper.process(-10.0f), -115.0f / 106.0f);
}

TEST(InputShaper, OddSymmetricWithGainOneAndAHalfForSmallSignals)
{
    const InputShaper shaper;
    for (float x : {1e-6f, 0.01f, 0.3f, 2.0f, 50.0f})
        EXPECT_EQ(shaper.process(-x), -shaper.process(x)) << x;
    EXPECT_NEAR(shaper.process(1e-4f) / 1e-4f, 1.5f, 1e-4f);
}

TEST(InputShaper, TendsToUnityForLargeInputs)
{
    const InputShaper shaper;
    EXPECT_NEAR(shaper.process(1000.0f), 1.0f, 2e-3f);
    EXPECT_NEAR(shaper.process(1e6f), 1.0f, 2e-6f);
    // It peaks above 1 between, then comes back down.
    EXPECT_GT(shaper.process(3.0f), shaper.process(1.0f));
    EXPECT_GT(shaper.process(3.0f), shaper.process(1000.0f));
}
