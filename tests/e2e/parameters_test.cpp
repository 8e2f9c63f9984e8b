// Parameter names, labels, display texts and the host-facing rules of setting a value.

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"

namespace {
const char* const kNames[52] = {
    "Power", "Bank A/B", "Input HiLow", "Volume", "Presence", "Treble", "Middle", "Bass", "Reverb", "Drive",
    "Amplifier", "Tremolo Bypass", "Center-Pan", "Tremolo Speed", "Tremolo Depth", "Chorus Bypass",
    "Chorus/Phaser", "Chorus Speed", "Chorus Depth", "Chorus Mix", "Delay Bypass", "Delay Speed",
    "Delay Sustain", "Delay Width", "Delay Mix", "Comp Bypass", "PrePost Comp", "Comp Attack", "Comp Release",
    "Comp Threshold", "Comp Ratio", "Makeup Gain", "Gate Bypass", "PrePost Gate", "Gate Attack", "Gate Release",
    "Gate Threshold", "Gate Hold", "Gate Range", "Space Bypass", "Space Width", "PEQ Bypass", "Low Gain",
    "Low Freq", "Low Band", "Mid Gain", "Mid Freq", "Mid Band", "Hi Gain", "Hi Freq", "Hi Band", "EQ Gain"};

// The first frame at which two outputs differ, or -1.
long firstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return mismatch.first == a.end() && mismatch.second == b.end() ? -1 : mismatch.first - a.begin();
}

// Sets a value and reads back its display text.
std::string shown(PluginHost& host, int index, float value)
{
    host.setParameter(index, value);
    return host.parameterDisplay(index);
}
}  // namespace

TEST_F(LoadedPlugin, NamesAndEmptyLabels)
{
    for (int i = 0; i < 52; ++i) {
        EXPECT_EQ(host->parameterName(i), kNames[i]);
        EXPECT_EQ(host->parameterLabel(i), "");
    }
    EXPECT_EQ(host->parameterLabel(52), "");
    EXPECT_EQ(host->parameterLabel(99), "");
}

TEST_F(LoadedPlugin, IndicesWithoutANameLeaveTheBufferUntouched)
{
    for (VstInt32 index : {52, 53, 60, -1}) {
        char text[64] = "untouched";
        host->dispatch(effGetParamName, index, 0, text);
        EXPECT_STREQ(text, "untouched") << index;
        host->dispatch(effGetParamDisplay, index, 0, text);
        EXPECT_STREQ(text, "untouched") << index;
    }
}

TEST_F(LoadedPlugin, PercentTextsTruncateTheFloat)
{
    EXPECT_EQ(shown(*host, kPresence, 0.7f), "69");
    EXPECT_EQ(shown(*host, kTreble, 0.89f), "88");
    EXPECT_EQ(shown(*host, kTreble, 0.2f), "20");
    EXPECT_EQ(shown(*host, kTreble, 0.05f), "05");
    EXPECT_EQ(shown(*host, kTreble, 0.0f), "00");
    EXPECT_EQ(shown(*host, kTreble, 1.0f), "100");
}

TEST_F(LoadedPlugin, SwitchTextsTestAboveZero)
{
    EXPECT_EQ(shown(*host, kPower, 0.3f), "On");
    EXPECT_EQ(shown(*host, kPower, 0.0f), "Off");
    EXPECT_EQ(shown(*host, kInputHiLow, 1.0f), "High");
    EXPECT_EQ(shown(*host, kInputHiLow, 0.0f), "Low");
    EXPECT_EQ(shown(*host, kPrePostComp, 1.0f), "Post");
    EXPECT_EQ(shown(*host, kPrePostGate, 0.0f), "Pre");
    EXPECT_EQ(shown(*host, kChorusPhaser, 1.0f), "Phaser");
    EXPECT_EQ(shown(*host, kChorusPhaser, 0.0f), "Chorus");
    EXPECT_EQ(shown(*host, kCenterPan, 0.01f), "Pan");
    EXPECT_EQ(shown(*host, kCenterPan, 0.0f), "Center");
}

TEST_F(LoadedPlugin, ScaledTexts)
{
    EXPECT_EQ(shown(*host, kEqGain, 0.5f), "0.0");
    EXPECT_EQ(shown(*host, kLowGain, 0.0f), "-15.0");
    EXPECT_EQ(shown(*host, kHiGain, 1.0f), "15.0");
    EXPECT_EQ(shown(*host, kDelaySpeed, 0.0f), "5.000");
    EXPECT_EQ(shown(*host, kDelaySpeed, 1.0f), "650.000");
    EXPECT_EQ(shown(*host, kLowFreq, 0.5f), "325");
    EXPECT_EQ(shown(*host, kMidFreq, 0.5f), "2200");
    EXPECT_EQ(shown(*host, kHiFreq, 0.5f), "7000");
    EXPECT_EQ(shown(*host, kLowBand, 0.5f), "112");
    EXPECT_EQ(shown(*host, kAmplifier, 1.0f / 19.0f), "0.05");
    EXPECT_EQ(shown(*host, kHiFreq, 1.0f), "12000");
    EXPECT_EQ(shown(*host, kMidBand, 1.0f), "200");
}

