// Parameter names, labels, display texts and the host-facing rules of setting a value.

#include <cmath>
#include <limits>

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

TEST_F(LoadedPlugin, IndicesAbove52AreNotParameters)
{
    std::vector<float> before;
    for (int i = 0; i < 53; ++i)
        before.push_back(host->getParameter(i));
    for (VstInt32 index : {53, 54, 55, 60, 1000, -1})
        host->setParameter(index, 1.0f);
    for (int i = 0; i < 53; ++i)
        EXPECT_EQ(host->getParameter(i), before[i]) << i;
    EXPECT_EQ(host->getParameter(53), 0.0f);
    EXPECT_EQ(host->getParameter(60), 0.0f);
    EXPECT_EQ(host->getParameter(-1), 0.0f);
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
