// The checking side of the third-party host tests: the test input, the alignment and the
// difference measure, the sound files, and the reference render through the built plug-in.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

#include "tools/korvalex-host-compare/GuitarTestSignal.h"
#include "tools/korvalex-host-compare/ReferenceRender.h"
#include "tools/korvalex-host-compare/RenderComparison.h"
#include "tools/korvalex-host-compare/SoundFiles.h"

namespace {

constexpr double kRate = 44100.0;

// Magnitude of the DFT of `x[first, first + count)` at `frequency`, scaled to the
// amplitude of a sine of that frequency.
double toneAmplitude(const std::vector<float>& x, std::size_t first, std::size_t count, double frequency)
{
    double re = 0.0, im = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double phase = 2.0 * M_PI * frequency * double(i) / kRate;
        re += double(x[first + i]) * std::cos(phase);
        im -= double(x[first + i]) * std::sin(phase);
    }
    return 2.0 * std::hypot(re, im) / double(count);
}

std::vector<float> shifted(const std::vector<float>& x, long by)
{
    std::vector<float> y(x.size(), 0.0f);
    for (long i = 0; i < static_cast<long>(x.size()); ++i)
        if (i - by >= 0 && i - by < static_cast<long>(x.size()))
            y[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(i - by)];
    return y;
}

// Two seconds of the test input, the channels as the comparison sees them.
Channels shortSignal()
{
    GuitarTestSignalShape shape;
    shape.seconds = 2.0;
    shape.chordStart = 0.5;
    shape.tailSeconds = 0.25;
    const StereoSignal s = makeGuitarTestSignal(shape);
    return {s.left, s.right};
}

std::string pluginPath()
{
    const char* path = std::getenv("KORVALEX_PLUGIN");
    return path ? path : "korvalex.so";
}

}  // namespace

TEST(GuitarTestSignal, HasTheStatedShape)
{
    const StereoSignal s = makeGuitarTestSignal();
    ASSERT_EQ(s.left.size(), 220500u);
    ASSERT_EQ(s.right.size(), 220500u);

    // Peak 0.4 on each channel.
    auto peak = [](const std::vector<float>& x) {
        float p = 0.0f;
        for (float v : x)
            p = std::max(p, std::fabs(v));
        return p;
    };
    EXPECT_NEAR(peak(s.left), 0.4f, 1e-6f);
    EXPECT_NEAR(peak(s.right), 0.4f, 1e-6f);

    // The last second is exact silence; the chord starts at 1.5 s, not before.
    for (std::size_t i = 176400; i < s.left.size(); ++i)
        ASSERT_TRUE(s.left[i] == 0.0f && s.right[i] == 0.0f) << "frame " << i;
    for (std::size_t i = 0; i < 66150; ++i)
        ASSERT_EQ(s.right[i], 0.0f) << "frame " << i;
    EXPECT_GT(peak(std::vector<float>(s.right.begin() + 66150, s.right.begin() + 66150 + 4410)), 0.1f);

    // The left channel is a 110 Hz string: its fundamental is far above its neighbours'
    // frequencies (measured over 0.1 s, ten whole periods, from 0.1 s in).
    const double at110 = toneAmplitude(s.left, 4410, 4410, 110.0);
    EXPECT_GT(at110, 0.05);
    EXPECT_LT(toneAmplitude(s.left, 4410, 4410, 150.0), 0.1 * at110);
    // ... and it decays: half a second later the fundamental is weaker.
    EXPECT_LT(toneAmplitude(s.left, 26460, 4410, 110.0), 0.6 * at110);
}

TEST(GuitarTestSignal, IsDeterministic)
{
    const StereoSignal a = makeGuitarTestSignal();
    const StereoSignal b = makeGuitarTestSignal();
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
}

