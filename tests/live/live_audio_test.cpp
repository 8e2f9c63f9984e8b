// Korvalex Live plays what korvalex-render renders: a DI played into the running program
// through a private JACK server comes out sample for sample as the renderer's output for
// the same DI, program and input gain.

#include <gtest/gtest.h>

#include <ostream>

#include "tests/live/support/LiveTests.h"

namespace {

using namespace livetest;

struct Case {
    const char* name;
    uint32_t period;
    const char* program;
    const char* gain;
    uint32_t newPeriod = 0;  // the buffer size changed while korvalex-live runs, before the DI
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class LiveAudio : public ::testing::TestWithParam<Case> {};

TEST_P(LiveAudio, OutputIsTheRenderOfTheSameDi)
{
    const Case c = GetParam();
    Scratch scratch;
    JackServer server(c.period);
    ASSERT_TRUE(server.running()) << server.problem();
    const std::vector<float> di = guitarDi(3.0);
    std::vector<float> left, right;
    std::string problem;
    const auto resize = [&](TestRig& rig, LiveProcess&) {
        return !c.newPeriod || (rig.setBufferSize(c.newPeriod) && rig.waitCycles(50));
    };
    ASSERT_TRUE(playThroughLive({"--program", c.program, "--input-gain", c.gain}, scratch, server.name(), di, left,
                                right, problem, resize))
        << problem;
    EXPECT_TRUE(sameAsRender(scratch, di, {"--program", c.program, "--input-gain", c.gain}, left, right));
}

// Blocks of several sizes (the plug-in's block is JACK's, also after it changed), clean and
// driven programs, a delay, and the input gain both ways.
INSTANTIATE_TEST_SUITE_P(Programs, LiveAudio,
                         ::testing::Values(Case{"CleanProgram0", 256, "0", "0"}, Case{"Fuzz", 1024, "47", "0"},
                                           Case{"SlapbackDelayGainUp", 512, "Slapback", "6.5"},
                                           Case{"RectifiedLeadGainDown", 256, "Rectified Lead 1", "-3"},
                                           Case{"BufferSizeChanged", 512, "Crunchy", "0", 2048}),
                         [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
