// The MIDI map: which controller drives which parameter, how a controller's value becomes
// the parameter's, and what a map file may hold.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "live/MidiMap.h"
#include "plugin/Parameters.h"

namespace {

using live::MidiMap;

int parameterNamed(const std::string& name)
{
    for (int i = 0; i < kNumPanelParameters; ++i)
        if (name == kParameterTable[i].name)
            return i;
    return -1;
}

TEST(MidiMap, DefaultMapDrivesPedalsAndSwitches)
{
    struct Case {
        int cc, value;
        const char* parameter;  // nullptr: not mapped
        float expected;
    };
    const Case cases[] = {
        {7, 127, "Volume", 1.0f},          {7, 0, "Volume", 0.0f},
        {11, 64, "Volume", 64.0f / 127},   {4, 100, "Drive", 100.0f / 127},
        {81, 64, "Chorus Bypass", 1.0f},   {81, 63, "Chorus Bypass", 0.0f},
        {87, 127, "Bank A/B", 1.0f},       {20, 127, nullptr, 0.0f},
        {0, 5, nullptr, 0.0f},             {32, 5, nullptr, 0.0f},  // bank select is not a parameter
    };
    const MidiMap map = MidiMap::defaults();
    for (const Case& c : cases) {
        const int parameter = map.parameterFor(c.cc);
        if (!c.parameter) {
            EXPECT_EQ(parameter, -1) << "CC " << c.cc;
            continue;
        }
        ASSERT_EQ(parameter, parameterNamed(c.parameter)) << "CC " << c.cc;
        EXPECT_EQ(MidiMap::parameterValue(parameter, c.value), c.expected) << "CC " << c.cc << " = " << c.value;
    }
}

TEST(MidiMap, AmplifierStepsThroughItsPositions)
{
    const int amplifier = parameterNamed("Amplifier");
    EXPECT_EQ(MidiMap::parameterValue(amplifier, 0), 0.0f);
    EXPECT_EQ(MidiMap::parameterValue(amplifier, 127), 1.0f);  // BYPASS
    // 64 of 127 is nearest position 10 of 19: the menu's own value for it.
    EXPECT_EQ(MidiMap::parameterValue(amplifier, 64), static_cast<float>(10.0 / 19.0));
    // Every value is one of the menu's twenty: position k as the float nearest k / 19.
    for (int value = 0; value <= 127; ++value) {
        const float v = MidiMap::parameterValue(amplifier, value);
        const long position = std::lround(double(v) * 19.0);
        EXPECT_EQ(v, static_cast<float>(double(position) / 19.0)) << value;
    }
}

TEST(MidiMap, MapFilesReplaceTheDefaultsAndTheirMistakesAreNamed)
{
    struct Case {
        const char* text;
        const char* error;  // nullptr: read
    };
    const Case cases[] = {
        {"# my pedal board\n20 = treble   # expression 2\n\n 21=Delay Bypass\n", nullptr},
        {"20 Treble\n", "map:1: expected \"CC = parameter name\""},
        {"20 = Treble\n128 = Bass\n", "map:2: \"128\" is not a controller number"},
        {"-1 = Bass\n", "map:1: \"-1\" is not a controller number"},
        {"x = Bass\n", "map:1: \"x\" is not a controller number"},
        {"20 = Treble\n\n20 = Bass\n", "map:3: controller 20 is mapped already (line 1)"},
        {"20 = Loudness\n", "map:1: no parameter \"Loudness\""},
        {"20 = \n", "map:1: controller 20 names no parameter"},
        {"20 = Tre\n", "map:1: no parameter \"Tre\"; did you mean"},  // no beginnings: a map names parameters whole
    };
    for (const Case& c : cases) {
        MidiMap map = MidiMap::defaults();
        std::string error;
        const bool read = MidiMap::parse(c.text, "map", map, error);
        if (!c.error) {
            ASSERT_TRUE(read) << error;
            EXPECT_EQ(map.parameterFor(20), parameterNamed("Treble"));
            EXPECT_EQ(map.parameterFor(21), parameterNamed("Delay Bypass"));
            EXPECT_EQ(map.parameterFor(7), -1) << "the defaults are replaced, not added to";
            EXPECT_EQ(map.text(), "20 = Treble\n21 = Delay Bypass\n");
        } else {
            EXPECT_FALSE(read) << c.text;
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
            EXPECT_EQ(map.parameterFor(7), parameterNamed("Volume")) << "a failed read changes nothing";
        }
    }
}

}  // namespace
