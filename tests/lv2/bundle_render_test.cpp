// Sound through the bundle (lilv instances, and lv2apply), against the VST plug-in: the
// factory programs as korvalex-render plays them, hostile values as the VST plug-in takes
// them, and what a careless host does (ports left unconnected, empty blocks, odd rates).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tests/e2e/LoadedPlugin.h"
#include "tests/lv2/Lv2Bundle.h"
#include "tests/render/RenderTool.h"
#include "tools/korvalex-compare/PluckedSignal.h"

namespace {

constexpr int kRate = 44100;
constexpr uint32_t kBlock = 512;

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(std::size_t frames = 0) : left(frames), right(frames) {}
};

// A DI: plucked strings on the left, the same a little later and softer on the right.
Stereo guitar(std::size_t frames)
{
    Stereo di;
    di.left = makePluckedSignal(frames, 0.7f);
    di.right.assign(frames, 0.0f);
    for (std::size_t i = 300; i < frames; ++i)
        di.right[i] = 0.5f * di.left[i - 300];
    return di;
}

// Samples that differ between two renders, over the first `frames` frames.
std::size_t differences(const Stereo& a, const Stereo& b, std::size_t frames)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < frames; ++i)
        count += (a.left[i] != b.left[i]) + (a.right[i] != b.right[i]);
    return count;
}

bool allFinite(const Stereo& s)
{
    for (std::size_t i = 0; i < s.left.size(); ++i)
        if (!std::isfinite(s.left[i]) || !std::isfinite(s.right[i]))
            return false;
    return true;
}

double level(const Stereo& s)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < s.left.size(); ++i)
        sum += double(s.left[i]) * s.left[i] + double(s.right[i]) * s.right[i];
    return std::sqrt(sum / double(2 * std::max<std::size_t>(1, s.left.size())));
}

Stereo play(Lv2Instance& instance, const Stereo& input, uint32_t block = kBlock)
{
    Stereo output(input.left.size());
    instance.process(input.left.data(), input.right.data(), output.left.data(), output.right.data(),
                     input.left.size(), block);
    return output;
}

// ---- the factory programs: korvalex-render and the bundle --------------------------------

class BundleRender : public RenderToolTest {};

// korvalex-render selects the program, processes 16 blocks of 512 frames of silence, then
// the input in blocks of 512; the bundle is given the preset and the same blocks.
TEST_F(BundleRender, PresetsSoundAsKorvalexRenderPlaysTheirPrograms)
{
    const std::size_t frames = 2 * kRate;
    const Stereo di = guitar(frames);
    write("di.wav", stereoAudio(kRate, di.left, di.right));
    const std::vector<std::string> presets = Lv2Bundle::get().presetUris();
    ASSERT_EQ(presets.size(), 82u);
    // Bank A and B cabinets, chorus and phaser, delay, tremolo, Space, gate and compressor.
    for (int program : {0, 1, 15, 47, 53, 58, 64, 78}) {
        SCOPED_TRACE("program " + std::to_string(program));
        render({"--program", std::to_string(program), "--float", "--no-align", "--tail", "0", "--force", "di.wav",
                "out.wav"});
        const Audio reference = read("out.wav");
        ASSERT_GE(reference.frames(), frames);
        Stereo expected(frames);
        expected.left = reference.channel(0);
        expected.right = reference.channel(1);

        Lv2Instance instance(kRate, true, kBlock);  // the block size korvalex-render gives
        ASSERT_TRUE(instance.valid());
        ASSERT_TRUE(instance.restorePreset(presets[program]));
        instance.activate();
        play(instance, Stereo(16 * kBlock));
        const Stereo output = play(instance, di);

        // korvalex-render fades the last 10 ms out; everything before must be the same.
        const std::size_t compared = frames - kRate / 100 - 1;
        EXPECT_EQ(differences(output, expected, compared), 0u);
        EXPECT_GT(level(output), 1e-3) << "the program must make sound for the comparison to mean something";
    }
}

