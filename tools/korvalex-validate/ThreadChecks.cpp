// The instance and thread checks: many instances created and destroyed, alive together and
// on several threads at once, and parameter and sample-rate changes racing the audio thread. Built with
// ThreadSanitizer, the races between the plug-in's threads are reported by the sanitizer.

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "tools/korvalex-validate/Checks.h"

namespace {

constexpr int kReferencePrograms = 4;
constexpr int kRunBlocks = 12;
constexpr int kRunFrames = 256;

// A short life of one instance: a program, some blocks with a parameter change between
// them, text requests, mains off. Answers the hash of everything it heard.
std::uint64_t standardRun(Plugin& plugin, int program, Check& check)
{
    plugin.dispatch(effSetProgram, 0, program);
    GuitarSignal guitar(0x1257u);
    std::vector<float> left(kRunFrames), right(kRunFrames), outLeft(kRunFrames), outRight(kRunFrames);
    OutputHash hash;
    for (int b = 0; b < kRunBlocks; ++b) {
        guitar.fill(left.data(), kRunFrames);
        std::copy(left.begin(), left.end(), right.begin());
        float* in[2] = {left.data(), right.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        plugin.process(in, out, kRunFrames);
        hash.add(outLeft.data(), kRunFrames);
        hash.add(outRight.data(), kRunFrames);
        if (b == kRunBlocks / 2)
            plugin.setParameter(b % plugin.numParams(), 0.6f);
    }
    for (VstInt32 index = 0; index < 4 && index < plugin.numParams(); ++index) {
        GuardedText display(kVstMaxParamStrLen);
        plugin.dispatch(effGetParamDisplay, index, 0, display.data());
        const std::string problem = display.problem(false);
        if (!problem.empty())
            check.finding(format("effGetParamDisplay index %d ", static_cast<int>(index)) + problem);
    }
    plugin.dispatch(effMainsChanged, 0, 0);
    return hash.value();
}

}  // namespace

void checkInstances(const Options& options, Check& check)
{
    // References: one run of each program on instances made one after another.
    std::vector<std::uint64_t> reference(kReferencePrograms);
    for (int p = 0; p < kReferencePrograms; ++p) {
        std::unique_ptr<Plugin> plugin = loadStarted(options, check);
        if (!plugin)
            return;
        reference[static_cast<std::size_t>(p)] = standardRun(*plugin, p, check);
    }
    auto verify = [&](std::uint64_t hash, int program, const char* how) {
        if (hash != reference[static_cast<std::size_t>(program)])
            check.finding(format("%s: program %d sounds different from its reference run", how, program));
    };

    // Created and destroyed one after another.
    for (int i = 0; i < options.instances; ++i) {
        std::unique_ptr<Plugin> plugin = loadStarted(options, check);
        if (!plugin)
            return;
        verify(standardRun(*plugin, i % kReferencePrograms, check), i % kReferencePrograms, "one after another");
    }

    // All alive together, destroyed in a shuffled order.
    {
        std::vector<std::unique_ptr<Plugin>> alive;
        for (int i = 0; i < options.instances; ++i) {
            alive.push_back(loadStarted(options, check));
            if (!alive.back())
                return;
        }
        for (int i = 0; i < options.instances; ++i)
            verify(standardRun(*alive[static_cast<std::size_t>(i)], i % kReferencePrograms, check),
                   i % kReferencePrograms, "alive together");
        SplitMix64 rng(options.seed ^ 0x616c697665ull);
        while (!alive.empty()) {
            const std::size_t victim = static_cast<std::size_t>(rng.below(static_cast<int>(alive.size())));
            alive.erase(alive.begin() + static_cast<std::ptrdiff_t>(victim));
        }
    }

    // Several threads creating, running and destroying instances at once.
    const int perThread = std::max(2, 2 * options.instances / std::max(1, options.threads));
    std::vector<std::thread> threads;
    for (int t = 0; t < options.threads; ++t) {
        threads.emplace_back([&, t] {
            setCurrentCheck("instances (worker threads)");
            for (int i = 0; i < perThread; ++i) {
                std::unique_ptr<Plugin> plugin = loadStarted(options, check);
                if (!plugin)
                    return;
                const int program = (t + i) % kReferencePrograms;
                verify(standardRun(*plugin, program, check), program, "on several threads at once");
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    check.note(format("%d instances one after another, %d alive together, %d threads x %d instances",
                      options.instances, options.instances, options.threads, perThread));
}

void checkRace(const Options& options, Check& check)
{
    std::unique_ptr<Plugin> plugin = loadStarted(options, check, 44100.0f, kRunFrames);
    if (!plugin)
        return;
    const long blocks = std::max(1000L, options.iterations / 20);
    std::atomic<bool> done{false};
    std::atomic<bool> started{false};
    std::atomic<long> parameterCalls{0};

    // The user-interface / automation side.
    std::thread automation([&] {
        setCurrentCheck("race (automation thread)");
        SplitMix64 rng(options.seed ^ 0x72616365ull);
        const float odd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -1.0f, 2.0f, 1e30f, FLT_MIN / 2.0f};
        long count = 0;
        started = true;
        while (!done.load(std::memory_order_relaxed)) {
            const int roll = rng.below(100);
            const VstInt32 index = rng.below(plugin->numParams());
            if (roll < 60) {
                plugin->setParameter(index, static_cast<float>(rng.uniform()));
            } else if (roll < 70) {
                plugin->setParameter(index, rng.chance(0.5) ? 0.0f : 1.0f);
            } else if (roll < 74) {
                plugin->setParameter(index, odd[rng.below(6)]);
            } else if (roll < 77) {
                plugin->dispatch(effSetProgram, 0, rng.below(plugin->numPrograms()));
            } else if (roll < 87) {
                plugin->getParameter(54 + rng.below(2));  // the meters, as an editor's idle reads them
                plugin->getParameter(index);
            } else if (roll < 95) {
                GuardedText display(kVstMaxParamStrLen);
                plugin->dispatch(effGetParamDisplay, index, 0, display.data());
                const std::string problem = display.problem(false);
                if (!problem.empty())
                    check.finding(format("effGetParamDisplay index %d (while processing) ", static_cast<int>(index)) +
                                  problem);
            } else if (roll < 96) {
                // Hosts that set the rate, and resume, while their audio thread runs.
                const float rates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f};
                plugin->dispatch(effSetSampleRate, 0, 0, nullptr, rates[rng.below(4)]);
                if (rng.chance(0.5))
                    plugin->dispatch(effMainsChanged, 0, 1);
            } else {
                plugin->dispatch(rng.chance(0.5) ? effEditIdle : effIdle);
            }
            ++count;
        }
        parameterCalls = count;
    });

    // The audio side.
    GuitarSignal guitar(options.seed ^ 0x617564696fu);
    std::vector<float> left(kRunFrames), right(kRunFrames), outLeft(kRunFrames), outRight(kRunFrames);
    long nonFinite = 0;
    while (!started.load())
        std::this_thread::yield();  // so that the two threads overlap from the first block
    for (long b = 0; b < blocks; ++b) {
        guitar.fill(left.data(), kRunFrames);
        guitar.fill(right.data(), kRunFrames);
        float* in[2] = {left.data(), right.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        if (b % 4 == 3) {
            out[0] = in[0];
            out[1] = in[1];
        }
        plugin->process(in, out, kRunFrames);
        if (!allFinite(out[0], kRunFrames) || !allFinite(out[1], kRunFrames)) {
            if (nonFinite++ == 0)
                check.finding(format("block %ld: non-finite output while parameters changed on another thread", b));
        }
    }
    done = true;
    automation.join();
    if (nonFinite > 1)
        check.finding(format("%ld blocks in all had non-finite output", nonFinite));
    check.note(format("%ld blocks of %d frames against %ld calls from the automation thread", blocks, kRunFrames,
                      parameterCalls.load()));
}
