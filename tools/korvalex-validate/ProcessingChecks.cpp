// The audio-level checks: set-up changes and block lengths, the random abuse session,
// recovery from bad input, buffer layouts and determinism.

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tools/korvalex-validate/AbuseSession.h"
#include "tools/korvalex-validate/Checks.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Every block of the engine on, with its feedback paths turned up: the set-up in which bad
// input would linger longest.
void everythingOn(Plugin& plugin)
{
    if (plugin.numParams() <= kEqGain)
        return;
    for (int index : {kPower, kChorusBypass, kDelayBypass, kTremoloBypass, kSpaceBypass, kCompBypass, kGateBypass,
                      kPeqBypass, kBankAB})
        plugin.setParameter(index, 1.0f);
    plugin.setParameter(kDrive, 0.8f);
    plugin.setParameter(kReverb, 1.0f);
    plugin.setParameter(kDelaySustain, 1.0f);
    plugin.setParameter(kDelayMix, 1.0f);
    plugin.setParameter(kDelaySpeed, 0.2f);
    plugin.setParameter(kChorusMix, 1.0f);
    plugin.setParameter(kChorusDepth, 1.0f);
    plugin.setParameter(kInputHiLow, 0.0f);
    plugin.setParameter(kAmplifier, 16.0f / 19.0f);
    for (int index : {kLowGain, kMidGain, kHiGain, kEqGain})
        plugin.setParameter(index, 1.0f);
}

struct Recovery {
    bool ok = true;
    long lastNonFinite = -1;  // in samples after the bad block; -1 when none
};

// Plays guitar for a while, one block of bad input, then `length` samples of guitar again;
// answers where the last non-finite output sample after the bad block was.
Recovery measureRecovery(Plugin& plugin, GuitarSignal& guitar, float badValue, int channels, long length,
                         bool inPlace)
{
    constexpr int kBlock = 256;
    std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
    auto block = [&](bool bad) {
        guitar.fill(left.data(), kBlock);
        std::fill(right.begin(), right.end(), 0.0f);
        if (bad) {
            for (int i = 0; i < kBlock; i += 3) {
                if (channels != 1)
                    left[static_cast<std::size_t>(i)] = badValue;
                if (channels != 0)
                    right[static_cast<std::size_t>(i)] = badValue;
            }
        }
        float* in[2] = {left.data(), right.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        if (inPlace) {
            out[0] = in[0];
            out[1] = in[1];
        }
        plugin.process(in, out, kBlock);
        return std::make_pair(out[0], out[1]);
    };
    for (int b = 0; b < 44100 / 2 / kBlock; ++b)
        block(false);
    block(true);
    Recovery result;
    for (long done = 0; done < length; done += kBlock) {
        const auto [l, r] = block(false);
        for (int i = 0; i < kBlock; ++i)
            if (!std::isfinite(l[i]) || !std::isfinite(r[i]))
                result.lastNonFinite = done + i;
    }
    return result;
}

}  // namespace

bool processChecked(Plugin& plugin, AudioBuffers& buffers, GuitarSignal& guitar, int frames, Check& check,
                    const std::string& context)
{
    const int filled = std::max(frames, 0);
    buffers.markAll();
    guitar.fill(buffers.in(0), static_cast<std::size_t>(filled));
    guitar.fill(buffers.in(1), static_cast<std::size_t>(filled));
    float* in[2] = {buffers.in(0), buffers.in(1)};
    float* out[2] = {buffers.out(0), buffers.out(1)};
    plugin.process(in, out, frames);
    if (!buffers.unwrittenFrom(filled)) {
        check.finding(format("%s: processReplacing of %d frames wrote past the block", context.c_str(), frames));
        return false;
    }
    for (int c = 0; c < 2; ++c) {
        if (!allFinite(out[c], filled)) {
            check.finding(format("%s: processReplacing of %d frames gave non-finite output on channel %d",
                                 context.c_str(), frames, c));
            return false;
        }
    }
    return true;
}