// lv2apply plays a file through the bundle from the command line, one frame per run; the
// result is the bundle's sound for those blocks.
TEST_F(BundleRender, Lv2applyRendersAFileThroughTheBundle)
{
#ifndef KORVALEX_LV2APPLY
    GTEST_SKIP() << "lv2apply cannot load the plug-in of a sanitizer build";
#else
    const std::size_t frames = kRate / 2;
    const Stereo di = guitar(frames);
    write("di.wav", stereoAudio(kRate, di.left, di.right));
    setenv("LV2_PATH", KORVALEX_LV2_PATH, 1);
    const ToolRun result = runProgram(KORVALEX_LV2APPLY, {"-i", "di.wav", "-o", "applied.wav", "-c", "drive", "0.8",
                                                          KORVALEX_LV2_URI});
    ASSERT_EQ(result.status, 0) << result.err;
    const Audio applied = read("applied.wav");
    ASSERT_EQ(applied.channels, 2);
    ASSERT_EQ(applied.frames(), frames);

    Lv2Instance instance(kRate);
    ASSERT_TRUE(instance.valid());
    instance.controls[kDrive] = 0.8f;
    instance.activate();
    const Stereo expected = play(instance, di, 1);
    Stereo output(frames);
    output.left = applied.channel(0);
    output.right = applied.channel(1);
    EXPECT_EQ(differences(output, expected, frames), 0u);
    EXPECT_GT(level(output), 1e-3);
#endif
}

// ---- a careless or hostile host -------------------------------------------------------

class HostileHost : public LoadedPlugin {
protected:
    // The VST plug-in's render at `rate`, with `changes` sent by setParameter after the
    // first half of the input, as a host sends automation between blocks.
    Stereo vstRender(const Stereo& input, float rate, const std::vector<std::pair<int, float>>& changes)
    {
        host->setSampleRate(rate);
        host->setBlockSize(8192);  // what the bundle's instances are told (their maximum block)
        host->setMainsOn(true);
        Stereo output(input.left.size());
        const std::size_t half = input.left.size() / 2;
        host->processStereo(input.left.data(), input.right.data(), output.left.data(), output.right.data(), half, kBlock);
        for (const auto& [index, value] : changes)
            host->setParameter(index, value);
        host->processStereo(input.left.data() + half, input.right.data() + half, output.left.data() + half,
                            output.right.data() + half, input.left.size() - half, kBlock);
        return output;
    }

    // The same through the bundle: the changes are written into the ports.
    Stereo lv2Render(Lv2Instance& instance, const Stereo& input, const std::vector<std::pair<int, float>>& changes)
    {
        instance.activate();
        Stereo output(input.left.size());
        const std::size_t half = input.left.size() / 2;
        instance.process(input.left.data(), input.right.data(), output.left.data(), output.right.data(), half, kBlock);
        for (const auto& [index, value] : changes)
            instance.controls[index] = value;
        instance.process(input.left.data() + half, input.right.data() + half, output.left.data() + half,
                         output.right.data() + half, input.left.size() - half, kBlock);
        return output;
    }
};

// Values out of range are clamped, -0 is 0, and what is not a number is ignored, exactly as
// the VST plug-in does with the same values from its host.
TEST_F(HostileHost, ControlValuesOutOfRangeOrNotANumberActAsInTheVstPlugin)
{
    const float nan = std::nanf(""), infinity = HUGE_VALF;
    const std::vector<std::pair<int, float>> changes{
        {kVolume, 1.5f},          {kDrive, -0.5f},       {kTreble, nan},           {kAmplifier, infinity},
        {kDelayBypass, 1.0f},     {kDelaySpeed, -0.0f},  {kDelayMix, 7.0f},        {kSpaceWidth, 1e30f},
        {kChorusBypass, 1.0f},    {kChorusSpeed, -nan},  {kEditorPage, 0.7f},      {kGateThreshold, -infinity},
        {kBankAB, 2.0f},          {kBass, 0.25f},
    };
    const Stereo di = guitar(kRate);
    const Stereo expected = vstRender(di, kRate, changes);
    Lv2Instance instance(kRate);
    ASSERT_TRUE(instance.valid());
    const Stereo output = lv2Render(instance, di, changes);
    EXPECT_TRUE(allFinite(output));
    EXPECT_EQ(differences(output, expected, di.left.size()), 0u);
    EXPECT_GT(level(output), 1e-3);
}

// At rates other than 44.1 kHz the bundle plays as the VST plug-in set to the same rate,
// and its latency port reports what the VST plug-in reports to its host there.
TEST_F(HostileHost, OtherRatesSoundAsTheVstPluginAtThatRate)
{
    for (float rate : {22050.0f, 48000.0f, 96000.0f, 192000.0f, 0.0f, 1e7f}) {
        SCOPED_TRACE("rate " + std::to_string(rate));
        host = loadPlugin();
        ASSERT_TRUE(host);
        const Stereo di = guitar(kRate / 2);
        const Stereo expected = vstRender(di, rate, {});
        Lv2Instance instance(rate);
        ASSERT_TRUE(instance.valid());
        const Stereo output = lv2Render(instance, di, {});
        EXPECT_TRUE(allFinite(output));
        EXPECT_EQ(differences(output, expected, di.left.size()), 0u);
        EXPECT_EQ(instance.controls[lv2port::kLatency], static_cast<float>(host->effect()->initialDelay));
    }
}