TEST(RenderComparison, FindsTheHostOffsetInsideTheWindow)
{
    const Channels reference = shortSignal();
    for (long offset : {0L, 1L, 37L, -5L, -300L, 1024L}) {
        const Channels rendered = {shifted(reference[0], offset), shifted(reference[1], offset)};
        const Alignment a = findAlignment(reference, rendered, 2048);
        EXPECT_EQ(a.offset, offset);
        // The shifted copy loses the frames moved past either end, a tiny part of the energy.
        EXPECT_GT(a.correlation, 0.99) << "offset " << offset;
    }
}

TEST(RenderComparison, AnOffsetBeyondTheWindowIsNotFoundAndFails)
{
    const Channels reference = shortSignal();
    const Channels rendered = {shifted(reference[0], 3000), shifted(reference[1], 3000)};
    const Alignment a = findAlignment(reference, rendered, 2048);
    EXPECT_LE(std::labs(a.offset), 2048);
    EXPECT_NE(a.offset, 3000);
    EXPECT_GT(relativeRmsError(reference, rendered, a.offset), 0.5);
}

TEST(RenderComparison, RelativeErrorOfKnownDifferences)
{
    const Channels reference = shortSignal();
    EXPECT_EQ(relativeRmsError(reference, reference, 0), 0.0);

    // A gain of 1 + e gives a relative error of exactly e.
    Channels louder = reference;
    for (auto& c : louder)
        for (float& v : c)
            v = static_cast<float>(double(v) * 1.001);
    EXPECT_NEAR(relativeRmsError(reference, louder, 0), 1e-3, 1e-6);

    // Inverted polarity: error 2, and the correlation says so.
    Channels inverted = reference;
    for (auto& c : inverted)
        for (float& v : c)
            v = -v;
    EXPECT_NEAR(relativeRmsError(reference, inverted, 0), 2.0, 1e-9);
    EXPECT_LT(findAlignment(reference, inverted, 0).correlation, -0.99);
}

TEST(RenderComparison, MissingExtraAndNonFiniteAudioCountAsError)
{
    const Channels reference = shortSignal();

    // The host dropped the first 100 frames (everything else in place): their energy is the
    // error.
    Channels late = reference;
    double dropped = 0.0, total = 0.0;
    for (auto& c : late) {
        for (std::size_t i = 0; i < c.size(); ++i) {
            total += double(c[i]) * c[i];
            if (i < 100) {
                dropped += double(c[i]) * c[i];
                c[i] = 0.0f;
            }
        }
    }
    EXPECT_NEAR(relativeRmsError(reference, late, 0), std::sqrt(dropped / total), 1e-9);

    // A rendered file that is longer, with sound after the reference ends, is wrong too.
    Channels longer = reference;
    for (auto& c : longer)
        c.push_back(0.5f);
    EXPECT_NEAR(relativeRmsError(reference, longer, 0), std::sqrt(2 * 0.25 / total), 1e-9);
    // ... but silent padding is not.
    Channels padded = reference;
    for (auto& c : padded)
        c.resize(c.size() + 500, 0.0f);
    EXPECT_EQ(relativeRmsError(reference, padded, 0), 0.0);

    Channels broken = reference;
    broken[1][1000] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isinf(relativeRmsError(reference, broken, 0)));

    const Channels silence = {std::vector<float>(64, 0.0f), std::vector<float>(64, 0.0f)};
    const Channels click = {std::vector<float>(64, 0.0f), std::vector<float>(64, 1e-3f)};
    EXPECT_EQ(relativeRmsError(silence, silence, 0), 0.0);
    EXPECT_TRUE(std::isinf(relativeRmsError(silence, click, 0)));
    EXPECT_EQ(findAlignment(silence, click, 16).correlation, 0.0);

    // Different channel counts never compare equal.
    EXPECT_TRUE(std::isinf(relativeRmsError(reference, Channels{reference[0]}, 0)));
}

