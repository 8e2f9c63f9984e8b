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

// 16 blocks of 512 frames (long enough for a switch fade to move) of decaying tones on the
// left input: both output channels, one after the other.
std::vector<float> heard(PluginHost& host)
{
    constexpr std::size_t kFrames = 8192;
    std::vector<float> in(kFrames), silence(kFrames, 0.0f), left(kFrames), right(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i)
        in[i] = 0.3f * std::sin(0.02f * static_cast<float>(i)) * std::exp(-static_cast<float>(i % 2048) / 600.0f);
    host.processStereo(in.data(), silence.data(), left.data(), right.data(), kFrames, 512);
    left.insert(left.end(), right.begin(), right.end());
    return left;
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

TEST_F(LoadedPlugin, DisplayTextsFollowTheirRules)
{
    // The percent rule truncates the float (0.7 lies just below, "69"); the scaled rules.
    const struct {
        int index;
        float value;
        const char* text;
    } texts[] = {{kPresence, 0.7f, "69"},       {kTreble, 0.89f, "88"},        {kTreble, 0.2f, "20"},
                 {kTreble, 0.05f, "05"},        {kTreble, 0.0f, "00"},         {kTreble, 1.0f, "100"},
                 {kEqGain, 0.5f, "0.0"},        {kLowGain, 0.0f, "-15.0"},     {kHiGain, 1.0f, "15.0"},
                 {kDelaySpeed, 0.0f, "5.000"},  {kDelaySpeed, 1.0f, "650.000"}, {kLowFreq, 0.5f, "325"},
                 {kMidFreq, 0.5f, "2200"},      {kHiFreq, 0.5f, "7000"},       {kLowBand, 0.5f, "112"},
                 {kAmplifier, 1.0f / 19.0f, "0.05"}, {kHiFreq, 1.0f, "12000"}, {kMidBand, 1.0f, "200"}};
    for (const auto& t : texts)
        EXPECT_EQ(shown(*host, t.index, t.value), t.text) << "parameter " << t.index << " at " << t.value;
}

// Every switch at values strictly between 0 and 1 (0.5 above all) and at 0 and 1: its text
// names what its rule makes of the value, and the sound is that of 0 or 1 accordingly. Most
// switches count as on above 0 (Power, Input HiLow: exactly 0 is off); the crossfaded ones
// move only at exactly 0 or 1 and otherwise stay where they were; the equaliser runs its
// filters only at exactly 1 (at EQ Gain 0.5, its step is then unity).
TEST(Parameters, SwitchesBetweenZeroAndOneFollowTheirRules)
{
    enum class Rule { OnAboveZero, Holds, OnlyAtOne };
    const struct {
        int index;
        const char *on, *off;
        Rule rule;
    } switches[] = {
        {kPower, "On", "Off", Rule::OnAboveZero},          {kBankAB, "On", "Off", Rule::OnAboveZero},
        {kInputHiLow, "High", "Low", Rule::OnAboveZero},   {kCompBypass, "On", "Off", Rule::OnAboveZero},
        {kPrePostComp, "Post", "Pre", Rule::OnAboveZero},  {kGateBypass, "On", "Off", Rule::OnAboveZero},
        {kPrePostGate, "Post", "Pre", Rule::OnAboveZero},  {kTremoloBypass, "On", "Off", Rule::Holds},
        {kCenterPan, "Pan", "Center", Rule::Holds},        {kChorusBypass, "On", "Off", Rule::Holds},
        {kChorusPhaser, "Phaser", "Chorus", Rule::Holds},  {kDelayBypass, "On", "Off", Rule::Holds},
        {kSpaceBypass, "On", "Off", Rule::Holds},          {kPeqBypass, "On", "Off", Rule::OnlyAtOne}};
    // Every stage sounds: the compressor acting, the gate shut before the drive (27 dB down)
    // and open after it, drive, cabinet, equaliser bands.
    auto instance = [&](int index, float from) {
        auto host = loadPlugin();
        host->setProgram(58);
        for (auto [i, v] : {std::pair<int, float>{kCompBypass, 1.0f}, {kCompThreshold, 0.8f}, {kGateBypass, 1.0f},
                            {kPrePostGate, 0.0f}, {kGateThreshold, 0.9f}, {kGateRange, 0.3f}, {kDrive, 0.5f},
                            {kPeqBypass, 1.0f}, {kLowGain, 0.9f}, {kEqGain, 0.5f}, {kAmplifier, 4.0f / 19.0f},
                            {kInputHiLow, 1.0f}, {index, from}})
            host->setParameter(i, v);
        heard(*host);  // the fades settle
        return host;
    };
    for (const auto& s : switches) {
        for (float from : {0.0f, 1.0f}) {
            for (float value : {1e-6f, 0.5f, std::nextafter(1.0f, 0.0f), 0.0f, 1.0f}) {
                SCOPED_TRACE(testing::Message() << "parameter " << s.index << " from " << from << " to " << value);
                const bool holds = s.rule == Rule::Holds && value != 0.0f && value != 1.0f;
                const bool on = holds ? from == 1.0f : s.rule == Rule::OnlyAtOne ? value == 1.0f : value > 0.0f;
                auto probe = instance(s.index, from), same = instance(s.index, from), other = instance(s.index, from);
                EXPECT_EQ(shown(*probe, s.index, value), value > 0.0f ? s.on : s.off);
                if (!holds)  // (setting 1 again would clear a delay line that holding keeps)
                    same->setParameter(s.index, on ? 1.0f : 0.0f);
                other->setParameter(s.index, on ? 0.0f : 1.0f);
                const std::vector<float> expected = heard(*same);
                EXPECT_EQ(firstDifference(heard(*probe), expected), -1) << "heard as " << (on ? "on" : "off");
                EXPECT_NE(firstDifference(expected, heard(*other)), -1) << "the switch makes no difference here";
            }
        }
    }
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
    host->setParameter(kEditorPage, 0.5f);
    EXPECT_EQ(host->getParameter(kEditorPage), 1.0f);
    host->setParameter(kEditorPage, std::nextafter(0.5f, 0.0f));
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

    std::vector<float> sound;
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
            sound = heard(*untouched);
            EXPECT_EQ(firstDifference(heard(*probed), sound), -1) << "the sound";
            if (HasFailure())
                return;  // every side effect of the first offending call is reported
        }
    }
    EXPECT_EQ(probed->programName(), "Pandemonium");
    float level = 0.0f;
    for (float v : sound)
        level = std::max(level, std::fabs(v));
    EXPECT_GT(level, 0.01f) << "the comparison needs sound to compare";
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
