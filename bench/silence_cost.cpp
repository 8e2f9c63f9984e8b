// What silence costs: a minute of digital silence, a minute of very quiet noise (-120 dBFS)
// and a minute of silence after a note has rung out, each against a minute of guitar, for
// the heaviest factory program. Tiny values that decay towards zero in recursive filters
// (denormal numbers) can make a processor many times slower; this shows whether they do.
// Reports ratios, never pass/fail.
//
// usage: korvalex-silence-bench [PLUGIN] [SECONDS]   (default korvalex.so, 60)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "host/PluginHost.h"
#include "tools/korvalex-validate/TestSignal.h"

namespace {

constexpr int kBlockSize = 512;
constexpr double kRate = 44100.0;
constexpr int kRepeats = 3;  // each measurement is the fastest of this many runs

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::unique_ptr<PluginHost> startInstance(const std::string& path, int program)
{
    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::load(path, error);
    if (!host) {
        std::fprintf(stderr, "korvalex-silence-bench: %s\n", error.c_str());
        std::exit(1);
    }
    host->dispatch(effOpen);
    host->setSampleRate(static_cast<float>(kRate));
    host->setBlockSize(kBlockSize);
    host->setMainsOn(true);
    host->setProgram(program);
    return host;
}

// CPU seconds to process `measured` after `lead` (whose cost is not counted), on a fresh
// instance with the program; the fastest of kRepeats runs.
double cost(const std::string& path, int program, const std::vector<float>& lead, const std::vector<float>& measured)
{
    std::vector<float> silentRight(std::max(lead.size(), measured.size()), 0.0f);
    std::vector<float> left(silentRight.size()), right(silentRight.size());
    double best = 1e30;
    for (int r = 0; r < kRepeats; ++r) {
        std::unique_ptr<PluginHost> host = startInstance(path, program);
        if (!lead.empty())
            host->processStereo(lead.data(), silentRight.data(), left.data(), right.data(), lead.size(), kBlockSize);
        const double start = threadCpuSeconds();
        host->processStereo(measured.data(), silentRight.data(), left.data(), right.data(), measured.size(),
                            kBlockSize);
        best = std::min(best, threadCpuSeconds() - start);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : "korvalex.so";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    if (!(seconds > 0.0)) {
        std::fprintf(stderr, "usage: korvalex-silence-bench [PLUGIN] [SECONDS]\n");
        return 2;
    }
    const auto frames = static_cast<std::size_t>(seconds * kRate);

    std::vector<float> guitar(frames), silence(frames, 0.0f), noise(frames);
    GuitarSignal(1).fill(guitar.data(), frames);
    QuietNoise(2, -120.0).fill(noise.data(), frames);

    // The heaviest program: the one whose guitar costs most, on a few seconds each.
    std::unique_ptr<PluginHost> probe = startInstance(path, 0);
    const int programs = probe->numPrograms();
    probe.reset();
    const std::vector<float> shortGuitar(guitar.begin(), guitar.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(frames, static_cast<std::size_t>(3 * kRate))));
    int heaviest = 0;
    double heaviestCost = 0.0, lightestCost = 1e30;
    for (int p = 0; p < programs; ++p) {
        std::unique_ptr<PluginHost> host = startInstance(path, p);
        std::vector<float> right(shortGuitar.size(), 0.0f), outLeft(shortGuitar.size()), outRight(shortGuitar.size());
        const double start = threadCpuSeconds();
        host->processStereo(shortGuitar.data(), right.data(), outLeft.data(), outRight.data(), shortGuitar.size(),
                            kBlockSize);
        const double used = threadCpuSeconds() - start;
        lightestCost = std::min(lightestCost, used);
        if (used > heaviestCost) {
            heaviestCost = used;
            heaviest = p;
        }
    }
    std::string name;
    {
        std::unique_ptr<PluginHost> host = startInstance(path, heaviest);
        host->programNameIndexed(heaviest, name);
    }
    std::printf("CPU cost of quiet input, %s, %.0f s of audio per case, blocks of %d, fastest of %d runs\n",
                path.c_str(), seconds, kBlockSize, kRepeats);
    std::printf("heaviest program: %d \"%s\" (%.1fx the lightest on guitar)\n\n", heaviest, name.c_str(),
                lightestCost > 0.0 ? heaviestCost / lightestCost : 0.0);

    const std::vector<float> none;
    const std::vector<float> note(guitar.begin(), guitar.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(frames, static_cast<std::size_t>(2 * kRate))));
    struct Case {
        const char* name;
        const std::vector<float>& lead;
        const std::vector<float>& input;
    };
    const Case cases[] = {
        {"guitar", none, guitar},
        {"digital silence", none, silence},
        {"noise at -120 dBFS RMS", none, noise},
        {"silence after 2 s of guitar", note, silence},
    };
    double reference = 0.0;
    std::printf("  %-30s %10s %12s %12s\n", "input", "CPU s", "realtime x", "vs guitar");
    for (const Case& c : cases) {
        const double used = cost(path, heaviest, c.lead, c.input);
        if (reference == 0.0)
            reference = used;
        std::printf("  %-30s %10.3f %12.1f %12.2f\n", c.name, used, used > 0.0 ? seconds / used : 0.0,
                    reference > 0.0 ? used / reference : 0.0);
    }
    return 0;
}