// Unconnected control ports leave the plug-in's own values (program 0), unconnected inputs
// are silence and unconnected outputs are written nowhere, for blocks of any length.
TEST_F(HostileHost, UnconnectedPortsAreSilenceInDefaultsAndNowhereOut)
{
    constexpr uint32_t kLong = 10000;  // longer than the stand-in buffers for unconnected ports
    Lv2Instance nothing(kRate, false, kLong);
    ASSERT_TRUE(nothing.valid());
    nothing.activate();
    nothing.run(kBlock);
    nothing.run(kLong);

    // Audio only: the sound of the defaults, which a host sets on connected controls.
    const Stereo di = guitar(kRate / 2);
    Lv2Instance audioOnly(kRate, false), wired(kRate);
    ASSERT_TRUE(audioOnly.valid() && wired.valid());
    audioOnly.connect(lv2port::kInputLeft, audioOnly.in[0].data());
    audioOnly.connect(lv2port::kInputRight, audioOnly.in[1].data());
    audioOnly.connect(lv2port::kOutputLeft, audioOnly.out[0].data());
    audioOnly.connect(lv2port::kOutputRight, audioOnly.out[1].data());
    audioOnly.activate();
    wired.activate();
    EXPECT_EQ(differences(play(audioOnly, di), play(wired, di), di.left.size()), 0u);

    // No inputs: finite output and meters; no outputs: the meters still report.
    Lv2Instance noInputs(kRate, true, kLong), noOutputs(kRate, true, kLong);
    ASSERT_TRUE(noInputs.valid() && noOutputs.valid());
    noInputs.connect(lv2port::kInputLeft, nullptr);
    noInputs.connect(lv2port::kInputRight, nullptr);
    noOutputs.connect(lv2port::kOutputLeft, nullptr);
    noOutputs.connect(lv2port::kOutputRight, nullptr);
    noOutputs.in[0].assign(kLong, 0.5f);
    for (Lv2Instance* instance : {&noInputs, &noOutputs}) {
        instance->controls[lv2port::kCompressorMeter] = instance->controls[lv2port::kGateMeter] = -1.0f;
        instance->activate();
        instance->run(kLong);
        instance->run(kBlock);
        EXPECT_GE(instance->controls[lv2port::kCompressorMeter], 0.0f);
        EXPECT_GE(instance->controls[lv2port::kGateMeter], 0.0f);
    }
    for (int c = 0; c < 2; ++c)
        for (float sample : noInputs.out[c])
            ASSERT_TRUE(std::isfinite(sample));
}

// Activated again, the plug-in starts afresh (LV2 hosts run a block to learn the latency,
// then deactivate and activate before the real work): the same input sounds the same,
// with the settings the ports hold.
TEST_F(HostileHost, ActivatedAgainItStartsAfresh)
{
    const Stereo di = guitar(kRate / 2);
    Lv2Instance instance(kRate);
    ASSERT_TRUE(instance.valid());
    instance.controls[kChorusBypass] = 1.0f;  // an LFO and a switch fade that move with time
    instance.controls[kDelayBypass] = 1.0f;
    instance.activate();
    const Stereo first = play(instance, di);
    instance.deactivate();
    instance.activate();
    const Stereo second = play(instance, di);
    EXPECT_EQ(differences(first, second, di.left.size()), 0u);
    EXPECT_GT(level(second), 1e-3);
}

// A block of no frames processes nothing: the sound afterwards is as if it had not come.
TEST_F(HostileHost, BlocksOfNoFramesChangeNothing)
{
    const Stereo di = guitar(kRate / 2);
    Lv2Instance plain(kRate), interrupted(kRate);
    ASSERT_TRUE(plain.valid() && interrupted.valid());
    plain.controls[kChorusBypass] = interrupted.controls[kChorusBypass] = 1.0f;  // fades by the block
    plain.activate();
    interrupted.activate();
    Stereo a(di.left.size()), b(di.left.size());
    for (std::size_t done = 0; done < di.left.size(); done += kBlock) {
        const uint32_t n = static_cast<uint32_t>(std::min<std::size_t>(kBlock, di.left.size() - done));
        plain.process(&di.left[done], &di.right[done], &a.left[done], &a.right[done], n, n);
        interrupted.run(0);
        interrupted.process(&di.left[done], &di.right[done], &b.left[done], &b.right[done], n, n);
        interrupted.run(0);
    }
    EXPECT_EQ(differences(a, b, di.left.size()), 0u);
    EXPECT_TRUE(allFinite(b));
}

}  // namespace