TEST_F(LoadedPlugin, DisplayTextsFitTheNominalBuffer)
{
    const float values[] = {0.0f, 0.001f, 0.33f, 0.4999f, 0.5f, 0.7f, 0.999f, 1.0f};
    for (int i = 0; i < 52; ++i)
        for (float v : values)
            EXPECT_LT(shown(*host, i, v).size(), static_cast<size_t>(kVstMaxParamStrLen)) << i << " at " << v;
}

TEST_F(LoadedPlugin, EditorPageStoresAThresholdedSetting)
{
    host->setParameter(kEditorPage, 0.7f);
    EXPECT_EQ(host->getParameter(kEditorPage), 1.0f);
    host->setParameter(kEditorPage, 0.49f);
    EXPECT_EQ(host->getParameter(kEditorPage), 0.0f);
}

TEST(Parameters, IndicesOutsideTheSetChangeNothing)
{
    // Two instances on the same program; one is sent every out-of-range index with the
    // values 0, 0.5 and 1. After each call the two must agree in everything a host sees:
    // the 53 values, every program name, the readings at 53 and above, and the sound.
    auto probed = loadPlugin();
    auto untouched = loadPlugin();
    ASSERT_TRUE(probed && untouched);
    constexpr int kProgram = 58;  // cabinet, drive, chorus, delay and tremolo all on
    probed->setProgram(kProgram);
    untouched->setProgram(kProgram);

    constexpr std::size_t kFrames = 8192;
    std::vector<float> in(kFrames), silence(kFrames, 0.0f);
    for (std::size_t i = 0; i < kFrames; ++i)
        in[i] = 0.4f * std::sin(0.02f * static_cast<float>(i)) * std::exp(-static_cast<float>(i % 4096) / 2000.0f);
    std::vector<float> probedLeft(kFrames), probedRight(kFrames), left(kFrames), right(kFrames);

    const VstInt32 outside[] = {53, 54, 55, 56, 60, 1000, std::numeric_limits<VstInt32>::max(), -1, -53,
                                std::numeric_limits<VstInt32>::min()};
    for (VstInt32 index : outside) {
        for (float value : {0.0f, 0.5f, 1.0f}) {
            SCOPED_TRACE(testing::Message() << "setParameter(" << index << ", " << value << ")");
            probed->setParameter(index, value);
            for (int i = 0; i < kNumParameters; ++i)
                EXPECT_EQ(probed->getParameter(i), untouched->getParameter(i)) << "value " << i;
            EXPECT_EQ(probed->programName(), untouched->programName());
            for (int p = 0; p < kNumPrograms; ++p) {
                std::string a, b;
                EXPECT_TRUE(probed->programNameIndexed(p, a) && untouched->programNameIndexed(p, b));
                EXPECT_EQ(a, b) << "program " << p;
            }
            EXPECT_EQ(probed->getParameter(53), 0.0f);
            EXPECT_EQ(probed->getParameter(60), 0.0f);
            EXPECT_EQ(probed->getParameter(-1), 0.0f);
            // Long enough for a switch fade to move: 16 blocks.
            probed->processStereo(in.data(), silence.data(), probedLeft.data(), probedRight.data(), kFrames, 512);
            untouched->processStereo(in.data(), silence.data(), left.data(), right.data(), kFrames, 512);
            EXPECT_EQ(firstDifference(probedLeft, left), -1) << "left output";
            EXPECT_EQ(firstDifference(probedRight, right), -1) << "right output";
            if (HasFailure())
                return;  // every side effect of the first offending call is reported
        }
    }
    EXPECT_EQ(probed->programName(), "Pandemonium");
    float level = 0.0f;
    for (float v : left)
        level = std::max(level, std::fabs(v));
    EXPECT_GT(level, 0.01f) << "the comparison needs sound to compare";
}

TEST_F(LoadedPlugin, MetersReadOneWhileTheirBlocksAreOff)
{
    EXPECT_EQ(host->getParameter(kCompressorMeterIndex), 1.0f);
    EXPECT_EQ(host->getParameter(kGateMeterIndex), 1.0f);
}

TEST_F(LoadedPlugin, NonFiniteValuesChangeNothing)
{
    host->setParameter(kDrive, 0.25f);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()}) {
        host->setParameter(kDrive, bad);
        EXPECT_EQ(host->getParameter(kDrive), 0.25f);
        host->setParameter(kEditorPage, bad);
        EXPECT_EQ(host->getParameter(kEditorPage), 0.0f);
    }
}

TEST_F(LoadedPlugin, OutOfRangeValuesAreClamped)
{
    host->setParameter(kVolume, 1.5f);
    EXPECT_EQ(host->getParameter(kVolume), 1.0f);
    EXPECT_EQ(host->parameterDisplay(kVolume), "100");
    host->setParameter(kLowGain, -3.0f);
    EXPECT_EQ(host->getParameter(kLowGain), 0.0f);
    EXPECT_EQ(host->parameterDisplay(kLowGain), "-15.0");
}

TEST_F(LoadedPlugin, ValuesAreStoredIntoTheCurrentProgram)
{
    host->setProgram(5);
    host->setParameter(kTreble, 0.13f);
    host->setParameter(kEditorPage, 0.7f);
    host->setProgram(6);
    host->setProgram(5);
    EXPECT_EQ(host->getParameter(kTreble), 0.13f);
    EXPECT_EQ(host->getParameter(kEditorPage), 1.0f) << "0.7 was stored in the program, 1 applied again";
}
