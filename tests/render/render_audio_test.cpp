// The built tool end to end: what comes out of the files it writes.

#include <cmath>
#include <filesystem>

#include "tests/render/RenderTool.h"

namespace {

constexpr int kCabinetDelay = 31;  // samples at 44100 Hz
constexpr float kSilence = 1e-6f;
const float kQuiet = static_cast<float>(std::pow(10.0, -90.0 / 20.0));  // where an automatic tail ends
constexpr std::size_t kFade = 441;    // every file's last 10 ms fade out
constexpr double kPi = 3.14159265358979323846;

float peakOf(const std::vector<float>& x, std::size_t begin, std::size_t end)
{
    float peak = 0.0f;
    for (std::size_t i = begin; i < end; ++i)
        peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

std::size_t peakIndex(const std::vector<float>& x)
{
    std::size_t best = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > std::fabs(x[best]))
            best = i;
    return best;
}

double decibels(double ratio)
{
    return 20.0 * std::log10(ratio);
}

}  // namespace

using RenderAudio = RenderToolTest;

TEST_F(RenderAudio, MonoFeedsBothInputsLikeDualMonoStereo)
{
    const std::vector<float> x = sine(44100, 220.0, 0.2, 0.2);
    write("mono.wav", monoAudio(44100, x));
    write("dual.wav", stereoAudio(44100, x, x));
    render({"--tail", "0", "--float", "mono.wav", "mono-out.wav"});
    render({"--tail", "0", "--float", "dual.wav", "dual-out.wav"});
    const Audio mono = read("mono-out.wav"), dual = read("dual-out.wav");
    EXPECT_EQ(mono.channels, 2);
    EXPECT_EQ(mono.frames(), x.size());
    EXPECT_EQ(mono.samples, dual.samples);
    EXPECT_GT(rms(mono.channel(0), 0, mono.frames()), 0.01);
}

TEST_F(RenderAudio, BothStereoChannelsReachThePlugin)
{
    // The plug-in sums its two inputs: opposite channels cancel, a channel alone does not.
    std::vector<float> x = sine(44100, 220.0, 0.2, 0.2), minus(x.size()), zero(x.size(), 0.0f);
    for (std::size_t i = 0; i < x.size(); ++i)
        minus[i] = -x[i];
    write("opposite.wav", stereoAudio(44100, x, minus));
    write("right.wav", stereoAudio(44100, zero, x));
    render({"--tail", "0", "--float", "opposite.wav", "opposite-out.wav"});
    render({"--tail", "0", "--float", "right.wav", "right-out.wav"});
    const Audio opposite = read("opposite-out.wav"), right = read("right-out.wav");
    EXPECT_LT(rms(opposite.channel(0), 0, opposite.frames()), 1e-6);
    EXPECT_GT(rms(right.channel(0), 0, right.frames()), 0.01);
}

TEST_F(RenderAudio, SineKeepsItsFrequencyAndLevelAtEveryInputRate)
{
    // The plug-in runs at 44100 Hz; other rates are converted there and back, so a tone
    // keeps its pitch and, through the same program, its level.
    double reference = 0.0;
    for (int rate : {44100, 48000, 96000}) {
        SCOPED_TRACE(rate);
        const std::vector<float> x = sine(rate, 1000.0, 0.5, 0.1);
        const std::string input = "sine" + std::to_string(rate) + ".wav";
        const std::string output = "out" + std::to_string(rate) + ".wav";
        write(input, monoAudio(rate, x));
        render({"--program", "0", "--tail", "0", "--float", input, output});
        const Audio out = read(output);
        ASSERT_EQ(out.rate, rate);
        ASSERT_EQ(out.frames(), x.size());
        // Past the switch-on transient, the steady part of the tone.
        const std::vector<float> left = out.channel(0);
        const std::vector<float> steady(left.begin() + rate / 10, left.end() - rate / 20);
        EXPECT_NEAR(dominantFrequency(steady, rate, 900.0, 1100.0), 1000.0, 0.5);
        const double level = rms(steady, 0, steady.size());
        if (rate == 44100)
            reference = level;
        EXPECT_NEAR(decibels(level / reference), 0.0, 0.5);
    }
}

