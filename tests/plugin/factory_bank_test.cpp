// Checks the factory bank as data: names, the four programs fixed value by value, the value
// grid, the most common value of every column, and that each program switches on what its
// name promises.

#include "plugin/FactoryBank.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstddef>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>

namespace {

// The float closest to an exact value (the long double carries the value with far more
// precision than a float needs, and both neighbours are compared to be sure).
float nearestFloat(long double exact)
{
    float best = static_cast<float>(exact);
    for (float neighbour : {std::nextafter(best, -1.0f), std::nextafter(best, 2.0f)}) {
        if (std::fabs(static_cast<long double>(neighbour) - exact) <
            std::fabs(static_cast<long double>(best) - exact)) {
            best = neighbour;
        }
    }
    return best;
}

float amplifierValue(int position) { return nearestFloat(position / 19.0L); }

// The menu position as the engine reads it: the product rounded to a float, then truncated.
int amplifierPosition(float value) { return static_cast<int>(static_cast<float>(value * 19.0f)); }

int family(float amplifierSetting) { return amplifierPosition(amplifierSetting) / 3; }

bool contains(const char* name, const char* word)
{
    std::string lowerName(name);
    std::string lowerWord(word);
    for (char& c : lowerName) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : lowerWord) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lowerName.find(lowerWord) != std::string::npos;
}

bool containsAny(const char* name, std::initializer_list<const char*> words)
{
    for (const char* w : words) {
        if (contains(name, w)) return true;
    }
    return false;
}

const std::array<const char*, kNumPrograms> kExpectedNames = {
    "Basic Classic Clean", "Basic Classic Clean Chorus", "Basic Classic Lead",
    "Basic Classic Lead Dly", "Basic Combo Crunchy", "Basic Combo Lead", "Basic Combo Lead Dly",
    "Basic Combo Phaser", "Basic Modern Clean", "Basic Modern Lead", "Basic Modern Lead Dly",
    "Basic Modern Tremolo", "Basic Rectified CrunchComp", "Basic Rectified Lead",
    "Basic Rectified Lead Dly", "Basic Rectified Phazer", "Basic Super Clean Imager",
    "Basic Super Clean ImgComp", "Basic Super Lead", "Basic Super Lead Dly", "Basic Tweed Clean",
    "Basic Tweed Clean Chorus", "Basic Tweed CleanComp", "Basic Tweed Lead",
    "Basic Tweed Lead Dly", "Bluesy crunch", "Classic Lead Delay", "Clean 2x12 Chorus",
    "Clean Chorus 1", "Clean Chorus 2", "Clean Imager Phaser", "Clean Pan Chorus", "Combo Edge",
    "Combo Heavy Chorus", "Combo Heavy Rhythm", "Combo Lead 1", "Combo Lead 2",
    "Combo Lead Delay", "Crunch Tremolo", "Crunchy", "Crunchy Chorus Swells", "Crunchy Funky",
    "Crunchy Verby Tremolo", "Dark Lead Delay", "Driven", "Edgy 'Verb", "Fast Middy Chorus",
    "Fuzz", "Grind", "Heavy Chorus", "Heavy Modern Phaser", "Heavy Tweed Imager",
    "Lead 2x12 Tweed", "Lead Chorus Imager", "Loop", "Modern Heavy Rhythm", "Modern Lead 1",
    "Modern Lead 2", "Pandemonium", "Phaser Clean", "Phaser Funk", "Phaser Wash",
    "Phaser's Edge", "Phasey Auto-Pan", "Phone", "Rectified Lead 1", "Rectified Lead 2",
    "Rectified Lead 3", "Rectified Lead Delay", "Run Delay", "Slapback", "Solo Drive",
    "Squashed Classic", "Super Lead 1", "Super Lead 2", "Super Lead 3", "Super Lead Imager",
    "Super Rich", "Tremdelay Phasy", "Tremoluxe", "Tweed Echo", "Tweed Lead",
};

constexpr int kTwoState[] = {kPower,        kBankAB,      kInputHiLow,   kTremoloBypass, kCenterPan,
                             kChorusBypass, kChorusPhaser, kDelayBypass, kCompBypass,    kPrePostComp,
                             kGateBypass,   kPrePostGate,  kSpaceBypass, kPeqBypass};

