// What Korvalex Live costs JACK: the DSP load the server reports (the share of each period
// the graph's processing takes) with korvalex-live playing a looped guitar DI, at several
// buffer sizes, for program 0 and the heaviest factory program, against the same graph
// without korvalex-live; then the xruns over a longer run at a small buffer, with and
// without korvalex-live. Each
// measurement has a private jackd on its dummy driver (44.1 kHz). Reports, never
// pass/fail.
//
// usage: korvalex-live-bench [SECONDS [XRUN_SECONDS]]   (default 10 and 60)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/live/support/LiveTests.h"

namespace {

using namespace livetest;

constexpr uint32_t kPeriods[] = {32, 64, 256};
constexpr uint32_t kXrunPeriod = 64;
struct Program {
    const char* number;
    const char* name;
};
// The heaviest: the lowest realtime factor of korvalex-bench's survey of the bank.
constexpr Program kPrograms[] = {{"0", "program 0 \"Basic Classic Clean\""}, {"50", "program 50 \"Heavy Modern Phaser\""}};
constexpr double kSettleSeconds = 2.0;
constexpr double kSampleEvery = 0.25;

struct Load {
    double mean = 0.0;
    double highest = 0.0;
    uint32_t xruns = 0;
    bool ok = false;
};

// korvalex-live (or nothing, for the program null) on a fresh server: the load while the
// DI plays, sampled for `seconds` after the graph has settled.
Load measure(uint32_t period, const char* program, double seconds)
{
    Load load;
    JackServer server(period, 44100, false);  // JACK's usual, asynchronous mode
    if (!server.running()) {
        std::fprintf(stderr, "korvalex-live-bench: %s\n", server.problem().c_str());
        return load;
    }
    Scratch scratch;
    std::unique_ptr<LiveProcess> live;
    if (program) {
        live = std::make_unique<LiveProcess>(
            std::vector<std::string>{"--no-gui", "--no-connect", "--name", "kx", "--program", program}, scratch,
            server.name());
        if (!live->waitUntilReady()) {
            std::fprintf(stderr, "korvalex-live-bench: korvalex-live did not start: %s\n", live->errors().c_str());
            return load;
        }
    }
    TestRig rig(server.name());
    if (!rig.ok() || (program && !rig.connectTo("kx")))
        return load;
    const std::vector<float> di = guitarDi(20.0);
    rig.loop(di);
    std::this_thread::sleep_for(std::chrono::duration<double>(kSettleSeconds));
    const uint32_t xruns = rig.xruns();
    std::vector<double> samples;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::duration<double>(kSampleEvery));
        samples.push_back(rig.dspLoad());
    }
    load.xruns = rig.xruns() - xruns;
    rig.stop();
    if (live)
        live->quit();
    for (double s : samples)
        load.mean += s / static_cast<double>(samples.size());
    load.highest = *std::max_element(samples.begin(), samples.end());
    load.ok = !samples.empty();
    return load;
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const double xrunSeconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    if (seconds <= 0.0 || xrunSeconds <= 0.0) {
        std::fprintf(stderr, "usage: korvalex-live-bench [SECONDS [XRUN_SECONDS]]\n");
        return 2;
    }
    std::printf("DSP load reported by JACK (dummy driver, 44100 Hz), mean and highest of %.0f s, guitar playing:\n\n",
                seconds);
    std::printf("  %-44s %6s %9s %9s %6s\n", "case", "frames", "mean", "highest", "xruns");
    for (uint32_t period : kPeriods) {
        const Load alone = measure(period, nullptr, seconds);
        std::printf("  %-44s %6u %8.2f%% %8.2f%% %6u\n", "the graph without korvalex-live", period, alone.mean,
                    alone.highest, alone.xruns);
        for (const Program& p : kPrograms) {
            const Load load = measure(period, p.number, seconds);
            std::printf("  %-44s %6u %8.2f%% %8.2f%% %6u\n", p.name, period, load.mean, load.highest, load.xruns);
        }
        std::fflush(stdout);
    }
    // The machine's own xruns (other programs, no real-time priority) show in the first.
    std::printf("\nxruns in %.0f s at %u frames:\n", xrunSeconds, kXrunPeriod);
    const Load alone = measure(kXrunPeriod, nullptr, xrunSeconds);
    std::printf("  %-44s %6u   (DSP load mean %.2f%%, highest %.2f%%)\n", "the graph without korvalex-live", alone.xruns,
                alone.mean, alone.highest);
    const Load run = measure(kXrunPeriod, kPrograms[1].number, xrunSeconds);
    std::printf("  %-44s %6u   (DSP load mean %.2f%%, highest %.2f%%)\n", kPrograms[1].name, run.xruns, run.mean,
                run.highest);
    return 0;
}
