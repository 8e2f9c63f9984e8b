// The tuner's arithmetic: steady tones read as their note, with the offset in cents.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "live/Tuner.h"
#include "tools/korvalex-validate/TestSignal.h"

namespace {

using live::Tuner;
using live::TunerReading;

constexpr double kPi = 3.14159265358979323846;

double noteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

std::vector<float> sine(const Tuner& tuner, double frequency, double level = 0.5)
{
    std::vector<float> x(tuner.windowSize());
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(level * std::sin(2.0 * kPi * frequency * i / tuner.sampleRate() + 0.3));
    return x;
}

// A plucked string: twelve harmonics falling as 1/k, the higher ones dying away faster.
std::vector<float> pluckedString(const Tuner& tuner, double frequency)
{
    std::vector<float> x(tuner.windowSize());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = i / tuner.sampleRate();
        double s = 0.0;
        for (int k = 1; k <= 12 && k * frequency < tuner.sampleRate() / 2; ++k)
            s += 0.3 / k * std::exp(-t * (1.0 + k)) * std::sin(2.0 * kPi * frequency * k * t + k);
        x[i] = static_cast<float>(s);
    }
    return x;
}

TEST(Tuner, ReadsA110HzToneAsA2WithinACent)
{
    Tuner tuner(44100.0);
    const TunerReading r = tuner.analyse(sine(tuner, 110.0).data());
    ASSERT_TRUE(r.pitched);
    EXPECT_EQ(live::noteName(r.note), "A2");
    EXPECT_LT(std::fabs(r.cents), 0.1);  // well within the cent asked for
}

TEST(Tuner, OpenStringsOfStandardTuningReadZeroCents)
{
    struct String {
        int note;
        const char* name;
    };
    const String strings[] = {{40, "E2"}, {45, "A2"}, {50, "D3"}, {55, "G3"}, {59, "B3"}, {64, "E4"}};
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        Tuner tuner(rate);
        for (const String& s : strings) {
            const TunerReading r = tuner.analyse(pluckedString(tuner, noteFrequency(s.note)).data());
            ASSERT_TRUE(r.pitched) << s.name << " at " << rate;
            EXPECT_EQ(live::noteName(r.note), s.name) << rate;
            EXPECT_EQ(std::lround(r.cents), 0) << s.name << " at " << rate;
            EXPECT_LT(std::fabs(r.cents), 0.1) << s.name << " at " << rate;
        }
    }
}

TEST(Tuner, OffsetsHaveTheirSignAndSize)
{
    struct Tone {
        int note;
        double cents;
        const char* name;
    };
    // Sharp and flat, low and high, and the far ends of the guitar's range.
    const Tone tones[] = {{69, 7.0, "A4"}, {40, -30.0, "E2"}, {64, 45.0, "E4"}, {52, -12.5, "E3"},
                          {33, 3.0, "A1"}, {88, -4.0, "E6"}};
    Tuner tuner(44100.0);
    for (const Tone& t : tones) {
        const double frequency = noteFrequency(t.note) * std::pow(2.0, t.cents / 1200.0);
        const TunerReading r = tuner.analyse(pluckedString(tuner, frequency).data());
        ASSERT_TRUE(r.pitched) << t.name;
        EXPECT_EQ(live::noteName(r.note), t.name);
        EXPECT_NEAR(r.cents, t.cents, 0.1) << t.name;
    }
}

TEST(Tuner, SilenceNoiseAndAQuietHumShowNoPitch)
{
    Tuner tuner(44100.0);
    std::vector<float> silence(tuner.windowSize(), 0.0f);
    EXPECT_FALSE(tuner.analyse(silence.data()).pitched);
    std::vector<float> noise(tuner.windowSize());
    SplitMix64 random(3);
    for (float& n : noise)
        n = random.uniform(-0.3f, 0.3f);
    EXPECT_FALSE(tuner.analyse(noise.data()).pitched);
    EXPECT_FALSE(tuner.analyse(sine(tuner, 110.0, 0.001).data()).pitched);  // -60 dBFS: below the tuner's floor
    EXPECT_FALSE(tuner.analyse(sine(tuner, 30.0).data()).pitched);          // below the range
}

}  // namespace