bool isTwoState(int index)
{
    for (int i : kTwoState) {
        if (i == index) return true;
    }
    return false;
}

const float* values(int program) { return kFactoryBank[program].values; }

bool on(int program, int index) { return values(program)[index] == 1.0f; }

}  // namespace

TEST(FactoryBank, NamesInOrderAndFitTheProgramRecord)
{
    for (int p = 0; p < kNumPrograms; ++p) {
        ASSERT_NE(kFactoryBank[p].name, nullptr) << p;
        EXPECT_STREQ(kFactoryBank[p].name, kExpectedNames[p]) << "program " << p;
        EXPECT_LE(std::strlen(kFactoryBank[p].name), 27u) << kFactoryBank[p].name;
    }
}

TEST(FactoryBank, FourProgramsHoldTheirPublishedValues)
{
    struct Fixed {
        int program;
        std::array<float, kNumPanelParameters> values;
    };
    const Fixed fixed[] = {
        {0,
         {1, 0, 1, 0.5f, 0.7f, 0.89f, 0.38f, 0.7f, 0, 0, amplifierValue(1), 0, 0, 0.2f, 0.5f, 0, 0,
          0.1f, 0.5f, 0.2f, 0, 0.2f, 0.4f, 1, 0.3f, 0, 0, 0, 0.1f, 0.5f, 0.2f, 0.5f, 0, 0, 0, 0.1f,
          0.5f, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
        {47,
         {1, 1, 0, 0.5f, 0.21f, 0.71f, 0, 0.5f, 0, 0.81f, amplifierValue(10), 0, 0, 0.61f, 0.41f, 0,
          1, 0.06f, 0.36f, 0.97f, 0, 0.2f, 0.32f, 1, 0.15f, 0, 0, 0, 0.96f, 0.8f, 0.38f, 0.54f, 1,
          0, 0, 0.3f, 0.68f, 0, 1, 0, 1, 1, 0.8f, 0.94f, 0.97f, 0.44f, 0.12f, 0.5f, 0.66f, 0.33f,
          0.5f, 0.5f}},
        {58,
         {1, 1, 1, 0.7f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0.71f, amplifierValue(15), 1, 1, 0.64f, 0.69f,
          1, 1, 0, 1, 0.97f, 1, 0.22f, 0.32f, 1, 0.63f, 1, 0, 0, 0.96f, 0.8f, 0.38f, 0.54f, 0, 0,
          0, 0.1f, 0.49f, 0, 1, 0, 1, 0, 0.77f, 0.43f, 0.77f, 0.33f, 0.77f, 0.77f, 0.71f, 0.57f,
          0.5f, 0.5f}},
        {64,
         {1, 0, 0, 0.5f, 0, 0.87f, 0.9f, 0, 0, 0.5f, amplifierValue(2), 0, 0, 0.2f, 0.5f, 1, 0,
          0.12f, 0.13f, 0.21f, 0, 0.2f, 0.12f, 0.02f, 0.3f, 1, 0, 0, 0.1f, 0.5f, 0.2f, 0.5f, 0, 0,
          0, 0.1f, 0.5f, 0, 0.5f, 0, 0.5f, 1, 0, 0.2f, 1, 0.79f, 0.41f, 0.76f, 0, 0.6f, 1, 0.5f}},
    };
    for (const Fixed& f : fixed) {
        for (int i = 0; i < kNumPanelParameters; ++i) {
            EXPECT_EQ(values(f.program)[i], f.values[i])
                << kFactoryBank[f.program].name << ", parameter " << i;
        }
    }
}

TEST(FactoryBank, AmplifierEncodingReadsBackAsItsPosition)
{
    // The float nearest k/19 must land on position k when the engine multiplies by 19 and
    // truncates, including the positions whose float lies just below k/19.
    for (int k = 0; k <= 19; ++k) {
        const float v = amplifierValue(k);
        EXPECT_EQ(amplifierPosition(v), k) << k;
        const bool below = static_cast<long double>(v) < k / 19.0L;
        const bool expectBelow = k == 3 || k == 6 || k == 7 || k == 11 || k == 12 || k == 14 ||
                                 k == 17;
        if (k <= 17) {
            EXPECT_EQ(below, expectBelow) << k;
        }
    }
}

TEST(FactoryBank, EveryValueIsOnItsGrid)
{
    for (int p = 0; p < kNumPrograms; ++p) {
        const char* name = kFactoryBank[p].name;
        EXPECT_EQ(values(p)[kPower], 1.0f) << name;
        EXPECT_EQ(values(p)[kPrePostGate], 0.0f) << name;
        for (int i = 0; i < kNumPanelParameters; ++i) {
            const float v = values(p)[i];
            if (isTwoState(i)) {
                EXPECT_TRUE(v == 0.0f || v == 1.0f) << name << ", parameter " << i << " = " << v;
            } else if (i == kAmplifier) {
                const int k = static_cast<int>(std::lround(v * 19.0));
                EXPECT_GE(k, 0) << name;
                EXPECT_LE(k, 17) << name;
                EXPECT_EQ(v, amplifierValue(k)) << name;
            } else {
                ASSERT_GE(v, 0.0f) << name << ", parameter " << i;
                ASSERT_LE(v, 1.0f) << name << ", parameter " << i;
                const long n = std::lround(v * 100.0);
                EXPECT_EQ(v, nearestFloat(n / 100.0L)) << name << ", parameter " << i << " = " << v;
            }
        }
    }
}

TEST(FactoryBank, MostCommonValueOfEachColumnAndItsCount)
{
    struct Mode {
        int index;
        float value;
        int programs;
    };
    const Mode modes[] = {
        {kPower, 1, 82},           {kBankAB, 0, 48},          {kInputHiLow, 1, 47},
        {kVolume, 0.5f, 64},       {kPresence, 0.5f, 10},     {kTreble, 0.78f, 10},
        {kMiddle, 0.5f, 22},       {kBass, 0.5f, 17},         {kReverb, 0, 76},
        {kDrive, 0, 23},           {kAmplifier, amplifierValue(10), 10},
        {kTremoloBypass, 0, 73},   {kCenterPan, 0, 74},       {kTremoloSpeed, 0.2f, 69},
        {kTremoloDepth, 0.5f, 71}, {kChorusBypass, 0, 53},    {kChorusPhaser, 0, 63},
        {kChorusSpeed, 0.1f, 55},  {kChorusDepth, 0.5f, 53},  {kChorusMix, 0.2f, 46},
        {kDelayBypass, 0, 41},     {kDelaySpeed, 0.2f, 64},   {kDelaySustain, 0.4f, 56},
        {kDelayWidth, 1, 74},      {kDelayMix, 0.3f, 54},     {kCompBypass, 0, 51},
        {kPrePostComp, 0, 81},     {kCompAttack, 0, 80},      {kCompRelease, 0.1f, 68},
        {kCompThreshold, 0.5f, 57}, {kCompRatio, 0.2f, 66},   {kMakeupGain, 0.5f, 66},
        {kGateBypass, 0, 62},      {kPrePostGate, 0, 82},     {kGateAttack, 0, 81},
        {kGateRelease, 0.1f, 71},  {kGateThreshold, 0.5f, 64}, {kGateHold, 0, 80},
        {kGateRange, 0.5f, 67},    {kSpaceBypass, 0, 68},     {kSpaceWidth, 0.5f, 65},
        {kPeqBypass, 0, 51},       {kLowGain, 0.5f, 55},      {kLowFreq, 0.5f, 59},
        {kLowBand, 0.5f, 62},      {kMidGain, 0.5f, 52},      {kMidFreq, 0.5f, 56},
        {kMidBand, 0.5f, 65},      {kHiGain, 0.5f, 57},       {kHiFreq, 0.5f, 60},
        {kHiBand, 0.5f, 76},       {kEqGain, 0.5f, 76},
    };
    ASSERT_EQ(sizeof(modes) / sizeof(modes[0]), static_cast<std::size_t>(kNumPanelParameters));
    for (int m = 0; m < kNumPanelParameters; ++m) {
        const Mode& mode = modes[m];
        ASSERT_EQ(mode.index, m);
        std::map<float, int> counts;
        for (int p = 0; p < kNumPrograms; ++p) ++counts[values(p)[mode.index]];
        EXPECT_EQ(counts[mode.value], mode.programs) << "parameter " << m;
        for (const auto& [value, count] : counts) {
            if (value == mode.value) continue;
            // Delay Bypass is on in as many programs as it is off; every other column has a
            // single most common value.
            if (mode.index == kDelayBypass) {
                EXPECT_LE(count, mode.programs) << "parameter " << m << ", value " << value;
            } else {
                EXPECT_LT(count, mode.programs) << "parameter " << m << ", value " << value;
            }
        }
    }
}

TEST(FactoryBank, AmplifierFamilyFollowsTheName)
{
    const char* families[] = {"Classic", "Modern", "Combo", "Tweed", "Super", "Rectified"};
    for (int p = 0; p < kNumPrograms; ++p) {
        const char* name = kFactoryBank[p].name;
        int named = 0;
        for (int f = 0; f < 6; ++f) {
            if (contains(name, families[f])) {
                ++named;
                EXPECT_EQ(family(values(p)[kAmplifier]), f) << name;
            }
        }
        EXPECT_LE(named, 1) << name;
    }
    // "2x12" names pick an amplifier whose menu entry is a 2x12 cabinet: Combo or Tweed B/C.
    for (int p = 0; p < kNumPrograms; ++p) {
        if (!contains(kFactoryBank[p].name, "2x12")) continue;
        const int k = amplifierPosition(values(p)[kAmplifier]);
        EXPECT_TRUE(k == 7 || k == 8 || k == 10 || k == 11) << kFactoryBank[p].name;
    }
}

TEST(FactoryBank, DriveFollowsTheName)
{
    for (int p = 0; p < kNumPrograms; ++p) {
        const char* name = kFactoryBank[p].name;
        const float drive = values(p)[kDrive];
        if (contains(name, "Clean")) {
            EXPECT_EQ(drive, 0.0f) << name;
        }
        // Crunch sits low enough that softer picking cleans it up (tests/loudness measures
        // that); an edge is a little more driven.
        if (contains(name, "Crunch")) {
            EXPECT_GE(drive, 0.2f) << name;
            EXPECT_LE(drive, 0.35f) << name;
        }
        if (contains(name, "Edge") || contains(name, "Edgy")) {
            EXPECT_GE(drive, 0.3f) << name;
            EXPECT_LT(drive, 0.6f) << name;
        }
        if (containsAny(name, {"Lead", "Heavy", "Grind", "Drive", "Fuzz"})) {
            EXPECT_GE(drive, 0.5f) << name;
        }
    }
}

TEST(FactoryBank, EffectWordsSwitchOnTheirBlocks)
{
    for (int p = 0; p < kNumPrograms; ++p) {
        const char* name = kFactoryBank[p].name;
        const float* v = values(p);
        if (contains(name, "Chorus")) {
            EXPECT_TRUE(on(p, kChorusBypass)) << name;
            EXPECT_EQ(v[kChorusPhaser], 0.0f) << name;
            EXPECT_GE(v[kChorusDepth], 0.3f) << name;
            EXPECT_GE(v[kChorusMix], 0.25f) << name;
        }
        if (containsAny(name, {"Phaser", "Phazer", "Phasey", "Phasy"})) {
            EXPECT_TRUE(on(p, kChorusBypass)) << name;
            EXPECT_TRUE(on(p, kChorusPhaser)) << name;
            EXPECT_GE(v[kChorusMix], 0.25f) << name;
        }
        if (containsAny(name, {"Dly", "Delay", "Echo", "Slapback"})) {
            EXPECT_TRUE(on(p, kDelayBypass)) << name;
        }
        if (contains(name, "Slapback")) {
            EXPECT_LE(v[kDelaySpeed], 0.1f) << name;  // a short single repeat
            EXPECT_LE(v[kDelaySustain], 0.2f) << name;
        }
        if (contains(name, "Trem")) {
            EXPECT_TRUE(on(p, kTremoloBypass)) << name;
            EXPECT_EQ(v[kCenterPan], 0.0f) << name;
            EXPECT_GE(v[kTremoloDepth], 0.3f) << name;
        }
        if (contains(name, "Pan")) {
            EXPECT_TRUE(on(p, kTremoloBypass)) << name;
            EXPECT_TRUE(on(p, kCenterPan)) << name;
            EXPECT_GE(v[kTremoloDepth], 0.3f) << name;
        }
        if (contains(name, "Verb")) {
            EXPECT_GT(v[kReverb], 0.0f) << name;
        }
        if (containsAny(name, {"Imager", "Img"})) {
            EXPECT_TRUE(on(p, kSpaceBypass)) << name;
            EXPECT_GE(v[kSpaceWidth], 0.5f) << name;
        }
        if (containsAny(name, {"Comp", "Squashed"})) {
            EXPECT_TRUE(on(p, kCompBypass)) << name;
        }
    }
}

TEST(FactoryBank, BasicProgramsRunOnlyTheEffectsTheyName)
{
    for (int p = 0; p < kNumPrograms; ++p) {
        const char* name = kFactoryBank[p].name;
        if (std::strncmp(name, "Basic ", 6) != 0) continue;
        const float* v = values(p);
        EXPECT_EQ(on(p, kChorusBypass),
                  containsAny(name, {"Chorus", "Phaser", "Phazer"})) << name;
        EXPECT_EQ(on(p, kDelayBypass), contains(name, "Dly")) << name;
        EXPECT_EQ(on(p, kTremoloBypass), contains(name, "Tremolo")) << name;
        EXPECT_EQ(on(p, kCompBypass), contains(name, "Comp")) << name;
        EXPECT_EQ(on(p, kSpaceBypass), containsAny(name, {"Imager", "Img"})) << name;
        EXPECT_EQ(v[kReverb], 0.0f) << name;
        EXPECT_FALSE(on(p, kPeqBypass)) << name;
    }
}

TEST(FactoryBank, DelayVariantsAddOnlyTheDelay)
{
    // "Basic X Lead Dly" is "Basic X Lead" with the delay section switched on.
    for (int p = 0; p < kNumPrograms; ++p) {
        const std::string name = kFactoryBank[p].name;
        const std::string suffix = " Dly";
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        const std::string plain = name.substr(0, name.size() - suffix.size());
        int q = 0;
        while (q < kNumPrograms && plain != kFactoryBank[q].name) ++q;
        ASSERT_LT(q, kNumPrograms) << "no program " << plain;
        for (int i = 0; i < kNumPanelParameters; ++i) {
            if (i >= kDelayBypass && i <= kDelayMix) continue;
            EXPECT_EQ(values(p)[i], values(q)[i]) << name << ", parameter " << i;
        }
        EXPECT_FALSE(on(q, kDelayBypass)) << plain;
    }
}

TEST(FactoryBank, LevelsAndDelaysAreSensible)
{
    for (int p = 0; p < kNumPrograms; ++p) {
        const char* name = kFactoryBank[p].name;
        const float* v = values(p);
        // 0.5 is unity; the few programs that may leave it use it to even out the bank's
        // levels (tests/loudness), from -3 dB (0.35) to +6 dB (1.0).
        EXPECT_GE(v[kVolume], 0.35f) << name;
        if (v[kReverb] > 0.0f) {
            EXPECT_LE(v[kReverb], 0.6f) << name;
        }
        if (on(p, kDelayBypass) && std::strcmp(name, "Pandemonium") != 0) {
            EXPECT_GE(v[kDelayMix], 0.2f) << name;
            EXPECT_LE(v[kDelayMix], 0.4f) << name;
            EXPECT_GE(v[kDelaySustain], 0.1f) << name;
            EXPECT_LE(v[kDelaySustain], 0.8f) << name;  // repeats always die away
        }
        if (on(p, kGateBypass)) {
            EXPECT_GE(v[kDrive], 0.5f) << name;  // gates sit on high gain
        }
    }
}