TEST(SoundFiles, FloatWavRoundTripIsExact)
{
    char folder[] = "/tmp/korvalex-host-compare-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string left = std::string(folder) + "/left.wav";
    const std::string right = std::string(folder) + "/right.wav";
    const Channels signal = shortSignal();
    std::string error;
    ASSERT_TRUE(writeMonoFloatWav(left, signal[0], 44100, error)) << error;
    ASSERT_TRUE(writeMonoFloatWav(right, signal[1], 48000, error)) << error;

    SoundData data;
    ASSERT_TRUE(appendSoundFile(left, data, error)) << error;
    EXPECT_EQ(data.sampleRate, 44100);
    ASSERT_EQ(data.channels.size(), 1u);
    EXPECT_EQ(data.channels[0], signal[0]);

    // A second file at another rate is refused and leaves the data as it was.
    EXPECT_FALSE(appendSoundFile(right, data, error));
    EXPECT_NE(error.find("48000"), std::string::npos) << error;
    EXPECT_EQ(data.channels.size(), 1u);

    EXPECT_FALSE(appendSoundFile(std::string(folder) + "/missing.wav", data, error));
    EXPECT_NE(error.find("missing.wav"), std::string::npos);

    std::remove(left.c_str());
    std::remove(right.c_str());
    rmdir(folder);
}

TEST(ReferenceRender, IsRepeatableAndProcessesBothInputs)
{
    const Channels input = shortSignal();
    ReferenceSettings settings;
    settings.program = 53;
    settings.blockSize = 8192;
    Channels first, second, leftOnly;
    std::string error;
    ASSERT_TRUE(renderReference(pluginPath(), settings, input[0], input[1], first, error)) << error;
    ASSERT_TRUE(renderReference(pluginPath(), settings, input[0], input[1], second, error)) << error;
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(first[0].size(), input[0].size());
    EXPECT_EQ(first, second);
    EXPECT_GT(rms(first), 1e-3);
    EXPECT_GT(relativeRmsError(input, first, 0), 0.05);

    // The right input (the chord) is heard: without it the render differs.
    const std::vector<float> silence(input[1].size(), 0.0f);
    ASSERT_TRUE(renderReference(pluginPath(), settings, input[0], silence, leftOnly, error)) << error;
    EXPECT_GT(relativeRmsError(first, leftOnly, 0), 0.1);
}

TEST(ReferenceRender, ProgramsAndBlockSizesAreChecked)
{
    const Channels input = shortSignal();
    Channels out;
    std::string error;
    ReferenceSettings settings;
    settings.program = 82;
    EXPECT_FALSE(renderReference(pluginPath(), settings, input[0], input[1], out, error));
    EXPECT_NE(error.find("82"), std::string::npos) << error;
    settings.program = -1;
    EXPECT_FALSE(renderReference(pluginPath(), settings, input[0], input[1], out, error));
    settings.program = 0;
    settings.blockSize = 0;
    EXPECT_FALSE(renderReference(pluginPath(), settings, input[0], input[1], out, error));

    std::vector<float> values;
    std::string name;
    ASSERT_TRUE(readProgram(pluginPath(), 58, values, name, error)) << error;
    EXPECT_EQ(values.size(), 53u);
    EXPECT_EQ(name, "Pandemonium");
    EXPECT_EQ(values[1], 1.0f);   // bank B
    EXPECT_EQ(values[20], 1.0f);  // the delay is on
}

TEST(ReferenceRender, TheBlockSizeMattersAtTheStart)
{
    // Switch fades run over a number of processing blocks, so a host's block size shapes
    // the first blocks of a render: the reference must use the host's.
    const Channels input = shortSignal();
    ReferenceSettings settings;
    settings.program = 0;
    Channels small, large;
    std::string error;
    settings.blockSize = 1024;
    ASSERT_TRUE(renderReference(pluginPath(), settings, input[0], input[1], small, error)) << error;
    settings.blockSize = 8192;
    ASSERT_TRUE(renderReference(pluginPath(), settings, input[0], input[1], large, error)) << error;
    EXPECT_GT(relativeRmsError(large, small, 0), 1e-2);
}