void checkSetup(const Options& options, Check& check)
{
    std::unique_ptr<Plugin> plugin = loadStarted(options, check);
    if (!plugin)
        return;
    GuitarSignal guitar(options.seed ^ 0x5e7u);
    AudioBuffers buffers(2);
    everythingOn(*plugin);
    plugin->setParameter(kDelaySustain, 0.5f);

    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 192000.0f, 22050.0f, 8000.0f, 1.0f,
                           0.0f,     -1.0f,    kNaN,     kInf,      1e9f,     44100.0f};
    const VstIntPtr blockSizes[] = {512, 1, 8192, 0, -1, 1 << 30, 64};
    const int lengths[] = {0, 1, 2, 3, 17, 64, 511, 512, 1024, 8192, 1, 0, 333};
    int round = 0;
    for (float rate : rates) {
        const VstIntPtr blockSize = blockSizes[round % 7];
        const bool viaCombined = round % 3 == 2;
        ++round;
        plugin->dispatch(effMainsChanged, 0, 0);
        if (viaCombined)
            plugin->dispatch(effSetBlockSizeAndSampleRate, 0, blockSize, nullptr, rate);
        else {
            plugin->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
            plugin->dispatch(effSetBlockSize, 0, blockSize);
        }
        plugin->dispatch(effMainsChanged, 0, 1);
        const std::string context =
            format("sample rate %g, block size %lld", static_cast<double>(rate), static_cast<long long>(blockSize));
        for (int frames : lengths)
            if (!processChecked(*plugin, buffers, guitar, frames, check, context))
                break;
        // The equaliser is redesigned for the new rate on the next parameter change.
        for (int index : {kLowFreq, kMidFreq, kHiFreq, kHiBand, kLowGain}) {
            plugin->setParameter(index, 1.0f);
            plugin->setParameter(index, 0.0f);
            plugin->setParameter(index, 0.77f);
        }
        for (int frames : lengths)
            if (!processChecked(*plugin, buffers, guitar, frames, check, context + ", equaliser redesigned"))
                break;
        // Processing while switched off is out of contract, and hosts do it.
        plugin->dispatch(effMainsChanged, 0, 0);
        processChecked(*plugin, buffers, guitar, 256, check, context + ", mains off");
        plugin->dispatch(effMainsChanged, 0, 1);
        plugin->dispatch(effMainsChanged, 0, 1);  // on twice
        processChecked(*plugin, buffers, guitar, 256, check, context + ", mains on twice");
    }
}

void checkAbuse(const Options& options, Check& check)
{
    std::unique_ptr<Plugin> plugin = loadStarted(options, check);
    if (!plugin)
        return;
    AbuseSettings settings;
    settings.seed = options.seed;
    settings.actions = options.iterations;
    settings.recoverySamples = options.recoverySamples;
    AbuseSession session(*plugin, settings, &check);
    session.run();
    check.note(format("%ld actions, %llu frames (%.0f s of audio at 44.1 kHz), %ld bad-input bursts",
                      settings.actions, static_cast<unsigned long long>(session.framesProcessed()),
                      static_cast<double>(session.framesProcessed()) / 44100.0, session.badInputEvents()));
    check.note(format("largest finite output sample %.3g (action %ld)", static_cast<double>(session.peakOutput()),
                      session.peakAction()));
    // Whatever happened, the parameters end normalized.
    for (int i = 0; i < plugin->numParams(); ++i) {
        const float v = plugin->getParameter(i);
        if (!(v >= 0.0f && v <= 1.0f))
            check.finding(format("after the session parameter %d reads %g", i, static_cast<double>(v)));
    }
}

void checkRecovery(const Options& options, Check& check)
{
    const float badValues[] = {kNaN, kInf, -kInf, 1e30f, -FLT_MAX};
    const char* const badNames[] = {"NaN", "+inf", "-inf", "1e30", "-FLT_MAX"};
    std::unique_ptr<Plugin> probe = loadStarted(options, check);
    if (!probe)
        return;
    const int programs = probe->numPrograms();
    probe.reset();

    // Every program (or an even spread of them in short runs), one kind of bad input each,
    // plus every kind with every block turned up.
    const int covered = static_cast<int>(std::min<long>(programs, std::max<long>(8, options.iterations / 1000)));
    const long length = options.recoverySamples + 22050;
    long worst = -1;
    int cases = 0;
    auto run = [&](int program, int kind, int channels, bool allOn, bool inPlace) {
        std::unique_ptr<Plugin> plugin = loadStarted(options, check);
        if (!plugin)
            return;
        plugin->dispatch(effSetProgram, 0, program);
        if (allOn)
            everythingOn(*plugin);
        GuitarSignal guitar(options.seed + static_cast<std::uint64_t>(program));
        const Recovery r = measureRecovery(*plugin, guitar, badValues[kind], channels, length, inPlace);
        ++cases;
        worst = std::max(worst, r.lastNonFinite);
        if (r.lastNonFinite >= options.recoverySamples)
            check.finding(format("program %d%s: after a block of %s input (%s) the output is still non-finite %ld "
                                 "samples later (allowance %ld)",
                                 program, allOn ? " with every block on" : "", badNames[kind],
                                 channels == 2 ? "both inputs" : channels == 0 ? "left input" : "right input",
                                 r.lastNonFinite, options.recoverySamples));
    };
    for (int i = 0; i < covered; ++i) {
        const int program = static_cast<int>(static_cast<long>(i) * programs / covered);
        run(program, program % 5, program % 3, false, program % 2 == 1);
    }
    for (int kind = 0; kind < 5; ++kind)
        run(0, kind, 2, true, kind % 2 == 0);
    check.note(worst < 0 ? format("%d cases: the output never went non-finite", cases)
                         : format("%d cases: the output was finite again at most %ld samples after bad input", cases,
                                  worst + 1));
}

