// --cabinet through the built tool and plug-in: an impulse-response file in place of the
// program's own cabinet, heard in the files the tool writes.

#include <soxr.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "dsp/CabinetConvolver.h"
#include "dsp/CabinetResponses.h"
#include "tests/render/RenderTool.h"

namespace {

// A second of plucked tones with decays, peaking near -10 dBFS.
std::vector<float> pluckedTones()
{
    std::vector<float> x(44100);
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i % 11025) / 44100.0;
        const double f = 110.0 * (1 + i / 11025);
        x[i] = static_cast<float>(0.3 * std::exp(-6.0 * t) *
                                  (std::sin(2 * M_PI * f * t) + 0.4 * std::sin(2 * M_PI * 3 * f * t)));
    }
    return x;
}

// Amplifier value of cabinet family `family` (0..5) without a voicing notch.
std::string amplifierSetting(int family)
{
    return "Amplifier=" + std::to_string((3.0 * family + 0.5) / 19.0);
}

std::vector<float> resampled(const std::vector<float>& x, int from, int to)
{
    std::vector<float> out(x.size() * static_cast<size_t>(to) / static_cast<size_t>(from) + 16);
    size_t produced = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_oneshot(from, to, 1, x.data(), x.size(), nullptr, out.data(), out.size(), &produced, &io, &quality, nullptr);
    out.resize(produced);
    return out;
}

// The difference between two renders' left channels, relative (RMS over RMS). Through the
// whole chain "within rounding" means some 1e-4: the tone stack's low bass section turns a
// change of one unit in the last place of the cabinet's output into about 7e-5.
double relativeDifference(const Audio& expected, const Audio& got)
{
    const std::vector<float> a = expected.channel(0), b = got.channel(0);
    EXPECT_EQ(a.size(), b.size());
    double difference = 0.0, level = 0.0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        difference += (static_cast<double>(a[i]) - b[i]) * (static_cast<double>(a[i]) - b[i]);
        level += static_cast<double>(a[i]) * a[i];
    }
    EXPECT_GT(level, 0.0);
    return std::sqrt(difference / level);
}

}  // namespace

class RenderCabinet : public RenderToolTest {
protected:
    void SetUp() override
    {
        RenderToolTest::SetUp();
        write("di.wav", monoAudio(44100, pluckedTones()));
    }

    // Renders di.wav through program 0 with `settings` and the extra arguments.
    Audio renderWith(const std::vector<std::string>& settings, const std::vector<std::string>& extra,
                     const std::string& output)
    {
        std::vector<std::string> args = {"-p", "0", "--float", "--tail", "0.5", "-q"};
        for (const std::string& s : settings) {
            args.push_back("--set");
            args.push_back(s);
        }
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("di.wav");
        args.push_back(output);
        render(args);
        return read(output);
    }
};

// A file holding a stored response's taps sounds as the program with that response: the
// level match gives it the stored response's own level. At 48 kHz (and in stereo) the
// same response comes within what the two rate conversions keep.
TEST_F(RenderCabinet, StoredResponseTapsInAFileSoundAsTheProgram)
{
    struct Case {
        int response;
        int rate;
        bool stereo;
        double tolerance;
    } cases[] = {
        {0, 44100, false, 3e-4},  // bank A, 41 taps
        {8, 44100, false, 3e-4},  // bank B, 312 taps
        {9, 48000, true, 1e-3},
    };
    for (const Case& c : cases) {
        const CabinetResponse& r = kCabinetResponses[c.response];
        const std::vector<std::string> settings = {amplifierSetting(c.response % 6),
                                                   c.response < 6 ? "Bank A/B=0" : "Bank A/B=1"};
        std::vector<float> taps(r.taps, r.taps + r.length);
        if (c.rate != 44100)
            taps = resampled(taps, 44100, c.rate);
        write("ir.wav", c.stereo ? stereoAudio(c.rate, taps, taps) : monoAudio(c.rate, taps));
        const Audio expected = renderWith(settings, {}, "own.wav");
        const Audio got = renderWith(settings, {"--cabinet", "ir.wav", "-f"}, "file.wav");
        EXPECT_LT(relativeDifference(expected, got), c.tolerance) << "response " << c.response << " at " << c.rate;
        std::remove(path("own.wav").c_str());
        std::remove(path("file.wav").c_str());
    }
}

// A unit impulse is a flat cabinet: with the level match taken back by --cabinet-gain, the
// program sounds as it does with the cabinet out of the chain (and its delay removed).
TEST_F(RenderCabinet, UnitImpulseGivesTheChainWithAFlatCabinet)
{
    write("impulse.wav", monoAudio(44100, {1.0f}));
    const double match = 20.0 * std::log10(CabinetConvolver::bandLevelFor(0));
    const Audio flat = renderWith({amplifierSetting(0), "Bank A/B=0"},
                                  {"--cabinet", "impulse.wav", "--cabinet-gain", std::to_string(-match)}, "flat.wav");
    const Audio out = renderWith({amplifierSetting(0), "Bank A/B=0", "Amplifier=1"}, {}, "out.wav");
    EXPECT_LT(relativeDifference(out, flat), 3e-4);
}

// Batch renders give every file the same response, as single runs do; a response padded
// with silence beyond the one-second limit is trimmed to the same taps.
TEST_F(RenderCabinet, BatchGivesEveryFileTheResponse)
{
    std::vector<float> ir(3000);
    for (size_t i = 0; i < ir.size(); ++i)
        ir[i] = static_cast<float>(std::exp(-static_cast<double>(i) / 400.0) * std::sin(0.07 * static_cast<double>(i)));
    write("ir.wav", monoAudio(44100, ir));
    ir.resize(70000, 0.0f);
    write("padded.wav", monoAudio(44100, ir));
    write("second.wav", monoAudio(44100, pluckedTones()));
    std::filesystem::create_directory(path("batch"));
    render({"-p", "0", "--float", "--tail", "0.5", "-q", "--cabinet", "padded.wav", "-o", "batch", "di.wav",
            "second.wav"});
    const Audio single = renderWith({}, {"--cabinet", "ir.wav"}, "single.wav");
    const Audio own = renderWith({}, {}, "own.wav");
    for (const char* name : {"batch/di.wav", "batch/second.wav"})
        EXPECT_EQ(read(name).samples, single.samples) << name;
    EXPECT_GT(relativeDifference(own, single), 0.05);  // the response is heard
}