TEST_F(RenderAudio, FormatsFollowTheExtension)
{
    write("in.flac", monoAudio(44100, sine(44100, 330.0, 0.2, 0.2), SF_FORMAT_FLAC | SF_FORMAT_PCM_24));
    render({"--tail", "0", "in.flac", "out.flac"});
    render({"--tail", "0", "in.flac", "out.wav"});
    render({"--tail", "0", "--float", "in.flac", "out.aiff"});
    const Audio flac = read("out.flac"), wav = read("out.wav"), aiff = read("out.aiff");
    EXPECT_EQ(flac.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(aiff.format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
    EXPECT_EQ(aiff.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
    EXPECT_EQ(flac.channels, 2);
    // The same render in each container, to the last bit of 24-bit samples.
    ASSERT_EQ(flac.samples.size(), wav.samples.size());
    ASSERT_EQ(aiff.samples.size(), wav.samples.size());
    const double lsb = 1.0 / (1 << 23);
    for (std::size_t i = 0; i < wav.samples.size(); ++i) {
        ASSERT_NEAR(flac.samples[i], wav.samples[i], 1.5 * lsb) << i;
        ASSERT_NEAR(aiff.samples[i], wav.samples[i], 1.5 * lsb) << i;
    }
}

TEST_F(RenderAudio, AlignmentRemovesTheCabinetDelay)
{
    std::vector<float> x(4410, 0.0f);
    x[200] = 0.5f;
    write("impulse.wav", monoAudio(44100, x));
    render({"--program", "0", "--tail", "0", "--float", "impulse.wav", "aligned.wav"});
    render({"--program", "0", "--tail", "0", "--float", "--no-align", "impulse.wav", "delayed.wav"});
    const std::vector<float> aligned = read("aligned.wav").channel(0), delayed = read("delayed.wav").channel(0);
    ASSERT_EQ(aligned.size(), x.size());
    ASSERT_EQ(delayed.size(), x.size());
    EXPECT_EQ(firstAbove(aligned, kSilence), 200);
    EXPECT_EQ(firstAbove(delayed, kSilence), 200 + kCabinetDelay);
    // Equal up to the last 10 ms, which fade out at the same place in both files.
    for (std::size_t i = 0; i + kCabinetDelay + kFade < x.size(); ++i)
        ASSERT_EQ(aligned[i], delayed[i + kCabinetDelay]) << i;
}

TEST_F(RenderAudio, AlignmentFollowsTheCabinetInAndOut)
{
    // An impulse at the very first sample comes out at sample 0 whether the cabinet is in
    // the chain (its delay removed) or out of it (Amplifier BYPASS, or Power off: nothing
    // to remove, so nothing is cut from the start).
    std::vector<float> x(4410, 0.0f);
    x[0] = 0.5f;
    write("impulse.wav", monoAudio(44100, x));
    const std::vector<std::vector<std::string>> chains = {
        {"--program", "0"}, {"--program", "0", "--set", "Amplifier=1"}, {"--program", "0", "--set", "Power=0"}};
    for (std::size_t c = 0; c < chains.size(); ++c) {
        SCOPED_TRACE(c);
        std::vector<std::string> args = chains[c];
        const std::string output = "out" + std::to_string(c) + ".wav";
        args.insert(args.end(), {"--tail", "0", "--float", "impulse.wav", output});
        render(args);
        const std::vector<float> y = read(output).channel(0);
        ASSERT_EQ(y.size(), x.size());
        EXPECT_EQ(firstAbove(y, kSilence), 0);
        EXPECT_GT(std::fabs(y[peakIndex(y)]), 0.05f);
    }
    // With Power off the plug-in passes the input sum: the impulse, doubled, in place.
    EXPECT_EQ(read("out2.wav").channel(0)[0], 1.0f);
}

TEST_F(RenderAudio, AutomaticTailLetsADelayRingOutAndEndsQuiet)
{
    // A short note into long, slowly fading repeats (Delay Speed 0.3, about 200 ms apart):
    // the default tail runs until the output has stayed under -90 dBFS for half a second,
    // well past the fixed two seconds the tool used to give.
    write("short.wav", monoAudio(44100, sine(44100, 220.0, 0.1, 0.3)));
    render({"--program", "0", "--set", "Delay Bypass=1", "--set", "Delay Mix=0.6", "--set", "Delay Sustain=0.7",
            "--set", "Delay Speed=0.3", "--float", "short.wav", "echo.wav"});
    const Audio stereo = read("echo.wav");
    const std::vector<float> echo = stereo.channel(0), right = stereo.channel(1);
    ASSERT_GT(echo.size(), 4410u + 2u * 44100u);
    // Repeats are still there two seconds after the note; the last half second is quiet on
    // both sides, and the frame just before it is not (the tail stopped where the repeats faded).
    EXPECT_GT(rms(echo, 4410 + 88200, 4410 + 88200 + 4410), 1e-5);
    const std::size_t lastLoud = echo.size() - 22050 - 1;
    EXPECT_LT(std::max(peakOf(echo, lastLoud + 1, echo.size()), peakOf(right, lastLoud + 1, echo.size())), kQuiet);
    EXPECT_GE(std::max(std::fabs(echo[lastLoud]), std::fabs(right[lastLoud])), kQuiet);
    EXPECT_EQ(echo.back(), 0.0f);

    // A clean program stops half a second (and a few milliseconds of decay) after the note;
    // "auto" is the default.
    render({"--program", "0", "short.wav", "default.wav"});
    render({"--program", "0", "--tail", "auto", "short.wav", "auto.wav"});
    const std::size_t frames = read("default.wav").frames();
    EXPECT_GE(frames, 4410u + 22050u);
    EXPECT_LT(frames, 4410u + 22050u + 2205u);
    EXPECT_EQ(read("auto.wav").frames(), frames);
}

TEST_F(RenderAudio, AutomaticTailStopsAfterThirtySeconds)
{
    // Delay Sustain 1 repeats for ever: the tail ends at its limit.
    write("short.wav", monoAudio(44100, sine(44100, 220.0, 0.1, 0.3)));
    render({"--program", "0", "--set", "Delay Bypass=1", "--set", "Delay Sustain=1", "short.wav", "endless.wav"});
    EXPECT_EQ(read("endless.wav").frames(), 4410u + 30u * 44100u);
}

TEST_F(RenderAudio, TheLastTenMillisecondsFadeOutAtEveryOutputRate)
{
    // A steady tone cut by a fixed tail (Power off: the output is the input's sum) against the
    // same tone rendered longer: their ratio is 1 up to the last 10 ms at the output rate and
    // then falls along a raised-cosine half to silence.
    write("cut.wav", monoAudio(44100, sine(44100, 220.0, 0.3, 0.2)));
    write("whole.wav", monoAudio(44100, sine(44100, 220.0, 0.4, 0.2)));
    for (int rate : {22050, 44100, 48000, 96000}) {
        SCOPED_TRACE(rate);
        const std::string r = std::to_string(rate);
        for (const std::string name : {"cut", "whole"})
            render({"--set", "Power=0", "--tail", "0", "--float", "--rate", r, name + ".wav", name + r + ".wav"});
        const std::vector<float> cut = read("cut" + r + ".wav").channel(0), whole = read("whole" + r + ".wav").channel(0);
        const auto fade = static_cast<std::size_t>(std::lround(0.01 * rate));
        const std::size_t end = cut.size();
        ASSERT_GT(end, 3 * fade);
        for (std::size_t i = end - 2 * fade; i < end; ++i) {
            if (std::fabs(whole[i]) < 0.05f)
                continue;  // the ratio is read where the tone is well above rounding
            const std::size_t remaining = end - i;  // 1 for the last frame
            const double halfTurn = kPi * static_cast<double>(remaining - 1) / static_cast<double>(2 * fade);
            const double gain = remaining > fade ? 1.0 : std::sin(halfTurn) * std::sin(halfTurn);
            ASSERT_NEAR(cut[i] / whole[i], gain, 1e-4) << remaining << " frames before the end";
        }
        EXPECT_EQ(cut.back(), 0.0f);
    }
}

TEST_F(RenderAudio, InputGainScalesTheInput)
{
    // +6 dB doubles the input: a clean program, linear at this level, doubles its output;
    // -6 dB halves it.
    write("quiet.wav", monoAudio(44100, sine(44100, 330.0, 0.3, 0.01)));
    render({"--program", "Basic Classic Clean", "--tail", "0", "--float", "quiet.wav", "plain.wav"});
    render({"--program", "Basic Classic Clean", "--tail", "0", "--float", "--input-gain", "6.0206", "quiet.wav",
            "up.wav"});
    render({"--program", "Basic Classic Clean", "--tail", "0", "--float", "-g", "-6.0206", "quiet.wav", "down.wav"});
    const std::vector<float> plain = read("plain.wav").channel(0), up = read("up.wav").channel(0),
                             down = read("down.wav").channel(0);
    const std::size_t begin = 2205, end = plain.size() - 2205;
    EXPECT_NEAR(rms(up, begin, end) / rms(plain, begin, end), 2.0, 0.01);
    EXPECT_NEAR(rms(down, begin, end) / rms(plain, begin, end), 0.5, 0.005);
}

TEST_F(RenderAudio, OutputRateCountsTheTailAndTheInput)
{
    // The output holds the input's duration and the tail, both counted at the output rate,
    // whichever way the rate is converted, and the tone keeps its pitch. A fixed tail lets a
    // delay ring out past the input.
    write("in44.wav", monoAudio(44100, sine(44100, 1000.0, 0.1, 0.3)));  // 4410 frames
    write("in48.wav", monoAudio(48000, sine(48000, 220.0, 0.1, 0.3)));   // 4800 frames
    render({"--tail", "0", "in44.wav", "none.wav"});
    render({"--rate", "48000", "--tail", "0.5", "in44.wav", "up.wav"});
    render({"--rate", "96000", "--tail", "0.25", "--no-align", "in44.wav", "up96.wav"});
    render({"--rate", "44100", "--tail", "0.5", "--set", "Delay Bypass=1", "--set", "Delay Mix=0.6", "in48.wav",
            "down.wav"});
    render({"--rate", "22050", "--tail", "0.2", "--float", "in48.wav", "down22.wav"});
    EXPECT_EQ(read("none.wav").frames(), 4410u);
    const Audio up = read("up.wav");
    EXPECT_EQ(up.rate, 48000);
    EXPECT_EQ(up.frames(), 4800u + 24000u);
    const std::vector<float> upLeft = up.channel(0);
    EXPECT_NEAR(dominantFrequency({upLeft.begin() + 480, upLeft.begin() + 4560}, 48000, 900.0, 1100.0), 1000.0, 0.5);
    EXPECT_EQ(read("up96.wav").frames(), 9600u + 24000u);
    const std::vector<float> down = read("down.wav").channel(0);
    ASSERT_EQ(down.size(), 4410u + 22050u);
    EXPECT_GT(rms(down, 4410 + 4410, down.size()), 1e-3) << "the delay's repeats well after the input";
    EXPECT_EQ(read("down22.wav").frames(), 2205u + 4410u);
}

TEST_F(RenderAudio, AlignmentHoldsThroughRateConversionEitherWay)
{
    // An impulse 10 ms into a 44100 Hz, a 48000 Hz and a 96000 Hz file, each rendered to
    // every one of these rates, with and without alignment: the response peaks at the same
    // time in all, the lengths are exact, and only the unaligned renders carry the cabinet's
    // delay. The plug-in's own converters (at 48 and 96 kHz) add nothing to it.
    const int rates[] = {44100, 48000, 96000};
    double peakSeconds[2][3][3] = {};  // [aligned?][input rate][output rate]
    for (int i = 0; i < 3; ++i) {
        const int in = rates[i];
        std::vector<float> x(static_cast<std::size_t>(in / 10), 0.0f);
        x[static_cast<std::size_t>(in / 100)] = 0.5f;
        const std::string input = "impulse" + std::to_string(in) + ".wav";
        write(input, monoAudio(in, x));
        for (bool align : {false, true}) {
            for (int o = 0; o < 3; ++o) {
                const int rate = rates[o];
                SCOPED_TRACE(testing::Message() << (align ? "aligned" : "unaligned") << ", " << in << " to " << rate);
                const std::string output = std::string(align ? "a" : "d") + std::to_string(in) + std::to_string(rate) + ".wav";
                std::vector<std::string> args = {"--program", "0", "--tail", "0.05", "--float", "--rate",
                                                 std::to_string(rate)};
                if (!align)
                    args.push_back("--no-align");
                args.insert(args.end(), {input, output});
                render(args);
                const Audio out = read(output);
                ASSERT_EQ(out.rate, rate);
                ASSERT_EQ(out.frames(), static_cast<std::size_t>(rate / 10 + rate / 20));
                peakSeconds[align][i][o] = static_cast<double>(peakIndex(out.channel(0))) / rate;
            }
        }
    }
    EXPECT_GE(peakSeconds[1][0][0], 0.01);
    for (int i = 0; i < 3; ++i) {
        for (int o = 0; o < 3; ++o) {
            EXPECT_NEAR(peakSeconds[1][i][o], peakSeconds[1][0][0], 1.0 / 44100.0) << rates[i] << " to " << rates[o];
            EXPECT_NEAR(peakSeconds[0][i][o] - peakSeconds[1][i][o], kCabinetDelay / 44100.0, 1.0 / 44100.0)
                << rates[i] << " to " << rates[o];
        }
    }
}

TEST_F(RenderAudio, BatchAppliesProgramSettingsAndRateToEveryFileAsSingleRunsDo)
{
    // Program 0 has no delay; the settings switch it on, so every batch output rings on past
    // its input, in its own format, and equals a run of its own with the same options.
    write("a.wav", monoAudio(44100, sine(44100, 110.0, 0.3, 0.3)));
    write("b.flac", stereoAudio(48000, sine(48000, 196.0, 0.25, 0.2), sine(48000, 247.0, 0.25, 0.2),
                                SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    write("c.aiff", monoAudio(96000, sine(96000, 440.0, 0.2, 0.25), SF_FORMAT_AIFF | SF_FORMAT_PCM_24));
    std::filesystem::create_directory(path("batch"));
    const std::vector<std::string> sound = {"--program", "Basic Classic Clean", "--set", "Delay Bypass=1",
                                            "--set", "Delay Mix=0.6", "--tail", "0.5", "--rate", "48000"};
    std::vector<std::string> batch = sound;
    batch.insert(batch.end(), {"-j", "3", "-o", "batch", "a.wav", "b.flac", "c.aiff"});
    render(batch);
    const std::pair<std::string, std::size_t> files[] = {
        {"a.wav", 14400u + 24000u}, {"b.flac", 12000u + 24000u}, {"c.aiff", 9600u + 24000u}};
    for (const auto& [name, frames] : files) {
        SCOPED_TRACE(name);
        std::vector<std::string> single = sound;
        single.insert(single.end(), {name, "single-" + name});
        render(single);
        const Audio one = read("single-" + name), many = read("batch/" + name);
        EXPECT_EQ(many.rate, 48000);
        EXPECT_EQ(many.format, one.format);
        EXPECT_EQ(many.frames(), frames);
        EXPECT_EQ(many.samples, one.samples);
        // Past the input's end only the echoes are left.
        EXPECT_GT(rms(many.channel(0), frames - 24000u + 4800u, frames), 1e-3);
    }
}

TEST_F(RenderAudio, DemoRiffIsTheSameEveryTime)
{
    // With the amplifier switched off the plug-in passes the sum of its inputs: twice the
    // riff, with no cabinet delay to remove, so aligning or not makes no difference.
    render({"--demo", "--set", "Power=0", "--tail", "0", "--float", "first.wav"});
    render({"--demo", "--set", "Power=0", "--tail", "0", "--float", "--no-align", "second.wav"});
    const Audio first = read("first.wav"), second = read("second.wav");
    ASSERT_EQ(first.frames(), 8u * 44100u);
    ASSERT_EQ(second.frames(), first.frames());
    const std::vector<float> a = first.channel(0), b = second.channel(0);
    float peak = 0.0f;
    for (float v : b)
        peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, 0.5f, 1e-6f);  // the riff peaks at 0.25 in each input
    // Notes throughout: no quarter second is silent before the last chord fades.
    for (std::size_t start = 0; start + 11025 <= 26u * 11025u; start += 11025)
        EXPECT_GT(rms(b, start, start + 11025), 1e-3) << start;
    // The last chord rings out inside the riff: each quarter second of its last 1.5 s
    // quieter than the one before, the last one 40 dB under the chord's first.
    const std::size_t chordStart = 6u * 44100u, quarter = 11025;
    double previous = rms(b, chordStart, chordStart + quarter);
    const double chordLevel = previous;
    for (std::size_t start = b.size() - 6 * quarter; start < b.size(); start += quarter) {
        const double level = rms(b, start, start + quarter);
        EXPECT_LT(level, previous) << start;
        previous = level;
    }
    EXPECT_LT(decibels(previous / chordLevel), -40.0);
    EXPECT_EQ(a, b);
}