void checkLayouts(const Options& options, Check& check)
{
    const BufferLayout layouts[] = {BufferLayout::Separate, BufferLayout::InPlace, BufferLayout::Crossed,
                                    BufferLayout::SharedInput};
    std::vector<std::uint64_t> reference;
    AbuseSettings settings;
    settings.seed = options.seed ^ 0x6c61796f7574ull;
    settings.actions = std::max(2000L, options.iterations / 20);
    settings.monoInput = true;  // so that one buffer for both inputs means the same input
    for (BufferLayout layout : layouts) {
        std::unique_ptr<Plugin> plugin = loadStarted(options, check);
        if (!plugin)
            return;
        settings.layout = layout;
        AbuseSession session(*plugin, settings, &check);
        session.run();
        if (layout == BufferLayout::Separate) {
            reference = session.blockHashes();
            continue;
        }
        const std::vector<std::uint64_t>& hashes = session.blockHashes();
        const auto mismatch = std::mismatch(reference.begin(), reference.end(), hashes.begin(), hashes.end());
        if (mismatch.first != reference.end() || mismatch.second != hashes.end())
            check.finding(format("%s output differs from separate buffers from ", layoutName(layout)) +
                          session.describeBlock(static_cast<std::size_t>(mismatch.first - reference.begin())) + " on");
    }
}

void checkDeterminism(const Options& options, Check& check)
{
    AbuseSettings settings;
    settings.seed = options.seed ^ 0x64657465726dull;
    settings.actions = std::max(2000L, options.iterations / 20);

    auto compare = [&](const AbuseSession& run, const AbuseSession& reference, const char* how) {
        const auto& a = reference.blockHashes();
        const auto& b = run.blockHashes();
        const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
        if (mismatch.first != a.end() || mismatch.second != b.end())
            check.finding(format("%s: output differs from the first run from ", how) +
                          run.describeBlock(static_cast<std::size_t>(mismatch.first - a.begin())) + " on");
    };

    std::unique_ptr<Plugin> first = loadStarted(options, check);
    if (!first)
        return;
    AbuseSession reference(*first, settings, nullptr);
    reference.run();
    first.reset();

    {  // a second instance, after the first has gone
        std::unique_ptr<Plugin> plugin = loadStarted(options, check);
        if (!plugin)
            return;
        AbuseSession again(*plugin, settings, nullptr);
        again.run();
        compare(again, reference, "a second instance");
    }
    {  // two instances alive together, their calls interleaved
        std::unique_ptr<Plugin> a = loadStarted(options, check);
        std::unique_ptr<Plugin> b = loadStarted(options, check);
        if (!a || !b)
            return;
        AbuseSession runA(*a, settings, nullptr), runB(*b, settings, nullptr);
        while (runA.step() | runB.step()) {
        }
        compare(runA, reference, "two interleaved instances (first)");
        compare(runB, reference, "two interleaved instances (second)");
    }
    {  // two instances on two threads at once
        std::unique_ptr<Plugin> a = loadStarted(options, check);
        std::unique_ptr<Plugin> b = loadStarted(options, check);
        if (!a || !b)
            return;
        AbuseSession runA(*a, settings, nullptr), runB(*b, settings, nullptr);
        std::thread other([&] {
            setCurrentCheck("determinism (second thread)");
            runB.run();
        });
        runA.run();
        other.join();
        compare(runA, reference, "two instances on two threads (first)");
        compare(runB, reference, "two instances on two threads (second)");
    }
    check.note(format("%ld actions per run, %zu blocks, output hash %016llx", settings.actions,
                      reference.blockHashes().size(), static_cast<unsigned long long>(reference.hash())));
}
